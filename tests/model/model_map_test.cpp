#include "model/model_map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "model/basis.h"

namespace model {
namespace {

TEST(Embed, ColumnsAreDelayVectorsOldestFirst) {
  const std::vector<double> x = {1, 2, 3, 4, 5, 6};
  const DelayEmbedding e = embed(x, 2);
  EXPECT_EQ(e.D, 2);
  EXPECT_EQ(e.N, 4);
  EXPECT_EQ(e.A, (std::vector<double>{1, 2, 2, 3, 3, 4, 4, 5}));
  EXPECT_EQ(e.Y, (std::vector<double>{3, 4, 5, 6}));
}

TEST(Embed, DimensionOneAndTooShortSeries) {
  const std::vector<double> x = {4, 5, 6};
  const DelayEmbedding one = embed(x, 1);
  EXPECT_EQ(one.N, 2);
  EXPECT_EQ(one.A, (std::vector<double>{4, 5}));
  EXPECT_EQ(one.Y, (std::vector<double>{5, 6}));
  const DelayEmbedding none = embed(x, 3);
  EXPECT_EQ(none.N, 0);
  EXPECT_TRUE(none.A.empty());
  EXPECT_TRUE(none.Y.empty());
}

ModelMap polynomial(int D, int nu, std::vector<double> coef) {
  ModelMap m;
  m.kind = ModelKind::polynomial;
  m.D = D;
  m.nu = nu;
  m.P = static_cast<int>(basis_count(D, nu));
  m.COEF = std::move(coef);
  m.W.resize(m.P);
  return m;
}

ModelMap rational(int D, int nu, int mu, std::vector<double> coef) {
  ModelMap m;
  m.kind = ModelKind::rational;
  m.D = D;
  m.nu = nu;
  m.mu = mu;
  m.Pnum = static_cast<int>(basis_count(D, nu));
  m.Pden = static_cast<int>(basis_count(D, mu)) - 1;
  m.P = m.Pnum + m.Pden;
  m.COEF = std::move(coef);
  m.W.resize(m.P + 1);
  return m;
}

double approxerr(const ModelMap& m, const DelayEmbedding& e) {
  double err = -1.0;
  APPROXERR(e.A.data(), e.D, e.D, e.N, e.Y.data(), m.kind, m.COEF.data(), m.P, m.Pnum, m.Pden, m.nu,
            m.mu, err);
  return err;
}

TEST(Mapstep, WorkedExampleLinearMap) {
  ModelMap m = polynomial(2, 1, {0.5, 2.0, -3.0});
  const double S[] = {7.0, 11.0};
  double SNEW[2] = {0, 0};
  MAPSTEP(m, 2, 1, S, SNEW);
  EXPECT_EQ(SNEW[0], 11.0);
  EXPECT_EQ(SNEW[1], 0.5 + 2.0 * 7.0 - 3.0 * 11.0);
}

TEST(Mapstep, HenonMapOldestArgumentFirst) {
  ModelMap m = polynomial(2, 2, {1, 0.3, 0, 0, 0, -1.4});
  const double S[] = {0.25, 0.5};  // x(n-1), x(n)
  double SNEW[2];
  MAPSTEP(m, 2, 7, S, SNEW);
  EXPECT_EQ(SNEW[0], 0.5);
  EXPECT_DOUBLE_EQ(SNEW[1], 1.0 - 1.4 * 0.25 + 0.3 * 0.25);
}

TEST(Mapstep, DimensionOneSetsOnlyTheNewValue) {
  ModelMap m = polynomial(1, 2, {1.0, 0.0, -2.0});
  double S[1] = {0.5};
  double SNEW[2] = {0.0, 99.0};
  MAPSTEP(m, 1, 1, S, SNEW);
  EXPECT_EQ(SNEW[0], 0.5);
  EXPECT_EQ(SNEW[1], 99.0);
  // The state may be advanced in place.
  MAPSTEP(m, 1, 2, S, S);
  EXPECT_EQ(S[0], 0.5);
}

TEST(Mapstep, InPlaceStepShiftsTheState) {
  ModelMap m = polynomial(3, 1, {0.0, 1.0, 1.0, 1.0});
  double S[3] = {1.0, 2.0, 4.0};
  MAPSTEP(m, 3, 1, S, S);
  EXPECT_EQ(S[0], 2.0);
  EXPECT_EQ(S[1], 4.0);
  EXPECT_EQ(S[2], 7.0);
}

TEST(Mapstep, UsesTheSizedWorkAreaWithoutReallocating) {
  ModelMap m = rational(2, 2, 1, {1, 2, 3, 4, 5, 6, 0.5, 0.25});
  const double* before = m.W.data();
  const double S[] = {1.0, 2.0};
  double SNEW[2];
  MAPSTEP(m, 2, 1, S, SNEW);
  EXPECT_EQ(m.W.data(), before);
  // Nm = 1 + 2*1 + 3*2 + 4*1 + 5*2 + 6*4 = 47, Q = 1 + 0.5*1 + 0.25*2 = 2.
  EXPECT_EQ(SNEW[1], 23.5);
}

TEST(Mapstep, GrowsAnEmptyWorkArea) {
  ModelMap m = rational(1, 1, 1, {1.0, 1.0, 1.0});
  m.W.clear();
  const double S[] = {3.0};
  double SNEW[1];
  MAPSTEP(m, 1, 1, S, SNEW);
  EXPECT_EQ(SNEW[0], 1.0);  // (1 + 3) / (1 + 3)
  EXPECT_GE(m.W.size(), 3u);
}

TEST(Mapstep, RationalWithConstantDenominatorIsThePolynomial) {
  ModelMap r = rational(2, 2, 0, {1, 0.3, -0.2, 0.1, 0.7, -1.4});
  ModelMap p = polynomial(2, 2, r.COEF);
  EXPECT_EQ(r.Pden, 0);
  const double S[] = {0.3, -0.6};
  double a[2], b[2];
  MAPSTEP(r, 2, 1, S, a);
  MAPSTEP(p, 2, 1, S, b);
  EXPECT_EQ(a[1], b[1]);
}

TEST(Mapstep, BoundRoutineSeesTheCurrentMap) {
  ModelMap m = polynomial(1, 1, {1.0, 2.0});
  const MapRoutine step = bind_mapstep(m);
  const double S[] = {3.0};
  double SNEW[1];
  step(1, 1, S, SNEW);
  EXPECT_EQ(SNEW[0], 7.0);
  m.COEF = {0.0, -1.0};
  step(1, 2, S, SNEW);
  EXPECT_EQ(SNEW[0], -3.0);
}

// Denominator guards: Q = 1 + b * s with s = 1 and b = q - 1, so that Q is exactly q.
struct GuardCase {
  const char* name;
  double q;
  double mapstep_q;    // denominator MAPSTEP divides by
  double approxerr_q;  // denominator APPROXERR divides by
};

class DenominatorGuard : public ::testing::TestWithParam<GuardCase> {};

TEST_P(DenominatorGuard, ReplacedBelowThresholdSignKept) {
  const GuardCase& c = GetParam();
  const double Nm = 3.0;
  ModelMap m = rational(1, 0, 1, {Nm, c.q - 1.0});
  ASSERT_EQ(1.0 + (c.q - 1.0), c.q);

  const double S[] = {1.0};
  double SNEW[1];
  MAPSTEP(m, 1, 1, S, SNEW);
  EXPECT_DOUBLE_EQ(SNEW[0], Nm / c.mapstep_q);

  // Two points: s = 1 (the case, target 0) and s = 0 (Q = 1, F = Nm, target Nm). Only the
  // first residual is nonzero and the targets' spread is Nm^2 / 2.
  DelayEmbedding e;
  e.D = 1;
  e.N = 2;
  e.A = {1.0, 0.0};
  e.Y = {0.0, Nm};
  const double err = approxerr(m, e);
  EXPECT_DOUBLE_EQ(err * std::sqrt(Nm * Nm / 2.0), std::abs(Nm / c.approxerr_q));
}

// 1.0E-6 and 1.0E-9 in single precision, widened.
constexpr double g6 = 9.999999974752427E-7;
constexpr double g9 = 9.999999717180685E-10;

INSTANTIATE_TEST_SUITE_P(
    Cases, DenominatorGuard,
    ::testing::Values(GuardCase{"ExactlyZero", 0.0, g6, g9},
                      GuardCase{"TinyPositive", 0x1p-40, g6, g9},
                      GuardCase{"TinyNegative", -0x1p-40, -g6, -g9},
                      GuardCase{"BetweenThresholds", 0x1p-25, g6, 0x1p-25},
                      GuardCase{"BetweenThresholdsNegative", -0x1p-25, -g6, -0x1p-25},
                      GuardCase{"AboveBoth", 0x1p-19, 0x1p-19, 0x1p-19},
                      GuardCase{"AboveBothNegative", -0x1p-19, -0x1p-19, -0x1p-19},
                      GuardCase{"Ordinary", 0.5, 0.5, 0.5}),
    [](const auto& test) { return std::string(test.param.name); });

std::vector<double> henon_series(int n) {
  std::vector<double> x = {0.1, 0.2};
  while (static_cast<int>(x.size()) < n) {
    const double a = x[x.size() - 2], b = x.back();
    x.push_back(1.0 - 1.4 * b * b + 0.3 * a);
  }
  return x;
}

TEST(Approxerr, ExactMapGivesZero) {
  const DelayEmbedding e = embed(henon_series(200), 2);
  EXPECT_LT(approxerr(polynomial(2, 2, {1, 0.3, 0, 0, 0, -1.4}), e), 1e-14);
}

TEST(Approxerr, MeanMapGivesOne) {
  const DelayEmbedding e = embed(henon_series(201), 2);
  double total = 0.0;
  for (double y : e.Y) total += y;
  const double ybar = total / e.N;
  EXPECT_NEAR(approxerr(polynomial(2, 0, {ybar}), e), 1.0, 1e-14);
  EXPECT_NEAR(approxerr(polynomial(2, 2, {ybar, 0, 0, 0, 0, 0}), e), 1.0, 1e-14);
}

TEST(Approxerr, KnownResidualRatio) {
  // Targets 1, 2, 3 (spread 2); the zero map leaves residuals 1, 2, 3 (sum of squares 14).
  DelayEmbedding e;
  e.D = 1;
  e.N = 3;
  e.A = {5, 6, 7};
  e.Y = {1, 2, 3};
  EXPECT_DOUBLE_EQ(approxerr(polynomial(1, 1, {0.0, 0.0}), e), std::sqrt(7.0));
  // Rational map 1 / (1 + s): the denominator's first basis member pairs with nothing.
  ModelMap r = rational(1, 0, 1, {1.0, 1.0});
  const double r1 = 1 - 1.0 / 6, r2 = 2 - 1.0 / 7, r3 = 3 - 1.0 / 8;
  EXPECT_DOUBLE_EQ(approxerr(r, e), std::sqrt((r1 * r1 + r2 * r2 + r3 * r3) / 2.0));
}

TEST(Approxerr, EqualTargetsAreNotFinite) {
  DelayEmbedding e;
  e.D = 1;
  e.N = 2;
  e.A = {1, 2};
  e.Y = {4, 4};
  EXPECT_FALSE(std::isfinite(approxerr(polynomial(1, 1, {0.0, 1.0}), e)));
}

}  // namespace
}  // namespace model
