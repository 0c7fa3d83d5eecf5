// The matrix-product kernels: each instruction set against a plain sum, and the instruction
// sets against each other bit for bit, on shapes that hit the vector tiles and every remainder;
// then the factorisations built on them.

#include "numlib/gemm_kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "numlib/qr.h"
#include "numlib/triangle_fold.h"
#include "tests/numlib/random_matrix.h"

namespace numlib {
namespace {

using detail::KernelIsa;
using test_matrices::random_matrix;

struct Shape {
  int m, k, n;
};

// Runs work under each instruction set and restores the processor's choice.
template <class Work>
auto under(KernelIsa isa, Work&& work) {
  const KernelIsa saved = detail::kernel_isa();
  detail::set_kernel_isa(isa);
  auto result = work();
  detail::set_kernel_isa(saved);
  return result;
}

class GemmPaths : public ::testing::TestWithParam<Shape> {};

TEST_P(GemmPaths, PortableEqualsAvx2BitForBitAndBothEqualThePlainSum) {
  const auto [m, k, n] = GetParam();
  const long lda = m + 3, ldb = m + 1;
  const std::vector<double> A = random_matrix(lda, k, 1u), B = random_matrix(ldb, n, 2u);
  const std::vector<double> X = random_matrix(k + 2, n, 3u), C0 = random_matrix(m + 2, n, 4u);
  const auto tn = [&] {
    std::vector<double> Y(static_cast<std::size_t>(k + 1) * n, -7.0);
    detail::gemm_tn(m, k, n, A.data(), lda, B.data(), ldb, Y.data(), k + 1);
    return Y;
  };
  const auto nn = [&] {
    std::vector<double> C = C0;
    detail::gemm_nn_sub(m, k, n, A.data(), lda, X.data(), k + 2, C.data(), m + 2);
    return C;
  };
  const std::vector<double> tn_portable = under(KernelIsa::portable, tn);
  const std::vector<double> nn_portable = under(KernelIsa::portable, nn);
  EXPECT_EQ(under(KernelIsa::avx2, tn), tn_portable);
  EXPECT_EQ(under(KernelIsa::avx2, nn), nn_portable);

  for (int c = 0; c < n; ++c) {
    for (int a = 0; a < k; ++a) {
      double s = 0.0;
      for (int i = 0; i < m; ++i) s += A[a * lda + i] * B[c * ldb + i];
      EXPECT_NEAR(tn_portable[a + c * (k + 1)], s, 1e-14 * (m + 1)) << a << ',' << c;
    }
    for (int i = 0; i < m; ++i) {
      double s = C0[c * (m + 2) + i];
      for (int p = 0; p < k; ++p) s -= A[p * lda + i] * X[p + c * (k + 2)];
      EXPECT_NEAR(nn_portable[c * (m + 2) + i], s, 1e-14 * (k + 1)) << i << ',' << c;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, GemmPaths,
                         ::testing::Values(Shape{0, 3, 2}, Shape{3, 0, 2}, Shape{5, 3, 0},
                                           Shape{1, 1, 1}, Shape{3, 5, 2}, Shape{7, 4, 3},
                                           Shape{17, 9, 7}, Shape{64, 32, 49}, Shape{515, 6, 5},
                                           Shape{1100, 33, 4}));

// The blocked factorisation and the fold of rows into a triangle, whose long sums run through
// the kernels: the same digits on either path.
TEST(GemmPaths, FactorisationsAreTheSameOnEitherPath) {
  const int m = 3000, n = 70;
  const std::vector<double> a = random_matrix(m, n, 8u);
  const auto factor = [&] {
    std::vector<double> qr = a, hh(n), colnrm(n);
    std::vector<int> korder(n);
    DLQRRR(m, n, qr.data(), m, false, korder.data(), qr.data(), m, hh.data(), colnrm.data());
    qr.insert(qr.end(), hh.begin(), hh.end());
    return qr;
  };
  const auto fold = [&] {
    std::vector<double> R(static_cast<std::size_t>(n) * n, 0.0), B = a;
    detail::fold_rows(n, R.data(), n, m, B.data(), m);
    return R;
  };
  EXPECT_EQ(under(KernelIsa::avx2, factor), under(KernelIsa::portable, factor));
  EXPECT_EQ(under(KernelIsa::avx2, fold), under(KernelIsa::portable, fold));
}

}  // namespace
}  // namespace numlib
