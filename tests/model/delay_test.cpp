#include "model/delay.h"

#include <gtest/gtest.h>

#include <vector>

#include "model/basis.h"
#include "model/predtest.h"

namespace model {
namespace {

TEST(Delay, WindowAndEmbeddingLayout) {
  EXPECT_EQ(delay_window(1, 5), 1);
  EXPECT_EQ(delay_window(3, 1), 3);
  EXPECT_EQ(delay_window(3, 4), 9);
  // x(k) = k: point j has arguments x(j), x(j+2), x(j+4) and target x(j+5).
  std::vector<double> x(10);
  for (int k = 0; k < 10; ++k) x[k] = k + 1;
  const DelayEmbedding e = embed_with_delay(x, 3, 2);
  ASSERT_EQ(e.N, 5);
  EXPECT_EQ(e.A, (std::vector<double>{1, 3, 5, 2, 4, 6, 3, 5, 7, 4, 6, 8, 5, 7, 9}));
  EXPECT_EQ(e.Y, (std::vector<double>{6, 7, 8, 9, 10}));
  EXPECT_EQ(embed_with_delay(x, 3, 5).N, 0);  // the window takes 11 values
}

TEST(Delay, DelayOneIsTheDialoguesEmbedding) {
  std::vector<double> x;
  for (int k = 0; k < 40; ++k) x.push_back(0.1 * k * k - k);
  const DelayEmbedding a = embed(x, 4);
  const DelayEmbedding b = embed_with_delay(x, 4, 1);
  EXPECT_EQ(a.N, b.N);
  EXPECT_EQ(a.A, b.A);
  EXPECT_EQ(a.Y, b.Y);
}

ModelMap quadratic_map() {
  ModelMap m;
  m.D = 2;
  m.nu = 2;
  m.P = m.Pnum = 6;
  m.COEF = {1.0, 0.3, 0.0, 0.0, 0.0, -1.4};
  m.W.assign(7, 0.0);
  return m;
}

TEST(Delay, MapOnAWindowUsesTheSpacedArgumentsAndShifts) {
  ModelMap m = quadratic_map();
  const MapRoutine step = bind_delayed_mapstep(m, 3);
  // Window of 4 values: arguments S(1) and S(4).
  const double S[4] = {0.5, 9.0, 9.0, -0.2};
  double SNEW[4];
  step(4, 1, S, SNEW);
  EXPECT_EQ(SNEW[0], 9.0);
  EXPECT_EQ(SNEW[1], 9.0);
  EXPECT_EQ(SNEW[2], -0.2);
  EXPECT_DOUBLE_EQ(SNEW[3], 1.0 + 0.3 * 0.5 - 1.4 * 0.04);
}

// For T = 1 the routine is MAPSTEP itself: the same prediction, digit for digit.
TEST(Delay, DelayOnePredictsAsMapstep) {
  ModelMap m = quadratic_map();
  std::vector<double> x = {0.1, 0.2};
  for (int k = 0; k < 200; ++k) x.push_back(1.0 - 1.4 * x.back() * x.back() + 0.3 * x[k]);
  const DelayEmbedding XT = embed(x, 2);
  std::vector<double> E1(20), E2(20);
  int PT1 = -1, PT2 = -2, NINF1 = -1, NINF2 = -2;
  PREDTEST(XT.A.data(), 2, 20, 3, 50, bind_mapstep(m), E1.data(), PT1, NINF1);
  PREDTEST(XT.A.data(), 2, 20, 3, 50, bind_delayed_mapstep(m, 1), E2.data(), PT2, NINF2);
  EXPECT_EQ(E1, E2);
  EXPECT_EQ(PT1, PT2);
  EXPECT_EQ(NINF1, NINF2);
}

}  // namespace
}  // namespace model
