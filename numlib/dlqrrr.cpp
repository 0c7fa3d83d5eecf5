// Householder QR factorisation with optional column pivoting: DLQRRR obtains the workspace and
// calls dL2RRR, which does the work one column at a time (the unblocked reference version).

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>
#include <new>

#include "numlib/error_stack.h"
#include "numlib/kernels.h"
#include "numlib/machine.h"
#include "numlib/matrix_view.h"
#include "numlib/qr.h"
#include "numlib/qr_blocked.h"

namespace numlib {
namespace {

// Whether `count` reals could possibly be had: anything beyond the physical memory is refused
// up front instead of being promised by the system and failing when it is touched.
bool fits_in_memory(long long count) {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || page_size <= 0) return true;  // unknown: let the allocation decide
  const long double bytes = static_cast<long double>(count) * sizeof(double);
  return bytes <= static_cast<long double>(pages) * static_cast<long double>(page_size);
}

}  // namespace

// DLQRRR: QR decomposition A*P = Q*R of the NRA by NCA matrix A by Householder transformations,
// with optional column pivoting.
//   NRA     (in) rows of A, NRA >= 1.            NCA (in) columns of A, NCA >= 1.
//   A       (in) LDA by NCA, LDA >= NRA; may be the same array as QR (then LDA = LDQR).
//   PVTREQ  (in) pivoting requested.
//   KORDER  (in/out, NCA) read and written only when pivoting: on input > 0 marks an initial
//           column, < 0 a final column, 0 a free one; on output the index in A of the column
//           now in position j.
//   QR      (out) LDQR by NCA, LDQR >= NRA: R on and above the diagonal, the Householder vector
//           of step l below the diagonal of column l.
//   HHAUX   (out, NCA) leading element of each Householder vector; 0 = no transformation.
//   COLNRM  (out, NCA) Euclidean norms of the (rearranged) input columns.
// Checks: NCA <= 0 (TERMINAL 1); workspace of NCA - 1 reals (2*NCA - 1 with pivoting) not
// available (TERMINAL 2). Further checks are those of dL2RRR.
void DLQRRR(int NRA, int NCA, const double* A, int LDA, bool PVTREQ, int* KORDER, double* QR,
            int LDQR, double* HHAUX, double* COLNRM) {
  E1PSH("DLQRRR");
  if (NCA <= 0) {
    E1ARGI(1, NCA);
    E1MES(5, 1,
          "The number of columns of the input matrix must be positive while NCA = %(i1) is "
          "given.");
    E1POP("DLQRRR");
    return;
  }

  const long long size = std::max(0LL, PVTREQ ? 2LL * NCA - 1 : static_cast<long long>(NCA) - 1);
  std::unique_ptr<double[]> wkqr;
  bool allocated = fits_in_memory(size);
  if (allocated && size > 0) {
    try {
      wkqr.reset(new double[static_cast<std::size_t>(size)]);
    } catch (const std::bad_alloc&) {
      allocated = false;
    }
  }
  if (!allocated) {
    E1MES(5, 2, " ");
    E1ARGI(1, NCA);
    E1MES(5, 2,
          "The required storage cannot be allocated.  The workspace is based on NCA, where NCA = "
          "%(i1) is given.");
    E1POP("DLQRRR");
    return;
  }

  // Large matrices without pivoting are factorised by panels (same outputs to rounding).
  if (!detail::qr_blocked_applies(NRA, NCA, LDA, LDQR, PVTREQ) ||
      !detail::qr_blocked(NRA, NCA, A, LDA, QR, LDQR, HHAUX, COLNRM, wkqr.get())) {
    dL2RRR(NRA, NCA, A, LDA, PVTREQ, KORDER, QR, LDQR, HHAUX, COLNRM, wkqr.get());
  }
  wkqr.reset();
  E1POP("DLQRRR");
}

