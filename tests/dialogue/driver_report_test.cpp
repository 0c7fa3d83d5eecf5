// Whole runs of the dialogue: the window transcript, the report file and the window calls.

#include <cmath>
#include <cstdlib>

#include "dialogue_fixture.h"

namespace dialogue::testing {
namespace {

const std::string kBanner = " !" + std::string(51, '*') + "!";

// A coefficient line: F20.10 with no leading blank; returns its value.
double coefficient(const std::string& line) {
  EXPECT_EQ(line.size(), 20u) << line;
  EXPECT_EQ(line.find('.'), 9u) << line;
  return std::strtod(line.c_str(), nullptr);
}

using DialogueReport = DialogueRun;

TEST_F(DialogueReport, PolynomialOrderOneCheckedOnce) {
  write_series("sine.txt", sinusoid(700));
  write_lines("report.txt", " an earlier run\n");
  ASSERT_EQ(run({"sine.txt"}, {"500", "2", "1", "1", "y", "n", "n", "n", "n", "n", "n"}), 0);

  EXPECT_EQ(windows.transcript,
            " The time series contains   700 values\n"
            " 1) Length of a training series: Ntrain = 500\n"
            " 2) Dimension of a model map: D = 2\n"
            " 3) You can select one of the following\n"
            "    functions for approximation:\n"
            "    1 - standard polynomial\n"
            "    2 - rational\n"
            "    Select a function: 1\n"
            "    Order of the polynomial: 1\n"
            " Error of approximation:    0.00000 %\n"
            " 5) Check model efficiency? (y/n) y\n"
            " 6) Current settings are:\n"
            "    Ltest =    30, Ktest =  100, Stest =    1\n"
            "    Change settings? (y/n) n\n"
            " Error of approximation (test):    0.00000 %\n"
            " Prediction time:   30\n"
            " Number of infinite solutions:    0\n"
            " 8) Check again? (y/n) n\n"
            " 9) Different model? (y/n) n\n"
            " 10) Different dimension of a model? (y/n) n\n"
            " 11) Different length Ntrain? (y/n) n\n"
            " 12) Different time series? (y/n) n\n");

  const auto lines = report();
  ASSERT_EQ(lines.size(), 21u);
  EXPECT_EQ(lines[0], " an earlier run");
  EXPECT_EQ(lines[1], " The number of values in a training time series Ntrain =    500");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3], " Dimension of a model map D =  2");
  EXPECT_EQ(lines[4], " Function for approximation: standard p");
  EXPECT_EQ(lines[5], " Polynomial order nu =  1");
  EXPECT_EQ(lines[6], " Coefficients of the model map:");
  // x(n+1) = 10 (1 - cos 0.7) - x(n-1) + 2 cos 0.7 x(n), the oldest argument first.
  EXPECT_NEAR(coefficient(lines[7]), 10.0 * (1.0 - std::cos(0.7)), 1e-6);
  EXPECT_NEAR(coefficient(lines[8]), -1.0, 1e-6);
  EXPECT_NEAR(coefficient(lines[9]), 2.0 * std::cos(0.7), 1e-6);
  EXPECT_EQ(lines[10], " Error of approximation:    0.00000 %");
  EXPECT_EQ(lines[11], "");
  EXPECT_EQ(lines[12], " Error of approximation (test series):    0.00000 %");
  EXPECT_EQ(lines[13], " Length of a test piece: Ltest =    30");
  EXPECT_EQ(lines[14], " Number of test pieces: Ktest =  100");
  EXPECT_EQ(lines[15], " Shift between test pieces: Stest =    1");
  EXPECT_EQ(lines[16], " Prediction time:   30");
  EXPECT_EQ(lines[17], " Number of infinite solutions:    0");
  EXPECT_EQ(lines[18], "");
  EXPECT_EQ(lines[19], kBanner);
  EXPECT_EQ(lines[20], "");
}

