// The matrix-product kernels against a naive product, on shapes that are no multiple of the
// vector width or of the register blocks (0, 1, 3, ...), with leading dimensions beyond the
// rows, for each instruction set the processor has.

#include "numlib/gemm_kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace numlib::detail {
namespace {

constexpr double kSentinel = -777.25;
constexpr long kPad = 3;  // rows between the columns of every matrix

std::vector<double> random_matrix(int rows, int cols, long ld, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  std::vector<double> a(static_cast<std::size_t>(ld * (cols > 0 ? cols : 1)), kSentinel);
  for (int j = 0; j < cols; ++j) {
    for (int i = 0; i < rows; ++i) a[static_cast<std::size_t>(j * ld + i)] = value(gen);
  }
  return a;
}

// The error bound of a sum of `terms` products of values in [-1, 1], with room for any order.
double tolerance(int terms) { return 4.0 * (terms + 1) * std::numeric_limits<double>::epsilon(); }

// Every element outside rows 0..rows-1 of the first `cols` columns still holds the sentinel.
bool padding_untouched(const std::vector<double>& y, int rows, int cols, long ld) {
  for (std::size_t e = 0; e < y.size(); ++e) {
    const long i = static_cast<long>(e) % ld;
    const long j = static_cast<long>(e) / ld;
    if ((i >= rows || j >= cols) && y[e] != kSentinel) return false;
  }
  return true;
}

struct Shape {
  int m, k, n;
};

std::vector<Shape> awkward_shapes() {
  std::vector<Shape> shapes;
  // 513 and 1030 rows cross the row blocks of gemm_tn.
  for (int m : {0, 1, 3, 7, 9, 513, 1030}) {
    for (int k : {0, 1, 3, 5, 9}) {
      for (int n : {0, 1, 3, 5}) shapes.push_back({m, k, n});
    }
  }
  return shapes;
}

// The instruction sets to try: the portable kernels always, AVX2 when the processor has it.
std::vector<KernelIsa> available_isas() {
  std::vector<KernelIsa> isas{KernelIsa::portable};
  const KernelIsa saved = kernel_isa();
  set_kernel_isa(KernelIsa::avx2);
  if (kernel_isa() == KernelIsa::avx2) isas.push_back(KernelIsa::avx2);
  set_kernel_isa(saved);
  return isas;
}

TEST(GemmKernels, TransposedProductMatchesNaive) {
  const KernelIsa saved = kernel_isa();
  for (const KernelIsa isa : available_isas()) {
    set_kernel_isa(isa);
    for (const Shape& s : awkward_shapes()) {
      const long lda = s.m + kPad, ldb = s.m + kPad, ldy = s.k + kPad;
      const auto A = random_matrix(s.m, s.k, lda, 1);
      const auto B = random_matrix(s.m, s.n, ldb, 2);
      std::vector<double> Y(static_cast<std::size_t>(ldy * (s.n > 0 ? s.n : 1)), kSentinel);
      gemm_tn(s.m, s.k, s.n, A.data(), lda, B.data(), ldb, Y.data(), ldy);
      for (int j = 0; j < s.n; ++j) {
        for (int i = 0; i < s.k; ++i) {
          double naive = 0.0;
          for (int p = 0; p < s.m; ++p) naive += A[i * lda + p] * B[j * ldb + p];
          EXPECT_NEAR(Y[j * ldy + i], naive, tolerance(s.m))
              << static_cast<int>(isa) << ": " << s.m << "x" << s.k << "x" << s.n;
        }
      }
      EXPECT_TRUE(padding_untouched(Y, s.k, s.n, ldy)) << s.m << "x" << s.k << "x" << s.n;
    }
  }
  set_kernel_isa(saved);
}

TEST(GemmKernels, ProductSubtractionMatchesNaive) {
  const KernelIsa saved = kernel_isa();
  for (const KernelIsa isa : available_isas()) {
    set_kernel_isa(isa);
    for (const Shape& s : awkward_shapes()) {
      const long lda = s.m + kPad, ldx = s.k + kPad, ldc = s.m + kPad;
      const auto A = random_matrix(s.m, s.k, lda, 3);
      const auto X = random_matrix(s.k, s.n, ldx, 4);
      const auto C0 = random_matrix(s.m, s.n, ldc, 5);
      std::vector<double> C = C0;
      gemm_nn_sub(s.m, s.k, s.n, A.data(), lda, X.data(), ldx, C.data(), ldc);
      for (int j = 0; j < s.n; ++j) {
        for (int i = 0; i < s.m; ++i) {
          double sum = 0.0;
          for (int p = 0; p < s.k; ++p) sum += A[p * lda + i] * X[j * ldx + p];
          EXPECT_NEAR(C[j * ldc + i], C0[j * ldc + i] - sum, tolerance(s.k + 1))
              << static_cast<int>(isa) << ": " << s.m << "x" << s.k << "x" << s.n;
        }
      }
      EXPECT_TRUE(padding_untouched(C, s.m, s.n, ldc)) << s.m << "x" << s.k << "x" << s.n;
    }
  }
  set_kernel_isa(saved);
}

}  // namespace
}  // namespace numlib::detail
