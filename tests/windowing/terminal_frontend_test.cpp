#include "windowing/terminal_frontend.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>

#include "numlib/stop.h"
#include "numlib/units.h"
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
  t.OPENWINDOW(plot::kDialogueUnit, "Input Window", true);
  t.write_text(plot::kDialogueUnit, " The time series contains  3000 values\n");
  t.write_text(plot::kDialogueUnit, " 1) Length of a training series: Ntrain = ");
  EXPECT_EQ(s.out.str(),
            " The time series contains  3000 values\n 1) Length of a training series: Ntrain = ");
  EXPECT_EQ(s.err.str(), "");
}

TEST(TerminalFrontend, WritingMakesTheDialogueWindowTheTarget) {
  Streams s("");
  TerminalFrontend t(s.in, s.out, s.err, options(false));
  t.OPENWINDOW(plot::kDialogueUnit, "Input Window", true);
  t.OPENWINDOW(plot::kPlotUnit, "Model efficiency", false);
  t.FOCUSWINDOW(plot::kPlotUnit);
  ASSERT_EQ(t.target(), 12);
  t.write_text(plot::kDialogueUnit, " line\n");
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
      // Answers are read as typed and echoed visibly: a file of answers cannot drive the
      // terminal.
      {"escape sequences shown in caret notation",
       "\x1b[2J\x1b]0;x\x07y\n",
       true,
       {"\x1b[2J\x1b]0;x\x07y"},
       "? ^[[2J^[]0;x^Gy\n"},
      {"NUL, DEL and a lone CR",
       std::string("a\0b\x7f\rc\n", 7),
       true,
       {std::string("a\0b\x7f\rc", 6)},
       "? a^@b^?^Mc\n"},
      {"tab and UTF-8 as they are",
       "\t\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\n",
       true,
       {"\t\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"},
       "? \t\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\n"},
      {"C1 controls, stray and cut bytes in hex",
       "\xc2\x9b"
       "1m\xff\xe2\x82\n",
       true,
       {"\xc2\x9b"
        "1m\xff\xe2\x82"},
       "? \\xc2\\x9b1m\\xff\\xe2\\x82\n"},
      {"no echo, no change", "\x1b[2J\n", false, {"\x1b[2J"}, "? "},
  };
  for (const auto& c : cases) {
    Streams s(c.input);
    TerminalFrontend t(s.in, s.out, s.err, options(c.echo));
    t.OPENWINDOW(plot::kDialogueUnit, "Input Window", true);
    std::vector<std::string> lines;
    for (std::size_t k = 0; k < c.lines.size(); ++k) {
      t.write_text(plot::kDialogueUnit, "? ");
      lines.push_back(t.read_line(plot::kDialogueUnit));
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
  t.OPENWINDOW(plot::kDialogueUnit, "Input Window", true);
  const std::string first = t.read_line(plot::kDialogueUnit);
  EXPECT_EQ(first.size(), 65'536u);
  EXPECT_EQ(first, huge.substr(0, 65'536));
  EXPECT_EQ(t.read_line(plot::kDialogueUnit), "7");
}

TEST(TerminalFrontend, EndOfInputStopsWithThree) {
  Streams s("1\n");
  TerminalFrontend t(s.in, s.out, s.err, options(true));
  t.write_text(plot::kDialogueUnit, "? ");
  EXPECT_EQ(t.read_line(plot::kDialogueUnit), "1");
  t.write_text(plot::kDialogueUnit, "? ");
  EXPECT_EQ(stop_status([&] { t.read_line(plot::kDialogueUnit); }), 3);
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

TEST(TerminalFrontend, ConfirmTable) {
  const YesNoCase cases[] = {{"y", true},  {"Y", true},  {"yes", true}, {" y", true}, {"", false},
                             {"n", false}, {"N", false}, {"no", false}, {"x", false}, {"1", false}};
  for (const auto& c : cases) {
    Streams s(c.answer + "\n");
    TerminalFrontend t(s.in, s.out, s.err, options(true));
    EXPECT_EQ(t.confirm("File Open Error", "A File Must be Selected\n\nTerminate Program?"), c.yes)
        << c.answer;
    EXPECT_EQ(s.err.str(), "File Open Error\nA File Must be Selected\n\nTerminate Program? (y/n) " +
                               c.answer + "\n");
    EXPECT_EQ(s.out.str(), "");
  }
}

TEST(TerminalFrontend, ConfirmAtEndOfInputStopsWithThree) {
  Streams s("");
  TerminalFrontend t(s.in, s.out, s.err, options(false));
  EXPECT_EQ(stop_status([&] { t.confirm("File Open Error", "Terminate Program?"); }), 3);
}

class PlotFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        std::filesystem::temp_directory_path() / ("mapfit_terminal_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(PlotFileTest, PlotWindowIsSavedWhenItsPictureIsDone) {
  const auto path = (dir_ / "plot.png").string();
  Streams s("");
  TerminalFrontend t(s.in, s.out, s.err, options(false, path));
  t.OPENWINDOW(plot::kPlotUnit, "Model efficiency", false);
  t.TARGETWINDOW(plot::kPlotUnit);
  t.SETDRAWCOLOR(12);
  t.PLOTPIXEL(7, 9);
  t.picture_done(plot::kDialogueUnit);
  EXPECT_FALSE(std::filesystem::exists(path));
  t.picture_done(plot::kPlotUnit);
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
  t.picture_done(plot::kPlotUnit);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(PlotFileTest, UnwritablePlotFileGivesANote) {
  const auto path = (dir_ / "no-such-dir" / "plot.png").string();
  Streams s("");
  TerminalFrontend t(s.in, s.out, s.err, options(false, path));
  t.OPENWINDOW(plot::kPlotUnit, "Model efficiency", false);
  t.picture_done(plot::kPlotUnit);
  EXPECT_EQ(s.err.str(), "mapfit: cannot write the plot to " + path +
                             ": No such file or directory (" + path + " is left as it was)\n");
  EXPECT_EQ(s.out.str(), "");
}

// An output stream that the progress indicator's thread and the test may use at once, and
// whose text the test can wait for.
class WatchedStream : public std::ostream {
 public:
  WatchedStream() : std::ostream(&buffer_) {}
  std::string text() {
    std::lock_guard lock(buffer_.mutex);
    return buffer_.text;
  }
  // Waits (a minute at most) until the text holds `part`.
  bool wait_for(std::string_view part) {
    std::unique_lock lock(buffer_.mutex);
    return buffer_.changed.wait_for(lock, std::chrono::seconds(60),
                                    [&] { return buffer_.text.find(part) != std::string::npos; });
  }

 private:
  struct Buffer : std::streambuf {
    std::mutex mutex;
    std::condition_variable changed;
    std::string text;
    int_type overflow(int_type c) override {
      if (c != traits_type::eof()) {
        const char ch = traits_type::to_char_type(c);
        xsputn(&ch, 1);
      }
      return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
      {
        std::lock_guard lock(mutex);
        text.append(s, static_cast<std::size_t>(n));
      }
      changed.notify_all();
      return n;
    }
  };
  Buffer buffer_;
};

TerminalOptions progress(bool show, std::chrono::milliseconds delay) {
  TerminalOptions o = options(false);
  o.show_progress = show;
  o.progress_delay = delay;
  return o;
}

TEST(TerminalFrontend, ProgressShowsAfterItsDelayAndIsErased) {
  std::istringstream in;
  std::ostringstream out;
  WatchedStream err;
  TerminalFrontend t(in, out, err, progress(true, std::chrono::milliseconds(0)));
  t.work_begins("fitting");
  ASSERT_TRUE(err.wait_for("\rfitting | "));
  t.work_ends();
  EXPECT_EQ(err.text().rfind("\rfitting | ", 0), 0u) << err.text();
  EXPECT_TRUE(err.text().ends_with("\r" + std::string(10, ' ') + "\r")) << err.text();
  EXPECT_EQ(out.str(), "");
}

TEST(TerminalFrontend, ProgressShowsThePercentageReportedAndItsLineIsErasedWhole) {
  std::istringstream in;
  std::ostringstream out;
  WatchedStream err;
  TerminalFrontend t(in, out, err, progress(true, std::chrono::milliseconds(0)));
  t.work_begins("fitting");
  t.work_progress(417, 1000);
  ASSERT_TRUE(err.wait_for(" 41 % "));
  t.work_progress(5000, 1000);  // beyond the end counts as done
  ASSERT_TRUE(err.wait_for(" 100 % "));
  t.work_ends();
  // "fitting | 100 % " is 16 characters.
  EXPECT_TRUE(err.text().ends_with("\r" + std::string(16, ' ') + "\r")) << err.text();
  // The next work starts without a figure.
  t.work_begins("checking");
  ASSERT_TRUE(err.wait_for("\rchecking | "));
  t.work_ends();
  EXPECT_TRUE(err.text().ends_with("\r" + std::string(11, ' ') + "\r")) << err.text();
}

TEST(TerminalFrontend, WorkShorterThanTheDelayShowsNothing) {
  std::istringstream in;
  std::ostringstream out;
  WatchedStream err;
  TerminalFrontend t(in, out, err, progress(true, std::chrono::hours(1)));
  t.work_begins("fitting");
  t.work_ends();
  EXPECT_EQ(err.text(), "");
}

TEST(TerminalFrontend, ProgressIsSilentWhenNotWanted) {
  // Two front ends at the same work, one with the indicator: by the time it shows, the other
  // would have shown it too.
  std::istringstream in;
  std::ostringstream out;
  WatchedStream quiet_err, shown_err;
  TerminalFrontend quiet(in, out, quiet_err, progress(false, std::chrono::milliseconds(0)));
  TerminalFrontend shown(in, out, shown_err, progress(true, std::chrono::milliseconds(0)));
  quiet.work_begins("fitting");
  shown.work_begins("fitting");
  ASSERT_TRUE(shown_err.wait_for("\rfitting | "));
  quiet.work_ends();
  shown.work_ends();
  EXPECT_EQ(quiet_err.text(), "");
  EXPECT_EQ(out.str(), "");
}

TEST(TerminalFrontend, TextDuringWorkSilencesTheProgress) {
  std::istringstream in;
  std::ostringstream out;
  WatchedStream err;
  TerminalFrontend t(in, out, err, progress(true, std::chrono::milliseconds(0)));
  t.work_begins("checking");
  ASSERT_TRUE(err.wait_for("\rchecking | "));
  t.write_text(plot::kMessagesUnit, " *** message\n");
  const std::string err_at_write = err.text();
  t.work_ends();
  EXPECT_TRUE(err_at_write.ends_with("\r" + std::string(11, ' ') + "\r")) << err_at_write;
  // Nothing more once the text is out: the indicator has stopped for good.
  EXPECT_EQ(err.text(), err_at_write);
  EXPECT_EQ(out.str(), " *** message\n");
}

// The library's messages reach the dialogue's stream while a front end that takes them lives;
// before and after, they go to their default, standard output.
TEST(TerminalFrontend, TakesTheLibraryMessagesForItsLifetimeWhenAsked) {
  std::ostringstream standard_output;
  std::streambuf* const saved = std::cout.rdbuf(standard_output.rdbuf());
  std::istringstream in;
  std::ostringstream out, err;
  TerminalOptions o = options(false);
  {
    TerminalFrontend t(in, out, err, o);
    numlib::write_unit(numlib::kStandardOutputUnit, " not asked\n");
  }
  o.library_messages = true;
  {
    TerminalFrontend t(in, out, err, o);
    numlib::write_unit(numlib::kStandardOutputUnit, " taken\n");
  }
  numlib::write_unit(numlib::kStandardOutputUnit, " after\n");
  std::cout.rdbuf(saved);
  EXPECT_EQ(out.str(), " taken\n");
  EXPECT_EQ(standard_output.str(), " not asked\n after\n");
  EXPECT_EQ(err.str(), "");
}

TEST(TerminalFrontend, StatusMessageIsALineOnStandardErrorAfterTheIndicator) {
  std::istringstream in;
  std::ostringstream out;
  WatchedStream err;
  TerminalFrontend t(in, out, err, progress(true, std::chrono::milliseconds(0)));
  t.status_message("report.txt is in use by process 12; waiting until it closes the file");
  EXPECT_EQ(err.text(),
            "mapfit: report.txt is in use by process 12; waiting until it closes the file\n");
  t.work_begins("waiting");
  ASSERT_TRUE(err.wait_for("\rwaiting | "));
  t.status_message("again");
  const std::string erased = "\r" + std::string(10, ' ') + "\r";
  EXPECT_TRUE(err.text().ends_with(erased + "mapfit: again\n")) << err.text();
  t.work_ends();
  EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace windowing
