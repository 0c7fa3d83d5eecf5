#include "numlib/error_stack.h"

#include <string>

#include "numlib/error_stack_state.h"
#include "numlib/stop.h"

namespace numlib {
namespace error_stack_detail {
namespace {

ErrorStack the_stack;

// Sets the stack to its defaults: level 1 "USER" with no error, deeper levels unset.
void E1BOOT(ErrorStack& s) {
  s = ErrorStack{};
  s.booted = true;
  s.level = 1;
  s.maxLevel = 50;
  for (int l = 1; l <= kLevels; ++l) {
    s.name[l] = padded_name("");
    s.type[l] = -1;
    s.code[l] = -1;
    s.userCalled[l] = (l == 2);
  }
  s.name[1] = padded_name("USER");
  s.type[1] = 0;
  s.code[1] = 0;
  s.print = {0, 0, 0, 1, 1, 1, 1, 1};
  s.stop = {0, 0, 0, 0, 1, 1, 0, 1};
  s.traceback = {0, 1, 1, 1, 1, 1, 1, 1};
  s.style = {0, 1, 1, 1, 1, 1, 1, 1};
}

bool in_table(int type) { return type >= 1 && type <= 7; }

[[noreturn]] void stop_program() { throw ProgramStop{1}; }

}  // namespace

ErrorStack& stack() {
  if (!the_stack.booted) E1BOOT(the_stack);
  return the_stack;
}

std::string padded_name(std::string_view name) {
  std::string padded(name.substr(0, kNameLength));
  padded.resize(kNameLength, ' ');
  return padded;
}

int print_flag(const ErrorStack& s, int type) { return in_table(type) ? s.print[type] : 0; }
int stop_flag(const ErrorStack& s, int type) { return in_table(type) ? s.stop[type] : 0; }
int traceback_flag(const ErrorStack& s, int type) { return in_table(type) ? s.traceback[type] : 1; }
int style_of(const ErrorStack& s, int type) { return in_table(type) ? s.style[type] : 1; }

}  // namespace error_stack_detail

using error_stack_detail::ErrorStack;
using error_stack_detail::stack;

void reset_error_stack() { stack().booted = false; }

int error_stack_level() { return stack().level; }

void unwind_error_stack(int level) {
  ErrorStack& s = stack();
  if (level < 1 || level >= s.level) return;
  while (s.level > level) {
    if (s.level < s.maxLevel) {
      s.type[s.level + 1] = -1;
      s.code[s.level + 1] = -1;
    }
    --s.level;
  }
  s.message.clear();
  s.arguments.clear();
}

void E1PSH(std::string_view name) {
  ErrorStack& s = stack();
  if (s.level < s.maxLevel) {
    ++s.level;
    s.name[s.level] = error_stack_detail::padded_name(name);
    s.type[s.level] = 0;
    s.code[s.level] = 0;
    return;
  }
  E1ARGI(1, s.maxLevel);
  E1MES(5, 1, "Error condition in E1PSH.  Push would cause stack level to exceed %(I1). ");
  error_stack_detail::stop_program();
}

void E1POP(std::string_view name) {
  ErrorStack& s = stack();
  if (s.level < 2) {
    E1PSH("E1POP");
    E1ARGL(1, name);
    E1MES(5, 1, "Error condition in E1POP.  Cannot pop from %(L1) because stack is empty.");
    error_stack_detail::stop_program();
  }
  const std::string padded = error_stack_detail::padded_name(name);
  if (padded != s.name[s.level]) {
    E1ARGL(1, padded);
    E1ARGL(2, s.name[s.level]);
    E1MES(5, 2, "Error condition in E1POP.  %(L1) does not match the name %(L2) in the stack.");
    error_stack_detail::stop_program();
  }
  const int T = s.type[s.level];
  if (T != 0) {
    // The error is carried to the caller's level; a NOTE is not.
    if (T >= 2 && T <= 7) {
      s.type[s.level - 1] = T;
      s.code[s.level - 1] = s.code[s.level];
    }
    const bool user_called = s.userCalled[s.level];
    if (T <= 4) {
      if (error_stack_detail::print_flag(s, T) == 1 && user_called) E1SHOW();
      if (error_stack_detail::stop_flag(s, T) == 1 && user_called) {
        error_stack_detail::stop_program();
      }
    } else {
      if (error_stack_detail::print_flag(s, T) == 1) E1SHOW();
      if (T == 5 && s.stop[5] == 1) error_stack_detail::stop_program();
      // No routine records types 6 and 7; they stop like the others, when the routine was
      // called by the program, under header style 1.
      if ((T == 6 || T == 7) && s.stop[T] == 1 && s.style[T] == 1 && user_called) {
        error_stack_detail::stop_program();
      }
    }
  }
  if (s.level < s.maxLevel) {
    s.type[s.level + 1] = -1;
    s.code[s.level + 1] = -1;
  }
  --s.level;
}

void E1MES(int type, int code, std::string_view message) {
  ErrorStack& s = stack();
  if (type != -1) {
    if (type < -1 || type > 7) {
      s.message = ".  Error from E1MES.  Illegal error type specified.";
      E1SHOW();
      error_stack_detail::stop_program();
    }
    s.type[s.level] = type;
  }
  if (code >= 0) s.code[s.level] = code;
  if (type == 0 || code == 0) {
    s.message.clear();
    s.arguments.clear();
    return;
  }
  if (!message.empty() && message != " ") {
    s.message = error_stack_detail::build_message(message, s.arguments);
  }
  const int T = s.type[s.level];
  if (T == 6) s.seen6 = true;
  if (T == 7) s.seen7 = true;
  if (T > 4 && error_stack_detail::print_flag(s, T) == 1) E1SHOW();
  s.arguments.clear();
}

void E1ARGI(int k, int value) {
  ErrorStack& s = stack();
  error_stack_detail::store_argument(s.arguments, 'I', k, std::to_string(value));
}

void E1ARGR(int k, float value) {
  ErrorStack& s = stack();
  error_stack_detail::store_argument(s.arguments, 'R', k, error_stack_detail::real_text(value));
}

void E1ARGL(int k, std::string_view text) {
  ErrorStack& s = stack();
  // Texts are cut to 255 characters; trailing blanks go unless k is negative, but at least one
  // character stays.
  std::string_view value = text.substr(0, 255);
  if (k >= 0) {
    std::size_t length = value.find_last_not_of(' ') + 1;  // 0 when all blank
    if (length == 0) length = 1;
    value = value.substr(0, length);
  }
  const int index = k < 0 ? (k < -9 ? 0 : -k) : k;
  error_stack_detail::store_argument(s.arguments, 'L', index, value);
}

int N1RCD(int selector) {
  ErrorStack& s = stack();
  if (selector == 0) return s.code[s.level];
  if (selector == 1) return s.code[s.level + 1];
  s.type[s.level] = 5;
  s.code[s.level] = 1;
  s.message = ".  The argument passed to N1RCD must be 0 or 1.";
  E1SHOW();
  error_stack_detail::stop_program();
}

}  // namespace numlib
