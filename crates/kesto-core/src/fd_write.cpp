#include "kesto_core/fd_write.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace kesto {

bool write_all(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace kesto
