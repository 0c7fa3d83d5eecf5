// Step Model (question 3): the kind of function, its orders with their coefficient counts, the
// fit, and the error of approximation.

#include <cstdint>

#include "dialogue/answer_checks.h"
#include "dialogue/ask.h"
#include "dialogue/driver.h"
#include "dialogue/driver_state.h"
#include "model/fits.h"
#include "numlib/error_stack.h"
#include "numlib/fields.h"
#include "numlib/progress.h"

namespace dialogue {
namespace {

constexpr int kUnit = kDialogueUnit;

void ask_kind(DialogueState& s) {
  write_line(s.windows, kUnit, "3) You can select one of the following");
  write_line(s.windows, kUnit, "   functions for approximation:");
  write_line(s.windows, kUnit, "   1 - standard polynomial");
  write_line(s.windows, kUnit, "   2 - rational");
  int choice = 0;
  for (;;) {
    ASKINT(s.windows, kUnit, "(I1)", "   Select a function: ", choice);
    if (function_accepted(choice)) break;
    write_incorrect_input(s.windows, kUnit);
  }
  s.settings.kind = static_cast<model::ModelKind>(choice);
}

// Asks an order until it is non-negative and `fits(count)` holds; returns the count.
template <typename Fits>
std::int64_t ask_order(DialogueState& s, std::string_view prompt, int& order, Fits fits) {
  for (;;) {
    ASKINT(s.windows, kUnit, "(I2)", prompt, order);
    // A negative order is refused before any factorial is taken.
    if (order >= 0) {
      const std::int64_t count = monomial_count(s.settings.D, order);
      if (count >= 0 && fits(count)) return count;
    }
    write_incorrect_input(s.windows, kUnit);
  }
}

void fit(DialogueState& s) {
  RunSettings& rs = s.settings;
  model::ModelMap& map = s.map;
  map.COEF.assign(static_cast<std::size_t>(map.P), 0.0);
  map.W.assign(static_cast<std::size_t>(map.P) + 1, 0.0);
  const int n = s.train.N;
  WorkScope work(s.windows, "Fitting the model map");
  if (map.kind == model::ModelKind::polynomial) {
    model::POLYFIT(s.train.A, s.train.LDA, rs.D, n, s.train.Y, map.COEF.data(), map.P,
                   model::MONOMIALS, map.nu, s.training_error);
  } else {
    model::RATFIT(s.train.A, s.train.LDA, rs.D, n, s.train.Y, map.COEF.data(), map.Pnum,
                  model::MONOMIALS, map.nu, map.Pden, model::MONOMIALS, map.mu, s.training_error);
    // The error of a rational map is that of the quotient itself, not of the linearised fit.
    model::APPROXERR(s.train.A, s.train.LDA, rs.D, n, s.train.Y, map.kind, map.COEF.data(), map.P,
                     map.Pnum, map.Pden, map.nu, map.mu, s.training_error);
  }
}

}  // namespace

Step step_model(DialogueState& s) {
  RunSettings& rs = s.settings;
  ask_kind(s);
  std::int64_t Pnum = 0;
  std::int64_t Pden = 0;
  if (rs.kind == model::ModelKind::rational) {
    Pnum = ask_order(s, "   Order of the numerator polynomial: ", rs.nu,
                     [&](std::int64_t count) { return count_fits(count, rs.Ntrain, rs.D); });
    // Only the denominator question is repeated after a rejection; the numerator order stands.
    Pden = ask_order(
               s, "   Order of the denominator polynomial: ", rs.mu,
               [&](std::int64_t count) { return count_fits(Pnum + count - 1, rs.Ntrain, rs.D); }) -
           1;
  } else {
    Pnum = ask_order(s, "   Order of the polynomial: ", rs.nu,
                     [&](std::int64_t count) { return count_fits(count, rs.Ntrain, rs.D); });
    rs.mu = 0;
  }

  model::ModelMap& map = s.map;
  map.kind = rs.kind;
  map.D = rs.D;
  map.nu = rs.nu;
  map.mu = rs.mu;
  // Both counts are at most Ntrain - D here, so they fit an int.
  map.Pnum = static_cast<int>(Pnum);
  map.Pden = static_cast<int>(Pden);
  map.P = map.Pnum + map.Pden;
  const int level = numlib::error_stack_level();
  try {
    fit(s);
  } catch (const numlib::WorkStopped&) {
    // The fit was abandoned: nothing of it is reported, and question 3 is asked again.
    numlib::unwind_error_stack(level);
    return Step::model;
  }

  s.report.write_model(map, s.training_error);
  write_line(s.windows, kUnit,
             "Error of approximation: " + numlib::format_percent(s.training_error));
  return values_after_training(s) > rs.D ? Step::q5 : Step::q9;
}

}  // namespace dialogue
