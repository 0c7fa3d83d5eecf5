// The log-gamma machinery behind fac: the gamma function's argument range, the correction term
// of Stirling's formula and the Chebyshev series it is evaluated from. 32-bit arithmetic.

#include <algorithm>
#include <cmath>

#include "numlib/error_stack.h"
#include "numlib/factorial.h"
#include "numlib/machine.h"

namespace numlib {
namespace {

// Chebyshev coefficients of the correction ln Gamma(X) - ((X - 1/2) ln X - X + ln sqrt(2 pi))
// in the variable 2 (10/X)^2 - 1.
constexpr float kCorrectionSeries[6] = {
    0.16663896f, -1.3849482e-05f, 9.8108259e-09f, -1.8091200e-11f, 6.2200001e-14f, -3.0000001e-16f,
};

// Newton iteration of R9GAML: at most 10 steps, converged when a step moves less than 0.005.
template <class Step>
bool newton(float& x, Step step) {
  for (int i = 0; i < 10; ++i) {
    const float previous = x;
    x = step(previous);
    if (std::fabs(x - previous) < 0.005f) return true;
  }
  return false;
}

}  // namespace

// R9GAML: the range XMIN < X < XMAX of arguments for which the gamma function neither
// underflows nor overflows in 32-bit arithmetic (about -33.9626 and 35.0308).
//   XMIN (out) smallest admissible argument; NaN when it cannot be determined.
//   XMAX (out) largest admissible argument; NaN when it cannot be determined.
// Checks: no convergence for XMIN is TERMINAL code 5, for XMAX TERMINAL code 6.
void R9GAML(float& XMIN, float& XMAX) {
  E1PSH("R9GAML");
  XMIN = AMACH(6);
  XMAX = AMACH(6);

  // XMIN: where Gamma reaches the smallest normalised number.
  const float lnSmall = std::log(AMACH(1));
  float xmin = -lnSmall;
  const bool min_found = newton(xmin, [lnSmall](float x) {
    const float lnx = std::log(x);
    const float f = (x + 0.5f) * lnx - x - 0.2258f + lnSmall;
    return x - x * f / (x * lnx + 0.5f);
  });
  if (!min_found) {
    E1MES(5, 5, "Unable to determine the value of XMIN.");
  } else {
    xmin = -xmin + 0.01f;

    // XMAX: where Gamma reaches the largest finite number.
    const float lnBig = std::log(AMACH(2));
    float xmax = lnBig;
    const bool max_found = newton(xmax, [lnBig](float x) {
      const float lnx = std::log(x);
      const float f = (x - 0.5f) * lnx - x + 0.9189f - lnBig;
      return x - x * f / (x * lnx - 0.5f);
    });
    if (!max_found) {
      E1MES(5, 6, "Unable to determine the value of XMAX.");
    } else {
      XMAX = xmax - 0.01f;
      XMIN = std::max(xmin, 1.0f - XMAX);
    }
  }

  E1POP("R9GAML");
}

// R9LGMC: ln Gamma(X) - ((X - 1/2) ln X - X + ln sqrt(2 pi)) for X >= 10.
//   X (in) the argument, X >= 10.
// Checks: X < 10 (or NaN) is TERMINAL code 5; X >= xUnder (about 7.09e36) is an ALERT code 1
// with the result 0. The value of a failed call is NaN.
float R9LGMC(float X) {
  static int nTerms = 0;
  static float xLarge = 0.0f;
  static float xUnder = 0.0f;

  E1PSH("R9LGMC");
  float result = AMACH(6);

  if (nTerms == 0) {
    nTerms = INITS(kCorrectionSeries, 6, AMACH(3));
    xLarge = 1.0f / std::sqrt(AMACH(3));
    xUnder = std::exp(std::min(std::log(AMACH(2) / 12.0f), -std::log(12.0f * AMACH(1))));
  }

  if (!(X >= 10.0f)) {
    E1ARGR(1, X);
    E1MES(5, 5, "The argument X = %(R1) must be greater than or equal to 10.0.");
  } else if (X < xUnder) {
    if (X < xLarge) {
      const float t = 10.0f / X;
      result = CSEVL(2.0f * (t * t) - 1.0f, kCorrectionSeries, nTerms) / X;
    } else {
      result = 1.0f / (12.0f * X);
    }
  } else {
    result = 0.0f;
    E1ARGR(1, X);
    E1ARGR(2, xUnder);
    E1MES(2, 1,
          "The function underflows because X = %(R1) is greater than %(R2). The result is set "
          "to zero.");
  }

  E1POP("R9LGMC");
  return result;
}

// CSEVL: CS(1)/2 + sum of CS(i) T_{i-1}(X), i = 2..N, by the Clenshaw recurrence.
//   X  (in) the argument, normally in [-1.1, 1.1].
//   CS (in) array of N coefficients.
//   N  (in) number of terms, 1 <= N <= 1000.
// Checks: N <= 0 is TERMINAL code 5; N > 1000 TERMINAL code 6 (value NaN); |X| > 1.1 is a
// WARNING code 7 and the series is evaluated all the same.
float CSEVL(float X, const float* CS, int N) {
  E1PSH("CSEVL");
  float result = AMACH(6);

  if (N <= 0) {
    E1ARGI(1, N);
    E1MES(5, 5, "The number of terms in the series is not positive. N = %(I1).");
  } else if (N > 1000) {
    E1ARGI(1, N);
    E1MES(5, 6, "The number of terms in the series is greater than 1000. N = %(I1).");
  } else {
    if (X < -1.1f || X > 1.1f) {
      E1ARGR(1, X);
      E1MES(3, 7, "The argument X = %(R1) is outside the interval (-1.1,+1.1).");
    }
    const float twoX = 2.0f * X;
    float b0 = 0.0f;
    float b1 = 0.0f;
    float b2 = 0.0f;
    for (int i = N; i >= 1; --i) {
      b2 = b1;
      b1 = b0;
      b0 = twoX * b1 - b2 + CS[i - 1];
    }
    result = 0.5f * (b0 - b2);
  }

  E1POP("CSEVL");
  return result;
}

// INITS: the number of terms of the series OS needed for accuracy ETA: the smallest I such that
// |OS(I+1)| + ... + |OS(NOS)| <= ETA < |OS(I)| + ... + |OS(NOS)|, and 1 when the whole sum
// stays within ETA.
//   OS  (in) array of NOS coefficients.
//   NOS (in) number of coefficients, NOS >= 1.
//   ETA (in) requested accuracy.
// Checks: NOS <= 0 is TERMINAL code 5; |OS(NOS)| > ETA is TERMINAL code 6. Failed calls give 0.
int INITS(const float* OS, int NOS, float ETA) {
  E1PSH("INITS");
  int result = 0;

  if (NOS <= 0) {
    E1ARGI(1, NOS);
    E1MES(5, 5, "The number of coefficients is less than 1. NOS = %(I1).");
  } else {
    float sum = 0.0f;
    int i = NOS;
    bool exceeded = false;
    for (; i >= 1; --i) {
      sum += std::fabs(OS[i - 1]);
      if (sum > ETA) {
        exceeded = true;
        break;
      }
    }
    if (exceeded && i == NOS) {
      E1MES(5, 6, "Too much accuracy may be requested. ETA should be increased.");
    } else {
      result = exceeded ? i : 1;
    }
  }

  E1POP("INITS");
  return result;
}

}  // namespace numlib
