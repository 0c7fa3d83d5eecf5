#include "numlib/machine.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>

#include "numlib/units.h"
#include "tests/numlib/unit_capture.h"

namespace numlib {
namespace {

using MachineTest = CapturedOutput;

TEST_F(MachineTest, RealConstantsHaveTheirIeeeBits) {
  struct Case {
    int N;
    std::uint32_t single;
    std::uint64_t dbl;
  };
  const Case cases[] = {
      {1, 0x00800000u, 0x0010000000000000u}, {2, 0x7F7FFFFFu, 0x7FEFFFFFFFFFFFFFu},
      {3, 0x33800000u, 0x3CA0000000000000u}, {4, 0x34000000u, 0x3CB0000000000000u},
      {5, 0x3E9A209Bu, 0x3FD34413509F79FFu}, {6, 0x7FC00000u, 0x7FF8000000000000u},
      {7, 0x7F800000u, 0x7FF0000000000000u}, {8, 0xFF800000u, 0xFFF0000000000000u},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(std::bit_cast<std::uint32_t>(AMACH(c.N)), c.single) << c.N;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(DMACH(c.N)), c.dbl) << c.N;
  }
  EXPECT_EQ(out, "");
  EXPECT_EQ(N1RCD(0), 0);  // the stack was not touched
}

TEST_F(MachineTest, RealConstantOutsideTableStops) {
  struct Case {
    bool single;
    int N;
    const char* expected;
  };
  const Case cases[] = {
      {true, 0,
       "\n *** TERMINAL ERROR 5 from AMACH.  The argument must be between 1 and 8\n"
       " ***          inclusive. N = 0\n"},
      {true, 9,
       "\n *** TERMINAL ERROR 5 from AMACH.  The argument must be between 1 and 8\n"
       " ***          inclusive. N = 9\n"},
      {false, 9,
       "\n *** TERMINAL ERROR 5 from DMACH.  The argument must be between 1 and 8\n"
       " ***          inclusive. N = 9\n"},
      {false, -1,
       "\n *** TERMINAL ERROR 5 from DMACH.  The argument must be between 1 and 8\n"
       " ***          inclusive. N = -1\n"},
  };
  for (const auto& c : cases) {
    reset_error_stack();
    out.clear();
    const int status = stop_status([&] { c.single ? AMACH(c.N) : DMACH(c.N); });
    EXPECT_EQ(status, 1) << c.N;
    EXPECT_EQ(out, c.expected) << c.N;
  }
}

TEST_F(MachineTest, IntegerConstants) {
  const int expected[12] = {32, 4, 2, 31, 2147483647, 2, 24, -125, 128, 53, -1021, 1024};
  for (int N = 1; N <= 12; ++N) EXPECT_EQ(IMACH(N), expected[N - 1]) << N;
  EXPECT_EQ(out, "");
}

TEST_F(MachineTest, IntegerConstantOutsideTableStops) {
  struct Case {
    int N;
    const char* shown;
  };
  for (const Case c : {Case{13, "    13"}, Case{0, "     0"}, Case{-5, "    -5"}}) {
    out.clear();
    EXPECT_EQ(stop_status([&] { IMACH(c.N); }), 1) << c.N;
    EXPECT_EQ(out, std::string("\n *** TERMINAL ERROR 5 from IMACH.  The argument\n"
                               " ***          must be between 1 and 12 inclusive.\n"
                               " ***          N = ") +
                       c.shown + ".\n\n")
        << c.N;
  }
}

TEST_F(MachineTest, UnitsAreReadAndChanged) {
  const int expected[3] = {5, 6, 6};
  for (int N = 1; N <= 3; ++N) {
    int unit = -99;
    UMACH(N, unit);
    EXPECT_EQ(unit, expected[N - 1]) << N;
  }
  int unit = 7;
  UMACH(-3, unit);
  int read = 0;
  UMACH(3, read);
  EXPECT_EQ(read, 7);
  UMACH(2, read);
  EXPECT_EQ(read, 6);
  unit = 6;
  UMACH(-3, unit);
  UMACH(3, read);
  EXPECT_EQ(read, 6);
}

TEST_F(MachineTest, UnitIndexOutsideTableStops) {
  struct Case {
    int N;
    const char* shown;
  };
  for (const Case c :
       {Case{4, "     4"}, Case{0, "     0"}, Case{-4, "     4"}, Case{-123456, "123456"}}) {
    out.clear();
    int unit = 42;
    EXPECT_EQ(stop_status([&] { UMACH(c.N, unit); }), 1) << c.N;
    EXPECT_EQ(unit, 42) << c.N;
    EXPECT_EQ(out, std::string("\n *** TERMINAL ERROR 5 from UMACH.  The absolute\n"
                               " ***          value of the index variable must be\n"
                               " ***          1, 2, or 3.  IABS(N) = ") +
                       c.shown + ".\n\n")
        << c.N;
  }
}

// Messages follow the units that UMACH names: errors to unit 3's entry, IMACH to unit 2's.
TEST_F(MachineTest, MessagesGoToTheUnitsThatUMACHNames) {
  std::string seven, eight;
  set_unit_sink(7, [&](std::string_view text) { seven += text; });
  set_unit_sink(8, [&](std::string_view text) { eight += text; });
  int unit = 7;
  UMACH(-3, unit);
  unit = 8;
  UMACH(-2, unit);
  const int error_status = stop_status([] { AMACH(0); });
  const int imach_status = stop_status([] { IMACH(99); });
  unit = 6;
  UMACH(-3, unit);
  UMACH(-2, unit);
  set_unit_sink(7, {});
  set_unit_sink(8, {});

  EXPECT_EQ(error_status, 1);
  EXPECT_EQ(imach_status, 1);
  EXPECT_EQ(out, "");
  EXPECT_NE(seven.find("from AMACH."), std::string::npos);
  EXPECT_EQ(seven.find("IMACH"), std::string::npos);
  EXPECT_NE(eight.find("from IMACH."), std::string::npos);
}

TEST(Units, DefaultSinkOfUnit6IsStandardOutput) {
  set_unit_sink(numlib::kStandardOutputUnit, {});
  testing::internal::CaptureStdout();
  write_unit(numlib::kStandardOutputUnit, " line\n");
  write_unit(9, " no sink\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), " line\n");

  std::string captured;
  set_unit_sink(numlib::kStandardOutputUnit, [&](std::string_view text) { captured += text; });
  testing::internal::CaptureStdout();
  write_unit(numlib::kStandardOutputUnit, "x");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(captured, "x");
  set_unit_sink(numlib::kStandardOutputUnit, {});
}

}  // namespace
}  // namespace numlib
