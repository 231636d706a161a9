// The address space a process may still take under its RLIMIT_AS limit. HiGHS may crash rather
// than fail when memory runs out, so the stand-in does not hand it a model it cannot hold.
#ifndef STANDIN_MEMORY_HEADROOM_HPP
#define STANDIN_MEMORY_HEADROOM_HPP

#include <cstddef>

namespace standin {

// What a HiGHS instance takes before any model (its worker threads' stacks included), and per
// column, row or coefficient of the model it solves: estimates with room to spare.
inline constexpr std::size_t kHighsBaseMemory = std::size_t{48} << 20;
inline constexpr std::size_t kHighsMemoryPerEntry = 256;

// The bytes left below the limit; the largest size_t without a limit or when the process's size
// cannot be read.
std::size_t address_space_left();

}  // namespace standin

#endif
