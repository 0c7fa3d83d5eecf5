// The monomial basis built degree by degree (MONOMIALS, and the column-wise least-squares
// matrices of the fits) against the product of each index sequence, bit for bit.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "model/basis.h"
#include "model/design_matrix.h"
#include "model/fits.h"
#include "model/model_map.h"
#include "numlib/threads.h"

namespace model {
namespace {

using Vec = std::vector<double>;

// The basis from its definition: for each degree, every non-decreasing index sequence in
// lexicographic order, valued 1.0 * X(M(1)) * ... * X(M(k)) from left to right.
Vec index_sequence_basis(const double* X, int D, int nu) {
  Vec out = {1.0};
  for (int k = 1; k <= nu; ++k) {
    std::vector<int> M(k, 1);
    for (;;) {
      double v = 1.0;
      for (int i = 0; i < k; ++i) v *= X[M[i] - 1];
      out.push_back(v);
      int pos = k - 1;  // the last position that can still grow
      while (pos >= 0 && M[pos] == D) --pos;
      if (pos < 0) break;
      ++M[pos];
      for (int i = pos + 1; i < k; ++i) M[i] = M[pos];
    }
  }
  return out;
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

::testing::AssertionResult bitwise_equal(const Vec& got, const Vec& want) {
  if (got.size() != want.size()) return ::testing::AssertionFailure() << "sizes differ";
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (!same_bits(got[i], want[i]))
      return ::testing::AssertionFailure()
             << "element " << i << ": " << got[i] << " vs " << want[i];
  }
  return ::testing::AssertionSuccess();
}

// Points with mixed signs, zeros, and magnitudes whose products round, underflow to subnormals
// or overflow.
Vec test_point(int D, int which) {
  std::mt19937 gen(1234 + 17 * D + which);
  std::uniform_real_distribution<double> u(-1.7, 1.7);
  Vec x(D);
  for (int i = 0; i < D; ++i) x[i] = u(gen);
  if (which == 1) x[D / 2] = 0.0;
  if (which == 2) x[0] = -0.0;
  if (which == 3)
    for (int i = 0; i < D; ++i) x[i] = (i % 2 ? 1e-80 : -3e75) * (1.0 + 0.1 * i);
  return x;
}

struct Order {
  int D, nu;
};

class GradedBasis : public ::testing::TestWithParam<Order> {};

TEST_P(GradedBasis, MonomialsEqualTheIndexSequenceProductsBitForBit) {
  const auto [D, nu] = GetParam();
  const std::int64_t P = basis_count(D, nu);
  for (int which = 0; which < 4; ++which) {
    const Vec x = test_point(D, which);
    const Vec want = index_sequence_basis(x.data(), D, nu);
    ASSERT_EQ(static_cast<std::int64_t>(want.size()), P);
    Vec out(P + 3, -7.5);  // three sentinels beyond the basis
    MONOMIALS(x.data(), D, nu, out.data(), static_cast<int>(P));
    EXPECT_TRUE(bitwise_equal(Vec(out.begin(), out.begin() + P), want)) << "point " << which;
    for (int s = 0; s < 3; ++s) EXPECT_EQ(out[P + s], -7.5);
  }
}

TEST_P(GradedBasis, DesignColumnsEqualTheRowsOfMonomialsBitForBit) {
  const auto [D, nu] = GetParam();
  const int P = static_cast<int>(basis_count(D, nu));
  const int N = 131;  // two full blocks of points and a ragged one
  const long ld = N + 5;
  Vec A(static_cast<std::size_t>(D) * N), Y(N);
  std::mt19937 gen(99);
  std::uniform_real_distribution<double> u(-1.3, 1.3);
  for (double& v : A) v = u(gen);
  for (double& v : Y) v = u(gen);
  A[3 * D] = 0.0;

  Vec cols(ld * P, 42.0);
  detail::monomial_columns(A.data(), D, D, N, nu, cols.data(), ld);
  Vec scaled(ld * std::max(P - 1, 1), 42.0);
  detail::scaled_monomial_columns(A.data(), D, D, N, nu, Y.data(), scaled.data(), ld);
  Vec row(P);
  for (int r = 0; r < N; ++r) {
    MONOMIALS(A.data() + r * D, D, nu, row.data(), P);
    for (int c = 0; c < P; ++c) {
      ASSERT_TRUE(same_bits(cols[c * ld + r], row[c])) << r << ',' << c;
      if (c >= 1) {
        ASSERT_TRUE(same_bits(scaled[(c - 1) * ld + r], -Y[r] * row[c])) << r << ',' << c;
      }
    }
  }
  // The padding rows between columns are not written.
  for (int c = 0; c < P; ++c)
    for (long r = N; r < ld; ++r) ASSERT_EQ(cols[c * ld + r], 42.0);
}

TEST_P(GradedBasis, MapstepEqualsTheBasisTimesTheCoefficientsInIndexOrder) {
  const auto [D, nu] = GetParam();
  ModelMap map;
  map.D = D;
  map.nu = nu;
  map.P = static_cast<int>(basis_count(D, nu));
  map.COEF.resize(map.P);
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> u(-2.0, 2.0);
  for (double& c : map.COEF) c = u(gen);
  for (int which = 0; which < 4; ++which) {
    const Vec x = test_point(D, which);
    const Vec phi = index_sequence_basis(x.data(), D, nu);
    double f = 0.0;
    for (int i = 0; i < map.P; ++i) f += map.COEF[i] * phi[i];
    Vec next(D);
    MAPSTEP(map, D, 1, x.data(), next.data());
    EXPECT_TRUE(same_bits(next[D - 1], f))
        << "point " << which << ": " << next[D - 1] << " vs " << f;
    for (int i = 0; i + 1 < D; ++i) EXPECT_TRUE(same_bits(next[i], x[i + 1]));
  }
}

INSTANTIATE_TEST_SUITE_P(Orders, GradedBasis,
                         ::testing::Values(Order{1, 0}, Order{4, 0}, Order{1, 1}, Order{1, 13},
                                           Order{2, 2}, Order{2, 10}, Order{3, 3}, Order{3, 7},
                                           Order{5, 3}, Order{5, 5}, Order{6, 5}, Order{6, 8},
                                           Order{7, 7}, Order{10, 3}),
                         [](const auto& test) {
                           return "D" + std::to_string(test.param.D) + "nu" +
                                  std::to_string(test.param.nu);
                         });

// Another basis routine with the same values, so the fits take their row-by-row path.
void monomials_by_rows(const double* X, int D, int nu, double* OUT, int LEN) {
  MONOMIALS(X, D, nu, OUT, LEN);
}

DelayEmbedding noisy_henon(int n, int D) {
  std::vector<double> x = {0.1, 0.2};
  while (static_cast<int>(x.size()) < n)
    x.push_back(1.0 - 1.4 * x.back() * x.back() + 0.3 * x[x.size() - 2]);
  std::mt19937 gen(7);
  std::normal_distribution<double> noise(0.0, 1e-3);
  for (double& v : x) v += noise(gen);
  return embed(x, D);
}

TEST(GradedFits, ColumnBuiltMatricesGiveTheSameFitsAsRowBuiltOnes) {
  const int D = 3, nu = 4, mu = 2;
  const DelayEmbedding e = noisy_henon(3000, D);
  const int P = static_cast<int>(basis_count(D, nu));
  Vec c1(P), c2(P);
  double err1 = 0.0, err2 = 0.0;
  POLYFIT(e.A.data(), D, D, e.N, e.Y.data(), c1.data(), P, MONOMIALS, nu, err1);
  POLYFIT(e.A.data(), D, D, e.N, e.Y.data(), c2.data(), P, monomials_by_rows, nu, err2);
  EXPECT_TRUE(bitwise_equal(c1, c2));
  EXPECT_TRUE(same_bits(err1, err2));
  EXPECT_LT(err1, 0.01);  // the noisy map is well approximated

  const int Pden = static_cast<int>(basis_count(D, mu)) - 1;
  Vec r1(P + Pden), r2(P + Pden);
  RATFIT(e.A.data(), D, D, e.N, e.Y.data(), r1.data(), P, MONOMIALS, nu, Pden, MONOMIALS, mu, err1);
  RATFIT(e.A.data(), D, D, e.N, e.Y.data(), r2.data(), P, monomials_by_rows, nu, Pden,
         monomials_by_rows, mu, err2);
  EXPECT_TRUE(bitwise_equal(r1, r2));
  EXPECT_TRUE(same_bits(err1, err2));
}

// A fit large enough for the blocked factorisation, on one thread and on two.
TEST(GradedFits, ThreadCountChangesNoDigitOfAFit) {
  const int D = 4, nu = 4;
  const DelayEmbedding e = noisy_henon(20000, D);
  const int P = static_cast<int>(basis_count(D, nu));
  const int saved = numlib::thread_count();
  Vec c1(P), c2(P);
  double err1 = 0.0, err2 = 0.0;
  numlib::set_thread_count(1);
  POLYFIT(e.A.data(), D, D, e.N, e.Y.data(), c1.data(), P, MONOMIALS, nu, err1);
  numlib::set_thread_count(2);
  POLYFIT(e.A.data(), D, D, e.N, e.Y.data(), c2.data(), P, MONOMIALS, nu, err2);
  numlib::set_thread_count(saved);
  EXPECT_TRUE(bitwise_equal(c1, c2));
  EXPECT_TRUE(same_bits(err1, err2));
}

}  // namespace
}  // namespace model
