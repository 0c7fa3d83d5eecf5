// Matrix-product kernels for processors with AVX2 and FMA (4 doubles per vector, fused
// multiply-add). Compiled for that instruction set only in this file; called only after the
// processor has been checked (gemm_kernels.cpp).

#include <immintrin.h>

#include "numlib/gemm_kernels.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,fma"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,fma")
#endif

namespace numlib::detail::avx2 {
namespace {

using V = __m256d;
constexpr int kW = 4;
constexpr int kNnRowVectors = 3;
constexpr int kNnCols = 4;

inline V vload(const double* p) { return _mm256_loadu_pd(p); }
inline void vstore(double* p, V v) { _mm256_storeu_pd(p, v); }
inline V vzero() { return _mm256_setzero_pd(); }
inline V vbcast(double x) { return _mm256_set1_pd(x); }
inline V vfma(V a, V b, V c) { return _mm256_fmadd_pd(a, b, c); }
inline double vhsum(V v) {
  const __m128d lo = _mm256_castpd256_pd128(v);
  const __m128d hi = _mm256_extractf128_pd(v, 1);
  const __m128d s = _mm_add_pd(lo, hi);  // (l0 + l2, l1 + l3)
  return _mm_cvtsd_f64(_mm_add_sd(s, _mm_unpackhi_pd(s, s)));
}
inline double sfma(double a, double b, double c) { return __builtin_fma(a, b, c); }

}  // namespace

#include "numlib/gemm_kernels_body.inc"

}  // namespace numlib::detail::avx2

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
