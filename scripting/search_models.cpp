#include "scripting/search_models.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <numeric>
#include <utility>

#include "model/basis.h"
#include "model/basis_terms.h"
#include "model/least_squares_triangle.h"
#include "model/triangle_ops.h"
#include "numlib/threads.h"

namespace scripting {
namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The models of one dimension and delay, and the triangle they are solved from: its columns
// are the basis of order nu, then the denominator basis of order mu without its constant.
struct Group {
  int D = 0;
  int T = 0;
  int nu = 0;
  int mu = 0;
  model::DelayEmbedding train;
  numlib::LeastSquaresTriangle triangle;
  double seconds = 0.0;  // of the triangle

  int numerator() const { return static_cast<int>(model::basis_count(D, nu)); }
};

// Positions (1-based) of a basis's members by their exponents.
std::map<std::vector<int>, int> positions(int D, int order) {
  std::map<std::vector<int>, int> at;
  int p = 0;
  for (auto& e : model::basis_exponents(D, order)) at.emplace(std::move(e), ++p);
  return at;
}

// The triangle of group g from that of group h (same delay, larger dimension, orders at least
// g's): g's monomials are h's monomials of its newest g.D arguments, and g has (h.D - g.D) T
// equations at its start that h has no room for.
numlib::LeastSquaresTriangle derived_triangle(const Group& g, const Group& h) {
  const std::size_t shift = static_cast<std::size_t>(h.D - g.D);
  const auto host_position = [&](const std::map<std::vector<int>, int>& at,
                                 const std::vector<int>& e) {
    std::vector<int> wide(shift, 0);
    wide.insert(wide.end(), e.begin(), e.end());
    return at.at(wide);
  };
  std::vector<int> columns;
  const auto host_numerator = positions(h.D, h.nu);
  for (const auto& e : model::basis_exponents(g.D, g.nu)) {
    columns.push_back(host_position(host_numerator, e));
  }
  if (g.mu >= 1) {
    const auto host_denominator = positions(h.D, h.mu);
    const auto den = model::basis_exponents(g.D, g.mu);
    for (std::size_t k = 1; k < den.size(); ++k) {
      columns.push_back(h.numerator() + host_position(host_denominator, den[k]) - 1);
    }
  }
  numlib::LeastSquaresTriangle t = model::column_triangle(h.triangle, columns);

  const int Pnum = g.numerator();
  const int Pden = t.P - Pnum;
  std::vector<double> row(static_cast<std::size_t>(t.P) + 1);
  std::vector<double> psi(static_cast<std::size_t>(model::basis_count(g.D, g.mu)));
  const int extra = (h.D - g.D) * g.T;
  for (int j = 0; j < extra; ++j) {
    const double* s = g.train.A.data() + static_cast<std::ptrdiff_t>(j) * g.D;
    const double y = g.train.Y[static_cast<std::size_t>(j)];
    model::MONOMIALS(s, g.D, g.nu, row.data(), Pnum);
    if (Pden > 0) {
      model::MONOMIALS(s, g.D, g.mu, psi.data(), Pden + 1);
      for (int k = 1; k <= Pden; ++k) row[static_cast<std::size_t>(Pnum + k - 1)] = -y * psi[k];
    }
    row[static_cast<std::size_t>(t.P)] = y;
    model::add_equation(t, row);
  }
  return t;
}

// Builds every group's triangle, the larger dimensions of a delay first, each from a larger
// one's triangle when that is cheaper than its own factorisation.
void build_triangles(std::vector<Group>& groups) {
  std::vector<std::size_t> order(groups.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return groups[a].T != groups[b].T ? groups[a].T < groups[b].T : groups[a].D > groups[b].D;
  });
  for (std::size_t n = 0; n < order.size(); ++n) {
    Group& g = groups[order[n]];
    const auto start = Clock::now();
    const Group* host = nullptr;
    for (std::size_t m = 0; m < n; ++m) {
      const Group& h = groups[order[m]];
      if (h.T != g.T || h.nu < g.nu || h.mu < g.mu) continue;
      if (host == nullptr || h.triangle.P < host->triangle.P) host = &h;
    }
    if (host != nullptr && host->triangle.P + 1 < g.train.N) {
      g.triangle = derived_triangle(g, *host);
    } else {
      g.triangle = model::least_squares_triangle(g.train.A.data(), g.D, g.D, g.train.N,
                                                 g.train.Y.data(), g.nu, g.mu);
    }
    g.seconds = seconds_since(start);
  }
}

// The columns of a model in its group's triangle.
std::vector<int> model_columns(const ModelChoice& choice, const Group& g) {
  std::vector<int> columns(static_cast<std::size_t>(model::basis_count(choice.D, choice.nu)));
  std::iota(columns.begin(), columns.end(), 1);
  if (choice.kind == model::ModelKind::rational) {
    const int Pden = static_cast<int>(model::basis_count(choice.D, choice.mu)) - 1;
    for (int k = 1; k <= Pden; ++k) columns.push_back(g.numerator() + k);
  }
  return columns;
}

}  // namespace

std::vector<ModelResult> fit_models(const SeriesData& data, const std::vector<ModelChoice>& models,
                                    const CheckSettings* check, const SearchProgress& progress) {
  // One group per dimension and delay, with the highest orders its models need.
  std::vector<Group> groups;
  std::vector<std::size_t> group_of(models.size());
  for (std::size_t i = 0; i < models.size(); ++i) {
    const ModelChoice& s = models[i];
    auto it = std::find_if(groups.begin(), groups.end(),
                           [&](const Group& g) { return g.D == s.D && g.T == s.T; });
    if (it == groups.end()) {
      groups.push_back(Group{s.D, s.T, 0, 0, training_points(data, s.D, s.T), {}, 0.0});
      it = groups.end() - 1;
    }
    it->nu = std::max(it->nu, s.nu);
    if (s.kind == model::ModelKind::rational) it->mu = std::max(it->mu, s.mu);
    group_of[i] = static_cast<std::size_t>(it - groups.begin());
  }
  // The factorisations one after another, each on all threads.
  build_triangles(groups);

  // The models in parallel, the largest first, each wholly on one thread.
  std::vector<ModelResult> results(models.size());
  std::vector<std::size_t> order(models.size());
  std::iota(order.begin(), order.end(), 0);
  const auto cost = [&](std::size_t i) {
    return model::basis_count(models[i].D, models[i].nu) +
           model::basis_count(models[i].D, models[i].mu);
  };
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return cost(a) > cost(b); });
  std::atomic<std::size_t> next{0};
  std::mutex report;
  int done = 0;
  numlib::parallel_for(numlib::thread_count(), [&](int, int) {
    for (std::size_t n = next++; n < order.size(); n = next++) {
      const std::size_t i = order[n];
      ModelResult& r = results[i];
      r.choice = models[i];
      const Group& g = groups[group_of[i]];
      try {
        const auto start = Clock::now();
        const numlib::LeastSquaresTriangle t =
            model::column_triangle(g.triangle, model_columns(r.choice, g));
        r.fit_seconds = g.seconds + seconds_since(start);
        fit_from_triangle(r, t, g.train);
        if (check != nullptr && r.failure.empty()) check_model(r, data, *check, nullptr);
      } catch (const std::exception& error) {
        r.failure = error.what();
      }
      const std::lock_guard lock(report);
      ++done;
      if (progress) progress(done, static_cast<int>(models.size()));
    }
  });
  return results;
}

}  // namespace scripting
