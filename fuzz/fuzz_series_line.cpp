// Fuzz target: reading series lines and whole series files.
//
// The input is taken twice: as one line for read_series_line (at most 10,000 bytes), and as the
// bytes of a series file that is counted, loaded and read back through the series file's own
// operations. Properties:
// - a line that reads gives a finite value, and only its first 20 characters matter;
// - the count accepts the file exactly when every line (split at LF, a CR before the LF or at
//   the very end dropped) reads, and there are at least two lines;
// - an accepted file loads without a complaint, with the values that each line reads as alone,
//   and the test series of the second half matches the same values;
// - the same holds when the input starts just before the 1 MiB mark of the file (inputs whose
//   first byte has its high bit set), where block-wise readers refill.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <limits>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "dialogue/series_file.h"
#include "dialogue/series_lines.h"
#include "fuzz_support.h"
#include "windowing/console.h"

namespace {

constexpr std::size_t kMaxLine = 10000;
constexpr std::size_t kBlockMark = std::size_t{1} << 20;

bool same(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void one_line(std::string_view line) {
  double value = 0;
  if (!dialogue::read_series_line(line, value)) return;
  fuzzing::check(std::isfinite(value), "a readable line gives a finite value");
  double field_value = 0;
  fuzzing::check(dialogue::read_series_line(line.substr(0, 20), field_value),
                 "the first 20 characters read alone");
  fuzzing::check(same(value, field_value), "only the first 20 characters matter");
}

// The lines of a file as the series file defines them, split independently of the reader.
std::vector<std::string> file_lines(std::string_view data) {
  std::vector<std::string> lines;
  while (!data.empty()) {
    const auto end = data.find('\n');
    std::string line(data.substr(0, end));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    if (end == std::string_view::npos) break;
    data.remove_prefix(end + 1);
  }
  return lines;
}

void whole_file(std::string_view data) {
  const std::vector<std::string> lines = file_lines(data);
  std::vector<double> expected;
  bool readable = true;
  for (const auto& line : lines) {
    double value = 0;
    if (!dialogue::read_series_line(line, value)) {
      readable = false;
      break;
    }
    expected.push_back(value);
  }

  // The count over a stream in memory.
  std::istringstream in{std::string(data)};
  int N = -1;
  const auto counted =
      dialogue::count_series_lines(in, std::numeric_limits<std::int32_t>::max(), N);
  if (!readable) {
    fuzzing::check(counted == dialogue::CountResult::unreadable_line, "unreadable line refused");
    return;
  }
  if (lines.size() < 2) {
    fuzzing::check(counted == dialogue::CountResult::too_short, "short file refused");
    return;
  }
  fuzzing::check(counted == dialogue::CountResult::counted, "a readable file is counted");
  fuzzing::check(N == static_cast<int>(lines.size()), "N is the number of lines");

  // The same file through the series file's operations on disk.
  const auto path = fuzzing::work_directory() / "series.txt";
  fuzzing::write_file(path, data);
  dialogue::Series series;
  std::deque<std::string> arguments{path.string()};
  fuzzing::ScriptedConsole no_windows({}, 0, 0);
  dialogue::choose_series(series, arguments, no_windows);
  fuzzing::check(dialogue::count_series(series) == dialogue::CountResult::counted,
                 "the file on disk is counted");
  fuzzing::check(series.N == N, "the same N on disk");
  dialogue::load_training(series, N);
  fuzzing::check(series.values.size() == expected.size(), "Ntrain values loaded");
  for (std::size_t i = 0; i < expected.size(); ++i) {
    fuzzing::check(same(series.values[i], expected[i]), "loaded value as the line reads");
  }
  const int Ntrain = 1 + N / 2;
  const int D = 1;
  const std::int64_t NT = N - Ntrain + D;
  const std::vector<double> T = dialogue::read_test_series(series, Ntrain, D, NT);
  fuzzing::check(static_cast<std::int64_t>(T.size()) == NT, "NT test values");
  for (std::int64_t i = 0; i < NT; ++i) {
    fuzzing::check(
        same(T[static_cast<std::size_t>(i)], expected[static_cast<std::size_t>(Ntrain - D + i)]),
        "test value as the line reads");
  }
  dialogue::close_series(series);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string_view data(reinterpret_cast<const char*>(bytes), size);
  if (size <= kMaxLine) one_line(data);
  if (size > 0 && (bytes[0] & 0x80) != 0) {
    // The readers take files in blocks of a megabyte or less: a first line of 0 padded with
    // blanks moves the input up to 127 bytes before the 1 MiB mark, so that its lines, and a
    // CR LF, can straddle the end of a block.
    const std::size_t shift = bytes[size - 1] & 0x7f;
    std::string file = "0" + std::string(kBlockMark - 2 - shift, ' ') + "\n";
    file.append(data);
    whole_file(file);
  } else {
    whole_file(data);
  }
  return 0;
}
