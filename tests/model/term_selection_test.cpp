#include "model/term_selection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "model/basis.h"
#include "model/basis_terms.h"
#include "model/delay.h"
#include "model/least_squares_triangle.h"
#include "model/triangle_ops.h"

namespace model {
namespace {

std::vector<double> sample_series(const std::string& name, int count) {
  std::ifstream in(std::string(MAPFIT_SOURCE_DIR) + "/data/" + name);
  std::vector<double> x;
  for (double v; static_cast<int>(x.size()) < count && in >> v;) x.push_back(v);
  return x;
}

// The position (1-based) of the monomial with these exponents in the basis of order nu.
int position(int D, int nu, const std::vector<int>& exponents) {
  const auto all = basis_exponents(D, nu);
  for (std::size_t c = 0; c < all.size(); ++c) {
    if (all[c] == exponents) return static_cast<int>(c) + 1;
  }
  return -1;
}

struct SelectionCase {
  int D, nu;
  TermSelection direction;
};

// The Henon map x(n+1) = 1 + 0.3 x(n-1) - 1.4 x(n)^2 is found among 15 and 20 terms, by both
// directions, exactly: the three terms and their coefficients.
TEST(TermSelection, HenonKeepsExactlyTheThreeTrueTerms) {
  const std::vector<double> x = sample_series("henon.txt", 500);
  const SelectionCase cases[] = {{2, 4, TermSelection::forward},
                                 {2, 4, TermSelection::backward},
                                 {3, 3, TermSelection::forward},
                                 {3, 3, TermSelection::backward}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.D) + " " + std::to_string(c.nu) +
                 (c.direction == TermSelection::forward ? " forward" : " backward"));
    const DelayEmbedding e = embed(x, c.D);
    const numlib::LeastSquaresTriangle t =
        least_squares_triangle(e.A.data(), c.D, c.D, e.N, e.Y.data(), c.nu, 0);
    const int P = static_cast<int>(basis_count(c.D, c.nu));
    const SelectedTerms s =
        c.direction == TermSelection::forward ? select_forward(t, P, P) : select_backward(t, P, P);
    // 1, x(n-1) (argument D-1), x(n)^2 (argument D squared).
    std::vector<int> older(c.D, 0), newest(c.D, 0);
    older[c.D - 2] = 1;
    newest[c.D - 1] = 2;
    const std::vector<int> expected = {1, position(c.D, c.nu, older), position(c.D, c.nu, newest)};
    ASSERT_EQ(s.columns, expected);
    EXPECT_NEAR(s.coefficients[0], 1.0, 1e-9);
    EXPECT_NEAR(s.coefficients[1], 0.3, 1e-9);
    EXPECT_NEAR(s.coefficients[2], -1.4, 1e-9);
  }
}

// The Henon map driven by Gaussian noise in each step: both directions keep its three terms,
// with coefficients within a few standard errors, and the reported residual is the fit's.
TEST(TermSelection, NoisyMapKeepsItsTermsWithinTheNoise) {
  std::mt19937 gen(11);
  const double sigma = 0.002;
  std::normal_distribution<double> noise(0.0, sigma);
  std::vector<double> x = {0.2, 0.4};
  for (int n = 0; n < 3000; ++n) {
    x.push_back(1.0 + 0.3 * x[x.size() - 2] - 1.4 * x.back() * x.back() + noise(gen));
  }
  const DelayEmbedding e = embed(x, 2);
  const numlib::LeastSquaresTriangle t =
      least_squares_triangle(e.A.data(), 2, 2, e.N, e.Y.data(), 3, 0);
  const std::vector<int> expected = {1, position(2, 3, {1, 0}), position(2, 3, {0, 2})};
  for (const auto direction : {TermSelection::forward, TermSelection::backward}) {
    const SelectedTerms s = direction == TermSelection::forward ? select_forward(t, 10, 10)
                                                                : select_backward(t, 10, 10);
    ASSERT_EQ(s.columns, expected);
    EXPECT_NEAR(s.coefficients[0], 1.0, 1e-3);
    EXPECT_NEAR(s.coefficients[1], 0.3, 1e-3);
    EXPECT_NEAR(s.coefficients[2], -1.4, 1e-3);
    double ss = 0.0;
    for (int j = 0; j < e.N; ++j) {
      const double f = s.coefficients[0] + s.coefficients[1] * e.A[2 * j] +
                       s.coefficients[2] * e.A[2 * j + 1] * e.A[2 * j + 1];
      ss += (e.Y[j] - f) * (e.Y[j] - f);
    }
    EXPECT_NEAR(s.residual, ss, 1e-9 * ss);
    // About the noise's variance per equation.
    EXPECT_NEAR(s.residual / e.N, sigma * sigma, 0.1 * sigma * sigma);
  }
}

TEST(TermSelection, MaxTermsBoundsBothDirections) {
  const DelayEmbedding e = embed(sample_series("laser-A.txt", 1000), 3);
  const numlib::LeastSquaresTriangle t =
      least_squares_triangle(e.A.data(), 3, 3, e.N, e.Y.data(), 3, 0);
  for (const int m : {1, 2, 5}) {
    EXPECT_EQ(select_forward(t, 20, m).columns.size(), static_cast<std::size_t>(m));
    EXPECT_LE(select_backward(t, 20, m).columns.size(), static_cast<std::size_t>(m));
  }
  // The first forward term is the one that reduces the residual most on its own.
  const SelectedTerms one = select_forward(t, 20, 1);
  double best = 0.0;
  int best_column = 0;
  for (int c = 1; c <= 20; ++c) {
    const numlib::LeastSquaresTriangle s = column_triangle(t, std::vector<int>{c});
    const double reduction = leading_residual(s, 0) - leading_residual(s, 1);
    if (reduction > best) best = reduction, best_column = c;
  }
  EXPECT_EQ(one.columns, std::vector<int>{best_column});
}

TEST(TermSelection, DependentColumnsAreNeverKept) {
  // Columns 2 and 3 are the same variable twice over: x and 2x.
  numlib::LeastSquaresTriangle t;
  std::mt19937 gen(3);
  std::uniform_real_distribution<double> u(-1, 1);
  const int n = 200;
  std::vector<double> M(4 * n);
  for (int j = 0; j < n; ++j) {
    const double v = u(gen);
    M[j] = 1.0;
    M[n + j] = v;
    M[2 * n + j] = 2.0 * v;
    M[3 * n + j] = 0.5 - v + 0.01 * u(gen);
  }
  t.P = 3;
  t.N = 0;
  t.T.assign(16, 0.0);
  for (int j = 0; j < n; ++j) {
    add_equation(t, std::vector<double>{M[j], M[n + j], M[2 * n + j], M[3 * n + j]});
  }
  for (const auto direction : {TermSelection::forward, TermSelection::backward}) {
    const SelectedTerms s =
        direction == TermSelection::forward ? select_forward(t, 3, 3) : select_backward(t, 3, 3);
    ASSERT_EQ(s.columns.size(), 2u);
    EXPECT_EQ(s.columns[0], 1);
    EXPECT_NEAR(s.coefficients[0], 0.5, 0.01);
    // Whichever of x and 2x stands for both, its coefficient makes -x.
    EXPECT_NEAR(s.coefficients[1] * (s.columns[1] == 2 ? 1.0 : 2.0), -1.0, 0.01);
  }
}

TEST(TermSelection, InformationCriterion) {
  EXPECT_DOUBLE_EQ(information_criterion(100.0 * std::exp(-2.0), 100, 3),
                   100 * -2.0 + 3 * std::log(100.0));
}

}  // namespace
}  // namespace model
