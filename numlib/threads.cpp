// A small pool of persistent worker threads for parallel_for. The workers sleep on a condition
// variable between jobs; a job hands each worker one contiguous range of piece indices.

#include "numlib/threads.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "numlib/held_signals.h"

namespace numlib {
namespace {

int core_count() {
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int>(n);
}

class Pool {
 public:
  explicit Pool(int workers) {
    // The workers never take a signal sent to the program, so that a thread that holds the
    // signals back around work that must not be cut short is not bypassed (held_signals.h).
    const HeldSignals held;
    for (int w = 0; w < workers; ++w) threads_.emplace_back([this, w] { run(w + 1); });
  }
  ~Pool() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
  }
  int workers() const { return static_cast<int>(threads_.size()); }

  // Runs work(r) for r = 0 .. ranges-1, range 0 on the calling thread.
  void run_job(int ranges, const std::function<void(int)>& work) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job_ = &work;
      ranges_ = ranges;
      pending_.store(ranges - 1, std::memory_order_relaxed);
      ++generation_;
    }
    wake_.notify_all();
    work(0);
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return pending_.load(std::memory_order_acquire) == 0; });
    job_ = nullptr;
  }

 private:
  void run(int index) {
    unsigned long seen = 0;
    for (;;) {
      const std::function<void(int)>* job;
      int ranges;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [&] { return quit_ || generation_ != seen; });
        if (quit_) return;
        seen = generation_;
        job = job_;
        ranges = ranges_;
      }
      if (index < ranges) {
        (*job)(index);
        std::lock_guard<std::mutex> lock(mutex_);
        if (pending_.fetch_sub(1, std::memory_order_acq_rel) == 1) done_.notify_one();
      }
    }
  }

  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  const std::function<void(int)>* job_ = nullptr;
  int ranges_ = 0;
  unsigned long generation_ = 0;
  std::atomic<int> pending_{0};
  bool quit_ = false;
};

std::mutex config_mutex;
int requested_threads = 0;  // 0: the core count
std::unique_ptr<Pool> pool;
thread_local bool inside_job = false;

}  // namespace

int thread_count() {
  std::lock_guard<std::mutex> lock(config_mutex);
  return requested_threads == 0 ? core_count() : requested_threads;
}

void set_thread_count(int count) {
  std::lock_guard<std::mutex> lock(config_mutex);
  requested_threads = std::clamp(count, 1, core_count());
}

void parallel_for(int count, const std::function<void(int, int)>& work) {
  if (count <= 0) return;
  const int threads = std::min(count, inside_job ? 1 : thread_count());
  if (threads <= 1) {
    work(0, count);
    return;
  }
  std::lock_guard<std::mutex> lock(config_mutex);  // one job at a time
  if (!pool || pool->workers() < threads - 1) {
    pool.reset();
    pool = std::make_unique<Pool>(threads - 1);
  }
  // An exception thrown by work (a stop request, a failed allocation) ends its own range; the
  // first one caught is thrown again here once every range has finished, so that nothing of
  // the job outlives the call.
  std::mutex failure_mutex;
  std::exception_ptr failure;
  const std::function<void(int)> range = [&](int r) {
    const bool was_inside = inside_job;
    inside_job = true;
    const long begin = static_cast<long>(count) * r / threads;
    const long end = static_cast<long>(count) * (r + 1) / threads;
    try {
      work(static_cast<int>(begin), static_cast<int>(end));
    } catch (...) {
      std::lock_guard<std::mutex> lock(failure_mutex);
      if (!failure) failure = std::current_exception();
    }
    inside_job = was_inside;
  };
  pool->run_job(threads, range);
  if (failure) std::rethrow_exception(failure);
}

}  // namespace numlib
