#include "page_release.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace velkin {

void release_pages(const void* begin, const void* end) {
  static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const std::uintptr_t first = (reinterpret_cast<std::uintptr_t>(begin) + page - 1) / page * page;
  const std::uintptr_t last = reinterpret_cast<std::uintptr_t>(end) / page * page;
  if (last <= first) return;
  madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);  // advice: a refusal changes nothing
}

}  // namespace velkin
