#include "run_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
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

Outcome run_program(const std::filesystem::path& directory, const Launch& launch) {
  // The program may stop reading before all answers are typed.
  signal(SIGPIPE, SIG_IGN);
  const auto out_path = directory / ".stdout";
  const auto err_path = directory / ".stderr";
  const int output_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int error_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int input[2];
  int broken[2];
  if (output_fd < 0 || error_fd < 0 || pipe(input) != 0 || pipe(broken) != 0) {
    throw std::runtime_error("cannot set up the child's streams");
  }
  const pid_t pid = fork();
  if (pid == 0) {
    close(input[1]);
    close(broken[0]);
    child(directory, launch, input[0], launch.output == Output::broken_pipe ? broken[1] : output_fd,
          error_fd);
  }
  close(input[0]);
  close(broken[0]);  // nobody reads this pipe
  close(broken[1]);
  close(output_fd);
  close(error_fd);

  Outcome outcome;
  const auto deadline = Clock::now() + std::chrono::seconds(launch.deadline_seconds);
  int wait_status = 0;
  bool ended = false;
  auto poll_end = [&] {
    if (!ended && waitpid(pid, &wait_status, WNOHANG) == pid) ended = true;
    return ended;
  };

  write_all(input[1], launch.input);
  if (!launch.marker.empty()) {
    while (!poll_end() && Clock::now() < deadline) {
      if (read_text(out_path).find(launch.marker) != std::string::npos) {
        outcome.marker_seen = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (outcome.marker_seen) {
      if (launch.action) launch.action();
      write_all(input[1], launch.input_after);
    }
  }
  close(input[1]);

  while (!poll_end()) {
    if (Clock::now() >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &wait_status, 0);
      outcome.killed_at_deadline = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (WIFEXITED(wait_status)) outcome.status = WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) outcome.signal = WTERMSIG(wait_status);
  outcome.out = read_text(out_path);
  outcome.err = read_text(err_path);
  std::filesystem::remove(out_path);
  std::filesystem::remove(err_path);
  return outcome;
}

}  // namespace app_testing
