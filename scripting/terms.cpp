#include "scripting/terms.h"

#include <cstddef>

#include "model/basis_terms.h"

namespace scripting {

std::string term_name(const std::vector<int>& exponents, int T) {
  const int D = static_cast<int>(exponents.size());
  std::string name;
  for (int i = 1; i <= D; ++i) {
    const int e = exponents[static_cast<std::size_t>(i - 1)];
    if (e == 0) continue;
    if (!name.empty()) name += '*';
    const long lag = static_cast<long>(D - i) * T;
    name += lag == 0 ? std::string("x(n)") : "x(n-" + std::to_string(lag) + ")";
    if (e > 1) name += '^' + std::to_string(e);
  }
  return name.empty() ? "1" : name;
}

std::vector<Term> model_terms(const model::ModelMap& map, int T) {
  std::vector<Term> terms;
  for (auto& e : model::basis_exponents(map.D, map.nu)) {
    terms.push_back({term_name(e, T), e, false});
  }
  if (map.kind == model::ModelKind::rational) {
    const auto den = model::basis_exponents(map.D, map.mu);
    for (std::size_t k = 1; k < den.size(); ++k) {
      terms.push_back({term_name(den[k], T), den[k], true});
    }
  }
  return terms;
}

}  // namespace scripting
