#include <cmath>
#include <cstddef>
#include <vector>

#include "model/basis.h"
#include "model/fit_work.h"
#include "model/model_map.h"

namespace model {
namespace {

// The rational map's denominators below this magnitude are replaced, sign kept (1.0E-9 in single
// precision); the prediction's step uses a floor of its own.
constexpr double kErrorDenominatorFloor = static_cast<double>(1.0e-9f);

}  // namespace

// APPROXERR computes the error of approximation of a model map over N points:
// ERR = sqrt( sum (YV(j) - F(A(:, j)))^2 / sum (YV(j) - ybar)^2 ).
//
// A     (in)  D by N delay matrix, column-major; column j (a point) at A + j LDA.
// LDA   (in)  distance between columns: D for a matrix of its own, 1 for a series seen in place.
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
void APPROXERR(const double* A, long LDA, int D, int N, const double* YV, ModelKind kind,
               const double* COEF, int P, int Pnum, int Pden, int nu, int mu, double& ERR) {
  double ss = 0.0;
  if (kind == ModelKind::polynomial) {
    std::vector<double> phi(detail::basis_room(D, nu, P));
    for (int j = 0; j < N; ++j) {
      MONOMIALS(A + static_cast<std::ptrdiff_t>(j) * LDA, D, nu, phi.data(), P);
      double f = 0.0;
      for (int i = 0; i < P; ++i) f += COEF[i] * phi[i];
      const double r = YV[j] - f;
      ss += r * r;
    }
  } else {
    std::vector<double> phi(detail::basis_room(D, nu, Pnum));
    std::vector<double> psi(detail::basis_room(D, mu, Pden + 1));
    for (int j = 0; j < N; ++j) {
      const double* s = A + static_cast<std::ptrdiff_t>(j) * LDA;
      MONOMIALS(s, D, nu, phi.data(), Pnum);
      MONOMIALS(s, D, mu, psi.data(), Pden + 1);
      double num = 0.0;
      for (int i = 0; i < Pnum; ++i) num += COEF[i] * phi[i];
      double sum = 0.0;
      for (int i = 0; i < Pden; ++i) sum += COEF[Pnum + i] * psi[i + 1];
      double q = 1.0 + sum;
      if (std::abs(q) < kErrorDenominatorFloor) {
        q = q < 0.0 ? -kErrorDenominatorFloor : kErrorDenominatorFloor;
      }
      const double r = YV[j] - num / q;
      ss += r * r;
    }
  }

  ERR = detail::error_of_approximation(ss, N, YV);
}

}  // namespace model
