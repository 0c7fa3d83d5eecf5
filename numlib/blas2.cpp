// Level-2 operations on 64-bit reals: the matrix-vector product DGEMV and the rank-one update
// DGER. Both report bad arguments on the error stack as TERMINAL errors under their own name,
// which they push only when a check fails, so the frame costs nothing in normal use.

#include <cstddef>
#include <cstdlib>
#include <string_view>

#include "numlib/error_stack.h"
#include "numlib/kernels.h"
#include "numlib/qr.h"

namespace numlib {
namespace {

// Checks shared by DGEMV and DGER, in their fixed order; records the first failing one
// (the caller has pushed its name) and returns true when one failed.
bool first_bad_argument(int M, int N, int LDA, int INCX, int INCY) {
  if (M < 0) {
    E1ARGI(1, M);
    E1MES(5, 1, "M must be greater than or equal to zero while %(I1) is given.");
  } else if (N < 0) {
    E1ARGI(1, N);
    E1MES(5, 2, "N must be greater than or equal to zero while %(I1) is given.");
  } else if (LDA == 0 || LDA < M) {
    E1ARGI(1, LDA);
    E1ARGI(2, M);
    E1MES(5, 3,
          "LDA must be greater than or equal to M and greater than zero while LDA = %(I1) and "
          "M = %(I2) are given.");
  } else if (INCX == 0) {
    E1ARGI(1, INCX);
    E1MES(5, 4, "INCX must not be equal to zero while %(I1) is given.");
  } else if (INCY == 0) {
    E1ARGI(1, INCY);
    E1MES(5, 5, "INCY must not be equal to zero while %(I1) is given.");
  } else {
    return false;
  }
  return true;
}

bool arguments_ok(int M, int N, int LDA, int INCX, int INCY) {
  return M >= 0 && N >= 0 && LDA != 0 && LDA >= M && INCX != 0 && INCY != 0;
}

// Offset of element 1 of a vector of n elements with stride inc (far end when inc < 0).
inline std::ptrdiff_t start(int n, int inc) {
  return inc < 0 ? static_cast<std::ptrdiff_t>(1 - n) * inc : 0;
}

}  // namespace

// DGEMV: y := alpha * op(A) * x + beta * y, op(A) = A (TRANS = 'N') or A^T (TRANS = 'T' or
// 'C'), A being M by N.
//   TRANS  (in) first character, compared without regard to case.
//   M, N   (in) M >= 0, N >= 0.
//   A      (in) LDA by N, column-major; LDA >= max(1, M).
//   x      (in) N elements ('N') or M elements ('T'), stride INCX != 0.
//   y      (in/out) M elements ('N') or N elements ('T'), stride INCY != 0.
// Negative strides start a vector at its far end. Checks, first failing only: M < 0 (1),
// N < 0 (2), LDA = 0 or LDA < M (3), INCX = 0 (4), INCY = 0 (5), TRANS not N/T/C (6).
// Quick return when M = 0, N = 0, or alpha = 0 and beta = 1.
void DGEMV(char TRANS, int M, int N, double alpha, const double* A, int LDA, const double* x,
           int INCX, double beta, double* y, int INCY) {
  const char t = (TRANS >= 'a' && TRANS <= 'z') ? static_cast<char>(TRANS - 'a' + 'A') : TRANS;
  const bool trans_ok = t == 'N' || t == 'T' || t == 'C';
  if (!arguments_ok(M, N, LDA, INCX, INCY) || !trans_ok) {
    E1PSH("DGEMV");
    if (!first_bad_argument(M, N, LDA, INCX, INCY)) {
      E1ARGL(1, std::string_view(&TRANS, 1));
      E1MES(5, 6, "TRANS must be set equal to N or T or C while %(L1) is given.");
    }
    E1POP("DGEMV");
    return;
  }
  if (M == 0 || N == 0 || (alpha == 0.0 && beta == 1.0)) return;

  const bool no_trans = t == 'N';
  const int leny = no_trans ? M : N;
  const int lenx = no_trans ? N : M;

  // y := beta * y; the sign of INCY does not matter when every element is treated alike.
  if (beta != 1.0) {
    if (beta == 0.0) {
      VSET(leny, 0.0, y, std::abs(INCY));
    } else {
      VSCAL(leny, beta, y, std::abs(INCY));
    }
  }
  if (alpha == 0.0) return;

  const std::size_t ld = static_cast<std::size_t>(LDA);
  if (no_trans) {
    // y += alpha * A * x, one column at a time.
    std::ptrdiff_t jx = start(lenx, INCX);
    for (int j = 0; j < N; ++j, jx += INCX) VAXPY(M, alpha * x[jx], A + j * ld, 1, y, INCY);
  } else {
    // y(j) += alpha * A(:, j) . x, one dot product per column. With a unit-stride x, four
    // columns are summed side by side: each sum keeps its order, so the result equals VDOT's,
    // but the four chains of additions overlap.
    std::ptrdiff_t jy = start(leny, INCY);
    int j = 0;
    if (INCX == 1) {
      for (; j + 4 <= N; j += 4) {
        const double* a0 = A + j * ld;
        const double* a1 = a0 + ld;
        const double* a2 = a1 + ld;
        const double* a3 = a2 + ld;
        double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
        for (int i = 0; i < M; ++i) {
          s0 += a0[i] * x[i];
          s1 += a1[i] * x[i];
          s2 += a2[i] * x[i];
          s3 += a3[i] * x[i];
        }
        y[jy] += alpha * s0;
        y[jy + INCY] += alpha * s1;
        y[jy + 2 * INCY] += alpha * s2;
        y[jy + 3 * INCY] += alpha * s3;
        jy += 4 * static_cast<std::ptrdiff_t>(INCY);
      }
    }
    for (; j < N; ++j, jy += INCY) y[jy] += alpha * VDOT(M, A + j * ld, 1, x, INCX);
  }
}

// DGER: A := A + alpha * x * y^T, A being M by N.
//   M, N  (in) M >= 0, N >= 0.
//   x     (in) M elements, stride INCX != 0.   y (in) N elements, stride INCY != 0.
//   A     (in/out) LDA by N; LDA >= max(1, M).
// Checks, first failing only: M < 0 (1), N < 0 (2), LDA = 0 or LDA < M (3), INCX = 0 (4),
// INCY = 0 (5). Quick return when M = 0, N = 0 or alpha = 0; columns with y(j) = 0 are skipped.
void DGER(int M, int N, double alpha, const double* x, int INCX, const double* y, int INCY,
          double* A, int LDA) {
  if (!arguments_ok(M, N, LDA, INCX, INCY)) {
    E1PSH("DGER");
    first_bad_argument(M, N, LDA, INCX, INCY);
    E1POP("DGER");
    return;
  }
  if (M == 0 || N == 0 || alpha == 0.0) return;

  const std::size_t ld = static_cast<std::size_t>(LDA);
  std::ptrdiff_t jy = start(N, INCY);
  for (int j = 0; j < N; ++j, jy += INCY) {
    if (y[jy] != 0.0) VAXPY(M, alpha * y[jy], x, INCX, A + j * ld, 1);
  }
}

}  // namespace numlib
