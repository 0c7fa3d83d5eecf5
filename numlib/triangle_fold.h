#pragma once
// Folding rows into an upper triangle: the Householder QR of a triangle on top of a rectangle,
//
//   [ R ]  =  Q [ R' ]      R, R' upper triangular (n by n), B (m by n) dense,
//   [ B ]       [ 0  ]
//
// the step of a least-squares factorisation that takes its equations a block at a time. R' is
// the triangle of all the rows seen so far: folding the blocks of a tall matrix one after the
// other gives the R of its QR factorisation (to rounding, and up to the signs of its rows), and
// folding one triangle into another merges the triangles of two sets of rows.

namespace numlib::detail {

// Panel width of the fold (columns per block reflector), and the width of the leaves of column
// steps that a panel is split into.
inline constexpr int kFoldPanel = 32;
inline constexpr int kFoldLeaf = 8;

// Overwrites the n by n upper triangle R (leading dimension ldr >= n; entries below the
// diagonal are neither read nor written) with the triangle of [R; B], B being m by n with
// leading dimension ldb >= m; m may be 0. B is destroyed (it holds the reflectors afterwards).
// Each reflector k has a unit element in row k of R and its other elements in B; a column whose
// part in B is zero (an all-zero column of the problem, exactly) gets no transformation, so its
// diagonal element stays what it was. The trailing updates go through the matrix products of
// gemm_kernels, shared out by columns among the library's threads when they are large; the
// result does not depend on the number of threads.
void fold_rows(int n, double* R, long ldr, int m, double* B, long ldb);

}  // namespace numlib::detail
