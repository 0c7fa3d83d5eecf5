#pragma once
// Runs the built program in a child process as a user would: in a working directory of its
// own, with answers on standard input, its standard output and error caught in files (or the
// standard output closed, full, or a pipe nobody reads), optional resource limits and extra
// environment, and a deadline after which it is killed.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace app_testing {

enum class Output { file, closed, full_device, broken_pipe };

struct Launch {
  std::vector<std::string> arguments;  // after the program name
  std::string input;                   // typed first
  // When set: after the standard output shows `marker`, `action` runs with the program's
  // process id, then `input_after` is typed.
  std::string marker;
  std::function<void(pid_t)> action;
  std::string input_after;
  Output output = Output::file;
  bool close_error = false;              // standard error closed
  std::uint64_t address_space = 0;       // bytes; 0 for no limit
  std::uint64_t file_size = 0;           // bytes, the largest file it may write; 0 for no limit
  std::vector<std::string> environment;  // NAME=VALUE added to the program's environment
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

// One run of the program, started by the constructor (which types launch.input) and ended by
// finish(); the destructor kills a run that was not finished. For runs that must overlap.
class Child {
 public:
  Child(const std::filesystem::path& directory, const Launch& launch);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }
  void type(const std::string& text);
  // Waits until the standard output (or error) holds `text`; false when the program ended or
  // the deadline passed first.
  bool wait_for_output(std::string_view text);
  bool wait_for_error(std::string_view text);
  // Ends the input and waits for the program to end (or kills it at the deadline).
  Outcome finish();

 private:
  bool wait_for(const std::filesystem::path& file, std::string_view text);
  bool ended();

  std::filesystem::path out_path_, err_path_;
  std::chrono::steady_clock::time_point deadline_;
  pid_t pid_ = -1;
  int input_ = -1;
  int wait_status_ = 0;
  bool ended_ = false;
};

Outcome run_program(const std::filesystem::path& directory, const Launch& launch);

std::string read_text(const std::filesystem::path& path);
void write_text(const std::filesystem::path& path, const std::string& text);

}  // namespace app_testing
