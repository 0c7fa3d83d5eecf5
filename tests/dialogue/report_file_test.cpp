#include "dialogue/report_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <limits>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "numlib/stop.h"
#include "test_support.h"

namespace dialogue {
namespace {

using testing::TempWorkDir;

std::string read_all(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

model::ModelMap polynomial_map(std::vector<double> coef, int nu) {
  model::ModelMap map;
  map.kind = model::ModelKind::polynomial;
  map.nu = nu;
  map.P = static_cast<int>(coef.size());
  map.COEF = std::move(coef);
  return map;
}

TEST(ReportFile, WholeRecordOfOneRun) {
  TempWorkDir dir;
  {
    ReportFile report;
    report.write_training(500);
    report.write_dimension(2);
    report.write_model(polynomial_map({0.5, -1.25, 1.0e9}, 1), 0.0123456);
    report.write_test_error(0.5);
    report.write_test_block(30, 100, 1, 7, 0);
    report.write_closing_and_close();
    EXPECT_FALSE(report.is_open());
  }
  EXPECT_EQ(read_all("report.txt"),
            " The number of values in a training time series Ntrain =    500\n"
            "\n"
            " Dimension of a model map D =  2\n"
            " Function for approximation: standard p\n"
            " Polynomial order nu =  1\n"
            " Coefficients of the model map:\n"
            "        0.5000000000\n"
            "       -1.2500000000\n"
            "********************\n"
            " Error of approximation:    1.23456 %\n"
            "\n"
            " Error of approximation (test series):   50.00000 %\n"
            " Length of a test piece: Ltest =    30\n"
            " Number of test pieces: Ktest =  100\n"
            " Shift between test pieces: Stest =    1\n"
            " Prediction time:    7\n"
            " Number of infinite solutions:    0\n"
            "\n"
            " !***************************************************!\n"
            "\n");
}

TEST(ReportFile, RationalBlockAndFieldsTooWide) {
  TempWorkDir dir;
  ReportFile report("r.txt");
  model::ModelMap map;
  map.kind = model::ModelKind::rational;
  map.nu = 12;
  map.mu = 3;
  map.P = 2;
  map.COEF = {-1.0e8, -99999999.0};
  report.write_model(map, 100.0);
  report.write_model(map, std::numeric_limits<double>::quiet_NaN());
  report.write_test_error(std::numeric_limits<double>::infinity());
  report.write_test_block(100000, 10000, 10000, 10000, -1000);
  EXPECT_EQ(read_all("r.txt"),
            " Function for approximation: rational  \n"
            " Numerator polynomial order nu = 12\n"
            " Denominator polynomial order mu =  3\n"
            " Coefficients of the model map:\n"
            "********************\n"
            "-99999999.0000000000\n"
            " Error of approximation: ********** %\n"
            " Function for approximation: rational  \n"
            " Numerator polynomial order nu = 12\n"
            " Denominator polynomial order mu =  3\n"
            " Coefficients of the model map:\n"
            "********************\n"
            "-99999999.0000000000\n"
            " Error of approximation:        NaN %\n"
            "\n"
            " Error of approximation (test series):   Infinity %\n"
            " Length of a test piece: Ltest = *****\n"
            " Number of test pieces: Ktest = ****\n"
            " Shift between test pieces: Stest = ****\n"
            " Prediction time: ****\n"
            " Number of infinite solutions: ****\n"
            "\n");
}

TEST(ReportFile, AppendsToExistingTextAndReopensAfterClose) {
  TempWorkDir dir;
  { std::ofstream("report.txt") << "earlier run\n"; }
  ReportFile report;
  report.write_training(12);
  // Opening again while open changes nothing: the block simply follows.
  report.write_training(3);
  // Every block reaches the file at once.
  EXPECT_EQ(read_all("report.txt"),
            "earlier run\n"
            " The number of values in a training time series Ntrain =     12\n\n"
            " The number of values in a training time series Ntrain =      3\n\n");
  report.write_closing_and_close();
  report.write_training(4);
  EXPECT_TRUE(report.is_open());
  EXPECT_EQ(read_all("report.txt"),
            "earlier run\n"
            " The number of values in a training time series Ntrain =     12\n\n"
            " The number of values in a training time series Ntrain =      3\n\n"
            " !***************************************************!\n\n"
            " The number of values in a training time series Ntrain =      4\n\n");
}

int stop_status_of(const std::function<void()>& f, std::string& err) {
  ::testing::internal::CaptureStderr();
  int status = -1;
  try {
    f();
  } catch (const numlib::ProgramStop& stop) {
    status = stop.status;
  }
  err = ::testing::internal::GetCapturedStderr();
  return status;
}

TEST(ReportFile, CannotOpenStopsWithMessage) {
  TempWorkDir dir;
  std::filesystem::create_directory("report.txt");
  ReportFile report;
  std::string err;
  EXPECT_EQ(stop_status_of([&] { report.write_training(500); }, err), 1);
  EXPECT_EQ(err, "mapfit: cannot write report.txt: Is a directory\n");
  EXPECT_FALSE(report.is_open());
}

// Files that take no whole blocks are refused at once, before anything is written: opening a
// FIFO without a reader does not wait for one.
TEST(ReportFile, NotARegularFileIsRefused) {
  TempWorkDir dir;
  ASSERT_EQ(mkfifo("fifo", 0644), 0);
  const int reader = open("fifo", O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_EQ(mkfifo("lonely-fifo", 0644), 0);
  for (const char* path : {"lonely-fifo", "fifo", "/dev/full", "/dev/null"}) {
    ReportFile report(path);
    std::string err;
    EXPECT_EQ(stop_status_of([&] { report.write_training(500); }, err), 1) << path;
    EXPECT_EQ(err, std::string("mapfit: cannot write ") + path + ": not a regular file\n");
    EXPECT_FALSE(report.is_open());
  }
  char byte = 0;
  EXPECT_LE(read(reader, &byte, 1), 0) << "the FIFO received text";
  close(reader);
}

// The front end hears of the wait; the notice may come from any thread that writes.
class NoticeWindows : public testing::ScriptedWindows {
 public:
  void status_message(std::string_view text) override {
    std::lock_guard lock(mutex_);
    notices_.emplace_back(text);
    arrived_.notify_all();
  }
  std::vector<std::string> wait_for_notice() {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, std::chrono::seconds(60), [&] { return !notices_.empty(); });
    return notices_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<std::string> notices_;
};

// Another process holds report.txt (the first of two runs in one folder): this run says which
// one, waits, and writes its block after the other's text once the other has closed the file.
TEST(ReportFile, WaitsForTheProcessThatHoldsTheFile) {
  TempWorkDir dir;
  int release[2];
  int held[2];
  ASSERT_EQ(pipe(release), 0);
  ASSERT_EQ(pipe(held), 0);
  const pid_t other = fork();
  if (other == 0) {
    const int fd = open("report.txt", O_WRONLY | O_APPEND | O_CREAT, 0644);
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (fd < 0 || fcntl(fd, F_SETLK, &whole) != 0) _exit(1);
    const char text[] = "the other run\n";
    if (write(fd, text, sizeof text - 1) < 0) _exit(1);
    if (write(held[1], "h", 1) != 1) _exit(1);
    char byte = 0;
    if (read(release[0], &byte, 1) < 0) _exit(1);
    _exit(0);  // the lock goes with the process
  }
  char byte = 0;
  ASSERT_EQ(read(held[0], &byte, 1), 1);

  NoticeWindows windows;
  ReportFile report("report.txt", &windows);
  std::thread writer([&] { report.write_training(12); });
  const std::vector<std::string> notices = windows.wait_for_notice();
  ASSERT_EQ(write(release[1], "r", 1), 1);
  writer.join();
  int status = 0;
  waitpid(other, &status, 0);
  EXPECT_EQ(notices,
            std::vector<std::string>{"report.txt is in use by process " + std::to_string(other) +
                                     "; waiting until it closes the file"});
  EXPECT_EQ(read_all("report.txt"),
            "the other run\n"
            " The number of values in a training time series Ntrain =     12\n\n");
  // The wait shows as work, for the front end's progress indicator and its Stop.
  EXPECT_GE(windows.find("work_begins Waiting for report.txt"), 0);
}

}  // namespace
}  // namespace dialogue
