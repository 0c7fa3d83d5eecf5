// Solves from a least-squares triangle, and the triangles of chosen columns and of added
// equations, by plane rotations.

#include "model/triangle_ops.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "model/plane_rotation.h"

namespace model {

int solve_leading(const numlib::LeastSquaresTriangle& t, int k, double* c) {
  const int y = t.P + 1;
  for (int i = 1; i <= k; ++i) c[i - 1] = t(i, y);
  // Back substitution from the last coefficient up, as the solver does it.
  for (int j = k; j >= 1; --j) {
    const double d = t(j, j);
    if (d == 0.0) return j;
    c[j - 1] /= d;
    const double cj = c[j - 1];
    for (int i = 1; i < j; ++i) c[i - 1] -= cj * t(i, j);
  }
  return 0;
}

double leading_residual(const numlib::LeastSquaresTriangle& t, int k) {
  const int y = t.P + 1;
  double ss = 0.0;
  for (int i = k + 1; i <= y; ++i) ss += t(i, y) * t(i, y);
  return ss;
}

numlib::LeastSquaresTriangle column_triangle(const numlib::LeastSquaresTriangle& t,
                                             std::span<const int> columns) {
  const int rows = t.P + 1;
  const int m = static_cast<int>(columns.size());
  const int width = m + 1;
  // The chosen columns and the targets of t's triangle: rows x (m + 1), leading dimension rows.
  std::vector<double> W(static_cast<std::size_t>(rows) * width);
  const auto w = [&](int i, int j) -> double& {
    return W[static_cast<std::size_t>(j - 1) * rows + (i - 1)];
  };
  // lowest(j): the last row where column j may be nonzero.
  std::vector<int> lowest(static_cast<std::size_t>(width));
  for (int j = 1; j <= width; ++j) {
    const int source = j <= m ? columns[static_cast<std::size_t>(j - 1)] : rows;
    for (int i = 1; i <= source; ++i) w(i, j) = t(i, source);
    lowest[static_cast<std::size_t>(j - 1)] = source;
  }

  // Column by column, rotate the entries below the diagonal into it, from the bottom up; a
  // rotation of rows (r-1, r) fills in column j's later neighbours only down to row r, which
  // they reach anyway.
  int reach = 0;
  for (int j = 1; j <= width; ++j) {
    reach = std::max(reach, lowest[static_cast<std::size_t>(j - 1)]);
    for (int r = reach; r > j; --r) {
      const PlaneRotation g = plane_rotation(w(r - 1, j), w(r, j));
      if (g.identity) continue;
      w(r - 1, j) = g.r;
      w(r, j) = 0.0;
      for (int l = j + 1; l <= width; ++l) g.apply(w(r - 1, l), w(r, l));
    }
  }

  numlib::LeastSquaresTriangle s;
  s.P = m;
  s.N = t.N;
  s.T.assign(static_cast<std::size_t>(width) * width, 0.0);
  for (int j = 1; j <= width; ++j) {
    for (int i = 1; i <= j; ++i) s(i, j) = w(i, j);
  }
  return s;
}

void add_equation(numlib::LeastSquaresTriangle& t, std::span<const double> row) {
  const int width = t.P + 1;
  std::vector<double> e(row.begin(), row.begin() + width);
  // Rotate the new equation into row i of the triangle, i = 1 .. P + 1, one element each.
  for (int i = 1; i <= width; ++i) {
    const PlaneRotation g = plane_rotation(t(i, i), e[static_cast<std::size_t>(i - 1)]);
    if (g.identity) continue;
    t(i, i) = g.r;
    e[static_cast<std::size_t>(i - 1)] = 0.0;
    for (int l = i + 1; l <= width; ++l) g.apply(t(i, l), e[static_cast<std::size_t>(l - 1)]);
  }
  ++t.N;
}

}  // namespace model
