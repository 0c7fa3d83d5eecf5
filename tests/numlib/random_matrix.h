#pragma once
// Deterministic pseudo-random test matrices for the solver tests.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace numlib::test_matrices {

// m x n entries in [-1, 1) from a linear congruential sequence started at `seed`.
inline std::vector<double> random_matrix(long m, long n, std::uint32_t seed) {
  std::vector<double> a(static_cast<std::size_t>(m) * static_cast<std::size_t>(n));
  for (auto& v : a) {
    seed = seed * 1664525u + 1013904223u;
    v = (seed >> 8) / double(1u << 24) * 2.0 - 1.0;
  }
  return a;
}

}  // namespace numlib::test_matrices
