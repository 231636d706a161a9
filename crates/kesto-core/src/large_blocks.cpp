#include "kesto_core/large_blocks.hpp"

#include <sys/mman.h>
#include <unistd.h>

namespace kesto {
namespace {

// The huge page of x86-64 and arm64 (with 4 KiB pages).
constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

std::size_t rounded_up(std::size_t bytes, std::size_t unit) { return (bytes + unit - 1) / unit * unit; }

}  // namespace

std::size_t mapped_length(std::size_t bytes) noexcept {
  static const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return rounded_up(bytes, bytes >= kLargeBlockBytes ? kHugePageBytes : page);
}

void* map_block(std::size_t bytes) noexcept {
  const std::size_t length = mapped_length(bytes);
  // A size so near the address space's end that rounding it wraps is never mapped.
  if (length < bytes) return nullptr;
  void* data = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (data == MAP_FAILED) return nullptr;
  prefer_huge_pages(data, static_cast<char*>(data) + length);
  return data;
}

void unmap_block(void* data, std::size_t bytes) noexcept { ::munmap(data, mapped_length(bytes)); }

}  // namespace kesto
