#include "model/basis.h"

#include <cstdint>
#include <limits>
#include <vector>

namespace model {
namespace {

// Index sequences up to this length live on the stack; longer ones (orders above it, which
// only a one-dimensional map can reach) take one heap buffer per call.
constexpr int kStackIndices = 64;

// NEXTINDEX (K): advances M(1..K) to its lexicographic successor among the non-decreasing
// sequences with values in 1..D. M is 1-based: M[0] is unused. (D, ..., D) is left as it is.
// Returns the first position that changed, so that the caller can keep the partial products
// of the unchanged prefix.
int NEXTINDEX(int* M, int D, int K) {
  if (K == 1) {
    if (M[1] < D) M[1] = M[1] + 1;
    return 1;
  }
  if (M[K] < D) {
    M[K] = M[K] + 1;
    return K;
  }
  // The last index is exhausted: advance the prefix and restart the last index at its end.
  const int first = NEXTINDEX(M, D, K - 1);
  M[K] = M[K - 1];
  return first;
}

}  // namespace

// MONOMIALS evaluates the monomial basis of order nu in D variables at one point.
//
// X    (in)  D reals, the point; X[0] is argument 1.
// D    (in)  number of variables, D >= 1.
// nu   (in)  order of the basis, nu >= 0.
// OUT  (out) receives the C(D+nu, D) basis values in basis order, OUT[0] = 1.0. Nothing beyond
//            them is written.
// LEN  (in)  the extent of OUT as the caller knows it; it does not limit what is written, so
//            the caller's count must equal C(D+nu, D).
//
// No argument is checked and no error is reported. Each monomial is the product
// 1.0 * X(M(1)) * ... * X(M(k)), formed left to right; no more than nu indices and nu partial
// products are kept.
void MONOMIALS(const double* X, int D, int nu, double* OUT, int LEN) {
  static_cast<void>(LEN);
  OUT[0] = 1.0;
  if (nu <= 0) return;

  // M(1..k), the index sequence, and R(i) = X(M(1)) * ... * X(M(i)), its running products
  // formed left to right (R(0) = 1.0), so that a monomial costs one multiplication per index
  // that NEXTINDEX changed and the value is the left-to-right product.
  int stack_m[kStackIndices + 1];
  double stack_r[kStackIndices + 1];
  std::vector<int> heap_m;
  std::vector<double> heap_r;
  int* M = stack_m;
  double* R = stack_r;
  if (nu > kStackIndices) {
    heap_m.resize(static_cast<std::size_t>(nu) + 1);
    heap_r.resize(static_cast<std::size_t>(nu) + 1);
    M = heap_m.data();
    R = heap_r.data();
  }
  R[0] = 1.0;

  // below = C(D+k-1, D), the members of degree < k; total = C(D+k, D).
  std::int64_t below = 1;
  for (int k = 1; k <= nu; ++k) {
    const std::int64_t total = below * (D + k) / k;
    const std::int64_t count = total - below;
    for (int i = 1; i <= k; ++i) M[i] = 1;
    int changed = 1;
    double* out = OUT + below;
    for (std::int64_t j = 0; j < count; ++j) {
      for (int i = changed; i <= k; ++i) R[i] = R[i - 1] * X[M[i] - 1];
      out[j] = R[k];
      if (j + 1 < count) changed = NEXTINDEX(M, D, k);
    }
    below = total;
  }
}

// basis_count returns C(D+k, D) exactly, 0 when D < 0 or k < 0, and -1 when the value does not
// fit in a signed 64-bit integer.
std::int64_t basis_count(int D, int k) {
  if (D < 0 || k < 0) return 0;
  // C(D+k, D) = C(m+s, s) with s the smaller of D and k; each partial product C(m+i, i) is an
  // integer and grows with i, so the first one out of range decides.
  const std::int64_t s = D < k ? D : k;
  const std::int64_t m = D < k ? k : D;
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  std::int64_t c = 1;
  for (std::int64_t i = 1; i <= s; ++i) {
    const unsigned __int128 next =
        static_cast<unsigned __int128>(c) * static_cast<std::uint64_t>(m + i) / i;
    if (next > static_cast<unsigned __int128>(kMax)) return -1;
    c = static_cast<std::int64_t>(next);
  }
  return c;
}

}  // namespace model
