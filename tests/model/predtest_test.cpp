#include "model/predtest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "model/basis.h"

namespace model {
namespace {

// Test data: the delay embedding of a series with D = 1 holds the series itself.
struct Outcome {
  std::vector<double> E;
  int PT = -1;
  int NINF = -1;
  int calls = 0;
};

// PREDTEST on a one-dimensional series with a map that returns the true next value plus
// offset(piece start, step). The piece start is recovered from the state at step 1.
template <class Offset>
Outcome run_oracle(const std::vector<double>& t, int Ltest, int Stest, int Ktest, Offset offset) {
  Outcome r;
  r.E.assign(Ltest, -1.0);
  int start = 0;  // 0-based column of the current piece
  int piece = 0;
  const MapRoutine map = [&](int D, int STEP, const double* S, double* SNEW) {
    EXPECT_EQ(D, 1);
    if (STEP == 1) start = (piece++) * Stest;
    ++r.calls;
    static_cast<void>(S);
    SNEW[0] = t[start + STEP] + offset(start, STEP);
  };
  PREDTEST(t.data(), 1, Ltest, Stest, Ktest, map, r.E.data(), r.PT, r.NINF);
  return r;
}

// Values 0, 2, 0, 2, ...: mean 1 and population variance exactly 1 (sample variance differs).
std::vector<double> square_wave(int n) {
  std::vector<double> t(n);
  for (int i = 0; i < n; ++i) t[i] = (i % 2) * 2.0;
  return t;
}

TEST(Predtest, ExactMapPredictsPerfectly) {
  // Henon series, D = 2, the map written out: every prediction is exact.
  std::vector<double> x = {0.1, 0.2};
  for (int i = 0; i < 300; ++i)
    x.push_back(1.0 - 1.4 * x.back() * x.back() + 0.3 * x[x.size() - 2]);
  const int D = 2, Ltest = 30, Stest = 3, Ktest = 20;
  std::vector<double> XT;
  for (std::size_t j = 0; j + 1 < x.size(); ++j) {
    XT.push_back(x[j]);
    XT.push_back(x[j + 1]);
  }
  int calls = 0;
  const MapRoutine henon = [&](int d, int, const double* S, double* SNEW) {
    ++calls;
    const double next = 1.0 - 1.4 * S[1] * S[1] + 0.3 * S[0];
    SNEW[0] = S[d - 1];
    SNEW[1] = next;
  };
  std::vector<double> E(Ltest, -1.0);
  int PT = -1, NINF = -1;
  PREDTEST(XT.data(), D, Ltest, Stest, Ktest, henon, E.data(), PT, NINF);
  for (double e : E) EXPECT_EQ(e, 0.0);
  EXPECT_EQ(PT, Ltest);
  EXPECT_EQ(NINF, 0);
  EXPECT_EQ(calls, Ltest * Ktest);
}

TEST(Predtest, SinglePieceDividesByTheStandardDeviation) {
  const int Ltest = 5;
  const std::vector<double> t = square_wave(Ltest + 1);
  const Outcome r = run_oracle(t, Ltest, 1, 1, [](int, int n) { return n == 2 ? -0.5 : 0.01 * n; });
  ASSERT_EQ(r.E.size(), 5u);
  EXPECT_NEAR(r.E[0], 0.01, 1e-14);
  EXPECT_NEAR(r.E[1], 0.5, 1e-14);
  EXPECT_NEAR(r.E[2], 0.03, 1e-14);
  EXPECT_NEAR(r.E[4], 0.05, 1e-14);
  EXPECT_EQ(r.PT, 1);
  EXPECT_EQ(r.NINF, 0);
}

TEST(Predtest, AveragesSquaredErrorsOverPieces) {
  // Two pieces two values apart on 0, 2, 0, 2, ... (Np = 6 values, variance 1).
  const std::vector<double> t = square_wave(6);
  const Outcome r = run_oracle(t, 3, 2, 2, [](int start, int) { return start == 0 ? 0.3 : 0.4; });
  for (double e : r.E) EXPECT_NEAR(e, std::sqrt((0.09 + 0.16) / 2.0), 1e-14);
  EXPECT_EQ(r.calls, 6);
}

struct ThresholdCase {
  const char* name;
  double error_at_3;  // normalised error at horizon 3, none elsewhere
  double error_at_1;
  int PT;
};

class PredictionTime : public ::testing::TestWithParam<ThresholdCase> {};

TEST_P(PredictionTime, CountsLeadingHorizonsWithinThreshold) {
  const ThresholdCase& c = GetParam();
  const int Ltest = 7;
  const std::vector<double> t = square_wave(Ltest + 1);
  const Outcome r = run_oracle(t, Ltest, 1, 1, [&](int, int n) {
    return n == 3 ? c.error_at_3 : n == 1 ? c.error_at_1 : 0.0;
  });
  EXPECT_EQ(r.PT, c.PT);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PredictionTime,
    ::testing::Values(
        ThresholdCase{"NeverExceeds", 0.01, 0.0, 7},
        ThresholdCase{"ExceedsAtThreeAndFallsBack", 0.2, 0.0, 2},
        ThresholdCase{"ExceedsAtOne", 0.0, 0.06, 0},
        ThresholdCase{"ExactlyFivePercent", 0.05, 0.0, 7},
        // Between 0.05 and 0.05 in single precision (0.05000000074505806).
        ThresholdCase{"WithinSinglePrecisionThreshold", 0.0500000003, 0.0, 7},
        ThresholdCase{"JustAboveSinglePrecisionThreshold", 0.050000001, 0.0, 2},
        ThresholdCase{"NaNCountsAsAbove", std::numeric_limits<double>::quiet_NaN(), 0.0, 2},
        ThresholdCase{"NaNAtOneGivesZero", 0.0, std::numeric_limits<double>::quiet_NaN(), 0}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(Predtest, RunawayAtStepFourIsChargedAndCountedOnce) {
  // Values 0, 2, ...: bound 20. Piece 1 leaves the bound at step 4; piece 2 stays exact.
  const int Ltest = 8, Ktest = 2;
  const std::vector<double> t = square_wave((Ktest - 1) + Ltest + 1);
  const double big = 1000.0;
  const Outcome r = run_oracle(t, Ltest, 1, Ktest,
                               [&](int start, int n) { return start == 0 && n == 4 ? big : 0.0; });
  // Population variance of the 10 values 0, 2, ...: 1.
  EXPECT_EQ(r.E[0], 0.0);
  EXPECT_EQ(r.E[2], 0.0);
  EXPECT_DOUBLE_EQ(r.E[3], std::sqrt(big * big / 2.0));
  for (int n = 5; n <= Ltest; ++n) EXPECT_DOUBLE_EQ(r.E[n - 1], std::sqrt(1.0e6 / 2.0)) << n;
  EXPECT_EQ(r.NINF, 1);
  EXPECT_EQ(r.PT, 3);
  EXPECT_EQ(r.calls, 4 + Ltest);  // the runaway piece is not iterated after step 4
}

TEST(Predtest, LeavingTheBoundAtTheLastStepCounts) {
  const int Ltest = 5;
  const std::vector<double> t = square_wave(Ltest + 1);  // bound 20, variance 1
  const Outcome r = run_oracle(t, Ltest, 1, 1, [](int, int n) { return n == 5 ? 48.0 : 0.0; });
  EXPECT_EQ(r.NINF, 1);
  EXPECT_EQ(r.calls, 5);
  EXPECT_EQ(r.E[4], 48.0);
  EXPECT_EQ(r.PT, 4);
}

struct BoundCase {
  const char* name;
  std::vector<double> t;
  double state;  // the prediction at step 1
  bool runaway;
};

class MagnitudeBound : public ::testing::TestWithParam<BoundCase> {};

TEST_P(MagnitudeBound, TenTimesLargestTestMagnitude) {
  const BoundCase& c = GetParam();
  const int Ltest = static_cast<int>(c.t.size()) - 1;
  const Outcome r =
      run_oracle(c.t, Ltest, 1, 1, [&](int, int n) { return n == 1 ? c.state - c.t[1] : 0.0; });
  EXPECT_EQ(r.NINF, c.runaway ? 1 : 0);
  EXPECT_EQ(r.calls, c.runaway ? 1 : Ltest);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MagnitudeBound,
    ::testing::Values(BoundCase{"OnTheBound", {0, 2, 0, 2}, 20.0, false},
                      BoundCase{"BeyondTheBound", {0, 2, 0, 2}, 20.5, true},
                      BoundCase{"NegativeValuesSetTheBound", {-3, 1, 0, 1}, -30.0, false},
                      BoundCase{"BeyondNegativeBound", {-3, 1, 0, 1}, 30.5, true},
                      BoundCase{"NaNStateHasLeftTheBound",
                                {0, 2, 0, 2},
                                std::numeric_limits<double>::quiet_NaN(),
                                true},
                      // Test values near the largest real make the bound infinite: a finite
                      // state is within it, an infinite one has left it all the same.
                      BoundCase{
                          "HugeStateWithinAnInfiniteBound", {0, 1e308, 0, 1e308}, 1.7e308, false},
                      BoundCase{"InfiniteStateHasLeftAnInfiniteBound",
                                {0, 1e308, 0, 1e308},
                                std::numeric_limits<double>::infinity(),
                                true}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(Predtest, NaNPredictionEndsThePieceAsARunaway) {
  // A model whose values overflow predicts NaN: the piece is charged from the next step on
  // and counted, and the NaN error of its step ends the prediction time.
  const int Ltest = 5;
  const std::vector<double> t = square_wave(Ltest + 1);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Outcome r = run_oracle(t, Ltest, 1, 1, [&](int, int n) { return n == 2 ? nan : 0.0; });
  EXPECT_EQ(r.E[0], 0.0);
  EXPECT_TRUE(std::isnan(r.E[1]));
  for (int n = 3; n <= Ltest; ++n) EXPECT_DOUBLE_EQ(r.E[n - 1], 1000.0) << n;
  EXPECT_EQ(r.PT, 1);
  EXPECT_EQ(r.NINF, 1);
  EXPECT_EQ(r.calls, 2);
}

TEST(Predtest, NaNTestValueEndsEveryPieceThatMeetsIt) {
  // The exact map on 0, 2, NaN, 2, 0, 2: piece 1 predicts the NaN at step 2 and runs away
  // there, piece 2 starts from it; the variance is NaN, so nothing counts as predicted.
  std::vector<double> t = square_wave(6);
  t[2] = std::numeric_limits<double>::quiet_NaN();
  const Outcome r = run_oracle(t, 3, 2, 2, [](int, int) { return 0.0; });
  EXPECT_EQ(r.NINF, 2);
  EXPECT_EQ(r.calls, 2);
  EXPECT_EQ(r.PT, 0);
}

TEST(Predtest, ConstantTestValuesGiveNonFiniteErrors) {
  const std::vector<double> t(5, 3.0);
  const Outcome r = run_oracle(t, 4, 1, 1, [](int, int) { return 0.0; });
  for (double e : r.E) EXPECT_FALSE(std::isfinite(e));
  // Even exact predictions: 0 / 0 is no error within the threshold.
  EXPECT_EQ(r.PT, 0);
}

}  // namespace
}  // namespace model
