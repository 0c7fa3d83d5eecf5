// Blocked Householder QR without pivoting. The columns are factorised in panels of nb columns;
// each panel is split in halves recursively down to leaves of a few columns, which take exactly
// the column steps of dL2RRR. The reflectors of a factorised half are then applied to the
// columns to their right at once as the block reflector
//   H(1) ... H(n) = I - V T V^T   (T upper triangular, from the Gram matrix V^T V),
// through the matrix products of gemm_kernels. The output has the conventions of dL2RRR: R on
// and above the diagonal, each Householder vector below it with its leading element in HHAUX,
// HHAUX(l) = 0 for a step without transformation.
//
// Long products and, for tall matrices, the long sums of the leaf column steps are split into
// fixed row chunks whose partial sums are added in chunk order, so the result does not depend
// on the number of threads.

#include "numlib/qr_blocked.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <memory>
#include <new>
#include <vector>

#include "numlib/gemm_kernels.h"
#include "numlib/kernels.h"
#include "numlib/machine.h"
#include "numlib/progress.h"
#include "numlib/qr.h"
#include "numlib/row_chunks.h"
#include "numlib/threads.h"

namespace numlib::detail {
namespace {

std::atomic<int> block_size{32};

struct Blocked {
  int NRA, NCA;
  double* QR;
  long ld;
  double* HHAUX;
  double* WKQR;
  double safe_min;
  int nb;
  long chunk;    // rows per chunk of the long products, a multiple of kProductRows
  double* top;   // nb by NCA: the top rows of a product's right factor
  double* Y;     // nb by NCA: V^T B
  double* part;  // chunks of nb by NCA partial products
  double* W;     // nb by NCA: T^T (V^T C)
  double* T;     // nb by nb

  double& qr(long i, long j) const { return QR[i + j * ld]; }

  // The column steps of dL2RRR on columns j .. j+n-1, each reflector applied to the later
  // columns of this range only.
  void leaf(int j, int n) {
    if (NRA >= kSplitRows) {
      leaf_steps_chunked(NRA, QR, ld, j, n, HHAUX, safe_min, chunk);
      return;
    }
    const int end = j + n;
    for (int l = j; l < end; ++l) {
      HHAUX[l] = 0.0;
      if (l == NRA - 1) continue;
      const int len = NRA - l;
      double* const v = &qr(l, l);
      const double cnorm = householder_column_step(len, v, end - l - 1, &qr(l, l + 1),
                                                   static_cast<int>(ld), WKQR, safe_min);
      if (cnorm == 0.0) continue;
      HHAUX[l] = v[0];
      v[0] = -cnorm;
    }
  }

  // Applies H(j) ... H(j+n-1)^T, i.e. Q^T of the reflectors in columns j .. j+n-1, to columns
  // j+n .. cend-1: C := C - V T^T V^T C.
  void apply_block(int j, int n, int cend) {
    const int nc = cend - j;  // the reflector columns (for the Gram matrix) and C
    const int nC = nc - n;

    // Rows j .. j+n-1 of [V C], with V in its triangular form: zeros above the diagonal and the
    // leading elements on it.
    for (int c = 0; c < nc; ++c) {
      double* t = top + static_cast<long>(c) * n;
      const double* q = &qr(j, j + c);
      for (int r = 0; r < n; ++r) t[r] = q[r];
      if (c < n) {
        for (int r = 0; r < c; ++r) t[r] = 0.0;
        t[c] = HHAUX[j + c];
      }
    }

    // Y = V^T [V C]: the top rows, then the rest in fixed chunks added in order.
    gemm_tn(n, n, nc, top, n, top, n, Y, n);
    const long m = NRA - j - n;
    const int chunks = static_cast<int>((m + chunk - 1) / chunk);
    const long stride = static_cast<long>(n) * nc;
    parallel_for(chunks, [&](int begin, int end) {
      for (int c = begin; c < end; ++c) {
        check_stop();
        const long r0 = j + n + c * chunk;
        const int rows = static_cast<int>(std::min(chunk, NRA - r0));
        gemm_tn(rows, n, nc, &qr(r0, j), ld, &qr(r0, j), ld, part + c * stride, n);
      }
    });
    for (int c = 0; c < chunks; ++c) {
      const double* p = part + c * stride;
      for (long e = 0; e < stride; ++e) Y[e] += p[e];
    }

    // T from the Gram matrix G = Y(:, 0:n) and tau(l) = 1 / HHAUX(l) (0 for no transformation):
    // T(l, l) = tau(l), T(0:l, l) = -tau(l) T(0:l, 0:l) G(0:l, l).
    for (int l = 0; l < n; ++l) {
      const double h = HHAUX[j + l];
      const double tau = h == 0.0 ? 0.0 : 1.0 / h;
      double* Tl = T + static_cast<long>(l) * n;
      for (int a = 0; a < l; ++a) {
        double s = 0.0;
        for (int b = a; b < l; ++b)
          s += T[a + static_cast<long>(b) * n] * Y[b + static_cast<long>(l) * n];
        Tl[a] = -tau * s;
      }
      Tl[l] = tau;
      for (int a = l + 1; a < n; ++a) Tl[a] = 0.0;
    }

    // W = T^T (V^T C).
    const double* VtC = Y + stride - static_cast<long>(n) * nC;
    for (int c = 0; c < nC; ++c) {
      const double* y = VtC + static_cast<long>(c) * n;
      double* w = W + static_cast<long>(c) * n;
      for (int a = 0; a < n; ++a) {
        const double* Ta = T + static_cast<long>(a) * n;
        double s = 0.0;
        for (int b = 0; b <= a; ++b) s += Ta[b] * y[b];
        w[a] = s;
      }
    }

    // C := C - V W: the top rows with the triangular V, the rest by chunks.
    gemm_nn_sub(n, n, nC, top, n, W, n, &qr(j, j + n), ld);
    parallel_for(chunks, [&](int begin, int end) {
      for (int c = begin; c < end; ++c) {
        check_stop();
        const long r0 = j + n + c * chunk;
        const int rows = static_cast<int>(std::min(chunk, NRA - r0));
        gemm_nn_sub(rows, n, nC, &qr(r0, j), ld, W, n, &qr(r0, j + n), ld);
      }
    });
  }

