// The Householder QR of a triangle on top of a rectangle, by panels. Within a panel the columns
// are taken one at a time; reflector k is
//   H(k) = I - tau(k) v v^T,   v = e(k) in the rows of R, the k-th column of B below,
// so it touches row k of R and the rows of B only. The reflectors of a panel are then applied
// to the columns to its right at once as the block reflector H(1) ... H(nb) = I - V T V^T, whose
// T comes from the Gram matrix of their parts in B (the unit parts are orthogonal).

#include "numlib/triangle_fold.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "numlib/gemm_kernels.h"
#include "numlib/kernels.h"
#include "numlib/machine.h"
#include "numlib/threads.h"

namespace numlib::detail {
namespace {

// Trailing columns per piece of work when an update is shared among the threads, and the
// smallest update (multiply-adds) that is shared at all.
constexpr int kColumnGroup = 24;
constexpr long kShareWork = 1L << 18;

struct Fold {
  double* R;
  long ldr;
  int m;
  double* B;
  long ldb;

  double& r(long i, long j) const { return R[i + j * ldr]; }

  // ||x|| over the m rows: the square root of the vector sum of squares where that sum can
  // have neither overflowed nor lost more than rounding to underflow; VNRM2 otherwise.
  double norm2(const double* x) const {
    double sq = 0.0;
    gemm_tn(m, 1, 1, x, ldb, x, ldb, &sq, 1);
    static const double low = DMACH(1) / DMACH(4);
    if (std::isfinite(sq) && sq >= m * low) return std::sqrt(sq);
    return VNRM2(m, x, 1);
  }
  double* b(long j) const { return B + j * ldb; }

  // The column steps on columns j .. j+n-1, each reflector applied to the later columns of this
  // range only; tau(0 .. n-1) receives the factors.
  void panel(int j, int n, double* tau) const {
    double w[kFoldLeaf];
    for (int k = 0; k < n; ++k) {
      const int l = j + k;
      double* const x = b(l);
      const double xnorm = norm2(x);
      tau[k] = 0.0;
      // Nothing below the diagonal: the column is triangular already.
      if (xnorm == 0.0) continue;
      const double alpha = r(l, l);
      const double beta = -std::copysign(std::hypot(alpha, xnorm), alpha);
      // v = (1, x / (alpha - beta)); |alpha - beta| >= xnorm, so the quotients are bounded.
      const double scale = alpha - beta;
      for (int i = 0; i < m; ++i) x[i] /= scale;
      tau[k] = (beta - alpha) / beta;
      r(l, l) = beta;
      const int rest = j + n - l - 1;
      if (rest == 0) continue;
      // w(c) = tau (R(l, c) + x^T B(:, c)); R(l, c) -= w(c); B(:, c) -= w(c) x, for the later
      // columns of the leaf at once.
      gemm_tn(m, 1, rest, x, ldb, b(l + 1), ldb, w, 1);
      for (int c = 0; c < rest; ++c) {
        w[c] = (r(l, l + 1 + c) + w[c]) * tau[k];
        r(l, l + 1 + c) -= w[c];
      }
      gemm_nn_sub(m, 1, rest, x, ldb, w, 1, b(l + 1), ldb);
    }
  }

  // T (n by n, upper triangular) of the block reflector of columns j .. j+n-1.
  void block_factor(int j, int n, const double* tau, double* T) const {
    std::vector<double> G(static_cast<std::size_t>(n) * n);
    gemm_tn(m, n, n, b(j), ldb, b(j), ldb, G.data(), n);
    // T(k, k) = tau(k); T(0:k, k) = -tau(k) T(0:k, 0:k) G(0:k, k).
    for (int k = 0; k < n; ++k) {
      double* Tk = T + static_cast<long>(k) * n;
      for (int a = 0; a < k; ++a) {
        double s = 0.0;
        for (int c = a; c < k; ++c)
          s += T[a + static_cast<long>(c) * n] * G[c + static_cast<long>(k) * n];
        Tk[a] = -tau[k] * s;
      }
      Tk[k] = tau[k];
      for (int a = k + 1; a < n; ++a) Tk[a] = 0.0;
    }
  }

  // Factorises the panel columns j .. j+n-1: halves recursively, down to leaves of column
  // steps, each half's block reflector applied to the other half.
  void factor(int j, int n, double* tau) const {
    if (n <= kFoldLeaf) {
      panel(j, n, tau);
      return;
    }
    const int n1 = (n / 2 + kFoldLeaf - 1) / kFoldLeaf * kFoldLeaf;
    factor(j, n1, tau);
    std::vector<double> T(static_cast<std::size_t>(n1) * n1);
    block_factor(j, n1, tau, T.data());
    update(j, n1, T.data(), j + n1, j + n);
    factor(j + n1, n - n1, tau + n1);
  }

  // Applies H^T = I - V T^T V^T of columns j .. j+n-1 to the columns c0 .. c1-1 of [R; B].
  void update(int j, int n, const double* T, int c0, int c1) const {
    const int nc = c1 - c0;
    std::vector<double> Y(static_cast<std::size_t>(n) * nc), W(Y.size());
    // Y = V^T C over the rows of B, plus the unit parts: rows j .. j+n-1 of R.
    gemm_tn(m, n, nc, b(j), ldb, b(c0), ldb, Y.data(), n);
    for (int c = 0; c < nc; ++c) {
      double* y = Y.data() + static_cast<long>(c) * n;
      for (int a = 0; a < n; ++a) y[a] += r(j + a, c0 + c);
    }
    // W = T^T Y (the zeros below T's diagonal add nothing); the rows of R take -W directly.
    gemm_tn(n, n, nc, T, n, Y.data(), n, W.data(), n);
    for (int c = 0; c < nc; ++c) {
      const double* w = W.data() + static_cast<long>(c) * n;
      for (int a = 0; a < n; ++a) r(j + a, c0 + c) -= w[a];
    }
    gemm_nn_sub(m, n, nc, b(j), ldb, W.data(), n, b(c0), ldb);
  }
};

}  // namespace

void fold_rows(int n, double* R, long ldr, int m, double* B, long ldb) {
  if (n <= 0 || m <= 0) return;
  const Fold f{R, ldr, m, B, ldb};
  std::vector<double> tau(kFoldPanel), T(static_cast<std::size_t>(kFoldPanel) * kFoldPanel);
  for (int j = 0; j < n; j += kFoldPanel) {
    const int nb = std::min(kFoldPanel, n - j);
    f.factor(j, nb, tau.data());
    const int c0 = j + nb;
    if (c0 >= n) break;
    f.block_factor(j, nb, tau.data(), T.data());
    const int trailing = n - c0;
    if (static_cast<long>(trailing) * m * nb < kShareWork || trailing <= kColumnGroup) {
      f.update(j, nb, T.data(), c0, n);
      continue;
    }
    const int groups = (trailing + kColumnGroup - 1) / kColumnGroup;
    parallel_for(groups, [&](int begin, int end) {
      f.update(j, nb, T.data(), c0 + begin * kColumnGroup, std::min(n, c0 + end * kColumnGroup));
    });
  }
}

}  // namespace numlib::detail
