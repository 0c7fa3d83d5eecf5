// Faults a user meets, tried on the built program: series files that change while in use or
// are not plain files, a report file that cannot be written, standard output that cannot be
// written, very large inputs, and a model too large for memory. Each case checks the message,
// the exit status, and that report.txt holds every line written before the fault and nothing
// torn.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "run_program.h"

namespace {

namespace fs = std::filesystem;
using app_testing::Launch;
using app_testing::Outcome;
using app_testing::Output;
using app_testing::read_text;
using app_testing::write_text;

// A chaotic series of `count` values, one per line, each with a decimal point.
std::string series_text(int count) {
  std::string text;
  double x = 0.3;
  char line[32];
  for (int k = 0; k < count; ++k) {
    x = 3.9 * x * (1.0 - x);
    std::snprintf(line, sizeof line, "%.10f\n", x);
    text += line;
  }
  return text;
}

// The answers of one polynomial fit (Ntrain 100, D 2, order 1) on a 300-value series, up to
// question 5.
const std::string kToQuestion5 = "100\n2\n1\n1\n";
// From question 5 to the end: no check, then "n" to questions 9 to 12.
const std::string kNoCheckToEnd = "n\nn\nn\nn\nn\n";

class Faults : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "mapfit-faults-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    series_ = dir_ / "series.txt";
    write_text(series_, series_text(300));
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
  }

  Outcome run(Launch launch) { return app_testing::run_program(dir_, launch); }
  std::string report() const { return read_text(dir_ / "report.txt"); }

  // The report that a run with `input` leaves when its input ends there (the clean stop at the
  // same point of the dialogue), in a directory of its own.
  std::string report_of_clean_stop(const std::string& input) {
    const fs::path other = dir_ / "reference";
    fs::create_directory(other);
    write_text(other / "series.txt", series_text(300));
    Launch launch;
    launch.arguments = {(other / "series.txt").string()};
    launch.input = input;
    const Outcome outcome = app_testing::run_program(other, launch);
    EXPECT_EQ(outcome.status, 3) << outcome.err;
    return read_text(other / "report.txt");
  }

  static void expect_whole_lines(const std::string& text) {
    if (!text.empty()) {
      EXPECT_EQ(text.back(), '\n') << "a torn last line";
    }
  }

  fs::path dir_;
  fs::path series_;
};

// --- A series file changed between the count and a later pass ------------------------------

struct ChangeCase {
  const char* name;
  std::string answered_before;  // typed before the change
  std::string marker;           // the prompt on screen when the file is changed
  std::function<void(const fs::path&)> change;
  std::string answered_after;
};
void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.name; }

class SeriesChanged : public Faults, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(SeriesChanged, StopsWithTheMessageAndKeepsTheReport) {
  const ChangeCase& c = GetParam();
  // The failing pass follows the first answer typed after the change; a run whose input ends
  // right after that answer has written the same report.
  const std::string first_answer = c.answered_after.substr(0, c.answered_after.find('\n') + 1);
  const std::string expected_report = report_of_clean_stop(c.answered_before + first_answer);
  ASSERT_TRUE(expected_report.starts_with(" The number of values in a training time series"));
  Launch launch;
  launch.arguments = {series_.string()};
  launch.input = c.answered_before;
  launch.marker = c.marker;
  launch.action = [&](pid_t) { c.change(series_); };
  launch.input_after = c.answered_after;
  const Outcome outcome = run(launch);
  ASSERT_TRUE(outcome.marker_seen) << outcome.out << outcome.err;
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "mapfit: the series file " + series_.string() + " changed while in use\n");
  // The report holds what was written before the failed pass, and nothing after it.
  EXPECT_EQ(report(), expected_report);
  expect_whole_lines(report());
}

void truncate_to(const fs::path& path, std::uintmax_t size) { fs::resize_file(path, size); }

