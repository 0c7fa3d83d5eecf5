#pragma once
// The worker threads of the numerical library. Heavy loops (the blocked QR factorisation, the
// design matrix) split their work into fixed pieces whose results do not depend on which thread
// computes them, so the number of threads changes the speed and never a digit of the output.

#include <functional>

namespace numlib {

// Number of threads the library uses, 1 .. the machine's core count. Starts at the core count.
int thread_count();

// Sets the number of threads; values outside 1 .. the core count are clamped into that range.
void set_thread_count(int count);

// Calls work(begin, end) on consecutive ranges that together cover 0 .. count-1, one range per
// thread in use (fewer when count is small), and returns when all have finished. The calling
// thread takes the first range. Calls from inside work run serially. When work throws on any
// thread, the call returns only after all ranges have ended and then throws the first exception.
void parallel_for(int count, const std::function<void(int begin, int end)>& work);

}  // namespace numlib
