#pragma once
// Work storage shared by the least-squares fits: the N by P matrix of the small fits (refused
// with the fit's own TERMINAL message when it cannot be had), the row-by-row construction of that
// matrix, the choice of the streaming path for large ones, and the error of approximation.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "numlib/error_stack.h"
#include "numlib/progress.h"

namespace model::detail {

// Allocates the N by P least-squares matrix for `routine` ("POLYFIT", "RATFIT"). When the
// storage of the whole fit (the matrix and the solve's work vectors) exceeds the memory the
// process can still use (numlib::usable_memory_bytes) or the allocation fails, the storage error
// of `routine` is reported (storage_error) and the program stops. The contents are
// uninitialised.
std::unique_ptr<double[]> allocate_least_squares_matrix(const char* routine, int N, int P);

// The storage error of a fit: `routine` is pushed on the error stack, the TERMINAL error 2 "The
// required storage cannot be allocated. ..." is recorded with I1 = N and I2 = P, and the pop
// stops the program (numlib::ProgramStop).
void storage_error(const char* routine, int N, int P);

// Runs `work`, the body of the fit `routine` on an N by P problem. Storage that cannot be had
// anywhere inside it (std::bad_alloc, from the fit's vectors or from the solver) gives the
// storage error, after the error stack is put back to its level at the start, since the
// routines that the exception left have not popped their names.
template <class Work>
void with_storage_guard(const char* routine, int N, int P, Work&& work) {
  const int level = numlib::error_stack_level();
  try {
    work();
  } catch (const std::bad_alloc&) {
    numlib::unwind_error_stack(level);
    storage_error(routine, N, P);
  }
}

// Room for one row of basis values: at least `count`, and at least what the basis of order k
// in D variables writes, so that a count that disagrees with the basis cannot overrun a buffer.
std::size_t basis_room(int D, int k, int count);

// Fills the column-major N by P matrix M (leading dimension N) row by row: fill_row(j, row)
// writes row j (0-based) into row[0 .. P-1] and may use row[P .. stride-1] as scratch. Rows are
// built in small blocks and transposed into M column by column.
template <class FillRow>
void build_rows(double* M, int N, int P, std::size_t stride, FillRow&& fill_row) {
  constexpr int kBlock = 32;
  std::vector<double> block(kBlock * stride);
  for (int j0 = 0; j0 < N; j0 += kBlock) {
    if (j0 % (64 * kBlock) == 0) numlib::check_stop();
    const int rows = N - j0 < kBlock ? N - j0 : kBlock;
    for (int r = 0; r < rows; ++r) fill_row(j0 + r, block.data() + r * stride);
    for (int i = 0; i < P; ++i) {
      double* column = M + static_cast<std::ptrdiff_t>(i) * N + j0;
      const double* source = block.data() + i;
      for (int r = 0; r < rows; ++r) column[r] = source[r * stride];
    }
  }
}

// sqrt( sum resid(j)^2 / sum (YV(j) - ybar)^2 ), j = 1..N.
double residual_error(int N, const double* YV, const double* resid);
// The same ratio from the sum of squared residuals ss already formed: sqrt(ss / sum (YV(j) -
// ybar)^2). Not finite when all N targets are equal.
double error_of_approximation(double ss, int N, const double* YV);

// How a fit with the monomial basis is solved: from the explicit matrix (DLQRRR and DLQRSL) or
// from the streaming triangle of [A | y] (stream_triangle.h). Automatic takes the stream for
// large problems of at least twice as many equations as columns only; the others are for tests
// and benchmarks.
enum class FitPath { automatic, reference, streaming };
void set_fit_path(FitPath path);
// Whether a fit of N equations and P coefficients streams.
bool fit_streams(int N, int P);

// The streaming fit of the monomial matrix of least_squares_triangle (orders nu, mu): the
// coefficients go to COEF (P of them) by DLQRSL's back substitution and singularity test; returns
// the error of approximation from the residual norm of the triangle. `routine` names the storage
// error (I2 = P).
double stream_least_squares(const char* routine, const double* A, long LDA, int D, int N,
                            const double* YV, int nu, int mu, double* COEF);

// Factorises the N by P least-squares matrix M in place (DLQRRR, no pivoting) and solves it for
// the targets YV (DLQRSL, IPATH 110): the coefficients go to COEF; returns the error of
// approximation from the residuals.
double solve_least_squares(int N, int P, double* M, const double* YV, double* COEF);

}  // namespace model::detail
