#pragma once
// The numerical library's error stack: routine names by level, error type and code per level,
// the pending message, and the print, traceback and stop tables by error type.
// Error types: 1 NOTE, 2 ALERT, 3 WARNING, 4 FATAL, 5 TERMINAL, 6 WARNING, 7 FATAL.
// A stop of the program throws numlib::ProgramStop{1}.

#include <string_view>

namespace numlib {

void E1PSH(std::string_view name);
void E1POP(std::string_view name);
void E1MES(int type, int code, std::string_view message);
void E1ARGI(int k, int value);
void E1ARGR(int k, float value);
void E1ARGL(int k, std::string_view text);
int N1RCD(int selector);
void E1SHOW();

// The current level of the stack, and the return to an earlier level when an exception has left
// routines without their E1POP (a storage failure deep inside a solve): each level above
// `level` is dropped as a clean E1POP would drop it, without message or stop, and the pending
// message and the stored arguments are discarded. A `level` at or above the current one
// changes nothing.
int error_stack_level();
void unwind_error_stack(int level);

// Puts the stack back to its state before the first use (tests only; the program never calls it).
void reset_error_stack();

}  // namespace numlib
