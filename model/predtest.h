#pragma once
// Iterated prediction over Ktest test pieces: the prediction error curve E(1..Ltest), the
// prediction time PT and the number of infinite solutions NINF.

#include "model/model_map.h"

namespace model {

void PREDTEST(const double* XT, int D, int Ltest, int Stest, int Ktest, const MapRoutine& MAPR,
              double* E, int& PT, int& NINF);

}  // namespace model
