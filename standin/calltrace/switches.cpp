#include "switches.hpp"

#include <unistd.h>

#include <cstring>
#include <string_view>

namespace standin {
namespace {
constexpr std::string_view kPrefix = "GRB_STANDIN_";
constexpr std::string_view kTraceName = "TRACE=";
constexpr std::string_view kFailName = "FAIL=";
constexpr std::string_view kLiveName = "LIVE=";
constexpr std::string_view kLiveOn = "1";

bool starts_with(const char* text, std::string_view prefix) {
  return std::strncmp(text, prefix.data(), prefix.size()) == 0;
}

std::optional<std::string> kept(const char* text) {
  if (text == nullptr) return std::nullopt;
  return std::string(text);
}
}  // namespace

// As getenv, the first entry of a name counts.
Switches read_switches() {
  Switches switches;
  bool trace_seen = false;
  bool fail_seen = false;
  bool live_seen = false;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    // Compared in place, first character first: measuring every entry's length, or calling
    // strncmp for each, would cost more than the search.
    if ((*entry)[0] != kPrefix[0] || !starts_with(*entry, kPrefix)) continue;
    const char* rest = *entry + kPrefix.size();
    if (!trace_seen && starts_with(rest, kTraceName)) {
      trace_seen = true;
      const char* path = rest + kTraceName.size();
      switches.trace_path = *path != '\0' ? path : nullptr;
    } else if (!fail_seen && starts_with(rest, kFailName)) {
      fail_seen = true;
      switches.faults = rest + kFailName.size();
    } else if (!live_seen && starts_with(rest, kLiveName)) {
      live_seen = true;
      switches.live = std::string_view(rest + kLiveName.size()) == kLiveOn;
    }
  }
  return switches;
}

KeptSwitches::KeptSwitches(const Switches& read) : live_(read.live) {
  if (live_) return;
  trace_path_ = kept(read.trace_path);
  faults_ = kept(read.faults);
}

}  // namespace standin
