#include <cmath>
#include <cstddef>

#include "model/basis.h"
#include "model/design_matrix.h"
#include "model/mapstep_bound.h"
#include "model/model_map.h"

namespace model {
namespace {

// The rational map's denominators below this magnitude are replaced, sign kept (1.0E-6 in
// single precision); the error of approximation uses a floor of its own.
constexpr double kStepDenominatorFloor = static_cast<double>(1.0e-6f);

}  // namespace

// MAPSTEP advances a delay state by one step of the map held in `map`:
// SNEW(i) = S(i+1), i = 1..D-1, and SNEW(D) = F(S(1..D)).
//
// map   (in/out) the model map: kind, nu, mu, P, Pnum, Pden and COEF are read; W is the work
//               area for the basis values (P values for a polynomial map, P + 1 for a rational
//               one). W is grown once if it is smaller, so a sized W means no allocation.
// D     (in)  dimension of the map, D >= 1.
// STEP  (in)  number of the prediction step; not used (part of the map-routine contract).
// S     (in)  D reals, the current state, oldest value first.
// SNEW  (out) D reals, the next state. SNEW may be the same array as S.
//
// A rational map's denominator of magnitude below 1.0E-6 is replaced by -/+1.0E-6 (0 counts
// as positive). Nothing is checked and no error is reported.
void MAPSTEP(ModelMap& map, int D, int STEP, const double* S, double* SNEW) {
  static_cast<void>(STEP);
  const std::size_t need = detail::mapstep_room(map);
  if (map.W.size() < need) map.W.resize(need);
  detail::mapstep_into(map, map.W.data(), D, S, SNEW);
}

namespace detail {

void mapstep_into(const ModelMap& map, double* W, int D, const double* S, double* SNEW) {
  const bool rational = map.kind == ModelKind::rational;
  const double* COEF = map.COEF.data();

  // The new value is formed first, so that S may be overwritten by the shift.
  double value;
  if (!rational && map.nu >= 1 && basis_count(D, map.nu) == map.P) {
    // The basis as MONOMIALS builds it, each value added to the sum as soon as it is made:
    // the same values and the same sum in index order, with the products and the chain of
    // additions overlapping.
    const detail::MonomialPlan& plan = detail::cached_monomial_plan(D, map.nu);
    const int* parent = plan.parent.data();
    const int* var = plan.var.data();
    double f = 0.0;
    W[0] = 1.0;
    f += COEF[0] * W[0];
    for (int i = 1; i <= D; ++i) {
      W[i] = 1.0 * S[i - 1];
      f += COEF[i] * W[i];
    }
    for (int c = 1 + D; c < map.P; ++c) {
      W[c] = W[parent[c]] * W[1 + var[c]];
      f += COEF[c] * W[c];
    }
    value = f;
  } else if (!rational) {
    MONOMIALS(S, D, map.nu, W, map.P);
    double f = 0.0;
    for (int i = 0; i < map.P; ++i) f += COEF[i] * W[i];
    value = f;
  } else {
    const int Pnum = map.Pnum;
    MONOMIALS(S, D, map.nu, W, Pnum);
    MONOMIALS(S, D, map.mu, W + Pnum, map.Pden + 1);
    double num = 0.0;
    for (int i = 0; i < Pnum; ++i) num += COEF[i] * W[i];
    double sum = 0.0;
    for (int i = 0; i < map.Pden; ++i) sum += COEF[Pnum + i] * W[Pnum + 1 + i];
    double q = 1.0 + sum;
    if (std::abs(q) < kStepDenominatorFloor) {
      q = q < 0.0 ? -kStepDenominatorFloor : kStepDenominatorFloor;
    }
    value = num / q;
  }

  // Shift the state by one value: the oldest drops out.
  for (int i = 0; i + 1 < D; ++i) SNEW[i] = S[i + 1];
  SNEW[D - 1] = value;
}

}  // namespace detail

MapRoutine bind_mapstep(ModelMap& map) {
  return [&map](int D, int STEP, const double* S, double* SNEW) { MAPSTEP(map, D, STEP, S, SNEW); };
}

}  // namespace model
