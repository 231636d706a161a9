#pragma once
// Gives memory that will not be read again back to the system while the
// block that holds it stays allocated.

#include <cstddef>

namespace velkin {

// The whole pages within [begin, end) are handed back: the process no longer
// counts them, and they read as zeros if touched again. Nothing happens where
// the system declines.
void release_pages(const void* begin, const void* end);

}  // namespace velkin
