#pragma once
// The triangle of a linear least-squares problem. For an N by P matrix A and targets y,
//
//   [A | y] = Q [ R  z  ]     Q orthogonal (N by N), R upper triangular (P by P),
//               [ 0  rho]     z = the first P elements of Q^T y, |rho| = the norm of the rest,
//               [ 0  0  ]
//
// so the least-squares coefficients solve R c = z and the residual norm is |rho|. The leading
// columns of A carry their own problem in the leading block: the first k columns have the
// triangle R(1:k, 1:k), z(1:k) and the residual norm sqrt(z(k+1)^2 + ... + z(P)^2 + rho^2).
// Nested models whose terms are a prefix of a larger basis are solved from one triangle.

#include <cstdint>
#include <vector>

namespace numlib {

struct LeastSquaresTriangle {
  int P = 0;           // columns of A
  std::int64_t N = 0;  // rows of A (equations)
  // (P + 1) by (P + 1), column-major with leading dimension P + 1: R in rows and columns
  // 1 .. P, z in column P + 1, rho at (P + 1, P + 1). Entries below the diagonal are zero.
  std::vector<double> T;

  double& operator()(int i, int j) {
    return T[static_cast<std::size_t>(j - 1) * (P + 1) + (i - 1)];
  }
  double operator()(int i, int j) const {
    return T[static_cast<std::size_t>(j - 1) * (P + 1) + (i - 1)];
  }
};

}  // namespace numlib
