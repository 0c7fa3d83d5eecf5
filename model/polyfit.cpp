#include <cstddef>
#include <vector>

#include "model/design_matrix.h"
#include "model/fit_work.h"
#include "model/fits.h"

namespace model {

namespace {

// The work of POLYFIT; POLYFIT turns a storage failure inside it into its storage error.
void polyfit_work(const double* A, long LDA, int D, int N, const double* YV, double* COEF, int P,
                  BasisRoutine BASIS, int nu, double& ERR);

}  // namespace

// POLYFIT fits a polynomial model map of order nu to N training points by linear least
// squares (Householder QR without pivoting, no scaling or centring).
//
// A     (in)  D by N delay matrix, column-major; column j (a point) at A + j LDA.
// LDA   (in)  distance between columns: D for a matrix of its own, 1 for a series seen in place.
// D     (in)  dimension of the map, D >= 1.
// N     (in)  number of training points, N >= P.
// YV    (in)  N targets.
// COEF  (out) P coefficients in basis order.
// P     (in)  number of coefficients; must equal the number of values BASIS writes.
// BASIS (in)  the basis routine, called as BASIS(point, D, nu, row, P) once per point.
// nu    (in)  order of the polynomial.
// ERR   (out) sqrt( sum resid^2 / sum (YV - ybar)^2 ) from the solver's residuals.
//
// Errors: the storage of the fit (the N by P matrix, the vectors of the solve) cannot be had:
// TERMINAL code 2 from POLYFIT; bad sizes and an exactly singular triangular factor are reported
// by DLQRRR and DLQRSL. Each stops the program; COEF and ERR are then undefined.
void POLYFIT(const double* A, long LDA, int D, int N, const double* YV, double* COEF, int P,
             BasisRoutine BASIS, int nu, double& ERR) {
  detail::with_storage_guard("POLYFIT", N, P,
                             [&] { polyfit_work(A, LDA, D, N, YV, COEF, P, BASIS, nu, ERR); });
}

namespace {

void polyfit_work(const double* A, long LDA, int D, int N, const double* YV, double* COEF, int P,
                  BasisRoutine BASIS, int nu, double& ERR) {
  // The monomial basis of a large problem streams: its matrix is never formed.
  if (BASIS == MONOMIALS && basis_count(D, nu) == P && detail::fit_streams(N, P)) {
    ERR = detail::stream_least_squares("POLYFIT", A, LDA, D, N, YV, nu, 0, COEF);
    return;
  }
  std::unique_ptr<double[]> M = detail::allocate_least_squares_matrix("POLYFIT", N, P);

  // Row j of M is the basis at point j; column 1 is all ones. The monomial basis is built
  // column by column (the same values as MONOMIALS gives row by row).
  if (BASIS == MONOMIALS && basis_count(D, nu) == P) {
    detail::monomial_columns(A, LDA, D, N, nu, M.get(), N);
  } else {
    const std::size_t stride = detail::basis_room(D, nu, P);
    detail::build_rows(M.get(), N, P, stride, [&](int j, double* row) {
      BASIS(A + static_cast<std::ptrdiff_t>(j) * LDA, D, nu, row, P);
    });
  }

  ERR = detail::solve_least_squares(N, P, M.get(), YV, COEF);
}

}  // namespace

}  // namespace model
