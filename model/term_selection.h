#pragma once
// Term selection on a least-squares triangle: which of its columns a model keeps, chosen
// forward (add the term of largest error reduction while the Bayesian information criterion
// falls) or backward (remove the term whose removal raises the residual least while the
// criterion falls). The kept terms' coefficients are the least-squares solution on them.

#include <cstdint>
#include <vector>

#include "numlib/ls_triangle.h"

namespace model {

enum class TermSelection { none, forward, backward };

struct SelectedTerms {
  std::vector<int> columns;          // kept columns of the triangle, 1-based, ascending
  std::vector<double> coefficients;  // their coefficients, in the same order
  double residual = 0.0;             // residual sum of squares of the kept model
};

// BIC = n ln(rss / n) + terms ln n for n equations.
double information_criterion(double rss, std::int64_t n, int terms);

// Forward orthogonal regression over the first k columns of t: starting from no term, adds the
// column whose part orthogonal to the kept ones reduces the residual most, as long as that
// lowers the BIC and fewer than max_terms are kept. Columns that depend on the kept ones (their
// orthogonal part below rounding) are never added.
SelectedTerms select_forward(const numlib::LeastSquaresTriangle& t, int k, int max_terms);

// Backward elimination over the first k columns of t: starting from all of them (columns that
// depend exactly on earlier ones are dropped first), removes the column whose removal raises
// the residual least, as long as that lowers the BIC, and further while more than max_terms are
// kept.
SelectedTerms select_backward(const numlib::LeastSquaresTriangle& t, int k, int max_terms);

}  // namespace model
