// The program as a whole: the built mapfit run in a fresh working directory with its answers
// piped in; standard output and report.txt compared with golden files under tests/data/app/.
// MAPFIT_UPDATE_GOLDEN=1 writes the golden files from the run instead (inspect them before
// keeping them).

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "windowing/png_writer.h"

namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_file(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string source_data(const std::string& name) {
  return read_file(fs::path(MAPFIT_SOURCE_DIR) / "data" / name);
}

std::string lines(const std::vector<std::string>& answers) {
  std::string text;
  for (const auto& a : answers) text += a + "\n";
  return text;
}

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

class MapfitRun : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("mapfit_app_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(dir_);
  }

  void add_file(const std::string& name, const std::string& text) { write_file(dir_ / name, text); }

  // Runs mapfit in the working directory with `input` on its standard input.
  Outcome run(const std::vector<std::string>& args, const std::string& input) {
    write_file(dir_ / "stdin.txt", input);
    std::string command = "cd '" + dir_.string() + "' && '" MAPFIT_BINARY "'";
    for (const auto& a : args) command += " '" + a + "'";
    command += " <stdin.txt >stdout.txt 2>stderr.txt";
    const int raw = std::system(command.c_str());
    Outcome o;
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    o.out = read_file(dir_ / "stdout.txt");
    o.err = read_file(dir_ / "stderr.txt");
    fs::remove(dir_ / "stdin.txt");
    fs::remove(dir_ / "stdout.txt");
    fs::remove(dir_ / "stderr.txt");
    return o;
  }

  std::string report() const { return read_file(dir_ / "report.txt"); }

  // Compares `actual` with tests/data/app/<name>, or writes it there when asked to.
  static void expect_golden(const std::string& name, const std::string& actual) {
    const fs::path path = fs::path(MAPFIT_TEST_DATA) / "app" / name;
    if (std::getenv("MAPFIT_UPDATE_GOLDEN") != nullptr) {
      fs::create_directories(path.parent_path());
      write_file(path, actual);
      return;
    }
    ASSERT_TRUE(fs::exists(path)) << "missing golden file " << path;
    EXPECT_EQ(actual, read_file(path)) << "differs from " << path;
  }

  fs::path dir_;
};

// ---------------------------------------------------------------------------------------------
// Whole dialogues compared with their golden transcripts and reports.

struct Scenario {
  const char* name;
  std::vector<std::pair<std::string, std::string>> files;  // created in the working directory
  std::vector<std::string> args;
  std::vector<std::string> answers;
  int status;
  std::string err;
};

std::string integer_series() {
  // x(k+1) = 2 x(k) + 5, written as integers: with the 10 implied decimals the map is
  // x(k+1) = 2 x(k) + 5E-10.
  std::string text;
  long long x = 5;
  for (int k = 0; k < 8; ++k, x = 2 * x + 5) text += std::to_string(x) + "\n";
  return text;
}

std::string long_series(int n) {
  std::string text;
  for (int k = 0; k < n; ++k) text += std::to_string(k % 7) + ".5\n";
  return text;
}

