#pragma once
// How much memory the process can still get, and whether a batch fits in it.

#include <cstdint>
#include <optional>

namespace velkin {

// The least of the headroom left under each cgroup memory limit above the
// process (cgroup v2, else v1; reclaimable page cache counts as free), under
// RLIMIT_AS, and of the system's available memory; absent when none of them
// can be read.
std::optional<std::uint64_t> available_memory();

// Whether a batch that takes `bytes` while it is added fits in the memory
// the process can still get. Small batches pass without reading the limits:
// that costs about a hundred times as much as adding them.
bool fits_in_memory(std::uint64_t bytes);

}  // namespace velkin
