#include "switches.hpp"

#include <unistd.h>

#include <cstring>
#include <string_view>

namespace standin {
namespace {
constexpr std::string_view kPrefix = "GRB_STANDIN_";
constexpr std::string_view kTraceName = "TRACE=";
constexpr std::string_view kFailName = "FAIL=";
}  // namespace

// As getenv, the first entry of a name counts.
Switches read_switches() {
  Switches switches;
  bool trace_seen = false;
  bool fail_seen = false;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    // Compared in place, first character first: measuring every entry's length, or calling
    // strncmp for each, would cost more than the search.
    if ((*entry)[0] != kPrefix[0] || std::strncmp(*entry, kPrefix.data(), kPrefix.size()) != 0) continue;
    const char* rest = *entry + kPrefix.size();
    if (!trace_seen && std::strncmp(rest, kTraceName.data(), kTraceName.size()) == 0) {
      trace_seen = true;
      const char* path = rest + kTraceName.size();
      switches.trace_path = *path != '\0' ? path : nullptr;
    } else if (!fail_seen && std::strncmp(rest, kFailName.data(), kFailName.size()) == 0) {
      fail_seen = true;
      switches.faults = rest + kFailName.size();
    }
  }
  return switches;
}

}  // namespace standin
