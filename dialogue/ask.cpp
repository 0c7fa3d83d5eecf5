#include "dialogue/ask.h"

#include <stdexcept>
#include <string>

namespace dialogue {
namespace {

// The field width of an edit format "(Iw)" or "(Aw)" with the given letter.
int format_width(std::string_view format, char letter) {
  if (format.size() < 4 || format.front() != '(' || format.back() != ')' || format[1] != letter) {
    throw std::invalid_argument("unsupported edit format " + std::string(format));
  }
  int width = 0;
  for (char c : format.substr(2, format.size() - 3)) {
    if (c < '0' || c > '9') throw std::invalid_argument("unsupported edit format");
    width = width * 10 + (c - '0');
  }
  if (width < 1 || width > 9) throw std::invalid_argument("unsupported edit format width");
  return width;
}

}  // namespace

bool read_int_field(std::string_view line, int width, int& value) {
  // Nine digits always fit an int; wider fields are not used by the dialogue.
  if (width < 1 || width > 9) return false;
  const std::string_view field = line.substr(0, static_cast<std::size_t>(width));
  long long result = 0;
  bool negative = false;
  bool sign_seen = false;
  bool digit_seen = false;
  for (char c : field) {
    if (c == ' ') continue;
    if ((c == '+' || c == '-') && !sign_seen && !digit_seen) {
      sign_seen = true;
      negative = c == '-';
    } else if (c >= '0' && c <= '9') {
      digit_seen = true;
      result = result * 10 + (c - '0');
    } else {
      return false;
    }
  }
  // A sign without digits is not a number; a field of blanks only is the value 0.
  if (sign_seen && !digit_seen) return false;
  value = static_cast<int>(negative ? -result : result);
  return true;
}

char read_char_field(std::string_view line) { return line.empty() ? ' ' : line.front(); }

void write_line(plot::WindowSystem& windows, int unit, std::string_view text) {
  std::string line = " ";
  line += text;
  line += '\n';
  windows.write_text(unit, line);
}

void write_incorrect_input(plot::WindowSystem& windows, int unit) {
  write_line(windows, unit, " Incorrect input");
}

void ASKINT(plot::WindowSystem& windows, int unit, std::string_view format, std::string_view prompt,
            int& value) {
  const int width = format_width(format, 'I');
  std::string text(1, ' ');
  text += prompt;
  for (;;) {
    windows.write_text(unit, text);
    const std::string line = windows.read_line(unit);
    if (read_int_field(line, width, value)) return;
    write_incorrect_input(windows, unit);
  }
}

void ASKTEXT(plot::WindowSystem& windows, int unit, std::string_view format,
             std::string_view prompt, char& answer, int length) {
  if (format_width(format, 'A') != 1 || length != 1) {
    throw std::invalid_argument("ASKTEXT reads one character");
  }
  std::string text(1, ' ');
  text += prompt;
  windows.write_text(unit, text);
  // A character field cannot fail to convert.
  answer = read_char_field(windows.read_line(unit));
}

bool ask_yes_no(plot::WindowSystem& windows, int unit, std::string_view prompt) {
  char answer = ' ';
  for (;;) {
    ASKTEXT(windows, unit, "(A1)", prompt, answer, 1);
    if (answer == 'y') return true;
    if (answer == 'n') return false;
    write_incorrect_input(windows, unit);
  }
}

}  // namespace dialogue
