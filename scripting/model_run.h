#pragma once
// One model of a scripting command: what it is, how it is fitted (as the dialogue fits it, or
// from a least-squares triangle, with or without term selection), its errors and criteria, and
// its efficiency check.

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "model/model_map.h"
#include "model/term_selection.h"
#include "numlib/ls_triangle.h"
#include "plot/window_system.h"

namespace scripting {

// The series as the commands use it: its file, length and digest, and the values x(1 .. count)
// that the training part and the check need.
struct SeriesData {
  std::string file;
  int N = 0;
  std::string sha256;
  int Ntrain = 0;
  std::vector<double> x;
};

struct ModelChoice {
  int D = 1;
  int T = 1;  // delay between the arguments
  model::ModelKind kind = model::ModelKind::polynomial;
  int nu = 0;
  int mu = 0;
  model::TermSelection select = model::TermSelection::none;
  int max_terms = std::numeric_limits<int>::max();
};

struct CheckSettings {
  int Ltest = 30;
  int Ktest = 100;
  int Stest = 1;
};

struct ModelResult {
  ModelChoice choice;
  model::ModelMap map;      // every coefficient of the basis; a dropped term's is 0
  std::vector<int> kept;    // positions (1-based) of the kept coefficients, ascending
  std::string failure;      // why no model could be fitted (empty when one was)
  std::int64_t points = 0;  // training points
  double error_train = std::numeric_limits<double>::quiet_NaN();
  double residual = std::numeric_limits<double>::quiet_NaN();  // sum of squares, training
  double aic = std::numeric_limits<double>::quiet_NaN();
  double bic = std::numeric_limits<double>::quiet_NaN();
  bool checked = false;
  double error_test = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> E;
  int prediction_time = 0;
  int infinite_solutions = 0;
  double fit_seconds = 0.0;
  double check_seconds = 0.0;
  double total_seconds = 0.0;  // the whole command, when it ran for this model alone
};

// The ModelMap of a choice with its counts set and its coefficients zero.
model::ModelMap empty_map(const ModelChoice& choice);

// The training points of a map of dimension D with delay T: the embedding of x(1 .. Ntrain).
model::DelayEmbedding training_points(const SeriesData& data, int D, int T);

// Fits as the dialogue does: POLYFIT, or RATFIT followed by APPROXERR on the training points.
// A numerical error stops the program (numlib::ProgramStop).
void fit_as_dialogue(ModelResult& r, const model::DelayEmbedding& train);

// Fits from a triangle whose columns are those of the choice's model (the fit's matrix for its
// orders): all of them, or those that the choice's term selection keeps. The error of
// approximation is computed from the coefficients, over the training points, as APPROXERR does.
// An exactly singular triangle without selection leaves the model failed.
void fit_from_triangle(ModelResult& r, const numlib::LeastSquaresTriangle& t,
                       const model::DelayEmbedding& train);

// The criteria of the fitted model from its training residual.
void set_criteria(ModelResult& r, const model::DelayEmbedding& train);

// The efficiency check: the test error, the prediction error curve, the prediction time and
// the number of infinite solutions. With `plot`, the four panels are drawn there as the
// dialogue draws them and picture_done is called.
void check_model(ModelResult& r, const SeriesData& data, const CheckSettings& settings,
                 plot::WindowSystem* plot);

}  // namespace scripting
