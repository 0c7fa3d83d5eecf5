// The least-squares fit of a polynomial model map by LAPACK, as a whole process, for the
// whole-process comparison of bench/whole_process.sh: reads the series (one value a line),
// takes the first Ntrain values as the training series, builds the design matrix of the
// monomial basis with the program's own builder and solves it with dgels or dgetsls from
// OpenBLAS on the library's thread count. Prints the error of approximation as the program does.
//   lapack_fit FILE NTRAIN D NU dgels|dgetsls

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "model/basis.h"
#include "model/design_matrix.h"
#include "model/model_map.h"
#include "numlib/threads.h"

extern "C" {
void dgels_(const char* trans, const int* m, const int* n, const int* nrhs, double* a,
            const int* lda, double* b, const int* ldb, double* work, const int* lwork, int* info);
void dgetsls_(const char* trans, const int* m, const int* n, const int* nrhs, double* a,
              const int* lda, double* b, const int* ldb, double* work, const int* lwork, int* info);
void openblas_set_num_threads(int);
char* openblas_get_corename();
}

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: lapack_fit FILE NTRAIN D NU dgels|dgetsls\n");
    return 2;
  }
  std::ifstream in(argv[1]);
  const int ntrain = std::atoi(argv[2]), D = std::atoi(argv[3]), nu = std::atoi(argv[4]);
  const bool gels = std::strcmp(argv[5], "dgels") == 0;
  std::vector<double> x;
  for (std::string line; std::getline(in, line) && static_cast<int>(x.size()) < ntrain;) {
    x.push_back(std::strtod(line.c_str(), nullptr));
  }
  openblas_set_num_threads(numlib::thread_count());
  const model::DelayEmbedding e = model::embed(x, D);
  const int m = e.N, n = static_cast<int>(model::basis_count(D, nu)), nrhs = 1;
  std::vector<double> A(static_cast<std::size_t>(m) * n), b = e.Y;
  model::detail::monomial_columns(e.A.data(), D, D, m, nu, A.data(), m);

  int info = 0, lwork = -1;
  double query = 0.0;
  auto* solve = gels ? dgels_ : dgetsls_;
  solve("N", &m, &n, &nrhs, A.data(), &m, b.data(), &m, &query, &lwork, &info);
  lwork = static_cast<int>(query);
  std::vector<double> work(static_cast<std::size_t>(lwork));
  solve("N", &m, &n, &nrhs, A.data(), &m, b.data(), &m, work.data(), &lwork, &info);

  // b(n+1 .. m) holds the part of Q^T y orthogonal to the columns.
  double ss = 0.0, mean = 0.0, sv = 0.0;
  for (int j = n; j < m; ++j) ss += b[j] * b[j];
  for (double y : e.Y) mean += y;
  mean /= m;
  for (double y : e.Y) sv += (y - mean) * (y - mean);
  std::printf("%s (%s) info %d  Error of approximation: %10.5f %%\n", argv[5],
              openblas_get_corename(), info, 100.0 * std::sqrt(ss / sv));
  return info == 0 ? 0 : 1;
}
