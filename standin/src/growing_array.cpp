#include "growing_array.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <new>

#include "kesto_core/pages.hpp"

namespace standin {
namespace {

// A block that grows to this size or beyond becomes mapped pages: remapping them moves no data.
constexpr std::size_t kMappedBytes = std::size_t{256} << 10;

std::size_t page_rounded(std::size_t bytes) {
  static const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return (bytes + page - 1) / page * page;
}

// A large mapped block is written mostly on huge pages. The advice covers the whole mapping, so
// that it stays one mapping, and ends with it; blocks of the heap are not advised, as the advice
// would outlive them there.
Block huge_where_large(Block block) {
  kesto::prefer_huge_pages(block.data, static_cast<char*>(block.data) + block.bytes);
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
    return {data, wanted, false};
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
