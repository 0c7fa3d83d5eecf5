#include "numlib/threads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace numlib {
namespace {

// Runs the test body with `threads` threads and puts the count back afterwards.
class WithThreads {
 public:
  explicit WithThreads(int threads) : saved_(thread_count()) { set_thread_count(threads); }
  ~WithThreads() { set_thread_count(saved_); }

 private:
  int saved_;
};

bool two_cores() { return std::thread::hardware_concurrency() >= 2; }

TEST(ParallelFor, EveryIndexOnceInConsecutiveRanges) {
  // Counts below, at and above the thread count: no empty range is handed out.
  for (const int threads : {1, 2}) {
    const WithThreads with(threads);
    for (const int count : {0, 1, 2, 3, 7, 100}) {
      std::mutex mutex;
      std::vector<int> hits(static_cast<std::size_t>(count), 0);
      int calls = 0;
      parallel_for(count, [&](int begin, int end) {
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_LT(begin, end) << count;
        ++calls;
        for (int i = begin; i < end; ++i) ++hits[static_cast<std::size_t>(i)];
      });
      EXPECT_EQ(hits, std::vector<int>(static_cast<std::size_t>(count), 1)) << count;
      EXPECT_EQ(calls, std::min(count, thread_count())) << count << " items";
    }
  }
}

TEST(ParallelFor, NestedCallsRunSeriallyOnTheirOwnThread) {
  const WithThreads with(2);
  std::mutex mutex;
  std::vector<int> hits(6 * 5, 0);
  parallel_for(6, [&](int begin, int end) {
    for (int i = begin; i < end; ++i) {
      const std::thread::id outer = std::this_thread::get_id();
      int inner_calls = 0;
      parallel_for(5, [&](int b, int e) {
        EXPECT_EQ(std::this_thread::get_id(), outer);
        ++inner_calls;
        std::lock_guard<std::mutex> lock(mutex);
        for (int j = b; j < e; ++j) ++hits[static_cast<std::size_t>(i * 5 + j)];
      });
      EXPECT_EQ(inner_calls, 1);
    }
  });
  EXPECT_EQ(hits, std::vector<int>(6 * 5, 1));
}

// A work item that throws, on the calling thread's range (0) or on a worker's (1): the other
// range still runs to its end before the caller sees the exception, and the pool serves the
// next job on both threads.
TEST(ParallelFor, AThrowingItemReachesTheCallerAfterEveryRangeHasEnded) {
  if (!two_cores()) GTEST_SKIP() << "one core: no worker thread";
  const WithThreads with(2);
  for (const int throwing_range : {0, 1}) {
    std::atomic<int> finished{0};
    try {
      parallel_for(2, [&](int begin, int) {
        if (begin == throwing_range) throw std::runtime_error("item " + std::to_string(begin));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ++finished;
      });
      ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(e.what(), "item " + std::to_string(throwing_range));
    }
    EXPECT_EQ(finished.load(), 1) << "range " << throwing_range;

    std::mutex mutex;
    std::set<std::thread::id> seen;
    parallel_for(2, [&](int, int) {
      std::lock_guard<std::mutex> lock(mutex);
      seen.insert(std::this_thread::get_id());
    });
    EXPECT_EQ(seen.size(), 2u) << "after range " << throwing_range << " threw";
  }
}

TEST(ParallelFor, TheLowestThrowingRangeWins) {
  if (!two_cores()) GTEST_SKIP() << "one core: no worker thread";
  const WithThreads with(2);
  try {
    parallel_for(2, [](int begin, int) {
      if (begin == 1) throw std::logic_error("worker");
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      throw std::runtime_error("caller");
    });
    ADD_FAILURE() << "no exception";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "caller");
  }
}

}  // namespace
}  // namespace numlib
