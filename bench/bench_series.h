#pragma once
// The series the benchmarks fit: a Henon series observed with a little noise, so that the
// least-squares problem is full rank for every order.

#include <random>
#include <vector>

namespace bench {

inline std::vector<double> noisy_henon(int n) {
  std::vector<double> x = {0.1, 0.2};
  while (static_cast<int>(x.size()) < n) {
    x.push_back(1.0 - 1.4 * x.back() * x.back() + 0.3 * x[x.size() - 2]);
  }
  std::mt19937 gen(1);
  std::normal_distribution<double> noise(0.0, 1e-3);
  for (double& v : x) v += noise(gen);
  return x;
}

}  // namespace bench
