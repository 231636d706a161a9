#include "switches.hpp"

#include <unistd.h>

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
    const std::string_view text = *entry;
    if (!text.starts_with(kPrefix)) continue;
    const std::string_view rest = text.substr(kPrefix.size());
    if (!trace_seen && rest.starts_with(kTraceName)) {
      trace_seen = true;
      const char* path = rest.data() + kTraceName.size();
      switches.trace_path = *path != '\0' ? path : nullptr;
    } else if (!fail_seen && rest.starts_with(kFailName)) {
      fail_seen = true;
      switches.faults = rest.data() + kFailName.size();
    }
  }
  return switches;
}

}  // namespace standin
