#include "dialogue/series_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "dialogue/series_lines.h"
#include "numlib/stop.h"

namespace dialogue {
namespace {

// ---------------------------------------------------------------------------------------------
// One line by the rules of the field.

struct LineCase {
  const char* name;
  std::string line;
  bool readable;
  double value;
};

const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(ReadSeriesLine, Table) {
  const LineCase cases[] = {
      {"with point", "1.5", true, 1.5},
      {"integer has implied decimals", "5", true, 5e-10},
      {"three digits", "123", true, 1.23e-8},
      {"ten digits", "1234567890", true, 0.123456789},
      {"eleven digits", "12345678901", true, 1.2345678901},
      {"exponent E", "1.5E3", true, 1500},
      {"exponent e", "1.5e3", true, 1500},
      {"exponent D", "1.5D3", true, 1500},
      {"exponent d", "1.5d3", true, 1500},
      {"sign-only exponent", "1.5+3", true, 1500},
      {"sign-only negative exponent", "1.5-3", true, 0.0015},
      {"signed exponent", "1.5E+3", true, 1500},
      {"negative exponent", "1.5E-3", true, 0.0015},
      {"exponent with leading zeros", "1.5E0003", true, 1500},
      {"integer scaled by exponent", "5E2", true, 5e-8},
      {"integer with sign-only exponent", "15+10", true, 15},
      {"negative", "-2.5", true, -2.5},
      {"plus and point first", "+.5", true, 0.5},
      {"minus and point first", "-.5", true, -0.5},
      {"point last", "7.", true, 7},
      {"blanks inside", " 1 2 . 5 E 1 ", true, 125},
      {"blank between sign and digits", "-  3.25", true, -3.25},
      {"empty line", "", true, 0},
      {"only blanks", "          ", true, 0},
      {"number after column 20", std::string(20, ' ') + "7.5", true, 0},
      {"number ending at column 20", std::string(17, ' ') + "7.5", true, 7.5},
      {"cut at column 20", "123.456789012345678901", true, 123.4567890123456789},
      {"twenty digits without point", "12345678901234567890123", true, 1234567890.123456789},
      {"text after column 20 ignored", "1.5" + std::string(17, ' ') + "header", true, 1.5},
      {"near the largest real", "1.79769313486E308", true, 1.79769313486e308},
      {"exponent cut at column 20", "1.7976931348623157E308", true, 1797.6931348623157},
      {"zero with huge exponent", "0E999", true, 0},
      {"underflow is zero", "1E-999", true, 0},
      {"huge negative exponent", "1E-99999999999999", true, 0},
      {"many leading zeros", "0000000000000000.125", true, 0.125},
      {"header word", "value", false, kNaN},
      {"letter before number", "x1.5", false, kNaN},
      {"letter after number", "1.5x", false, kNaN},
      {"second point", "1.2.3", false, kNaN},
      {"comma", "1,5", false, kNaN},
      {"point only", ".", false, kNaN},
      {"sign only", "+", false, kNaN},
      {"minus only", "-", false, kNaN},
      {"two signs", "+-5", false, kNaN},
      {"exponent without digits", "1.5E", false, kNaN},
      {"exponent sign without digits", "1.5E+", false, kNaN},
      {"exponent without mantissa", "E5", false, kNaN},
      {"point in exponent", "1.5E3.0", false, kNaN},
      {"double exponent letter", "1.5EE3", false, kNaN},
      {"overflow", "1E999", false, kNaN},
      {"overflow just above the largest real", "1.8E308", false, kNaN},
      {"overflow by a long exponent", "1E99999999999999", false, kNaN},
      {"overflow of negative", "-2E400", false, kNaN},
      {"tab", "\t1.5", false, kNaN},
      {"carriage return inside the field", "1.5\r", false, kNaN},
      {"letter F as exponent", "1.5F3", false, kNaN},
  };
  for (const auto& c : cases) {
    double value = kNaN;
    EXPECT_EQ(read_series_line(c.line, value), c.readable) << c.name;
    if (c.readable) {
      EXPECT_EQ(value, c.value) << c.name;
    }
  }
}

TEST(ReadSeriesLine, NegativeZeroKeepsSign) {
  double value = 1;
  ASSERT_TRUE(read_series_line("-0.0", value));
  EXPECT_EQ(value, 0.0);
  EXPECT_TRUE(std::signbit(value));
}

TEST(ReadSeriesLine, ValuesAreTheCorrectlyRoundedDecimals) {
  // Fields as series files hold them, and ones beside the limits of the short-cut conversion
  // (15 and 16 digits, powers of ten around 22): each must be the nearest 64-bit real, as
  // strtod gives it.
  std::vector<std::string> fields = {"0.1",
                                     "-0.3",
                                     "12345678901234.5",
                                     "1234567890123.456",
                                     "1.0e-21",
                                     "9007199254740993.",
                                     "1.e22",
                                     "1.e23",
                                     "4.35",
                                     "-2.675",
                                     "1.5E-22",
                                     "1.5E-23",
                                     "99999999999999.9",
                                     "0.9162503924",
                                     "-0.0000000001"};
  std::uint32_t seed = 17u;
  char text[32];
  for (int k = 0; k < 2000; ++k) {
    seed = seed * 1664525u + 1013904223u;
    const double x = (seed >> 4) / double(1u << 28) * 4.0 - 2.0;
    std::snprintf(text, sizeof text, k % 2 == 0 ? "%.10f" : "%.6e", x);
    fields.emplace_back(text);
  }
  for (const std::string& f : fields) {
    std::string plain = f;
    std::replace(plain.begin(), plain.end(), 'E', 'e');
    double value = 0;
    ASSERT_TRUE(read_series_line(f, value)) << f;
    EXPECT_EQ(value, std::strtod(plain.c_str(), nullptr)) << f;
  }
}

// ---------------------------------------------------------------------------------------------
// Splitting a file into lines.

struct SplitCase {
  const char* name;
  std::string text;
  std::vector<std::string> fields;
};

TEST(LineReader, SplitTable) {
  const std::string long_line = "2.5" + std::string(100000, 'x');
  // A first line that leaves room for "12\r" at the end of the reader's first block, so that
  // the LF of that CR LF comes with the next block.
  constexpr auto block = static_cast<std::size_t>(LineReader::kBlock);
  const std::string block_filler(block - 4, '1');
  const SplitCase cases[] = {
      {"empty file", "", {}},
      {"one empty line", "\n", {""}},
      {"LF", "1.5\n2.5\n", {"1.5", "2.5"}},
      {"CR LF", "1.5\r\n2.5\r\n", {"1.5", "2.5"}},
      {"last line without line end", "1.5\n2.5", {"1.5", "2.5"}},
      {"last line ends in CR", "1.5\r\n2.5\r", {"1.5", "2.5"}},
      {"empty lines inside and at the end", "1\n\n2\n\n", {"1", "", "2", ""}},
      {"CR LF empty line", "1\r\n\r\n2\r\n", {"1", "", "2"}},
      {"CR inside the line stays", "1\r5\n", {"1\r5"}},
      {"lone CR is no line end", "1\r2\r\n", {"1\r2"}},
      {"field of 20 then CR LF", std::string(20, '1') + "\r\n", {std::string(20, '1')}},
      {"field cut at 20", std::string(25, '3') + "\r\n7\n", {std::string(20, '3'), "7"}},
      {"long line", long_line + "\n4\n", {long_line.substr(0, 20), "4"}},
      {"CR LF across blocks", block_filler + "\n12\r\n7\n", {std::string(20, '1'), "12", "7"}},
      {"field across blocks", block_filler + "\n1234\n", {std::string(20, '1'), "1234"}},
      {"line end at the block's end",
       std::string(block - 1, '2') + "\n3",
       {std::string(20, '2'), "3"}},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.text);
    LineReader reader(in);
    std::vector<std::string> fields;
    std::string_view field;
    while (reader.next(field)) fields.emplace_back(field);
    EXPECT_EQ(fields, c.fields) << c.name;
  }
}

struct CountCase {
  const char* name;
  std::string text;
  std::int64_t max_lines;
  CountResult result;
  int N;
};

TEST(CountSeriesLines, Table) {
  const CountCase cases[] = {
      {"two values", "1.5\n2.5\n", 100, CountResult::counted, 2},
      {"two values without final line end", "1.5\n2.5", 100, CountResult::counted, 2},
      {"empty line counts", "1.5\n\n2.5\n", 100, CountResult::counted, 3},
      {"trailing empty line counts", "1.5\n2.5\n\n", 100, CountResult::counted, 3},
      {"two empty lines", "\n\n", 100, CountResult::counted, 2},
      {"one value", "1.5\n", 100, CountResult::too_short, 0},
      {"empty file", "", 100, CountResult::too_short, 0},
      {"header line", "value\n1.5\n2.5\n", 100, CountResult::unreadable_line, 0},
      {"unreadable last line", "1.5\n2.5\nend", 100, CountResult::unreadable_line, 0},
      {"unreadable single line", "x\n", 100, CountResult::unreadable_line, 0},
      {"at the line limit", "1\n2\n3\n", 3, CountResult::counted, 3},
      {"beyond the line limit", "1\n2\n3\n", 2, CountResult::unreadable_line, 0},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.text);
    int N = 0;
    EXPECT_EQ(count_series_lines(in, c.max_lines, N), c.result) << c.name;
    EXPECT_EQ(N, c.N) << c.name;
  }
}

