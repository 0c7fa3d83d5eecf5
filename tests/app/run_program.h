#pragma once
// Runs the built program in a child process as a user would: in a working directory of its
// own, with answers on standard input, its standard output and error caught in files (or the
// standard output closed, full, or a pipe nobody reads), an optional address-space limit, and
// a deadline after which it is killed.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace app_testing {

enum class Output { file, closed, full_device, broken_pipe };

struct Launch {
  std::vector<std::string> arguments;  // after the program name
  std::string input;                   // typed first
  // When set: after the standard output shows `marker`, `action` runs, then `input_after` is
  // typed.
  std::string marker;
  std::function<void()> action;
  std::string input_after;
  Output output = Output::file;
  bool close_error = false;         // standard error closed
  std::uint64_t address_space = 0;  // bytes; 0 for no limit
  int deadline_seconds = 120;
};

struct Outcome {
  int status = -1;  // exit status, -1 when ended by a signal
  int signal = 0;   // the signal that ended it
  bool killed_at_deadline = false;
  bool marker_seen = false;
  std::string out;
  std::string err;
};

Outcome run_program(const std::filesystem::path& directory, const Launch& launch);

std::string read_text(const std::filesystem::path& path);
void write_text(const std::filesystem::path& path, const std::string& text);

}  // namespace app_testing
