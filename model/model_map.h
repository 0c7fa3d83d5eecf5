#pragma once
// The fitted model map x(n+1) = F(x(n-D+1) .. x(n)), its delay embedding and its evaluation.

#include <functional>
#include <span>
#include <vector>

namespace model {

enum class ModelKind { polynomial = 1, rational = 2 };

struct ModelMap {
  ModelKind kind = ModelKind::polynomial;
  int D = 0;
  int nu = 0;
  int mu = 0;
  int Pnum = 0;
  int Pden = 0;
  int P = 0;
  std::vector<double> COEF;  // P coefficients in basis order (sized by the caller from P)
  std::vector<double> W;     // MAPSTEP's work area: P values (polynomial) or P + 1 (rational)
};

// Delay embedding of x(1..n): A is D by n-D column-major, A(i, j) = x(j+i-1); Y(j) = x(j+D).
struct DelayEmbedding {
  int D = 0;
  int N = 0;  // number of columns, n - D
  std::vector<double> A;
  std::vector<double> Y;
};
DelayEmbedding embed(std::span<const double> x, int D);

// The same points seen in place in the series, without a copy: point j (0-based) is
// x(j+1) .. x(j+D) at A + j LDA with LDA = 1 (consecutive points overlap), Y(j) = x(j+D+1) at
// Y + j. Valid while x is; a series of at most D values gives N = 0.
struct DelayView {
  int D = 0;
  int N = 0;
  const double* A = nullptr;
  long LDA = 1;
  const double* Y = nullptr;
};
DelayView view_delays(std::span<const double> x, int D);

// Contract of a map routine: (dimension D, step number STEP, state S(1..D), next state SNEW).
using MapRoutine = std::function<void(int D, int STEP, const double* S, double* SNEW)>;

void APPROXERR(const double* A, long LDA, int D, int N, const double* YV, ModelKind kind,
               const double* COEF, int P, int Pnum, int Pden, int nu, int mu, double& ERR);

// One step of the map held in `map` (uses map.W as its work area).
void MAPSTEP(ModelMap& map, int D, int STEP, const double* S, double* SNEW);

// MAPSTEP bound to the current ModelMap, as passed to PREDTEST and PLOTMODEL.
MapRoutine bind_mapstep(ModelMap& map);

}  // namespace model
