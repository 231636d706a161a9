// The test switches GRB_STANDIN_TRACE and GRB_STANDIN_FAIL. Tests turn them on and off between
// calls, so every call reads them, both in one pass over the process's environment.
#ifndef STANDIN_SWITCHES_HPP
#define STANDIN_SWITCHES_HPP

namespace standin {

struct Switches {
  const char* trace_path = nullptr;  // null when tracing is off
  const char* faults = nullptr;      // the text of GRB_STANDIN_FAIL, null when unset
};

Switches read_switches();

}  // namespace standin

#endif
