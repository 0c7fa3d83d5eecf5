// PREDTEST given the map runs its pieces on the library's threads; the results must equal those
// of the form with a map routine, which runs them one at a time, bit for bit, whatever the
// thread count.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "model/basis.h"
#include "model/fits.h"
#include "model/model_map.h"
#include "model/predtest.h"
#include "numlib/threads.h"

namespace model {
namespace {

struct Outcome {
  std::vector<double> E;
  int PT = -1, NINF = -1;
};

bool operator==(const Outcome& a, const Outcome& b) {
  return a.PT == b.PT && a.NINF == b.NINF && a.E.size() == b.E.size() &&
         std::memcmp(a.E.data(), b.E.data(), a.E.size() * sizeof(double)) == 0;
}

template <class Map>
Outcome run(const DelayEmbedding& test, int D, int Ltest, int Ktest, const Map& map) {
  Outcome o;
  o.E.assign(Ltest, -1.0);
  PREDTEST(test.A.data(), D, Ltest, 1, Ktest, map, o.E.data(), o.PT, o.NINF);
  return o;
}

struct Case {
  const char* name;
  ModelKind kind;
  int nu, mu, Ktest, Ltest;
  double blow_up;  // a coefficient added to the constant term to make pieces run away
};

class PredtestThreads : public ::testing::TestWithParam<Case> {};

TEST_P(PredtestThreads, TheMapFormEqualsTheRoutineFormBitForBit) {
  const Case& c = GetParam();
  const int D = 3;
  std::vector<double> x = {0.1, 0.2, 0.3};
  std::mt19937 gen(3);
  std::normal_distribution<double> noise(0.0, 1e-3);
  while (x.size() < 8000)
    x.push_back(1.0 - 1.4 * x.back() * x.back() + 0.3 * x[x.size() - 2] + noise(gen));
  const DelayEmbedding train = embed(std::span(x).first(2000), D);
  const DelayEmbedding test = embed(std::span(x).subspan(2000 - D), D);

  ModelMap map;
  map.kind = c.kind;
  map.D = D;
  map.nu = c.nu;
  map.mu = c.mu;
  map.Pnum = static_cast<int>(basis_count(D, c.nu));
  map.Pden = c.kind == ModelKind::rational ? static_cast<int>(basis_count(D, c.mu)) - 1 : 0;
  map.P = map.Pnum + map.Pden;
  map.COEF.resize(map.P);
  double err = 0.0;
  if (c.kind == ModelKind::polynomial) {
    POLYFIT(train.A.data(), D, D, train.N, train.Y.data(), map.COEF.data(), map.P, MONOMIALS, c.nu,
            err);
  } else {
    RATFIT(train.A.data(), D, D, train.N, train.Y.data(), map.COEF.data(), map.Pnum, MONOMIALS,
           c.nu, map.Pden, MONOMIALS, c.mu, err);
  }
  map.COEF[0] += c.blow_up;

  const Outcome want = run(test, D, c.Ltest, c.Ktest, bind_mapstep(map));
  const int saved = numlib::thread_count();
  for (int threads : {1, 2}) {
    numlib::set_thread_count(threads);
    EXPECT_TRUE(run(test, D, c.Ltest, c.Ktest, map) == want) << threads << " threads";
  }
  numlib::set_thread_count(saved);
  if (std::isnan(c.blow_up)) {
    // Every prediction is NaN: no step counts as predicted and every piece has run away.
    EXPECT_EQ(want.PT, 0);
    EXPECT_EQ(want.NINF, c.Ktest);
  } else if (c.blow_up != 0.0) {
    EXPECT_GT(want.NINF, 0);
  } else {
    EXPECT_EQ(want.NINF, 0);
    EXPECT_GT(want.PT, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Maps, PredtestThreads,
    ::testing::Values(Case{"Polynomial", ModelKind::polynomial, 3, 0, 700, 20, 0.0},
                      Case{"Rational", ModelKind::rational, 2, 1, 300, 15, 0.0},
                      Case{"RunawayPieces", ModelKind::polynomial, 2, 0, 513, 12, 0.5},
                      Case{"OnePiece", ModelKind::polynomial, 2, 0, 1, 30, 0.0},
                      Case{"NaNModel", ModelKind::polynomial, 2, 0, 300, 10, std::nan("")},
                      // Pieces so long that fewer than 256 of them share a block of terms.
                      Case{"LongPieces", ModelKind::polynomial, 2, 0, 300, 5000, 0.0}),
    [](const auto& test) { return test.param.name; });

}  // namespace
}  // namespace model
