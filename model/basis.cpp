#include "model/basis.h"

#include <cstdint>
#include <limits>
#include <vector>

#include "model/design_matrix.h"

namespace model {

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
// 1.0 * X(M(1)) * ... * X(M(k)) of its index sequence, formed left to right. The degree-k
// members are built from the degree-(k-1) ones: in lexicographic order, the sequences of
// degree k are each sequence of degree k-1 followed by every index from its last one to D, and
// the left-to-right product of such a sequence is the stored product of its prefix times one
// more factor. So every monomial costs one multiplication and its value is that of the
// index-sequence product, bit for bit. Which member and which variable make each monomial
// (detail::monomial_plan) is worked out once per thread for the last (D, nu) asked.
namespace detail {

// Two plans per thread, so that a rational map's numerator and denominator orders both stay.
const MonomialPlan& cached_monomial_plan(int D, int nu) {
  struct Cached {
    int D = -1, nu = -1;
    MonomialPlan plan;
  };
  thread_local Cached cache[2];
  thread_local int older = 0;
  int slot = cache[0].D == D && cache[0].nu == nu ? 0 : 1;
  if (cache[slot].D != D || cache[slot].nu != nu) {
    slot = older;
    cache[slot].plan = monomial_plan(D, nu);
    cache[slot].D = D;
    cache[slot].nu = nu;
  }
  older = 1 - slot;
  return cache[slot].plan;
}

}  // namespace detail

void MONOMIALS(const double* X, int D, int nu, double* OUT, int LEN) {
  static_cast<void>(LEN);
  OUT[0] = 1.0;
  if (nu <= 0) return;
  const detail::MonomialPlan& plan = detail::cached_monomial_plan(D, nu);
  for (int i = 0; i < D; ++i) OUT[1 + i] = 1.0 * X[i];
  // OUT(1 + v) holds variable v from here on, so X is not read again (it may alias OUT).
  const int P = static_cast<int>(plan.parent.size());
  const int* parent = plan.parent.data();
  const int* var = plan.var.data();
  for (int c = 1 + D; c < P; ++c) OUT[c] = OUT[parent[c]] * OUT[1 + var[c]];
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
