// mapfit fit: one model from the command line, fitted and checked as the dialogue would fit
// and check it for the same answers, with the same blocks appended to report.txt, a short
// summary, and all results as JSON on request.

#include <chrono>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dialogue/answer_checks.h"
#include "dialogue/report_file.h"
#include "model/delay.h"
#include "model/least_squares_triangle.h"
#include "numlib/fields.h"
#include "numlib/stop.h"
#include "scripting/command_common.h"
#include "scripting/commands.h"
#include "scripting/options.h"
#include "scripting/plot_file.h"
#include "scripting/result_json.h"
#include "scripting/terms.h"

namespace scripting {
namespace {

using i64 = std::int64_t;

struct FitOptions {
  std::optional<int> Ntrain, D;
  int T = 1;
  std::optional<int> nu, mu;
  bool rational = false;
  bool kind_given = false;
  CheckOptions check;
  model::TermSelection select = model::TermSelection::none;
  std::optional<int> max_terms;
  std::string json;  // "" none, "-" standard output
  bool report = true;
  std::string plot;
  bool help = false;
};

FitOptions parse(int argc, char** argv, std::string& series) {
  FitOptions o;
  using dialogue::kLengthFieldWidth, dialogue::kOrderFieldWidth;
  const auto kind = [&](bool rational) {
    if (o.kind_given && o.rational != rational) {
      throw UsageError{"only one of --poly and --rational can be given"};
    }
    o.kind_given = true;
    o.rational = rational;
  };
  std::vector<OptionRule> rules = {
      {"--help", false, [&](std::string_view) { o.help = true; }},
      {"-h", false, [&](std::string_view) { o.help = true; }},
      {"--ntrain", true,
       [&](std::string_view v) { o.Ntrain = field_value("--ntrain", v, kLengthFieldWidth); }},
      {"--dim", true, [&](std::string_view v) { o.D = field_value("--dim", v, kOrderFieldWidth); }},
      {"--delay", true,
       [&](std::string_view v) { o.T = field_value("--delay", v, kLengthFieldWidth); }},
      {"--poly", true,
       [&](std::string_view v) {
         kind(false);
         o.nu = field_value("--poly", v, kOrderFieldWidth);
       }},
      {"--rational", true,
       [&](std::string_view v) {
         kind(true);
         const auto [nu, mu] = field_pair("--rational", v, kOrderFieldWidth, false);
         o.nu = nu.front();
         o.mu = mu.front();
       }},
      {"--select", true, [&](std::string_view v) { o.select = selection_value(v); }},
      {"--max-terms", true,
       [&](std::string_view v) { o.max_terms = field_value("--max-terms", v, kLengthFieldWidth); }},
      {"--json", true,
       [&](std::string_view v) {
         if (v.empty()) throw UsageError{"option --json needs a file name or -"};
         o.json = v;
       }},
      {"--no-report", false, [&](std::string_view) { o.report = false; }},
      {"--plot", true,
       [&](std::string_view v) {
         if (v.empty()) throw UsageError{"option --plot needs a file name"};
         o.plot = v;
       }},
  };
  for (OptionRule& rule : check_option_rules(o.check)) rules.push_back(std::move(rule));
  const std::vector<std::string> operands = parse_command_line(argc, argv, rules);
  if (o.help) return o;
  if (operands.size() != 1) throw UsageError{"needs exactly one series file"};
  series = operands.front();
  if (!o.Ntrain) throw UsageError{"option --ntrain is required"};
  if (!o.D) throw UsageError{"option --dim is required"};
  if (!o.kind_given) throw UsageError{"one of --poly and --rational is required"};
  if (!o.check.check) {
    if (o.check.Ltest || o.check.Ktest || o.check.Stest) {
      throw UsageError{"options --ltest, --ktest and --stest need --check"};
    }
    if (!o.plot.empty()) throw UsageError{"option --plot needs --check"};
  }
  if (o.max_terms && o.select == model::TermSelection::none) {
    throw UsageError{"option --max-terms needs --select"};
  }
  return o;
}

// The values of the options checked as the dialogue's questions check them, in their order.
ModelChoice validated_choice(const FitOptions& o, const dialogue::Series& series) {
  const int Ntrain = *o.Ntrain;
  if (!dialogue::ntrain_accepted(Ntrain, series.N)) {
    throw UsageError{refusal("--ntrain", std::to_string(Ntrain),
                             "needs 2 <= Ntrain <= N = " + std::to_string(series.N))};
  }
  ModelChoice choice;
  choice.D = *o.D;
  choice.T = o.T;
  if (choice.T < 1) throw UsageError{refusal("--delay", std::to_string(choice.T), "needs T >= 1")};
  const i64 span = model::delay_window(choice.D, choice.T);
  if (!dialogue::dimension_accepted(choice.D, span, Ntrain)) {
    throw UsageError{refusal(
        "--dim", std::to_string(choice.D),
        choice.T > 1 ? "needs D >= 1 and (D-1)T + 1 <= Ntrain - 1 = " + std::to_string(Ntrain - 1)
                     : "needs 1 <= D <= Ntrain - 1 = " + std::to_string(Ntrain - 1))};
  }
  const std::string points = std::to_string(Ntrain - span);
  choice.kind = o.rational ? model::ModelKind::rational : model::ModelKind::polynomial;
  choice.nu = *o.nu;
  const std::string kind_option = o.rational ? "--rational" : "--poly";
  const std::string shown =
      o.rational ? std::to_string(*o.nu) + "," + std::to_string(*o.mu) : std::to_string(*o.nu);
  if (choice.nu < 0) throw UsageError{refusal(kind_option, shown, "needs orders >= 0")};
  const i64 Pnum = dialogue::monomial_count(choice.D, choice.nu);
  if (Pnum < 0 || !dialogue::count_fits(Pnum, Ntrain, span)) {
    throw UsageError{refusal(kind_option, shown,
                             "needs at most as many coefficients as training points, " + points)};
  }
  if (o.rational) {
    choice.mu = *o.mu;
    if (choice.mu < 0) throw UsageError{refusal(kind_option, shown, "needs orders >= 0")};
    const i64 count = dialogue::monomial_count(choice.D, choice.mu);
    if (count < 0 || !dialogue::count_fits(Pnum + count - 1, Ntrain, span)) {
      throw UsageError{refusal(kind_option, shown,
                               "needs at most as many coefficients as training points, " + points)};
    }
  }
  choice.select = o.select;
  if (o.max_terms) {
    if (*o.max_terms < 1) {
      throw UsageError{refusal("--max-terms", std::to_string(*o.max_terms), "needs at least 1")};
    }
    choice.max_terms = *o.max_terms;
  }
  return choice;
}

void summary(const ModelResult& r, const SeriesData& data) {
  const ModelChoice& s = r.choice;
  const bool rational = s.kind == model::ModelKind::rational;
  std::cout << ' ' << data.file << ": " << data.N << " values, Ntrain = " << data.Ntrain << '\n';
  std::cout << " D = " << s.D << ", delay " << s.T << ", "
            << (rational
                    ? "rational, nu = " + std::to_string(s.nu) + ", mu = " + std::to_string(s.mu)
                    : "standard polynomial, nu = " + std::to_string(s.nu))
            << ": " << r.map.P << " coefficients\n";
  if (s.select != model::TermSelection::none) {
    const std::vector<Term> terms = model_terms(r.map, s.T);
    std::cout << ' ' << (s.select == model::TermSelection::forward ? "Forward" : "Backward")
              << " selection kept " << r.kept.size() << " terms:";
    for (std::size_t i = 0; i < r.kept.size(); ++i) {
      const Term& t = terms[static_cast<std::size_t>(r.kept[i] - 1)];
      std::cout << (i == 0 ? " " : ", ") << (t.denominator ? "den " : "") << t.name;
    }
    std::cout << '\n';
  }
  std::cout << " Error of approximation: " << numlib::format_percent(r.error_train) << '\n';
  if (r.checked) {
    std::cout << " Error of approximation (test): " << numlib::format_percent(r.error_test) << '\n';
    std::cout << " Prediction time: " << numlib::format_I(r.prediction_time, 4) << '\n';
    std::cout << " Number of infinite solutions: " << numlib::format_I(r.infinite_solutions, 4)
              << '\n';
  }
  std::cout << std::flush;
}

}  // namespace

int run_fit(int argc, char** argv) {
  std::string name;
  FitOptions o;
  if (const auto status = read_options(
          "mapfit fit", [&] { return parse(argc, argv, name); }, fit_help, o)) {
    return *status;
  }

  const auto start = std::chrono::steady_clock::now();
  const bool json_on_stdout = o.json == "-";
  LibraryMessages messages(json_on_stdout);
  dialogue::Series series;
  std::optional<SeriesData> data;
  std::optional<ModelChoice> choice;
  int status = 0;
  try {
    ModelResult r;
    CheckSettings check;
    try {
      open_series(series, name);
      choice = validated_choice(o, series);
      const i64 span = model::delay_window(choice->D, choice->T);
      const i64 R = static_cast<i64>(series.N) - *o.Ntrain;
      i64 count = *o.Ntrain;
      if (o.check.check) {
        if (!dialogue::check_offered(R, span)) {
          throw UsageError{"option --check needs more than " + std::to_string(span) +
                           " values after the training part, " + std::to_string(R) + " follow it"};
        }
        check = check_settings(o.check, R, choice->D, choice->T);
        count += (static_cast<i64>(check.Ktest) - 1) * check.Stest + check.Ltest + 1;
      }
      data = load_series(series, *o.Ntrain, static_cast<int>(count));
    } catch (const UsageError& error) {
      std::cerr << "mapfit fit: " << error.message << '\n';
      return kUsageStatus;
    }

    r.choice = *choice;
    std::optional<dialogue::ReportFile> report;
    if (o.report) {
      report.emplace();
      report->write_training(data->Ntrain);
      report->write_dimension(choice->D);
      if (choice->T > 1) report->write_delay(choice->T);
    }
    const model::DelayEmbedding train = training_points(*data, choice->D, choice->T);
    if (choice->select == model::TermSelection::none) {
      fit_as_dialogue(r, train);
    } else {
      const auto t_start = std::chrono::steady_clock::now();
      const numlib::LeastSquaresTriangle t = model::least_squares_triangle(
          train.A.data(), choice->D, choice->D, train.N, train.Y.data(), choice->nu,
          choice->kind == model::ModelKind::rational ? choice->mu : 0);
      r.fit_seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - t_start).count();
      fit_from_triangle(r, t, train);
    }
    if (report) report->write_model(r.map, r.error_train);

    std::optional<PlotFile> plot;
    if (!o.plot.empty()) plot.emplace(o.plot);
    if (o.check.check) {
      check_model(r, *data, check, plot ? &*plot : nullptr);
      if (report) {
        report->write_test_error(r.error_test);
        report->write_test_block(check.Ltest, check.Ktest, check.Stest, r.prediction_time,
                                 r.infinite_solutions);
      }
    }
    if (report) report->write_closing_and_close();
    if (plot && !plot->saved()) status = kFailureStatus;

    if (!json_on_stdout) summary(r, *data);
    if (!o.json.empty()) {
      r.total_seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      const Json result = result_json(r, *data, o.check.check ? &check : nullptr);
      if (!write_output(o.json, result.dump(), "results")) status = kFailureStatus;
    }
  } catch (const numlib::ProgramStop& stop) {
    status = stop.status;
    if (!o.json.empty()) {
      write_output(o.json,
                   stop_json(stop.status, messages.text(), data ? &*data : nullptr,
                             choice ? &*choice : nullptr, o.Ntrain.value_or(0))
                       .dump(),
                   "results");
    }
  } catch (const std::exception& error) {
    status = kFailureStatus;
    const std::string note = failure_note(error);
    if (!o.json.empty()) {
      write_output(o.json,
                   stop_json(status, note, data ? &*data : nullptr, choice ? &*choice : nullptr,
                             o.Ntrain.value_or(0))
                       .dump(),
                   "results");
    }
  }
  if (!std::cout.flush() && status == 0) {
    std::cerr << "mapfit: cannot write the standard output\n";
    status = kFailureStatus;
  }
  return status;
}

}  // namespace scripting
