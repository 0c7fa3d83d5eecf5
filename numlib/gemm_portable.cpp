// Matrix-product kernels for any x86-64 processor (or any other): plain multiply and add on
// pairs of doubles, which every SSE2 machine has.

#include "numlib/gemm_kernels.h"

namespace numlib::detail::portable {
namespace {

using V = double __attribute__((vector_size(16)));
constexpr int kW = 2;
constexpr int kNnRowVectors = 4;
constexpr int kNnCols = 2;

inline V vload(const double* p) {
  V v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}
inline void vstore(double* p, V v) { __builtin_memcpy(p, &v, sizeof v); }
inline V vzero() { return V{0.0, 0.0}; }
inline V vbcast(double x) { return V{x, x}; }
inline V vfma(V a, V b, V c) { return a * b + c; }
inline double vhsum(V v) { return v[0] + v[1]; }
inline double sfma(double a, double b, double c) { return a * b + c; }

}  // namespace

#include "numlib/gemm_kernels_body.inc"

}  // namespace numlib::detail::portable