// ---------------------------------------------------------------------------------------------
// The series file on disk, chosen through arguments and the dialog stand-ins.

// Windows that answer the file-choice dialog and the message box from scripts.
class ScriptedDialogs : public plot::WindowSystem {
 public:
  std::deque<std::string> file_answers;
  std::deque<bool> box_answers;
  std::vector<std::string> calls;

  std::string choose_file(std::string_view title) override {
    calls.push_back("choose_file: " + std::string(title));
    if (file_answers.empty()) throw std::runtime_error("no file answer left");
    auto name = file_answers.front();
    file_answers.pop_front();
    return name;
  }
  bool confirm(std::string_view title, std::string_view text) override {
    calls.push_back("confirm: " + std::string(title) + " | " + std::string(text));
    if (box_answers.empty()) throw std::runtime_error("no box answer left");
    const bool yes = box_answers.front();
    box_answers.pop_front();
    return yes;
  }

  void OPENWINDOW(int, std::string_view, bool) override {}
  void PLACEWINDOW(int, const plot::WINDOWPLACE&) override {}
  void TARGETWINDOW(int) override {}
  void FOCUSWINDOW(int) override {}
  int SETBACKCOLOR(int) override { return 0; }
  void CLEARWINDOW(int) override {}
  int SETTEXTCOLOR(int) override { return 0; }
  int SHOWCURSOR(int) override { return 0; }
  void write_text(int, std::string_view) override {}
  std::string read_line(int) override { return {}; }
  int SETDRAWCOLOR(int) override { return 0; }
  int LOADFONTS() override { return 0; }
  int SELECTFONT(std::string_view) override { return 0; }
  void DRAWRECT(int, std::int16_t, std::int16_t, std::int16_t, std::int16_t) override {}
  void MOVEPEN(std::int16_t, std::int16_t) override {}
  void DRAWLINETO(std::int16_t, std::int16_t) override {}
  int PLOTPIXEL(std::int16_t, std::int16_t) override { return 0; }
  void DRAWTEXT(std::string_view) override {}
};

