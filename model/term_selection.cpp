// Forward and backward term selection, by plane rotations of a copy of the triangle. The
// triangle stands for the whole problem [A | y] (it is [A | y] rotated), so every residual and
// error reduction computed on it is that of the N equations.

#include "model/term_selection.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>
#include <utility>

#include "model/plane_rotation.h"
#include "model/triangle_ops.h"

namespace model {
namespace {

// A column whose part independent of the kept columns is below this fraction of its own norm
// is aliased: it adds nothing the data can tell from them, only their rounding.
constexpr double kAliased = 1.0e-7;

// The first k columns of a triangle and its targets as a square working matrix of k + 1 rows:
// positions 1 .. kept hold the kept columns, triangular; positions kept+1 .. k the others, each
// orthogonal to the kept ones in rows kept+1 .. k+1; the targets stay in column k + 1.
class Work {
 public:
  Work(const numlib::LeastSquaresTriangle& t, int k) : k_(k), n_(t.N), column_(k) {
    std::iota(column_.begin(), column_.end(), 1);
    W_ = column_triangle(t, column_).T;
    for (int j = 1; j <= k; ++j) {
      double ss = 0.0;
      for (int i = 1; i <= j; ++i) ss += w(i, j) * w(i, j);
      norm_.push_back(std::sqrt(ss));
    }
  }

  int kept() const { return kept_; }
  int candidates() const { return k_ - kept_; }
  double residual() const {
    double ss = 0.0;
    for (int i = kept_ + 1; i <= k_ + 1; ++i) ss += w(i, k_ + 1) * w(i, k_ + 1);
    return ss;
  }
  double criterion() const { return information_criterion(residual(), n_, kept_); }
  double criterion(double residual, int terms) const {
    return information_criterion(residual, n_, terms);
  }

  // The candidate of largest error reduction (a.y)^2 / (a.a) on rows kept+1 .. k+1, with that
  // reduction; 0 when every candidate is aliased.
  std::pair<int, double> best_addition() const {
    int best = 0;
    double best_reduction = 0.0;
    for (int p = kept_ + 1; p <= k_; ++p) {
      double aa = 0.0, ay = 0.0;
      for (int i = kept_ + 1; i <= k_ + 1; ++i) {
        aa += w(i, p) * w(i, p);
        ay += w(i, p) * w(i, k_ + 1);
      }
      if (!(std::sqrt(aa) > kAliased * norm_of(p))) continue;
      const double reduction = ay * ay / aa;
      if (best == 0 || reduction > best_reduction) {
        best = p;
        best_reduction = reduction;
      }
    }
    return {best, best_reduction};
  }

  // The kept position whose removal raises the residual least, with that rise: with X = R^-1
  // and c = X z, removing position i raises it by c(i)^2 / |row i of X|^2.
  std::pair<int, double> best_removal() {
    const int s = kept_;
    X_.assign(static_cast<std::size_t>(s) * s, 0.0);
    const auto x = [&](int i, int j) -> double& {
      return X_[static_cast<std::size_t>(j - 1) * s + (i - 1)];
    };
    for (int j = 1; j <= s; ++j) {
      x(j, j) = 1.0 / w(j, j);
      for (int i = j - 1; i >= 1; --i) {
        double sum = 0.0;
        for (int l = i + 1; l <= j; ++l) sum += w(i, l) * x(l, j);
        x(i, j) = -sum / w(i, i);
      }
    }
    int best = 0;
    double best_rise = 0.0;
    for (int i = 1; i <= s; ++i) {
      double ci = 0.0, row = 0.0;
      for (int j = i; j <= s; ++j) {
        ci += x(i, j) * w(j, k_ + 1);
        row += x(i, j) * x(i, j);
      }
      double rise = ci * ci / row;
      if (!(rise >= 0.0)) rise = 0.0;  // X overflowed: the column is as good as aliased
      if (best == 0 || rise < best_rise) {
        best = i;
        best_rise = rise;
      }
    }
    return {best, best_rise};
  }

  // Keeps candidate p: it moves to position kept+1 and its entries below the diagonal are
  // rotated away.
  void add(int p) {
    const int q = kept_ + 1;
    if (p != q) {
      for (int i = 1; i <= k_ + 1; ++i) std::swap(w(i, p), w(i, q));
      std::swap(column_[static_cast<std::size_t>(p - 1)], column_[static_cast<std::size_t>(q - 1)]);
    }
    for (int r = k_ + 1; r > q; --r) rotate(r - 1, q);
    kept_ = q;
  }

