#pragma once
// Shared pieces of the fuzz targets: a failed property aborts (libFuzzer then keeps the input),
// a private working directory, and a console whose keyboard is the fuzz input.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>

#include "numlib/stop.h"
#include "windowing/console.h"

namespace fuzzing {

inline void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fuzz property violated: %s\n", what);
    std::abort();
  }
}

// A fresh directory under the system's temporary directory, made once per process and removed
// when the fuzzer ends normally (a crash leaves it for a look). It lives until the very end.
inline const std::filesystem::path& work_directory() {
  static const std::filesystem::path* const dir = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "mapfit-fuzz-XXXXXX").string();
    check(mkdtemp(pattern.data()) != nullptr, "mkdtemp");
    return new std::filesystem::path(pattern);
  }();
  static const bool cleanup = [] {
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(*dir, ec);
    });
    return true;
  }();
  (void)cleanup;
  return *dir;
}

inline void write_file(const std::filesystem::path& path, std::string_view bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  check(f != nullptr, "open a scratch file");
  check(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size(), "write a scratch file");
  check(std::fclose(f) == 0, "close a scratch file");
}

inline std::string read_file(const std::filesystem::path& path) {
  std::string bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return bytes;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  std::fclose(f);
  return bytes;
}

// The fuzz input cut into lines at LF (the last piece counts when it is not empty).
inline std::deque<std::string> split_lines(std::string_view data) {
  std::deque<std::string> lines;
  while (!data.empty()) {
    const auto end = data.find('\n');
    lines.emplace_back(data.substr(0, end));
    if (end == std::string_view::npos) break;
    data.remove_prefix(end + 1);
  }
  return lines;
}

// The console windows with a keyboard that types the given lines. Input that runs out, or more
// than `max_reads` reads, ends the program as the end of input does (ProgramStop{3}). Between
// two reads at most `max_writes` texts may be written: more means the dialogue loops without
// asking.
class ScriptedConsole : public windowing::Console {
 public:
  ScriptedConsole(std::deque<std::string> lines, int max_reads, int max_writes)
      : lines_(std::move(lines)), max_reads_(max_reads), max_writes_(max_writes) {}

  void write_text(int /*unit*/, std::string_view text) override {
    check(++writes_since_read_ <= max_writes_, "the dialogue writes without ever reading");
    check(text.size() < 100000, "one text of unbounded length");
  }
  std::string read_line(int /*unit*/) override { return next(); }
  std::string choose_file(std::string_view /*title*/) override { return next(); }
  bool confirm(std::string_view /*title*/, std::string_view /*text*/) override {
    const std::string answer = next();
    return !answer.empty() && answer.front() == 'y';
  }
  int reads() const { return reads_; }

 private:
  std::string next() {
    writes_since_read_ = 0;
    if (lines_.empty() || reads_ >= max_reads_) throw numlib::ProgramStop{3};
    ++reads_;
    std::string line = std::move(lines_.front());
    lines_.pop_front();
    return line;
  }

  std::deque<std::string> lines_;
  int max_reads_;
  int max_writes_;
  int reads_ = 0;
  int writes_since_read_ = 0;
};

}  // namespace fuzzing
