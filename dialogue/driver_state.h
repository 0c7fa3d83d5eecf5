#pragma once
// What the dialogue driver holds for the whole run, and its steps. Each step does its work and
// returns the step that follows it.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "dialogue/report_file.h"
#include "dialogue/series_file.h"
#include "model/model_map.h"
#include "numlib/progress.h"
#include "plot/window_system.h"

namespace dialogue {

// The user's current choices. Ltest, Ktest and Stest keep their last values for the whole run.
struct RunSettings {
  int Ntrain = 0;
  int D = 0;
  model::ModelKind kind = model::ModelKind::polynomial;
  int nu = 0;
  int mu = 0;
  int Ltest = 30;
  int Ktest = 100;
  int Stest = 1;
};

enum class Step { start, train, dim, model, q5, show, change, check, q8, q9, q10, q11, q12, end };

struct DialogueState {
  DialogueState(plot::WindowSystem& w, std::deque<std::string> args)
      : windows(w), arguments(std::move(args)), report("report.txt", &w) {}

  plot::WindowSystem& windows;
  std::deque<std::string> arguments;
  RunSettings settings;
  Series series;
  ReportFile report;
  model::ModelMap map;
  double training_error = 0.0;  // the fit's error of approximation on the training series
  double test_error = 0.0;      // the model's error of approximation on the test series
  model::DelayView train;       // X and Y, seen in series.values
  model::DelayEmbedding test;   // XT and YT
  std::vector<double> E;
  bool test_ready = false;
  bool settings_changed = false;
  int prediction_time = 0;
  int infinite_solutions = 0;
};

// Number of values after the training part.
inline std::int64_t values_after_training(const DialogueState& s) {
  return static_cast<std::int64_t>(s.series.N) - s.settings.Ntrain;
}

// Releases XT, YT and E; the test data is then not ready.
void release_test_data(DialogueState& s);

// Marks long work for the front end's progress indicator, also when the work throws, and
// connects the numerical library's progress reports and stop checks to the front end for as
// long as the work lasts.
class WorkScope {
 public:
  WorkScope(plot::WindowSystem& windows, std::string_view what) : windows_(windows) {
    windows_.work_begins(what);
    numlib::set_work_hooks(
        [&w = windows_](std::int64_t done, std::int64_t total) { w.work_progress(done, total); },
        [&w = windows_] { return w.stop_requested(); });
  }
  ~WorkScope() {
    numlib::set_work_hooks(nullptr, nullptr);
    windows_.work_ends();
  }
  WorkScope(const WorkScope&) = delete;
  WorkScope& operator=(const WorkScope&) = delete;

 private:
  plot::WindowSystem& windows_;
};

// Does `step` and returns the step that follows it.
Step run_step(DialogueState& s, Step step);
Step step_model(DialogueState& s);   // question 3 and the fit
Step step_show(DialogueState& s);    // question 6
Step step_change(DialogueState& s);  // question 7
Step step_check(DialogueState& s);   // the efficiency check

}  // namespace dialogue
