#include "model/predtest.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

#include "model/mapstep_bound.h"
#include "numlib/progress.h"
#include "numlib/threads.h"

namespace model {
namespace {

constexpr double kBoundFactor = 10.0;
constexpr double kRunawayPenalty = 1.0e6;
// Largest normalised error that still counts as predicted (0.05 in single precision).
constexpr double kThreshold = static_cast<double>(0.05f);

// True when some component lies beyond the bound or is not a finite number: a model whose
// values overflow has left every bound, however large.
bool beyond(const double* s, int D, double bound) {
  for (int i = 0; i < D; ++i) {
    if (!std::isfinite(s[i]) || std::abs(s[i]) > bound) return true;
  }
  return false;
}

// What both forms share: the statistics of the test values, one piece's terms, and the end
// (E from the sums, PT).
class Pieces {
 public:
  Pieces(const double* XT, int D, int Ltest, int Stest, int Ktest, double* E, int& NINF)
      : XT_(XT), D_(D), Ltest_(Ltest), Stest_(Stest), Ktest_(Ktest), E_(E) {
    for (int n = 0; n < Ltest; ++n) E[n] = 0.0;
    NINF = 0;

    // Statistics of the test values t(j) = XT(1, j).
    const std::ptrdiff_t Np = static_cast<std::ptrdiff_t>(Ktest - 1) * Stest + Ltest + 1;
    const auto t = [&](std::ptrdiff_t j) { return XT[j * D]; };
    double total = 0.0;
    double lo = t(0);
    double hi = t(0);
    for (std::ptrdiff_t j = 0; j < Np; ++j) {
      total += t(j);
      if (t(j) < lo) lo = t(j);
      if (t(j) > hi) hi = t(j);
    }
    const double mean = total / static_cast<double>(Np);
    double sq = 0.0;
    for (std::ptrdiff_t j = 0; j < Np; ++j) sq += (t(j) - mean) * (t(j) - mean);
    var_ = sq / static_cast<double>(Np);
    bound_ = kBoundFactor * std::fmax(std::abs(lo), std::abs(hi));
  }

  // Piece k (1-based) from its start, with step(n, S, SNEW) as the map: writes the term that
  // each step adds to E(n), err^2 or the run-away penalty, into terms(1..Ltest); returns
  // whether the piece ends beyond the bound.
  template <class Step>
  bool run_piece(int k, const Step& step, double* S1, double* S2, double* terms) const {
    const int D = D_;
    const std::ptrdiff_t m = static_cast<std::ptrdiff_t>(k - 1) * Stest_;  // column m+1, 0-based
    const double* start = XT_ + m * D;
    for (int i = 0; i < D; ++i) S2[i] = start[i];
    for (int n = 1; n <= Ltest_; ++n) {
      if (!beyond(S2, D, bound_)) {
        step(n, S2, S1);
        const double err = S1[D - 1] - XT_[(m + n) * D + (D - 1)];
        terms[n - 1] = err * err;
        std::swap(S1, S2);
      } else {
        terms[n - 1] = kRunawayPenalty;
      }
    }
    // The state after the last prediction counts too.
    return beyond(S2, D, bound_);
  }

  // E(n) from the sums of the terms, and the prediction time.
  void finish(int& PT) const {
    double* E = E_;
    const int Ltest = Ltest_;
    for (int n = 0; n < Ltest; ++n) E[n] = std::sqrt(E[n] * (1.0 / Ktest_) * (1.0 / var_));

    int p = 1;
    while (p <= Ltest && std::abs(E[p - 1]) <= kThreshold) ++p;
    PT = p - 1;
  }