INSTANTIATE_TEST_SUITE_P(
    App, SeriesChanged,
    ::testing::Values(
        // The training values are loaded after the report's training lines are written.
        ChangeCase{"EmptiedBeforeTraining", "",
                   "Ntrain = ", [](const fs::path& p) { truncate_to(p, 0); }, "100\n2\n"},
        ChangeCase{"CutShortBeforeTraining", "",
                   "Ntrain = ", [](const fs::path& p) { truncate_to(p, 50 * 13); }, "100\n2\n"},
        ChangeCase{"LineUnreadableBeforeTraining", "", "Ntrain = ",
                   [](const fs::path& p) { write_text(p, "0.5\nvalue\n" + series_text(298)); },
                   "100\n2\n"},
        // The test series is read when the first efficiency check begins.
        ChangeCase{"CutShortBeforeCheck", kToQuestion5, "5) Check model efficiency? (y/n) ",
                   [](const fs::path& p) { truncate_to(p, 150 * 13); }, "y\nn\nn\n"},
        ChangeCase{
            "LineUnreadableBeforeCheck", kToQuestion5, "5) Check model efficiency? (y/n) ",
            [](const fs::path& p) { write_text(p, series_text(200) + "1,5\n" + series_text(99)); },
            "y\nn\nn\n"}),
    [](const auto& test) { return std::string(test.param.name); });

// A file removed or replaced under its name while in use: the program keeps reading the file
// it opened, so the dialogue goes on unharmed.
TEST_F(Faults, SeriesRemovedOrReplacedWhileInUseIsReadAsOpened) {
  for (const bool replace : {false, true}) {
    SCOPED_TRACE(replace ? "replaced" : "removed");
    fs::remove(dir_ / "report.txt");
    write_text(series_, series_text(300));
    Launch launch;
    launch.arguments = {series_.string()};
    launch.marker = "Ntrain = ";
    launch.action = [&](pid_t) {
      fs::remove(series_);
      if (replace) write_text(series_, "junk\n");
    };
    launch.input_after = kToQuestion5 + kNoCheckToEnd;
    const Outcome outcome = run(launch);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    EXPECT_NE(outcome.out.find(" Error of approximation: "), std::string::npos);
    const std::string r = report();
    EXPECT_NE(r.find("Coefficients of the model map:\n"), std::string::npos);
    EXPECT_TRUE(r.ends_with(" !" + std::string(51, '*') + "!\n\n"));
  }
}

// --- The report file cannot be written ------------------------------------------------------

struct ReportCase {
  const char* name;
  std::function<void(const fs::path& dir)> prepare;
  std::string message;
};
void PrintTo(const ReportCase& c, std::ostream* os) { *os << c.name; }

class ReportUnwritable : public Faults, public ::testing::WithParamInterface<ReportCase> {};

TEST_P(ReportUnwritable, StopsAtQuestion1WithTheReason) {
  const ReportCase& c = GetParam();
  if (c.prepare == nullptr) GTEST_SKIP() << "permissions do not bind this user";
  c.prepare(dir_);
  Launch launch;
  launch.arguments = {series_.string()};
  launch.input = kToQuestion5 + kNoCheckToEnd;
  const Outcome outcome = run(launch);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "mapfit: cannot write report.txt: " + c.message + "\n");
  // The dialogue stops right after the answer to question 1.
  EXPECT_TRUE(outcome.out.ends_with("1) Length of a training series: Ntrain = 100\n"))
      << outcome.out;
}

INSTANTIATE_TEST_SUITE_P(
    App, ReportUnwritable,
    ::testing::Values(
        ReportCase{"ReportIsADirectory",
                   [](const fs::path& d) { fs::create_directory(d / "report.txt"); },
                   "Is a directory"},
        // A device takes no whole blocks: refused before anything is written.
        ReportCase{"ReportIsADevice",
                   [](const fs::path& d) { fs::create_symlink("/dev/full", d / "report.txt"); },
                   "not a regular file"},
        ReportCase{
            "ReadOnlyDirectory",
            geteuid() == 0
                ? std::function<void(const fs::path&)>{}
                : [](const fs::path&
                         d) { fs::permissions(d, fs::perms::owner_read | fs::perms::owner_exec); },
            "Permission denied"}),
    [](const auto& test) { return std::string(test.param.name); });

// --- Standard output that cannot be written -------------------------------------------------

