#include <cstddef>
#include <vector>

#include "model/design_matrix.h"
#include "model/fit_work.h"
#include "model/fits.h"

namespace model {

namespace {

// The work of RATFIT; RATFIT turns a storage failure inside it into its storage error.
void ratfit_work(const double* A, long LDA, int D, int N, const double* YV, double* COEF, int Pnum,
                 BasisRoutine BASISN, int nu, int Pden, BasisRoutine BASISD, int mu, double& ERR);

}  // namespace

// RATFIT fits a rational model map Nm / Q (numerator order nu, denominator order mu, constant
// term of Q fixed at 1) to N training points. Multiplying through by Q makes the problem
// linear: sum a(i) phi_i(s) - y * sum b(k) psi_(k+1)(s) = y, solved once in the least-squares
// sense (Householder QR without pivoting). This minimises the equation error y Q - Nm, not the
// error of the quotient.
//
// A      (in)  D by N delay matrix, column-major; column j (a point) at A + j LDA.
// LDA    (in)  distance between columns: D for a matrix of its own, 1 for a series seen in place.
// D      (in)  dimension of the map, D >= 1.
// N      (in)  number of training points, N >= Pnum + Pden.
// YV     (in)  N targets.
// COEF   (out) Pnum numerator coefficients, then Pden denominator coefficients, basis order.
// Pnum   (in)  number of numerator coefficients; must equal the number of values BASISN writes.
// BASISN (in)  the numerator basis routine, called as BASISN(point, D, nu, row, Pnum).
// nu     (in)  numerator order.
// Pden   (in)  number of free denominator coefficients; Pden + 1 must equal the number of values
//              BASISD writes (its first value, the constant, is not used).
// BASISD (in)  the denominator basis routine, called as BASISD(point, D, mu, row, Pden + 1).
// mu     (in)  denominator order.
// ERR    (out) sqrt( sum resid^2 / sum (YV - ybar)^2 ) of the linearised problem.
//
// Errors: as POLYFIT, with RATFIT as the name for the storage error. All targets 0 with
// mu >= 1 leaves the denominator columns zero and gives the solver's singular-matrix error.
void RATFIT(const double* A, long LDA, int D, int N, const double* YV, double* COEF, int Pnum,
            BasisRoutine BASISN, int nu, int Pden, BasisRoutine BASISD, int mu, double& ERR) {
  const int P = Pnum + Pden;
  detail::with_storage_guard("RATFIT", N, P, [&] {
    ratfit_work(A, LDA, D, N, YV, COEF, Pnum, BASISN, nu, Pden, BASISD, mu, ERR);
  });
}

namespace {

void ratfit_work(const double* A, long LDA, int D, int N, const double* YV, double* COEF, int Pnum,
                 BasisRoutine BASISN, int nu, int Pden, BasisRoutine BASISD, int mu, double& ERR) {
  const int P = Pnum + Pden;
  if (BASISN == MONOMIALS && BASISD == MONOMIALS && basis_count(D, nu) == Pnum &&
      basis_count(D, mu) == Pden + 1 && detail::fit_streams(N, P)) {
    ERR = detail::stream_least_squares("RATFIT", A, LDA, D, N, YV, nu, mu, COEF);
    return;
  }
  std::unique_ptr<double[]> M = detail::allocate_least_squares_matrix("RATFIT", N, P);

  // Row j: the numerator basis, then -y times the denominator basis without its constant.
  // The monomial basis is built column by column (the same values as MONOMIALS row by row).
  if (BASISN == MONOMIALS && BASISD == MONOMIALS && basis_count(D, nu) == Pnum &&
      basis_count(D, mu) == Pden + 1) {
    detail::monomial_columns(A, LDA, D, N, nu, M.get(), N);
    detail::scaled_monomial_columns(A, LDA, D, N, mu, YV,
                                    M.get() + static_cast<std::ptrdiff_t>(Pnum) * N, N);
  } else {
    const std::size_t stride = detail::basis_room(D, nu, P);
    std::vector<double> rowD(detail::basis_room(D, mu, Pden + 1));
    detail::build_rows(M.get(), N, P, stride, [&](int j, double* row) {
      const double* s = A + static_cast<std::ptrdiff_t>(j) * LDA;
      BASISN(s, D, nu, row, Pnum);
      BASISD(s, D, mu, rowD.data(), Pden + 1);
      const double y = YV[j];
      for (int k = 1; k <= Pden; ++k) row[Pnum + k - 1] = -y * rowD[k];
    });
  }

  ERR = detail::solve_least_squares(N, P, M.get(), YV, COEF);
}

}  // namespace

}  // namespace model
