#include "memory_headroom.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <limits>

namespace standin {

std::size_t address_space_left() {
  constexpr std::size_t kUnlimited = std::numeric_limits<std::size_t>::max();
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnlimited;
  // The first field of /proc/self/statm: the process's size in pages.
  std::ifstream statm("/proc/self/statm");
  std::size_t pages = 0;
  if (!(statm >> pages)) return kUnlimited;
  const std::size_t used = pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  const auto allowed = static_cast<std::size_t>(limit.rlim_cur);
  return allowed > used ? allowed - used : 0;
}

}  // namespace standin
