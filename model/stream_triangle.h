#pragma once
// The least-squares triangle of a fit's [A | y] taken a block of rows at a time, the matrix A
// itself never being formed: each block of rows is generated from the points and folded into
// the running triangle (numlib/triangle_fold.h). The memory is that of a few triangles and
// blocks, whatever the number of equations.

#include "numlib/ls_triangle.h"

namespace model::detail {

// The triangle of the matrix of least_squares_triangle (the monomial basis of order nu at the
// points of A, D by N with column r at A + r LDA, then for mu >= 1 RATFIT's denominator columns
// -YV(j) psi_(k+1)) with the targets YV. The rows are split into a fixed number of chunks that
// depends on N and the column count only; each chunk streams into its own triangle, and the
// triangles are merged in a fixed tree order, so the number of threads changes no digit.
//
// Between two blocks the loop reports progress (blocks done of all blocks) and asks whether to
// stop (numlib/progress.h): a stop request throws numlib::WorkStopped once every thread has
// left its block. Work storage beyond what the process can still use gives the storage error
// of `routine` with I1 = N and I2 = message_columns, which stops the program.
numlib::LeastSquaresTriangle stream_triangle(const char* routine, int message_columns,
                                             const double* A, long LDA, int D, int N,
                                             const double* YV, int nu, int mu);

// Rows per block and the number of chunks for N equations of `columns` columns (with the
// targets); for tests and the storage estimate.
int stream_block_rows(int columns);
int stream_chunks(int N, int columns);

}  // namespace model::detail
