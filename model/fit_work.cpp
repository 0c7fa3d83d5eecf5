#include "model/fit_work.h"

#include <sys/mman.h>

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "model/basis.h"
#include "model/stream_triangle.h"
#include "numlib/error_stack.h"
#include "numlib/memory.h"
#include "numlib/qr.h"

namespace model::detail {

namespace {

// Asks the kernel to back the whole 2 MiB pages inside a large block with huge pages: the
// first touch of a design matrix of hundreds of megabytes then takes a few hundred page faults
// instead of a hundred thousand, and the factorisation fewer TLB misses. Only a hint.
void prefer_huge_pages(void* block, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t kHuge = std::uintptr_t{1} << 21;
  const auto begin = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t first = (begin + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t last = (begin + bytes) & ~(kHuge - 1);
  if (bytes >= 8 * kHuge && last > first) {
    madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  }
#else
  (void)block;
  (void)bytes;
#endif
}

}  // namespace

std::unique_ptr<double[]> allocate_least_squares_matrix(const char* routine, int N, int P) {
  const std::uint64_t rows = N > 0 ? static_cast<std::uint64_t>(N) : 0;
  const std::uint64_t columns = P > 0 ? static_cast<std::uint64_t>(P) : 0;
  const std::uint64_t elements = rows * columns;  // below 2^62: no overflow
  // The matrix, the two N-long vectors of the solve and its four P-long ones.
  const std::uint64_t need = (elements + 2 * rows + 4 * columns) * sizeof(double);
  // A fit beyond the memory that is really there is refused before the matrix is touched: an
  // overcommitted allocation would succeed and the process would be killed while it is filled.
  bool refused = need > numlib::usable_memory_bytes();
  std::unique_ptr<double[]> M;
  if (!refused) {
    try {
      M = std::make_unique_for_overwrite<double[]>(static_cast<std::size_t>(elements));
      prefer_huge_pages(M.get(), static_cast<std::size_t>(elements) * sizeof(double));
    } catch (const std::bad_alloc&) {
      refused = true;
    }
  }
  if (refused) storage_error(routine, N, P);
  return M;
}

void storage_error(const char* routine, int N, int P) {
  numlib::E1PSH(routine);
  numlib::E1ARGI(1, N);
  numlib::E1ARGI(2, P);
  numlib::E1MES(5, 2,
                "The required storage cannot be allocated.  The least-squares matrix has %(I1) "
                "rows and %(I2) columns.");
  numlib::E1POP(routine);
}

std::size_t basis_room(int D, int k, int count) {
  const std::int64_t c = basis_count(D, k);
  const std::int64_t n = c > count ? c : count;
  return static_cast<std::size_t>(n > 1 ? n : 1);
}

double residual_error(int N, const double* YV, const double* resid) {
  double ss = 0.0;
  for (int j = 0; j < N; ++j) ss += resid[j] * resid[j];
  return error_of_approximation(ss, N, YV);
}

double error_of_approximation(double ss, int N, const double* YV) {
  // Spread of the targets about their mean.
  double total = 0.0;
  for (int j = 0; j < N; ++j) total += YV[j];
  const double ybar = total / N;
  double sv = 0.0;
  for (int j = 0; j < N; ++j) sv += (YV[j] - ybar) * (YV[j] - ybar);
  return std::sqrt(ss / sv);
}

namespace {
std::atomic<int> fit_path{static_cast<int>(FitPath::automatic)};
}  // namespace

void set_fit_path(FitPath path) {
  fit_path.store(static_cast<int>(path), std::memory_order_relaxed);
}

bool fit_streams(int N, int P) {
  switch (static_cast<FitPath>(fit_path.load(std::memory_order_relaxed))) {
    case FitPath::reference:
      return false;
    case FitPath::streaming:
      return true;
    case FitPath::automatic:
      break;
  }
  // Small problems keep the explicit factorisation, which is as fast there, and so do short
  // ones: with fewer equations than columns the explicit triangle has exactly zero rows below
  // N, the streamed one rounding errors there.
  return N >= 2 * (P + 1) && static_cast<std::int64_t>(N) * (P + 1) >= (std::int64_t{1} << 18);
}

double stream_least_squares(const char* routine, const double* A, long LDA, int D, int N,
                            const double* YV, int nu, int mu, double* COEF) {
  const int P = static_cast<int>(basis_count(D, nu)) +
                (mu >= 1 ? static_cast<int>(basis_count(D, mu)) - 1 : 0);
  const numlib::LeastSquaresTriangle t = stream_triangle(routine, P, A, LDA, D, N, YV, nu, mu);
  // z = (Q^T y)(1..P) into COEF, solved in place; rho^2 is the residual sum of squares.
  for (int i = 1; i <= P; ++i) COEF[i - 1] = t(i, P + 1);
  numlib::detail::solve_triangle(P, t.T.data(), P + 1, COEF);
  return error_of_approximation(t(P + 1, P + 1) * t(P + 1, P + 1), N, YV);
}

double solve_least_squares(int N, int P, double* M, const double* YV, double* COEF) {
  const std::size_t p = P > 0 ? static_cast<std::size_t>(P) : 0;
  const std::size_t n = N > 0 ? static_cast<std::size_t>(N) : 0;
  std::vector<int> KORDER(p);
  std::vector<double> HHAUX(p), COLNRM(p), scratch(n), resid(n);

  // Factorise in place, then solve for the coefficients and the residuals (IPATH 110).
  numlib::DLQRRR(N, P, M, N, false, KORDER.data(), M, N, HHAUX.data(), COLNRM.data());
  numlib::DLQRSL(N, P, M, N, HHAUX.data(), YV, 110, scratch.data(), scratch.data(), COEF,
                 resid.data(), scratch.data());
  return residual_error(N, YV, resid.data());
}

}  // namespace model::detail
