// Row-chunked forms of the long column sums of the Householder steps: the column steps of a
// leaf of the blocked factorisation and the reflector passes of DLQRSL. Each pass walks fixed
// chunks of rows in parallel; a partial sum per chunk is kept and the partial sums are added in
// chunk order afterwards, so the result depends on the number of rows and never on the number
// of threads. Element-wise updates (scaling, y := y + a x) give the same values as the serial
// kernels.

#include "numlib/row_chunks.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <vector>

#include "numlib/gemm_kernels.h"
#include "numlib/kernels.h"
#include "numlib/machine.h"
#include "numlib/threads.h"

namespace numlib::detail {
namespace {

constexpr long kMinChunkRows = 8192;
constexpr long kMaxChunks = 64;

// The chunks that meet rows first .. NRA-1 (0-based): chunk c0 + k holds rows lo(k) .. hi(k)-1.
struct Chunks {
  long NRA, chunk, first, c0, count;
  Chunks(long rows, long size, long from)
      : NRA(rows), chunk(size), first(from), c0(from / size), count((rows - 1) / size - c0 + 1) {}
  long lo(long k) const { return std::max(first, (c0 + k) * chunk); }
  long hi(long k) const { return std::min(NRA, (c0 + k + 1) * chunk); }
};

// Runs body(k) for k = 0 .. count-1 over the threads.
template <class Body>
void for_chunks(long count, const Body& body) {
  parallel_for(static_cast<int>(count), [&](int begin, int end) {
    for (int k = begin; k < end; ++k) body(k);
  });
}

struct NormParts {
  double asum = 0.0, sq = 0.0;
};

// Sums of |x(i)| and x(i)^2 over rows lo .. hi-1, in row order.
NormParts norm_parts(const double* x, long lo, long hi) {
  NormParts p;
  for (long i = lo; i < hi; ++i) {
    p.asum += std::fabs(x[i]);
    p.sq += x[i] * x[i];
  }
  return p;
}

}  // namespace

long row_chunk_size(int NRA) {
  long chunk =
      std::max<long>(kMinChunkRows, (static_cast<long>(NRA) + kMaxChunks - 1) / kMaxChunks);
  return (chunk + kProductRows - 1) / kProductRows * kProductRows;
}

void leaf_steps_chunked(int NRA, double* QR, long ld, int j, int n, double* HHAUX, double safe_min,
                        long chunk) {
  // The plain sum of squares of VNRM2 serves when it neither over- nor underflows; the margins
  // keep the chunked sum of |x(i)| clear of the limits. Otherwise VNRM2 itself runs.
  const double eps = DMACH(4);
  const double low_cut = std::sqrt(DMACH(1) / eps);
  const double high_cut = std::sqrt(DMACH(2) * eps);

  const long total_chunks = (NRA - 1) / chunk + 1;
  std::vector<NormParts> parts(static_cast<std::size_t>(total_chunks));
  constexpr int kLater = kLeafColumns - 1;  // columns after the first of a leaf
  std::vector<double> dots(static_cast<std::size_t>(total_chunks) * kLater);
  bool have_parts = false;  // parts holds the norm sums of column l from the previous step
  auto col = [&](long c) { return QR + c * ld; };

  assert(n <= kLeafColumns);
  const int end = j + n;
  for (int l = j; l < end; ++l) {
    HHAUX[l] = 0.0;
    if (l == NRA - 1) continue;
    const long len = NRA - l;
    double* const x = col(l);
    const Chunks ch(NRA, chunk, l);
    if (!have_parts) {
      for_chunks(ch.count, [&](long k) { parts[ch.c0 + k] = norm_parts(x, ch.lo(k), ch.hi(k)); });
    }
    have_parts = false;
    NormParts s = parts[ch.c0];
    for (long k = 1; k < ch.count; ++k) {
      s.asum += parts[ch.c0 + k].asum;
      s.sq += parts[ch.c0 + k].sq;
    }
    double cnorm = s.asum > 0.5 * high_cut || s.asum < 2.0 * static_cast<double>(len) * low_cut
                       ? VNRM2(static_cast<int>(len), x + l, 1)
                       : std::sqrt(s.sq);
    if (cnorm < safe_min) continue;
    if (x[l] < 0.0) cnorm = -cnorm;

    // Scale the column into the reflector v (leading element v(1) + 1) and take the dot products
    // of v with the later columns of the leaf.
    const int later = end - l - 1;
    const double a = 1.0 / cnorm;
    for_chunks(ch.count, [&](long k) {
      const long lo = ch.lo(k), hi = ch.hi(k);
      for (long i = lo; i < hi; ++i) x[i] *= a;
      if (lo == l) x[l] += 1.0;
      for (int m = 0; m < later; ++m) {
        const double* y = col(l + 1 + m);
        double d = 0.0;
        for (long i = lo; i < hi; ++i) d += y[i] * x[i];
        dots[(ch.c0 + k) * kLater + m] = d;
      }
    });

    // w(m) = -(v . column) / v(1); then column += w(m) v, and the norm sums of the next column
    // over its own rows.
    if (later > 0) {
      const double t = -1.0 / x[l];
      std::array<double, kLater> w{};
      for (int m = 0; m < later; ++m) {
        double d = dots[ch.c0 * kLater + m];
        for (long k = 1; k < ch.count; ++k) d += dots[(ch.c0 + k) * kLater + m];
        w[m] = 0.0;
        w[m] += t * d;
      }
      const Chunks next(NRA, chunk, l + 1);
      for_chunks(ch.count, [&](long k) {
        const long lo = ch.lo(k), hi = ch.hi(k);
        for (int m = 0; m < later; ++m) {
          if (w[m] == 0.0) continue;
          double* y = col(l + 1 + m);
          for (long i = lo; i < hi; ++i) y[i] += w[m] * x[i];
        }
        const long c = ch.c0 + k;
        if (c >= next.c0) parts[c] = norm_parts(col(l + 1), std::max(lo, l + 1L), hi);
      });
      have_parts = true;
    }
    HHAUX[l] = x[l];
    x[l] = -cnorm;
  }
}

void apply_reflectors_chunked(int NRA, const double* QR, long ld, const double* HHAUX, int first,
                              int last, int step, double* y) {
  const long chunk = row_chunk_size(NRA);
  std::vector<double> dots(static_cast<std::size_t>((NRA - 1) / chunk + 1));

  // Pass p adds reflector p-1 to y and takes the dot product of reflector p with the result,
  // chunk by chunk.
  int prev = 0;  // 1-based reflector still to be added, 0 for none
  double tprev = 0.0;
  for (int j = first;; j += step) {
    const bool more = step > 0 ? j <= last : j >= last;
    const int cur = more ? j : 0;
    if (more && HHAUX[j - 1] == 0.0) continue;
    if (prev == 0 && cur == 0) break;
    const long pb = prev - 1, cb = cur - 1;  // leading rows, 0-based
    const long from = prev == 0 ? cb : cur == 0 ? pb : std::min(pb, cb);
    const Chunks ch(NRA, chunk, from);
    const double* const pv = QR + pb * ld;
    const double* const cv = QR + cb * ld;
    for_chunks(ch.count, [&](long k) {
      const long lo = ch.lo(k), hi = ch.hi(k);
      if (prev != 0 && hi > pb) {
        long i = std::max(lo, pb);
        if (i == pb) y[i++] += tprev * HHAUX[prev - 1];
        for (; i < hi; ++i) y[i] += tprev * pv[i];
      }
      if (cur != 0 && hi > cb) {
        double d = 0.0;
        long i = std::max(lo, cb);
        if (i == cb) d += HHAUX[cur - 1] * y[i++];
        for (; i < hi; ++i) d += cv[i] * y[i];
        dots[ch.c0 + k] = d;
      }
    });
    if (cur == 0) break;
    const long c0 = cb / chunk;
    double d = dots[c0];
    for (long c = c0 + 1; c <= (NRA - 1) / chunk; ++c) d += dots[c];
    const double t = -d / HHAUX[cur - 1];
    prev = t == 0.0 ? 0 : cur;
    tprev = t;
  }
}

}  // namespace numlib::detail
