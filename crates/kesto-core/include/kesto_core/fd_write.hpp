#pragma once
// Unbuffered output to a file descriptor, for texts that must be out before
// anything else happens (fatal messages, trace lines).

#include <string_view>

namespace kesto {

// Writes all of `text` to `fd`, writing again after a partial write or an
// interrupting signal. False when a write fails or makes no progress: the
// rest of the text is then dropped.
bool write_all(int fd, std::string_view text);

}  // namespace kesto