TEST_F(Faults, StandardOutputFailureIsReportedAndTheRunStillRecorded) {
  for (const Output output : {Output::closed, Output::full_device}) {
    SCOPED_TRACE(output == Output::closed ? "closed" : "/dev/full");
    fs::remove(dir_ / "report.txt");
    Launch launch;
    launch.arguments = {series_.string()};
    launch.input = kToQuestion5 + kNoCheckToEnd;
    launch.output = output;
    const Outcome outcome = run(launch);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_FALSE(outcome.killed_at_deadline);
    EXPECT_EQ(outcome.err, "mapfit: cannot write the standard output\n");
    // The report is complete: it does not depend on the screen.
    const std::string r = report();
    EXPECT_TRUE(r.starts_with(" The number of values in a training time series Ntrain =    100\n"));
    EXPECT_TRUE(r.ends_with(" !" + std::string(51, '*') + "!\n\n")) << r;
  }
}

// With standard output and error closed, the files the program opens must not take their
// descriptors: a note on standard error (here: the plot cannot be saved) would land in
// report.txt.
TEST_F(Faults, ClosedStandardStreamsAreNotReusedForFiles) {
  Launch launch;
  launch.arguments = {"--plot", (dir_ / "no-such-dir" / "plot.png").string(), series_.string()};
  // One efficiency check with settings that fit 200 values after the training part.
  launch.input = kToQuestion5 + "y\nn\nn\n" + kNoCheckToEnd.substr(2);
  launch.output = Output::closed;
  launch.close_error = true;
  const Outcome outcome = run(launch);
  EXPECT_EQ(outcome.status, 1);
  const std::string r = report();
  EXPECT_EQ(r.find("mapfit"), std::string::npos) << r;
  EXPECT_NE(r.find(" Prediction time: "), std::string::npos) << r;
  EXPECT_TRUE(r.ends_with(" !" + std::string(51, '*') + "!\n\n")) << r;
}

TEST_F(Faults, BrokenPipeEndsTheProgramAtItsFirstLine) {
  Launch launch;
  launch.arguments = {series_.string()};
  launch.input = kToQuestion5 + kNoCheckToEnd;
  launch.output = Output::broken_pipe;
  const Outcome outcome = run(launch);
  EXPECT_FALSE(outcome.killed_at_deadline);
  // The usual end of a program whose reader has gone: the pipe's signal, or an error status.
  EXPECT_TRUE(outcome.signal == SIGPIPE || outcome.status == 1)
      << "status " << outcome.status << " signal " << outcome.signal;
  // Its first line goes to the screen before question 1: no report was begun.
  EXPECT_FALSE(fs::exists(dir_ / "report.txt"));
}

// --- Series files that are not plain text files ---------------------------------------------

struct NotAFileCase {
  const char* name;
  std::function<fs::path(const fs::path& dir)> make;  // returns the name to give
  std::string note;                                   // "" when the file is read and refused
};
void PrintTo(const NotAFileCase& c, std::ostream* os) { *os << c.name; }

class SeriesNotUsable : public Faults, public ::testing::WithParamInterface<NotAFileCase> {};

TEST_P(SeriesNotUsable, IsRefusedAndTheNextFileTaken) {
  const NotAFileCase& c = GetParam();
  const fs::path bad = c.make(dir_);
  Launch launch;
  launch.arguments = {bad.string(), series_.string()};
  launch.input = kToQuestion5 + kNoCheckToEnd;
  launch.deadline_seconds = 60;
  const Outcome outcome = run(launch);
  ASSERT_FALSE(outcome.killed_at_deadline) << "the program hangs on " << bad;
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.err, c.note.empty() ? "" : "mapfit: " + c.note + bad.string() + "\n");
  const std::string refused = c.note.empty() ? "  Incorrect input\n" : "";
  EXPECT_TRUE(outcome.out.starts_with(refused + " The time series contains   300 values\n"))
      << outcome.out.substr(0, 200);
}

