#pragma once
// The monomial basis evaluated at many points at once, column by column, for the least-squares
// matrices of the fits. Values equal those of MONOMIALS bit for bit.

#include <vector>

namespace model::detail {

// How each member of the basis of order nu in D variables is made: member c (c >= 1) is member
// parent[c] times variable var[c] (0-based), member 0 the constant. Basis order.
struct MonomialPlan {
  std::vector<int> parent;
  std::vector<int> var;
};
MonomialPlan monomial_plan(int D, int nu);

// The plan of (D, nu), kept per thread for the last two orders asked (MONOMIALS, MAPSTEP).
const MonomialPlan& cached_monomial_plan(int D, int nu);

// OUT(r, c) = member c of the basis at point r, for the points A(:, r), r = 0 .. N-1 (A is D by
// N, column r at A + r LDA), and c = 0 .. C(D+nu, D)-1; OUT is column-major with leading
// dimension ldo >= N. The points are shared out among the library's threads.
void monomial_columns(const double* A, long LDA, int D, int N, int nu, double* OUT, long ldo);

// The denominator part of the rational fit's matrix: OUT(r, k-1) = -YV(r) * psi_(k+1)(A(:, r)),
// k = 1 .. C(D+mu, D)-1, with the same values as -YV(r) * MONOMIALS(...)[k].
void scaled_monomial_columns(const double* A, long LDA, int D, int N, int mu, const double* YV,
                             double* OUT, long ldo);

}  // namespace model::detail