  // Drops the kept column at position q back among the candidates: the later kept columns move
  // left over it and the rows they leave below the diagonal are rotated away.
  void remove(int q) {
    for (int j = q; j < kept_; ++j) {
      for (int i = 1; i <= k_ + 1; ++i) std::swap(w(i, j), w(i, j + 1));
      std::swap(column_[static_cast<std::size_t>(j - 1)], column_[static_cast<std::size_t>(j)]);
    }
    for (int j = q; j < kept_; ++j) rotate(j, j);
    --kept_;
  }

  // Keeps all k columns, dropping those aliased with earlier ones on the way.
  void keep_all_unaliased() {
    kept_ = k_;
    for (int q = 1; q <= kept_;) {
      if (std::abs(w(q, q)) <= kAliased * norm_of(q)) {
        remove(q);
      } else {
        ++q;
      }
    }
  }

  // The kept columns in ascending order with their coefficients, R c = z by back substitution.
  SelectedTerms solution() const {
    const int s = kept_;
    std::vector<double> c(static_cast<std::size_t>(s));
    for (int i = 1; i <= s; ++i) c[static_cast<std::size_t>(i - 1)] = w(i, k_ + 1);
    for (int j = s; j >= 1; --j) {
      double& cj = c[static_cast<std::size_t>(j - 1)];
      cj /= w(j, j);
      for (int i = 1; i < j; ++i) c[static_cast<std::size_t>(i - 1)] -= cj * w(i, j);
    }
    std::vector<int> order(static_cast<std::size_t>(s));
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
      return column_[static_cast<std::size_t>(a)] < column_[static_cast<std::size_t>(b)];
    });
    SelectedTerms terms;
    terms.residual = residual();
    for (const int p : order) {
      terms.columns.push_back(column_[static_cast<std::size_t>(p)]);
      terms.coefficients.push_back(c[static_cast<std::size_t>(p)]);
    }
    return terms;
  }

 private:
  double& w(int i, int j) { return W_[static_cast<std::size_t>(j - 1) * (k_ + 1) + (i - 1)]; }
  double w(int i, int j) const { return W_[static_cast<std::size_t>(j - 1) * (k_ + 1) + (i - 1)]; }
  double norm_of(int p) const { return norm_[static_cast<std::size_t>(column_[p - 1] - 1)]; }

  // Rotates row r + 1 into row r so that w(r + 1, j) becomes 0, in columns j .. k + 1.
  void rotate(int r, int j) {
    const PlaneRotation g = plane_rotation(w(r, j), w(r + 1, j));
    if (g.identity) return;
    w(r, j) = g.r;
    w(r + 1, j) = 0.0;
    for (int l = j + 1; l <= k_ + 1; ++l) g.apply(w(r, l), w(r + 1, l));
  }

  int k_;
  std::int64_t n_;
  int kept_ = 0;
  std::vector<int> column_;   // triangle column at each position
  std::vector<double> norm_;  // norm of each triangle column
  std::vector<double> W_;
  std::vector<double> X_;  // scratch of best_removal
};

// Removes kept terms while a removal lowers the criterion.
void prune(Work& work) {
  while (work.kept() > 0) {
    const auto [q, rise] = work.best_removal();
    if (!(work.criterion(work.residual() + rise, work.kept() - 1) < work.criterion())) return;
    work.remove(q);
  }
}

}  // namespace

double information_criterion(double rss, std::int64_t n, int terms) {
  const double count = static_cast<double>(n);
  return count * std::log(rss / count) + terms * std::log(count);
}

SelectedTerms select_forward(const numlib::LeastSquaresTriangle& t, int k, int max_terms) {
  Work work(t, k);
  while (work.candidates() > 0 && work.kept() < max_terms && work.residual() > 0.0) {
    const auto [p, reduction] = work.best_addition();
    if (p == 0) break;
    const double after = std::max(work.residual() - reduction, 0.0);
    if (!(work.criterion(after, work.kept() + 1) < work.criterion())) break;
    work.add(p);
    // A term taken early can become superfluous once later ones are in.
    if (work.kept() > 1) prune(work);
  }
  return work.solution();
}

SelectedTerms select_backward(const numlib::LeastSquaresTriangle& t, int k, int max_terms) {
  Work work(t, k);
  work.keep_all_unaliased();
  while (work.kept() > 0) {
    const auto [q, rise] = work.best_removal();
    const bool improves =
        work.criterion(work.residual() + rise, work.kept() - 1) < work.criterion();
    if (!improves && work.kept() <= max_terms) break;
    work.remove(q);
  }
  return work.solution();
}

}  // namespace model
