#pragma once
// The ranking of a search's models and its three forms: the table on standard output, CSV and
// JSON.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "scripting/json.h"
#include "scripting/model_run.h"

namespace scripting {

// test: the smallest test error first; ptime: the longest prediction time first (then the
// smallest test error); bic: the smallest BIC first. Models without the value (failed, or not
// finite) come last; ties keep the grid's order.
enum class Ranking { test, ptime, bic };

// --rank test|ptime|bic.
Ranking ranking_value(std::string_view text);

// Indices into `results`, best first.
std::vector<std::size_t> rank_results(const std::vector<ModelResult>& results, Ranking ranking);

// One line a model: rank, D, delay, kind, nu, mu, P, kept terms, errors of approximation
// (training and test, in percent as the dialogue shows them), prediction time, infinite
// solutions, AIC, BIC and fit time; then a line for each model that failed.
std::string search_table(const std::vector<ModelResult>& results,
                         const std::vector<std::size_t>& ranks, const SeriesData& data);

// The same columns with a header line, errors as fractions, every value at full precision.
std::string search_csv(const std::vector<ModelResult>& results,
                       const std::vector<std::size_t>& ranks);

// The list of the models' JSON objects, best first, each with its rank.
Json search_json(const std::vector<ModelResult>& results, const std::vector<std::size_t>& ranks,
                 const SeriesData& data, const CheckSettings* check);

}  // namespace scripting
