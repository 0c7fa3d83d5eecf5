#include "dialogue/driver.h"

#include <string>

#include "dialogue/answer_checks.h"
#include "dialogue/ask.h"
#include "dialogue/driver_state.h"
#include "numlib/fields.h"

namespace dialogue {
namespace {

constexpr int kUnit = kDialogueUnit;

// A new time series: choose the file, prepare the dialogue window, count the values; a file
// that cannot be used sends us back to the choice.
Step step_start(DialogueState& s) {
  for (;;) {
    choose_series(s.series, s.arguments, s.windows);
    s.windows.OPENWINDOW(kUnit, "Input Window", true);
    s.windows.PLACEWINDOW(kUnit, plot::kDialoguePlace);
    s.windows.SETBACKCOLOR(plot::kWhite);
    s.windows.CLEARWINDOW(0);
    s.windows.SETTEXTCOLOR(plot::kBlack);
    s.windows.SHOWCURSOR(1);
    const CountResult counted = count_series(s.series);
    if (counted == CountResult::counted) break;
    if (counted == CountResult::unreadable_line) write_incorrect_input(s.windows, kUnit);
  }
  write_line(s.windows, kUnit,
             "The time series contains " + numlib::format_I(s.series.N, 5) + " values");
  return Step::train;
}

Step step_train(DialogueState& s) {
  int& Ntrain = s.settings.Ntrain;
  for (;;) {
    ASKINT(s.windows, kUnit, "(I6)", "1) Length of a training series: Ntrain = ", Ntrain);
    if (ntrain_accepted(Ntrain, s.series.N)) break;
    write_incorrect_input(s.windows, kUnit);
  }
  s.report.write_training(Ntrain);
  load_training(s.series, Ntrain);
  return Step::dim;
}

Step step_dim(DialogueState& s) {
  s.test_ready = false;
  int& D = s.settings.D;
  for (;;) {
    ASKINT(s.windows, kUnit, "(I2)", "2) Dimension of a model map: D = ", D);
    if (dimension_accepted(D, D, s.settings.Ntrain)) break;
    write_incorrect_input(s.windows, kUnit);
  }
  s.report.write_dimension(D);
  s.train = model::view_delays(s.series.values, D);
  return Step::model;
}

Step step_q5(DialogueState& s) {
  return ask_yes_no(s.windows, kUnit, "5) Check model efficiency? (y/n) ") ? Step::show : Step::q9;
}

Step step_q8(DialogueState& s) {
  return ask_yes_no(s.windows, kUnit, "8) Check again? (y/n) ") ? Step::show : Step::q9;
}

Step step_q9(DialogueState& s) {
  // A different model keeps X, Y and the test data.
  return ask_yes_no(s.windows, kUnit, "9) Different model? (y/n) ") ? Step::model : Step::q10;
}

Step step_q10(DialogueState& s) {
  const bool yes = ask_yes_no(s.windows, kUnit, "10) Different dimension of a model? (y/n) ");
  s.train = model::DelayView{};
  release_test_data(s);
  return yes ? Step::dim : Step::q11;
}

Step step_q11(DialogueState& s) {
  const bool yes = ask_yes_no(s.windows, kUnit, "11) Different length Ntrain? (y/n) ");
  s.series.values = std::vector<double>{};
  return yes ? Step::train : Step::q12;
}

Step step_q12(DialogueState& s) {
  const bool yes = ask_yes_no(s.windows, kUnit, "12) Different time series? (y/n) ");
  s.report.write_closing_and_close();
  close_series(s.series);
  return yes ? Step::start : Step::end;
}

}  // namespace

void release_test_data(DialogueState& s) {
  s.test = model::DelayEmbedding{};
  s.E = std::vector<double>{};
  s.test_ready = false;
}

void run_dialogue(plot::WindowSystem& windows, std::deque<std::string> arguments) {
  // Everything the dialogue holds lives here: a stop of the program (an exception) closes the
  // report and the series file on its way out, with every line written so far.
  DialogueState s(windows, std::move(arguments));
  Step step = Step::start;
  while (step != Step::end) {
    try {
      step = run_step(s, step);
    } catch (const plot::NewSeriesRequested& request) {
      // As "y" to question 12: the report's closing line, then the new file.
      s.train = model::DelayView{};
      release_test_data(s);
      s.series.values = std::vector<double>{};
      s.report.write_closing_and_close();
      close_series(s.series);
      s.arguments.push_front(request.file);
      step = Step::start;
    }
  }
}

Step run_step(DialogueState& s, Step step) {
  switch (step) {
    case Step::start:
      return step_start(s);
    case Step::train:
      return step_train(s);
    case Step::dim:
      return step_dim(s);
    case Step::model:
      return step_model(s);
    case Step::q5:
      return step_q5(s);
    case Step::show:
      return step_show(s);
    case Step::change:
      return step_change(s);
    case Step::check:
      return step_check(s);
    case Step::q8:
      return step_q8(s);
    case Step::q9:
      return step_q9(s);
    case Step::q10:
      return step_q10(s);
    case Step::q11:
      return step_q11(s);
    case Step::q12:
      return step_q12(s);
    case Step::end:
      break;
  }
  return Step::end;
}

}  // namespace dialogue
