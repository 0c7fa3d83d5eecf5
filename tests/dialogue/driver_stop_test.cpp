// How a run ends early: library errors, the end of input, and the guards against overflow.

#include <sstream>

#include "dialogue_fixture.h"

namespace dialogue::testing {
namespace {

using DialogueStop = DialogueRun;

// The words of the library's messages, without the " *** " prefixes and line breaks.
std::string message_words(const std::string& text) {
  std::istringstream in(text);
  std::string words;
  for (std::string w; in >> w;) {
    if (w == "***") continue;
    if (!words.empty()) words += ' ';
    words += w;
  }
  return words;
}

const char* const kOverflow =
    "The factorial of the argument is so large it would overflow. N = 35. It must be less "
    "than 34.";

struct FacCase {
  const char* name;
  std::deque<std::string> model_answers;  // from the function choice on
  int rejected;                           // orders refused before the stop
};

TEST_F(DialogueStop, FactorialOverflowStopsAsSoonAsTheOrderIsEntered) {
  const FacCase cases[] = {
      {"D35 polynomial", {"1", "0"}, 0},
      {"D35 numerator", {"2", "0"}, 0},
      {"D20 order 14 too many coefficients, then 15", {"1", "14", "15"}, 1},
      {"D20 denominator", {"2", "0", "15"}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempWorkDir local;
    numlib::reset_error_stack();
    unit6.clear();
    windows = ScriptedWindows{};
    write_series("long.txt", sinusoid(45));
    const std::string D = std::string(c.name).substr(1, 2);
    std::deque<std::string> answers = {"40", D};
    answers.insert(answers.end(), c.model_answers.begin(), c.model_answers.end());
    answers.push_back("n");  // never read
    EXPECT_EQ(run({"long.txt"}, answers), 1);
    EXPECT_NE(message_words(unit6).find(kOverflow), std::string::npos) << unit6;
    EXPECT_EQ(occurrences(windows.transcript, "Incorrect input"), c.rejected);
    EXPECT_EQ(windows.answers.size(), 1u);
    const auto lines = report();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], " Dimension of a model map D = " + D);
  }
}

TEST_F(DialogueStop, NegativeOrderRefusedWithoutFactorial) {
  write_series("sine.txt", sinusoid(100));
  EXPECT_EQ(run({"sine.txt"}, {"60", "2", "1", "-1", "0", "n", "y", "2", "-5", "1", "-1", "0"}), 3);
  EXPECT_EQ(occurrences(windows.transcript, "  Incorrect input\n"), 3);
  EXPECT_EQ(unit6, "");
  EXPECT_NE(windows.transcript.find("    Order of the polynomial: -1\n  Incorrect input\n"
                                    "    Order of the polynomial: 0\n"),
            std::string::npos);
  EXPECT_NE(windows.transcript.find("    Order of the denominator polynomial: -1\n"
                                    "  Incorrect input\n"
                                    "    Order of the denominator polynomial: 0\n"),
            std::string::npos);
}

TEST_F(DialogueStop, CountsAreExactAtTheLimit) {
  // Ntrain - D = 10: order 2 in D = 3 needs C(5, 3) = 10 coefficients, order 3 needs 20;
  // a rational map of orders 2 and 1 needs 10 + 3 = 13.
  write_series("noise.txt", noise(40));
  EXPECT_EQ(run({"noise.txt"}, {"13", "3", "1", "3", "2", "n", "y", "2", "2", "1", "0"}), 3);
  EXPECT_NE(windows.transcript.find("    Order of the polynomial: 3\n  Incorrect input\n"
                                    "    Order of the polynomial: 2\n"
                                    " Error of approximation:"),
            std::string::npos)
      << windows.transcript;
  EXPECT_NE(windows.transcript.find("    Order of the denominator polynomial: 1\n"
                                    "  Incorrect input\n"
                                    "    Order of the denominator polynomial: 0\n"
                                    " Error of approximation:"),
            std::string::npos)
      << windows.transcript;
  const auto lines = report();
  EXPECT_EQ(count_lines(lines, " Coefficients of the model map:"), 2);
  // Training block and dimension, then 3 + 10 + 1 and 4 + 10 + 1 lines of the two models.
  EXPECT_EQ(lines.size(), 3u + 14u + 15u);
}

TEST_F(DialogueStop, SingularMatrixStopsAndKeepsTheReport) {
  std::string zeros;
  for (int i = 0; i < 20; ++i) zeros += "0\n";
  write_lines("zeros.txt", zeros);
  write_lines("report.txt", " kept\n");
  EXPECT_EQ(run({"zeros.txt"}, {"10", "1", "1", "1", "n"}), 1);
  EXPECT_NE(message_words(unit6).find("upper triangular matrix R is exactly singular"),
            std::string::npos)
      << unit6;
  EXPECT_EQ(windows.answers.size(), 1u);
  EXPECT_EQ(report(), (std::vector<std::string>{
                          " kept",
                          " The number of values in a training time series Ntrain =     10",
                          "",
                          " Dimension of a model map D =  1",
                      }));
  EXPECT_EQ(windows.transcript.find("Error of approximation"), std::string::npos);
}

TEST_F(DialogueStop, EndOfInputKeepsEveryLineWritten) {
  write_series("sine.txt", sinusoid(700));
  EXPECT_EQ(run({"sine.txt"}, {"500", "2", "1", "1", "y", "n"}), 3);
  const auto lines = report();
  ASSERT_EQ(lines.size(), 18u);
  EXPECT_EQ(lines[9], " Error of approximation:    0.00000 %");
  EXPECT_EQ(lines[16], " Number of infinite solutions:    0");
  EXPECT_EQ(lines[17], "");
  EXPECT_EQ(count_lines(lines, " !" + std::string(51, '*') + "!"), 0);
  EXPECT_TRUE(windows.transcript.ends_with(" 8) Check again? (y/n) "));
}

TEST_F(DialogueStop, LongSeriesCountShownAsAsterisksAndSettingsCheckedIn64Bits) {
  std::string text;
  for (int i = 0; i < 100001; ++i) text += (i % 2 != 0 ? "1.5\n" : "-0.5\n");
  write_lines("long.txt", text);
  EXPECT_EQ(run({"long.txt"},
                {"10", "1", "1", "0", "y", "y", "1", "999999", "50000", "999999", "92682", "1"}),
            3);
  const std::string& t = windows.transcript;
  EXPECT_TRUE(t.starts_with(" The time series contains ***** values\n")) << t;
  // 49999 * 999999 wraps around to a negative number in 32 bits; it must be refused.
  EXPECT_NE(t.find("     The number of test pieces: Ktest = 999999\n"
                   "  Incorrect input\n"
                   "     The number of test pieces: Ktest = 50000\n"
                   "     Shift between test pieces: Stest = 999999\n"
                   "  Incorrect input\n"
                   "     Shift between test pieces: Stest = 92682\n"
                   "  Incorrect input\n"
                   "     Shift between test pieces: Stest = 1\n"),
            std::string::npos)
      << t;
}

// A stop request abandons the work under way: nothing of it reaches the report, and the
// question that led to it is asked again.
TEST_F(DialogueStop, StoppedWorkAsksItsQuestionAgain) {
  struct StopCase {
    const char* name;
    std::vector<double> series;
    int stop_work, stop_after;  // the work stopped (1 = the first) and its progress reports
    std::deque<std::string> answers;
    const char* asked_twice;
    const char* report_once;  // a line of the work that is done once only, not twice
  };
  const StopCase cases[] = {
      // D = 4, order 10: 1001 coefficients, stopped between two panels of the factorisation.
      {"fit",
       noise(3100),
       1,
       1,
       {"3000", "4", "1", "10", "1", "1", "n", "n", "n", "n", "n"},
       "3) You can select",
       " Coefficients of the model map:"},
      {"check",
       sinusoid(700),
       2,
       0,
       {"500", "2", "1", "2", "y", "n", "n", "n", "n", "n", "n", "n"},
       "Change settings? (y/n)",
       " Length of a test piece: Ltest =    30"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempWorkDir local;
    windows = ScriptedWindows{};
    windows.stop_work = c.stop_work;
    windows.stop_after = c.stop_after;
    write_series("series.txt", c.series);
    const int level = numlib::error_stack_level();
    EXPECT_EQ(run({"series.txt"}, c.answers), 0);
    EXPECT_TRUE(windows.answers.empty());
    EXPECT_EQ(occurrences(windows.transcript, c.asked_twice), 2) << windows.transcript;
    EXPECT_FALSE(windows.finished_work);
    EXPECT_EQ(count_lines(report(), c.report_once), 1);
    EXPECT_EQ(numlib::error_stack_level(), level);
    EXPECT_EQ(unit6, "");
  }
}

}  // namespace
}  // namespace dialogue::testing
