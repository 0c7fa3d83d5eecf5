#include "model/basis_terms.h"

#include <cstddef>

#include "model/design_matrix.h"

namespace model {

std::vector<std::vector<int>> basis_exponents(int D, int nu) {
  // Each member is its parent member times one more variable.
  const detail::MonomialPlan plan = detail::monomial_plan(D, nu);
  std::vector<std::vector<int>> e(plan.parent.size(),
                                  std::vector<int>(static_cast<std::size_t>(D)));
  for (std::size_t c = 1; c < plan.parent.size(); ++c) {
    e[c] = e[static_cast<std::size_t>(plan.parent[c])];
    ++e[c][static_cast<std::size_t>(plan.var[c])];
  }
  return e;
}

}  // namespace model
