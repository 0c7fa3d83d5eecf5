// The triangle of a fit's matrix: streamed for large problems, otherwise by one Householder
// factorisation of the explicit [A | y].

#include "model/least_squares_triangle.h"

#include <cstddef>
#include <memory>
#include <vector>

#include "model/basis.h"
#include "model/design_matrix.h"
#include "model/fit_work.h"
#include "model/stream_triangle.h"
#include "numlib/qr.h"

namespace model {

numlib::LeastSquaresTriangle least_squares_triangle(const double* A, long LDA, int D, int N,
                                                    const double* YV, int nu, int mu) {
  const int Pnum = static_cast<int>(basis_count(D, nu));
  const int Pden = mu >= 1 ? static_cast<int>(basis_count(D, mu)) - 1 : 0;
  const int P = Pnum + Pden;
  const int columns = P + 1;
  const char* routine = mu >= 1 ? "RATFIT" : "POLYFIT";
  // Large problems stream, without the matrix.
  if (detail::fit_streams(N, P))
    return detail::stream_triangle(routine, columns, A, LDA, D, N, YV, nu, mu);
  std::unique_ptr<double[]> M = detail::allocate_least_squares_matrix(routine, N, columns);
  const std::ptrdiff_t n = N;

  // [A | y], the columns as the fits build them.
  detail::monomial_columns(A, LDA, D, N, nu, M.get(), N);
  if (Pden > 0) detail::scaled_monomial_columns(A, LDA, D, N, mu, YV, M.get() + Pnum * n, N);
  for (std::ptrdiff_t j = 0; j < n; ++j) M[P * n + j] = YV[j];

  std::vector<int> KORDER(static_cast<std::size_t>(columns));
  std::vector<double> HHAUX(static_cast<std::size_t>(columns));
  std::vector<double> COLNRM(static_cast<std::size_t>(columns));
  numlib::DLQRRR(N, columns, M.get(), N, false, KORDER.data(), M.get(), N, HHAUX.data(),
                 COLNRM.data());

  // R of [A | y] on and above the diagonal; rows below N (a short problem) stay zero.
  numlib::LeastSquaresTriangle t;
  t.P = P;
  t.N = N;
  t.T.assign(static_cast<std::size_t>(columns) * columns, 0.0);
  for (int j = 1; j <= columns; ++j) {
    const int last = j < N ? j : N;
    for (int i = 1; i <= last; ++i) t(i, j) = M[(j - 1) * n + (i - 1)];
  }
  return t;
}

}  // namespace model
