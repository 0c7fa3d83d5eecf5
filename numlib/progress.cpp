#include "numlib/progress.h"

#include <mutex>
#include <utility>

namespace numlib {
namespace {

// The hooks are replaced only between steps, while no library thread runs, but are read from
// the workers: the lock makes the hand-over well defined.
struct Hooks {
  std::mutex lock;
  ProgressHook progress;
  StopHook stop;
};

Hooks& hooks() {
  static Hooks h;
  return h;
}

}  // namespace

void set_work_hooks(ProgressHook progress, StopHook stop) {
  Hooks& h = hooks();
  std::lock_guard guard(h.lock);
  h.progress = std::move(progress);
  h.stop = std::move(stop);
}

void report_progress(std::int64_t done, std::int64_t total) {
  Hooks& h = hooks();
  ProgressHook progress;
  {
    std::lock_guard guard(h.lock);
    progress = h.progress;
  }
  if (progress) progress(done, total);
}

bool stop_requested() {
  Hooks& h = hooks();
  StopHook stop;
  {
    std::lock_guard guard(h.lock);
    stop = h.stop;
  }
  return stop && stop();
}

void check_stop() {
  if (stop_requested()) throw WorkStopped{};
}

}  // namespace numlib