 private:
  const double* XT_;
  int D_, Ltest_, Stest_, Ktest_;
  double* E_;
  double var_ = 0.0;
  double bound_ = 0.0;
};

}  // namespace

// PREDTEST runs iterated predictions over Ktest test pieces and measures them.
//
// XT    (in)  D by at least (Ktest-1)*Stest + Ltest + 1 columns, column-major with leading
//             dimension D: the test delay matrix. Piece k starts from column m = (k-1)*Stest + 1
//             and its n-th prediction is compared with XT(D, m+n).
// D     (in)  dimension of the map, D >= 1.
// Ltest (in)  prediction steps per piece, Ltest >= 1.
// Stest (in)  shift between the starts of consecutive pieces, Stest >= 1.
// Ktest (in)  number of pieces, Ktest >= 1.
// MAPR  (in)  the map routine, called as MAPR(D, n, state, next state) for step n, on the
//             calling thread only; or `map`, whose MAPSTEP is called on the library's threads.
// E     (out) Ltest reals: E(n) = sqrt(mean over pieces of the squared n-step error / var),
//             var the population variance of t(j) = XT(1, j), j = 1..Np,
//             Np = (Ktest-1)*Stest + Ltest + 1.
// PT    (out) the number of leading horizons with |E(n)| <= 0.05 (0.05 in single precision).
// NINF  (out) the number of pieces whose state left the bound 10 * max |t(j)|.
//
// A piece whose state has a component beyond the bound, or one that is not finite, is not
// iterated further; each of its remaining steps adds 1.0E6 to E(n). A NaN in E counts as
// above the threshold, so a model that yields NaN has the prediction time 0. Nothing is
// checked and no error is reported; E is not finite when all test values are equal.
void PREDTEST(const double* XT, int D, int Ltest, int Stest, int Ktest, const MapRoutine& MAPR,
              double* E, int& PT, int& NINF) {
  const Pieces pieces(XT, D, Ltest, Stest, Ktest, E, NINF);
  const std::size_t d = static_cast<std::size_t>(D);
  const std::size_t L = static_cast<std::size_t>(Ltest);
  std::vector<double> S1(d), S2(d), terms(L);
  const auto step = [&](int n, const double* S, double* SNEW) { MAPR(D, n, S, SNEW); };
  for (int k = 1; k <= Ktest; ++k) {
    if (k % 256 == 1) {
      numlib::check_stop();
      numlib::report_progress(k - 1, Ktest);
    }
    const bool away = pieces.run_piece(k, step, S1.data(), S2.data(), terms.data());
    for (std::size_t n = 0; n < L; ++n) E[n] += terms[n];
    if (away) ++NINF;
  }
  pieces.finish(PT);
}

void PREDTEST(const double* XT, int D, int Ltest, int Stest, int Ktest, const ModelMap& map,
              double* E, int& PT, int& NINF) {
  const Pieces pieces(XT, D, Ltest, Stest, Ktest, E, NINF);
  const std::size_t d = static_cast<std::size_t>(D);
  const std::size_t L = static_cast<std::size_t>(Ltest);
  const std::size_t room = detail::mapstep_room(map);
  // Up to 256 pieces a block, fewer for long pieces: their terms take at most 8 MiB.
  constexpr std::size_t kTermsLimit = std::size_t{1} << 20;
  const int block = static_cast<int>(std::clamp<std::size_t>(kTermsLimit / L, 1, 256));
  std::vector<double> terms(block * L);
  std::vector<char> away(block);
  for (int k0 = 1; k0 <= Ktest; k0 += block) {
    numlib::check_stop();
    const int count = std::min(block, Ktest - k0 + 1);
    numlib::parallel_for(count, [&](int begin, int end) {
      std::vector<double> W(room), S1(d), S2(d);
      const auto step = [&](int, const double* S, double* SNEW) {
        detail::mapstep_into(map, W.data(), D, S, SNEW);
      };
      for (int i = begin; i < end; ++i) {
        away[i] = pieces.run_piece(k0 + i, step, S1.data(), S2.data(), terms.data() + i * L);
      }
    });
    for (int i = 0; i < count; ++i) {
      for (std::size_t n = 0; n < L; ++n) E[n] += terms[i * L + n];
      if (away[i]) ++NINF;
    }
    numlib::report_progress(k0 - 1 + count, Ktest);
  }
  pieces.finish(PT);
}

}  // namespace model