const std::string kChooseCall = "choose_file: Open: Select File for Unit 1";
const std::string kBoxCall =
    "confirm: File Open Error | A File Must be Selected\n\nTerminate Program?";

class SeriesFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("mapfit_series_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string write(const std::string& name, const std::string& text) {
    const auto path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  // Chooses `name` as the only argument and counts it.
  CountResult choose_and_count(const std::string& name) {
    std::deque<std::string> args{name};
    choose_series(series_, args, windows_);
    return count_series(series_);
  }

  std::filesystem::path dir_;
  Series series_;
  ScriptedDialogs windows_;
};

TEST_F(SeriesFileTest, TwoValueFileIsAccepted) {
  const auto path = write("two.txt", "1.5\n2.5\n");
  ASSERT_EQ(choose_and_count(path), CountResult::counted);
  EXPECT_EQ(series_.N, 2);
  load_training(series_, 2);
  EXPECT_EQ(series_.values, (std::vector<double>{1.5, 2.5}));
  EXPECT_TRUE(windows_.calls.empty());
}

TEST_F(SeriesFileTest, EmptyLinesAreZeros) {
  const auto path = write("gaps.txt", "1.5\n\n2.5\n\n");
  ASSERT_EQ(choose_and_count(path), CountResult::counted);
  EXPECT_EQ(series_.N, 4);
  load_training(series_, 4);
  EXPECT_EQ(series_.values, (std::vector<double>{1.5, 0, 2.5, 0}));
}

TEST_F(SeriesFileTest, CrLfFileReadsLikeLf) {
  const auto path = write("crlf.txt", "1.5\r\n-2\r\n3.25E1\r\n");
  ASSERT_EQ(choose_and_count(path), CountResult::counted);
  EXPECT_EQ(series_.N, 3);
  load_training(series_, 3);
  EXPECT_EQ(series_.values, (std::vector<double>{1.5, -2e-10, 32.5}));
}

