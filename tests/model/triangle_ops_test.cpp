#include "model/triangle_ops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "model/basis.h"
#include "model/delay.h"
#include "model/fits.h"
#include "model/least_squares_triangle.h"

namespace model {
namespace {

// A Henon orbit with a little noise: every least-squares problem below has full rank.
std::vector<double> noisy_henon(int n) {
  std::vector<double> x = {0.1, 0.2};
  while (static_cast<int>(x.size()) < n) {
    x.push_back(1.0 - 1.4 * x.back() * x.back() + 0.3 * x[x.size() - 2]);
  }
  std::mt19937 gen(7);
  std::normal_distribution<double> noise(0.0, 1e-2);
  for (double& v : x) v += noise(gen);
  return x;
}

struct Fit {
  std::vector<double> COEF;
  double ss = 0.0;  // residual sum of squares, from the error of approximation
};

double spread(const DelayEmbedding& e) {
  const double mean = std::accumulate(e.Y.begin(), e.Y.end(), 0.0) / e.N;
  double s = 0.0;
  for (const double y : e.Y) s += (y - mean) * (y - mean);
  return s;
}

Fit fit(const DelayEmbedding& e, int nu, int mu) {
  Fit f;
  double ERR = 0.0;
  const int Pnum = static_cast<int>(basis_count(e.D, nu));
  if (mu < 0) {
    f.COEF.resize(Pnum);
    POLYFIT(e.A.data(), e.D, e.D, e.N, e.Y.data(), f.COEF.data(), Pnum, MONOMIALS, nu, ERR);
  } else {
    const int Pden = static_cast<int>(basis_count(e.D, mu)) - 1;
    f.COEF.resize(Pnum + Pden);
    RATFIT(e.A.data(), e.D, e.D, e.N, e.Y.data(), f.COEF.data(), Pnum, MONOMIALS, nu, Pden,
           MONOMIALS, mu, ERR);
  }
  f.ss = ERR * ERR * spread(e);
  return f;
}

void expect_same_solution(const numlib::LeastSquaresTriangle& t, int k, const Fit& expected) {
  std::vector<double> c(k);
  ASSERT_EQ(solve_leading(t, k, c.data()), 0);
  for (int i = 0; i < k; ++i) EXPECT_NEAR(c[i], expected.COEF[i], 1e-9 * (1 + std::abs(c[i])));
  EXPECT_NEAR(leading_residual(t, k), expected.ss, 1e-9 * expected.ss);
}

// Every order up to the triangle's is the leading block of its columns (the graded basis), and
// solves as the fit of that order alone.
TEST(TriangleOps, NestedOrdersEqualTheirOwnFits) {
  const std::vector<double> x = noisy_henon(800);
  for (const int D : {1, 2, 3}) {
    SCOPED_TRACE(D);
    const DelayEmbedding e = embed(x, D);
    const int top = 4;
    const numlib::LeastSquaresTriangle t =
        least_squares_triangle(e.A.data(), D, D, e.N, e.Y.data(), top, 0);
    EXPECT_EQ(t.P, basis_count(D, top));
    EXPECT_EQ(t.N, e.N);
    for (int nu = 0; nu <= top; ++nu) {
      expect_same_solution(t, static_cast<int>(basis_count(D, nu)), fit(e, nu, -1));
    }
  }
}

// A rational map's columns (numerator, then denominator prefixes) solve as RATFIT does.
TEST(TriangleOps, RationalColumnSetsEqualRatfit) {
  const DelayEmbedding e = embed(noisy_henon(600), 2);
  const numlib::LeastSquaresTriangle t =
      least_squares_triangle(e.A.data(), 2, 2, e.N, e.Y.data(), 2, 2);
  const int Pnum = 6;
  for (const auto& [nu, mu] : std::vector<std::pair<int, int>>{{2, 2}, {2, 1}, {1, 2}, {0, 1}}) {
    SCOPED_TRACE(nu * 10 + mu);
    std::vector<int> columns(basis_count(2, nu));
    std::iota(columns.begin(), columns.end(), 1);
    for (int k = 1; k < basis_count(2, mu); ++k) columns.push_back(Pnum + k);
    const numlib::LeastSquaresTriangle s = column_triangle(t, columns);
    const Fit expected = fit(e, nu, mu);
    std::vector<double> c(s.P);
    ASSERT_EQ(solve_leading(s, s.P, c.data()), 0);
    for (int i = 0; i < s.P; ++i) {
      EXPECT_NEAR(c[i], expected.COEF[i], 1e-8 * (1 + std::abs(c[i])));
    }
  }
}

// The triangle of a smaller dimension from a larger one: its monomials are those of the newest
// arguments, and its first (Dh - D) T equations are added afterwards.
TEST(TriangleOps, SmallerDimensionFromColumnsAndAddedEquations) {
  const std::vector<double> x = noisy_henon(500);
  for (const int T : {1, 3}) {
    SCOPED_TRACE(T);
    const DelayEmbedding big = embed_with_delay(x, 3, T);
    const DelayEmbedding small = embed_with_delay(x, 2, T);
    const numlib::LeastSquaresTriangle t =
        least_squares_triangle(big.A.data(), 3, 3, big.N, big.Y.data(), 2, 0);
    // Basis of order 2 in (x1, x2, x3); the monomials of (x2, x3): 1, x2, x3, x2^2, x2x3, x3^2.
    numlib::LeastSquaresTriangle s = column_triangle(t, std::vector<int>{1, 3, 4, 8, 9, 10});
    for (int j = 0; j < T; ++j) {
      std::vector<double> row(7);
      MONOMIALS(small.A.data() + 2 * j, 2, 2, row.data(), 6);
      row[6] = small.Y[j];
      add_equation(s, row);
    }
    EXPECT_EQ(s.N, small.N);
    expect_same_solution(s, 6, fit(small, 2, -1));
  }
}

TEST(TriangleOps, ZeroColumnIsReportedAsTheSolverReportsIt) {
  // All targets 0: the denominator columns -y psi vanish; the back substitution meets the last
  // zero diagonal element first.
  DelayEmbedding e = embed(noisy_henon(50), 1);
  for (double& y : e.Y) y = 0.0;
  const numlib::LeastSquaresTriangle t =
      least_squares_triangle(e.A.data(), 1, 1, e.N, e.Y.data(), 1, 2);
  std::vector<double> c(t.P);
  EXPECT_EQ(solve_leading(t, 4, c.data()), 4);
  EXPECT_EQ(solve_leading(t, 2, c.data()), 0);
  EXPECT_EQ(leading_residual(t, 2), 0.0);
}

TEST(TriangleOps, FewerEquationsThanColumns) {
  // Three equations, six columns: the first three columns still solve exactly.
  const DelayEmbedding e = embed(std::vector<double>{0.3, -0.2, 0.5, 0.1, 0.7}, 2);
  const numlib::LeastSquaresTriangle t =
      least_squares_triangle(e.A.data(), 2, 2, e.N, e.Y.data(), 2, 0);
  ASSERT_EQ(t.N, 3);
  std::vector<double> c(3);
  ASSERT_EQ(solve_leading(t, 3, c.data()), 0);
  for (int j = 0; j < 3; ++j) {
    const double f = c[0] + c[1] * e.A[2 * j] + c[2] * e.A[2 * j + 1];
    EXPECT_NEAR(f, e.Y[j], 1e-12);
  }
  EXPECT_NEAR(leading_residual(t, 3), 0.0, 1e-24);
}

}  // namespace
}  // namespace model
