#pragma once
// The command lines of the scripting commands: options with and without values, and the
// integer values they take, read as the dialogue's fixed-width fields would read them.

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace scripting {

// A refused command line: one line of text (it names the option), exit status 2.
struct UsageError {
  std::string message;
};

struct OptionRule {
  std::string_view name;  // with its dashes, "--ntrain"
  bool takes_value;
  std::function<void(std::string_view value)> apply;
};

// Reads argv[1 .. argc-1]: each option by its rule (a value as the next argument or after
// "="), the other arguments, and every argument after "--", as operands, returned in order.
std::vector<std::string> parse_command_line(int argc, char** argv,
                                            std::span<const OptionRule> rules);

// The value of an option as the dialogue's integer field of `width` characters takes it: at
// most `width` characters, blanks ignored, an optionally signed decimal integer.
int field_value(std::string_view option, std::string_view text, int width);

// Values and ranges separated by commas ("1..6", "2,4", "1..3,5"), each bound a field value;
// ascending, without repeats.
std::vector<int> field_list(std::string_view option, std::string_view text, int width);

// "A,B": two parts, each a value, or (with ranges allowed) a list item "a..b".
std::pair<std::vector<int>, std::vector<int>> field_pair(std::string_view option,
                                                         std::string_view text, int width,
                                                         bool ranges);

// "option value: reason", the line of a refused value.
std::string refusal(std::string_view option, std::string_view value, std::string_view reason);

}  // namespace scripting
