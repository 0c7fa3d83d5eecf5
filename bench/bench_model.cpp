// Timing of the model layer: the polynomial fit on long series and the iterated prediction.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "bench/bench_series.h"
#include "model/basis.h"
#include "model/fits.h"
#include "model/model_map.h"
#include "model/predtest.h"

namespace {

using bench::noisy_henon;

// POLYFIT with N training points, dimension D and order nu (args: N, D, nu).
void BM_Polyfit(benchmark::State& state) {
  const int N = static_cast<int>(state.range(0));
  const int D = static_cast<int>(state.range(1));
  const int nu = static_cast<int>(state.range(2));
  const model::DelayEmbedding e = model::embed(noisy_henon(N + D), D);
  const int P = static_cast<int>(model::basis_count(D, nu));
  std::vector<double> coef(P);
  double err = 0.0;
  for (auto _ : state) {
    model::POLYFIT(e.A.data(), D, D, e.N, e.Y.data(), coef.data(), P, model::MONOMIALS, nu, err);
    benchmark::DoNotOptimize(err);
  }
  state.counters["P"] = P;
}
BENCHMARK(BM_Polyfit)
    ->Args({100000, 5, 3})
    ->Args({100000, 5, 5})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

// PREDTEST with Ktest pieces of Ltest steps through MAPSTEP of a fitted map (D = 5, nu = 5), on
// the library's threads.
void BM_Predtest(benchmark::State& state) {
  const int Ktest = static_cast<int>(state.range(0));
  const int Ltest = static_cast<int>(state.range(1));
  const int D = 5, nu = 5;
  const std::vector<double> x = noisy_henon(30000);
  const model::DelayEmbedding train = model::embed(std::span(x).first(10000), D);
  model::ModelMap map;
  map.D = D;
  map.nu = nu;
  map.P = static_cast<int>(model::basis_count(D, nu));
  map.COEF.resize(map.P);
  map.W.resize(map.P);
  double err = 0.0;
  model::POLYFIT(train.A.data(), D, D, train.N, train.Y.data(), map.COEF.data(), map.P,
                 model::MONOMIALS, nu, err);
  const model::DelayEmbedding test =
      model::embed(std::span(x).subspan(10000 - D, (Ktest - 1) + Ltest + D + 1), D);
  std::vector<double> E(Ltest);
  int PT = 0, NINF = 0;
  for (auto _ : state) {
    model::PREDTEST(test.A.data(), D, Ltest, 1, Ktest, map, E.data(), PT, NINF);
    benchmark::DoNotOptimize(E.data());
  }
  state.counters["P"] = map.P;
  state.counters["PT"] = PT;
}
BENCHMARK(BM_Predtest)
    ->Args({10000, 100})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace

namespace {

// One evaluation of the basis of order nu in D variables (args: D, nu).
void BM_Monomials(benchmark::State& state) {
  const int D = static_cast<int>(state.range(0));
  const int nu = static_cast<int>(state.range(1));
  std::vector<double> x(D), out(model::basis_count(D, nu));
  for (int i = 0; i < D; ++i) x[i] = 0.9 - 0.1 * i;
  for (auto _ : state) {
    model::MONOMIALS(x.data(), D, nu, out.data(), static_cast<int>(out.size()));
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_Monomials)->Args({5, 5})->Args({2, 10})->Repetitions(3)->ReportAggregatesOnly(true);

}  // namespace
