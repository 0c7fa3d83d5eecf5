#pragma once
// The blocked Householder factorisation behind DLQRRR for large matrices without pivoting.

namespace numlib::detail {

// Whether DLQRRR takes the blocked path for these arguments (no pivoting, valid leading
// dimensions, NRA >= NCA, and a matrix large enough for blocking to pay).
bool qr_blocked_applies(int NRA, int NCA, int LDA, int LDQR, bool PVTREQ);

// dL2RRR without pivoting, by panels: same arguments, same outputs to rounding. Returns false,
// having touched nothing, when its own work storage cannot be had (the caller then runs the
// unblocked version). The arguments must satisfy qr_blocked_applies.
bool qr_blocked(int NRA, int NCA, const double* A, int LDA, double* QR, int LDQR, double* HHAUX,
                double* COLNRM, double* WKQR);

// Turns v(0:len-1), a column from its diagonal element down, into the Householder vector of
// the reflector that annihilates v(1:len-1), as both paths form it: cnorm = +-||v|| with the
// sign of v(0), v := v / cnorm, v(0) := v(0) + 1. Returns cnorm; returns 0 and leaves v alone
// when ||v|| < safe_min (the column needs no reflector).
double make_reflector(int len, double* v, double safe_min);

// The column step of dL2RRR without its pivoting: make_reflector on v(0:len-1), then the
// reflector applied to the `later` columns C (len rows, leading dimension ldc) to its right,
// w = -(C^T v) / v(0) by DGEMV into work(0:later-1), C += v w^T by DGER. Returns cnorm (0: no
// reflector, nothing changed). Both the unblocked path and the leaves of the blocked one take
// their steps here.
double householder_column_step(int len, double* v, int later, double* C, int ldc, double* work,
                               double safe_min);

// Panel width of the blocked path (columns per block reflector); for tuning and tests.
int qr_block_size();
void set_qr_block_size(int nb);  // clamped to 8 .. 256

}  // namespace numlib::detail
