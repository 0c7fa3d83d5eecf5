#include <cstddef>
#include <memory>
#include <vector>

#include "model/delay.h"
#include "model/mapstep_bound.h"

namespace model {

std::int64_t delay_window(int D, int T) { return (static_cast<std::int64_t>(D) - 1) * T + 1; }

DelayEmbedding embed_with_delay(std::span<const double> x, int D, int T) {
  if (T == 1) return embed(x, D);
  DelayEmbedding e;
  e.D = D;
  const std::int64_t n = static_cast<std::int64_t>(x.size());
  const std::int64_t window = delay_window(D, T);
  if (D < 1 || T < 1 || n <= window) return e;
  e.N = static_cast<int>(n - window);
  const std::size_t columns = static_cast<std::size_t>(e.N);
  e.A.resize(columns * static_cast<std::size_t>(D));
  e.Y.resize(columns);
  for (std::size_t j = 0; j < columns; ++j) {
    for (int i = 0; i < D; ++i) e.A[j * D + i] = x[j + static_cast<std::size_t>(i) * T];
    e.Y[j] = x[j + static_cast<std::size_t>(window)];
  }
  return e;
}

namespace {

// The state of the map's arguments is gathered from the window into a work area of its own, so
// that the map itself runs as MAPSTEP runs it.
struct DelayedMapstep {
  const ModelMap* map;
  int T;
  std::shared_ptr<std::vector<double>> work;  // D arguments, D results, the basis values

  void operator()(int W, int /*STEP*/, const double* S, double* SNEW) const {
    const int D = map->D;
    double* s = work->data();
    double* next = s + D;
    double* basis = next + D;
    for (int i = 0; i < D; ++i) s[i] = S[static_cast<std::ptrdiff_t>(i) * T];
    detail::mapstep_into(*map, basis, D, s, next);
    for (int i = 0; i + 1 < W; ++i) SNEW[i] = S[i + 1];
    SNEW[W - 1] = next[D - 1];
  }
};

}  // namespace

MapRoutine bind_delayed_mapstep(ModelMap& map, int T) {
  if (T == 1) return bind_mapstep(map);
  const std::size_t room = 2 * static_cast<std::size_t>(map.D) + detail::mapstep_room(map);
  return DelayedMapstep{&map, T, std::make_shared<std::vector<double>>(room)};
}

}  // namespace model
