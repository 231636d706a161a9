#include "memory_budget.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <string>
#include <string_view>

namespace velkin {
namespace {

// Usage counts the page cache, which the kernel reclaims before it ends a
// process: its inactive part (in memory.stat) is left out of the usage.
struct CgroupLayout {
  const char* mount;
  const char* limit_file;
  const char* usage_file;
  std::string_view reclaimable_key;
};

constexpr CgroupLayout kCgroupV2{"/sys/fs/cgroup", "memory.max", "memory.current", "inactive_file"};
constexpr CgroupLayout kCgroupV1{"/sys/fs/cgroup/memory", "memory.limit_in_bytes", "memory.usage_in_bytes",
                                 "total_inactive_file"};
constexpr const char* kStatFile = "memory.stat";
constexpr const char* kProcessCgroups = "/proc/self/cgroup";
constexpr const char* kProcessSize = "/proc/self/statm";
constexpr const char* kMemInfo = "/proc/meminfo";
constexpr std::string_view kMemAvailable = "MemAvailable:";
constexpr std::uint64_t kKibibyte = 1024;
constexpr std::uint64_t kCheckedBatchBytes = 64ull << 20;

std::optional<std::uint64_t> parse_number(std::string_view text) {
  const auto begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return std::nullopt;
  text.remove_prefix(begin);
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data()) return std::nullopt;
  return value;
}

std::optional<std::uint64_t> read_number(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  if (!std::getline(file, line)) return std::nullopt;
  return parse_number(line);  // "max" (no limit) gives none
}

// The value of the line "<key> <value>" of a file of such lines.
std::optional<std::uint64_t> read_keyed_number(const std::string& path, std::string_view key) {
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == ' ') {
      return parse_number(std::string_view(line).substr(key.size()));
    }
  }
  return std::nullopt;
}

void keep_least(std::optional<std::uint64_t>& least, std::optional<std::uint64_t> value) {
  if (value) least = least ? std::min(*least, *value) : *value;
}

// Headroom under the limits of the cgroup at `path` and of its ancestors,
// where their files can be read.
std::optional<std::uint64_t> cgroup_headroom(const CgroupLayout& layout, std::string path) {
  std::optional<std::uint64_t> least;
  while (true) {
    const std::string dir = layout.mount + (path == "/" ? std::string() : path) + "/";
    const auto limit = read_number(dir + layout.limit_file);
    auto usage = read_number(dir + layout.usage_file);
    if (limit && usage) {
      const auto reclaimable = read_keyed_number(dir + kStatFile, layout.reclaimable_key);
      if (reclaimable) *usage -= std::min(*usage, *reclaimable);
      keep_least(least, *limit > *usage ? *limit - *usage : 0);
    }
    if (path.empty() || path == "/") return least;
    path.resize(path.rfind('/'));
    if (path.empty()) path = "/";
  }
}

// The process's cgroup path in each hierarchy that holds memory limits.
std::optional<std::uint64_t> cgroups_headroom() {
  std::ifstream file(kProcessCgroups);
  std::optional<std::uint64_t> least;
  std::string line;
  while (std::getline(file, line)) {
    // hierarchy-id:controller-list:path
    const auto first = line.find(':');
    const auto second = line.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const std::string controllers = "," + line.substr(first + 1, second - first - 1) + ",";
    const std::string path = line.substr(second + 1);
    if (line.compare(0, first, "0") == 0 && controllers == ",,") {
      keep_least(least, cgroup_headroom(kCgroupV2, path));
    } else if (controllers.find(",memory,") != std::string::npos) {
      keep_least(least, cgroup_headroom(kCgroupV1, path));
    }
  }
  return least;
}

std::optional<std::uint64_t> system_available() {
  std::ifstream file(kMemInfo);
  std::string line;
  while (std::getline(file, line)) {
    if (line.starts_with(kMemAvailable)) {
      const auto kib = parse_number(std::string_view(line).substr(kMemAvailable.size()));
      if (kib) return *kib * kKibibyte;
    }
  }
  return std::nullopt;
}

// Address space left under RLIMIT_AS: the limit less the process's size.
std::optional<std::uint64_t> address_space_headroom() {
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
  const auto pages = read_number(kProcessSize);  // the first field: the size in pages
  const long page_size = sysconf(_SC_PAGESIZE);
  if (!pages || page_size <= 0) return std::nullopt;
  const std::uint64_t size = *pages * static_cast<std::uint64_t>(page_size);
  return limit.rlim_cur > size ? limit.rlim_cur - size : 0;
}

}  // namespace

std::optional<std::uint64_t> available_memory() {
  std::optional<std::uint64_t> least = cgroups_headroom();
  keep_least(least, system_available());
  keep_least(least, address_space_headroom());
  return least;
}

bool fits_in_memory(std::uint64_t bytes) {
  if (bytes < kCheckedBatchBytes) return true;
  const auto available = available_memory();
  return !available || bytes <= *available;
}

}  // namespace velkin
