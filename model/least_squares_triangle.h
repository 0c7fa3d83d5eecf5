#pragma once
// The least-squares triangle of a fit's matrix and targets, the one factorisation that the
// nested orders, the models of chosen columns and term selection are solved from
// (model/triangle_ops.h).

#include "numlib/ls_triangle.h"

namespace model {

// The triangle of the fit's matrix and the targets YV (N equations): the columns of POLYFIT's
// matrix (the basis of order nu at the points of A, D by N, column r at A + r LDA), followed for mu
// >= 1 by RATFIT's denominator columns -YV(j) psi_(k+1), k = 1 .. C(D+mu, D) - 1. With mu = 0 the
// columns of every polynomial fit of order <= nu in D variables are a prefix of it. N may be
// smaller than the number of columns (the rows of R below N are zero). A matrix that cannot be had
// stops the program with the fit's storage message.
numlib::LeastSquaresTriangle least_squares_triangle(const double* A, long LDA, int D, int N,
                                                    const double* YV, int nu, int mu);

}  // namespace model
