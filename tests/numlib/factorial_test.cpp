#include "numlib/factorial.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "numlib/machine.h"
#include "tests/numlib/unit_capture.h"

namespace numlib {
namespace {

using FactorialTest = CapturedOutput;

// The log-gamma correction series as given for R9LGMC.
const float kCoefficients[6] = {0.16663896f,     -1.3849482e-05f, 9.8108259e-09f,
                                -1.8091200e-11f, 6.2200001e-14f,  -3.0000001e-16f};

unsigned __int128 exact_factorial(int n) {
  unsigned __int128 f = 1;
  for (int k = 2; k <= n; ++k) f *= static_cast<unsigned>(k);
  return f;
}

TEST_F(FactorialTest, TabulatedValuesAreTheNearest32BitReals) {
  for (int n = 0; n <= 25; ++n) {
    EXPECT_EQ(fac(n), static_cast<float>(exact_factorial(n))) << n;
  }
  EXPECT_EQ(static_cast<double>(fac(13)), 6227020800.0);
  EXPECT_EQ(static_cast<double>(fac(14)), 87178289152.0);
  EXPECT_EQ(fac(0), 1.0f);
  EXPECT_EQ(fac(1), 1.0f);
  EXPECT_EQ(out, "");
}

TEST_F(FactorialTest, LargeArgumentsByStirlingFormula) {
  // 32-bit arithmetic: exp of an argument near 60..89 carries a relative error of a few 1e-6.
  for (int n = 26; n <= 34; ++n) {
    long double exact = 1.0L;
    for (int k = 2; k <= n; ++k) exact *= k;
    const float value = fac(n);
    EXPECT_TRUE(std::isfinite(value)) << n;
    EXPECT_NEAR(value / exact, 1.0L, 1e-5L) << n;
  }
  EXPECT_NEAR(fac(34), 2.9523279e38f, 2.9523279e38f * 1e-5f);
  EXPECT_EQ(out, "");
  EXPECT_EQ(N1RCD(0), 0);
}

TEST_F(FactorialTest, ConstantOfTheFormulaIsTheExpected32BitReal) {
  // The formula's constant ln sqrt(2 pi), as written in decimal, is the 32-bit real 3F6B3F8E.
  EXPECT_EQ(std::bit_cast<std::uint32_t>(0.9189385f), 0x3F6B3F8Eu);
}

TEST_F(FactorialTest, GammaRange) {
  float XMIN = 0.0f, XMAX = 0.0f;
  R9GAML(XMIN, XMAX);
  EXPECT_NEAR(XMIN, -33.9626f, 1e-4f);
  EXPECT_NEAR(XMAX, 35.0308f, 1e-4f);
  EXPECT_EQ(out, "");
}

// Stirling's series for the correction: 1/(12X) - 1/(360X^3) + 1/(1260X^5) - 1/(1680X^7).
double stirling_correction(double x) {
  return 1 / (12 * x) - 1 / (360 * x * x * x) + 1 / (1260 * std::pow(x, 5)) -
         1 / (1680 * std::pow(x, 7));
}

TEST_F(FactorialTest, LogGammaCorrection) {
  for (float x : {10.0f, 10.5f, 27.0f, 35.0f, 100.0f, 4095.0f, 4096.0f, 1e6f, 1e30f}) {
    const double expected = stirling_correction(x);
    EXPECT_NEAR(R9LGMC(x) / expected, 1.0, 2e-6) << x;
  }
  EXPECT_EQ(out, "");
}

TEST_F(FactorialTest, LogGammaCorrectionUnderflowIsAQuietAlert) {
  EXPECT_EQ(R9LGMC(1e37f), 0.0f);
  EXPECT_EQ(out, "");
  EXPECT_EQ(N1RCD(0), 1);  // the ALERT is carried to the caller's level
}

// Chebyshev series by the forward three-term recurrence of T_k, in 64-bit arithmetic.
double series_reference(double x, const std::vector<float>& cs) {
  double t_prev = 1.0, t = x, sum = cs[0] / 2.0;
  for (std::size_t i = 1; i < cs.size(); ++i) {
    sum += cs[i] * t;
    const double next = 2 * x * t - t_prev;
    t_prev = t;
    t = next;
  }
  return sum;
}

TEST_F(FactorialTest, ChebyshevSeries) {
  struct Case {
    float x;
    const char* warning;  // block printed when CSEVL returns; nullptr for none
  };
  const Case cases[] = {
      {0.0f, nullptr},
      {0.5f, nullptr},
      {-0.7f, nullptr},
      {1.1f, nullptr},
      {-1.1f, nullptr},
      {1.2f,
       "\n *** WARNING  ERROR 7 from CSEVL.  The argument X = 1.200000E+00 is outside\n"
       " ***          the interval (-1.1,+1.1).\n"},
      {-1.2f,
       "\n *** WARNING  ERROR 7 from CSEVL.  The argument X = -1.200000E+00 is outside\n"
       " ***          the interval (-1.1,+1.1).\n"},
  };
  const std::vector<float> cs = {2.0f, 0.5f, -0.25f, 0.125f, 3.0f};
  for (const auto& c : cases) {
    reset_error_stack();
    out.clear();
    for (int n = 1; n <= static_cast<int>(cs.size()); ++n) {
      out.clear();
      const float value = CSEVL(c.x, cs.data(), n);
      const std::vector<float> head(cs.begin(), cs.begin() + n);
      EXPECT_NEAR(value, series_reference(c.x, head), 1e-5) << c.x << " " << n;
      EXPECT_EQ(out, c.warning ? c.warning : "") << c.x << " " << n;
    }
  }
}

struct InitsCase {
  float eta;
  int expected;
};

TEST_F(FactorialTest, TermsNeededForAccuracy) {
  const InitsCase cases[] = {
      {AMACH(3), 2}, {1e-12f, 4}, {1e-15f, 5}, {1.0f, 1}, {0.1f, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(INITS(kCoefficients, 6, c.eta), c.expected) << c.eta;
  }
  EXPECT_EQ(out, "");
}

// Every failure of the factorial routines: the call, and the block it prints before the stop.
struct FailureCase {
  const char* what;
  std::function<void()> call;
  const char* block;
};

TEST_F(FactorialTest, FailuresPrintTheirMessageAndStop) {
  const FailureCase cases[] = {
      {"fac overflow", [] { fac(35); },
       "\n *** TERMINAL ERROR 4 from fac.  The factorial of the argument is so large it\n"
       " ***          would overflow. N = 35. It must be less than 34.\n"},
      {"fac far overflow", [] { fac(1000); },
       "\n *** TERMINAL ERROR 4 from fac.  The factorial of the argument is so large it\n"
       " ***          would overflow. N = 1000. It must be less than 34.\n"},
      {"fac negative", [] { fac(-1); },
       "\n *** TERMINAL ERROR 5 from fac.  The factorial of a negative integer is\n"
       " ***          undefined. N = -1.\n"},
      {"R9LGMC below 10", [] { R9LGMC(9.99f); },
       "\n *** TERMINAL ERROR 5 from R9LGMC.  The argument X = 9.990000E+00 must be\n"
       " ***          greater than or equal to 10.0.\n"},
      {"R9LGMC NaN", [] { R9LGMC(std::numeric_limits<float>::quiet_NaN()); },
       "\n *** TERMINAL ERROR 5 from R9LGMC.  The argument X = NaN must be greater than\n"
       " ***          or equal to 10.0.\n"},
      {"CSEVL no terms", [] { CSEVL(0.5f, kCoefficients, 0); },
       "\n *** TERMINAL ERROR 5 from CSEVL.  The number of terms in the series is not\n"
       " ***          positive. N = 0.\n"},
      {"CSEVL too many terms", [] { CSEVL(0.5f, kCoefficients, 1001); },
       "\n *** TERMINAL ERROR 6 from CSEVL.  The number of terms in the series is\n"
       " ***          greater than 1000. N = 1001.\n"},
      {"INITS no coefficients", [] { INITS(kCoefficients, 0, 1.0f); },
       "\n *** TERMINAL ERROR 5 from INITS.  The number of coefficients is less than 1.\n"
       " ***          NOS = 0.\n"},
      {"INITS too accurate", [] { INITS(kCoefficients, 6, 1e-17f); },
       "\n *** TERMINAL ERROR 6 from INITS.  Too much accuracy may be requested. ETA\n"
       " ***          should be increased.\n"},
  };
  for (const auto& c : cases) {
    reset_error_stack();
    out.clear();
    EXPECT_EQ(stop_status(c.call), 1) << c.what;
    EXPECT_EQ(out, c.block) << c.what;
  }
}

}  // namespace
}  // namespace numlib
