#include "scripting/model_run.h"

#include <chrono>
#include <cmath>
#include <cstddef>
#include <span>

#include "model/basis.h"
#include "model/delay.h"
#include "model/fits.h"
#include "model/predtest.h"
#include "model/triangle_ops.h"
#include "plot/plots.h"

namespace scripting {
namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double training_error(const ModelResult& r, const model::DelayEmbedding& train) {
  const model::ModelMap& m = r.map;
  double ERR = 0.0;
  model::APPROXERR(train.A.data(), m.D, m.D, train.N, train.Y.data(), m.kind, m.COEF.data(), m.P,
                   m.Pnum, m.Pden, m.nu, m.mu, ERR);
  return ERR;
}

}  // namespace

model::ModelMap empty_map(const ModelChoice& choice) {
  model::ModelMap map;
  map.kind = choice.kind;
  map.D = choice.D;
  map.nu = choice.nu;
  map.mu = choice.kind == model::ModelKind::rational ? choice.mu : 0;
  map.Pnum = static_cast<int>(model::basis_count(choice.D, choice.nu));
  map.Pden = choice.kind == model::ModelKind::rational
                 ? static_cast<int>(model::basis_count(choice.D, choice.mu)) - 1
                 : 0;
  map.P = map.Pnum + map.Pden;
  map.COEF.assign(static_cast<std::size_t>(map.P), 0.0);
  map.W.assign(static_cast<std::size_t>(map.P) + 1, 0.0);
  return map;
}

model::DelayEmbedding training_points(const SeriesData& data, int D, int T) {
  return model::embed_with_delay(
      std::span<const double>(data.x.data(), static_cast<std::size_t>(data.Ntrain)), D, T);
}

void set_criteria(ModelResult& r, const model::DelayEmbedding& train) {
  // The residual from the error of approximation: ERR^2 times the targets' spread.
  const int n = train.N;
  double total = 0.0;
  for (int j = 0; j < n; ++j) total += train.Y[static_cast<std::size_t>(j)];
  const double ybar = total / n;
  double spread = 0.0;
  for (int j = 0; j < n; ++j) {
    const double d = train.Y[static_cast<std::size_t>(j)] - ybar;
    spread += d * d;
  }
  r.points = n;
  r.residual = r.error_train * r.error_train * spread;
  const double k = static_cast<double>(r.kept.size());
  const double fit = n * std::log(r.residual / n);
  r.aic = fit + 2.0 * k;
  r.bic = fit + k * std::log(static_cast<double>(n));
}

void fit_as_dialogue(ModelResult& r, const model::DelayEmbedding& train) {
  const auto start = std::chrono::steady_clock::now();
  r.map = empty_map(r.choice);
  model::ModelMap& m = r.map;
  if (m.kind == model::ModelKind::polynomial) {
    model::POLYFIT(train.A.data(), m.D, m.D, train.N, train.Y.data(), m.COEF.data(), m.P,
                   model::MONOMIALS, m.nu, r.error_train);
  } else {
    double linearised = 0.0;
    model::RATFIT(train.A.data(), m.D, m.D, train.N, train.Y.data(), m.COEF.data(), m.Pnum,
                  model::MONOMIALS, m.nu, m.Pden, model::MONOMIALS, m.mu, linearised);
    // The error of a rational map is that of the quotient itself.
    r.error_train = training_error(r, train);
  }
  r.kept.resize(static_cast<std::size_t>(m.P));
  for (int i = 0; i < m.P; ++i) r.kept[static_cast<std::size_t>(i)] = i + 1;
  set_criteria(r, train);
  r.fit_seconds += seconds_since(start);
}

void fit_from_triangle(ModelResult& r, const numlib::LeastSquaresTriangle& t,
                       const model::DelayEmbedding& train) {
  const auto start = std::chrono::steady_clock::now();
  r.map = empty_map(r.choice);
  model::ModelMap& m = r.map;
  r.kept.clear();
  if (r.choice.select == model::TermSelection::none) {
    const int zero = model::solve_leading(t, m.P, m.COEF.data());
    if (zero != 0) {
      m.COEF.assign(m.COEF.size(), 0.0);
      r.failure =
          "the upper triangular matrix R is exactly singular; the index of the first zero "
          "diagonal element of R is " +
          std::to_string(zero);
      r.fit_seconds += seconds_since(start);
      return;
    }
    for (int i = 1; i <= m.P; ++i) r.kept.push_back(i);
  } else {
    const model::SelectedTerms s = r.choice.select == model::TermSelection::forward
                                       ? model::select_forward(t, m.P, r.choice.max_terms)
                                       : model::select_backward(t, m.P, r.choice.max_terms);
    for (std::size_t i = 0; i < s.columns.size(); ++i) {
      m.COEF[static_cast<std::size_t>(s.columns[i] - 1)] = s.coefficients[i];
    }
    r.kept = s.columns;
  }
  r.error_train = training_error(r, train);
  set_criteria(r, train);
  r.fit_seconds += seconds_since(start);
}

void check_model(ModelResult& r, const SeriesData& data, const CheckSettings& settings,
                 plot::WindowSystem* plot) {
  const auto start = std::chrono::steady_clock::now();
  const int D = r.choice.D;
  const int T = r.choice.T;
  const int W = static_cast<int>(model::delay_window(D, T));
  // The test series: the last W training values and those after them, as the dialogue reads it.
  const std::int64_t NT =
      (static_cast<std::int64_t>(settings.Ktest) - 1) * settings.Stest + settings.Ltest + W + 1;
  const std::span<const double> test(data.x.data() + (data.Ntrain - W),
                                     static_cast<std::size_t>(NT));
  // Windows of W consecutive values for the prediction (the points themselves for T = 1), and
  // the map's arguments for the one-step error.
  const model::DelayEmbedding windows = model::embed(test, W);
  const model::DelayEmbedding points = T == 1 ? windows : model::embed_with_delay(test, D, T);
  const double* XT = windows.A.data();
  const int nt = static_cast<int>(NT);

  if (plot != nullptr) plot::PLOTORIGINAL(*plot, XT, W, nt, settings.Ltest);
  const model::ModelMap& m = r.map;
  model::APPROXERR(points.A.data(), D, D, points.N, points.Y.data(), m.kind, m.COEF.data(), m.P,
                   m.Pnum, m.Pden, m.nu, m.mu, r.error_test);
  const model::MapRoutine step = model::bind_delayed_mapstep(r.map, T);
  if (plot != nullptr) {
    plot->FOCUSWINDOW(plot::kPlotUnit);
    plot::plot_model_in_panels(*plot, XT, W, settings.Ltest, nt - W, step);
  }
  r.E.assign(static_cast<std::size_t>(settings.Ltest), 0.0);
  // The map's own step runs its pieces on the library's threads; a delayed map's routine keeps
  // one work area, so its pieces run one after the other.
  if (T == 1) {
    model::PREDTEST(XT, W, settings.Ltest, settings.Stest, settings.Ktest, r.map, r.E.data(),
                    r.prediction_time, r.infinite_solutions);
  } else {
    model::PREDTEST(XT, W, settings.Ltest, settings.Stest, settings.Ktest, step, r.E.data(),
                    r.prediction_time, r.infinite_solutions);
  }
  if (plot != nullptr) {
    plot::PLOTERROR(*plot, r.E.data(), settings.Ltest);
    plot->picture_done(plot::kPlotUnit);
  }
  r.checked = true;
  r.check_seconds += seconds_since(start);
}

}  // namespace scripting
