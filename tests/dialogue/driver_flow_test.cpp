// The loops of the dialogue: test settings, reuse and rebuilding of the test data, new series.

#include <vector>

#include "dialogue_fixture.h"

namespace dialogue::testing {
namespace {

using DialogueFlow = DialogueRun;

// The series file: 500 training values, then 200 values whose shift sets the test error of a
// constant model.
void write_shifted(double test_shift) {
  std::vector<double> x = sinusoid(700);
  for (std::size_t k = 500; k < x.size(); ++k) x[k] += test_shift;
  write_series("series.txt", x);
}

std::vector<std::string> test_error_lines(const std::vector<std::string>& lines) {
  std::vector<std::string> found;
  for (const auto& l : lines) {
    if (l.rfind(" Error of approximation (test series): ", 0) == 0) found.push_back(l);
  }
  return found;
}

TEST_F(DialogueFlow, TestDataReusedUntilSettingsOrDimensionChange) {
  write_shifted(0.0);
  // The file changes behind the dialogue's back; only a rebuild of the test data sees it.
  windows.before_answer_to("8) Check again? (y/n) ", 1, [] { write_shifted(1.0); });
  windows.before_answer_to("5) Check model efficiency? (y/n) ", 3, [] { write_shifted(2.0); });
  ASSERT_EQ(run({"series.txt"},
                {
                    "500", "2", "1",  "0", "y", "y", "10", "5", "3",  // check 1: reads A
                    "y",   "n",                                       // check 2: reuses A
                    "n",   "y", "1",  "0", "y", "n",                  // check 3: new model, A
                    "y",   "y", "10", "5", "3",                       // check 4: changed, B
                    "n",   "n", "y",  "2", "1", "0", "y",  "n",       // check 5: new D, C
                    "n",   "n", "n",  "n", "n",
                }),
            0);
  const auto lines = report();
  const auto errors = test_error_lines(lines);
  ASSERT_EQ(errors.size(), 5u);
  EXPECT_EQ(errors[1], errors[0]);
  EXPECT_EQ(errors[2], errors[0]);
  EXPECT_NE(errors[3], errors[0]);
  EXPECT_NE(errors[4], errors[3]);
  EXPECT_NE(errors[4], errors[0]);
  EXPECT_EQ(count_lines(lines, " Coefficients of the model map:"), 3);
  EXPECT_EQ(count_lines(lines, " Dimension of a model map D =  2"), 2);
  EXPECT_EQ(count_lines(lines, " Length of a test piece: Ltest =    10"), 5);
  EXPECT_EQ(count_lines(lines, " Number of test pieces: Ktest =    5"), 5);
  EXPECT_EQ(count_lines(lines, " Shift between test pieces: Stest =    3"), 5);
  EXPECT_EQ(windows.count("picture_done 12"), 5);
  // The settings entered once are shown by every later question 6.
  EXPECT_EQ(occurrences(windows.transcript, "    Ltest =    10, Ktest =    5, Stest =    3\n"), 4);
}

TEST_F(DialogueFlow, ShowGoesStraightToChangeWhenSettingsDoNotFit) {
  // R = 50 values after the training part, D = 2: the initial settings need 131.
  write_series("short.txt", sinusoid(150));
  ASSERT_EQ(run({"short.txt"},
                {
                    "100", "2", "1",  "1",  "y",  "49", "0", "-1", "48",  // Ltest: R - Ltest >= D
                    "2",   "0", "1",                                      // Ktest with Ltest 48
                    "y",   "y", "10", "40", "39",                         // Ktest with Ltest 10
                    "10",  "0", "9",  // Stest with Ktest 39: at most (50-10-2)/38 = 1
                }),
            3);
  const std::string& t = windows.transcript;
  EXPECT_NE(t.find(" 6) Current settings are:\n"
                   "    Ltest =    30, Ktest =  100, Stest =    1\n"
                   " 7) The length of a test piece: Ltest = 49\n"
                   "  Incorrect input\n"
                   " 7) The length of a test piece: Ltest = 0\n"
                   "  Incorrect input\n"
                   " 7) The length of a test piece: Ltest = -1\n"
                   "  Incorrect input\n"
                   " 7) The length of a test piece: Ltest = 48\n"
                   "     The number of test pieces: Ktest = 2\n"
                   "  Incorrect input\n"
                   "     The number of test pieces: Ktest = 0\n"
                   "  Incorrect input\n"
                   "     The number of test pieces: Ktest = 1\n"
                   " Error of approximation (test):"),
            std::string::npos)
      << t;
  // Ktest = 1 asks no shift; the settings then fit, so question 6 asks before changing.
  EXPECT_NE(t.find(" 8) Check again? (y/n) y\n"
                   " 6) Current settings are:\n"
                   "    Ltest =    48, Ktest =    1, Stest =    1\n"
                   "    Change settings? (y/n) y\n"
                   " 7) The length of a test piece: Ltest = 10\n"
                   "     The number of test pieces: Ktest = 40\n"
                   "  Incorrect input\n"
                   "     The number of test pieces: Ktest = 39\n"
                   "     Shift between test pieces: Stest = 10\n"
                   "  Incorrect input\n"
                   "     Shift between test pieces: Stest = 0\n"
                   "  Incorrect input\n"
                   "     Shift between test pieces: Stest = 9\n"
                   "  Incorrect input\n"
                   "     Shift between test pieces: Stest = "),
            std::string::npos)
      << t;
}

TEST_F(DialogueFlow, KtestOneResetsTheShift) {
  write_series("sine.txt", sinusoid(700));
  ASSERT_EQ(run({"sine.txt"}, {"500", "2",  "1", "1", "y", "y", "10", "5", "7", "y",
                               "y",   "20", "1", "y", "n", "n", "n",  "n", "n", "n"}),
            0);
  const auto lines = report();
  EXPECT_EQ(count_lines(lines, " Shift between test pieces: Stest =    7"), 1);
  EXPECT_EQ(count_lines(lines, " Shift between test pieces: Stest =    1"), 2);
  EXPECT_NE(windows.transcript.find("    Ltest =    20, Ktest =    1, Stest =    1\n"
                                    "    Change settings? (y/n) n\n"),
            std::string::npos);
  EXPECT_EQ(occurrences(windows.transcript, "Shift between test pieces"), 1);
}

TEST_F(DialogueFlow, NewSeriesKeepsSettingsAndReopensTheReport) {
  write_series("one.txt", sinusoid(700));
  write_series("two.txt", sinusoid(600, 5.0, 0.5));
  ASSERT_EQ(run({"one.txt", "two.txt"},
                {"500", "2",   "1", "1", "y", "y", "10", "5", "3", "n", "n", "n", "n",
                 "y",   "400", "1", "1", "1", "y", "n",  "n", "n", "n", "n", "n"}),
            0);
  const std::string& t = windows.transcript;
  EXPECT_NE(t.find(" 12) Different time series? (y/n) y\n"
                   " The time series contains   600 values\n"),
            std::string::npos);
  EXPECT_NE(t.find("    Ltest =    10, Ktest =    5, Stest =    3\n"
                   "    Change settings? (y/n) n\n"),
            std::string::npos);
  const auto lines = report();
  EXPECT_EQ(count_lines(lines, " !" + std::string(51, '*') + "!"), 2);
  EXPECT_EQ(lines.back(), "");
  EXPECT_EQ(count_lines(lines, " The number of values in a training time series Ntrain =    400"),
            1);
  EXPECT_EQ(windows.count("OPENWINDOW 10 Input Window 1"), 2);
  EXPECT_EQ(windows.count("OPENWINDOW 12 Model efficiency 0"), 2);
}

TEST_F(DialogueFlow, DifferentNtrainReloadsAndWritesANewTrainingBlock) {
  write_series("sine.txt", sinusoid(700));
  ASSERT_EQ(run({"sine.txt"}, {"500", "2", "1", "1", "n", "n", "n", "y", "300", "3", "1", "0", "n",
                               "n", "n", "n", "n"}),
            0);
  const auto lines = report();
  ASSERT_GE(lines.size(), 13u);
  EXPECT_EQ(lines[10], " The number of values in a training time series Ntrain =    300");
  EXPECT_EQ(lines[11], "");
  EXPECT_EQ(lines[12], " Dimension of a model map D =  3");
  EXPECT_EQ(count_lines(lines, " !" + std::string(51, '*') + "!"), 1);
}

TEST_F(DialogueFlow, UnusableFilesSendBackToTheChoice) {
  write_lines("header.txt", "value\n1.0\n2.0\n");
  write_lines("short.txt", "1.0\n");
  write_series("sine.txt", sinusoid(40));
  ASSERT_EQ(run({"header.txt", "short.txt", "sine.txt"}, {}), 3);
  // Each choice prepares the window again; only the unreadable file gets a message.
  EXPECT_EQ(windows.count("OPENWINDOW 10 Input Window 1"), 3);
  EXPECT_EQ(windows.count("CLEARWINDOW 0"), 3);
  const int first_clear = windows.find("CLEARWINDOW 0");
  const int message = windows.find("text 10   Incorrect input\n");
  const int second_open = windows.find("OPENWINDOW 10", first_clear);
  EXPECT_LT(first_clear, message);
  EXPECT_LT(message, second_open);
  EXPECT_EQ(windows.count("text 10   Incorrect input\n"), 1);
  EXPECT_EQ(windows.transcript,
            "  Incorrect input\n"
            " The time series contains    40 values\n"
            " 1) Length of a training series: Ntrain = ");
}

}  // namespace
}  // namespace dialogue::testing
