// A Gurobi library for the vendor check: exports the Gurobi functions the module resolves
// and forwards each to a real Gurobi library loaded in the same process, through the same
// call trace and fault injection as the stand-in (GRB_STANDIN_TRACE, GRB_STANDIN_FAIL), so
// that the tests reading the trace or injecting faults run on Gurobi as they are.
//
// Gurobi's trial licence only lets gurobipy start an environment, so GRBloadenv hands out
// an environment handle of this library's own, with an id as the stand-in gives, that stands
// for the one the caller of velkin_forwarder_attach started; GRBfreeenv frees only that
// handle. GRBnewmodel still copies the environment into each model, as Gurobi always does,
// so parameters set on a model stay with that model.
//
// The exported functions are exactly those of the backend's function table: every one of
// its names is defined here (the link fails otherwise), and every definition forwards to
// the table's entry of its own name (the compiler fails otherwise).
#include <dlfcn.h>

#include <memory>
#include <mutex>
#include <type_traits>
#include <unordered_map>

#pragma GCC visibility push(default)
#include "kesto_solver_gurobi/gurobi_c.h"
extern "C" int velkin_forwarder_attach(const char* library, GRBenv* env);
#pragma GCC visibility pop

#include "call.hpp"
#include "handles.hpp"
#include "kesto_solver_gurobi/dynamic/api.hpp"
#include "record.hpp"

namespace {

using namespace standin;

constexpr const char* kLoadingKind = "loading";
constexpr const char* kModelKind = "model";

// The real library's functions, filled once by velkin_forwarder_attach.
struct RealFunctions {
#define VELKIN_DECLARE_REAL(name) decltype(&::name) name = nullptr;
  KESTO_GUROBI_FUNCTIONS(VELKIN_DECLARE_REAL)
#undef VELKIN_DECLARE_REAL
};

RealFunctions real;
GRBenv* shared_env = nullptr;

// Every function of the table, so that a name without a definition here fails the link.
#define VELKIN_ADDRESS(name) reinterpret_cast<void*>(&::name),
[[gnu::used]] void* const kExported[] = {KESTO_GUROBI_FUNCTIONS(VELKIN_ADDRESS)};
#undef VELKIN_ADDRESS

// A handle from GRBloadenv: stands for the shared environment, with an identity of its own.
struct LoadedEnv {
  int id = next_handle_id(HandleKind::Env);
  LiveToken live{HandleKind::Env};
};

struct EnvEntry {
  int id;
  bool loading;
};

struct ModelEntry {
  int id;
  GRBenv* env;  // the model's own environment, named with the model
  std::unique_ptr<LiveToken> live;
};

// The handles handed out, by address: their ids for the trace, and which environments stand
// for the shared one.
class Handles {
 public:
  GRBenv* load() {
    auto* env = new LoadedEnv;
    const std::lock_guard lock(mutex_);
    envs_[handle(env)] = {env->id, true};
    return handle(env);
  }

  // Frees a handle from load(); false for any other environment.
  bool free_loaded(GRBenv* env) {
    const std::lock_guard lock(mutex_);
    auto found = envs_.find(env);
    if (found == envs_.end() || !found->second.loading) return false;
    envs_.erase(found);
    delete reinterpret_cast<LoadedEnv*>(env);
    return true;
  }

  void add_model(GRBmodel* model, GRBenv* env) {
    const std::lock_guard lock(mutex_);
    models_[model] = {next_handle_id(HandleKind::Model), env, std::make_unique<LiveToken>(HandleKind::Model)};
    if (env != nullptr) envs_[env] = {next_handle_id(HandleKind::Env), false};
  }

  void remove_model(GRBmodel* model) {
    const std::lock_guard lock(mutex_);
    auto found = models_.find(model);
    if (found == models_.end()) return;
    envs_.erase(found->second.env);
    models_.erase(found);
  }

