#pragma once
// Long sums over the rows of a tall matrix, split into fixed row chunks whose partial sums are
// added in chunk order. The chunks depend on the number of rows only, so the threads that
// compute them change the speed and never a digit of the result.

namespace numlib::detail {

// Matrices with fewer rows keep the plain serial sums.
inline constexpr int kSplitRows = 16384;

// DLQRSL splits its sums only for factorisations of at least this many columns (those that
// the blocked factorisation makes); narrower ones keep the serial sums, digit for digit.
inline constexpr int kSplitColumns = 24;

// Rows per chunk for a matrix of NRA rows: at least 8192, at most 64 chunks, a multiple of the
// row blocks of the matrix products. Chunk c holds the rows c * chunk .. (c + 1) * chunk - 1.
long row_chunk_size(int NRA);

// Width of the leaves of the blocked factorisation: the columns taken one step at a time.
inline constexpr int kLeafColumns = 4;

// The column steps of dL2RRR (no pivoting) on columns j .. j+n-1 (n <= kLeafColumns) of QR (NRA
// rows, leading dimension ld, 0-based indices), each reflector applied to the later columns of this
// range only; the long sums by row chunks of `chunk` rows. HHAUX(l) and the reflectors as dL2RRR.
void leaf_steps_chunked(int NRA, double* QR, long ld, int j, int n, double* HHAUX, double safe_min,
                        long chunk);

// Applies reflectors first, first + step, ... towards last (1-based) of a DLQRRR factorisation
// to y, as DLQRSL does one reflector at a time (y := y - (v^T y / v(1)) v on rows j .. NRA),
// with the dot products by row chunks. QR is not modified.
void apply_reflectors_chunked(int NRA, const double* QR, long ld, const double* HHAUX, int first,
                              int last, int step, double* y);

}  // namespace numlib::detail
