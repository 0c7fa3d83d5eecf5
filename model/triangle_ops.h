#pragma once
// What is solved from a least-squares triangle (numlib/ls_triangle.h): the models of its leading
// or chosen columns, with equations added afterwards. Every
// operation on a triangle is an orthogonal transformation of [A | y], so a triangle stands for
// its whole problem: the models of any of its columns have their exact least-squares solution
// and residual in it.

#include <cstdint>
#include <span>

#include "numlib/ls_triangle.h"

namespace model {

// Coefficients of the model of the first k columns: solves R(1:k, 1:k) c = z(1:k) by back
// substitution into c(1..k). Returns 0, or the index of the exactly zero diagonal element of R
// that the back substitution meets first (from k down); c is then undefined.
int solve_leading(const numlib::LeastSquaresTriangle& t, int k, double* c);

// Residual sum of squares of the model of the first k columns: z(k+1)^2 + ... + z(P)^2 + rho^2.
double leading_residual(const numlib::LeastSquaresTriangle& t, int k);

// The triangle of the problem whose columns are columns(1), ..., columns(m) of t's problem
// (1-based, distinct, in the order wanted) with the same targets; m may be 0.
numlib::LeastSquaresTriangle column_triangle(const numlib::LeastSquaresTriangle& t,
                                             std::span<const int> columns);

// Adds one equation to the problem: row holds a(1 .. P) and its target y(P + 1 elements).
void add_equation(numlib::LeastSquaresTriangle& t, std::span<const double> row);

}  // namespace model
