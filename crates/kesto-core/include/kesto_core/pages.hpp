#pragma once
// Advice to the system on the pages of large blocks: huge pages for a block
// about to be written, and memory that will not be read again given back
// while the block that holds it stays allocated.

#include <cstddef>

namespace kesto {

// Blocks from this size on are large: most of one lies on whole huge pages
// (2 MiB on x86-64 and arm64).
inline constexpr std::size_t kLargeBlockBytes = std::size_t{4} << 20;

// The whole pages within [begin, end) are handed back: the process no longer
// counts them, and they read as zeros if touched again. Nothing happens where
// the system declines.
void release_pages(const void* begin, const void* end);

// Asks the system to back a block of megabytes, [begin, end), with huge
// pages where whole ones fit: written once, in order, it then faults once
// every 2 MiB rather than every 4 KiB. Blocks smaller than kLargeBlockBytes
// are left as they are.
// The advice covers the whole pages within the range, so that a mapping
// advised from end to end stays one mapping (as mremap needs). Nothing
// happens where the system declines.
void prefer_huge_pages(const void* begin, const void* end);

}  // namespace kesto
