// Faults that strike while the program writes, tried on the built program: a signal in the
// middle of each block, two runs in one folder, a full disk, a report.txt that is a FIFO, an
// address-space limit just above the least-squares matrix, a plot on a full disk, and a model
// whose values overflow. Every run ends with its stated message and status, and report.txt
// holds whole blocks only.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "run_program.h"

namespace {

namespace fs = std::filesystem;
using app_testing::Child;
using app_testing::Launch;
using app_testing::Outcome;
using app_testing::read_text;
using app_testing::write_text;

// A chaotic series of `count` values times `scale`, one per line.
std::string series_text(int count, double scale = 1.0) {
  std::string text;
  double x = 0.3;
  char line[40];
  for (int k = 0; k < count; ++k) {
    x = 3.9 * x * (1.0 - x);
    std::snprintf(line, sizeof line, "%.10e\n", x * scale);
    text += line;
  }
  return text;
}

std::string repeated(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

// One fit of D = 10, nu = 3 (286 coefficients: a model block of 6142 bytes) on 700 values,
// one efficiency check, then the end: six blocks.
const std::string kLargeBlockRun = "400\n10\n1\n3\ny\nn\nn\nn\nn\nn\nn\n";
// A small model and one check: a report of well under 4 KiB.
const std::string kSmallRun = "400\n2\n1\n1\ny\nn\nn\nn\nn\nn\nn\n";
// 300 fits of D = 2, nu = 19 (210 coefficients, as many as points: blocks of 4.5 KiB), no
// check.
const std::string kThreeHundredBlocks =
    "212\n2\n1\n19\nn\n" + repeated("y\n1\n19\nn\n", 299) + "n\nn\nn\nn\n";

// What a run must end with. `report` is the exact text of report.txt afterwards, when it is
// known beforehand.
struct Expected {
  int status = 0;
  int signal = 0;
  std::string err;
  std::optional<std::string> report;
  std::string out_contains;
};

// One run, what it must end with, the report it left (nothing when report.txt is no file to
// read) and what else is wrong with it ("" when nothing).
struct Checked {
  std::string what;
  Outcome outcome;
  Expected expected;
  std::optional<std::string> report;
  std::string fault;
};

// Empty when `report` is a sequence of whole blocks, as the program writes them; otherwise
// what is wrong and where.
std::string whole_blocks_fault(const std::string& report) {
  if (!report.empty() && report.back() != '\n') return "a torn last line";
  std::vector<std::string> lines;
  std::istringstream in(report);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::size_t i = 0;
  const auto line_is = [&](std::string_view start, std::size_t width) {
    return i < lines.size() && lines[i].starts_with(start) &&
           lines[i].size() == start.size() + width;
  };
  const auto fault = [&](const char* what) {
    return std::string(what) + " at line " + std::to_string(i + 1);
  };
  while (i < lines.size()) {
    if (line_is(" The number of values in a training time series Ntrain = ", 6)) {
      ++i;
      if (!line_is("", 0)) return fault("a training block without its empty line");
      ++i;
    } else if (line_is(" Dimension of a model map D = ", 2)) {
      ++i;
    } else if (line_is(" Function for approximation: standard p", 0)) {
      ++i;
      if (!line_is(" Polynomial order nu = ", 2)) return fault("a model block cut after its name");
      ++i;
      if (!line_is(" Coefficients of the model map:", 0)) return fault("a model block cut");
      ++i;
      const std::size_t first = i;
      while (line_is("", 20)) ++i;
      if (i == first) return fault("a model block without coefficients");
      if (!line_is(" Error of approximation: ", 12) || !lines[i].ends_with(" %")) {
        return fault("a model block cut in its coefficients");
      }
      ++i;
    } else if (line_is("", 0)) {
      ++i;
      if (!line_is(" Error of approximation (test series): ", 12))
        return fault("a stray empty line");
      ++i;
    } else if (line_is(" Length of a test piece: Ltest = ", 5)) {
      for (const auto& [label, width] : std::vector<std::pair<std::string, std::size_t>>{
               {" Length of a test piece: Ltest = ", 5},
               {" Number of test pieces: Ktest = ", 4},
               {" Shift between test pieces: Stest = ", 4},
               {" Prediction time: ", 4},
               {" Number of infinite solutions: ", 4},
               {"", 0}}) {
        if (!line_is(label, width)) return fault("a test block cut");
        ++i;
      }
    } else if (line_is(" !" + std::string(51, '*') + "!", 0)) {
      ++i;
      if (!line_is("", 0)) return fault("a banner without its empty line");
      ++i;
    } else {
      return fault("a line of no block");
    }
  }
  return "";
}

// The working folders of one test, and the runs made in them.
class Bench {
 public:
  Bench() {
    std::string pattern = (fs::temp_directory_path() / "mapfit-report-faults-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
    dir_ = pattern;
  }
  ~Bench() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  Bench(const Bench&) = delete;
  Bench& operator=(const Bench&) = delete;

  // A fresh folder with the series file series.txt.
  fs::path folder(const std::string& name, const std::string& series) {
    const fs::path f = dir_ / name;
    fs::create_directories(f);
    write_text(f / "series.txt", series);
    return f;
  }

  static Launch launch_with(const std::string& answers) {
    Launch launch;
    launch.arguments = {"series.txt"};
    launch.input = answers;
    launch.deadline_seconds = 300;
    return launch;
  }

  // The program preloaded with the watcher of report writes (write_fault_shim.cpp); `at` 0
  // only logs their sizes.
  static void watch_writes(Launch& launch, const fs::path& log, long at = 0, int signal = 0) {
    launch.environment = {"LD_PRELOAD=" MAPFIT_SHIM, "MAPFIT_SHIM_LOG=" + log.string(),
                          "MAPFIT_SHIM_AT=" + std::to_string(at),
                          "MAPFIT_SHIM_SIGNAL=" + std::to_string(signal),
                          // An address-sanitizer build tolerates a library loaded before it.
                          "ASAN_OPTIONS=verify_asan_link_order=0"};
  }

  // A clean run: its report and the sizes of its blocks, one write() each.
  struct Reference {
    std::string report;
    std::vector<std::size_t> blocks;
    std::string first(std::size_t n) const {
      return report.substr(0, std::accumulate(blocks.begin(), blocks.begin() + static_cast<long>(n),
                                              std::size_t{0}));
    }
  };
  Reference reference_of(const std::string& series, const std::string& answers) {
    const fs::path f = folder("reference-" + std::to_string(references_++), series);
    Launch launch = launch_with(answers);
    watch_writes(launch, f / "writes.log");
    const Outcome o = app_testing::run_program(f, launch);
    EXPECT_EQ(o.status, 0) << o.err;
    Reference r;
    r.report = read_text(f / "report.txt");
    std::istringstream log(read_text(f / "writes.log"));
    for (std::size_t n = 0; log >> n;) r.blocks.push_back(n);
    EXPECT_EQ(std::accumulate(r.blocks.begin(), r.blocks.end(), std::size_t{0}), r.report.size())
        << "a block took more than one write()";
    return r;
  }

  std::string skip;  // why a case cannot be tried in this build

 private:
  fs::path dir_;
  int references_ = 0;
};

const std::string kBanner = " !" + std::string(51, '*') + "!\n\n";

std::vector<Checked> signal_in_each_block(Bench& b) {
  const std::string series = series_text(700);
  const Bench::Reference ref = b.reference_of(series, kLargeBlockRun);
  std::vector<Checked> runs;
  if (ref.blocks.size() != 6 || ref.blocks[2] <= 4096) {
    runs.push_back({"reference", {}, {}, ref.report, "not six blocks with a large model block"});
    return runs;
  }
  // Every block in turn, each with each signal that ends a program from outside.
  for (std::size_t k = 1; k <= ref.blocks.size(); ++k) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
      const std::string name = "block " + std::to_string(k) + " signal " + std::to_string(signal);
      const fs::path f =
          b.folder("signal-" + std::to_string(k) + "-" + std::to_string(signal), series);
      Launch launch = Bench::launch_with(kLargeBlockRun);
      Bench::watch_writes(launch, f / "writes.log", static_cast<long>(k), signal);
      Expected e;
      e.status = -1;
      e.signal = signal;
      // The block in which the signal came is finished first.
      e.report = ref.first(k);
      runs.push_back(
          {name, app_testing::run_program(f, launch), e, read_text(f / "report.txt"), ""});
    }
  }
  return runs;
}

std::vector<Checked> two_runs_in_one_folder(Bench& b) {
  const fs::path f = b.folder("two-runs", series_text(700));
  // The first run takes report.txt at question 1 and keeps it while it waits for its answers.
  const std::string first_answer =
      kThreeHundredBlocks.substr(0, kThreeHundredBlocks.find('\n') + 1);
  Child first(f, Bench::launch_with(first_answer));
  const bool first_holds = first.wait_for_output("2) Dimension of a model map: D = ");
  Child second(f, Bench::launch_with(kThreeHundredBlocks));
  const std::string waiting = "mapfit: report.txt is in use by process " +
                              std::to_string(first.pid()) + "; waiting until it closes the file\n";
  const bool second_waits = second.wait_for_error(waiting);
  first.type(kThreeHundredBlocks.substr(first_answer.size()));
  Checked a{"first run", first.finish(), {}, std::nullopt, first_holds ? "" : "no question 2"};
  Expected e;
  e.err = waiting;
  Checked c{"second run", second.finish(), e, read_text(f / "report.txt"),
            second_waits ? "" : "the second run did not wait"};
  // Each run's record is whole and in one piece: the report is one run's record twice.
  const std::string& r = *c.report;
  const std::string one = r.substr(0, r.size() / 2);
  std::size_t fits = 0;
  for (auto at = one.find("Coefficients"); at != std::string::npos;
       at = one.find("Coefficients", at + 1))
    ++fits;
  if (r.size() % 2 != 0 || r.substr(r.size() / 2) != one || fits != 300 ||
      !one.ends_with(kBanner)) {
    c.fault += "the records of the two runs are mixed";
  }
  return {a, c};
}

std::vector<Checked> full_disk(Bench& b) {
  const std::string series = series_text(700);
  const Bench::Reference ref = b.reference_of(series, kLargeBlockRun);
  std::vector<Checked> runs;
  if (ref.blocks.size() != 6) return {{"reference", {}, {}, ref.report, "not six blocks"}};
  // The limit falls inside the model block, and at the end of the block before it.
  for (const std::size_t room : {ref.first(2).size() + 3000, ref.first(2).size()}) {
    const fs::path f = b.folder("full-" + std::to_string(room), series);
    Launch launch = Bench::launch_with(kLargeBlockRun);
    launch.file_size = room;
    Expected e;
    e.status = 1;
    e.err = "mapfit: cannot write report.txt: File too large\n";
    e.report = ref.first(2);
    runs.push_back({"room for " + std::to_string(room) + " bytes",
                    app_testing::run_program(f, launch), e, read_text(f / "report.txt"), ""});
  }
  return runs;
}

std::vector<Checked> report_is_a_fifo(Bench& b) {
  std::vector<Checked> runs;
  for (const bool reader : {false, true}) {
    const fs::path f = b.folder(reader ? "fifo-read" : "fifo", series_text(700));
    const fs::path fifo = f / "report.txt";
    if (mkfifo(fifo.c_str(), 0644) != 0) throw std::runtime_error("mkfifo");
    const int reading = reader ? open(fifo.c_str(), O_RDONLY | O_NONBLOCK) : -1;
    Launch launch = Bench::launch_with(kSmallRun);
    launch.deadline_seconds = 60;  // a hang is the fault
    Expected e;
    e.status = 1;
    e.err = "mapfit: cannot write report.txt: not a regular file\n";
    Checked c{reader ? "with a reader" : "without a reader", app_testing::run_program(f, launch), e,
              std::nullopt, ""};
    if (reading >= 0) {
      // Nothing reached the reader.
      char byte = 0;
      if (read(reading, &byte, 1) > 0) c.fault = "the FIFO received text";
      close(reading);
    }
    runs.push_back(c);
  }
  return runs;
}

std::vector<Checked> address_space_just_above_the_triangle(Bench& b) {
#if defined(__SANITIZE_ADDRESS__)
  b.skip = "the address sanitizer needs its own address space";
  return {};
#else
  const auto address_space_of = [](pid_t pid) -> std::uint64_t {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.starts_with("VmSize:")) return std::stoull(line.substr(7)) * 1024;
    }
    return 0;
  };
  // 199991 rows by C(14, 9) = 2002 columns. At the fit, the program may map the triangle of
  // the streaming factorisation beyond what it holds, not its block of rows and panel work too.
  const fs::path f = b.folder("address-space", series_text(200'000));
  Launch launch = Bench::launch_with("200000\n9\n1\n");
  launch.marker = "Order of the polynomial: ";
  launch.action = [&](pid_t pid) {
    const std::uint64_t limit = address_space_of(pid) + 2003ull * 2003 * 8 + (256u << 10);
    const rlimit r{limit, limit};
    prlimit(pid, RLIMIT_AS, &r, nullptr);
  };
  launch.input_after = "5\nn\nn\nn\nn\n";
  Expected e;
  e.status = 1;
  e.out_contains =
      "\n *** TERMINAL ERROR 2 from POLYFIT.  The required storage cannot be\n"
      " ***          allocated.  The least-squares matrix has 199991 rows and 2002 \n"
      " ***          columns.\n";
  e.report =
      " The number of values in a training time series Ntrain = 200000\n\n"
      " Dimension of a model map D =  9\n";
  Checked c{"limit just above the triangle", app_testing::run_program(f, launch), e,
            read_text(f / "report.txt"), ""};
  if (!c.outcome.marker_seen) c.fault = "no question for the order";
  return {c};
#endif
}

std::vector<Checked> plot_on_a_full_disk(Bench& b) {
  const std::string series = series_text(700);
  const Bench::Reference ref = b.reference_of(series, kSmallRun);
  const fs::path f = b.folder("plot", series);
  const std::string earlier(5000, 'p');  // an earlier picture of that name
  write_text(f / "model-efficiency.png", earlier);
  Launch launch = Bench::launch_with(kSmallRun);
  launch.file_size = 4096;  // room for the report and the dialogue, not for a picture
  Expected e;
  e.err =
      "mapfit: cannot write the plot to model-efficiency.png: File too large "
      "(model-efficiency.png is left as it was)\n";
  e.report = ref.report;
  Checked c{"plot beyond the limit", app_testing::run_program(f, launch), e,
            read_text(f / "report.txt"), ""};
  if (read_text(f / "model-efficiency.png") != earlier) c.fault = "the earlier picture changed; ";
  for (const auto& entry : fs::directory_iterator(f)) {
    if (entry.path().extension() == ".part") c.fault += "left behind: " + entry.path().string();
  }
  return {c};
}

std::vector<Checked> model_that_overflows(Bench& b) {
  // Values near 1e150 and nu = 3: the basis overflows, coefficients and errors are NaN.
  const fs::path f = b.folder("nan", series_text(700, 1e150));
  Expected e;
  const std::string scores = " Prediction time:    0\n Number of infinite solutions:  100\n";
  e.out_contains = " Error of approximation:        NaN %\n";
  Checked c{"NaN model",
            app_testing::run_program(f, Bench::launch_with("400\n2\n1\n3\ny\nn\nn\nn\nn\nn\nn\n")),
            e, read_text(f / "report.txt"), ""};
  if (c.outcome.out.find(scores) == std::string::npos)
    c.fault = "the dialogue scores it otherwise; ";
  if (c.report->find(scores) == std::string::npos) c.fault += "the report scores it otherwise";
  return {c};
}

struct FaultCase {
  const char* name;
  std::vector<Checked> (*play)(Bench& b);
};
void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class ReportFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(ReportFaults, EndWithTheirMessageAndWholeBlocks) {
  Bench bench;
  const std::vector<Checked> runs = GetParam().play(bench);
  if (!bench.skip.empty()) GTEST_SKIP() << bench.skip;
  ASSERT_FALSE(runs.empty());
  for (const Checked& c : runs) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(c.outcome.killed_at_deadline);
    EXPECT_EQ(c.outcome.status, c.expected.status) << c.outcome.err;
    EXPECT_EQ(c.outcome.signal, c.expected.signal);
    EXPECT_EQ(c.outcome.err, c.expected.err);
    if (!c.expected.out_contains.empty()) {
      EXPECT_NE(c.outcome.out.find(c.expected.out_contains), std::string::npos) << c.outcome.out;
    }
    if (c.expected.report) {
      EXPECT_EQ(c.report.value_or("(none)"), *c.expected.report);
    }
    if (c.report) {
      EXPECT_EQ(whole_blocks_fault(*c.report), "");
    }
    EXPECT_EQ(c.fault, "");
  }
}

