// The least-squares fit on the design matrices of the fits: mapfit's own factorisation and
// solve (DLQRRR + DLQRSL, and the whole POLYFIT with its design matrix) against LAPACK's dgels
// from OpenBLAS on the same matrix, in the same run. Run in a Release build, e.g.
//   OPENBLAS_NUM_THREADS=2 ./bench_qr --benchmark_repetitions=5
// The counter "threads" is mapfit's thread count; OpenBLAS runs on the same number of threads.

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "bench/bench_series.h"
#include "model/basis.h"
#include "model/fit_work.h"
#include "model/fits.h"
#include "model/model_map.h"
#include "numlib/qr.h"
#include "numlib/threads.h"

#ifdef MAPFIT_HAVE_OPENBLAS
extern "C" {
void dgels_(const char* trans, const int* m, const int* n, const int* nrhs, double* a,
            const int* lda, double* b, const int* ldb, double* work, const int* lwork, int* info);
void openblas_set_num_threads(int);
char* openblas_get_corename();
}
#endif

namespace {

using bench::noisy_henon;

// The design matrix of a polynomial fit (N rows, P columns, column-major) and its targets.
struct Problem {
  int N = 0, D = 0, nu = 0, P = 0;
  model::DelayEmbedding e;
  std::vector<double> M;
};

const Problem& problem(int N, int D, int nu) {
  static Problem p;
  if (p.N == N && p.D == D && p.nu == nu) return p;
  p.N = N;
  p.D = D;
  p.nu = nu;
  p.P = static_cast<int>(model::basis_count(D, nu));
  p.e = model::embed(noisy_henon(N + D), D);
  p.M.assign(static_cast<std::size_t>(N) * p.P, 0.0);
  std::vector<double> row(p.P);
  for (int j = 0; j < N; ++j) {
    model::MONOMIALS(p.e.A.data() + static_cast<std::size_t>(j) * D, D, nu, row.data(), p.P);
    for (int i = 0; i < p.P; ++i) p.M[static_cast<std::size_t>(i) * N + j] = row[i];
  }
  return p;
}

// DLQRRR + DLQRSL (IPATH 110) on a fresh copy of the design matrix (args: N, D, nu).
void BM_OwnFactorSolve(benchmark::State& state) {
  const Problem& p = problem(state.range(0), state.range(1), state.range(2));
  std::vector<double> M(p.M.size());
  std::vector<int> korder(p.P);
  std::vector<double> hh(p.P), colnrm(p.P), coef(p.P), resid(p.N), scratch(p.N);
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(M.data(), p.M.data(), M.size() * sizeof(double));
    state.ResumeTiming();
    numlib::DLQRRR(p.N, p.P, M.data(), p.N, false, korder.data(), M.data(), p.N, hh.data(),
                   colnrm.data());
    numlib::DLQRSL(p.N, p.P, M.data(), p.N, hh.data(), p.e.Y.data(), 110, scratch.data(),
                   scratch.data(), coef.data(), resid.data(), scratch.data());
    benchmark::DoNotOptimize(coef.data());
  }
  state.counters["P"] = p.P;
  state.counters["threads"] = numlib::thread_count();
}

// The whole POLYFIT: design matrix, factorisation and solve, its work arrays included; the
// fourth argument chooses the path (0 the explicit matrix, 1 the streaming triangle).
void BM_OwnPolyfit(benchmark::State& state) {
  const Problem& p = problem(state.range(0), state.range(1), state.range(2));
  model::detail::set_fit_path(state.range(3) == 0 ? model::detail::FitPath::reference
                                                  : model::detail::FitPath::streaming);
  std::vector<double> coef(p.P);
  double err = 0.0;
  for (auto _ : state) {
    model::POLYFIT(p.e.A.data(), p.D, p.D, p.N, p.e.Y.data(), coef.data(), p.P, model::MONOMIALS,
                   p.nu, err);
    benchmark::DoNotOptimize(err);
  }
  model::detail::set_fit_path(model::detail::FitPath::automatic);
  state.counters["P"] = p.P;
  state.counters["threads"] = numlib::thread_count();
}

#ifdef MAPFIT_HAVE_OPENBLAS
// LAPACK dgels (QR least squares) on a fresh copy of the same matrix and right-hand side.
void BM_OpenblasDgels(benchmark::State& state) {
  const Problem& p = problem(state.range(0), state.range(1), state.range(2));
  openblas_set_num_threads(numlib::thread_count());
  std::vector<double> M(p.M.size()), b(p.N);
  const int m = p.N, n = p.P, nrhs = 1;
  int info = 0, lwork = -1;
  double query = 0.0;
  dgels_("N", &m, &n, &nrhs, M.data(), &m, b.data(), &m, &query, &lwork, &info);
  lwork = static_cast<int>(query);
  std::vector<double> work(lwork);
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(M.data(), p.M.data(), M.size() * sizeof(double));
    std::memcpy(b.data(), p.e.Y.data(), b.size() * sizeof(double));
    state.ResumeTiming();
    dgels_("N", &m, &n, &nrhs, M.data(), &m, b.data(), &m, work.data(), &lwork, &info);
    benchmark::DoNotOptimize(b.data());
  }
  state.counters["P"] = p.P;
  state.counters["threads"] = numlib::thread_count();
  state.SetLabel(openblas_get_corename());
}
#endif

void fit_shapes(benchmark::internal::Benchmark* b) {
  b->Args({100000, 5, 5})->Args({100000, 6, 5})->Unit(benchmark::kMillisecond)->UseRealTime();
  b->MeasureProcessCPUTime();
}

}  // namespace

BENCHMARK(BM_OwnFactorSolve)->Apply(fit_shapes);
BENCHMARK(BM_OwnPolyfit)->Apply([](benchmark::internal::Benchmark* b) {
  for (int path : {0, 1})
    b->Args({100000, 5, 2, path})->Args({100000, 5, 5, path})->Args({100000, 6, 5, path});
  b->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
});
#ifdef MAPFIT_HAVE_OPENBLAS
BENCHMARK(BM_OpenblasDgels)->Apply(fit_shapes);
#endif
