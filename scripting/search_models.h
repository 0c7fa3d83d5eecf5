#pragma once
// The models of a search, fitted from as few factorisations as possible: the models of one
// dimension and delay are column sets of one least-squares triangle (the polynomial orders are
// prefixes of the basis of the highest, a rational model's columns are numerator and
// denominator prefixes), and the triangle of a smaller dimension is taken from that of a larger
// one of the same delay (its monomials in the newest arguments, plus the few equations the
// larger dimension has no room for). Each model's coefficients are then solved, selected and
// checked on its own, the models on all threads of the library; every result is the same
// whatever the number of threads.

#include <functional>
#include <vector>

#include "scripting/model_run.h"

namespace scripting {

// Called when one more model is done (from any thread, one call at a time).
using SearchProgress = std::function<void(int done, int total)>;

// Fits (and with `check`, checks) every model; the results are in the order of `models`. Every
// model must be admissible (at most as many coefficients as training points). A numerical stop
// (a matrix that cannot be had) ends the search with numlib::ProgramStop.
std::vector<ModelResult> fit_models(const SeriesData& data, const std::vector<ModelChoice>& models,
                                    const CheckSettings* check, const SearchProgress& progress);

}  // namespace scripting
