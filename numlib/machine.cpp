#include "numlib/machine.h"

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "numlib/error_stack.h"
#include "numlib/fields.h"
#include "numlib/stop.h"
#include "numlib/units.h"

namespace numlib {
namespace {

// Units for input, output and error messages; a call of UMACH with a negative index changes them.
int unit_table[3] = {5, kStandardOutputUnit, kStandardOutputUnit};

// Records the TERMINAL error of an index outside 1..8 under `name`; the pop stops the program.
void report_bad_index(const char* name, int N) {
  E1PSH(name);
  E1ARGI(1, N);
  E1MES(5, 5, "The argument must be between 1 and 8 inclusive. N = %(I1)");
  E1POP(name);
}

}  // namespace

// AMACH: 32-bit machine constant N (1 smallest normalised, 2 largest finite, 3 smallest and
// 4 largest relative spacing, 5 log10(2), 6 quiet NaN, 7 +Inf, 8 -Inf).
// Any other N is a TERMINAL error (code 5) that stops the program; the value left is NaN.
float AMACH(int N) {
  using lim = std::numeric_limits<float>;
  switch (N) {
    case 1:
      return lim::min();
    case 2:
      return lim::max();
    case 3:
      return lim::epsilon() / 2.0f;
    case 4:
      return lim::epsilon();
    case 5:
      return 0.30103001f;
    case 6:
      return lim::quiet_NaN();
    case 7:
      return lim::infinity();
    case 8:
      return -lim::infinity();
    default:
      report_bad_index("AMACH", N);
      return lim::quiet_NaN();
  }
}

// DMACH: 64-bit machine constant N, with the same indices and failure as AMACH.
double DMACH(int N) {
  using lim = std::numeric_limits<double>;
  switch (N) {
    case 1:
      return lim::min();
    case 2:
      return lim::max();
    case 3:
      return lim::epsilon() / 2.0;
    case 4:
      return lim::epsilon();
    case 5:
      return 0.3010299956639812;
    case 6:
      return lim::quiet_NaN();
    case 7:
      return lim::infinity();
    case 8:
      return -lim::infinity();
    default:
      report_bad_index("DMACH", N);
      return lim::quiet_NaN();
  }
}

// IMACH: integer constant N = 1..12 of 32-bit integers and IEEE reals. Any other N prints a
// fixed message to the output unit and stops the program; it does not use the error stack.
int IMACH(int N) {
  static const int table[12] = {32, 4, 2, 31, 2147483647, 2, 24, -125, 128, 53, -1021, 1024};
  if (N >= 1 && N <= 12) return table[N - 1];
  int unit = 0;
  UMACH(2, unit);
  write_unit(unit,
             "\n *** TERMINAL ERROR 5 from IMACH.  The argument\n"
             " ***          must be between 1 and 12 inclusive.\n"
             " ***          N = " +
                 format_I(N, 6) + ".\n\n");
  throw ProgramStop{1};
}

// UMACH: N = 1..3 returns unit N (input, output, error messages) in `unit`; N = -3..-1 sets
// unit |N| to `unit`. Any other N prints a fixed message to unit 6 and stops the program.
void UMACH(int N, int& unit) {
  const std::int64_t magnitude = std::llabs(static_cast<long long>(N));
  if (magnitude < 1 || magnitude > 3) {
    write_unit(kStandardOutputUnit,
               "\n *** TERMINAL ERROR 5 from UMACH.  The absolute\n"
               " ***          value of the index variable must be\n"
               " ***          1, 2, or 3.  IABS(N) = " +
                   format_I(magnitude, 6) + ".\n\n");
    throw ProgramStop{1};
  }
  if (N > 0) {
    unit = unit_table[N - 1];
  } else {
    unit_table[magnitude - 1] = unit;
  }
}

}  // namespace numlib
