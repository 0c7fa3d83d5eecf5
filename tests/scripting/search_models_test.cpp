#include "scripting/search_models.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "model/basis.h"
#include "numlib/fields.h"
#include "numlib/threads.h"

namespace scripting {
namespace {

SeriesData laser(int Ntrain, int count) {
  std::ifstream in(std::string(MAPFIT_SOURCE_DIR) + "/data/laser-A.txt");
  SeriesData data;
  data.file = "laser-A.txt";
  data.N = 1100;
  data.Ntrain = Ntrain;
  for (double v; static_cast<int>(data.x.size()) < count && in >> v;) data.x.push_back(v);
  return data;
}

// Dimensions 1 .. 4 with delays 1 and 2, polynomials and rational maps: the larger dimensions
// are factorised, the smaller ones taken from them, the orders from one triangle each.
std::vector<ModelChoice> grid() {
  std::vector<ModelChoice> models;
  for (const int T : {1, 2}) {
    for (int D = 1; D <= 4; ++D) {
      for (int nu = 0; nu <= 3; ++nu) models.push_back({D, T, model::ModelKind::polynomial, nu, 0});
      models.push_back({D, T, model::ModelKind::rational, 2, 1});
      models.push_back({D, T, model::ModelKind::rational, 1, 1});
    }
  }
  return models;
}

std::string percent(double ERR) { return numlib::format_F(100.0 * ERR, 10, 5); }

// Every model of the search prints the figures of a separate fit of it, as `mapfit fit` runs it.
TEST(SearchModels, EveryModelEqualsItsSeparateFit) {
  const SeriesData data = laser(1000, 1100);
  const CheckSettings check{20, 50, 1};
  const std::vector<ModelChoice> models = grid();
  int calls = 0;
  const std::vector<ModelResult> results =
      fit_models(data, models, &check, [&](int done, int total) {
        ++calls;
        EXPECT_EQ(done, calls);
        EXPECT_EQ(total, static_cast<int>(models.size()));
      });
  EXPECT_EQ(calls, static_cast<int>(models.size()));
  ASSERT_EQ(results.size(), models.size());
  for (std::size_t i = 0; i < models.size(); ++i) {
    const ModelChoice& s = models[i];
    SCOPED_TRACE("D " + std::to_string(s.D) + " T " + std::to_string(s.T) + " nu " +
                 std::to_string(s.nu) + " mu " + std::to_string(s.mu));
    const ModelResult& r = results[i];
    ASSERT_TRUE(r.failure.empty()) << r.failure;
    ModelResult alone;
    alone.choice = s;
    fit_as_dialogue(alone, training_points(data, s.D, s.T));
    check_model(alone, data, check, nullptr);
    EXPECT_EQ(percent(r.error_train), percent(alone.error_train));
    EXPECT_EQ(percent(r.error_test), percent(alone.error_test));
    EXPECT_EQ(r.prediction_time, alone.prediction_time);
    EXPECT_EQ(r.infinite_solutions, alone.infinite_solutions);
    ASSERT_EQ(r.map.COEF.size(), alone.map.COEF.size());
    double scale = 0.0;
    for (const double c : alone.map.COEF) scale = std::max(scale, std::abs(c));
    for (std::size_t k = 0; k < r.map.COEF.size(); ++k) {
      EXPECT_NEAR(r.map.COEF[k], alone.map.COEF[k], 1e-7 * scale) << k;
    }
    EXPECT_NEAR(r.bic, alone.bic, 1e-6 * std::abs(alone.bic));
  }
}

// The threads change the speed, never a digit.
TEST(SearchModels, ResultsDoNotDependOnTheThreadCount) {
  const SeriesData data = laser(800, 1100);
  const CheckSettings check{30, 40, 3};
  std::vector<ModelChoice> models = grid();
  for (ModelChoice& s : models)
    s.select = s.nu == 2 ? model::TermSelection::forward : model::TermSelection::none;
  const int threads = numlib::thread_count();
  numlib::set_thread_count(1);
  const std::vector<ModelResult> one = fit_models(data, models, &check, nullptr);
  numlib::set_thread_count(2);
  const std::vector<ModelResult> two = fit_models(data, models, &check, nullptr);
  numlib::set_thread_count(threads);
  for (std::size_t i = 0; i < models.size(); ++i) {
    EXPECT_EQ(one[i].map.COEF, two[i].map.COEF) << i;
    EXPECT_EQ(one[i].kept, two[i].kept) << i;
    EXPECT_EQ(one[i].error_train, two[i].error_train) << i;
    EXPECT_EQ(one[i].E, two[i].E) << i;
  }
}

TEST(SearchModels, SingularModelFailsAloneWithTheSolversReason) {
  SeriesData data;
  data.file = "zeros.txt";
  data.Ntrain = 40;
  // A series of zeros: every column but the constant is zero.
  data.x.assign(40, 0.0);
  data.N = 40;
  const std::vector<ModelResult> r = fit_models(
      data,
      {{1, 1, model::ModelKind::polynomial, 0, 0}, {2, 1, model::ModelKind::polynomial, 1, 0}},
      nullptr, nullptr);
  EXPECT_TRUE(r[0].failure.empty());
  EXPECT_EQ(r[0].map.COEF[0], 0.0);
  EXPECT_EQ(r[1].failure,
            "the upper triangular matrix R is exactly singular; the index of the first zero "
            "diagonal element of R is 3");
}

}  // namespace
}  // namespace scripting
