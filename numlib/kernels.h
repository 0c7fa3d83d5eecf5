#pragma once
// Level-1 vector kernels on 64-bit reals. A vector is (n, x, inc) with x pointing at its first
// stored element; VCOPY, VDOT, VAXPY and VSWAP start a negative-stride vector at element
// (1 - n) * inc + 1. A count <= 0 returns at once.

namespace numlib {

void VCOPY(int n, const double* x, int incx, double* y, int incy);
double VDOT(int n, const double* x, int incx, const double* y, int incy);
void VAXPY(int n, double a, const double* x, int incx, double* y, int incy);
void VSCAL(int n, double a, double* x, int incx);
void VSWAP(int n, double* x, int incx, double* y, int incy);
void VSET(int n, double a, double* x, int incx);
int IVMAX(int n, const double* x, int incx);
double VNRM2(int n, const double* x, int incx);

}  // namespace numlib
