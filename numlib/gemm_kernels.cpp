// Choice of the matrix-product kernels by instruction set.

#include "numlib/gemm_kernels.h"

#include <atomic>

namespace numlib::detail {

namespace avx2 {
void gemm_tn_impl(int, int, int, const double*, long, const double*, long, double*, long);
void gemm_nn_sub_impl(int, int, int, const double*, long, const double*, long, double*, long);
}  // namespace avx2
namespace portable {
void gemm_tn_impl(int, int, int, const double*, long, const double*, long, double*, long);
void gemm_nn_sub_impl(int, int, int, const double*, long, const double*, long, double*, long);
}  // namespace portable

namespace {

bool has_avx2() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
  return false;
#endif
}

std::atomic<int> selected{-1};  // -1: not yet chosen

KernelIsa current() {
  int s = selected.load(std::memory_order_relaxed);
  if (s < 0) {
    s = static_cast<int>(has_avx2() ? KernelIsa::avx2 : KernelIsa::portable);
    selected.store(s, std::memory_order_relaxed);
  }
  return static_cast<KernelIsa>(s);
}

}  // namespace

KernelIsa kernel_isa() { return current(); }

void set_kernel_isa(KernelIsa isa) {
  if (isa == KernelIsa::avx2 && !has_avx2()) isa = KernelIsa::portable;
  selected.store(static_cast<int>(isa), std::memory_order_relaxed);
}

void gemm_tn(int m, int k, int n, const double* A, long lda, const double* B, long ldb, double* Y,
             long ldy) {
  if (current() == KernelIsa::avx2) {
    avx2::gemm_tn_impl(m, k, n, A, lda, B, ldb, Y, ldy);
  } else {
    portable::gemm_tn_impl(m, k, n, A, lda, B, ldb, Y, ldy);
  }
}

void gemm_nn_sub(int m, int k, int n, const double* A, long lda, const double* X, long ldx,
                 double* C, long ldc) {
  if (current() == KernelIsa::avx2) {
    avx2::gemm_nn_sub_impl(m, k, n, A, lda, X, ldx, C, ldc);
  } else {
    portable::gemm_nn_sub_impl(m, k, n, A, lda, X, ldx, C, ldc);
  }
}

}  // namespace numlib::detail