TEST_F(SeriesFileTest, LoadAgainWithShorterTraining) {
  const auto path = write("five.txt", "1.\n2.\n3.\n4.\n5.\n");
  ASSERT_EQ(choose_and_count(path), CountResult::counted);
  load_training(series_, 4);
  EXPECT_EQ(series_.values, (std::vector<double>{1, 2, 3, 4}));
  load_training(series_, 2);
  EXPECT_EQ(series_.values, (std::vector<double>{1, 2}));
  EXPECT_EQ(series_.N, 5);
}

TEST_F(SeriesFileTest, TestSeriesStartsWithLastTrainingValues) {
  std::string text;
  for (int k = 1; k <= 20; ++k) text += std::to_string(k) + ".0\n";
  const auto path = write("twenty.txt", text);
  ASSERT_EQ(choose_and_count(path), CountResult::counted);
  load_training(series_, 10);
  // Ntrain = 10, D = 3: T(i) = x(7 + i).
  const auto T = read_test_series(series_, 10, 3, 6);
  EXPECT_EQ(T, (std::vector<double>{8, 9, 10, 11, 12, 13}));
  // Up to the last line.
  const auto last = read_test_series(series_, 10, 3, 13);
  ASSERT_EQ(last.size(), 13u);
  EXPECT_EQ(last.back(), 20);
}

TEST_F(SeriesFileTest, LinesAcrossTheMegabyteMarkReadWhole) {
  // The file is read in blocks of a megabyte: lines that end, or whose CR LF ends, right at or
  // across the 2^20 byte mark, and a long line whose field ends before it, read as one line
  // each. The first line pads the file so that the next lines straddle the mark.
  constexpr std::size_t kMark = std::size_t{1} << 20;
  for (const std::size_t before : {0, 1, 2, 3, 5}) {
    std::string text = "1.5";
    text += std::string(kMark - before - 3 - 1 - 4, ' ');  // line 1 ends 4 + before bytes early
    text += "\n";
    text += "2.25\r\n";                           // line 2: starts 4 + before bytes before the mark
    text += "-3." + std::string(40, '0') + "\n";  // a field of 20 characters, the rest ignored
    text += "4.0";                                // no line end at the end of the file
    const auto path = write("mark" + std::to_string(before) + ".txt", text);
    ASSERT_EQ(choose_and_count(path), CountResult::counted) << before;
    EXPECT_EQ(series_.N, 4) << before;
    load_training(series_, 4);
    EXPECT_EQ(series_.values, (std::vector<double>{1.5, 2.25, -3, 4})) << before;
    EXPECT_EQ(read_test_series(series_, 3, 1, 2), (std::vector<double>{-3, 4})) << before;
  }
}

TEST_F(SeriesFileTest, UnreadableLineIsRefusedAgainForTheSameFile) {
  const auto path = write("header.txt", "x values\n1.5\n2.5\n");
  EXPECT_EQ(choose_and_count(path), CountResult::unreadable_line);
  EXPECT_EQ(choose_and_count(path), CountResult::unreadable_line);
}

TEST_F(SeriesFileTest, OneValueIsTooShort) {
  EXPECT_EQ(choose_and_count(write("one.txt", "1.5\n")), CountResult::too_short);
  EXPECT_EQ(choose_and_count(write("empty.txt", "")), CountResult::too_short);
}

TEST_F(SeriesFileTest, MissingFileIsRefusedWithNoteAndNotCreated) {
  const auto path = (dir_ / "missing.txt").string();
  ::testing::internal::CaptureStderr();
  const auto result = choose_and_count(path);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "mapfit: no such file: " + path + "\n");
  EXPECT_EQ(result, CountResult::too_short);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(SeriesFileTest, DirectoryIsRefusedWithNote) {
  ::testing::internal::CaptureStderr();
  const auto result = choose_and_count(dir_.string());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "mapfit: not a file: " + dir_.string() + "\n");
  EXPECT_EQ(result, CountResult::too_short);
}

