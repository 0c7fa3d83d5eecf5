#include "numlib/fields.h"

#include <gtest/gtest.h>

#include <limits>

namespace numlib {
namespace {

struct IntCase {
  long long value;
  int w;
  const char* expected;
};

TEST(FormatI, Table) {
  const IntCase cases[] = {
      {500, 6, "   500"},   {2, 2, " 2"},      {-42, 6, "   -42"}, {10000, 4, "****"},
      {9999, 4, "9999"},    {-999, 4, "-999"}, {-1000, 4, "****"}, {99999, 5, "99999"},
      {100000, 5, "*****"}, {0, 1, "0"},       {30, 6, "    30"},
  };
  for (const auto& c : cases) EXPECT_EQ(format_I(c.value, c.w), c.expected) << c.value;
}

struct RealCase {
  double value;
  int w, d;
  const char* expected;
};

TEST(FormatF, Table) {
  const double inf = std::numeric_limits<double>::infinity();
  const RealCase cases[] = {
      {38.74356, 10, 5, "  38.74356"},
      {0.5, 10, 5, "   0.50000"},
      {-0.5, 5, 1, " -0.5"},
      {0.04, 5, 1, "  0.0"},
      {37.0, 5, 1, " 37.0"},
      {-167.0, 5, 1, "*****"},
      {999.94, 5, 1, "999.9"},
      {999.96, 5, 1, "*****"},
      {-99.94, 5, 1, "-99.9"},
      {-99.96, 5, 1, "*****"},
      {0.5, 4, 3, ".500"},
      {-0.5, 5, 3, "-.500"},
      {1.0, 20, 10, "        1.0000000000"},
      {-1.4, 20, 10, "       -1.4000000000"},
      {1.0e9, 20, 10, "********************"},
      {999999999.0, 20, 10, "999999999.0000000000"},
      {-1.0e8, 20, 10, "********************"},
      {-99999999.0, 20, 10, "-99999999.0000000000"},
      {9999.999995, 10, 5, "**********"},
      {std::numeric_limits<double>::quiet_NaN(), 10, 5, "       NaN"},
      {inf, 10, 5, "  Infinity"},
      {-inf, 10, 5, " -Infinity"},
      {inf, 5, 1, "  Inf"},
      {-inf, 5, 1, " -Inf"},
      {std::numeric_limits<double>::quiet_NaN(), 2, 1, "**"},
  };
  for (const auto& c : cases) EXPECT_EQ(format_F(c.value, c.w, c.d), c.expected) << c.value;
}

}  // namespace
}  // namespace numlib