std::vector<Scenario> scenarios() {
  const std::string henon = source_data("henon.txt");
  const std::string sine = source_data("sine.txt");
  const std::string lorenz = source_data("lorenz.txt");
  std::string zeros;
  for (int k = 0; k < 100; ++k) zeros += "0.0\n";
  const std::vector<std::string> no_more = {"n", "n", "n", "n"};  // questions 9 to 12
  const auto with = [](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  return {
      {"report_example",
       {{"henon.txt", henon}},
       {"henon.txt"},
       with({"500", "2", "1", "1", "y", "n", "n"}, no_more),
       0,
       ""},
      {"rational",
       {{"lorenz.txt", lorenz}},
       {"lorenz.txt"},
       with({"500", "2", "2", "2", "1", "y", "n", "n"}, no_more),
       0,
       ""},
      {"loops_and_second_series",
       {{"lorenz.txt", lorenz}, {"sine.txt", sine}},
       {"--plot", "check.png", "lorenz.txt", "sine.txt"},
       {
           "500",  "2", "1",  "2",                    // Ntrain, D, polynomial of order 2
           "y",    "y", "20", "50",   "2",            // check with new settings
           "y",    "n",                               // check again, settings kept
           "n",    "y", "2",  "1",    "1", "y", "n",  // rational 1/1, check with the same test data
           "n",    "n", "y",  "3",    "1", "1", "n",  // dimension 3, polynomial 1, no check
           "n",    "n", "y",  "1000", "1", "1", "3", "n",  // Ntrain 1000, D 1, polynomial 3
           "n",    "n", "n",  "y",                         // a different time series
           "2000", "2", "1",  "1",    "y", "n", "n",       // settings kept for the new series
           "n",    "n", "n",  "n",
       },
       0,
       ""},
      {"rejected_answers",
       {{"henon.txt", henon}},
       {"henon.txt"},
       {
           "",      "abc",  "1",  "3001", "-5",  " 5 0 0",  // Ntrain
           "",      "-1",   "a1", "2",                      // D
           "",      "3",    "0",  "x",    "21",             // function: 21 reads as 2
           "-1",    "31",   "1",                            // numerator order
           "31",    "-2",   "x",  "",                       // denominator order: empty is 0
           "Y",     "",     "N",  "x",    "yes",            // question 5
           "maybe", "y",                                    // change settings
           "0",     "2499", "",   "10",                     // Ltest
           "0",     "2490", "5",                            // Ktest
           "0",     "1000", "3",                            // Stest
           "no",    "n",    "n",  "n",    "n",
       },
       0,
       ""},
      {"two_values",
       {{"two.txt", "1.5\n2.5\n"}, {"report.txt", " an earlier run\n"}},
       {"two.txt"},
       with({"3", "2", "2", "1", "1", "1", "0"}, no_more),
       0,
       ""},
      {"header_then_good_file",
       {{"header.txt", "values\n1.5\n2.5\n"}, {"henon.txt", henon}},
       {"header.txt", "henon.txt"},
       with({"500", "1", "1", "0", "n"}, no_more),
       0,
       ""},
      {"missing_then_good_file",
       {{"henon.txt", henon}},
       {"missing.txt", "henon.txt"},
       with({"500", "1", "1", "0", "n"}, no_more),
       0,
       "mapfit: no such file: missing.txt\n"},
      {"implied_decimals",
       {{"integers.txt", integer_series()}},
       {"integers.txt"},
       with({"8", "1", "1", "1"}, no_more),
       0,
       ""},
      {"long_series_and_cut_ntrain",
       {{"long.txt", long_series(123456)}},
       {"long.txt"},
       with({"1234567", "1", "1", "0"}, no_more),
       0,
       ""},
      {"fac_overflow", {{"henon.txt", henon}}, {"henon.txt"}, {"500", "35", "1", "0"}, 1, ""},
      {"singular_matrix", {{"zeros.txt", zeros}}, {"zeros.txt"}, {"50", "1", "1", "1"}, 1, ""},
      {"end_of_input", {{"henon.txt", henon}}, {"henon.txt"}, {"500"}, 3, "mapfit: end of input\n"},
  };
}

TEST_F(MapfitRun, GoldenDialogues) {
  for (const auto& scenario : scenarios()) {
    SCOPED_TRACE(scenario.name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    for (const auto& [name, text] : scenario.files) add_file(name, text);
    const Outcome o = run(scenario.args, lines(scenario.answers));
    EXPECT_EQ(o.status, scenario.status);
    EXPECT_EQ(o.err, scenario.err);
    expect_golden(std::string(scenario.name) + ".stdout", o.out);
    expect_golden(std::string(scenario.name) + ".report", report());
  }
}

// ---------------------------------------------------------------------------------------------
// Known answers.

struct KnownFigure {
  const char* file;
  std::vector<std::string> answers;
  std::string line;
};

TEST_F(MapfitRun, KnownFiguresOfTheRealSeries) {
  const KnownFigure cases[] = {
      {"sunspots-yearly.txt",
       {"221", "2", "1", "2", "n", "n", "n", "n", "n"},
       " Error of approximation:   38.74356 %\n"},
      {"laser-A.txt",
       {"1000", "4", "1", "3", "n", "n", "n", "n", "n"},
       " Error of approximation:   14.64136 %\n"},
  };
  for (const auto& c : cases) {
    add_file(c.file, source_data(c.file));
    const Outcome o = run({c.file}, lines(c.answers));
    EXPECT_EQ(o.status, 0) << c.file;
    EXPECT_NE(o.out.find(c.line), std::string::npos) << c.file << "\n" << o.out;
  }
}

// The quadratic map of the sample series is found exactly and predicts without error.
TEST_F(MapfitRun, HenonMapIsRecovered) {
  add_file("henon.txt", source_data("henon.txt"));
  const Outcome o =
      run({"henon.txt"}, lines({"500", "2", "1", "2", "y", "n", "n", "n", "n", "n", "n"}));
  ASSERT_EQ(o.status, 0);
  EXPECT_NE(o.out.find(" Error of approximation:    0.00000 %\n"), std::string::npos);
  EXPECT_NE(o.out.find(" Prediction time:   30\n"), std::string::npos);
  EXPECT_NE(o.out.find(" Number of infinite solutions:    0\n"), std::string::npos);
  // Coefficients in basis order 1, x1, x2, x1^2, x1 x2, x2^2 (x1 the older value):
  // x(n+1) = 1 + 0.3 x(n-1) - 1.4 x(n)^2.
  std::istringstream text(report());
  std::string line;
  while (std::getline(text, line) && line != " Coefficients of the model map:") {
  }
  const double expected[] = {1.0, 0.3, 0.0, 0.0, 0.0, -1.4};
  for (const double e : expected) {
    ASSERT_TRUE(std::getline(text, line));
    ASSERT_EQ(line.size(), 20u) << line;
    EXPECT_NEAR(std::stod(line), e, 1e-9) << line;
  }
}

// ---------------------------------------------------------------------------------------------
// The plot picture.

TEST_F(MapfitRun, PlotIsSavedAfterACheck) {
  add_file("henon.txt", source_data("henon.txt"));
  const auto answers = lines({"500", "2", "1", "1", "y", "n", "n", "n", "n", "n", "n"});
  ASSERT_EQ(run({"henon.txt"}, answers).status, 0);
  const auto picture = windowing::read_png((dir_ / "model-efficiency.png").string());
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->width(), windowing::kCanvasWidth);
  EXPECT_EQ(picture->height(), windowing::kCanvasHeight);
  // Black frames and red model curves on white.
  int black = 0, red = 0;
  for (const auto p : picture->pixels()) {
    black += p == 0;
    red += p == 12;
  }
  EXPECT_GT(black, 1000);
  EXPECT_GT(red, 10);

  // --plot chooses the file; no check, no picture.
  fs::remove(dir_ / "model-efficiency.png");
  ASSERT_EQ(run({"--plot", "other.png", "henon.txt"},
                lines({"500", "2", "1", "1", "n", "n", "n", "n", "n"}))
                .status,
            0);
  EXPECT_FALSE(fs::exists(dir_ / "model-efficiency.png"));
  EXPECT_FALSE(fs::exists(dir_ / "other.png"));
}

TEST_F(MapfitRun, PlotOptionNamesTheFile) {
  add_file("henon.txt", source_data("henon.txt"));
  const auto answers = lines({"500", "2", "1", "1", "y", "n", "n", "n", "n", "n", "n"});
  ASSERT_EQ(run({"--plot=pics.png", "henon.txt"}, answers).status, 0);
  EXPECT_TRUE(windowing::read_png((dir_ / "pics.png").string()).has_value());
  EXPECT_FALSE(fs::exists(dir_ / "model-efficiency.png"));
}

// ---------------------------------------------------------------------------------------------
// The file-choice stand-in and the message box, on standard error.

TEST_F(MapfitRun, DialogCancelledThenTerminated) {
  const Outcome o = run({}, lines({"", "n", " ", "", "", "y"}));
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "");
  const std::string choose = "Open: Select File for Unit 1\nFile name: ";
  const std::string box = "File Open Error\nA File Must be Selected\n\nTerminate Program? (y/n) ";
  EXPECT_EQ(o.err, choose + "\n" + box + "n\n" + choose + " \n" + box + "\n" + choose + "\n" + box +
                       "y\n");
  EXPECT_FALSE(fs::exists(dir_ / "report.txt"));
}

