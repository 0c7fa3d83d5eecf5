// The streaming fit against the explicit factorisation (DLQRRR and DLQRSL), the reference.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "model/basis.h"
#include "model/fit_work.h"
#include "model/fits.h"
#include "model/model_map.h"
#include "model/stream_triangle.h"
#include "numlib/error_stack.h"
#include "numlib/gemm_kernels.h"
#include "numlib/progress.h"
#include "numlib/stop.h"
#include "numlib/threads.h"
#include "numlib/units.h"

namespace model {
namespace {

struct Fit {
  std::vector<double> COEF;
  double ERR = -1.0;
  std::string messages;
};

// One fit by the given path; mu < 0 for a polynomial.
Fit fit(const DelayView& e, int nu, int mu, detail::FitPath path) {
  Fit f;
  numlib::reset_error_stack();
  numlib::set_unit_sink(6, [&f](std::string_view text) { f.messages += text; });
  detail::set_fit_path(path);
  const int Pnum = static_cast<int>(basis_count(e.D, nu));
  const int Pden = mu >= 0 ? static_cast<int>(basis_count(e.D, mu)) - 1 : 0;
  f.COEF.assign(static_cast<std::size_t>(Pnum + Pden), 0.0);
  try {
    if (mu < 0) {
      POLYFIT(e.A, e.LDA, e.D, e.N, e.Y, f.COEF.data(), Pnum, MONOMIALS, nu, f.ERR);
    } else {
      RATFIT(e.A, e.LDA, e.D, e.N, e.Y, f.COEF.data(), Pnum, MONOMIALS, nu, Pden, MONOMIALS, mu,
             f.ERR);
    }
  } catch (const numlib::ProgramStop&) {
    f.messages += "(stop)";
  }
  detail::set_fit_path(detail::FitPath::automatic);
  numlib::set_unit_sink(6, {});
  numlib::reset_error_stack();
  return f;
}

// The same fit on a copied delay matrix.
Fit fit(const DelayEmbedding& e, int nu, int mu, detail::FitPath path) {
  return fit(DelayView{e.D, e.N, e.A.data(), e.D, e.Y.data()}, nu, mu, path);
}

std::vector<double> noisy_henon(int n, double sd, unsigned seed) {
  std::vector<double> x = {0.1, 0.2};
  while (static_cast<int>(x.size()) < n) {
    x.push_back(1.0 - 1.4 * x.back() * x.back() + 0.3 * x[x.size() - 2]);
  }
  std::mt19937 gen(seed);
  std::normal_distribution<double> noise(0.0, sd);
  for (double& v : x) v += noise(gen);
  return x;
}

std::string percent(double err) {
  char text[32];
  std::snprintf(text, sizeof text, "%10.5f", 100.0 * err);
  return text;
}

struct Shape {
  const char* name;
  std::vector<double> series;
  int D, nu, mu;
  double tol;  // coefficients: |stream - reference| <= tol * max |reference|
};

std::vector<Shape> shapes() {
  std::vector<Shape> s;
  s.push_back({"WellConditioned", noisy_henon(3000, 0.05, 1), 2, 3, -1, 1e-12});
  s.push_back({"Rational", noisy_henon(2000, 0.01, 2), 2, 2, 1, 1e-10});
  // Values near 10 with a width of 1: the powers up to 4 are nearly collinear.
  std::vector<double> shifted = noisy_henon(4000, 0.02, 3);
  for (double& v : shifted) v = 10.0 + 0.3 * v;
  s.push_back({"IllConditioned", shifted, 1, 4, -1, 1e-6});
  // A series of period two: x^2 = 3 x - 2 at every point, the third column a combination of
  // the first two. The coefficients are not determined (tol < 0: not compared).
  std::vector<double> period(300);
  for (std::size_t i = 0; i < period.size(); ++i) period[i] = i % 2 == 0 ? 1.0 : 2.0;
  s.push_back({"CollinearColumns", period, 1, 2, -1, -1.0});
  s.push_back({"JustAboveP", noisy_henon(24, 0.1, 4), 3, 3, -1, 1e-9});  // N = 21, P = 20
  s.push_back({"Tiny", {1.0, 2.0, 4.0}, 1, 1, -1, 1e-15});               // N = P = 2
  // The first 99 values 0: the delay coordinate is an all-zero column.
  std::vector<double> zeros(100, 0.0);
  zeros.back() = 5.0;
  s.push_back({"ZeroColumn", zeros, 1, 1, -1, 0.0});
  // Columns whose sums of squares overflow (x^2 near 1e300) or underflow (near 1e-300).
  for (const auto& [name, scale] : {std::pair{"HugeValues", 1e150}, {"TinyValues", 1e-150}}) {
    std::vector<double> scaled = noisy_henon(2000, 0.05, 5);
    for (double& v : scaled) v *= scale;
    s.push_back({name, scaled, 2, 2, -1, 1e-10});
  }
  return s;
}

class StreamMatchesReference : public ::testing::TestWithParam<Shape> {};

TEST_P(StreamMatchesReference, CoefficientsErrorAndMessages) {
  const Shape& c = GetParam();
  const DelayEmbedding e = embed(c.series, c.D);
  const Fit ref = fit(e, c.nu, c.mu, detail::FitPath::reference);
  const Fit got = fit(e, c.nu, c.mu, detail::FitPath::streaming);
  EXPECT_EQ(got.messages, ref.messages);
  if (!ref.messages.empty()) {
    // The singular case: the same message, from DLQRSL, with the same index.
    EXPECT_NE(ref.messages.find("FATAL    ERROR 1 from DLQRSL"), std::string::npos) << ref.messages;
    return;
  }
  EXPECT_EQ(percent(got.ERR), percent(ref.ERR));
  if (c.tol < 0.0) return;
  double scale = 0.0;
  for (double v : ref.COEF) scale = std::max(scale, std::fabs(v));
  for (std::size_t i = 0; i < ref.COEF.size(); ++i) {
    EXPECT_NEAR(got.COEF[i], ref.COEF[i], c.tol * scale) << "COEF " << i + 1;
  }
  EXPECT_NEAR(got.ERR, ref.ERR, 1e-12 + 1e-9 * ref.ERR);
}

INSTANTIATE_TEST_SUITE_P(Shapes, StreamMatchesReference, ::testing::ValuesIn(shapes()),
                         [](const auto& test) { return std::string(test.param.name); });

// The fits read the series in place exactly as they read its copied delay matrix.
TEST(StreamFit, SeriesSeenInPlaceFitsAsItsCopy) {
  const std::vector<double> x = noisy_henon(3000, 0.05, 9);
  const DelayEmbedding copy = embed(x, 3);
  const DelayView view = view_delays(x, 3);
  ASSERT_EQ(view.N, copy.N);
  for (const auto path : {detail::FitPath::reference, detail::FitPath::streaming}) {
    for (const int mu : {-1, 1}) {
      const Fit a = fit(view, 2, mu, path), b = fit(copy, 2, mu, path);
      EXPECT_EQ(a.COEF, b.COEF) << "mu " << mu;
      EXPECT_EQ(a.ERR, b.ERR) << "mu " << mu;
      EXPECT_EQ(a.messages, "");
    }
  }
  EXPECT_EQ(view_delays(std::span(x).first(3), 3).N, 0);  // no point after the window
}

// Enough rows for four chunks of rows (the merges are exercised too) and more columns than a
// panel (the block updates too). Every configuration gives the digits of the first.
TEST(StreamFit, ThreadCountAndKernelPathChangeNoDigit) {
  using numlib::detail::KernelIsa;
  const DelayEmbedding e = embed(noisy_henon(20000, 0.05, 9), 3);
  ASSERT_EQ(detail::stream_chunks(e.N, static_cast<int>(basis_count(3, 4)) + 3), 4);
  const int threads = numlib::thread_count();
  const KernelIsa isa = numlib::detail::kernel_isa();
  struct Config {
    int threads;
    KernelIsa isa;
  };
  const Config configs[] = {{1, KernelIsa::portable},
                            {2, KernelIsa::portable},
                            {1, KernelIsa::avx2},
                            {2, KernelIsa::avx2}};
  std::vector<Fit> fits;
  for (const Config& c : configs) {
    numlib::set_thread_count(c.threads);
    numlib::detail::set_kernel_isa(c.isa);
    fits.push_back(fit(e, 4, 1, detail::FitPath::streaming));
  }
  numlib::set_thread_count(threads);
  numlib::detail::set_kernel_isa(isa);
  for (std::size_t k = 1; k < fits.size(); ++k) {
    SCOPED_TRACE(k);
    ASSERT_EQ(fits[k].COEF.size(), fits[0].COEF.size());
    for (std::size_t i = 0; i < fits[0].COEF.size(); ++i)
      EXPECT_EQ(fits[k].COEF[i], fits[0].COEF[i]) << i;
    EXPECT_EQ(fits[k].ERR, fits[0].ERR);
  }
}

TEST(StreamFit, StopRequestEndsTheFitBetweenBlocks) {
  const DelayEmbedding e = embed(noisy_henon(200000, 0.05, 5), 4);
  std::int64_t calls = 0, last_total = 0;
  int asked = 0;
  numlib::set_work_hooks(
      [&](std::int64_t, std::int64_t total) {
        ++calls;
        last_total = total;
      },
      [&] { return ++asked > 3; });
  const int level = numlib::error_stack_level();
  std::vector<double> coef(static_cast<std::size_t>(basis_count(4, 4)), -1.0);
  double err = -1.0;
  detail::set_fit_path(detail::FitPath::streaming);
  EXPECT_THROW(POLYFIT(e.A.data(), 4, 4, e.N, e.Y.data(), coef.data(),
                       static_cast<int>(coef.size()), MONOMIALS, 4, err),
               numlib::WorkStopped);
  detail::set_fit_path(detail::FitPath::automatic);
  numlib::set_work_hooks(nullptr, nullptr);
  // A block or so per thread after the request, of hundreds; nothing written.
  EXPECT_GT(last_total, 200);
  EXPECT_LE(calls, 3 + numlib::thread_count());
  EXPECT_EQ(err, -1.0);
  EXPECT_EQ(coef[0], -1.0);
  EXPECT_EQ(numlib::error_stack_level(), level);
}

}  // namespace
}  // namespace model