INSTANTIATE_TEST_SUITE_P(
    App, SeriesNotUsable,
    ::testing::Values(
        NotAFileCase{"Directory",
                     [](const fs::path& d) {
                       fs::create_directory(d / "folder");
                       return d / "folder";
                     },
                     "not a file: "},
        NotAFileCase{"Fifo",
                     [](const fs::path& d) {
                       const fs::path p = d / "fifo";
                       if (mkfifo(p.c_str(), 0644) != 0) throw std::runtime_error("mkfifo");
                       return p;
                     },
                     "not a file: "},
        NotAFileCase{"EndlessDevice", [](const fs::path&) { return fs::path("/dev/zero"); },
                     "not a file: "},
        NotAFileCase{"Missing", [](const fs::path& d) { return d / "missing.txt"; },
                     "no such file: "},
        // Several megabytes of bytes 0..255: an unreadable line early on.
        NotAFileCase{"BinaryFile",
                     [](const fs::path& d) {
                       std::string bytes(6 << 20, '\0');
                       unsigned state = 12345;
                       for (auto& b : bytes) {
                         state = state * 1103515245u + 12345u;
                         b = static_cast<char>(state >> 24);
                       }
                       write_text(d / "binary.dat", bytes);
                       return d / "binary.dat";
                     },
                     ""},
        // One line of several megabytes and no line end: never held whole, and unreadable.
        NotAFileCase{"OneHugeLine",
                     [](const fs::path& d) {
                       write_text(d / "huge.dat", "1.5x" + std::string(8 << 20, '7'));
                       return d / "huge.dat";
                     },
                     ""}),
    [](const auto& test) { return std::string(test.param.name); });

// --- Very large inputs ----------------------------------------------------------------------

TEST_F(Faults, MillionLineSeriesIsCountedAndFitted) {
  write_text(series_, series_text(1'000'000));
  Launch launch;
  launch.arguments = {series_.string()};
  // All but one value for training: no values left for a check.
  launch.input = "999999\n1\n1\n1\nn\nn\nn\nn\n";
  launch.deadline_seconds = 400;
  const Outcome outcome = run(launch);
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_TRUE(outcome.out.starts_with(" The time series contains ***** values\n"));
  const std::string r = report();
  EXPECT_TRUE(r.starts_with(" The number of values in a training time series Ntrain = 999999\n"));
  EXPECT_NE(r.find(" Polynomial order nu =  1\n"), std::string::npos);
  EXPECT_TRUE(r.ends_with(" !" + std::string(51, '*') + "!\n\n"));
}

TEST_F(Faults, LinesOfAMillionCharactersAreReadByTheirFirst20) {
  // The values 1.5, 2.5, 3.5, each followed by a million characters that do not count.
  const std::string tail(1'000'000, 'x');
  write_text(series_, "       1.5          " + tail + "\n       2.5          " + tail +
                          "\r\n3.5                 " + tail);
  Launch launch;
  launch.arguments = {series_.string()};
  launch.input = "3\n1\n1\n1\nn\nn\nn\nn\n";
  const Outcome outcome = run(launch);
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_TRUE(outcome.out.starts_with(" The time series contains     3 values\n"));
  // x(n+1) = 1 + x(n) fits exactly.
  EXPECT_NE(report().find("Coefficients of the model map:\n        1.0000000000\n"
                          "        1.0000000000\n"),
            std::string::npos)
      << report();
}

TEST_F(Faults, AnswersOfAMillionCharactersAreReadByTheirField) {
  const std::string tail(1'000'000, 'z');
  Launch launch;
  launch.arguments = {series_.string()};
  // "100zzz..." fails the (I6) field and "100" with a million blanks reads 100; "2" with
  // blanks reads 2 through (I2), "1zzz..." reads 1 through (I1); yes/no answers take their first
  // character.
  launch.input = "100" + tail + "\n100" + std::string(1'000'000, ' ') + "\n2" +
                 std::string(1'000'000, ' ') + "\n1" + tail + "\n1\nn" + tail + "\nn" + tail +
                 "\nn\nn\nn\n";
  const Outcome outcome = run(launch);
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  std::size_t incorrect = 0;
  for (auto at = outcome.out.find("  Incorrect input\n"); at != std::string::npos;
       at = outcome.out.find("  Incorrect input\n", at + 1)) {
    ++incorrect;
  }
  EXPECT_EQ(incorrect, 1u);
  EXPECT_TRUE(
      report().starts_with(" The number of values in a training time series Ntrain =    100\n\n"
                           " Dimension of a model map D =  2\n"));
}

