// DLQRSL: products with Q and Q^T, the least-squares solution, the residual and the fitted
// values from the Householder decomposition made by DLQRRR.

#include <algorithm>

#include "numlib/error_stack.h"
#include "numlib/kernels.h"
#include "numlib/matrix_view.h"
#include "numlib/qr.h"
#include "numlib/row_chunks.h"

namespace numlib {
namespace {

// Applies the reflectors j = first, first + step, ... (towards last) to y(j..NRA). Reflector j
// is the vector QR(j..NRA, j) with HHAUX(j) as its leading element; HHAUX(j) = 0 marks a step
// without transformation. QR(j, j) is put back before returning. Tall factorisations of many
// columns take the dot products by fixed row chunks, over the threads.
void apply_reflectors(int NRA, int KBASIS, const ColumnMajor<double>& qr, const double* HHAUX,
                      int first, int last, int step, double* y) {
  if (NRA >= detail::kSplitRows && KBASIS >= detail::kSplitColumns) {
    detail::apply_reflectors_chunked(NRA, qr.data, qr.ld, HHAUX, first, last, step, y);
    return;
  }
  for (int j = first; step > 0 ? j <= last : j >= last; j += step) {
    if (HHAUX[j - 1] == 0.0) continue;
    const int len = NRA - j + 1;
    double* const v = &qr(j, j);
    const double diag = *v;
    *v = HHAUX[j - 1];
    const double t = -VDOT(len, v, 1, y + (j - 1), 1) / *v;
    VAXPY(len, t, v, 1, y + (j - 1), 1);
    *v = diag;
  }
}

// Solves R b = c in place (c in COEF) by back substitution from b(KBASIS) up; returns 0, or
// the index of the exactly zero diagonal element met first (the later elements of COEF are then
// solved, the others not).
template <class Matrix>
int back_substitute(int KBASIS, const Matrix& qr, double* COEF) {
  for (int j = KBASIS; j >= 1; --j) {
    if (qr(j, j) == 0.0) return j;
    COEF[j - 1] /= qr(j, j);
    if (j > 1) VAXPY(j - 1, -COEF[j - 1], qr.column(j), 1, COEF, 1);
  }
  return 0;
}

void singular_error(int kz) {
  E1ARGI(1, kz);
  E1MES(4, 1,
        "Computation of the least squares solution has been requested but the upper "
        "triangular matrix R is exactly singular; the index of the first zero diagonal "
        "element of R is %(I1).");
}

}  // namespace

// DLQRSL: uses the decomposition A*P = Q*R of DLQRRR and the first KBASIS columns AK of A*P.
//   NRA     (in) rows, NRA >= 1.
//   KBASIS  (in) columns of AK, 1 <= KBASIS <= NRA.
//   QR      (in) LDQR by KBASIS from DLQRRR, LDQR >= NRA; diagonal elements are overwritten
//           while a reflector is applied and restored afterwards.
//   HHAUX   (in) from DLQRRR.             YVEC (in, NRA) the right-hand side y.
//   IPATH   (in) decimal digits ABCDE, 1..99999: A computes QYVEC = Q*y; B (or any of C, D, E)
//           QTYVEC = Q^T*y; C the least-squares coefficients COEF (KBASIS) of AK*b ~ y; D the
//           residual RESID = y - AK*b; E the fitted values AXVEC = AK*b.
// Outputs that IPATH does not select are not touched; QYVEC, QTYVEC and AXVEC may be the same
// array when at most one of them is selected.
// Checks, first failing of the group only: NRA <= 0 (TERMINAL 1); LDQR < NRA (2); KBASIS < 1
// (3); KBASIS > NRA (5); and independently IPATH outside 1..99999 (4). An exactly zero
// diagonal element R(k, k) met in the back substitution is FATAL 1 with index k; the residual
// and fitted values are then not transformed back.
void DLQRSL(int NRA, int KBASIS, double* QR, int LDQR, const double* HHAUX, const double* YVEC,
            int IPATH, double* QYVEC, double* QTYVEC, double* COEF, double* RESID, double* AXVEC) {
  E1PSH("DLQRSL");
  if (NRA <= 0) {
    E1ARGI(1, NRA);
    E1MES(5, 1,
          "The number of rows of the input matrix must be positive while NRA = %(I1) is given.");
  } else if (LDQR < NRA) {
    E1ARGI(1, NRA);
    E1ARGI(2, LDQR);
    E1MES(5, 2,
          "The number of rows of QR must be less than or equal to its leading dimension while "
          "NRA = %(I1) and LDQR = %(I2) are given.");
  } else if (KBASIS < 1) {
    E1ARGI(1, KBASIS);
    E1MES(5, 3,
          "The number of columns of the submatrix AK of A must be positive while KBASIS = %(I1) "
          "is given.");
  } else if (KBASIS > NRA) {
    // The copies of the first KBASIS elements of Q^T*y would run past the vectors' end.
    E1ARGI(1, KBASIS);
    E1ARGI(2, NRA);
    E1MES(5, 5,
          "The number of columns of the submatrix AK of A must not exceed the number of rows "
          "while KBASIS = %(I1) and NRA = %(I2) are given.");
  }
  if (IPATH < 1 || IPATH > 99999) {
    E1ARGI(1, IPATH);
    E1MES(5, 4,
          "Illegal format for IPATH.  IPATH must be between 1 and 99999 while a value of %(I1) "
          "is given.");
  }
  if (N1RCD(0) != 0) {
    E1POP("DLQRSL");
    return;
  }

  const bool want_qy = IPATH / 10000 != 0;
  const bool want_qty = IPATH % 10000 != 0;
  const bool want_coef = (IPATH % 1000) / 100 != 0;
  const bool want_resid = (IPATH % 100) / 10 != 0;
  const bool want_ax = IPATH % 10 != 0;
  const int nt = std::min(KBASIS, NRA - 1);
  const ColumnMajor<double> qr{QR, LDQR};
  int kz = 0;

  if (nt == 0) {
    // One row: Q is the identity and R is the single element QR(1, 1).
    if (want_qy) QYVEC[0] = YVEC[0];
    if (want_qty) QTYVEC[0] = YVEC[0];
    if (want_ax) AXVEC[0] = YVEC[0];
    if (want_resid) RESID[0] = 0.0;
    if (want_coef) {
      if (qr(1, 1) == 0.0) {
        kz = 1;
      } else {
        COEF[0] = YVEC[0] / qr(1, 1);
      }
    }
  } else {
    if (want_qy) VCOPY(NRA, YVEC, 1, QYVEC, 1);
    if (want_qty) VCOPY(NRA, YVEC, 1, QTYVEC, 1);

    // Q*y = H(1) ... H(nt) y; Q^T*y = H(nt) ... H(1) y.
    if (want_qy) apply_reflectors(NRA, KBASIS, qr, HHAUX, nt, 1, -1, QYVEC);
    if (want_qty) apply_reflectors(NRA, KBASIS, qr, HHAUX, 1, nt, 1, QTYVEC);

    // Split Q^T*y into its part in the range of AK and the part orthogonal to it.
    if (want_coef) VCOPY(KBASIS, QTYVEC, 1, COEF, 1);
    if (want_ax) VCOPY(KBASIS, QTYVEC, 1, AXVEC, 1);
    if (want_resid && KBASIS < NRA) {
      VCOPY(NRA - KBASIS, QTYVEC + KBASIS, 1, RESID + KBASIS, 1);
    }
    if (want_ax) VSET(NRA - KBASIS, 0.0, AXVEC + KBASIS, 1);
    if (want_resid) VSET(KBASIS, 0.0, RESID, 1);

    // Solve R*b = (Q^T*y)(1..KBASIS) by back substitution.
    if (want_coef) kz = back_substitute(KBASIS, qr, COEF);
    const bool solved = kz == 0;

    // Transform the residual and the fitted values back: Q * (0, r2) and Q * (c1, 0).
    if (solved) {
      if (want_resid) apply_reflectors(NRA, KBASIS, qr, HHAUX, nt, 1, -1, RESID);
      if (want_ax) apply_reflectors(NRA, KBASIS, qr, HHAUX, nt, 1, -1, AXVEC);
    }
  }

  if (kz != 0) singular_error(kz);
  E1POP("DLQRSL");
}

namespace detail {

// The back substitution of DLQRSL on a triangle given as R and z = (Q^T y)(1..KBASIS).
void solve_triangle(int KBASIS, const double* R, int LDR, double* COEF) {
  E1PSH("DLQRSL");
  const int kz = back_substitute(KBASIS, ColumnMajor<const double>{R, LDR}, COEF);
  if (kz != 0) singular_error(kz);
  E1POP("DLQRSL");
}

}  // namespace detail

}  // namespace numlib
