#pragma once
// Work storage shared by the least-squares fits: the N by P matrix (refused with the fit's own
// TERMINAL message when it cannot be had), the row-by-row construction of that matrix, and the
// error of approximation from the residuals.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace model::detail {

// Physical memory of the machine in bytes (0 when it cannot be determined).
std::uint64_t physical_memory_bytes();

// Allocates the N by P least-squares matrix for `routine` ("POLYFIT", "RATFIT"). When N * P
// 64-bit reals exceed physical memory or the allocation fails, the routine is pushed on the error
// stack, the TERMINAL error 2 "The required storage cannot be allocated. ..." is recorded with
// I1 = N and I2 = P, and the pop stops the program (numlib::ProgramStop). The contents are
// uninitialised.
std::unique_ptr<double[]> allocate_least_squares_matrix(const char* routine, int N, int P);

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

// Factorises the N by P least-squares matrix M in place (DLQRRR, no pivoting) and solves it for
// the targets YV (DLQRSL, IPATH 110): the coefficients go to COEF; returns the error of
// approximation from the residuals.
double solve_least_squares(int N, int P, double* M, const double* YV, double* COEF);

}  // namespace model::detail
