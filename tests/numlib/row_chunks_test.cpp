// The row-chunked column sums of tall matrices: the reflector passes of DLQRSL and the column
// steps of the blocked factorisation's leaves, against plain serial loops, and independent of
// the thread count.

#include "numlib/row_chunks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "numlib/qr.h"
#include "numlib/threads.h"
#include "tests/numlib/random_matrix.h"

namespace numlib {
namespace {

using Vec = std::vector<double>;
constexpr double kEps = 2.220446049250313e-16;

Vec random_vector(long n, std::uint32_t seed) { return test_matrices::random_matrix(n, 1, seed); }

double norm2(const Vec& x) {
  double s = 0.0;
  for (double v : x) s += v * v;
  return std::sqrt(s);
}

TEST(RowChunks, ChunkSizesFollowTheRowCount) {
  struct Case {
    int rows;
    long chunk;
  };
  // At least 8192 rows, at most 64 chunks, a multiple of 512 rows.
  for (const Case c : {Case{100, 8192}, Case{20011, 8192}, Case{524288, 8192}, Case{524289, 8704},
                       Case{999999, 15872}}) {
    EXPECT_EQ(detail::row_chunk_size(c.rows), c.chunk) << c.rows;
  }
}

// Reflectors of a factorisation with some steps marked "no transformation".
struct Reflectors {
  int m, n;
  Vec qr, hh;
};

Reflectors make_reflectors(int m, int n) {
  Reflectors r{m, n, random_vector(static_cast<long>(m) * n, 11u), Vec(n)};
  for (int j = 0; j < n; ++j) r.hh[j] = j % 5 == 3 ? 0.0 : 1.0 + 0.1 * j;
  return r;
}

// y := H(j) y one reflector at a time in serial loops, j = first, first + step, ... last.
Vec serial_apply(const Reflectors& r, int first, int last, int step, Vec y) {
  for (int j = first; step > 0 ? j <= last : j >= last; j += step) {
    const double h = r.hh[j - 1];
    if (h == 0.0) continue;
    const double* v = r.qr.data() + static_cast<long>(j - 1) * r.m;
    double d = h * y[j - 1];
    for (int i = j; i < r.m; ++i) d += v[i] * y[i];
    const double t = -d / h;
    y[j - 1] += t * h;
    for (int i = j; i < r.m; ++i) y[i] += t * v[i];
  }
  return y;
}

Vec chunked_apply(const Reflectors& r, int first, int last, int step, Vec y) {
  detail::apply_reflectors_chunked(r.m, r.qr.data(), r.m, r.hh.data(), first, last, step, y.data());
  return y;
}

struct PassCase {
  const char* name;
  int m, first, last, step;
};

class ReflectorPasses : public ::testing::TestWithParam<PassCase> {};

TEST_P(ReflectorPasses, AgreeWithSerialLoopsAndIgnoreTheThreadCount) {
  const PassCase c = GetParam();
  const Reflectors r = make_reflectors(c.m, 12);
  const Vec y = random_vector(c.m, 5u);
  const Vec ref = serial_apply(r, c.first, c.last, c.step, y);
  const int saved = thread_count();
  set_thread_count(1);
  const Vec one = chunked_apply(r, c.first, c.last, c.step, y);
  set_thread_count(2);
  const Vec two = chunked_apply(r, c.first, c.last, c.step, y);
  set_thread_count(saved);
  EXPECT_EQ(one, two);
  // The reflectors are not orthogonal here, so the scale grows with each pass.
  const double tol = 1e3 * c.m * kEps * std::max(norm2(ref), 1.0);
  for (int i = 0; i < c.m; ++i) ASSERT_NEAR(one[i], ref[i], tol) << i;
  if (c.m <= detail::row_chunk_size(c.m)) {
    EXPECT_EQ(one, ref);  // one chunk: the same sums as the serial loops
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, ReflectorPasses,
                         ::testing::Values(PassCase{"ForwardOneChunk", 5000, 1, 12, 1},
                                           PassCase{"BackwardOneChunk", 5000, 12, 1, -1},
                                           PassCase{"ForwardThreeChunks", 20011, 1, 12, 1},
                                           PassCase{"BackwardThreeChunks", 20011, 12, 1, -1},
                                           PassCase{"OnlySkippedSteps", 20011, 4, 4, 1},
                                           PassCase{"ChunkBoundaryRows", 16385, 2, 9, 1}),
                         [](const auto& test) { return test.param.name; });

TEST(RowChunks, SolveOfATallFactorisationReproducesAKnownSolution) {
  // y = A b: the solve through the chunked passes gives b back and a zero residual to rounding.
  const int m = 40000, n = 30;
  Vec a = random_vector(static_cast<long>(m) * n, 3u);
  Vec b(n), y(m, 0.0);
  for (int j = 0; j < n; ++j) b[j] = 1.0 + j;
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < m; ++i) y[i] += a[static_cast<long>(j) * m + i] * b[j];
  }
  Vec hh(n), colnrm(n), coef(n), resid(m), scratch(m);
  std::vector<int> korder(n);
  DLQRRR(m, n, a.data(), m, false, korder.data(), a.data(), m, hh.data(), colnrm.data());
  DLQRSL(m, n, a.data(), m, hh.data(), y.data(), 110, scratch.data(), scratch.data(), coef.data(),
         resid.data(), scratch.data());
  for (int j = 0; j < n; ++j) EXPECT_NEAR(coef[j], b[j], 1e-10 * b[j]) << j;
  EXPECT_LT(norm2(resid), 1e-9 * norm2(y));
}

TEST(RowChunks, LeafStepsAgreeWithTheColumnStepsAndIgnoreTheThreadCount) {
  const int m = 20011, n = 4;
  const Vec a = random_vector(static_cast<long>(m) * n, 9u);
  Vec ref = a, hh_ref(n), colnrm(n), wk(n);
  std::vector<int> korder(n);
  dL2RRR(m, n, ref.data(), m, false, korder.data(), ref.data(), m, hh_ref.data(), colnrm.data(),
         wk.data());
  auto leaf = [&](int threads) {
    Vec qr = a, hh(n);
    const int saved = thread_count();
    set_thread_count(threads);
    detail::leaf_steps_chunked(m, qr.data(), m, 0, n, hh.data(), 1e-300, detail::row_chunk_size(m));
    set_thread_count(saved);
    qr.insert(qr.end(), hh.begin(), hh.end());
    return qr;
  };
  const Vec one = leaf(1), two = leaf(2);
  EXPECT_EQ(one, two);
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < m; ++i) {
      const long k = static_cast<long>(j) * m + i;
      ASSERT_NEAR(one[k], ref[k], 1e3 * kEps * std::max(1.0, std::fabs(ref[k]))) << i << ',' << j;
    }
    EXPECT_NEAR(one[static_cast<long>(m) * n + j], hh_ref[j], 1e3 * kEps) << j;
  }
}

}  // namespace
}  // namespace numlib
