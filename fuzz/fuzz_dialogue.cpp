// Fuzz target: the whole dialogue, driven by an arbitrary stream of answers.
//
// The dialogue runs in a private working directory over a few fixed series files. The first
// input byte chooses the command-line names; the rest are the typed lines (at most 60 reads;
// the file-choice dialog turns a typed line into one of the fixed names). Properties:
// - the dialogue ends normally or by a stop of the program with status 0, 1 or 3, and never
//   throws anything else;
// - it never writes more than a bounded amount between two reads (it cannot loop without
//   asking);
// - report.txt keeps what it held before and grows by whole lines only: it ends with a line
//   end, and every new line is empty, begins with a blank, or is a 20-character coefficient;
// - no file stays open after the run.

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "dialogue/driver.h"
#include "fuzz_support.h"
#include "numlib/error_stack.h"
#include "numlib/stop.h"
#include "numlib/units.h"
#include "plot/window_system.h"

namespace {

constexpr int kMaxReads = 60;
constexpr int kMaxWritesBetweenReads = 40;
const std::string kEarlierReport =
    " The number of values in a training time series Ntrain =    100\n\n";

const std::vector<std::string> kNames = {"long.txt",  "short.txt", "two.txt",     "bad.txt",
                                         "empty.txt", "folder",    "missing.txt", "crlf.txt"};

std::string series_text(int count, bool crlf) {
  std::string text;
  double x = 0.3;
  for (int k = 0; k < count; ++k) {
    x = 3.9 * x * (1.0 - x);
    char line[64];
    std::snprintf(line, sizeof line, "%.10f%s", x, crlf ? "\r\n" : "\n");
    text += line;
  }
  return text;
}

class DialogueWindows : public fuzzing::ScriptedConsole {
 public:
  using ScriptedConsole::ScriptedConsole;
  // The dialog's typed line picks one of the fixed names; an empty line cancels.
  std::string choose_file(std::string_view title) override {
    const std::string typed = ScriptedConsole::choose_file(title);
    if (typed.empty()) return "";
    return kNames[static_cast<unsigned char>(typed[0]) % kNames.size()];
  }
};

int open_descriptors() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
}

bool coefficient_line(std::string_view line) {
  if (line.size() != 20) return false;
  return line.find_first_not_of("0123456789.-* ") == std::string_view::npos;
}

void check_report(const std::string& report) {
  fuzzing::check(report.compare(0, kEarlierReport.size(), kEarlierReport) == 0,
                 "report.txt keeps what it held");
  std::string_view added = std::string_view(report).substr(kEarlierReport.size());
  fuzzing::check(added.empty() || added.back() == '\n', "report.txt ends with a whole line");
  while (!added.empty()) {
    const auto end = added.find('\n');
    const std::string_view line = added.substr(0, end);
    fuzzing::check(line.empty() || line.front() == ' ' || coefficient_line(line),
                   "every report line is whole");
    added.remove_prefix(end + 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  const auto& dir = fuzzing::work_directory();
  fuzzing::check(chdir(dir.c_str()) == 0, "chdir");
  fuzzing::write_file("long.txt", series_text(160, false));
  fuzzing::write_file("short.txt", series_text(6, false));
  fuzzing::write_file("two.txt", "1.5\n2.5\n");
  fuzzing::write_file("bad.txt", "value\n" + series_text(20, false));
  fuzzing::write_file("empty.txt", "");
  fuzzing::write_file("crlf.txt", series_text(40, true));
  std::filesystem::create_directory("folder");
  // The library's messages are not needed here.
  numlib::set_unit_sink(numlib::kStandardOutputUnit, [](std::string_view) {});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  std::deque<std::string> arguments;
  for (int bit = 0; bit < 3; ++bit) {
    if (bytes[0] & (1u << bit)) arguments.push_back(kNames[(bytes[0] >> 3) % kNames.size()]);
    if (bytes[0] & (8u << bit)) arguments.push_back(kNames[bit]);
  }
  const std::string_view data(reinterpret_cast<const char*>(bytes) + 1, size - 1);

  fuzzing::write_file("report.txt", kEarlierReport);
  const int descriptors = open_descriptors();
  {
    DialogueWindows windows(fuzzing::split_lines(data), kMaxReads, kMaxWritesBetweenReads);
    try {
      plot::INITIALSETTINGS(windows);
      dialogue::run_dialogue(windows, arguments);
    } catch (const numlib::ProgramStop& stop) {
      fuzzing::check(stop.status == 0 || stop.status == 1 || stop.status == 3,
                     "a stop has status 0, 1 or 3");
    }
  }
  numlib::reset_error_stack();
  fuzzing::check(open_descriptors() == descriptors, "no file stays open");
  check_report(fuzzing::read_file("report.txt"));
  return 0;
}
