#include "scripting/search_output.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>

#include "numlib/fields.h"
#include "scripting/options.h"
#include "scripting/result_json.h"

namespace scripting {
namespace {

bool fitted(const ModelResult& r) { return r.failure.empty(); }

std::string real(double v) {
  if (!std::isfinite(v)) return "";
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, v);
  return std::string(text, result.ptr);
}

std::string padded(std::string text, std::size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), ' ');
  return text;
}

std::string kind_name(const ModelChoice& s) {
  return s.kind == model::ModelKind::rational ? "rational  " : "polynomial";
}

}  // namespace

Ranking ranking_value(std::string_view text) {
  if (text == "test") return Ranking::test;
  if (text == "ptime") return Ranking::ptime;
  if (text == "bic") return Ranking::bic;
  throw UsageError{refusal("--rank", text, "must be test, ptime or bic")};
}

std::vector<std::size_t> rank_results(const std::vector<ModelResult>& results, Ranking ranking) {
  // A key to sort by, smaller first; models without one go last.
  const auto key = [&](const ModelResult& r) -> std::pair<double, double> {
    if (!fitted(r)) return {NAN, NAN};
    switch (ranking) {
      case Ranking::test:
        return {r.error_test, 0.0};
      case Ranking::ptime:
        return {r.checked ? -static_cast<double>(r.prediction_time) : NAN, r.error_test};
      case Ranking::bic:
        return {r.bic, 0.0};
    }
    return {NAN, NAN};
  };
  std::vector<std::size_t> order(results.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const auto ka = key(results[a]);
    const auto kb = key(results[b]);
    if (std::isnan(ka.first) || std::isnan(kb.first)) {
      return !std::isnan(ka.first) && std::isnan(kb.first);
    }
    if (ka.first != kb.first) return ka.first < kb.first;
    // NaN second keys (a test error that is not finite) go after the others.
    if (std::isnan(ka.second) || std::isnan(kb.second)) {
      return !std::isnan(ka.second) && std::isnan(kb.second);
    }
    return ka.second < kb.second;
  });
  return order;
}

std::string search_table(const std::vector<ModelResult>& results,
                         const std::vector<std::size_t>& ranks, const SeriesData& data) {
  using numlib::format_F, numlib::format_I;
  std::string out(1, ' ');
  out += data.file;
  out += ": " + std::to_string(data.N);
  out += " values, Ntrain = " + std::to_string(data.Ntrain);
  out += ", " + std::to_string(results.size()) + " models\n";
  out +=
      " rank  D delay kind        nu mu      P  terms  train err %   test err %  ptime  infin"
      "          AIC          BIC    fit s\n";
  std::string failures;
  for (std::size_t n = 0; n < ranks.size(); ++n) {
    const ModelResult& r = results[ranks[n]];
    const ModelChoice& s = r.choice;
    // Appended piece by piece (GCC 12 warns falsely about "literal" + temporary string here).
    std::string line(1, ' ');
    line += format_I(static_cast<std::int64_t>(n + 1), 4);
    line += format_I(s.D, 3);
    line += format_I(s.T, 6);
    line += "  ";
    line += kind_name(s);
    line += format_I(s.nu, 3);
    line += format_I(s.kind == model::ModelKind::rational ? s.mu : 0, 3);
    line += format_I(r.map.P, 7);
    line += format_I(static_cast<std::int64_t>(r.kept.size()), 7);
    const auto column = [&line](std::string_view gap, const std::string& field) {
      line += gap;
      line += field;
    };
    if (!fitted(r)) {
      line += padded("failed", 13);
      failures += " rank ";
      failures += std::to_string(n + 1);
      failures += ": ";
      failures += r.failure;
      failures += '\n';
    } else {
      column("   ", format_F(100.0 * r.error_train, 10, 5));
      if (r.checked) {
        column("   ", format_F(100.0 * r.error_test, 10, 5));
        column("", format_I(r.prediction_time, 7));
        column("", format_I(r.infinite_solutions, 7));
      } else {
        column("", padded("-", 13) + padded("-", 7) + padded("-", 7));
      }
      column(" ", format_F(r.aic, 12, 2));
      column(" ", format_F(r.bic, 12, 2));
      column(" ", format_F(r.fit_seconds, 8, 3));
    }
    out += line + "\n";
  }
  return out + failures;
}

std::string search_csv(const std::vector<ModelResult>& results,
                       const std::vector<std::size_t>& ranks) {
  std::string out =
      "rank,dim,delay,kind,nu,mu,P,terms,error_train,error_test,prediction_time,"
      "infinite_solutions,aic,bic,fit_seconds,check_seconds,error\n";
  for (std::size_t n = 0; n < ranks.size(); ++n) {
    const ModelResult& r = results[ranks[n]];
    const ModelChoice& s = r.choice;
    const bool rational = s.kind == model::ModelKind::rational;
    out += std::to_string(n + 1) + "," + std::to_string(s.D) + "," + std::to_string(s.T) + "," +
           (rational ? "rational" : "polynomial") + "," + std::to_string(s.nu) + "," +
           std::to_string(rational ? s.mu : 0) + "," + std::to_string(r.map.P) + "," +
           std::to_string(r.kept.size()) + ",";
    const bool ok = fitted(r);
    const bool checked = ok && r.checked;
    out += (ok ? real(r.error_train) : "") + ",";
    out += (checked ? real(r.error_test) : "") + ",";
    out += (checked ? std::to_string(r.prediction_time) : "") + ",";
    out += (checked ? std::to_string(r.infinite_solutions) : "") + ",";
    out += (ok ? real(r.aic) : "") + "," + (ok ? real(r.bic) : "") + ",";
    out += real(r.fit_seconds) + "," + (checked ? real(r.check_seconds) : "") + ",";
    // The failure in quotes, its quotes doubled.
    if (!ok) {
      std::string quoted = "\"";
      for (const char c : r.failure) quoted += c == '"' ? "\"\"" : std::string(1, c);
      out += quoted + "\"";
    }
    out += "\n";
  }
  return out;
}

Json search_json(const std::vector<ModelResult>& results, const std::vector<std::size_t>& ranks,
                 const SeriesData& data, const CheckSettings* check) {
  Json list = Json::array();
  for (std::size_t n = 0; n < ranks.size(); ++n) {
    list.push(result_json(results[ranks[n]], data, check, static_cast<int>(n + 1)));
  }
  return list;
}

}  // namespace scripting
