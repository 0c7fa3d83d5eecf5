#pragma once
// How much memory the program can still use. Work whose size is known beforehand (a fit's
// least-squares matrix, the blocks of a streaming factorisation) is sized or refused with this
// estimate, so that a problem too large for the memory that is really there gets the library's
// storage message instead of an allocation that the system promises and a kill when the
// memory is touched.

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace numlib {

// Bytes the process can still allocate and touch: the smallest of
// - the memory the system has available for new work (MemAvailable of /proc/meminfo; the
//   physical memory when that line is missing),
// - the room left under the address-space limit (RLIMIT_AS less the address space in use),
// - the room left under the memory limit of the process's control group and of every group
//   above it (cgroup v2 memory.max, or v1 memory.limit_in_bytes, less the group's usage; page
//   cache that can be dropped at once counts as free, as it does for MemAvailable).
// A source that cannot be read sets no limit; when none can be read the result is UINT64_MAX.
// Every call reads the sources afresh (a few small files): call it once per decision.
std::uint64_t usable_memory_bytes();

namespace memory_detail {

inline constexpr std::uint64_t kNoLimit = UINT64_MAX;

// MemAvailable of a /proc/meminfo text in bytes; 0 when the line is missing or unreadable.
std::uint64_t meminfo_available(std::string_view meminfo);

// Room left under an address-space limit when `in_use` bytes are mapped: 0 when the limit is
// reached, kNoLimit for RLIM_INFINITY.
std::uint64_t address_space_headroom(std::uint64_t limit, std::uint64_t in_use);

// Room left under the memory limits of the control groups that a /proc/self/cgroup text names,
// with the cgroup file systems mounted under `root` (/sys/fs/cgroup: the v2 hierarchy there or
// in root/unified, the v1 memory controller in root/memory). The group itself and each group
// above it up to the root count; a group without a limit, or whose files cannot be read, sets
// none. kNoLimit when no group has a limit.
std::uint64_t cgroup_headroom(const std::filesystem::path& root, std::string_view proc_self_cgroup);

}  // namespace memory_detail
}  // namespace numlib
