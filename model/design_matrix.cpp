#include "model/design_matrix.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "model/basis.h"
#include "numlib/progress.h"
#include "numlib/threads.h"

namespace model::detail {
namespace {

// Points per block: the block's column segments of the whole basis stay in cache while the
// higher degrees are formed from the lower ones.
constexpr int kRows = 64;
// Row blocks between two looks at a stop request.
constexpr int kBlocksPerStopCheck = 64;

// Fills the basis columns for the points r0 .. r0+rows-1 into out (leading dimension ld), the
// block's delay values being gathered into x (D by kRows) first.
void fill_block(const MonomialPlan& plan, const double* A, long LDA, int D, long r0, int rows,
                double* out, long ld, double* x) {
  for (int v = 0; v < D; ++v)
    for (int r = 0; r < rows; ++r) x[v * kRows + r] = A[(r0 + r) * LDA + v];
  for (int r = 0; r < rows; ++r) out[r] = 1.0;
  const int P = static_cast<int>(plan.parent.size());
  for (int c = 1; c < P; ++c) {
    const double* p = out + plan.parent[c] * ld;
    const double* xv = x + plan.var[c] * kRows;
    double* o = out + c * ld;
    for (int r = 0; r < rows; ++r) o[r] = p[r] * xv[r];
  }
}

}  // namespace

MonomialPlan monomial_plan(int D, int nu) {
  MonomialPlan plan;
  const std::int64_t P = basis_count(D, nu);
  plan.parent.reserve(static_cast<std::size_t>(P));
  plan.var.reserve(static_cast<std::size_t>(P));
  plan.parent.push_back(-1);
  plan.var.push_back(-1);
  if (nu <= 0) return plan;
  // last[c]: the largest variable of member c. Degree k: each member of degree k-1, in order,
  // times each variable from its last one up.
  std::vector<int> last = {0};
  for (int v = 0; v < D; ++v) {
    plan.parent.push_back(0);
    plan.var.push_back(v);
    last.push_back(v);
  }
  std::size_t first = 1, end = last.size();
  for (int k = 2; k <= nu; ++k) {
    for (std::size_t p = first; p < end; ++p)
      for (int v = last[p]; v < D; ++v) {
        plan.parent.push_back(static_cast<int>(p));
        plan.var.push_back(v);
        last.push_back(v);
      }
    first = end;
    end = last.size();
  }
  return plan;
}

void monomial_columns(const double* A, long LDA, int D, int N, int nu, double* OUT, long ldo) {
  const MonomialPlan plan = monomial_plan(D, nu);
  const int blocks = (N + kRows - 1) / kRows;
  numlib::parallel_for(blocks, [&](int begin, int end) {
    std::vector<double> x(static_cast<std::size_t>(D) * kRows);
    for (int b = begin; b < end; ++b) {
      if ((b - begin) % kBlocksPerStopCheck == 0) numlib::check_stop();
      const long r0 = static_cast<long>(b) * kRows;
      const int rows = static_cast<int>(std::min<long>(kRows, N - r0));
      fill_block(plan, A, LDA, D, r0, rows, OUT + r0, ldo, x.data());
    }
  });
}

void scaled_monomial_columns(const double* A, long LDA, int D, int N, int mu, const double* YV,
                             double* OUT, long ldo) {
  const MonomialPlan plan = monomial_plan(D, mu);
  const int P = static_cast<int>(plan.parent.size());
  const int blocks = (N + kRows - 1) / kRows;
  numlib::parallel_for(blocks, [&](int begin, int end) {
    std::vector<double> x(static_cast<std::size_t>(D) * kRows);
    std::vector<double> psi(static_cast<std::size_t>(P) * kRows);
    for (int b = begin; b < end; ++b) {
      if ((b - begin) % kBlocksPerStopCheck == 0) numlib::check_stop();
      const long r0 = static_cast<long>(b) * kRows;
      const int rows = static_cast<int>(std::min<long>(kRows, N - r0));
      fill_block(plan, A, LDA, D, r0, rows, psi.data(), kRows, x.data());
      for (int k = 1; k < P; ++k) {
        double* o = OUT + (k - 1) * ldo + r0;
        const double* s = psi.data() + k * kRows;
        for (int r = 0; r < rows; ++r) o[r] = -YV[r0 + r] * s[r];
      }
    }
  });
}

}  // namespace model::detail
