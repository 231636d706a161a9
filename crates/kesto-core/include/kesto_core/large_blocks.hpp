#pragma once
// Blocks of megabytes taken from the system as mappings of their own. A
// mapping takes huge pages where the system allows them and gives the advice
// up with the block; the heap would keep a freed block's pages, advice
// included, for whatever it hands out next.

#include <cstddef>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "kesto_core/pages.hpp"

namespace kesto {

// The length of the mapping map_block makes for `bytes`: whole pages, and
// from kLargeBlockBytes on whole huge pages, so that the system places the
// mapping on a huge page's boundary and the block lies on huge pages end to
// end.
std::size_t mapped_length(std::size_t bytes) noexcept;
// A fresh mapping of mapped_length(bytes), on huge pages from
// kLargeBlockBytes on (see prefer_huge_pages); nullptr where the system
// refuses or the rounded length would wrap.
void* map_block(std::size_t bytes) noexcept;
// Unmaps a block that map_block gave for `bytes`.
void unmap_block(void* data, std::size_t bytes) noexcept;

// Maps blocks of kLargeBlockBytes and more, and takes smaller ones from the
// heap.
template <class T>
struct LargeBlockAllocator {
  using value_type = T;

  LargeBlockAllocator() = default;
  template <class U>
  LargeBlockAllocator(const LargeBlockAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_array_new_length();
    if (!is_large(n)) return std::allocator<T>().allocate(n);
    void* data = map_block(n * sizeof(T));
    if (data == nullptr) throw std::bad_alloc();
    return static_cast<T*>(data);
  }
  void deallocate(T* data, std::size_t n) noexcept {
    if (is_large(n)) {
      unmap_block(data, n * sizeof(T));
    } else {
      std::allocator<T>().deallocate(data, n);
    }
  }
  friend bool operator==(const LargeBlockAllocator&, const LargeBlockAllocator&) noexcept { return true; }

 private:
  static bool is_large(std::size_t n) { return n >= kLargeBlockBytes / sizeof(T); }
};

// A vector whose large buffers are mapped blocks.
template <class T>
using LargeVector = std::vector<T, LargeBlockAllocator<T>>;

}  // namespace kesto
