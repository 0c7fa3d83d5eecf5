#include "scripting/options.h"

#include <algorithm>

#include "dialogue/ask.h"

namespace scripting {
namespace {

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const auto at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

// One list item: a value or a range "a..b" with a <= b, appended to `values`.
void list_item(std::string_view option, std::string_view whole, std::string_view item, int width,
               bool ranges, std::vector<int>& values) {
  const auto dots = item.find("..");
  if (!ranges || dots == std::string_view::npos) {
    values.push_back(field_value(option, item, width));
    return;
  }
  const int first = field_value(option, item.substr(0, dots), width);
  const int last = field_value(option, item.substr(dots + 2), width);
  if (first > last) throw UsageError{refusal(option, whole, "a range must not fall")};
  for (int v = first; v <= last; ++v) values.push_back(v);
}

}  // namespace

std::string refusal(std::string_view option, std::string_view value, std::string_view reason) {
  std::string line(option);
  line += ' ';
  line += value;
  line += ": ";
  line += reason;
  return line;
}

std::vector<std::string> parse_command_line(int argc, char** argv,
                                            std::span<const OptionRule> rules) {
  std::vector<std::string> operands;
  bool only_operands = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (only_operands || arg.size() < 2 || arg.front() != '-') {
      operands.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      only_operands = true;
      continue;
    }
    const auto equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    const auto rule = std::find_if(rules.begin(), rules.end(),
                                   [&](const OptionRule& s) { return s.name == name; });
    if (rule == rules.end()) throw UsageError{"unknown option: " + std::string(arg)};
    if (!rule->takes_value) {
      if (equals != std::string_view::npos) {
        throw UsageError{"option " + std::string(name) + " takes no value"};
      }
      rule->apply({});
      continue;
    }
    if (equals != std::string_view::npos) {
      rule->apply(arg.substr(equals + 1));
    } else if (i + 1 < argc) {
      rule->apply(argv[++i]);
    } else {
      throw UsageError{"option " + std::string(name) + " needs a value"};
    }
  }
  return operands;
}

int field_value(std::string_view option, std::string_view text, int width) {
  if (text.empty()) throw UsageError{refusal(option, "\"\"", "not an integer")};
  if (text.size() > static_cast<std::size_t>(width)) {
    throw UsageError{refusal(option, text,
                             "wider than the dialogue's field of " + std::to_string(width) +
                                 (width == 1 ? " character" : " characters"))};
  }
  int value = 0;
  if (!dialogue::read_int_field(text, width, value) ||
      text.find_first_not_of(' ') == std::string_view::npos) {
    throw UsageError{refusal(option, text, "not an integer")};
  }
  return value;
}

std::vector<int> field_list(std::string_view option, std::string_view text, int width) {
  std::vector<int> values;
  for (const std::string_view item : split(text, ',')) {
    list_item(option, text, item, width, true, values);
  }
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
  return values;
}

std::pair<std::vector<int>, std::vector<int>> field_pair(std::string_view option,
                                                         std::string_view text, int width,
                                                         bool ranges) {
  const std::vector<std::string_view> parts = split(text, ',');
  if (parts.size() != 2) {
    throw UsageError{refusal(
        option, text, ranges ? "needs NU,MU (each a value or a range a..b)" : "needs NU,MU")};
  }
  std::pair<std::vector<int>, std::vector<int>> orders;
  list_item(option, text, parts[0], width, ranges, orders.first);
  list_item(option, text, parts[1], width, ranges, orders.second);
  return orders;
}

}  // namespace scripting
