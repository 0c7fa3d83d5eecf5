#include "numlib/factorial.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include "numlib/error_stack.h"
#include "numlib/machine.h"

namespace numlib {
namespace {

// n! for n = 0..25, each the nearest 32-bit real (exact up to 13!).
constexpr float kFactorials[26] = {
    1.0f,
    1.0f,
    2.0f,
    6.0f,
    24.0f,
    120.0f,
    720.0f,
    5040.0f,
    40320.0f,
    362880.0f,
    3628800.0f,
    39916800.0f,
    479001600.0f,
    6227020800.0f,
    87178291200.0f,
    1307674368000.0f,
    20922789888000.0f,
    355687428096000.0f,
    6402373705728000.0f,
    121645100408832000.0f,
    2432902008176640000.0f,
    51090942171709440000.0f,
    1124000727777607680000.0f,
    25852016738884976640000.0f,
    620448401733239439360000.0f,
    15511210043330985984000000.0f,
};
constexpr int kLargestTabulated = 25;

// ln(sqrt(2 pi)) as a 32-bit real.
const float kLnSqrtTwoPi = std::bit_cast<float>(std::uint32_t{0x3F6B3F8E});

// Largest N whose factorial does not overflow; 0 until the first call sets it.
int facLimit = 0;

}  // namespace

// fac: N! as a 32-bit real, from a table for N <= 25 and by Stirling's formula with the
// log-gamma correction R9LGMC above that, up to facLimit (34).
//   N  (in) the argument.
// Checks: N < 0 is TERMINAL code 5; N > facLimit is TERMINAL code 4 (both stop the program at
// the pop). The value of a failed call is NaN.
float fac(int N) {
  E1PSH("fac");
  float result = AMACH(6);

  if (facLimit == 0) {
    float XMIN = 0.0f;
    float XMAX = 0.0f;
    R9GAML(XMIN, XMAX);
    if (std::isfinite(XMAX)) facLimit = static_cast<int>(XMAX - 1.0f);
  }

  if (N < 0) {
    E1ARGI(1, N);
    E1MES(5, 5, "The factorial of a negative integer is undefined. N = %(I1).");
  } else if (N <= kLargestTabulated) {
    result = kFactorials[N];
  } else if (N <= facLimit) {
    // ln N! = ln Gamma(N + 1) = (X - 1/2) ln X - X + ln sqrt(2 pi) + correction, X = N + 1.
    const float X = static_cast<float>(N) + 1.0f;
    float exponent = (X - 0.5f) * std::log(X);
    exponent = exponent - X;
    exponent = exponent + kLnSqrtTwoPi;
    exponent = exponent + R9LGMC(X);
    result = std::exp(exponent);
  } else {
    E1ARGI(1, N);
    E1ARGI(2, facLimit);
    E1MES(5, 4,
          "The factorial of the argument is so large it would overflow. N = %(I1). It must be "
          "less than %(I2).");
  }

  E1POP("fac");
  return result;
}

}  // namespace numlib
