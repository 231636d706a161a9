#include "kesto_core/pages.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

namespace kesto {
namespace {

// Gives `advice` on the whole pages within [begin, end); advice that the
// system declines changes nothing.
void advise_whole_pages(const void* begin, const void* end, int advice) {
  static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const std::uintptr_t first = (reinterpret_cast<std::uintptr_t>(begin) + page - 1) / page * page;
  const std::uintptr_t last = reinterpret_cast<std::uintptr_t>(end) / page * page;
  if (last <= first) return;
  madvise(reinterpret_cast<void*>(first), last - first, advice);
}

}  // namespace

void release_pages(const void* begin, const void* end) { advise_whole_pages(begin, end, MADV_DONTNEED); }

void prefer_huge_pages([[maybe_unused]] const void* begin, [[maybe_unused]] const void* end) {
#ifdef MADV_HUGEPAGE
  if (static_cast<const char*>(end) - static_cast<const char*>(begin) < static_cast<std::ptrdiff_t>(kLargeBlockBytes)) {
    return;
  }
  advise_whole_pages(begin, end, MADV_HUGEPAGE);
#endif
}

}  // namespace kesto