  // The environment to hand Gurobi for `env`.
  GRBenv* real_env(GRBenv* env) {
    const std::lock_guard lock(mutex_);
    auto found = envs_.find(env);
    return found != envs_.end() && found->second.loading ? shared_env : env;
  }

  EnvEntry env(GRBenv* env) {
    const std::lock_guard lock(mutex_);
    auto found = envs_.find(env);
    return found != envs_.end() ? found->second : EnvEntry{0, false};
  }

  int model(GRBmodel* model) {
    const std::lock_guard lock(mutex_);
    auto found = models_.find(model);
    return found != models_.end() ? found->second.id : 0;
  }

 private:
  static GRBenv* handle(LoadedEnv* env) { return reinterpret_cast<GRBenv*>(env); }

  std::mutex mutex_;
  std::unordered_map<GRBenv*, EnvEntry> envs_;
  std::unordered_map<GRBmodel*, ModelEntry> models_;
};

Handles& handles() {
  static Handles* const all = new Handles;  // never freed: models may outlive static destructors
  return *all;
}

bool attached() { return shared_env != nullptr; }

// Forwards a call to the real library; before attaching there is no environment or model to
// hand it, so the call answers as for a null argument.
template <class Function, class... Args>
int forward(Function function, Args... args) {
  return attached() ? function(args...) : GRB_ERROR_NULL_ARGUMENT;
}

// A change that fails drops the model's pending variables and rows on the stand-in, injected
// faults included; a refused addition does the same on Gurobi, so an injected fault makes
// Gurobi refuse one (a variable of no type) to leave the model as the stand-in would.
template <class Call, class Work>
int changing(Call& call, GRBmodel* model, Work&& work) {
  bool forwarded = false;
  const int rc = call.run([&] {
    forwarded = true;
    return work();
  });
  if (!forwarded && model != nullptr && attached()) {
    real.GRBaddvar(model, 0, nullptr, nullptr, 0.0, 0.0, 0.0, '\0', nullptr);
  }
  return rc;
}

// The value a getter hands back, as the trace records it.
int shown(const int* valueP) { return *valueP; }
double shown(const double* valueP) { return *valueP; }
const char* shown(char* const* valueP) { return *valueP; }
const char* shown(const char* buffer) { return buffer; }

// A getter of `handle` (a model, or an environment, which is handed on as Gurobi's own).
template <class Handle, class Function, class Pointer>
int get(const char* fn, Function function, Handle handle, const char* name, Pointer valueP) {
  return entry(fn, read_switches(), [&](auto& call) {
    if constexpr (std::is_same_v<Handle, GRBenv*>) {
      record::parameter(call, handle, name);
    } else {
      record::attribute(call, handle, name);
    }
    const int rc = call.run([&] {
      if constexpr (std::is_same_v<Handle, GRBenv*>) {
        return forward(function, handles().real_env(handle), name, valueP);
      } else {
        return forward(function, handle, name, valueP);
      }
    });
    if (rc == 0) record::value(call, shown(valueP));
    return rc;
  });
}

template <class Function, class Value>
int set_attribute(const char* fn, Function function, GRBmodel* model, const char* attrname, Value value) {
  return entry(fn, read_switches(), [&](auto& call) {
    record::attribute(call, model, attrname);
    record::value(call, value);
    return changing(call, model, [&] { return forward(function, model, attrname, value); });
  });
}

template <class Function, class Value>
int set_parameter(const char* fn, Function function, GRBenv* env, const char* paramname, Value value) {
  return entry(fn, read_switches(), [&](auto& call) {
    record::parameter(call, env, paramname);
    record::value(call, value);
    return call.run([&] { return forward(function, handles().real_env(env), paramname, value); });
  });
}

// A model-wide change with no more arguments than the model.
template <class Function>
int model_call(const char* fn, Function function, GRBmodel* model) {
  return entry(fn, read_switches(), [&](auto& call) {
    call.model(model);
    return call.run([&] { return forward(function, model); });
  });
}

}  // namespace

