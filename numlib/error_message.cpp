// Placeholder values and the building of the pending message.

#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>

#include "numlib/error_stack_state.h"

namespace numlib::error_stack_detail {
namespace {

constexpr std::string_view kPlaceholderLetters = "ACDIKLRSZ";

// Finds the stored text for key "*<letter><digit>*"; the first entry
// with the key counts.
bool find_argument(const std::string& buffer, char letter, char digit, std::string_view& text) {
  std::size_t pos = 0;
  while (pos + 4 < buffer.size()) {
    const bool match = buffer[pos + 1] == letter && buffer[pos + 2] == digit;
    // Entry: "*", letter, digit, "*", length in decimal, one blank, the text.
    std::size_t p = pos + 4;
    std::size_t length = 0;
    while (p < buffer.size() && buffer[p] != ' ') length = length * 10 + (buffer[p++] - '0');
    ++p;
    if (match) {
      text = std::string_view(buffer).substr(p, length);
      return true;
    }
    pos = p + length;
  }
  return false;
}

}  // namespace

void store_argument(std::string& buffer, char letter, int k, std::string_view text) {
  if (k < 1 || k > 9) return;
  if (text.size() + buffer.size() + 8 > kArgumentLimit) return;
  buffer += '*';
  buffer += letter;
  buffer += static_cast<char>('0' + k);
  buffer += '*';
  buffer += std::to_string(text.size());
  buffer += ' ';
  buffer += text;
}

std::string build_message(std::string_view templ, const std::string& arguments) {
  templ = templ.substr(0, kMessageLimit);
  std::string message = ".  ";
  std::size_t i = 0;
  while (i < templ.size() && message.size() < kMessageLimit) {
    if (i + 5 <= templ.size() && templ[i] == '%' && templ[i + 1] == '(' && templ[i + 4] == ')' &&
        templ[i + 3] >= '1' && templ[i + 3] <= '9') {
      const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(templ[i + 2])));
      std::string_view value;
      if (kPlaceholderLetters.find(letter) != std::string_view::npos &&
          find_argument(arguments, letter, templ[i + 3], value)) {
        const std::size_t room = kMessageLimit - message.size();
        message += value.substr(0, room);
        if (value.size() >= room) break;
        i += 5;
        continue;
      }
    }
    message += templ[i++];
  }
  return message;
}

std::string real_text(float value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%14.6E", static_cast<double>(value));
  std::string text = buf;
  return text.substr(text.find_first_not_of(' '));
}

}  // namespace numlib::error_stack_detail
