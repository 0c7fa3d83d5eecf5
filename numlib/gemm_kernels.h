#pragma once
// Register- and cache-blocked matrix products for the blocked Householder factorisation.
// Matrices are column-major, 0-based, with explicit leading dimensions. Every element of a
// result is formed by one fixed sequence of operations that depends only on the shapes given,
// so splitting a product into column or row ranges changes no digit.

namespace numlib::detail {

// Y(0:k, 0:n) := A(0:m, 0:k)^T * B(0:m, 0:n). The rows are summed in blocks of
// kProductRows; within a block each sum runs over interleaved lanes that are added at the end.
void gemm_tn(int m, int k, int n, const double* A, long lda, const double* B, long ldb, double* Y,
             long ldy);

// C(0:m, 0:n) := C - A(0:m, 0:k) * X(0:k, 0:n); each product sum runs over p = 0 .. k-1 from 0.
void gemm_nn_sub(int m, int k, int n, const double* A, long lda, const double* X, long ldx,
                 double* C, long ldc);

// Rows per block of gemm_tn; callers that split a long product into row ranges start each range
// at a multiple of it so that the sums do not depend on the split.
constexpr int kProductRows = 512;

// Instruction set of the kernels: chosen from the processor at the first call; tests may force
// either version. Both give the same results bit for bit (the same lanes, sum order and fused
// multiply-adds), so the choice changes the speed only.
enum class KernelIsa { portable, avx2 };
KernelIsa kernel_isa();
void set_kernel_isa(KernelIsa isa);  // avx2 is taken only when the processor has it

}  // namespace numlib::detail
