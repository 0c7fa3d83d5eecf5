#pragma once
// The members of the monomial basis as exponent vectors, for naming the terms of a model.

#include <vector>

namespace model {

// Exponents of the C(D+nu, D) members of the basis of order nu in D variables, in basis order:
// member c is the product of X(i)^e[c][i-1], i = 1 .. D.
std::vector<std::vector<int>> basis_exponents(int D, int nu);

}  // namespace model