// --- A model too large for memory -----------------------------------------------------------

struct MemoryCase {
  const char* name;
  int lines;
  std::string answers;
  std::uint64_t address_space;
  std::string message;
  std::string last_report_line;
};
void PrintTo(const MemoryCase& c, std::ostream* os) { *os << c.name; }

class ModelTooLarge : public Faults, public ::testing::WithParamInterface<MemoryCase> {};

TEST_P(ModelTooLarge, StopsWithTheStorageMessage) {
  const MemoryCase& c = GetParam();
#if defined(__SANITIZE_ADDRESS__)
  if (c.address_space != 0) GTEST_SKIP() << "the address sanitizer needs its own address space";
#endif
  write_text(series_, series_text(c.lines));
  Launch launch;
  launch.arguments = {series_.string()};
  launch.input = c.answers;
  launch.address_space = c.address_space;
  // A million lines take long in a sanitizer build; the deadline only catches a hang.
  launch.deadline_seconds = 400;
  const Outcome outcome = run(launch);
  ASSERT_FALSE(outcome.killed_at_deadline);
  EXPECT_EQ(outcome.signal, 0) << "ended by a signal (the kernel's memory killer?)";
  EXPECT_EQ(outcome.status, 1) << outcome.err;
  EXPECT_NE(outcome.out.find(c.message), std::string::npos) << outcome.out.substr(0, 2000);
  // The report holds the lines before the fit, whole.
  const std::string r = report();
  EXPECT_TRUE(r.ends_with(c.last_report_line)) << r;
}

// 199996 rows by C(10, 4) = 210 columns: a matrix of 336 MB would not fit the 256 MiB address
// space, the streaming factorisation does, and the model is fitted and reported.
TEST_F(Faults, ModelBeyondItsMatrixButWithinMemoryIsFitted) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer needs its own address space";
#endif
  write_text(series_, series_text(200'000));
  Launch launch;
  launch.arguments = {series_.string()};
  launch.input = "200000\n4\n1\n6\nn\nn\nn\nn\n";
  launch.address_space = std::uint64_t{256} << 20;
  launch.deadline_seconds = 400;
  const Outcome outcome = run(launch);
  ASSERT_FALSE(outcome.killed_at_deadline);
  EXPECT_EQ(outcome.status, 0) << outcome.err << outcome.out.substr(0, 2000);
  EXPECT_NE(report().find(" Polynomial order nu =  6\n Coefficients of the model map:\n"),
            std::string::npos)
      << report();
}

INSTANTIATE_TEST_SUITE_P(
    App, ModelTooLarge,
    ::testing::Values(
        // 999989 rows by C(20, 10) = 184756 columns: a triangle of 273 GB, beyond the machine.
        MemoryCase{
            "BeyondPhysicalMemory", 1'000'000, "999999\n10\n1\n10\n", 0,
            "\n *** TERMINAL ERROR 2 from POLYFIT.  The required storage cannot be\n"
            " ***          allocated.  The least-squares matrix has 999989 rows and 184756 \n"
            " ***          columns.\n",
            " Dimension of a model map D = 10\n"},
        // 199996 rows by C(26, 4) = 14950 columns: a triangle of 1.8 GB, beyond a 1 GiB address
        // space.
        MemoryCase{"BeyondAddressSpacePolynomial", 200'000, "200000\n4\n1\n22\n",
                   std::uint64_t{1} << 30,
                   "\n *** TERMINAL ERROR 2 from POLYFIT.  The required storage cannot be\n"
                   " ***          allocated.  The least-squares matrix has 199996 rows and 14950 \n"
                   " ***          columns.\n",
                   " Dimension of a model map D =  4\n"},
        MemoryCase{
            "BeyondAddressSpaceRational", 200'000, "200000\n4\n2\n22\n1\n", std::uint64_t{1} << 30,
            "\n *** TERMINAL ERROR 2 from RATFIT.  The required storage cannot be allocated.\n"
            " ***           The least-squares matrix has 199996 rows and 14954 columns.\n",
            " Dimension of a model map D =  4\n"}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
