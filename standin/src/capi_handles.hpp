// The conversions between the C API's opaque handles and the stand-in's objects, and the switches a call
// sees, shared by the entry points.
#pragma once

#include "kesto_solver_gurobi/gurobi_c.h"

#include "environment.hpp"
#include "model.hpp"
#include "switches.hpp"

namespace standin {

inline Environment* as_env(GRBenv* env) { return reinterpret_cast<Environment*>(env); }
inline Model* as_model(GRBmodel* model) { return reinterpret_cast<Model*>(model); }
inline GRBenv* to_handle(Environment* env) { return reinterpret_cast<GRBenv*>(env); }
inline GRBmodel* to_handle(Model* model) { return reinterpret_cast<GRBmodel*>(model); }

// The switches a call through `env` or `model` sees; without one, the process's own.
inline Switches switches_of(GRBenv* env) { return env != nullptr ? as_env(env)->switches().current() : read_switches(); }
inline Switches switches_of(GRBmodel* model) {
  return model != nullptr ? as_model(model)->env().switches().current() : read_switches();
}

}  // namespace standin
