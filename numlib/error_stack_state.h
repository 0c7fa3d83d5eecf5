#pragma once
// The error stack's state, shared by the files that implement numlib/error_stack.h. Nothing
// outside those files includes this header.

#include <array>
#include <string>
#include <string_view>

namespace numlib::error_stack_detail {

constexpr int kLevels = 51;      // levels 1..51
constexpr int kNameLength = 32;  // routine names are blank-padded to this length
constexpr std::size_t kMessageLimit = 1024;
constexpr std::size_t kArgumentLimit = 300;

struct ErrorStack {
  bool booted = false;
  int level = 1;
  int maxLevel = 50;
  // Entries by level, 1-based (entry 0 unused).
  std::array<std::string, kLevels + 1> name{};
  std::array<int, kLevels + 1> type{};
  std::array<int, kLevels + 1> code{};
  std::array<bool, kLevels + 1> userCalled{};
  std::string message;    // pending message, at most kMessageLimit characters
  std::string arguments;  // stored placeholder values, at most kArgumentLimit characters
  // Tables by error type, 1-based (entry 0 unused).
  std::array<int, 8> print{};
  std::array<int, 8> stop{};
  std::array<int, 8> traceback{};
  std::array<int, 8> style{};
  bool seen6 = false;
  bool seen7 = false;
};

// The one instance, set to its defaults on first use.
ErrorStack& stack();

// `name` cut or blank-padded to kNameLength characters.
std::string padded_name(std::string_view name);

// Appends the entry "*<letter><k>*<length> <text>" unless k is outside 1..9 or the buffer
// would exceed kArgumentLimit characters.
void store_argument(std::string& buffer, char letter, int k, std::string_view text);

// ".  " followed by the template with its placeholders filled from `arguments`.
std::string build_message(std::string_view templ, const std::string& arguments);

// Text of a real value in a message: exponent form with 6 digits after the point.
std::string real_text(float value);

// Table lookups that tolerate types outside 1..7 (no print or stop; traceback and style 1).
int print_flag(const ErrorStack& s, int type);
int stop_flag(const ErrorStack& s, int type);
int traceback_flag(const ErrorStack& s, int type);
int style_of(const ErrorStack& s, int type);

}  // namespace numlib::error_stack_detail
