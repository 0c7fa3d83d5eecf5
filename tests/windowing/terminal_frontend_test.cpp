#include "windowing/terminal_frontend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>

#include <unistd.h>

#include "numlib/stop.h"
#include "windowing/png_writer.h"

namespace windowing {
namespace {

struct Streams {
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  explicit Streams(std::string input) : in(std::move(input)) {}
};

TerminalOptions options(bool echo, std::string plot = "unused.png") {
  TerminalOptions o;
  o.echo_input = echo;
  o.plot_path = std::move(plot);
  return o;
}

int stop_status(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const numlib::ProgramStop& stop) {
    return stop.status;
  }
  return -1;
}

TEST(TerminalFrontend, WritesTextExactlyToStandardOutput) {
  Streams s("");
  TerminalFrontend t(s.in, s.out, s.err, options(false));
  t.OPENWINDOW(10, "Input Window", true);
  t.write_text(10, " The time series contains  3000 values\n");
  t.write_text(10, " 1) Length of a training series: Ntrain = ");
  EXPECT_EQ(s.out.str(),
            " The time series contains  3000 values\n 1) Length of a training series: Ntrain = ");
  EXPECT_EQ(s.err.str(), "");
}

TEST(TerminalFrontend, WritingMakesTheDialogueWindowTheTarget) {
  Streams s("");
  TerminalFrontend t(s.in, s.out, s.err, options(false));
  t.OPENWINDOW(10, "Input Window", true);
  t.OPENWINDOW(12, "Model efficiency", false);
  t.FOCUSWINDOW(12);
  ASSERT_EQ(t.target(), 12);
  t.write_text(10, " line\n");
  EXPECT_EQ(t.target(), 10);
}

struct ReadCase {
  const char* name;
  std::string input;
  bool echo;
  std::vector<std::string> lines;
  std::string out;  // after writing "? " before each read
};

TEST(TerminalFrontend, ReadLineTable) {
  const ReadCase cases[] = {
      {"LF", "500\n2\n", false, {"500", "2"}, "? ? "},
      {"CR LF", "500\r\n2\r\n", false, {"500", "2"}, "? ? "},
      {"empty line", "\n", false, {""}, "? "},
      {"blanks kept", "  y \n", false, {"  y "}, "? "},
      {"last line without line end", "12", false, {"12"}, "? "},
      {"echo after the prompt", "500\r\nyes\n", true, {"500", "yes"}, "? 500\n? yes\n"},
      {"echo of an empty line", "\n", true, {""}, "? \n"},
  };
  for (const auto& c : cases) {
    Streams s(c.input);
    TerminalFrontend t(s.in, s.out, s.err, options(c.echo));
    t.OPENWINDOW(10, "Input Window", true);
    std::vector<std::string> lines;
    for (std::size_t k = 0; k < c.lines.size(); ++k) {
      t.write_text(10, "? ");
      lines.push_back(t.read_line(10));
    }
    EXPECT_EQ(lines, c.lines) << c.name;
    EXPECT_EQ(s.out.str(), c.out) << c.name;
    EXPECT_EQ(s.err.str(), "") << c.name;
  }
}

TEST(TerminalFrontend, AVeryLongAnswerKeepsOnlyItsFirstCharacters) {
  // 200,000 characters on one line, then a short line: the first answer is cut to 65,536
  // characters, and the next read starts at the next line.
  const std::string huge = "12" + std::string(199'998, 'z');
  Streams s(huge + "\n7\n");
  TerminalFrontend t(s.in, s.out, s.err, options(false));
  t.OPENWINDOW(10, "Input Window", true);
  const std::string first = t.read_line(10);
  EXPECT_EQ(first.size(), 65'536u);
  EXPECT_EQ(first, huge.substr(0, 65'536));
  EXPECT_EQ(t.read_line(10), "7");
}

TEST(TerminalFrontend, EndOfInputStopsWithThree) {
  Streams s("1\n");
  TerminalFrontend t(s.in, s.out, s.err, options(true));
  t.write_text(10, "? ");
  EXPECT_EQ(t.read_line(10), "1");
  t.write_text(10, "? ");
  EXPECT_EQ(stop_status([&] { t.read_line(10); }), 3);
  EXPECT_EQ(s.out.str(), "? 1\n? \n");
  EXPECT_EQ(s.err.str(), "mapfit: end of input\n");
}

TEST(TerminalFrontend, ChooseFileTalksOnStandardErrorOnly) {
  Streams s("  data/henon.txt \r\n\n");
  TerminalFrontend t(s.in, s.out, s.err, options(true));
  EXPECT_EQ(t.choose_file("Open: Select File for Unit 1"), "data/henon.txt");
  EXPECT_EQ(t.choose_file("Open: Select File for Unit 1"), "");
  EXPECT_EQ(s.out.str(), "");
  EXPECT_EQ(s.err.str(),
            "Open: Select File for Unit 1\nFile name:   data/henon.txt \n"
            "Open: Select File for Unit 1\nFile name: \n");
}

TEST(TerminalFrontend, ChooseFileWithoutEchoAtATerminal) {
  Streams s("a.txt\n");
  TerminalFrontend t(s.in, s.out, s.err, options(false));
  EXPECT_EQ(t.choose_file("Open: Select File for Unit 1"), "a.txt");
  EXPECT_EQ(s.err.str(), "Open: Select File for Unit 1\nFile name: ");
}

TEST(TerminalFrontend, ChooseFileAtEndOfInputStopsWithThree) {
  Streams s("");
  TerminalFrontend t(s.in, s.out, s.err, options(true));
  EXPECT_EQ(stop_status([&] { t.choose_file("Open: Select File for Unit 1"); }), 3);
  EXPECT_EQ(s.out.str(), "");
  EXPECT_EQ(s.err.str(), "Open: Select File for Unit 1\nFile name: \nmapfit: end of input\n");
}

struct YesNoCase {
  std::string answer;
  bool yes;
};

TEST(TerminalFrontend, AskYesNoTable) {
  const YesNoCase cases[] = {{"y", true},  {"Y", true},   {"yes", true}, {" y", true},
                             {"", false},  {"n", false},  {"N", false},  {"no", false},
                             {"x", false}, {"1", false}};
  for (const auto& c : cases) {
    Streams s(c.answer + "\n");
    TerminalFrontend t(s.in, s.out, s.err, options(true));
    EXPECT_EQ(t.ask_yes_no("File Open Error", "A File Must be Selected\n\nTerminate Program?"),
              c.yes)
        << c.answer;
    EXPECT_EQ(s.err.str(), "File Open Error\nA File Must be Selected\n\nTerminate Program? (y/n) " +
                               c.answer + "\n");
    EXPECT_EQ(s.out.str(), "");
  }
}

TEST(TerminalFrontend, AskYesNoAtEndOfInputStopsWithThree) {
  Streams s("");
  TerminalFrontend t(s.in, s.out, s.err, options(false));
  EXPECT_EQ(stop_status([&] { t.ask_yes_no("File Open Error", "Terminate Program?"); }), 3);
}

class PlotFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("mapfit_terminal_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(PlotFileTest, PlotWindowIsSavedWhenItsPictureIsDone) {
  const auto path = (dir_ / "plot.png").string();
  Streams s("");
  TerminalFrontend t(s.in, s.out, s.err, options(false, path));
  t.OPENWINDOW(12, "Model efficiency", false);
  t.TARGETWINDOW(12);
  t.SETDRAWCOLOR(12);
  t.PLOTPIXEL(7, 9);
  t.picture_done(10);
  EXPECT_FALSE(std::filesystem::exists(path));
  t.picture_done(12);
  const auto picture = read_png(path);
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->pixels(), t.snapshot(12)->pixels());
  EXPECT_EQ(picture->pixel(7, 9), 12);
  EXPECT_EQ(s.out.str(), "");
  EXPECT_EQ(s.err.str(), "");
}

TEST_F(PlotFileTest, NoPlotWindowNoFile) {
  const auto path = (dir_ / "plot.png").string();
  Streams s("");
  TerminalFrontend t(s.in, s.out, s.err, options(false, path));
  t.picture_done(12);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(PlotFileTest, UnwritablePlotFileGivesANote) {
  const auto path = (dir_ / "no-such-dir" / "plot.png").string();
  Streams s("");
  TerminalFrontend t(s.in, s.out, s.err, options(false, path));
  t.OPENWINDOW(12, "Model efficiency", false);
  t.picture_done(12);
  EXPECT_EQ(s.err.str().rfind("mapfit: cannot write the plot to " + path, 0), 0u) << s.err.str();
  EXPECT_EQ(s.out.str(), "");
}

TEST(TerminalFrontend, ProgressIsSilentWhenNotWanted) {
  Streams s("");
  TerminalFrontend t(s.in, s.out, s.err, options(false));
  t.work_begins("fitting");
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  t.work_ends();
  EXPECT_EQ(s.err.str(), "");
  EXPECT_EQ(s.out.str(), "");
}

TEST(TerminalFrontend, ProgressShowsAfterASecondAndIsErased) {
  Streams s("");
  TerminalOptions o = options(false);
  o.show_progress = true;
  TerminalFrontend t(s.in, s.out, s.err, o);
  // Short work shows nothing.
  t.work_begins("fitting");
  t.work_ends();
  EXPECT_EQ(s.err.str(), "");
  // Long work shows the spinner, then erases its line.
  t.work_begins("fitting");
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  t.work_ends();
  const std::string err = s.err.str();
  EXPECT_EQ(err.rfind("\rfitting | ", 0), 0u) << err;
  EXPECT_TRUE(err.ends_with("\r" + std::string(10, ' ') + "\r")) << err;
  EXPECT_EQ(s.out.str(), "");
}

TEST(TerminalFrontend, TextDuringWorkSilencesTheProgress) {
  Streams s("");
  TerminalOptions o = options(false);
  o.show_progress = true;
  TerminalFrontend t(s.in, s.out, s.err, o);
  t.work_begins("checking");
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  t.write_text(6, " *** message\n");
  const std::string err_at_write = s.err.str();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  t.work_ends();
  EXPECT_TRUE(err_at_write.ends_with("\r" + std::string(11, ' ') + "\r")) << err_at_write;
  EXPECT_EQ(s.err.str(), err_at_write);
  EXPECT_EQ(s.out.str(), " *** message\n");
}

}  // namespace
}  // namespace windowing
