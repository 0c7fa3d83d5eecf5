#pragma once
// Least-squares fits of the model map by Householder QR (no pivoting).

#include "model/basis.h"

namespace model {

void POLYFIT(const double* A, long LDA, int D, int N, const double* YV, double* COEF, int P,
             BasisRoutine BASIS, int nu, double& ERR);

void RATFIT(const double* A, long LDA, int D, int N, const double* YV, double* COEF, int Pnum,
            BasisRoutine BASISN, int nu, int Pden, BasisRoutine BASISD, int mu, double& ERR);

}  // namespace model
