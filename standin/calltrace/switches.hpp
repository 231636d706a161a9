// The test switches GRB_STANDIN_TRACE and GRB_STANDIN_FAIL. GRBloadenv reads them once and
// its environment keeps them, for itself and for the models made in it, so that the common
// calls never search the process's environment. With GRB_STANDIN_LIVE=1 set at that moment,
// the environment and its models read them again at every call instead, for tests that turn
// them on and off between calls. Calls with no environment or model read them at the call.
#ifndef STANDIN_SWITCHES_HPP
#define STANDIN_SWITCHES_HPP

#include <optional>
#include <string>

namespace standin {

// The switches as one call sees them.
struct Switches {
  const char* trace_path = nullptr;  // null when tracing is off
  const char* faults = nullptr;      // the text of GRB_STANDIN_FAIL, null when unset
  bool live = false;                 // GRB_STANDIN_LIVE=1

  // Whether a call records or injects anything.
  bool active() const { return trace_path != nullptr || faults != nullptr; }
};

// Reads all three in one pass over the process's environment.
Switches read_switches();

// The switches an environment keeps: copies of the texts read, or, when live, nothing but
// the instruction to read them again.
class KeptSwitches {
 public:
  explicit KeptSwitches(const Switches& read);

  // What a call made through the environment sees; inline, as every call asks.
  Switches current() const {
    if (live_) return read_switches();
    return Switches{view(trace_path_), view(faults_), false};
  }

 private:
  static const char* view(const std::optional<std::string>& text) { return text ? text->c_str() : nullptr; }

  bool live_;
  std::optional<std::string> trace_path_;
  std::optional<std::string> faults_;
};

}  // namespace standin

#endif
