#include "numlib/memory.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace numlib {
namespace {

namespace fs = std::filesystem;
using memory_detail::kNoLimit;

constexpr std::uint64_t MiB = std::uint64_t{1} << 20;

TEST(UsableMemory, MemAvailableTable) {
  const struct {
    const char* text;
    std::uint64_t bytes;
  } cases[] = {
      {"MemTotal:       32000000 kB\nMemFree:  100 kB\nMemAvailable:   23086028 kB\n",
       23086028ull * 1024},
      {"MemAvailable: 1 kB", 1024},
      {"MemTotal:       32000000 kB\nMemFree:         1000 kB\n", 0},  // kernels before 3.14
      {"MemAvailable:   lots kB\n", 0},
      {"", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(memory_detail::meminfo_available(c.text), c.bytes) << c.text;
}

TEST(UsableMemory, AddressSpaceHeadroomTable) {
  EXPECT_EQ(memory_detail::address_space_headroom(RLIM_INFINITY, 5 * MiB), kNoLimit);
  EXPECT_EQ(memory_detail::address_space_headroom(100 * MiB, 30 * MiB), 70 * MiB);
  EXPECT_EQ(memory_detail::address_space_headroom(100 * MiB, 100 * MiB), 0u);
  EXPECT_EQ(memory_detail::address_space_headroom(100 * MiB, 300 * MiB), 0u);
}

// A cgroup file system laid out in a temporary directory: path -> contents.
class CgroupTree : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("mapfit-cgroup-" + std::to_string(getpid()));
    fs::remove_all(root_);
  }
  void TearDown() override { fs::remove_all(root_); }
  void lay_out(const std::map<std::string, std::string>& files) {
    for (const auto& [path, text] : files) {
      fs::create_directories((root_ / path).parent_path());
      std::ofstream(root_ / path) << text;
    }
  }
  fs::path root_;
};

TEST_F(CgroupTree, HeadroomTable) {
  const std::string v2_leaf = "0::/user.slice/job\n";
  const struct {
    const char* name;
    std::map<std::string, std::string> files;
    std::string proc_self_cgroup;
    std::uint64_t headroom;
  } cases[] = {
      {"V2LeafLimit",
       {{"user.slice/job/memory.max", "1073741824\n"},
        {"user.slice/job/memory.current", "268435456\n"}},
       v2_leaf,
       768 * MiB},
      {"V2DroppableCacheCountsAsFree",
       {{"user.slice/job/memory.max", "1073741824\n"},
        {"user.slice/job/memory.current", "805306368\n"},
        {"user.slice/job/memory.stat",
         "anon 268435456\nfile 536870912\ninactive_file 268435456\n"}},
       v2_leaf,
       512 * MiB},
      {"V2ParentLimitIsTighter",
       {{"user.slice/job/memory.max", "max\n"},
        {"user.slice/job/memory.current", "104857600\n"},
        {"user.slice/memory.max", "209715200\n"},
        {"user.slice/memory.current", "157286400\n"}},
       v2_leaf,
       50 * MiB},
      {"V2NoLimitAnywhere",
       {{"user.slice/job/memory.max", "max\n"}, {"user.slice/job/memory.current", "1048576\n"}},
       v2_leaf,
       kNoLimit},
      {"V2UsageAboveLimit",
       {{"user.slice/job/memory.max", "104857600\n"},
        {"user.slice/job/memory.current", "209715200\n"}},
       v2_leaf,
       0},
      {"V2InTheUnifiedMount",
       {{"unified/user.slice/job/memory.max", "1073741824\n"},
        {"unified/user.slice/job/memory.current", "0\n"}},
       v2_leaf,
       1024 * MiB},
      // Inside a container the group is the root of its namespace.
      {"V2ContainerRoot",
       {{"memory.max", "536870912\n"}, {"memory.current", "134217728\n"}},
       "0::/\n",
       384 * MiB},
      {"V1MemoryController",
       {{"memory/process_api/c8/memory.limit_in_bytes", "2147483648\n"},
        {"memory/process_api/c8/memory.usage_in_bytes", "1073741824\n"},
        {"memory/process_api/c8/memory.stat", "cache 1\ntotal_inactive_file 536870912\n"}},
       "9:name=systemd:/\n4:memory:/process_api/c8\n0::/\n",
       1536 * MiB},
      {"V1UnlimitedIsNoLimit",
       {{"memory/memory.limit_in_bytes", "9223372036854771712\n"},
        {"memory/memory.usage_in_bytes", "452141056\n"}},
       "4:cpu,memory:/\n",
       kNoLimit},
      {"UnreadableFilesSetNoLimit",
       {{"user.slice/job/memory.max", "1073741824\n"}},  // no memory.current
       v2_leaf,
       kNoLimit},
      {"OtherControllersOnly", {}, "3:cpuset:/\n2:cpuacct:/\n", kNoLimit},
  };
  for (const auto& c : cases) {
    fs::remove_all(root_);
    fs::create_directories(root_);
    lay_out(c.files);
    EXPECT_EQ(memory_detail::cgroup_headroom(root_, c.proc_self_cgroup), c.headroom) << c.name;
  }
}

// The address space of this process, from the kernel's own account.
std::uint64_t address_space_in_use() {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t pages = 0;
  statm >> pages;
  return pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

TEST(UsableMemory, AnAddressSpaceLimitBoundsTheEstimate) {
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
  const std::uint64_t room = 64 * MiB;
  const std::uint64_t limit = address_space_in_use() + room;
  if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max < limit) GTEST_SKIP() << "hard limit";
  rlimit lowered = saved;
  lowered.rlim_cur = limit;
  ASSERT_EQ(setrlimit(RLIMIT_AS, &lowered), 0);
  const std::uint64_t usable = usable_memory_bytes();
  setrlimit(RLIMIT_AS, &saved);
  // The few pages that reading the sources maps take a little of the room.
  EXPECT_LE(usable, room);
  EXPECT_GT(usable, room - 4 * MiB);
}

TEST(UsableMemory, WithoutLimitsItIsAtMostWhatTheSystemHasAvailable) {
  std::ifstream in("/proc/meminfo");
  std::stringstream text;
  text << in.rdbuf();
  const std::uint64_t available = memory_detail::meminfo_available(text.str());
  if (available == 0) GTEST_SKIP() << "no MemAvailable";
  const std::uint64_t usable = usable_memory_bytes();
  EXPECT_GT(usable, 0u);
  // Available memory moves meanwhile: allow a tenth.
  EXPECT_LE(usable, available + available / 10);
}

}  // namespace
}  // namespace numlib
