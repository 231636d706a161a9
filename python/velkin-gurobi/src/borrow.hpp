#pragma once
// Per-object borrow state: one exclusive user or any number of shared users.

#include <Python.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <utility>

namespace velkin {

class BorrowState {
 public:
  bool try_exclusive() {
    std::intptr_t expected = kFree;
    return word_.compare_exchange_strong(expected, kExclusive, std::memory_order_acquire);
  }
  void release_exclusive() { word_.store(kFree, std::memory_order_release); }

  bool try_shared() {
    std::intptr_t current = word_.load(std::memory_order_relaxed);
    while (current != kExclusive) {
      if (word_.compare_exchange_weak(current, current + 1, std::memory_order_acquire)) return true;
    }
    return false;
  }
  void release_shared() { word_.fetch_sub(1, std::memory_order_release); }
  // Whether a shared user may run now. For a call that holds the GIL
  // throughout and runs no Python code this stands in for taking and
  // releasing: users start only with the GIL held, so none can start before
  // it returns.
  bool shared_free() const { return word_.load(std::memory_order_acquire) != kExclusive; }

 private:
  static constexpr std::intptr_t kFree = 0;
  static constexpr std::intptr_t kExclusive = -1;
  std::atomic<std::intptr_t> word_{kFree};
};

inline constexpr const char* kAlreadyBorrowed = "Already borrowed";
inline constexpr const char* kAlreadyMutablyBorrowed = "Already mutably borrowed";

enum class Access { Exclusive, Shared };

// Held for the length of a method call; raises RuntimeError when refused.
template <Access kind>
class Borrow {
 public:
  static std::optional<Borrow> take(BorrowState& state) {
    const bool taken = kind == Access::Exclusive ? state.try_exclusive() : state.try_shared();
    if (!taken) {
      PyErr_SetString(PyExc_RuntimeError, kind == Access::Exclusive ? kAlreadyBorrowed : kAlreadyMutablyBorrowed);
      return std::nullopt;
    }
    return Borrow(state);
  }
  Borrow(Borrow&& other) noexcept : state_(std::exchange(other.state_, nullptr)) {}
  Borrow(const Borrow&) = delete;
  Borrow& operator=(const Borrow&) = delete;
  Borrow& operator=(Borrow&&) = delete;
  ~Borrow() {
    if (state_ == nullptr) return;
    if constexpr (kind == Access::Exclusive) {
      state_->release_exclusive();
    } else {
      state_->release_shared();
    }
  }

 private:
  explicit Borrow(BorrowState& state) : state_(&state) {}
  BorrowState* state_;
};

}  // namespace velkin