TEST_F(DialogueReport, WindowCallsOfStartAndCheckInOrder) {
  write_series("sine.txt", sinusoid(700));
  ASSERT_EQ(run({"sine.txt"}, {"500", "2", "1", "1", "y", "n", "n", "n", "n", "n", "n"}), 0);
  const std::vector<std::string> start(windows.events.begin(), windows.events.begin() + 6);
  EXPECT_EQ(start, (std::vector<std::string>{"OPENWINDOW 10 Input Window 1",
                                             "PLACEWINDOW 10 4 0 0 31 47", "SETBACKCOLOR 15",
                                             "CLEARWINDOW 0", "SETTEXTCOLOR 0", "SHOWCURSOR 1"}));
  EXPECT_EQ(windows.events[6], "text 10  The time series contains   700 values\n");

  // The fit and the check are each marked as long work.
  const int fit = windows.find("work_begins");
  ASSERT_GE(fit, 0);
  const int fit_end = windows.find("work_ends", fit);
  EXPECT_LT(fit_end, windows.find("text 10  Error of approximation:"));
  const int check = windows.find("work_begins", fit_end);
  ASSERT_GT(check, fit_end);

  const int plot_open = windows.find("OPENWINDOW 12 Model efficiency", check);
  const int test_error = windows.find("text 10  Error of approximation (test):", check);
  const int focus = windows.find("FOCUSWINDOW 12", check);
  const int model_drawn = windows.find("draw", focus);
  const int done = windows.find("picture_done 12", check);
  const int time = windows.find("text 10  Prediction time:", check);
  const int check_end = windows.find("work_ends", check);
  EXPECT_LT(check, plot_open);
  EXPECT_LT(plot_open, test_error);
  EXPECT_LT(test_error, focus);
  EXPECT_LT(focus, model_drawn);
  EXPECT_LT(model_drawn, done);
  EXPECT_LT(done, time);
  EXPECT_LT(time, check_end);
  EXPECT_EQ(windows.count("picture_done 12"), 1);
  EXPECT_EQ(windows.count("FOCUSWINDOW 12"), 1);
  EXPECT_EQ(windows.count("work_begins Fitting the model map"), 1);
  EXPECT_EQ(windows.count("work_ends"), 2);
}

TEST_F(DialogueReport, RationalModelBlock) {
  write_series("sine.txt", sinusoid(700));
  ASSERT_EQ(run({"sine.txt"}, {"500", "2", "2", "1", "1", "n", "n", "n", "n", "n"}), 0);
  EXPECT_NE(windows.transcript.find("    Select a function: 2\n"
                                    "    Order of the numerator polynomial: 1\n"
                                    "    Order of the denominator polynomial: 1\n"
                                    " Error of approximation:    0.00000 %\n"
                                    " 5) Check model efficiency? (y/n) n\n"
                                    " 9) Different model? (y/n) n\n"),
            std::string::npos)
      << windows.transcript;
  const auto lines = report();
  ASSERT_EQ(lines.size(), 15u);
  EXPECT_EQ(lines[3], " Function for approximation: rational  ");
  EXPECT_EQ(lines[4], " Numerator polynomial order nu =  1");
  EXPECT_EQ(lines[5], " Denominator polynomial order mu =  1");
  EXPECT_EQ(lines[6], " Coefficients of the model map:");
  // The exact map is linear, so the denominator coefficients vanish.
  EXPECT_NEAR(coefficient(lines[7]), 10.0 * (1.0 - std::cos(0.7)), 1e-6);
  EXPECT_NEAR(coefficient(lines[8]), -1.0, 1e-6);
  EXPECT_NEAR(coefficient(lines[9]), 2.0 * std::cos(0.7), 1e-6);
  EXPECT_NEAR(coefficient(lines[10]), 0.0, 1e-6);
  EXPECT_NEAR(coefficient(lines[11]), 0.0, 1e-6);
  EXPECT_EQ(lines[12], " Error of approximation:    0.00000 %");
  EXPECT_EQ(lines[13], kBanner);
}

TEST_F(DialogueReport, RationalWithDenominatorOrderZeroEqualsPolynomial) {
  write_series("sine.txt", sinusoid(300));
  // Order 2 in one variable on a series that is not polynomial in it: a real error.
  ASSERT_EQ(
      run({"sine.txt"}, {"200", "1", "1", "2", "n", "y", "2", "2", "0", "n", "n", "n", "n", "n"}),
      0);
  const auto lines = report();
  ASSERT_EQ(lines.size(), 20u);
  EXPECT_EQ(lines[4], " Polynomial order nu =  2");
  EXPECT_EQ(lines[10], " Function for approximation: rational  ");
  EXPECT_EQ(lines[12], " Denominator polynomial order mu =  0");
  // Same three coefficients and the same error, whichever the kind.
  for (int i = 0; i < 5; ++i) EXPECT_EQ(lines[5 + i], lines[13 + i]) << i;
  EXPECT_NE(lines[9], " Error of approximation:    0.00000 %");
}

