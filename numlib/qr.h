#pragma once
// Householder QR least squares: the factorisation DLQRRR (with its worker dL2RRR), the solver
// DLQRSL, and the level-2 operations DGEMV and DGER they use. Matrices are column-major with
// an explicit leading dimension; pointers address element (1, 1). A and QR may be the same array.

namespace numlib {

void DLQRRR(int NRA, int NCA, const double* A, int LDA, bool PVTREQ, int* KORDER, double* QR,
            int LDQR, double* HHAUX, double* COLNRM);
void dL2RRR(int NRA, int NCA, const double* A, int LDA, bool PVTREQ, int* KORDER, double* QR,
            int LDQR, double* HHAUX, double* COLNRM, double* WKQR);
void DLQRSL(int NRA, int KBASIS, double* QR, int LDQR, const double* HHAUX, const double* YVEC,
            int IPATH, double* QYVEC, double* QTYVEC, double* COEF, double* RESID, double* AXVEC);
void DGEMV(char TRANS, int M, int N, double alpha, const double* A, int LDA, const double* x,
           int INCX, double beta, double* y, int INCY);
void DGER(int M, int N, double alpha, const double* x, int INCX, const double* y, int INCY,
          double* A, int LDA);

namespace detail {

// The coefficients of DLQRSL (IPATH 00100) from a triangle instead of a factorisation: solves
// R b = z by the same back substitution, where R is KBASIS by KBASIS upper triangular (leading
// dimension LDR >= KBASIS) and COEF holds z on entry and b on return. An exactly zero diagonal
// element gives DLQRSL's FATAL error 1 with its index, under DLQRSL's name.
void solve_triangle(int KBASIS, const double* R, int LDR, double* COEF);

}  // namespace detail
}  // namespace numlib