TEST_F(MapfitRun, DialogNameAfterTheArguments) {
  add_file("header.txt", "values\n1.5\n2.5\n");
  add_file("two.txt", "1.5\n2.5\n");
  const Outcome o = run({"header.txt"}, lines({"two.txt", "2", "1", "1", "0", "n", "n", "n", "n"}));
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "Open: Select File for Unit 1\nFile name: two.txt\n");
  EXPECT_EQ(o.out.substr(0, 57), "  Incorrect input\n The time series contains     2 values\n");
}

TEST_F(MapfitRun, DialogAtEndOfInput) {
  const Outcome o = run({}, "");
  EXPECT_EQ(o.status, 3);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "Open: Select File for Unit 1\nFile name: \nmapfit: end of input\n");
}

// ---------------------------------------------------------------------------------------------
// The report file cannot be written.

TEST_F(MapfitRun, ReportFailureStopsWithOne) {
  add_file("two.txt", "1.5\n2.5\n");
  fs::create_directories(dir_ / "report.txt");
  const Outcome o = run({"two.txt"}, lines({"2", "1", "1", "0"}));
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out,
            " The time series contains     2 values\n"
            " 1) Length of a training series: Ntrain = 2\n");
  EXPECT_EQ(o.err, "mapfit: cannot write report.txt: Is a directory\n");
}

