#pragma once
// The machine-readable form of a model's results: one JSON object per model (snake_case keys;
// errors as fractions; keys of what was not computed are absent).

#include "scripting/json.h"
#include "scripting/model_run.h"

namespace scripting {

// The program's version, as --version shows it.
const char* program_version();

Json series_json(const SeriesData& data);

// ntrain, dim, delay, kind, nu, mu, the selection when there is one, and the check's settings
// when `check` is given.
Json settings_json(const ModelSpec& spec, int Ntrain, const CheckSettings* check);

// series, settings, terms (the kept ones, with their names and exponents), coefficients,
// error_train, error_test, prediction_error, prediction_time, infinite_solutions, aic, bic,
// seconds and version; a model that could not be fitted has an "error" instead of results.
// A rank above 0 comes first, as "rank".
Json result_json(const ModelResult& r, const SeriesData& data, const CheckSettings* check,
                 int rank = 0);

}  // namespace scripting
