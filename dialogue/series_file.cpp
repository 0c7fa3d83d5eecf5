// The series file: choosing it, counting its lines, and reading the training and test values.

#include "dialogue/series_file.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <limits>
#include <memory>
#include <string>
#include <system_error>

#include "dialogue/series_lines.h"
#include "numlib/fields.h"
#include "numlib/stop.h"

namespace dialogue {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Digits written without a decimal point carry this many implied decimals.
constexpr int kImpliedDecimals = 10;

// An exponent beyond this magnitude over- or underflows whatever the mantissa digits are, so
// clamping it keeps the arithmetic in range without changing the outcome.
constexpr std::int64_t kExponentClamp = 1'000'000'000;

// Notes on standard error go after the dialogue text already written to standard output.
void note(const std::string& text) {
  std::cout.flush();
  std::cerr << "mapfit: " << text << '\n';
  std::cerr.flush();
}

[[noreturn]] void changed_while_in_use(const Series& series) {
  note("the series file " + series.name + " changed while in use");
  throw numlib::ProgramStop{1};
}

// Reads the next line of an open series file that the count has accepted; a line that is
// missing or unreadable now means the file was changed since.
double next_counted_value(Series& series, LineReader& lines) {
  std::string_view field;
  double value = 0;
  if (!lines.next(field) || !read_series_line(field, value)) {
    changed_while_in_use(series);
  }
  return value;
}

void rewind(Series& series) {
  series.file.clear();
  series.file.seekg(0);
  if (!series.file) changed_while_in_use(series);
}

// Opens a chosen name; a name that names no readable regular file is refused (left closed, so
// the count refuses it like a file of fewer than two values) with a note, and is never created.
void open_series(Series& series, const std::string& name) {
  series.name = name;
  std::error_code ec;
  const auto status = std::filesystem::status(name, ec);
  if (!std::filesystem::exists(status)) {
    note("no such file: " + name);
    return;
  }
  // Only a regular file can be counted and read again from its first line: a directory, a
  // FIFO (whose opening waits for a writer) or a device such as /dev/zero (a line without end)
  // is refused.
  if (!std::filesystem::is_regular_file(status)) {
    note("not a file: " + name);
    return;
  }
  series.file.open(name, std::ios::in | std::ios::binary);
  if (!series.file.is_open()) note("cannot open: " + name);
}

}  // namespace

bool LineReader::next(std::string_view& field) {
  // One character beyond the field is kept, so that a CR ending a line of exactly the field's
  // width can still be told from a CR inside the field.
  constexpr std::size_t keep = kSeriesFieldWidth + 1;
  field_.clear();
  std::size_t length = 0;
  char last = '\0';
  bool any = false;
  for (;;) {
    if (pos_ == end_ && !refill()) break;
    any = true;
    const char* const p = block_.get() + pos_;
    const std::size_t avail = end_ - pos_;
    const auto* nl = static_cast<const char*>(std::memchr(p, '\n', avail));
    const std::size_t n = nl != nullptr ? static_cast<std::size_t>(nl - p) : avail;
    if (length < keep) field_.append(p, std::min(n, keep - length));
    if (n > 0) last = p[n - 1];
    length += n;
    pos_ += n;
    if (nl != nullptr) {
      ++pos_;
      break;
    }
  }
  if (!any) return false;
  if (last == '\r' && length <= keep) field_.pop_back();
  if (field_.size() > static_cast<std::size_t>(kSeriesFieldWidth)) {
    field_.resize(kSeriesFieldWidth);
  }
  field = field_;
  return true;
}