TEST_F(SeriesFileTest, ArgumentsAreTrimmedAndUsedUpInTurn) {
  const auto bad = write("bad.txt", "1,5\n2\n");
  const auto good = write("good.txt", "1\n2\n3\n");
  std::deque<std::string> args{"  " + bad + "\t", good};
  choose_series(series_, args, windows_);
  EXPECT_EQ(series_.name, bad);
  EXPECT_EQ(args.size(), 1u);
  EXPECT_EQ(count_series(series_), CountResult::unreadable_line);
  choose_series(series_, args, windows_);
  EXPECT_TRUE(args.empty());
  ASSERT_EQ(count_series(series_), CountResult::counted);
  EXPECT_EQ(series_.N, 3);
  EXPECT_TRUE(windows_.calls.empty());
  // A third choice goes to the dialog.
  windows_.file_answers = {good};
  choose_series(series_, args, windows_);
  EXPECT_EQ(windows_.calls, (std::vector<std::string>{kChooseCall}));
  EXPECT_EQ(count_series(series_), CountResult::counted);
}

TEST_F(SeriesFileTest, BlankArgumentIsNoNameAndUsedUp) {
  const auto good = write("good.txt", "1\n2\n");
  std::deque<std::string> args{"   ", "next.txt"};
  windows_.file_answers = {good};
  choose_series(series_, args, windows_);
  EXPECT_EQ(args, (std::deque<std::string>{"next.txt"}));
  EXPECT_EQ(windows_.calls, (std::vector<std::string>{kChooseCall}));
  EXPECT_EQ(series_.name, good);
}

TEST_F(SeriesFileTest, CancelledDialogAnsweredNoAsksAgain) {
  const auto good = write("good.txt", "1\n2\n");
  std::deque<std::string> args;
  windows_.file_answers = {"", "", good};
  windows_.box_answers = {false, false};
  choose_series(series_, args, windows_);
  EXPECT_EQ(windows_.calls,
            (std::vector<std::string>{kChooseCall, kBoxCall, kChooseCall, kBoxCall, kChooseCall}));
  EXPECT_EQ(count_series(series_), CountResult::counted);
}

TEST_F(SeriesFileTest, CancelledDialogAnsweredYesStopsWithZero) {
  std::deque<std::string> args;
  windows_.file_answers = {""};
  windows_.box_answers = {true};
  try {
    choose_series(series_, args, windows_);
    FAIL() << "no stop";
  } catch (const numlib::ProgramStop& stop) {
    EXPECT_EQ(stop.status, 0);
  }
  EXPECT_EQ(windows_.calls, (std::vector<std::string>{kChooseCall, kBoxCall}));
}

TEST_F(SeriesFileTest, ChoosingAgainClosesThePreviousFile) {
  const auto first = write("first.txt", "1\n2\n");
  ASSERT_EQ(choose_and_count(first), CountResult::counted);
  const auto missing = (dir_ / "missing.txt").string();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(choose_and_count(missing), CountResult::too_short);
  ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(series_.file.is_open());
}

// A later pass that meets the end or an unreadable line stops the program with status 1.
struct ChangeCase {
  const char* name;
  std::string replacement;
  bool test_series;  // else the training load
};

TEST_F(SeriesFileTest, FileChangedWhileInUseStops) {
  const ChangeCase cases[] = {
      {"shortened before the load", "1\n2\n", false},
      {"unreadable before the load", "1\n2\nx\n4\n5\n6\n", false},
      {"shortened before the test series", "1\n2\n3\n4\n", true},
      {"unreadable before the test series", "1\n2\n3\n4\n5\nvalue\n", true},
  };
  for (const auto& c : cases) {
    const auto path = write("changing.txt", "1\n2\n3\n4\n5\n6\n");
    ASSERT_EQ(choose_and_count(path), CountResult::counted) << c.name;
    write("changing.txt", c.replacement);
    ::testing::internal::CaptureStderr();
    int status = -1;
    try {
      if (c.test_series) {
        read_test_series(series_, 4, 1, 3);
      } else {
        load_training(series_, 4);
      }
    } catch (const numlib::ProgramStop& stop) {
      status = stop.status;
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "mapfit: the series file " + path + " changed while in use\n")
        << c.name;
    EXPECT_EQ(status, 1) << c.name;
  }
}

TEST_F(SeriesFileTest, CloseLeavesNoFileOpen) {
  ASSERT_EQ(choose_and_count(write("two.txt", "1\n2\n")), CountResult::counted);
  close_series(series_);
  EXPECT_FALSE(series_.file.is_open());
  close_series(series_);  // closing twice is harmless
  EXPECT_FALSE(series_.file.is_open());
}

}  // namespace
}  // namespace dialogue
