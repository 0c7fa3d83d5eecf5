// Matrix-product kernels for any x86-64 processor (or any other). They reproduce the AVX2
// kernels bit for bit: the same four lanes per vector (two pairs of doubles on SSE2), the same
// order of the final lane sum, and a fused multiply-add (std::fma, exact in software where the
// processor has none) wherever those use one. The results therefore do not depend on the
// instruction set of the machine.

#include <cmath>

#include "numlib/gemm_kernels.h"

namespace numlib::detail::portable {
namespace {

// Four lanes as two SSE2 pairs: lanes 0, 1 in lo and 2, 3 in hi.
using Pair = double __attribute__((vector_size(16)));
struct V {
  Pair lo, hi;
};
constexpr int kW = 4;
constexpr int kNnRowVectors = 3;
constexpr int kNnCols = 4;

inline V operator-(V a, V b) { return V{a.lo - b.lo, a.hi - b.hi}; }
inline V vload(const double* p) {
  V v;
  __builtin_memcpy(&v.lo, p, sizeof v.lo);
  __builtin_memcpy(&v.hi, p + 2, sizeof v.hi);
  return v;
}
inline void vstore(double* p, V v) {
  __builtin_memcpy(p, &v.lo, sizeof v.lo);
  __builtin_memcpy(p + 2, &v.hi, sizeof v.hi);
}
inline V vzero() { return V{Pair{0.0, 0.0}, Pair{0.0, 0.0}}; }
inline V vbcast(double x) { return V{Pair{x, x}, Pair{x, x}}; }
inline Pair pfma(Pair a, Pair b, Pair c) {
  return Pair{std::fma(a[0], b[0], c[0]), std::fma(a[1], b[1], c[1])};
}
inline V vfma(V a, V b, V c) { return V{pfma(a.lo, b.lo, c.lo), pfma(a.hi, b.hi, c.hi)}; }
// (l0 + l2) + (l1 + l3), the order of the AVX2 version.
inline double vhsum(V v) { return (v.lo[0] + v.hi[0]) + (v.lo[1] + v.hi[1]); }
inline double sfma(double a, double b, double c) { return std::fma(a, b, c); }

}  // namespace

#include "numlib/gemm_kernels_body.inc"

}  // namespace numlib::detail::portable
