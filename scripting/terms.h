#pragma once
// Readable names of a model's terms: argument i of a map of dimension D with delay T is
// x(n-(D-i)T), so a term reads like "x(n-1)*x(n)^2"; the constant is "1".

#include <string>
#include <vector>

#include "model/model_map.h"

namespace scripting {

struct Term {
  std::string name;
  std::vector<int> exponents;  // of arguments 1 .. D
  bool denominator = false;    // a rational map's denominator term
};

// The name of the monomial with these exponents of arguments 1 .. D.
std::string term_name(const std::vector<int>& exponents, int T);

// The terms of every coefficient of the map, in coefficient order: the basis of order nu, then
// for a rational map the denominator basis of order mu without its constant.
std::vector<Term> model_terms(const model::ModelMap& map, int T);

}  // namespace scripting
