// The model search against the largest single fit of its grid: D = 1 .. 6 times nu = 1 .. 5
// (polynomials) on N = 10^5 training points, whose largest model is D = 6, nu = 5 (P = 462).
// The goal is a search time of at most 1.5 times the largest fit's. BM_SearchOverLargestFit
// times both side by side in each iteration and reports their ratio.

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <vector>

#include "bench/bench_series.h"
#include "scripting/model_run.h"
#include "scripting/search_models.h"

namespace {

constexpr int kPoints = 100000;

const scripting::SeriesData& series() {
  static const scripting::SeriesData data = [] {
    scripting::SeriesData d;
    d.file = "noisy-henon";
    d.Ntrain = kPoints + 6;
    d.x = bench::noisy_henon(d.Ntrain);
    d.N = d.Ntrain;
    return d;
  }();
  return data;
}

std::vector<scripting::ModelChoice> grid() {
  std::vector<scripting::ModelChoice> models;
  for (int D = 1; D <= 6; ++D) {
    for (int nu = 1; nu <= 5; ++nu) models.push_back({D, 1, model::ModelKind::polynomial, nu, 0});
  }
  return models;
}

// The fit of D = 6, nu = 5 as mapfit fit runs it (POLYFIT and its error).
double largest_fit() {
  scripting::ModelResult r;
  r.choice = {6, 1, model::ModelKind::polynomial, 5, 0};
  scripting::fit_as_dialogue(r, scripting::training_points(series(), 6, 1));
  return r.error_train;
}

double search() {
  const std::vector<scripting::ModelResult> r =
      scripting::fit_models(series(), grid(), nullptr, nullptr);
  return r.back().error_train;
}

struct Seconds {
  double wall;
  double cpu;  // of the whole process, every thread
};

Seconds seconds(double (*work)()) {
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t cpu_start = std::clock();
  benchmark::DoNotOptimize(work());
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
          static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC};
}

void BM_LargestFit(benchmark::State& state) {
  series();
  for (auto _ : state) benchmark::DoNotOptimize(largest_fit());
}
BENCHMARK(BM_LargestFit)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

void BM_Search(benchmark::State& state) {
  series();
  for (auto _ : state) benchmark::DoNotOptimize(search());
  state.counters["models"] = static_cast<double>(grid().size());
}
BENCHMARK(BM_Search)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

// Search and largest fit one after the other in each iteration; the counters are the ratios of
// the summed wall times and of the summed processor times (steadier on a shared machine).
void BM_SearchOverLargestFit(benchmark::State& state) {
  series();
  Seconds fit_total{0, 0}, search_total{0, 0};
  for (auto _ : state) {
    const Seconds f = seconds(largest_fit);
    const Seconds s = seconds(search);
    fit_total = {fit_total.wall + f.wall, fit_total.cpu + f.cpu};
    search_total = {search_total.wall + s.wall, search_total.cpu + s.cpu};
    state.SetIterationTime(f.wall + s.wall);
  }
  state.counters["ratio"] = search_total.wall / fit_total.wall;
  state.counters["cpu_ratio"] = search_total.cpu / fit_total.cpu;
}
BENCHMARK(BM_SearchOverLargestFit)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3)
    ->Repetitions(3);

}  // namespace
