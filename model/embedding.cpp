#include <cstddef>
#include <span>

#include "model/model_map.h"

namespace model {

// embed builds the delay embedding of the series x(1..n) for a map of dimension D >= 1:
// A (D by N = n - D, column-major, leading dimension D) with A(i, j) = x(j+i-1), so column j is
// the delay vector (x(j), ..., x(j+D-1)), oldest value first; and Y(j) = x(j+D), the value that
// follows column j. A series of at most D values gives N = 0 and empty arrays.
DelayEmbedding embed(std::span<const double> x, int D) {
  DelayEmbedding e;
  e.D = D;
  const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(x.size());
  if (D < 1 || n <= D) return e;
  e.N = static_cast<int>(n - D);
  const std::size_t columns = static_cast<std::size_t>(e.N);
  e.A.resize(columns * static_cast<std::size_t>(D));
  e.Y.resize(columns);
  for (std::size_t j = 0; j < columns; ++j) {
    for (int i = 0; i < D; ++i) e.A[j * D + i] = x[j + i];
    e.Y[j] = x[j + D];
  }
  return e;
}

DelayView view_delays(std::span<const double> x, int D) {
  DelayView v;
  v.D = D;
  const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(x.size());
  if (D < 1 || n <= D) return v;
  v.N = static_cast<int>(n - D);
  v.A = x.data();
  v.Y = x.data() + D;
  return v;
}

}  // namespace model
