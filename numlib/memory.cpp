#include "numlib/memory.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <optional>
#include <sstream>
#include <string>

namespace numlib {
namespace memory_detail {
namespace {

// The whole of a small file of /proc or /sys (a few system calls: the estimate is cheap).
std::optional<std::string> read_small_file(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      if (n < 0) return std::nullopt;
      return text;
    }
    text.append(buffer, static_cast<std::size_t>(n));
  }
}

// Limits at or above this are the kernel's "no limit" (v1 writes 2^63 less a page).
constexpr std::uint64_t kUnlimited = std::uint64_t{1} << 62;

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\n");
  return text.substr(first, last - first + 1);
}

// The decimal number that `text` holds, blanks around it allowed.
std::optional<std::uint64_t> number(std::string_view text) {
  text = trimmed(text);
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || text.empty()) {
    return std::nullopt;
  }
  return value;
}

// The number after `key` at the start of a line of a "key value" text (meminfo, memory.stat),
// up to the next blank or line end.
std::optional<std::uint64_t> keyed_number(std::string_view text, std::string_view key) {
  for (std::size_t at = 0; at < text.size();) {
    const auto end = std::min(text.find('\n', at), text.size());
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (!line.starts_with(key)) continue;
    line.remove_prefix(key.size());
    line = trimmed(line);
    return number(line.substr(0, line.find(' ')));
  }
  return std::nullopt;
}

std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) {
  return a > kNoLimit - b ? kNoLimit : a + b;
}

// Room in one group: its limit less its usage, with the page cache it could drop at once.
std::uint64_t group_headroom(std::uint64_t limit, std::uint64_t usage, std::uint64_t droppable) {
  const std::uint64_t free = limit > usage ? limit - usage : 0;
  return std::min(limit, saturating_add(free, std::min(droppable, usage)));
}

// The group at `dir` of a v2 hierarchy; kNoLimit when it has no limit.
std::uint64_t v2_headroom(const std::filesystem::path& dir) {
  const auto max = read_small_file(dir / "memory.max");
  if (!max) return kNoLimit;
  const auto limit = number(*max);  // "max" is no limit
  if (!limit || *limit >= kUnlimited) return kNoLimit;
  const auto current = read_small_file(dir / "memory.current");
  if (!limit || !current || !number(*current)) return kNoLimit;
  const auto stat = read_small_file(dir / "memory.stat");
  const auto inactive = stat ? keyed_number(*stat, "inactive_file ") : std::nullopt;
  return group_headroom(*limit, *number(*current), inactive.value_or(0));
}

// The group at `dir` of the v1 memory controller.
std::uint64_t v1_headroom(const std::filesystem::path& dir) {
  const auto limit_text = read_small_file(dir / "memory.limit_in_bytes");
  if (!limit_text) return kNoLimit;
  const auto limit = number(*limit_text);
  if (!limit || *limit >= kUnlimited) return kNoLimit;
  const auto usage_text = read_small_file(dir / "memory.usage_in_bytes");
  const auto usage = usage_text ? number(*usage_text) : std::nullopt;
  if (!usage) return kNoLimit;
  const auto stat = read_small_file(dir / "memory.stat");
  std::optional<std::uint64_t> inactive;
  if (stat) {
    inactive = keyed_number(*stat, "total_inactive_file ");
    if (!inactive) inactive = keyed_number(*stat, "inactive_file ");
  }
  return group_headroom(*limit, *usage, inactive.value_or(0));
}

// The smallest room of the group `path` and the groups above it, under `base`.
template <class Headroom>
std::uint64_t smallest_up_the_tree(const std::filesystem::path& base, std::string_view path,
                                   Headroom headroom) {
  std::uint64_t least = kNoLimit;
  std::string group(trimmed(path));
  for (;;) {
    while (group.size() > 1 && group.back() == '/') group.pop_back();
    const std::string relative = group.empty() ? std::string() : group.substr(1);
    least = std::min(least, headroom(relative.empty() ? base : base / relative));
    if (group.size() <= 1) break;
    const auto slash = group.rfind('/');
    group.resize(slash == 0 || slash == std::string::npos ? 1 : slash);
  }
  return least;
}

bool lists_memory_controller(std::string_view controllers) {
  for (std::size_t at = 0; at <= controllers.size();) {
    const auto end = std::min(controllers.find(',', at), controllers.size());
    if (controllers.substr(at, end - at) == "memory") return true;
    at = end + 1;
  }
  return false;
}

}  // namespace

std::uint64_t meminfo_available(std::string_view meminfo) {
  const auto kib = keyed_number(meminfo, "MemAvailable:");
  return kib ? *kib * 1024 : 0;
}

std::uint64_t address_space_headroom(std::uint64_t limit, std::uint64_t in_use) {
  if (limit == RLIM_INFINITY) return kNoLimit;
  return limit > in_use ? limit - in_use : 0;
}

std::uint64_t cgroup_headroom(const std::filesystem::path& root,
                              std::string_view proc_self_cgroup) {
  std::uint64_t least = kNoLimit;
  std::istringstream lines{std::string(proc_self_cgroup)};
  for (std::string line; std::getline(lines, line);) {
    // hierarchy-ID:controller-list:cgroup-path
    const auto first = line.find(':');
    const auto second = first == std::string::npos ? first : line.find(':', first + 1);
    if (second == std::string::npos) continue;
    const std::string_view id = std::string_view(line).substr(0, first);
    const std::string_view controllers =
        std::string_view(line).substr(first + 1, second - first - 1);
    const std::string_view path = std::string_view(line).substr(second + 1);
    if (id == "0" && controllers.empty()) {
      for (const auto& base : {root, root / "unified"}) {
        least = std::min(least, smallest_up_the_tree(base, path, v2_headroom));
      }
    } else if (lists_memory_controller(controllers)) {
      least = std::min(least, smallest_up_the_tree(root / "memory", path, v1_headroom));
    }
  }
  return least;
}

}  // namespace memory_detail

std::uint64_t usable_memory_bytes() {
  using namespace memory_detail;
  std::uint64_t usable = kNoLimit;

  const auto meminfo = read_small_file("/proc/meminfo");
  std::uint64_t available = meminfo ? meminfo_available(*meminfo) : 0;
  if (available == 0) {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGESIZE);
    if (pages > 0 && page_size > 0) {
      available = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size);
    }
  }
  if (available != 0) usable = available;

  rlimit limit{};
  const long page_size = sysconf(_SC_PAGESIZE);
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && page_size > 0) {
    // The first field of statm is the size of the address space in pages.
    const auto statm = read_small_file("/proc/self/statm");
    const auto pages =
        statm ? number(std::string_view(*statm).substr(0, statm->find(' '))) : std::nullopt;
    if (pages) {
      const std::uint64_t in_use = *pages * static_cast<std::uint64_t>(page_size);
      usable = std::min(usable, address_space_headroom(limit.rlim_cur, in_use));
    }
  }

  if (const auto cgroup = read_small_file("/proc/self/cgroup")) {
    usable = std::min(usable, cgroup_headroom("/sys/fs/cgroup", *cgroup));
  }
  return usable;
}

}  // namespace numlib