// ---------------------------------------------------------------------------------------------
// The command line.

struct CommandCase {
  const char* name;
  std::vector<std::string> args;
  int status;
  std::string out;  // exact, or the golden file name when it ends in ".golden"
  std::string err;
};

TEST_F(MapfitRun, CommandLineTable) {
  const std::string usage =
      "Usage: mapfit [--terminal] [--plot FILE] [SERIES_FILE ...]\n"
      "Try 'mapfit --help' for more information.\n";
  const CommandCase cases[] = {
      {"version", {"--version"}, 0, "mapfit " MAPFIT_VERSION "\n", ""},
      {"short help", {"-h"}, 0, "help.golden", ""},
      {"help", {"--help"}, 0, "help.golden", ""},
      {"help before a file", {"henon.txt", "--help"}, 0, "help.golden", ""},
      {"unknown option", {"--bogus"}, 2, "", "mapfit: unknown option: --bogus\n" + usage},
      {"unknown short option", {"-x", "henon.txt"}, 2, "", "mapfit: unknown option: -x\n" + usage},
      {"plot without file", {"--plot"}, 2, "", "mapfit: option --plot needs a file name\n" + usage},
      {"plot with empty file",
       {"--plot="},
       2,
       "",
       "mapfit: option --plot needs a file name\n" + usage},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome o = run(c.args, "");
    EXPECT_EQ(o.status, c.status);
    if (std::string(c.out).ends_with(".golden")) {
      expect_golden(c.out, o.out);
    } else {
      EXPECT_EQ(o.out, c.out);
    }
    EXPECT_EQ(o.err, c.err);
    EXPECT_FALSE(fs::exists(dir_ / "report.txt"));
  }
}

TEST_F(MapfitRun, TerminalOptionAndDoubleDash) {
  add_file("--odd.txt", "1.5\n2.5\n");
  const Outcome o =
      run({"--terminal", "--", "--odd.txt"}, lines({"2", "1", "1", "0", "n", "n", "n", "n"}));
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out.substr(0, 39), " The time series contains     2 values\n");
}

}  // namespace
