#include "growing_array.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace standin {
namespace {

// A block that grows to this size or beyond becomes mapped pages: remapping them moves no data.
constexpr std::size_t kMappedBytes = std::size_t{256} << 10;

std::size_t page_rounded(std::size_t bytes) {
  static const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return (bytes + page - 1) / page * page;
}

// A block this large is written mostly on whole huge pages (2 MiB), which fault once where
// 4 KiB pages fault 512 times; the system may decline. The advice covers the block's whole
// pages, so that a mapped block stays one mapping, which mremap needs.
constexpr std::size_t kHugeBytes = std::size_t{4} << 20;

Block huge_where_large(Block block) {
#ifdef MADV_HUGEPAGE
  if (block.bytes < kHugeBytes) return block;
  static const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto begin = reinterpret_cast<std::uintptr_t>(block.data);
  const std::uintptr_t first = (begin + page - 1) / page * page;
  const std::uintptr_t last = (begin + block.bytes) / page * page;
  ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
  return block;
}

Block mapped(std::size_t bytes) {
  void* data = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (data == MAP_FAILED) throw std::bad_alloc();
  return {data, bytes, true};
}

}  // namespace

Block grow_block(Block block, std::size_t used, std::size_t wanted) {
  if (!block.mapped && (block.data == nullptr || wanted < kMappedBytes)) {
    void* data = std::realloc(block.data, wanted);
    if (data == nullptr) throw std::bad_alloc();
    return huge_where_large({data, wanted, false});
  }
  const std::size_t bytes = page_rounded(wanted);
  if (block.mapped) {
    void* data = ::mremap(block.data, block.bytes, bytes, MREMAP_MAYMOVE);
    if (data == MAP_FAILED) throw std::bad_alloc();
    return huge_where_large({data, bytes, true});
  }
  const Block grown = huge_where_large(mapped(bytes));
  if (used > 0) std::memcpy(grown.data, block.data, used);
  std::free(block.data);
  return grown;
}

void free_block(Block block) noexcept {
  if (block.mapped) {
    ::munmap(block.data, block.bytes);
  } else {
    std::free(block.data);
  }
}

}  // namespace standin
