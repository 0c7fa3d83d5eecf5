#include "run_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace app_testing {
namespace {

using Clock = std::chrono::steady_clock;

void write_all(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // the program stopped reading
    done += static_cast<std::size_t>(n);
  }
}

[[noreturn]] void child(const std::filesystem::path& directory, const Launch& launch, int input_fd,
                        int output_fd, int error_fd) {
  signal(SIGPIPE, SIG_DFL);
  if (chdir(directory.c_str()) != 0) _exit(120);
  dup2(input_fd, 0);
  dup2(error_fd, 2);
  switch (launch.output) {
    case Output::closed:
      close(1);
      break;
    case Output::full_device: {
      const int full = open("/dev/full", O_WRONLY);
      if (full < 0) _exit(121);
      dup2(full, 1);
      break;
    }
    default:
      dup2(output_fd, 1);
      break;
  }
  if (launch.close_error) close(2);
  for (int fd = 3; fd < 256; ++fd) close(fd);
  if (launch.address_space != 0) {
    const rlimit limit{launch.address_space, launch.address_space};
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(122);
  }
  if (launch.file_size != 0) {
    const rlimit limit{launch.file_size, launch.file_size};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(124);
  }
  for (const std::string& setting : launch.environment) {
    if (putenv(const_cast<char*>(setting.c_str())) != 0) _exit(125);
  }
  std::vector<std::string> words{MAPFIT_BINARY, "--terminal"};
  words.insert(words.end(), launch.arguments.begin(), launch.arguments.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  execv(MAPFIT_BINARY, argv.data());
  _exit(123);
}

}  // namespace

std::string read_text(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_text(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

Child::Child(const std::filesystem::path& directory, const Launch& launch) {
  // The program may stop reading before all answers are typed.
  signal(SIGPIPE, SIG_IGN);
  // Each run has files of its own, so that runs in one directory may overlap.
  static std::atomic<int> serial{0};
  const std::string tag = std::to_string(getpid()) + "-" + std::to_string(serial++);
  out_path_ = directory / (".stdout-" + tag);
  err_path_ = directory / (".stderr-" + tag);
  deadline_ = Clock::now() + std::chrono::seconds(launch.deadline_seconds);
  const int output_fd = open(out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int error_fd = open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  int input[2];
  int broken[2];
  if (output_fd < 0 || error_fd < 0 || pipe2(input, O_CLOEXEC) != 0 ||
      pipe2(broken, O_CLOEXEC) != 0) {
    throw std::runtime_error("cannot set up the child's streams");
  }
  pid_ = fork();
  if (pid_ == 0) {
    child(directory, launch, input[0], launch.output == Output::broken_pipe ? broken[1] : output_fd,
          error_fd);
  }
  close(input[0]);
  close(broken[0]);  // nobody reads this pipe
  close(broken[1]);
  close(output_fd);
  close(error_fd);
  input_ = input[1];
  type(launch.input);
}

Child::~Child() {
  if (input_ >= 0) close(input_);
  if (!ended()) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &wait_status_, 0);
  }
  std::error_code ec;
  std::filesystem::remove(out_path_, ec);
  std::filesystem::remove(err_path_, ec);
}

void Child::type(const std::string& text) {
  if (input_ >= 0) write_all(input_, text);
}

bool Child::ended() {
  if (!ended_ && waitpid(pid_, &wait_status_, WNOHANG) == pid_) ended_ = true;
  return ended_;
}

bool Child::wait_for(const std::filesystem::path& file, std::string_view text) {
  for (;;) {
    // Looked at once more after the end: the text may have come with the last write.
    const bool last_look = ended() || Clock::now() >= deadline_;
    if (read_text(file).find(text) != std::string::npos) return true;
    if (last_look) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool Child::wait_for_output(std::string_view text) { return wait_for(out_path_, text); }
bool Child::wait_for_error(std::string_view text) { return wait_for(err_path_, text); }

Outcome Child::finish() {
  if (input_ >= 0) close(input_);
  input_ = -1;
  Outcome outcome;
  while (!ended()) {
    if (Clock::now() >= deadline_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &wait_status_, 0);
      ended_ = true;
      outcome.killed_at_deadline = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (WIFEXITED(wait_status_)) outcome.status = WEXITSTATUS(wait_status_);
  if (WIFSIGNALED(wait_status_)) outcome.signal = WTERMSIG(wait_status_);
  outcome.out = read_text(out_path_);
  outcome.err = read_text(err_path_);
  return outcome;
}

Outcome run_program(const std::filesystem::path& directory, const Launch& launch) {
  Child child(directory, launch);
  bool marker_seen = false;
  if (!launch.marker.empty() && child.wait_for_output(launch.marker)) {
    marker_seen = true;
    if (launch.action) launch.action(child.pid());
    child.type(launch.input_after);
  }
  Outcome outcome = child.finish();
  outcome.marker_seen = marker_seen;
  return outcome;
}

}  // namespace app_testing
