// Level-1 vector kernels on 64-bit reals.
//
// A vector argument is (n, x, inc): x points at the first stored element of the array. For
// VCOPY, VDOT, VAXPY, VSWAP and IVMAX a negative inc walks the array backwards, so the
// vector's element 1 lies at x[(1 - n) * inc] and element i at x[(i - n) * inc]; an inc of 0
// repeats x[0]. VSCAL, VSET and VNRM2 take positive strides (VNRM2 also defines inc <= 0).
// Sums are accumulated in index order, so the strided and the unit-stride paths give
// bit-identical results; the unit-stride loops are plain loops the compiler can vectorise.

#include "numlib/kernels.h"

#include <cmath>
#include <cstddef>

#include "numlib/machine.h"

namespace numlib {
namespace {

// Offset of element 1 of a vector of n elements with stride inc.
inline std::ptrdiff_t start(int n, int inc) {
  return inc < 0 ? static_cast<std::ptrdiff_t>(1 - n) * inc : 0;
}

}  // namespace

// VCOPY: y := x.
void VCOPY(int n, const double* x, int incx, double* y, int incy) {
  if (n <= 0) return;
  if (incx == 1 && incy == 1) {
    for (int i = 0; i < n; ++i) y[i] = x[i];
    return;
  }
  std::ptrdiff_t ix = start(n, incx), iy = start(n, incy);
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) y[iy] = x[ix];
}

// VDOT: returns sum of x(i) * y(i); 0 for n <= 0.
double VDOT(int n, const double* x, int incx, const double* y, int incy) {
  double sum = 0.0;
  if (n <= 0) return sum;
  if (incx == 1 && incy == 1) {
    for (int i = 0; i < n; ++i) sum += x[i] * y[i];
    return sum;
  }
  std::ptrdiff_t ix = start(n, incx), iy = start(n, incy);
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) sum += x[ix] * y[iy];
  return sum;
}

// VAXPY: y := a * x + y; returns at once when a = 0.
void VAXPY(int n, double a, const double* x, int incx, double* y, int incy) {
  if (n <= 0 || a == 0.0) return;
  if (incx == 1 && incy == 1) {
    for (int i = 0; i < n; ++i) y[i] += a * x[i];
    return;
  }
  std::ptrdiff_t ix = start(n, incx), iy = start(n, incy);
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) y[iy] += a * x[ix];
}

// VSCAL: x := a * x. incx must be positive; a non-positive incx does nothing.
void VSCAL(int n, double a, double* x, int incx) {
  if (n <= 0 || incx <= 0) return;
  if (incx == 1) {
    for (int i = 0; i < n; ++i) x[i] *= a;
    return;
  }
  const std::ptrdiff_t end = static_cast<std::ptrdiff_t>(n) * incx;
  for (std::ptrdiff_t i = 0; i < end; i += incx) x[i] *= a;
}

// VSWAP: exchanges x and y.
void VSWAP(int n, double* x, int incx, double* y, int incy) {
  if (n <= 0) return;
  if (incx == 1 && incy == 1) {
    for (int i = 0; i < n; ++i) {
      const double t = x[i];
      x[i] = y[i];
      y[i] = t;
    }
    return;
  }
  std::ptrdiff_t ix = start(n, incx), iy = start(n, incy);
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) {
    const double t = x[ix];
    x[ix] = y[iy];
    y[iy] = t;
  }
}

// VSET: every element := a. incx must be positive; a non-positive incx does nothing.
void VSET(int n, double a, double* x, int incx) {
  if (n <= 0 || incx <= 0) return;
  if (incx == 1) {
    for (int i = 0; i < n; ++i) x[i] = a;
    return;
  }
  const std::ptrdiff_t end = static_cast<std::ptrdiff_t>(n) * incx;
  for (std::ptrdiff_t i = 0; i < end; i += incx) x[i] = a;
}

// IVMAX: index (1-based, in vector order) of the largest element by signed value, the first
// one on ties; 0 for n <= 0, 1 for n = 1.
int IVMAX(int n, const double* x, int incx) {
  if (n <= 0) return 0;
  if (n == 1) return 1;
  std::ptrdiff_t ix = start(n, incx);
  int best = 1;
  double vmax = x[ix];
  ix += incx;
  for (int i = 2; i <= n; ++i, ix += incx) {
    if (x[ix] > vmax) {
      best = i;
      vmax = x[ix];
    }
  }
  return best;
}

// VNRM2: Euclidean norm with scaling against underflow and overflow of the squares.
// 0 for n < 1 or incx < 0; sqrt(n) * |x(1)| for incx = 0. A first pass sums |x(i)|; a sum
// past highCut selects squares of largeScale * x(i), a sum below n * lowCut selects squares
// of x(i) / smallScale, anything between the plain squares (summed alongside the first pass).
double VNRM2(int n, const double* x, int incx) {
  if (n < 1 || incx < 0) return 0.0;
  if (incx == 0) return std::sqrt(static_cast<double>(n)) * std::fabs(x[0]);

  const double eps = DMACH(4);
  const double low_cut = std::sqrt(DMACH(1) / eps);
  const double high_cut = std::sqrt(DMACH(2) * eps);
  const double small_scale = eps * low_cut;
  const double large_scale = low_cut / high_cut;
  const std::ptrdiff_t end = static_cast<std::ptrdiff_t>(n) * incx;

  // The plain sum of squares runs alongside the sum of |x(i)|: the usual case needs one pass.
  double asum = 0.0;
  double plain = 0.0;
  bool large = false;
  for (std::ptrdiff_t i = 0; i < end; i += incx) {
    asum += std::fabs(x[i]);
    if (asum > high_cut) {
      large = true;
      break;
    }
    plain += x[i] * x[i];
  }
  if (!large && !(asum < n * low_cut)) return std::sqrt(plain);

  double sum = 0.0;
  if (large) {
    for (std::ptrdiff_t i = 0; i < end; i += incx) {
      const double v = large_scale * x[i];
      sum += v * v;
    }
    return std::sqrt(sum) / large_scale;
  }
  for (std::ptrdiff_t i = 0; i < end; i += incx) {
    const double v = x[i] / small_scale;
    sum += v * v;
  }
  return std::sqrt(sum) * small_scale;
}

}  // namespace numlib
