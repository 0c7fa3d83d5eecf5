// The report file on disk: opened for appending under a lock that lasts until it is closed,
// and written one whole block at a time.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <thread>

#include "dialogue/driver_state.h"
#include "dialogue/report_file.h"
#include "numlib/held_signals.h"
#include "numlib/progress.h"
#include "numlib/stop.h"

namespace dialogue {
namespace {

constexpr int kFailureStatus = 1;

bool lock_is_taken(int error_number) { return error_number == EACCES || error_number == EAGAIN; }

}  // namespace

ReportFile::ReportFile(std::filesystem::path path, plot::WindowSystem* windows)
    : path_(std::move(path)), windows_(windows) {}

// A stop of the program unwinds through here: what was written stays, whole.
ReportFile::~ReportFile() {
  if (fd_ >= 0) ::close(fd_);
}

void ReportFile::fail(std::string_view reason) {
  std::cerr << "mapfit: cannot write " << path_.string() << ": " << reason << std::endl;
  throw numlib::ProgramStop{kFailureStatus};
}

void ReportFile::open() {
  if (fd_ >= 0) return;
  // Without blocking: opening a FIFO for writing would wait for a reader for ever.
  const int fd =
      ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) {
    // A FIFO without a reader, and a socket, refuse to be opened at all.
    fail(errno == ENXIO ? "not a regular file" : std::strerror(errno));
  }
  struct stat st {};
  const int error_number = ::fstat(fd, &st) != 0 ? errno : 0;
  if (error_number != 0 || !S_ISREG(st.st_mode)) {
    // A device, a FIFO or a terminal takes no whole blocks and cannot be taken back.
    ::close(fd);
    fail(error_number != 0 ? std::strerror(error_number) : "not a regular file");
  }
  fd_ = fd;
  ::fcntl(fd_, F_SETFL, O_APPEND);
  try {
    lock();
  } catch (...) {
    ::close(fd_);
    fd_ = -1;
    throw;
  }
}

void ReportFile::lock() {
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  whole.l_start = 0;
  whole.l_len = 0;  // to the end, however far the file grows
  if (::fcntl(fd_, F_SETLK, &whole) == 0) return;
  // A file system without locks: the run goes on without one.
  if (!lock_is_taken(errno)) return;

  // Another run holds the file: say once which, then wait for it.
  struct flock holder = whole;
  std::string who = "another process";
  if (::fcntl(fd_, F_GETLK, &holder) == 0 && holder.l_type != F_UNLCK && holder.l_pid > 0) {
    who = "process " + std::to_string(holder.l_pid);
  }
  const std::string text =
      path_.string() + " is in use by " + who + "; waiting until it closes the file";
  std::optional<WorkScope> work;
  if (windows_ != nullptr) {
    windows_->status_message(text);
    work.emplace(*windows_, "Waiting for report.txt");
  } else {
    std::cerr << "mapfit: " << text << std::endl;
  }
  // Polled rather than waited for in the kernel, so that the front end can end the wait.
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    numlib::check_stop();
    if (::fcntl(fd_, F_SETLK, &whole) == 0) return;
    if (!lock_is_taken(errno)) return;
  }
}

void ReportFile::write_block(std::string_view block) {
  open();
  const numlib::HeldSignals held;
  const off_t before = ::lseek(fd_, 0, SEEK_END);
  int error_number = 0;
  for (std::size_t done = 0; done < block.size();) {
    const ssize_t n = ::write(fd_, block.data() + done, block.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      error_number = n < 0 ? errno : EIO;
      break;
    }
  }
  if (error_number == 0) return;
  // Take back what part of the block reached the file; the run holds the lock, so nothing
  // else was appended meanwhile.
  if (before >= 0) {
    while (::ftruncate(fd_, before) != 0 && errno == EINTR) {
    }
  }
  fail(std::strerror(error_number));
}

void ReportFile::close_file() {
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && errno != EINTR) fail(std::strerror(errno));
}

}  // namespace dialogue
