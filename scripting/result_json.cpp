#include "scripting/result_json.h"

#include <cstddef>

#include "scripting/terms.h"

#ifndef MAPFIT_VERSION
#define MAPFIT_VERSION "unknown"
#endif

namespace scripting {

const char* program_version() { return MAPFIT_VERSION; }

Json series_json(const SeriesData& data) {
  return Json::object().set("file", data.file).set("values", data.N).set("sha256", data.sha256);
}

Json settings_json(const ModelChoice& choice, int Ntrain, const CheckSettings* check) {
  const bool rational = choice.kind == model::ModelKind::rational;
  Json s = Json::object();
  s.set("ntrain", Ntrain)
      .set("dim", choice.D)
      .set("delay", choice.T)
      .set("kind", rational ? "rational" : "polynomial")
      .set("nu", choice.nu)
      .set("mu", rational ? choice.mu : 0);
  if (choice.select != model::TermSelection::none) {
    s.set("select", choice.select == model::TermSelection::forward ? "forward" : "backward");
    if (choice.max_terms != ModelChoice{}.max_terms) s.set("max_terms", choice.max_terms);
  }
  if (check != nullptr) {
    s.set("ltest", check->Ltest).set("ktest", check->Ktest).set("stest", check->Stest);
  }
  return s;
}

Json result_json(const ModelResult& r, const SeriesData& data, const CheckSettings* check,
                 int rank) {
  Json o = Json::object();
  if (rank > 0) o.set("rank", rank);
  o.set("series", series_json(data));
  o.set("settings", settings_json(r.choice, data.Ntrain, r.checked ? check : nullptr));
  if (!r.failure.empty()) {
    o.set("error", r.failure);
    o.set("version", program_version());
    return o;
  }
  const std::vector<Term> all = model_terms(r.map, r.choice.T);
  Json terms = Json::array();
  Json coefficients = Json::array();
  for (const int position : r.kept) {
    const Term& t = all[static_cast<std::size_t>(position - 1)];
    Json exponents = Json::array();
    for (const int e : t.exponents) exponents.push(e);
    Json term = Json::object().set("name", t.name).set("exponents", std::move(exponents));
    if (r.choice.kind == model::ModelKind::rational) {
      term.set("part", t.denominator ? "denominator" : "numerator");
    }
    terms.push(std::move(term));
    coefficients.push(r.map.COEF[static_cast<std::size_t>(position - 1)]);
  }
  o.set("terms", std::move(terms));
  o.set("coefficients", std::move(coefficients));
  o.set("error_train", r.error_train);
  if (r.checked) {
    o.set("error_test", r.error_test);
    Json curve = Json::array();
    for (const double e : r.E) curve.push(e);
    o.set("prediction_error", std::move(curve));
    o.set("prediction_time", r.prediction_time);
    o.set("infinite_solutions", r.infinite_solutions);
  }
  o.set("aic", r.aic);
  o.set("bic", r.bic);
  Json seconds = Json::object().set("fit", r.fit_seconds);
  if (r.checked) seconds.set("check", r.check_seconds);
  if (r.total_seconds > 0.0) seconds.set("total", r.total_seconds);
  o.set("seconds", std::move(seconds));
  o.set("version", program_version());
  return o;
}

Json stop_json(int status, const std::string& messages, const SeriesData* data,
               const ModelChoice* choice, int Ntrain) {
  Json error = Json::object().set("status", status);
  error.set("message", messages.empty()
                           ? std::string("stopped; the reason is on the standard error")
                           : messages);
  Json o = Json::object().set("error", std::move(error));
  if (data != nullptr) o.set("series", series_json(*data));
  if (choice != nullptr) o.set("settings", settings_json(*choice, Ntrain, nullptr));
  o.set("version", program_version());
  return o;
}

}  // namespace scripting
