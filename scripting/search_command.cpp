// mapfit search: every admissible model of a grid of dimensions, delays, kinds and orders,
// fitted (and checked) and ranked, as a table, CSV and JSON.

#include <algorithm>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dialogue/answer_checks.h"
#include "model/basis.h"
#include "model/delay.h"
#include "numlib/stop.h"
#include "scripting/command_common.h"
#include "scripting/commands.h"
#include "scripting/options.h"
#include "scripting/result_json.h"
#include "scripting/search_models.h"
#include "scripting/search_output.h"

namespace scripting {
namespace {

using i64 = std::int64_t;

struct SearchOptions {
  std::optional<int> Ntrain;
  std::string dims_text, delays_text = "1", poly_text, rational_text;
  std::vector<int> dims, delays = {1}, poly;
  std::pair<std::vector<int>, std::vector<int>> rational;
  CheckOptions check;
  std::optional<Ranking> rank;
  model::TermSelection select = model::TermSelection::none;
  std::optional<int> max_terms;
  std::string csv, json;
  bool help = false;
};

SearchOptions parse(int argc, char** argv, std::string& series) {
  SearchOptions o;
  using dialogue::kLengthFieldWidth, dialogue::kOrderFieldWidth;
  const auto file = [](std::string_view option, std::string_view v) {
    if (v.empty()) throw UsageError{"option " + std::string(option) + " needs a file name or -"};
    return std::string(v);
  };
  std::vector<OptionRule> rules = {
      {"--help", false, [&](std::string_view) { o.help = true; }},
      {"-h", false, [&](std::string_view) { o.help = true; }},
      {"--ntrain", true,
       [&](std::string_view v) { o.Ntrain = field_value("--ntrain", v, kLengthFieldWidth); }},
      {"--dim", true,
       [&](std::string_view v) {
         o.dims = field_list("--dim", v, kOrderFieldWidth);
         o.dims_text = v;
       }},
      {"--delay", true,
       [&](std::string_view v) {
         o.delays = field_list("--delay", v, kLengthFieldWidth);
         o.delays_text = v;
       }},
      {"--poly", true,
       [&](std::string_view v) {
         o.poly = field_list("--poly", v, kOrderFieldWidth);
         o.poly_text = v;
       }},
      {"--rational", true,
       [&](std::string_view v) {
         o.rational = field_pair("--rational", v, kOrderFieldWidth, true);
         o.rational_text = v;
       }},
      {"--rank", true, [&](std::string_view v) { o.rank = ranking_value(v); }},
      {"--select", true, [&](std::string_view v) { o.select = selection_value(v); }},
      {"--max-terms", true,
       [&](std::string_view v) { o.max_terms = field_value("--max-terms", v, kLengthFieldWidth); }},
      {"--csv", true, [&](std::string_view v) { o.csv = file("--csv", v); }},
      {"--json", true, [&](std::string_view v) { o.json = file("--json", v); }},
  };
  for (OptionRule& rule : check_option_rules(o.check)) rules.push_back(std::move(rule));
  const std::vector<std::string> operands = parse_command_line(argc, argv, rules);
  if (o.help) return o;
  if (operands.size() != 1) throw UsageError{"needs exactly one series file"};
  series = operands.front();
  if (!o.Ntrain) throw UsageError{"option --ntrain is required"};
  if (o.dims.empty()) throw UsageError{"option --dim is required"};
  if (o.poly.empty() && o.rational.first.empty()) {
    throw UsageError{"one of --poly and --rational is required"};
  }
  if (!o.check.check && (o.check.Ltest || o.check.Ktest || o.check.Stest)) {
    throw UsageError{"options --ltest, --ktest and --stest need --check"};
  }
  if (!o.check.check && o.rank && *o.rank != Ranking::bic) {
    throw UsageError{"ranking by test error or prediction time needs --check"};
  }
  if (o.max_terms && o.select == model::TermSelection::none) {
    throw UsageError{"option --max-terms needs --select"};
  }
  if (o.csv == "-" && o.json == "-") {
    throw UsageError{"only one of --csv and --json can go to the standard output"};
  }
  return o;
}

// The grid in the order of the table before ranking: dimension, delay, polynomials by order,
// then rational maps by numerator and denominator order. Values the dialogue would refuse are
// refused; models with more coefficients than training points are left out.
std::vector<ModelChoice> grid(const SearchOptions& o, const dialogue::Series& series,
                              int& left_out) {
  const int Ntrain = *o.Ntrain;
  if (!dialogue::ntrain_accepted(Ntrain, series.N)) {
    throw UsageError{refusal("--ntrain", std::to_string(Ntrain),
                             "needs 2 <= Ntrain <= N = " + std::to_string(series.N))};
  }
  for (const int T : o.delays) {
    if (T < 1) throw UsageError{refusal("--delay", o.delays_text, "needs T >= 1")};
  }
  for (const int D : o.dims) {
    for (const int T : o.delays) {
      if (!dialogue::dimension_accepted(D, model::delay_window(D, T), Ntrain)) {
        throw UsageError{
            refusal("--dim", o.dims_text,
                    "D = " + std::to_string(D) +
                        (T > 1 ? " with T = " + std::to_string(T) + " needs D >= 1 and (D-1)T + 1"
                               : " needs 1 <= D") +
                        " <= Ntrain - 1 = " + std::to_string(Ntrain - 1))};
      }
    }
  }
  const auto non_negative = [](const std::vector<int>& v, std::string_view option,
                               const std::string& text) {
    if (!v.empty() && v.front() < 0) throw UsageError{refusal(option, text, "needs orders >= 0")};
  };
  non_negative(o.poly, "--poly", o.poly_text);
  non_negative(o.rational.first, "--rational", o.rational_text);
  non_negative(o.rational.second, "--rational", o.rational_text);

  std::vector<ModelChoice> models;
  left_out = 0;
  for (const int D : o.dims) {
    for (const int T : o.delays) {
      const i64 span = model::delay_window(D, T);
      const auto admit = [&](ModelChoice choice, i64 P) {
        if (P < 0 || !dialogue::count_fits(P, Ntrain, span)) {
          ++left_out;
          return;
        }
        choice.D = D;
        choice.T = T;
        choice.select = o.select;
        if (o.max_terms) choice.max_terms = *o.max_terms;
        models.push_back(choice);
      };
      for (const int nu : o.poly) {
        admit({D, T, model::ModelKind::polynomial, nu, 0}, dialogue::monomial_count(D, nu));
      }
      for (const int nu : o.rational.first) {
        const i64 Pnum = dialogue::monomial_count(D, nu);
        for (const int mu : o.rational.second) {
          const i64 count = dialogue::monomial_count(D, mu);
          admit({D, T, model::ModelKind::rational, nu, mu},
                Pnum < 0 || count < 0 ? -1 : Pnum + count - 1);
        }
      }
    }
  }
  if (models.empty()) {
    throw UsageError{"no model of the grid has at most as many coefficients as training points"};
  }
  return models;
}

}  // namespace

int run_search(int argc, char** argv) {
  std::string name;
  SearchOptions o;
  if (const auto status = read_options(
          "mapfit search", [&] { return parse(argc, argv, name); }, search_help, o)) {
    return *status;
  }

  const bool stdout_taken = o.csv == "-" || o.json == "-";
  LibraryMessages messages(stdout_taken);
  int status = 0;
  try {
    dialogue::Series series;
    std::vector<ModelChoice> models;
    std::optional<CheckSettings> check;
    SeriesData data;
    int left_out = 0;
    try {
      open_series(series, name);
      models = grid(o, series, left_out);
      i64 count = *o.Ntrain;
      if (o.check.check) {
        // The settings must suit every model, so the widest state decides.
        const ModelChoice* widest = &models.front();
        for (const ModelChoice& m : models) {
          if (model::delay_window(m.D, m.T) > model::delay_window(widest->D, widest->T)) {
            widest = &m;
          }
        }
        const i64 span = model::delay_window(widest->D, widest->T);
        const i64 R = static_cast<i64>(series.N) - *o.Ntrain;
        if (!dialogue::check_offered(R, span)) {
          throw UsageError{"option --check needs more than " + std::to_string(span) +
                           " values after the training part, " + std::to_string(R) + " follow it"};
        }
        check = check_settings(o.check, R, widest->D, widest->T);
        count += (static_cast<i64>(check->Ktest) - 1) * check->Stest + check->Ltest + 1;
      }
      data = load_series(series, *o.Ntrain, static_cast<int>(count));
    } catch (const UsageError& error) {
      std::cerr << "mapfit search: " << error.message << '\n';
      return kUsageStatus;
    }
    if (left_out > 0) {
      std::cerr << "mapfit search: " << left_out << (left_out == 1 ? " model" : " models")
                << " of the grid left out (more coefficients than training points)\n";
    }

    const bool progress_line = error_is_terminal();
    const SearchProgress progress = [&](int done, int total) {
      if (!progress_line) return;
      std::cerr << "\rmapfit search: " << done << " of " << total << " models" << std::flush;
    };
    std::vector<ModelResult> results =
        fit_models(data, models, check ? &*check : nullptr, progress);
    if (progress_line) std::cerr << "\r" << std::string(40, ' ') << "\r" << std::flush;

    const Ranking ranking = o.rank ? *o.rank : check ? Ranking::test : Ranking::bic;
    const std::vector<std::size_t> ranks = rank_results(results, ranking);
    if (!stdout_taken) std::cout << search_table(results, ranks, data) << std::flush;
    const CheckSettings* settings = check ? &*check : nullptr;
    if (!o.csv.empty() && !write_output(o.csv, search_csv(results, ranks), "table")) {
      status = kFailureStatus;
    }
    if (!o.json.empty() &&
        !write_output(o.json, search_json(results, ranks, data, settings).dump(), "results")) {
      status = kFailureStatus;
    }
  } catch (const numlib::ProgramStop& stop) {
    status = stop.status;
    if (!o.json.empty()) {
      write_output(o.json, stop_json(stop.status, messages.text(), nullptr, nullptr, 0).dump(),
                   "results");
    }
  } catch (const std::exception& error) {
    status = kFailureStatus;
    const std::string note = failure_note(error);
    if (!o.json.empty()) {
      write_output(o.json, stop_json(status, note, nullptr, nullptr, 0).dump(), "results");
    }
  }
  if (!std::cout.flush() && status == 0) {
    std::cerr << "mapfit: cannot write the standard output\n";
    status = kFailureStatus;
  }
  return status;
}

}  // namespace scripting
