// Fuzz target: the answer readers of the dialogue and the prompt-and-read loops on them.
//
// Input: one byte choosing the field width (0 .. 10, widths outside 1 .. 9 must be refused),
// then the typed lines. Properties:
// - read_int_field agrees with a plain reading of the field: its first `width` characters with
//   the blanks taken out are empty (the value 0) or an optionally signed run of decimal digits;
//   a refused field leaves the value as it was;
// - read_char_field gives the first character, a blank for an empty line;
// - ASKINT returns the value of the first line that converts, after exactly one
//   " Incorrect input" line per line before it; ask_yes_no takes the first line beginning with
//   y or n, after one such line for every other line.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "dialogue/ask.h"
#include "fuzz_support.h"
#include "numlib/stop.h"

namespace {

// The field by the plain reading; false when it is not a number.
bool plain_reading(std::string_view line, int width, long long& value) {
  if (width < 1 || width > 9) return false;
  std::string field;
  for (char c : line.substr(0, static_cast<std::size_t>(width))) {
    if (c != ' ') field += c;
  }
  value = 0;
  if (field.empty()) return true;
  std::size_t i = 0;
  const bool negative = field[0] == '-';
  if (field[0] == '+' || field[0] == '-') i = 1;
  if (i == field.size()) return false;
  for (; i < field.size(); ++i) {
    if (field[i] < '0' || field[i] > '9') return false;
    value = value * 10 + (field[i] - '0');
  }
  if (negative) value = -value;
  return true;
}

// Records the dialogue window's text; the keyboard types the fuzz lines.
class AnswerWindows : public fuzzing::ScriptedConsole {
 public:
  using ScriptedConsole::ScriptedConsole;
  void write_text(int unit, std::string_view text) override {
    ScriptedConsole::write_text(unit, text);
    if (text == "  Incorrect input\n") ++rejections;
  }
  int rejections = 0;
};

constexpr int kUnit = plot::kDialogueUnit;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  const int width = bytes[0] % 11;
  const std::string_view data(reinterpret_cast<const char*>(bytes) + 1, size - 1);
  const std::deque<std::string> lines = fuzzing::split_lines(data);

  // The pure readers, line by line.
  int first_convertible = -1;
  int first_yes_no = -1;
  long long first_value = 0;
  char first_answer = ' ';
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const std::string& line = lines[k];
    int value = 12345;
    const bool read = dialogue::read_int_field(line, width, value);
    long long expected = 0;
    const bool plain = plain_reading(line, width, expected);
    fuzzing::check(read == plain, "read_int_field refuses exactly what is not a number");
    fuzzing::check(read ? value == expected : value == 12345, "the value read, or unchanged");
    if (read && first_convertible < 0) {
      first_convertible = static_cast<int>(k);
      first_value = expected;
    }
    const char c = dialogue::read_char_field(line);
    fuzzing::check(c == (line.empty() ? ' ' : line[0]), "read_char_field takes the first");
    if ((c == 'y' || c == 'n') && first_yes_no < 0) {
      first_yes_no = static_cast<int>(k);
      first_answer = c;
    }
  }

  if (width < 1 || width > 9) return 0;
  // ASKINT through a window.
  {
    AnswerWindows windows(lines, 100000, 3);
    const std::string format = "(I" + std::to_string(width) + ")";
    int value = -777;
    try {
      dialogue::ASKINT(windows, kUnit, format, "Question: ", value);
      fuzzing::check(first_convertible >= 0, "ASKINT returns only on a line that converts");
      fuzzing::check(value == first_value, "ASKINT gives the first value that converts");
      fuzzing::check(windows.rejections == first_convertible, "one rejection per bad line");
    } catch (const numlib::ProgramStop& stop) {
      fuzzing::check(stop.status == 3 && first_convertible < 0, "ASKINT ends with the input");
      fuzzing::check(windows.rejections == static_cast<int>(lines.size()),
                     "every line was rejected");
    }
  }
  // A yes/no question through a window.
  {
    AnswerWindows windows(lines, 100000, 3);
    try {
      const bool yes = dialogue::ask_yes_no(windows, kUnit, "Question? (y/n) ");
      fuzzing::check(first_yes_no >= 0 && yes == (first_answer == 'y'), "the first y or n");
      fuzzing::check(windows.rejections == first_yes_no, "one rejection per other line");
    } catch (const numlib::ProgramStop& stop) {
      fuzzing::check(stop.status == 3 && first_yes_no < 0, "ask_yes_no ends with the input");
    }
  }
  return 0;
}
