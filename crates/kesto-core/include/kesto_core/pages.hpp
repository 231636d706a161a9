#pragma once
// Advice to the system on the pages of large blocks: huge pages for a block
// about to be written, and memory that will not be read again given back
// while the block that holds it stays allocated.

#include <cstddef>

namespace velkin {

// The whole pages within [begin, end) are handed back: the process no longer
// counts them, and they read as zeros if touched again. Nothing happens where
// the system declines.
void release_pages(const void* begin, const void* end);

// Blocks from this size on are worth huge pages (2 MiB on x86-64 and
// arm64): most of such a block lies on whole ones.
inline constexpr std::size_t kHugeBlockBytes = std::size_t{4} << 20;

// Asks the system to back [begin, end) with huge pages where whole ones fit.
// Nothing happens where it declines.
void prefer_huge_pages(const void* begin, const void* end);

}  // namespace velkin
