#pragma once
// The machine-readable form of a model's results: one JSON object per model (snake_case keys;
// errors as fractions; keys of what was not computed are absent).

#include <string>

#include "scripting/json.h"
#include "scripting/model_run.h"

namespace scripting {

// The program's version, as --version shows it.
const char* program_version();

Json series_json(const SeriesData& data);

// ntrain, dim, delay, kind, nu, mu, the selection when there is one, and the check's settings
// when `check` is given.
Json settings_json(const ModelChoice& choice, int Ntrain, const CheckSettings* check);

// series, settings, terms (the kept ones, with their names and exponents), coefficients,
// error_train, error_test, prediction_error, prediction_time, infinite_solutions, aic, bic,
// seconds and version; a model that could not be fitted has an "error" instead of results.
// A rank above 0 comes first, as "rank".
Json result_json(const ModelResult& r, const SeriesData& data, const CheckSettings* check,
                 int rank = 0);

// The error object of a command that stopped: {"error": {"status", "message"}, "series",
// "settings", "version"}, the series and settings when they are known. The message is the
// numerical library's text, or a pointer to the standard error where the reason went.
Json stop_json(int status, const std::string& messages, const SeriesData* data,
               const ModelChoice* choice, int Ntrain);

}  // namespace scripting
