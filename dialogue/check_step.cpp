// Steps Show, Change and Check (questions 6 and 7 and the efficiency check). All sizes and
// range checks are formed in 64-bit integers, so that no product of settings can wrap around
// into an accepted value.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "dialogue/answer_checks.h"
#include "dialogue/ask.h"
#include "dialogue/driver.h"
#include "dialogue/driver_state.h"
#include "model/predtest.h"
#include "numlib/error_stack.h"
#include "numlib/fields.h"
#include "plot/plots.h"

namespace dialogue {
namespace {

constexpr int kUnit = kDialogueUnit;

using i64 = std::int64_t;

// Values the test pieces need after the training part, beyond the D of the first state.
i64 span_of_pieces(const RunSettings& rs) {
  return (static_cast<i64>(rs.Ktest) - 1) * rs.Stest + rs.Ltest;
}

// Asks one test setting through "(I6)" until `accept(value)` holds.
template <typename Accept>
void ask_setting(DialogueState& s, std::string_view prompt, int& value, Accept accept) {
  for (;;) {
    ASKINT(s.windows, kUnit, "(I6)", prompt, value);
    if (accept(static_cast<i64>(value))) return;
    write_incorrect_input(s.windows, kUnit);
  }
}

void build_test_data(DialogueState& s) {
  const RunSettings& rs = s.settings;
  release_test_data(s);
  const i64 NT = span_of_pieces(rs) + rs.D + 1;
  std::vector<double> T = read_test_series(s.series, rs.Ntrain, rs.D, NT);
  s.test = model::embed(T, rs.D);
  s.E.assign(static_cast<std::size_t>(rs.Ltest), 0.0);
  // T is released here; only XT, YT and E are kept.
  s.test_ready = true;
  s.settings_changed = false;
}

// Storage for the check that cannot be had (the test series and its delay matrix, the work of
// the predictions): the storage error of PREDTEST, with the settings that size the test data,
// after the error stack is put back to `level` (the exception left routines unpopped).
void check_storage_error(const RunSettings& rs, int level) {
  numlib::unwind_error_stack(level);
  numlib::E1PSH("PREDTEST");
  numlib::E1ARGI(1, static_cast<int>(span_of_pieces(rs) + rs.D + 1));
  numlib::E1ARGI(2, rs.Ltest);
  numlib::E1ARGI(3, rs.Ktest);
  numlib::E1ARGI(4, rs.Stest);
  numlib::E1MES(5, 2,
                "The required storage cannot be allocated.  The test series has %(I1) values for "
                "Ltest = %(I2), Ktest = %(I3) and Stest = %(I4).");
  numlib::E1POP("PREDTEST");
}

}  // namespace

Step step_show(DialogueState& s) {
  const RunSettings& rs = s.settings;
  write_line(s.windows, kUnit, "6) Current settings are:");
  write_line(s.windows, kUnit,
             "   Ltest = " + numlib::format_I(rs.Ltest, 5) + ", Ktest = " +
                 numlib::format_I(rs.Ktest, 4) + ", Stest = " + numlib::format_I(rs.Stest, 4));
  // Settings that do not fit this series are asked again at once, without a question.
  if (!test_settings_fit(rs.Ltest, rs.Ktest, rs.Stest, values_after_training(s), rs.D)) {
    return Step::change;
  }
  return ask_yes_no(s.windows, kUnit, "   Change settings? (y/n) ") ? Step::change : Step::check;
}

Step step_change(DialogueState& s) {
  RunSettings& rs = s.settings;
  const i64 R = values_after_training(s);
  const i64 D = rs.D;
  ask_setting(s, "7) The length of a test piece: Ltest = ", rs.Ltest,
              [&](i64 Ltest) { return ltest_accepted(Ltest, R, D); });
  ask_setting(s, "    The number of test pieces: Ktest = ", rs.Ktest,
              [&](i64 Ktest) { return ktest_accepted(Ktest, rs.Ltest, R, D); });
  if (rs.Ktest > 1) {
    ask_setting(s, "    Shift between test pieces: Stest = ", rs.Stest,
                [&](i64 Stest) { return stest_accepted(Stest, rs.Ktest, rs.Ltest, R, D); });
  } else {
    rs.Stest = 1;
  }
  s.settings_changed = true;
  return Step::check;
}

namespace {

// The model map a picture shows, e.g. "D=2, polynomial nu=2, Ntrain=500".
std::string picture_caption(const DialogueState& s) {
  const model::ModelMap& map = s.map;
  std::string caption = "D=" + std::to_string(map.D) + ", ";
  caption += map.kind == model::ModelKind::rational
                 ? "rational nu=" + std::to_string(map.nu) + " mu=" + std::to_string(map.mu)
                 : "polynomial nu=" + std::to_string(map.nu);
  return caption + ", Ntrain=" + std::to_string(s.settings.Ntrain);
}

// A number as CSV takes it: the shortest form that reads back to the same double.
std::string csv_number(double v) {
  char text[32];
  for (int digits = 6; digits <= 17; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, v);
    if (std::strtod(text, nullptr) == v) break;
  }
  return text;
}

// The numbers of the four panels as CSV: the original phase orbit (x1(k), x1(k+1)), the
// original series xD(n) over the test piece, the model's free run from the first test vector
// (its phase orbit and series, up to where it leaves 100 times the data's range, as drawn),
// and the prediction error E(n).
std::string picture_numbers(const DialogueState& s, const model::MapRoutine& mapstep) {
  const int D = s.settings.D;
  const int L = s.settings.Ltest;
  const int NT = s.test.N + D;
  const double* XT = s.test.A.data();
  const auto xt = [&](int i, int j) { return XT[static_cast<std::size_t>(j - 1) * D + (i - 1)]; };
  std::string csv = "panel,index,x,y\n";
  const auto row = [&](const char* panel, int index, double x, double y) {
    csv += std::string(panel) + ',' + std::to_string(index) + ',' + csv_number(x) + ',' +
           csv_number(y) + '\n';
  };
  const int ncols = NT - D;  // delay vectors of the test series
  for (int k = 1; k <= ncols - 1; ++k) row("original phase orbit", k, xt(1, k), xt(1, k + 1));
  for (int k = 1; k <= std::min(L + 1, ncols); ++k) row("original series", k, k - 1, xt(D, k));
  double lo = XT[0], hi = XT[0];
  for (int i = 0; i < D * ncols; ++i) {
    lo = std::min(lo, XT[i]);
    hi = std::max(hi, XT[i]);
  }
  const double limit = 100 * std::max(std::abs(lo), std::abs(hi));
  std::vector<double> cur(XT, XT + D), nxt(static_cast<std::size_t>(D));
  row("model series", 1, 0, cur[D - 1]);
  for (int step = 2; step <= ncols; ++step) {
    if (std::any_of(cur.begin(), cur.end(), [&](double c) { return std::abs(c) > limit; })) break;
    mapstep(D, step, cur.data(), nxt.data());
    row("model phase orbit", step - 1, cur[0], nxt[0]);
    if (step <= L + 1) row("model series", step, step - 1, nxt[D - 1]);
    cur = nxt;
  }
  for (int n = 1; n <= L; ++n) row("prediction error", n, n, s.E[static_cast<std::size_t>(n - 1)]);
  return csv;
}

// The efficiency check itself: test data, plots, predictions, report and window lines.
void check(DialogueState& s) {
  const RunSettings& rs = s.settings;
  WorkScope work(s.windows, "Checking the model efficiency");
  if (s.settings_changed || !s.test_ready) build_test_data(s);
  const int NT = s.test.N + rs.D;
  const double* XT = s.test.A.data();

  plot::PLOTORIGINAL(s.windows, XT, rs.D, NT, rs.Ltest);
  const model::ModelMap& map = s.map;
  model::APPROXERR(XT, rs.D, rs.D, NT - rs.D, s.test.Y.data(), map.kind, map.COEF.data(), map.P,
                   map.Pnum, map.Pden, map.nu, map.mu, s.test_error);
  s.report.write_test_error(s.test_error);
  write_line(s.windows, kUnit,
             "Error of approximation (test): " + numlib::format_percent(s.test_error));

  const model::MapRoutine mapstep = model::bind_mapstep(s.map);
  s.windows.FOCUSWINDOW(plot::kPlotUnit);
  plot::plot_model_in_panels(s.windows, XT, rs.D, rs.Ltest, NT - rs.D, mapstep);
  model::PREDTEST(XT, rs.D, rs.Ltest, rs.Stest, rs.Ktest, s.map, s.E.data(), s.prediction_time,
                  s.infinite_solutions);
  plot::PLOTERROR(s.windows, s.E.data(), rs.Ltest);
  s.windows.describe_picture(plot::kPlotUnit, picture_caption(s));
  s.windows.picture_numbers(plot::kPlotUnit, picture_numbers(s, mapstep));
  s.windows.picture_scale(plot::kPlotUnit, plot::panel_scale(XT, rs.D, NT, rs.Ltest));
  s.windows.picture_done(plot::kPlotUnit);
  s.report.write_test_block(rs.Ltest, rs.Ktest, rs.Stest, s.prediction_time, s.infinite_solutions);

  write_line(s.windows, kUnit, "Prediction time: " + numlib::format_I(s.prediction_time, 4));
  write_line(s.windows, kUnit,
             "Number of infinite solutions: " + numlib::format_I(s.infinite_solutions, 4));
}

}  // namespace

Step step_check(DialogueState& s) {
  const int level = numlib::error_stack_level();
  try {
    check(s);
  } catch (const std::bad_alloc&) {
    check_storage_error(s.settings, level);
  } catch (const numlib::WorkStopped&) {
    // The check was abandoned: its test data is built afresh next time, and question 6 is
    // asked again.
    numlib::unwind_error_stack(level);
    release_test_data(s);
    return Step::show;
  }
  return Step::q8;
}

}  // namespace dialogue
