// make_series: writes a classic test series in the series-file format, one value a line with a
// decimal point ("%.10f"), to standard output.
//
//   make_series henon|logistic|lorenz|sine [COUNT]
//
//   henon     x of the map x' = 1 - 1.4 x^2 + y, y' = 0.3 x, from (0.1, 0.1), 100 steps dropped
//   logistic  x' = 4 x (1 - x) from x = 0.3, 100 steps dropped
//   lorenz    x of the Lorenz flow (sigma 10, rho 28, beta 8/3) by classical Runge-Kutta with
//             step 0.01, every 5th step kept (sampling time 0.05), from (1, 1, 1), time 0 to 20
//             dropped
//   sine      sin(2 pi n / 25) plus Gaussian noise of standard deviation 0.1, seed 20240601
//             (Mersenne twister and Box-Muller, the same numbers on every platform)
//
// COUNT defaults to 3000.

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <numbers>
#include <random>
#include <string>

namespace {

using Emit = std::function<void(double)>;

void henon(int count, const Emit& emit) {
  double x = 0.1, y = 0.1;
  for (int n = -100; n < count; ++n) {
    const double xn = 1.0 - 1.4 * x * x + y;
    y = 0.3 * x;
    x = xn;
    if (n >= 0) emit(x);
  }
}

void logistic(int count, const Emit& emit) {
  double x = 0.3;
  for (int n = -100; n < count; ++n) {
    x = 4.0 * x * (1.0 - x);
    if (n >= 0) emit(x);
  }
}

using State = std::array<double, 3>;

State lorenz_field(const State& s) {
  constexpr double sigma = 10.0, rho = 28.0, beta = 8.0 / 3.0;
  return {sigma * (s[1] - s[0]), s[0] * (rho - s[2]) - s[1], s[0] * s[1] - beta * s[2]};
}

State rk4_step(const State& s, double h) {
  const auto add = [](const State& a, const State& b, double f) {
    return State{a[0] + f * b[0], a[1] + f * b[1], a[2] + f * b[2]};
  };
  const State k1 = lorenz_field(s);
  const State k2 = lorenz_field(add(s, k1, h / 2));
  const State k3 = lorenz_field(add(s, k2, h / 2));
  const State k4 = lorenz_field(add(s, k3, h));
  State next;
  for (int i = 0; i < 3; ++i) next[i] = s[i] + h / 6 * (k1[i] + 2 * k2[i] + 2 * k3[i] + k4[i]);
  return next;
}

void lorenz(int count, const Emit& emit) {
  constexpr double h = 0.01;
  constexpr int every = 5;
  constexpr int transient = 2000;  // steps: time 20
  State s{1.0, 1.0, 1.0};
  for (int k = 0; k < transient; ++k) s = rk4_step(s, h);
  for (int n = 0; n < count; ++n) {
    for (int k = 0; k < every; ++k) s = rk4_step(s, h);
    emit(s[0]);
  }
}

void noisy_sine(int count, const Emit& emit) {
  std::mt19937 engine(20240601u);
  // Uniform (0, 1] from 32 random bits, so the numbers do not depend on the library's
  // distributions.
  const auto uniform = [&engine] { return (static_cast<double>(engine()) + 1.0) / 4294967296.0; };
  for (int n = 0; n < count; ++n) {
    const double u1 = uniform(), u2 = uniform();
    const double gauss = std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
    emit(std::sin(2.0 * std::numbers::pi * n / 25.0) + 0.1 * gauss);
  }
}

int usage() {
  std::fputs("Usage: make_series henon|logistic|lorenz|sine [COUNT]\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::map<std::string, void (*)(int, const Emit&)> kinds = {
      {"henon", henon}, {"logistic", logistic}, {"lorenz", lorenz}, {"sine", noisy_sine}};
  if (argc < 2 || argc > 3) return usage();
  const auto kind = kinds.find(argv[1]);
  if (kind == kinds.end()) return usage();
  int count = 3000;
  if (argc == 3) {
    char* end = nullptr;
    const long n = std::strtol(argv[2], &end, 10);
    if (*end != '\0' || n < 1 || n > 100'000'000) return usage();
    count = static_cast<int>(n);
  }
  kind->second(count, [](double x) { std::printf("%.10f\n", x); });
  return std::fflush(stdout) == 0 ? 0 : 1;
}
