#include <cmath>
#include <cstddef>
#include <vector>

#include "model/basis.h"
#include "model/model_map.h"

namespace model {
namespace {

// Denominators below this magnitude are replaced, sign kept (1.0E-9 in single precision).
constexpr double kGuard = static_cast<double>(1.0e-9f);

// Room for the basis of order k in D variables: the caller's count, or more if the basis
// routine writes more, so that a count that disagrees cannot overrun the buffer.
std::size_t room(int D, int k, int count) {
  const std::int64_t c = basis_count(D, k);
  const std::int64_t n = c > count ? c : count;
  return static_cast<std::size_t>(n > 1 ? n : 1);
}

}  // namespace

// APPROXERR computes the error of approximation of a model map over N points:
// ERR = sqrt( sum (YV(j) - F(A(:, j)))^2 / sum (YV(j) - ybar)^2 ).
//
// A     (in)  D by N delay matrix, column-major with leading dimension D.
// D     (in)  dimension of the map, D >= 1.
// N     (in)  number of points, N >= 1.
// YV    (in)  N targets.
// kind  (in)  polynomial: F = sum COEF(i) phi_i, i = 1..P; rational: F = Nm / Q with
//             Nm = sum COEF(i) phi_i, i = 1..Pnum, Q = 1 + sum COEF(Pnum+i) psi_(i+1),
//             i = 1..Pden; a Q of magnitude below 1.0E-9 is replaced by -/+1.0E-9 (0 counts
//             as positive).
// COEF  (in)  P coefficients (polynomial) or Pnum + Pden (rational), basis order.
// P, Pnum, Pden, nu, mu (in) the counts and orders of the map; P = C(D+nu, D) for a
//             polynomial map, Pnum = C(D+nu, D) and Pden = C(D+mu, D) - 1 for a rational one.
// ERR   (out) the error of approximation; not finite when all targets are equal.
//
// Nothing is checked and no error is reported.
void APPROXERR(const double* A, int D, int N, const double* YV, ModelKind kind, const double* COEF,
               int P, int Pnum, int Pden, int nu, int mu, double& ERR) {
  double ss = 0.0;
  if (kind == ModelKind::polynomial) {
    std::vector<double> phi(room(D, nu, P));
    for (int j = 0; j < N; ++j) {
      MONOMIALS(A + static_cast<std::ptrdiff_t>(j) * D, D, nu, phi.data(), P);
      double f = 0.0;
      for (int i = 0; i < P; ++i) f += COEF[i] * phi[i];
      const double r = YV[j] - f;
      ss += r * r;
    }
  } else {
    std::vector<double> phi(room(D, nu, Pnum));
    std::vector<double> psi(room(D, mu, Pden + 1));
    for (int j = 0; j < N; ++j) {
      const double* s = A + static_cast<std::ptrdiff_t>(j) * D;
      MONOMIALS(s, D, nu, phi.data(), Pnum);
      MONOMIALS(s, D, mu, psi.data(), Pden + 1);
      double num = 0.0;
      for (int i = 0; i < Pnum; ++i) num += COEF[i] * phi[i];
      double sum = 0.0;
      for (int i = 0; i < Pden; ++i) sum += COEF[Pnum + i] * psi[i + 1];
      double q = 1.0 + sum;
      if (std::abs(q) < kGuard) q = q < 0.0 ? -kGuard : kGuard;
      const double r = YV[j] - num / q;
      ss += r * r;
    }
  }

  // Spread of the targets about their mean.
  double total = 0.0;
  for (int j = 0; j < N; ++j) total += YV[j];
  const double ybar = total / N;
  double sv = 0.0;
  for (int j = 0; j < N; ++j) sv += (YV[j] - ybar) * (YV[j] - ybar);
  ERR = std::sqrt(ss / sv);
}

}  // namespace model