// dL2RRR: the work of DLQRRR with the workspace supplied.
//   WKQR  (work) NCA - 1 reals, 2*NCA - 1 with pivoting: elements 1..NCA-1 hold the row vector
//         of the column update, elements NCA..2*NCA-1 the reference norms of the free columns.
// Checks, first failing only: NRA < 1 or NCA < 1 (TERMINAL 1); LDA < NRA (2); LDQR < NRA (3).
// A column whose remaining norm is below the safe minimum gets no transformation (HHAUX = 0);
// there is no rank decision.
void dL2RRR(int NRA, int NCA, const double* A, int LDA, bool PVTREQ, int* KORDER, double* QR,
            int LDQR, double* HHAUX, double* COLNRM, double* WKQR) {
  E1PSH("dL2RRR");
  double safe_min = DMACH(1);
  const double big = DMACH(2);
  if (big * safe_min < 1.0) safe_min = 1.0 / big;

  if (NRA < 1 || NCA < 1) {
    E1ARGI(1, NRA);
    E1ARGI(2, NCA);
    E1MES(5, 1,
          "Both the number of rows and the number of columns of the input matrix must be "
          "positive while NRA = %(I1) and NCA = %(I2) are given.");
  } else if (LDA < NRA) {
    E1ARGI(1, NRA);
    E1ARGI(2, LDA);
    E1MES(5, 2,
          "The number of rows of A must be less than or equal to its leading dimension while "
          "NRA = %(I1) and LDA = %(I2) are given.");
  } else if (LDQR < NRA) {
    E1ARGI(1, NRA);
    E1ARGI(2, LDQR);
    E1MES(5, 3,
          "The number of rows of QR must be less than or equal to its leading dimension while "
          "NRA = %(I1) and LDQR = %(I2) are given.");
  }
  if (N1RCD(0) != 0) {
    E1POP("dL2RRR");
    return;
  }

  const ColumnMajor<const double> a{A, LDA};
  const ColumnMajor<double> qr{QR, LDQR};
  // 1-based access: h(j) = HHAUX(j), ref(j) = WKQR(NCA + j - 1), korder(j) = KORDER(j).
  const auto h = [HHAUX](int j) -> double& { return HHAUX[j - 1]; };
  const auto ref = [WKQR, NCA](int j) -> double& { return WKQR[NCA + j - 2]; };
  const auto korder = [KORDER](int j) -> int& { return KORDER[j - 1]; };

  // Copy A into QR (nothing to do when the decomposition is done in place).
  if (A != QR || LDA != LDQR) {
    for (int j = 1; j <= NCA; ++j) VCOPY(NRA, a.column(j), 1, qr.column(j), 1);
  }

  // Move the initial columns to the front and the final columns to the back.
  int lo = 1, hi = 0;
  if (PVTREQ) {
    for (int j = 1; j <= NCA; ++j) {
      const bool initial = korder(j) > 0;
      korder(j) = korder(j) < 0 ? -j : j;
      if (initial) {
        if (j != lo) VSWAP(NRA, qr.column(j), 1, qr.column(lo), 1);
        std::swap(korder(j), korder(lo));
        ++lo;
      }
    }
    hi = NCA;
    for (int j = NCA; j >= 1; --j) {
      if (korder(j) < 0) {
        korder(j) = -korder(j);
        if (j != hi) {
          VSWAP(NRA, qr.column(j), 1, qr.column(hi), 1);
          std::swap(korder(j), korder(hi));
        }
        --hi;
      }
    }
  }

  // Column norms; the free columns' norms seed the pivot choice and their reference values.
  for (int j = 1; j <= NCA; ++j) COLNRM[j - 1] = VNRM2(NRA, qr.column(j), 1);
  for (int j = lo; j <= hi; ++j) {
    h(j) = COLNRM[j - 1];
    if (PVTREQ) ref(j) = COLNRM[j - 1];
  }

  const int steps = std::min(NRA, NCA);
  for (int l = 1; l <= steps; ++l) {
    // Bring the free column of largest remaining norm into position l.
    if (lo <= l && l < hi) {
      const int jbest = l - 1 + IVMAX(hi - l + 1, &h(l), 1);
      if (jbest != l) {
        VSWAP(NRA, qr.column(l), 1, qr.column(jbest), 1);
        h(jbest) = h(l);
        if (PVTREQ) ref(jbest) = ref(l);
        std::swap(korder(jbest), korder(l));
      }
    }

    h(l) = 0.0;
    if (l == NRA) continue;

    // Generate the reflector that annihilates QR(l+1:NRA, l) and apply it to the later columns.
    const int len = NRA - l + 1;
    double* const v = &qr(l, l);
    double* const later = l < NCA ? &qr(l, l + 1) : nullptr;
    const double cnorm =
        detail::householder_column_step(len, v, NCA - l, later, LDQR, WKQR, safe_min);
    if (cnorm == 0.0) continue;

    // Downdate the remaining norms of the free columns; recompute one that has lost too much.
    for (int j = std::max(l + 1, lo); j <= hi; ++j) {
      if (h(j) == 0.0) continue;
      const double q = std::fabs(qr(l, j)) / h(j);
      const double tt = std::max(0.0, 1.0 - q * q);
      const double r = h(j) / ref(j);
      if (1.0 + 0.05 * tt * r * r == 1.0) {
        h(j) = VNRM2(NRA - l, &qr(l + 1, j), 1);
        ref(j) = h(j);
      } else {
        h(j) *= std::sqrt(tt);
      }
    }

    // Save the transformation.
    h(l) = v[0];
    v[0] = -cnorm;
  }
  E1POP("dL2RRR");
}

}  // namespace numlib