  // Factorises columns j .. j+n-1 (already updated by all earlier reflectors).
  void factor(int j, int n) {
    if (n <= kLeafColumns) {
      leaf(j, n);
      return;
    }
    int n1 = (n / 2 + kLeafColumns - 1) / kLeafColumns * kLeafColumns;
    if (n1 >= n) n1 = n - kLeafColumns;
    factor(j, n1);
    apply_block(j, n1, j + n);
    factor(j + n1, n - n1);
  }
};

template <class T>
std::unique_ptr<T[]> try_allocate(std::size_t count) {
  try {
    return std::make_unique_for_overwrite<T[]>(count);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

double make_reflector(int len, double* v, double safe_min) {
  double cnorm = VNRM2(len, v, 1);
  if (cnorm < safe_min) return 0.0;
  if (v[0] < 0.0) cnorm = -cnorm;
  VSCAL(len, 1.0 / cnorm, v, 1);
  v[0] += 1.0;
  return cnorm;
}

double householder_column_step(int len, double* v, int later, double* C, int ldc, double* work,
                               double safe_min) {
  const double cnorm = make_reflector(len, v, safe_min);
  if (cnorm == 0.0 || later <= 0) return cnorm;
  const double t = -1.0 / v[0];
  DGEMV('T', len, later, t, C, ldc, v, 1, 0.0, work, 1);
  DGER(len, later, 1.0, v, 1, work, 1, C, ldc);
  return cnorm;
}

int qr_block_size() { return block_size.load(std::memory_order_relaxed); }

void set_qr_block_size(int nb) {
  block_size.store(std::clamp(nb, 8, 256), std::memory_order_relaxed);
}

bool qr_blocked_applies(int NRA, int NCA, int LDA, int LDQR, bool PVTREQ) {
  if (PVTREQ || NCA < 1 || NRA < NCA || LDA < NRA || LDQR < NRA) return false;
  // Below this the column steps of dL2RRR work in cache and blocking gains nothing.
  return NCA >= 24 && static_cast<long long>(NRA) * NCA >= 200000;
}

bool qr_blocked(int NRA, int NCA, const double* A, int LDA, double* QR, int LDQR, double* HHAUX,
                double* COLNRM, double* WKQR) {
  const int nb = std::min(qr_block_size(), NCA);
  const long chunk = row_chunk_size(NRA);
  const long chunks = (NRA + chunk - 1) / chunk;
  const std::size_t panel = static_cast<std::size_t>(nb) * NCA;
  auto work = try_allocate<double>(panel * (3 + chunks) + static_cast<std::size_t>(nb) * nb);
  if (!work) return false;

  Blocked b{};
  b.NRA = NRA;
  b.NCA = NCA;
  b.QR = QR;
  b.ld = LDQR;
  b.HHAUX = HHAUX;
  b.WKQR = WKQR;
  b.safe_min = DMACH(1);
  const double big = DMACH(2);
  if (big * b.safe_min < 1.0) b.safe_min = 1.0 / big;
  b.nb = nb;
  b.chunk = chunk;
  b.top = work.get();
  b.Y = b.top + panel;
  b.W = b.Y + panel;
  b.T = b.W + panel;
  b.part = b.T + static_cast<std::size_t>(nb) * nb;

  // Copy A into QR (nothing to do in place) and take the column norms, as dL2RRR does.
  const long lda = LDA;
  if (A != QR || LDA != LDQR) {
    for (int j = 0; j < NCA; ++j) VCOPY(NRA, A + j * lda, 1, QR + j * b.ld, 1);
  }
  parallel_for(NCA, [&](int begin, int end) {
    for (int j = begin; j < end; ++j) COLNRM[j] = VNRM2(NRA, QR + j * b.ld, 1);
  });

  // Progress counts the panels by their share of the work, which falls with the rows and
  // columns left: sum over columns of (NRA - j) (NCA - j).
  const auto work_to = [&](long j) {
    std::int64_t total = 0;
    for (long c = 0; c < j; ++c) total += static_cast<std::int64_t>(NRA - c) * (NCA - c);
    return total;
  };
  const std::int64_t total = work_to(NCA);
  for (int j = 0; j < NCA; j += nb) {
    check_stop();
    const int n = std::min(nb, NCA - j);
    b.factor(j, n);
    if (j + n < NCA) b.apply_block(j, n, NCA);
    report_progress(work_to(j + n), total);
  }
  return true;
}

}  // namespace numlib::detail
