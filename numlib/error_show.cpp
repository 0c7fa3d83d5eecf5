// E1SHOW: the printed message block and the traceback.

#include <cctype>
#include <string>

#include "numlib/error_stack.h"
#include "numlib/error_stack_state.h"
#include "numlib/fields.h"
#include "numlib/machine.h"
#include "numlib/units.h"

namespace numlib {
namespace {

using error_stack_detail::ErrorStack;

constexpr int kFirstLineRoom = 59;
constexpr std::size_t kContinuationRoom = 64;
const std::string kPrefix = " *** ";
const std::string kContinuation = " ***          ";

std::string type_name(int type) {
  static const char* const names[] = {"NOTE    ", "ALERT   ", "WARNING ", "FATAL   ",
                                      "TERMINAL", "WARNING ", "FATAL   "};
  return type >= 1 && type <= 7 ? names[type - 1] : "UNKNOWN ";
}

// A name such as "dL2RRR" (lower-case letter, then upper-case letter) is shown with its first
// letter in upper case; "fac" stays as it is.
std::string shown_name(std::string name) {
  if (name.size() >= 2 && std::islower(static_cast<unsigned char>(name[0])) &&
      std::isupper(static_cast<unsigned char>(name[1]))) {
    name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
  }
  return name;
}

// The message lines after the header: the first line's share of the message, then
// continuation lines of up to 64 characters broken after a blank.
std::string message_lines(const std::string& header, std::string_view message) {
  const std::size_t room =
      static_cast<std::size_t>(kFirstLineRoom - static_cast<int>(header.size()));
  std::string out;
  std::string_view rest;
  const std::size_t line_break = message.find("%/");
  if (line_break != std::string_view::npos && line_break <= room) {
    out = std::string(message.substr(0, line_break));
    rest = message.substr(line_break + 2);
  } else if (message.size() <= room) {
    out = std::string(message);
  } else {
    // Up to, not including, the last blank among the first `room` characters.
    std::size_t cut = message.substr(0, room).rfind(' ');
    if (cut == std::string_view::npos) cut = room;
    out = std::string(message.substr(0, cut));
    rest = message.substr(cut);
  }
  out += '\n';
  while (!rest.empty()) {
    if (rest.front() == ' ') rest.remove_prefix(1);
    std::size_t take = rest.size();
    if (take > kContinuationRoom) {
      // Ends after the last blank within the line, the blank written; else cut at 64.
      const std::size_t blank = rest.substr(0, kContinuationRoom).rfind(' ');
      take = blank == std::string_view::npos ? kContinuationRoom : blank + 1;
    }
    out += kContinuation + std::string(rest.substr(0, take)) + '\n';
    rest.remove_prefix(take);
  }
  return out;
}

std::string traceback_lines(const ErrorStack& s) {
  std::string out;
  out += "     Here is a traceback of subprogram calls in reverse order:\n";
  out += "     Routine name               " + std::string(" ") + "    Error type  Error code\n";
  out += "     ------------" + std::string(2 + 14, ' ') + "    ----------  ----------\n";
  for (int l = s.level; l >= 1; --l) {
    out += "     " + shown_name(s.name[l]) + format_I(s.type[l], 6) + std::string(6, ' ') +
           format_I(s.code[l], 6);
    if (l >= 2 && !s.userCalled[l]) out += "    (Called internally)";
    out += '\n';
  }
  return out;
}

}  // namespace

// E1SHOW: prints the pending message of the current level, with the traceback that the tables
// ask for, to the unit UMACH(3) names. Without a pending message it prints nothing.
void E1SHOW() {
  ErrorStack& s = error_stack_detail::stack();
  if (s.message.empty()) return;
  const int T = s.type[s.level];
  const int style = error_stack_detail::style_of(s, T);

  // Header: the code, then "from" and the routine name up to its first blank.
  std::string header(1, ' ');
  header += std::to_string(s.code[s.level]);
  if (style == 1) {
    const std::string& name = s.name[s.level];
    header += " from " + shown_name(name.substr(0, name.find(' ')));
  }
  if (s.message.rfind(".  ", 0) != 0) header += ".  ";

  std::string block =
      "\n" + kPrefix + type_name(T) + " ERROR" + header + message_lines(header, s.message);
  s.message.clear();
  s.arguments.clear();
  if (error_stack_detail::traceback_flag(s, T) == 1 && (s.level > 2 || style > 1)) {
    block += traceback_lines(s);
  }
  int unit = 0;
  UMACH(3, unit);
  write_unit(unit, block);
}

}  // namespace numlib