TEST_F(DialogueReport, TwoValueSeriesAcceptsOnlyOneCoefficient) {
  write_lines("two.txt", "1.5\n2.5\n");
  ASSERT_EQ(run({"two.txt"}, {"1", "3", "2", "2", "0", "1", "3", "1", "1", "0",
                              "y", "2", "1", "0", "1", "0", "n", "n", "n", "n"}),
            0);
  EXPECT_EQ(windows.transcript,
            " The time series contains     2 values\n"
            " 1) Length of a training series: Ntrain = 1\n"
            "  Incorrect input\n"
            " 1) Length of a training series: Ntrain = 3\n"
            "  Incorrect input\n"
            " 1) Length of a training series: Ntrain = 2\n"
            " 2) Dimension of a model map: D = 2\n"
            "  Incorrect input\n"
            " 2) Dimension of a model map: D = 0\n"
            "  Incorrect input\n"
            " 2) Dimension of a model map: D = 1\n"
            " 3) You can select one of the following\n"
            "    functions for approximation:\n"
            "    1 - standard polynomial\n"
            "    2 - rational\n"
            "    Select a function: 3\n"
            "  Incorrect input\n"
            "    Select a function: 1\n"
            "    Order of the polynomial: 1\n"
            "  Incorrect input\n"
            "    Order of the polynomial: 0\n"
            " Error of approximation:        NaN %\n"
            " 9) Different model? (y/n) y\n"
            " 3) You can select one of the following\n"
            "    functions for approximation:\n"
            "    1 - standard polynomial\n"
            "    2 - rational\n"
            "    Select a function: 2\n"
            "    Order of the numerator polynomial: 1\n"
            "  Incorrect input\n"
            "    Order of the numerator polynomial: 0\n"
            "    Order of the denominator polynomial: 1\n"
            "  Incorrect input\n"
            "    Order of the denominator polynomial: 0\n"
            " Error of approximation:        NaN %\n"
            " 9) Different model? (y/n) n\n"
            " 10) Different dimension of a model? (y/n) n\n"
            " 11) Different length Ntrain? (y/n) n\n"
            " 12) Different time series? (y/n) n\n");
  const auto lines = report();
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[0], " The number of values in a training time series Ntrain =      2");
  EXPECT_EQ(lines[2], " Dimension of a model map D =  1");
  EXPECT_EQ(lines[4], " Polynomial order nu =  0");
  EXPECT_EQ(lines[6], "        2.5000000000");
  EXPECT_EQ(lines[7], " Error of approximation:        NaN %");
  EXPECT_EQ(lines[9], " Numerator polynomial order nu =  0");
  EXPECT_EQ(lines[10], " Denominator polynomial order mu =  0");
  EXPECT_EQ(lines[12], "        2.5000000000");
  EXPECT_EQ(lines[13], " Error of approximation:        NaN %");
  EXPECT_EQ(lines[14], kBanner);
}

TEST_F(DialogueReport, AnswersAreCutToTheirFields) {
  write_series("sine.txt", sinusoid(700));
  // 0000123 reads as 000012; 100 for D as 10; 21 for the function as 2; an empty order as 0.
  ASSERT_EQ(run({"sine.txt"}, {"0000123", "100", "21", "", "", "no", "no", "no", "no", "no"}), 0);
  const auto lines = report();
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], " The number of values in a training time series Ntrain =     12");
  EXPECT_EQ(lines[2], " Dimension of a model map D = 10");
  EXPECT_EQ(lines[3], " Function for approximation: rational  ");
  EXPECT_EQ(lines[4], " Numerator polynomial order nu =  0");
  EXPECT_EQ(lines[5], " Denominator polynomial order mu =  0");
  EXPECT_EQ(occurrences(windows.transcript, "Incorrect input"), 0);
}

TEST_F(DialogueReport, EmptyAnswerRejectedForNtrainDimensionAndFunction) {
  write_series("sine.txt", sinusoid(40));
  ASSERT_EQ(run({"sine.txt"}, {"", "20", "", "1", "", "1", "0", "n", "n", "n", "n", "n"}), 0);
  EXPECT_EQ(occurrences(windows.transcript, "  Incorrect input\n"), 3);
  EXPECT_NE(windows.transcript.find("Ntrain = \n  Incorrect input\n"), std::string::npos);
  EXPECT_NE(windows.transcript.find("D = \n  Incorrect input\n"), std::string::npos);
  EXPECT_NE(windows.transcript.find("Select a function: \n  Incorrect input\n"), std::string::npos);
}

TEST_F(DialogueReport, YesNoAnswersOfEveryQuestion) {
  write_series("sine.txt", sinusoid(700));
  // Each yes/no question first gets a rejected answer.
  ASSERT_EQ(
      run({"sine.txt"}, {"500", "2", "1", "1", "Y", "n", "N", "n", "", "n", " n", "n", "Y", "n"}),
      0);
  EXPECT_EQ(occurrences(windows.transcript, "  Incorrect input\n"), 5);
  for (const char* q : {" 5) Check model efficiency? (y/n) Y\n  Incorrect input\n",
                        " 9) Different model? (y/n) N\n  Incorrect input\n",
                        " 10) Different dimension of a model? (y/n) \n  Incorrect input\n",
                        " 11) Different length Ntrain? (y/n)  n\n  Incorrect input\n",
                        " 12) Different time series? (y/n) Y\n  Incorrect input\n"}) {
    EXPECT_NE(windows.transcript.find(q), std::string::npos) << q;
  }
}

}  // namespace
}  // namespace dialogue::testing
