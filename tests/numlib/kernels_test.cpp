#include "numlib/kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <tuple>
#include <vector>

namespace numlib {
namespace {

constexpr double kGuard = -777.0;

// A strided vector of n logical elements in an array with two guard cells at the end; the
// naive accessor maps logical element i (1-based) to its array position, far end first for
// a negative stride.
struct Strided {
  int n, inc;
  std::vector<double> store;

  Strided(int n_, int inc_, double seed) : n(n_), inc(inc_) {
    const int len = (n > 0 ? (n - 1) * std::abs(inc) + 1 : 1) + 2;
    store.assign(len, kGuard);
    for (int k = 0; k < len - 2; ++k) store[k] = seed + 0.37 * k * (k % 2 ? -1 : 1);
  }
  double& at(int i) {
    const int pos = inc >= 0 ? (i - 1) * inc : (n - i) * (-inc);
    return store[pos];
  }
  double* data() { return store.data(); }
  bool guards_intact() const {
    return store[store.size() - 1] == kGuard && store[store.size() - 2] == kGuard;
  }
};

using Shape = std::tuple<int, int, int>;  // n, incx, incy

// Kernels that only read both vectors take every stride; a written vector takes no 0 stride.
class ReadingKernel : public ::testing::TestWithParam<Shape> {};
class WritingKernel : public ::testing::TestWithParam<Shape> {};
class SwappingKernel : public ::testing::TestWithParam<Shape> {};

TEST_P(WritingKernel, CopyMatchesNaive) {
  const auto [n, incx, incy] = GetParam();
  Strided x(n, incx, 1.25), y(n, incy, -3.5), ref = y;
  for (int i = 1; i <= n; ++i) ref.at(i) = x.at(i);
  VCOPY(n, x.data(), incx, y.data(), incy);
  EXPECT_EQ(y.store, ref.store);
}

TEST_P(ReadingKernel, DotMatchesNaive) {
  const auto [n, incx, incy] = GetParam();
  Strided x(n, incx, 1.25), y(n, incy, -3.5);
  double ref = 0.0;
  for (int i = 1; i <= n; ++i) ref += x.at(i) * y.at(i);
  EXPECT_DOUBLE_EQ(VDOT(n, x.data(), incx, y.data(), incy), ref);
}

TEST_P(WritingKernel, AxpyMatchesNaive) {
  const auto [n, incx, incy] = GetParam();
  Strided x(n, incx, 1.25), y(n, incy, -3.5), ref = y;
  for (int i = 1; i <= n; ++i) ref.at(i) += -0.75 * x.at(i);
  VAXPY(n, -0.75, x.data(), incx, y.data(), incy);
  ASSERT_EQ(y.store.size(), ref.store.size());
  for (std::size_t k = 0; k < y.store.size(); ++k) EXPECT_DOUBLE_EQ(y.store[k], ref.store[k]);
}

TEST_P(SwappingKernel, SwapMatchesNaive) {
  const auto [n, incx, incy] = GetParam();
  Strided x(n, incx, 1.25), y(n, incy, -3.5), rx = x, ry = y;
  for (int i = 1; i <= n; ++i) std::swap(rx.at(i), ry.at(i));
  VSWAP(n, x.data(), incx, y.data(), incy);
  EXPECT_EQ(x.store, rx.store);
  EXPECT_EQ(y.store, ry.store);
  EXPECT_TRUE(x.guards_intact() && y.guards_intact());
}

INSTANTIATE_TEST_SUITE_P(Strides, ReadingKernel,
                         ::testing::Combine(::testing::Values(0, 1, 5, 7),
                                            ::testing::Values(1, 2, -1, 0),
                                            ::testing::Values(1, 2, -1, 0)));
INSTANTIATE_TEST_SUITE_P(Strides, WritingKernel,
                         ::testing::Combine(::testing::Values(0, 1, 5, 7),
                                            ::testing::Values(1, 2, -1, 0),
                                            ::testing::Values(1, 2, -1)));
INSTANTIATE_TEST_SUITE_P(Strides, SwappingKernel,
                         ::testing::Combine(::testing::Values(0, 1, 5, 7),
                                            ::testing::Values(1, 2, -1),
                                            ::testing::Values(1, 2, -1)));

using OneShape = std::tuple<int, int>;  // n, inc

class OneVectorKernel : public ::testing::TestWithParam<OneShape> {};

TEST_P(OneVectorKernel, ScalAndSetMatchNaive) {
  const auto [n, inc] = GetParam();
  Strided x(n, inc, 2.5), ref = x;
  for (int i = 1; i <= n; ++i) ref.at(i) *= -1.5;
  VSCAL(n, -1.5, x.data(), inc);
  EXPECT_EQ(x.store, ref.store);

  for (int i = 1; i <= n; ++i) ref.at(i) = 4.0;
  VSET(n, 4.0, x.data(), inc);
  EXPECT_EQ(x.store, ref.store);
}

TEST_P(OneVectorKernel, IvmaxFindsFirstLargestSignedValue) {
  const auto [n, inc] = GetParam();
  Strided x(n, inc, 0.0);
  for (int i = 1; i <= n; ++i) x.at(i) = -100.0 + i % 3;  // largest at i = 2, 5, ...
  const int expected = n <= 0 ? 0 : (n == 1 ? 1 : 2);
  EXPECT_EQ(IVMAX(n, x.data(), inc), expected);
}

TEST_P(OneVectorKernel, Nrm2MatchesNaive) {
  const auto [n, inc] = GetParam();
  Strided x(n, inc, 2.5);
  long double sum = 0.0L;
  for (int i = 1; i <= n; ++i) sum += static_cast<long double>(x.at(i)) * x.at(i);
  EXPECT_NEAR(VNRM2(n, x.data(), inc), std::sqrt(static_cast<double>(sum)),
              1e-15 * std::sqrt(static_cast<double>(sum)));
}

INSTANTIATE_TEST_SUITE_P(Strides, OneVectorKernel,
                         ::testing::Combine(::testing::Values(0, 1, 5, 7),
                                            ::testing::Values(1, 2, 3)));

TEST(Kernels, ScalAndSetIgnoreNonPositiveStride) {
  std::vector<double> x = {1.0, 2.0, 3.0};
  const auto before = x;
  VSCAL(3, 5.0, x.data(), 0);
  VSCAL(3, 5.0, x.data(), -1);
  VSET(3, 5.0, x.data(), 0);
  VSET(3, 5.0, x.data(), -1);
  EXPECT_EQ(x, before);
}

TEST(Kernels, AxpyWithZeroFactorLeavesNanAlone) {
  const double nan = std::nan("");
  std::vector<double> x = {nan, nan}, y = {1.0, 2.0};
  VAXPY(2, 0.0, x.data(), 1, y.data(), 1);
  EXPECT_EQ(y, (std::vector<double>{1.0, 2.0}));
}

TEST(Kernels, IvmaxTakesNoAbsoluteValue) {
  const std::vector<double> x = {-10.0, 3.0, -20.0, 3.0};
  EXPECT_EQ(IVMAX(4, x.data(), 1), 2);
  EXPECT_EQ(IVMAX(2, x.data(), 2), 1);   // -10 against -20
  EXPECT_EQ(IVMAX(4, x.data(), -1), 1);  // logical order 3, -20, 3, -10: the first 3 wins
}

TEST(Kernels, Nrm2DefinedCases) {
  const std::vector<double> x = {-3.0, 4.0, 12.0};
  EXPECT_EQ(VNRM2(2, x.data(), 1), 5.0);
  EXPECT_EQ(VNRM2(3, x.data(), 1), 13.0);
  EXPECT_EQ(VNRM2(0, x.data(), 1), 0.0);
  EXPECT_EQ(VNRM2(3, x.data(), -1), 0.0);
  EXPECT_DOUBLE_EQ(VNRM2(4, x.data(), 0), 6.0);  // sqrt(4) * |x1|
  EXPECT_DOUBLE_EQ(VNRM2(7, x.data() + 1, 0), std::sqrt(7.0) * 4.0);
}

struct NormCase {
  double value;  // every element
  int n;
};

TEST(Kernels, Nrm2ScalesExtremeValues) {
  // Plain squares would underflow to 0 or overflow to infinity for all of these.
  const NormCase cases[] = {{1e-200, 1}, {1e-200, 7}, {-1e-200, 9}, {1e200, 1},  {1e200, 7},
                            {-1e200, 9}, {1e-160, 4}, {1e160, 4},   {1e-300, 5}, {1.7e308, 1}};
  for (const auto& c : cases) {
    const std::vector<double> x(c.n, c.value);
    const double expected = std::fabs(c.value) * std::sqrt(static_cast<double>(c.n));
    EXPECT_NEAR(VNRM2(c.n, x.data(), 1), expected, 4e-16 * expected) << c.value << " x " << c.n;
  }
  const std::vector<double> big = {3e200, 4e200}, tiny = {3e-200, -4e-200};
  EXPECT_DOUBLE_EQ(VNRM2(2, big.data(), 1), 5e200);
  EXPECT_DOUBLE_EQ(VNRM2(2, tiny.data(), 1), 5e-200);
  const std::vector<double> mixed = {1e200, 1.0, 1e-200};  // the small ones vanish, nothing else
  EXPECT_DOUBLE_EQ(VNRM2(3, mixed.data(), 1), 1e200);
}

}  // namespace
}  // namespace numlib
