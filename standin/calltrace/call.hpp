// One traced call of a Gurobi function: its trace line and the fault injected into it. The
// stand-in and the vendor check's forwarding library both make their calls through this, so
// that the same test reads the same trace and meets the same faults on either library.
#ifndef STANDIN_CALL_HPP
#define STANDIN_CALL_HPP

#include <string_view>

#include "faults.hpp"
#include "kesto_solver_gurobi/gurobi_c.h"
#include "kesto_solver_gurobi/gurobi_constants.h"
#include "switches.hpp"
#include "trace.hpp"

namespace standin {

// How a library names its handles in the trace; each library that makes calls through this
// defines them for the non-null handles it hands out.
int traced_env_id(GRBenv* env);
const char* traced_env_kind(GRBenv* env);
int traced_model_id(GRBmodel* model);

// One call with tracing or faults switched on.
class Call {
 public:
  Call(std::string_view fn, const Switches& switches)
      : fn_(fn), faults_(switches.faults), trace(fn, switches.trace_path) {}

  Call& env(GRBenv* env) {
    if (env == nullptr) {
      trace.null("env");
    } else {
      trace.integer("env", traced_env_id(env)).text("env_kind", traced_env_kind(env));
    }
    return *this;
  }

  Call& model(GRBmodel* model) {
    if (model == nullptr) {
      trace.null("model");
    } else {
      trace.integer("model", traced_model_id(model));
    }
    return *this;
  }

  // Runs `work` unless a fault is injected for this function.
  template <class Work>
  int run(Work&& work) {
    if (auto fault = injected_fault(faults_, fn_); fault && !fault->null_pointer) {
      trace.boolean("injected", true);
      return fault->code;
    }
    return work();
  }

  // Whether a null pointer is injected as this call's answer; recorded when it is.
  bool null_injected() {
    auto fault = injected_fault(faults_, fn_);
    if (!fault || !fault->null_pointer) return false;
    trace.boolean("injected", true);
    return true;
  }

 private:
  std::string_view fn_;
  const char* faults_;

 public:
  TraceLine trace;
};

// One call with nothing switched on: it records nothing and injects nothing, and all of it
// compiles away.
class QuietCall {
 public:
  QuietCall& env(GRBenv*) { return *this; }
  QuietCall& model(GRBmodel*) { return *this; }
  template <class Work>
  int run(Work&& work) {
    return work();
  }
  bool null_injected() { return false; }

  NoTrace trace;
};

// Runs `body` with the call its switches ask for: one test per call decides whether anything
// is recorded or injected.
template <class Body>
auto with_call(std::string_view fn, const Switches& switches, Body&& body) {
  if (!switches.active()) [[likely]] {
    QuietCall call;
    return body(call);
  }
  Call call(fn, switches);
  return body(call);
}

// Runs an int-returning entry point and writes its line with the code it returns; no
// exception crosses the C boundary.
template <class Body>
int entry(std::string_view fn, const Switches& switches, Body&& body) noexcept {
  try {
    return with_call(fn, switches, [&](auto& call) {
      int rc = GRB_ERROR_OUT_OF_MEMORY;
      try {
        rc = body(call);
      } catch (...) {
        rc = GRB_ERROR_OUT_OF_MEMORY;
      }
      call.trace.integer("rc", rc).write();
      return rc;
    });
  } catch (...) {
    return GRB_ERROR_OUT_OF_MEMORY;
  }
}

}  // namespace standin

#endif
