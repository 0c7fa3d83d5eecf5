#pragma once
// Progress and stopping of long computations. The long loops of the library (the row blocks of
// a fit, the pieces of an iterated prediction) tell the program how far they are and ask
// between two units of work whether to go on, through two hooks that the program installs for
// the duration of one step of its dialogue. Both hooks may be called from any of the library's
// threads, so they must be cheap and thread-safe; without hooks nothing is reported and no stop
// is ever requested.

#include <cstdint>
#include <exception>
#include <functional>

namespace numlib {

// Thrown by check_stop when a stop was requested: the step in progress is abandoned and its
// partial results are discarded. A routine that has pushed its name on the error stack pops it
// while this unwinds (a guard object does it), so the stack is as before the call.
struct WorkStopped : std::exception {
  const char* what() const noexcept override { return "work stopped"; }
};

// done of total units of the current work are finished (0 <= done <= total).
using ProgressHook = std::function<void(std::int64_t done, std::int64_t total)>;
// True when the current work is to be abandoned.
using StopHook = std::function<bool()>;

// Installs the hooks; empty functions remove them.
void set_work_hooks(ProgressHook progress, StopHook stop);

void report_progress(std::int64_t done, std::int64_t total);
bool stop_requested();
// Throws WorkStopped when stop_requested().
void check_stop();

}  // namespace numlib
