#pragma once
// The monomial basis of order nu in D variables: the constant first, then the monomials by
// increasing degree, each degree in lexicographic order of its non-decreasing index sequence.

#include <cstdint>

namespace model {

// Contract of a basis routine: (point X(1..D), dimension D, order nu, output OUT, extent LEN).
using BasisRoutine = void (*)(const double* X, int D, int nu, double* OUT, int LEN);

// Writes the C(D+nu, D) basis values at X into OUT(1..), whatever LEN says.
void MONOMIALS(const double* X, int D, int nu, double* OUT, int LEN);

// C(D+k, D), the number of monomials of degree at most k in D variables, exact (-1 when it
// exceeds the range of a 64-bit integer).
std::int64_t basis_count(int D, int k);

}  // namespace model