bool read_series_line(std::string_view line, double& value) {
  // Blanks anywhere in the field are ignored. The field has at most kSeriesFieldWidth
  // characters, so fixed arrays hold its pieces.
  char s[kSeriesFieldWidth];
  std::size_t size = 0;
  for (const char c : line.substr(0, kSeriesFieldWidth)) {
    if (c != ' ') s[size++] = c;
  }
  if (size == 0) {
    value = 0;
    return true;
  }

  std::size_t i = 0;
  bool negative = false;
  if (s[i] == '+' || s[i] == '-') negative = s[i++] == '-';

  // Mantissa: digits with at most one point; `point` counts the digits before it.
  char digits[kSeriesFieldWidth];
  std::size_t ndigits = 0;
  std::int64_t point = -1;
  for (; i < size; ++i) {
    if (is_digit(s[i])) {
      digits[ndigits++] = s[i];
    } else if (s[i] == '.') {
      if (point >= 0) return false;
      point = static_cast<std::int64_t>(ndigits);
    } else {
      break;
    }
  }
  if (ndigits == 0) return false;

  // Exponent: E or D (either case) with an optionally signed integer, or a sign and an integer.
  std::int64_t exponent = 0;
  if (i < size) {
    const char c = s[i];
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
      ++i;
    } else if (c != '+' && c != '-') {
      return false;
    }
    bool exponent_negative = false;
    if (i < size && (s[i] == '+' || s[i] == '-')) exponent_negative = s[i++] == '-';
    if (i == size) return false;
    for (; i < size; ++i) {
      if (!is_digit(s[i])) return false;
      exponent = std::min(exponent * 10 + (s[i] - '0'), kExponentClamp);
    }
    if (exponent_negative) exponent = -exponent;
  }

  // Without a point the last digits are decimals.
  if (point < 0) point = static_cast<std::int64_t>(ndigits) - kImpliedDecimals;

  std::size_t lead = 0;
  while (lead < ndigits && digits[lead] == '0') ++lead;
  if (lead == ndigits) {
    value = negative ? -0.0 : 0.0;
    return true;
  }
  // The value is 0.<digits> times ten to the power `scale`; its leading significant digit
  // stands at ten to the power `magnitude`.
  const std::int64_t scale = point + exponent;
  const std::int64_t magnitude = scale - static_cast<std::int64_t>(lead) - 1;
  double parsed = 0;
  if (magnitude > 400) return false;  // beyond every 64-bit real
  // Up to 15 digits with a power of ten up to 22: the digits as an integer and the power are
  // both exact, so one multiplication or division gives the correctly rounded value, the same
  // as the full conversion below.
  const std::int64_t power = scale - static_cast<std::int64_t>(ndigits);
  if (ndigits - lead <= 15 && power >= -22 && power <= 22) {
    static constexpr double kTens[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    std::int64_t m = 0;
    for (std::size_t k = lead; k < ndigits; ++k) m = m * 10 + (digits[k] - '0');
    const double md = static_cast<double>(m);
    parsed = power < 0 ? md / kTens[-power] : md * kTens[power];
    value = negative ? -parsed : parsed;
    return true;
  }
  if (magnitude >= -400) {
    // "0.<digits>e<scale>"
    char normal[2 + kSeriesFieldWidth + 1 + 24];
    std::size_t n = 0;
    normal[n++] = '0';
    normal[n++] = '.';
    std::copy(digits, digits + ndigits, normal + n);
    n += ndigits;
    normal[n++] = 'e';
    const auto written = std::to_chars(normal + n, normal + sizeof normal, scale);
    const char* const stop = written.ptr;
    const auto [end, ec] = std::from_chars(normal, stop, parsed);
    if (ec == std::errc::result_out_of_range) {
      if (magnitude > 0) return false;
      parsed = 0;  // below the smallest 64-bit real
    } else if (ec != std::errc{} || end != stop) {
      return false;
    }
  }
  value = negative ? -parsed : parsed;
  return true;
}

CountResult count_series_lines(std::istream& in, std::int64_t max_lines, int& N) {
  std::int64_t lines = 0;
  LineReader reader(in);
  std::string_view field;
  double value = 0;
  while (reader.next(field)) {
    if (++lines > max_lines) return CountResult::unreadable_line;
    if (!read_series_line(field, value)) return CountResult::unreadable_line;
  }
  if (lines < 2) return CountResult::too_short;
  N = static_cast<int>(lines);
  return CountResult::counted;
}

void choose_series(Series& series, std::deque<std::string>& arguments,
                   plot::WindowSystem& windows) {
  close_series(series);
  std::string name;
  if (!arguments.empty()) {
    name = numlib::trim_blanks(arguments.front());
    arguments.pop_front();
  }
  while (name.empty()) {
    name = windows.choose_file("Open: Select File for Unit 1");
    if (name.empty() &&
        windows.confirm("File Open Error", "A File Must be Selected\n\nTerminate Program?")) {
      throw numlib::ProgramStop{0};
    }
  }
  open_series(series, name);
}

CountResult count_series(Series& series) {
  if (!series.file.is_open()) return CountResult::too_short;
  int N = 0;
  const auto result = count_series_lines(series.file, std::numeric_limits<std::int32_t>::max(), N);
  if (result == CountResult::counted) series.N = N;
  return result;
}

void load_training(Series& series, int Ntrain) {
  rewind(series);
  series.values.assign(static_cast<std::size_t>(Ntrain), 0.0);
  LineReader lines(series.file);
  for (auto& x : series.values) x = next_counted_value(series, lines);
}

std::vector<double> read_test_series(Series& series, int Ntrain, int D, std::int64_t NT) {
  rewind(series);
  LineReader lines(series.file);
  std::string_view field;
  for (int k = 0; k < Ntrain - D; ++k) {
    if (!lines.next(field)) changed_while_in_use(series);
  }
  std::vector<double> T(static_cast<std::size_t>(NT));
  for (auto& t : T) t = next_counted_value(series, lines);
  return T;
}

void close_series(Series& series) {
  if (series.file.is_open()) series.file.close();
  series.file.clear();
}

}  // namespace dialogue