INSTANTIATE_TEST_SUITE_P(App, ReportFaults,
                         ::testing::Values(FaultCase{"SignalInTheMiddleOfEachBlock",
                                                     signal_in_each_block},
                                           FaultCase{"TwoRunsInOneFolder", two_runs_in_one_folder},
                                           FaultCase{"FullDisk", full_disk},
                                           FaultCase{"ReportIsAFifo", report_is_a_fifo},
                                           FaultCase{"AddressSpaceJustAboveTheTriangle",
                                                     address_space_just_above_the_triangle},
                                           FaultCase{"PlotOnAFullDisk", plot_on_a_full_disk},
                                           FaultCase{"ModelThatOverflows", model_that_overflows}),
                         [](const auto& p) { return std::string(p.param.name); });

// The checker itself: torn and mixed reports are found.
TEST(WholeBlocks, FindsTornAndStrayLines) {
  const std::string training =
      " The number of values in a training time series Ntrain =    400\n\n";
  const std::string model =
      " Function for approximation: standard p\n Polynomial order nu =  1\n"
      " Coefficients of the model map:\n        0.5000000000\n"
      "       -1.2500000000\n Error of approximation:    1.23456 %\n";
  EXPECT_EQ(whole_blocks_fault(training + model + kBanner), "");
  EXPECT_EQ(whole_blocks_fault(training + model.substr(0, 150)), "a torn last line");
  EXPECT_EQ(whole_blocks_fault(training + model.substr(0, model.find("       -1.25"))),
            "a model block cut in its coefficients at line 7");
  EXPECT_EQ(whole_blocks_fault(model.substr(0, 40) + training),
            "a model block cut after its name at line 2");
  EXPECT_EQ(whole_blocks_fault(training + training.substr(0, 20) + "\n"),
            "a line of no block at line 3");
}

}  // namespace
