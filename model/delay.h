#pragma once
// Maps whose D arguments are T >= 1 values apart: argument i of the map at time n is
// x(n - (D - i) T), so the oldest argument comes first as for T = 1. One state of such a map
// covers the window of (D - 1) T + 1 consecutive values x(n - (D - 1) T) .. x(n).

#include <cstdint>
#include <span>

#include "model/model_map.h"

namespace model {

// Values one state covers: (D - 1) T + 1 (D for T = 1).
std::int64_t delay_window(int D, int T);

// Delay embedding of x(1..n) with delay T: A is D by N = n - (D - 1) T - 1 column-major with
// A(i, j) = x(j + (i - 1) T), and Y(j) = x(j + (D - 1) T + 1), the value after the newest
// argument. T = 1 is embed(x, D). Too short a series gives N = 0 and empty arrays.
DelayEmbedding embed_with_delay(std::span<const double> x, int D, int T);

// A map routine for iterated prediction on delay windows: its state is the window of
// W = (D - 1) T + 1 consecutive values, oldest first, and one step takes the arguments
// S(1), S(1 + T), ..., S(1 + (D - 1) T) of `map`, evaluates the map on them as MAPSTEP does,
// and shifts the window by one value: SNEW(i) = S(i + 1), SNEW(W) = F. It is called with
// W as its dimension. For T = 1 this is bind_mapstep. The map must outlive the routine.
MapRoutine bind_delayed_mapstep(ModelMap& map, int T);

}  // namespace model
