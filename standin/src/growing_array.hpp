// Storage for a model's columns and rows, which grow by one call's worth at a time. Growth is
// geometric, and a large array grows by remapping its pages: nothing is copied and no page is
// touched twice, so that many one-row additions cost about what one batch of them does.
// An array's first block, sized by the call that fills it, comes from the heap, which may
// hand back pages already touched, unless it is large: then it is mapped on huge pages.
#ifndef STANDIN_GROWING_ARRAY_HPP
#define STANDIN_GROWING_ARRAY_HPP

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <type_traits>
#include <utility>

namespace standin {

// A block of memory from the heap or of mapped pages, `bytes` long. `grow_block` keeps the
// first `used` bytes and throws std::bad_alloc when no memory is left, leaving the old block
// as it was.
struct Block {
  void* data = nullptr;
  std::size_t bytes = 0;
  bool mapped = false;
};
Block grow_block(Block block, std::size_t used, std::size_t wanted);
void free_block(Block block) noexcept;

template <class T>
class GrowingArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  GrowingArray() = default;
  GrowingArray(std::initializer_list<T> items) { append(items.begin(), items.size()); }
  ~GrowingArray() { free_block(block_); }
  GrowingArray(const GrowingArray&) = delete;
  GrowingArray& operator=(const GrowingArray&) = delete;
  GrowingArray(GrowingArray&& other) noexcept
      : block_(std::exchange(other.block_, {})), size_(std::exchange(other.size_, 0)) {}
  GrowingArray& operator=(GrowingArray&& other) noexcept {
    std::swap(block_, other.block_);
    std::swap(size_, other.size_);
    return *this;
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::size_t capacity() const { return block_.bytes / sizeof(T); }
  T* data() { return static_cast<T*>(block_.data); }
  const T* data() const { return static_cast<const T*>(block_.data); }
  T* begin() { return data(); }
  T* end() { return data() + size_; }
  const T* begin() const { return data(); }
  const T* end() const { return data() + size_; }
  T& operator[](std::size_t i) { return data()[i]; }
  const T& operator[](std::size_t i) const { return data()[i]; }
  const T& back() const { return data()[size_ - 1]; }

  // Room for `extra` more items; a growing capacity at least doubles.
  void reserve_more(std::size_t extra) {
    const std::size_t needed = size_ + extra;
    if (needed <= capacity()) return;
    block_ = grow_block(block_, size_ * sizeof(T), std::max(needed, 2 * capacity()) * sizeof(T));
  }
  void push_back(const T& item) {
    reserve_more(1);
    data()[size_++] = item;
  }
  void append(const T* items, std::size_t count) {
    reserve_more(count);
    if (count > 0) std::memcpy(data() + size_, items, count * sizeof(T));
    size_ += count;
  }
  // Shrinks, or grows with copies of `value`.
  void resize(std::size_t count, const T& value = T{}) {
    if (count > size_) {
      reserve_more(count - size_);
      std::fill(end(), data() + count, value);
    }
    size_ = count;
  }
  void clear() { size_ = 0; }
  // Empties the array and gives its memory back.
  void release() {
    free_block(std::exchange(block_, {}));
    size_ = 0;
  }

 private:
  Block block_;
  std::size_t size_ = 0;
};

}  // namespace standin

#endif
