#pragma once
// Iterated prediction over Ktest test pieces: the prediction error curve E(1..Ltest), the
// prediction time PT and the number of infinite solutions NINF.
//
// Two forms, the same numbers. With a map routine MAPR the pieces run one after the other on
// the calling thread, since nothing is known of whether MAPR may run concurrently. With a
// ModelMap the step is its MAPSTEP, and blocks of pieces run on the numerical library's threads
// (numlib/threads.h), each thread with its own states and work area; the terms are added in
// piece order either way, so E, PT and NINF do not depend on the form or the thread count.

#include "model/model_map.h"

namespace model {

// Serial: MAPR is called as MAPR(D, n, state, next state) on the calling thread only.
void PREDTEST(const double* XT, int D, int Ltest, int Stest, int Ktest, const MapRoutine& MAPR,
              double* E, int& PT, int& NINF);

// Parallel: the step is MAPSTEP of `map` (map.D == D), which is only read; map.W is not used.
void PREDTEST(const double* XT, int D, int Ltest, int Stest, int Ktest, const ModelMap& map,
              double* E, int& PT, int& NINF);

}  // namespace model
