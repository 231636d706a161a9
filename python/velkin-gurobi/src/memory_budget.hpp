#pragma once
// How much memory the process can still get.

#include <cstdint>
#include <optional>

namespace velkin {

// The least of the headroom left under each cgroup memory limit above the
// process (cgroup v2, else v1) and the system's available memory; absent when
// none of them can be read.
std::optional<std::uint64_t> available_memory();

}  // namespace velkin
