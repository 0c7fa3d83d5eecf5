// The matrix products of the blocked factorisation on one thread: the trailing update of one
// panel of a tall matrix (args: rows m, panel width k, trailing columns n), and the rank-1
// products of the leaves (k = 1).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "numlib/gemm_kernels.h"

namespace {

// The fold's blocks keep their columns a few elements more than their rows apart, so that the
// columns do not all fall into the same cache sets.
constexpr int kPad = 8;

std::vector<double> filled(std::size_t n) {
  std::vector<double> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = 1.0 / (1.0 + static_cast<double>(i % 97));
  return v;
}

void BM_GemmTn(benchmark::State& state) {
  const int m = state.range(0), k = state.range(1), n = state.range(2);
  const long ld = m + kPad;
  const std::vector<double> A = filled(static_cast<std::size_t>(ld) * k);
  const std::vector<double> B = filled(static_cast<std::size_t>(ld) * n);
  std::vector<double> Y(static_cast<std::size_t>(k) * n);
  for (auto _ : state) {
    numlib::detail::gemm_tn(m, k, n, A.data(), ld, B.data(), ld, Y.data(), k);
    benchmark::DoNotOptimize(Y.data());
  }
  state.counters["GFlops"] = benchmark::Counter(
      2.0 * m * k * n, benchmark::Counter::kIsIterationInvariantRate, benchmark::Counter::kIs1000);
}

void BM_GemmNn(benchmark::State& state) {
  const int m = state.range(0), k = state.range(1), n = state.range(2);
  const long ld = m + kPad;
  const std::vector<double> A = filled(static_cast<std::size_t>(ld) * k);
  const std::vector<double> X = filled(static_cast<std::size_t>(k) * n);
  std::vector<double> C = filled(static_cast<std::size_t>(ld) * n);
  for (auto _ : state) {
    numlib::detail::gemm_nn_sub(m, k, n, A.data(), ld, X.data(), k, C.data(), ld);
    benchmark::DoNotOptimize(C.data());
  }
  state.counters["GFlops"] = benchmark::Counter(
      2.0 * m * k * n, benchmark::Counter::kIsIterationInvariantRate, benchmark::Counter::kIs1000);
}

// The panel shapes of the fold (512-row blocks), its leaves, and long products.
void shapes(benchmark::internal::Benchmark* b) {
  for (const auto& args : {std::vector<std::int64_t>{512, 32, 48},
                           {512, 32, 24},
                           {512, 8, 8},
                           {512, 1, 7},
                           {8192, 32, 220},
                           {100000, 32, 220}})
    b->Args(args);
  b->Unit(benchmark::kMicrosecond);
}

}  // namespace

BENCHMARK(BM_GemmTn)->Apply(shapes);
BENCHMARK(BM_GemmNn)->Apply(shapes);