namespace standin {
int traced_env_id(GRBenv* env) { return handles().env(env).id; }
const char* traced_env_kind(GRBenv* env) { return handles().env(env).loading ? kLoadingKind : kModelKind; }
int traced_model_id(GRBmodel* model) { return handles().model(model); }
}  // namespace standin

extern "C" {

// Opens the Gurobi library at `library` (gurobipy's, already loaded, so the same object),
// resolves every function and keeps `env` as the environment to stand for. Returns 0, 1 when
// the library cannot be opened, 2 when a function is missing, 3 when env is null. Nothing
// changes unless it succeeds.
int velkin_forwarder_attach(const char* library, GRBenv* env) {
  if (env == nullptr) return 3;
  void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return 1;
  RealFunctions found;
  bool complete = true;
#define VELKIN_RESOLVE(name)                                                       \
  if (void* symbol = dlsym(handle, #name); symbol != nullptr) {                    \
    found.name = reinterpret_cast<decltype(found.name)>(symbol);                   \
  } else {                                                                         \
    complete = false;                                                              \
  }
  KESTO_GUROBI_FUNCTIONS(VELKIN_RESOLVE)
#undef VELKIN_RESOLVE
  if (!complete) {
    dlclose(handle);
    return 2;
  }
  real = found;
  shared_env = env;
  return 0;
}

// The library's version, 0.0.0 before attaching.
void GRBversion(int* majorP, int* minorP, int* technicalP) {
  if (attached()) {
    real.GRBversion(majorP, minorP, technicalP);
  } else {
    *majorP = *minorP = *technicalP = 0;
  }
  try {
    if (const char* path = read_switches().trace_path) TraceLine("GRBversion", path).write();
  } catch (...) {
  }
}

// A handle standing for the shared environment; without one, no licence (10009), as Gurobi
// answers a GRBloadenv of its own here.
int GRBloadenv(GRBenv** envP, const char* logfilename) {
  return entry("GRBloadenv", read_switches(), [&](auto& call) {
    record::loadenv(call, logfilename);
    if (envP != nullptr) *envP = nullptr;
    int rc = call.run([&] {
      if (envP == nullptr) return GRB_ERROR_NULL_ARGUMENT;
      if (!attached()) return GRB_ERROR_NO_LICENSE;
      *envP = handles().load();
      call.env(*envP);
      return 0;
    });
    call.trace.live_counts();
    return rc;
  });
}

// The shared environment is started already.
int GRBstartenv(GRBenv* env) {
  return entry("GRBstartenv", read_switches(), [&](auto& call) {
    call.env(env);
    return call.run([&] {
      GRBenv* target = handles().real_env(env);
      return target == shared_env && env != nullptr ? 0 : forward(real.GRBstartenv, target);
    });
  });
}

void GRBfreeenv(GRBenv* env) {
  try {
    with_call("GRBfreeenv", read_switches(), [&](auto& call) {
      call.env(env);
      if (!handles().free_loaded(env) && env != nullptr && attached()) real.GRBfreeenv(env);
      call.trace.live_counts().write();
    });
  } catch (...) {
  }
}

GRBenv* GRBgetenv(GRBmodel* model) {
  try {
    return with_call("GRBgetenv", read_switches(), [&](auto& call) {
      call.model(model);
      GRBenv* env = nullptr;
      if (!call.null_injected() && model != nullptr && attached()) env = real.GRBgetenv(model);
      call.env(env).trace.write();
      return env;
    });
  } catch (...) {
    return nullptr;
  }
}

int GRBnewmodel(GRBenv* env, GRBmodel** modelP, const char* Pname, int numvars, double* obj, double* lb, double* ub,
                char* vtype, char** varnames) {
  return entry("GRBnewmodel", read_switches(), [&](auto& call) {
    record::newmodel(call, env, Pname, numvars, obj, lb, ub, vtype, varnames);
    if (modelP != nullptr) *modelP = nullptr;
    int rc = call.run([&] {
      const int code =
          forward(real.GRBnewmodel, handles().real_env(env), modelP, Pname, numvars, obj, lb, ub, vtype, varnames);
      if (code == 0 && modelP != nullptr && *modelP != nullptr) {
        handles().add_model(*modelP, real.GRBgetenv(*modelP));
        call.model(*modelP);
      }
      return code;
    });
    call.trace.live_counts();
    return rc;
  });
}

int GRBfreemodel(GRBmodel* model) {
  return entry("GRBfreemodel", read_switches(), [&](auto& call) {
    call.model(model);
    int rc = call.run([&] {
      handles().remove_model(model);
      return model == nullptr ? 0 : forward(real.GRBfreemodel, model);
    });
    call.trace.live_counts();
    return rc;
  });
}

int GRBaddvar(GRBmodel* model, int numnz, int* vind, double* vval, double obj, double lb, double ub, char vtype,
              const char* varname) {
  return entry("GRBaddvar", read_switches(), [&](auto& call) {
    record::addvar(call, model, numnz, vind, vval, obj, lb, ub, vtype, varname);
    return changing(call, model,
                    [&] { return forward(real.GRBaddvar, model, numnz, vind, vval, obj, lb, ub, vtype, varname); });
  });
}

int GRBaddvars(GRBmodel* model, int numvars, int numnz, int* vbeg, int* vind, double* vval, double* obj, double* lb,
               double* ub, char* vtype, char** varnames) {
  return entry("GRBaddvars", read_switches(), [&](auto& call) {
    record::addvars(call, model, numvars, numnz, vbeg, vind, vval, obj, lb, ub, vtype, varnames);
    return changing(call, model, [&] {
      return forward(real.GRBaddvars, model, numvars, numnz, vbeg, vind, vval, obj, lb, ub, vtype, varnames);
    });
  });
}

int GRBaddconstr(GRBmodel* model, int numnz, int* cind, double* cval, char sense, double rhs, const char* constrname) {
  return entry("GRBaddconstr", read_switches(), [&](auto& call) {
    record::addconstr(call, model, numnz, cind, cval, sense, rhs, constrname);
    return changing(call, model,
                    [&] { return forward(real.GRBaddconstr, model, numnz, cind, cval, sense, rhs, constrname); });
  });
}

int GRBaddconstrs(GRBmodel* model, int numconstrs, int numnz, int* cbeg, int* cind, double* cval, char* sense,
                  double* rhs, char** constrnames) {
  return entry("GRBaddconstrs", read_switches(), [&](auto& call) {
    record::addconstrs(call, model, numconstrs, numnz, cbeg, cind, cval, sense, rhs, constrnames);
    return changing(call, model, [&] {
      return forward(real.GRBaddconstrs, model, numconstrs, numnz, cbeg, cind, cval, sense, rhs, constrnames);
    });
  });
}

int GRBgetintattr(GRBmodel* model, const char* attrname, int* valueP) {
  return get("GRBgetintattr", real.GRBgetintattr, model, attrname, valueP);
}

int GRBsetintattr(GRBmodel* model, const char* attrname, int newvalue) {
  return set_attribute("GRBsetintattr", real.GRBsetintattr, model, attrname, newvalue);
}

int GRBgetdblattr(GRBmodel* model, const char* attrname, double* valueP) {
  return get("GRBgetdblattr", real.GRBgetdblattr, model, attrname, valueP);
}

int GRBsetdblattr(GRBmodel* model, const char* attrname, double newvalue) {
  return set_attribute("GRBsetdblattr", real.GRBsetdblattr, model, attrname, newvalue);
}

int GRBgetdblattrarray(GRBmodel* model, const char* attrname, int start, int len, double* values) {
  return entry("GRBgetdblattrarray", read_switches(), [&](auto& call) {
    record::attribute_range(call, model, attrname, start, len);
    const int rc = call.run([&] { return forward(real.GRBgetdblattrarray, model, attrname, start, len, values); });
    if (rc == 0) record::values(call, values, len);
    return rc;
  });
}

int GRBgetstrattr(GRBmodel* model, const char* attrname, char** valueP) {
  return get("GRBgetstrattr", real.GRBgetstrattr, model, attrname, valueP);
}

int GRBsetstrattr(GRBmodel* model, const char* attrname, const char* newvalue) {
  return set_attribute("GRBsetstrattr", real.GRBsetstrattr, model, attrname, newvalue);
}

// Records the status the solve ended with, as the stand-in does.
int GRBoptimize(GRBmodel* model) {
  return entry("GRBoptimize", read_switches(), [&](auto& call) {
    call.model(model);
    return call.run([&] {
      const int rc = forward(real.GRBoptimize, model);
      int status = 0;
      if (rc == 0 && real.GRBgetintattr(model, GRB_INT_ATTR_STATUS, &status) == 0) record::status(call, status);
      return rc;
    });
  });
}

int GRBgetdblparam(GRBenv* env, const char* paramname, double* valueP) {
  return get("GRBgetdblparam", real.GRBgetdblparam, env, paramname, valueP);
}

int GRBgetintparam(GRBenv* env, const char* paramname, int* valueP) {
  return get("GRBgetintparam", real.GRBgetintparam, env, paramname, valueP);
}

int GRBgetstrparam(GRBenv* env, const char* paramname, char* valueP) {
  return get("GRBgetstrparam", real.GRBgetstrparam, env, paramname, valueP);
}

int GRBsetdblparam(GRBenv* env, const char* paramname, double value) {
  return set_parameter("GRBsetdblparam", real.GRBsetdblparam, env, paramname, value);
}

int GRBsetintparam(GRBenv* env, const char* paramname, int value) {
  return set_parameter("GRBsetintparam", real.GRBsetintparam, env, paramname, value);
}

int GRBsetstrparam(GRBenv* env, const char* paramname, const char* value) {
  return set_parameter("GRBsetstrparam", real.GRBsetstrparam, env, paramname, value);
}

int GRBsetparam(GRBenv* env, const char* paramname, const char* value) {
  return set_parameter("GRBsetparam", real.GRBsetparam, env, paramname, value);
}

int GRBupdatemodel(GRBmodel* model) { return model_call("GRBupdatemodel", real.GRBupdatemodel, model); }

int GRBgetdblattrelement(GRBmodel* model, const char* attrname, int element, double* valueP) {
  return entry("GRBgetdblattrelement", read_switches(), [&](auto& call) {
    record::attribute_element(call, model, attrname, element);
    const int rc = call.run([&] { return forward(real.GRBgetdblattrelement, model, attrname, element, valueP); });
    if (rc == 0) record::value(call, *valueP);
    return rc;
  });
}

int GRBsetdblattrelement(GRBmodel* model, const char* attrname, int element, double newvalue) {
  return entry("GRBsetdblattrelement", read_switches(), [&](auto& call) {
    record::attribute_element(call, model, attrname, element);
    record::value(call, newvalue);
    return changing(call, model,
                    [&] { return forward(real.GRBsetdblattrelement, model, attrname, element, newvalue); });
  });
}

int GRBsetdblattrarray(GRBmodel* model, const char* attrname, int start, int len, double* newvalues) {
  return entry("GRBsetdblattrarray", read_switches(), [&](auto& call) {
    record::attribute_range(call, model, attrname, start, len);
    record::values(call, newvalues, len);
    return changing(call, model,
                    [&] { return forward(real.GRBsetdblattrarray, model, attrname, start, len, newvalues); });
  });
}

}  // extern "C"
