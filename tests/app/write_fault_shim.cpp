// A library preloaded into the program by the fault tests (LD_PRELOAD), never part of the
// program: it watches the write() calls on report.txt in the working directory.
//   MAPFIT_SHIM_LOG=FILE     appends the byte count of every such call to FILE, one a line;
//   MAPFIT_SHIM_AT=K         the K-th such call (1-based) writes only the first half of its
//   MAPFIT_SHIM_SIGNAL=S     bytes, then raises signal S on the writing thread, and returns
//                            the short count: a signal that arrives in the middle of a block.

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using WriteFunction = ssize_t (*)(int, const void*, size_t);

WriteFunction real_write() {
  static const auto next = reinterpret_cast<WriteFunction>(dlsym(RTLD_NEXT, "write"));
  return next;
}

bool is_report(int fd) {
  struct stat file {};
  struct stat report {};
  return fstat(fd, &file) == 0 && S_ISREG(file.st_mode) && stat("report.txt", &report) == 0 &&
         file.st_dev == report.st_dev && file.st_ino == report.st_ino;
}

long number_from(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::strtol(value, nullptr, 10) : 0;
}

void log_count(size_t count) {
  const char* path = std::getenv("MAPFIT_SHIM_LOG");
  if (path == nullptr) return;
  const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  char line[32];
  const int n = std::snprintf(line, sizeof line, "%zu\n", count);
  real_write()(fd, line, static_cast<size_t>(n));
  close(fd);
}

std::atomic<long> report_writes{0};

}  // namespace

extern "C" ssize_t write(int fd, const void* data, size_t count) {
  if (count == 0 || !is_report(fd)) return real_write()(fd, data, count);
  const long k = ++report_writes;
  log_count(count);
  if (k != number_from("MAPFIT_SHIM_AT") || count < 2) return real_write()(fd, data, count);
  const ssize_t written = real_write()(fd, data, count / 2);
  raise(static_cast<int>(number_from("MAPFIT_SHIM_SIGNAL")));
  return written;
}
