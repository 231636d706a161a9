#include "growing_array.hpp"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

#include "kesto_core/large_blocks.hpp"
#include "kesto_core/pages.hpp"

namespace standin {
namespace {

// A block that grows to this size or beyond becomes mapped pages: remapping them moves no data.
constexpr std::size_t kMappedBytes = std::size_t{256} << 10;

// A large mapped block is written mostly on huge pages, a remapped one as a fresh one. The
// advice covers the whole mapping, so that it stays one mapping, and ends with it; blocks of the
// heap are not advised, as the advice would outlive them there.
Block huge_where_large(Block block) {
  kesto::prefer_huge_pages(block.data, static_cast<char*>(block.data) + block.bytes);
  return block;
}

Block mapped(std::size_t bytes) {
  void* data = kesto::map_block(bytes);
  if (data == nullptr) throw std::bad_alloc();
  return {data, bytes, true};
}

}  // namespace

Block grow_block(Block block, std::size_t used, std::size_t wanted) {
  if (!block.mapped && ((block.data == nullptr && wanted < kesto::kLargeBlockBytes) || wanted < kMappedBytes)) {
    void* data = std::realloc(block.data, wanted);
    if (data == nullptr) throw std::bad_alloc();
    return {data, wanted, false};
  }
  // Every mapped block is as long as map_block makes it, remapped ones too.
  const std::size_t bytes = kesto::mapped_length(wanted);
  if (bytes < wanted) throw std::bad_alloc();
  if (block.mapped) {
    void* data = ::mremap(block.data, block.bytes, bytes, MREMAP_MAYMOVE);
    if (data == MAP_FAILED) throw std::bad_alloc();
    return huge_where_large({data, bytes, true});
  }
  const Block grown = mapped(bytes);
  if (used > 0) std::memcpy(grown.data, block.data, used);
  std::free(block.data);
  return grown;
}

void free_block(Block block) noexcept {
  if (block.mapped) {
    kesto::unmap_block(block.data, block.bytes);
  } else {
    std::free(block.data);
  }
}

}  // namespace standin
