// The Gurobi C API entry points the module looks up. Each validates its arguments, forwards to the C++ core
// and translates the result; every call is traced and may have a fault injected.
#include <memory>
#include <new>
#include <string_view>

// The entry points are the only symbols the library exports.
#pragma GCC visibility push(default)
#include "kesto_solver_gurobi/gurobi_c.h"
#pragma GCC visibility pop

#include "attributes.hpp"
#include "call.hpp"
#include "capi_handles.hpp"
#include "environment.hpp"
#include "errors.hpp"
#include "model.hpp"
#include "record.hpp"

namespace {

using namespace standin;

constexpr int kVersionMajor = 12;
constexpr int kVersionMinor = 0;
constexpr int kVersionTechnical = 3;
constexpr int kNullArgument = static_cast<int>(Error::NullArgument);

// What a solve handed to HiGHS, as the trace names it.
const char* handover_name(Handover handover) {
  switch (handover) {
    case Handover::Model: return "model";
    case Handover::Changes: return "changes";
    default: return "nothing";
  }
}

// A change refused while variables or rows are pending discards them, as Gurobi 13 does:
// argument refusals and injected faults alike, so that tests meet it.
int discarding_on_refusal(GRBmodel* model, int rc) {
  if (rc != kSuccess && model != nullptr) as_model(model)->discard_pending();
  return rc;
}

// Checks the common arguments of the attribute functions and looks the attribute up.
Result<const AttrDescriptor*> attribute(GRBmodel* model, const char* attrname, bool value_present, AttrType type,
                                  AttrScope scope) {
  if (model == nullptr || attrname == nullptr || !value_present) {
    return std::unexpected(Error::NullArgument);
  }
  return find_attribute(attrname, type, scope);
}

// A value as the caller receives it: Gurobi hands strings out as `char*`, not to be changed.
template <class T>
T for_caller(T value) {
  return value;
}
inline char* for_caller(const char* value) { return const_cast<char*>(value); }

// The body the model attribute reads share: `get` reads the attribute's value once the model, the
// name and the value pointer are checked; the value is stored for the caller and recorded.
template <class Value, class Get>
int get_model_attribute(std::string_view fn, GRBmodel* model, const char* attrname, Value* valueP, AttrType type,
                        Get&& get) {
  return entry(fn, switches_of(model), [&](auto& call) {
    record::attribute(call, model, attrname);
    return call.run([&] {
      auto descriptor = attribute(model, attrname, valueP != nullptr, type, AttrScope::Model);
      if (!descriptor) return to_code(descriptor.error());
      auto value = get(*as_model(model), **descriptor);
      if (!value) return to_code(value.error());
      *valueP = for_caller(*value);
      record::value(call, *value);
      return kSuccess;
    });
  });
}

// The body the model attribute writes share, the value recorded before the call may fail; a
// refusal discards the pending additions.
template <class Value, class Set>
int set_model_attribute(std::string_view fn, GRBmodel* model, const char* attrname, bool value_present, Value value,
                        AttrType type, Set&& set) {
  return entry(fn, switches_of(model), [&](auto& call) {
    record::attribute(call, model, attrname);
    record::value(call, value);
    return discarding_on_refusal(model, call.run([&] {
      auto descriptor = attribute(model, attrname, value_present, type, AttrScope::Model);
      if (!descriptor) return to_code(descriptor.error());
      return to_code(set(*as_model(model), **descriptor));
    }));
  });
}

}  // namespace

namespace standin {
int traced_env_id(GRBenv* env) { return as_env(env)->id(); }
const char* traced_env_kind(GRBenv* env) { return as_env(env)->kind_name(); }
int traced_model_id(GRBmodel* model) { return as_model(model)->id(); }
}  // namespace standin

extern "C" {

void GRBversion(int* majorP, int* minorP, int* technicalP) {
  if (majorP != nullptr) *majorP = kVersionMajor;
  if (minorP != nullptr) *minorP = kVersionMinor;
  if (technicalP != nullptr) *technicalP = kVersionTechnical;
  try {
    if (const char* path = read_switches().trace_path) TraceLine("GRBversion", path).write();
  } catch (...) {
  }
}

int GRBloadenv(GRBenv** envP, const char* logfilename) {
  // The new environment keeps the switches this call sees.
  const Switches switches = read_switches();
  return entry("GRBloadenv", switches, [&](auto& call) {
    record::loadenv(call, logfilename);
    if (envP != nullptr) *envP = nullptr;
    int rc = call.run([&] {
      if (envP == nullptr) return kNullArgument;
      auto env = Environment::create_loading(logfilename, switches);
      if (!env) return to_code(env.error());
      *envP = to_handle(env->release());
      call.env(*envP);
      return kSuccess;
    });
    call.trace.live_counts();
    return rc;
  });
}

int GRBstartenv(GRBenv* env) {
  return entry("GRBstartenv", switches_of(env), [&](auto& call) {
    call.env(env);
    return call.run([&] { return env == nullptr ? kNullArgument : kSuccess; });
  });
}

void GRBfreeenv(GRBenv* env) {
  try {
    with_call("GRBfreeenv", switches_of(env), [&](auto& call) {
      call.env(env);
      // A model's own environment is freed with its model, never on its own.
      if (env != nullptr && as_env(env)->kind() == EnvKind::Loading) delete as_env(env);
      call.trace.live_counts().write();
    });
  } catch (...) {
  }
}

GRBenv* GRBgetenv(GRBmodel* model) {
  try {
    return with_call("GRBgetenv", switches_of(model), [&](auto& call) {
      call.model(model);
      GRBenv* env = nullptr;
      if (!call.null_injected() && model != nullptr) env = to_handle(&as_model(model)->env());
      call.env(env).trace.write();
      return env;
    });
  } catch (...) {
    return nullptr;
  }
}

int GRBnewmodel(GRBenv* env, GRBmodel** modelP, const char* Pname, int numvars, double* obj, double* lb, double* ub,
                char* vtype, char** varnames) {
  return entry("GRBnewmodel", switches_of(env), [&](auto& call) {
    record::newmodel(call, env, Pname, numvars, obj, lb, ub, vtype, varnames);
    if (modelP != nullptr) *modelP = nullptr;
    int rc = call.run([&] {
      if (env == nullptr || modelP == nullptr) return kNullArgument;
      auto model = Model::create(*as_env(env), Pname);
      if (!model) return to_code(model.error());
      auto added = (*model)->add_vars(numvars, 0, nullptr, nullptr, nullptr, obj, lb, ub, vtype, varnames);
      if (!added) return to_code(added.error());
      (*model)->update();
      *modelP = to_handle(model->release());
      call.model(*modelP);
      return kSuccess;
    });
    call.trace.live_counts();
    return rc;
  });
}

int GRBfreemodel(GRBmodel* model) {
  return entry("GRBfreemodel", switches_of(model), [&](auto& call) {
    call.model(model);
    int rc = call.run([&] {
      delete as_model(model);
      return kSuccess;
    });
    call.trace.live_counts();
    return rc;
  });
}

int GRBaddvar(GRBmodel* model, int numnz, int* vind, double* vval, double obj, double lb, double ub, char vtype,
              const char* varname) {
  return entry("GRBaddvar", switches_of(model), [&](auto& call) {
    record::addvar(call, model, numnz, vind, vval, obj, lb, ub, vtype, varname);
    return discarding_on_refusal(model, call.run([&] {
      if (model == nullptr) return kNullArgument;
      const int vbeg = 0;
      return to_code(as_model(model)->add_vars(1, numnz, &vbeg, vind, vval, &obj, &lb, &ub, &vtype, &varname));
    }));
  });
}

int GRBaddvars(GRBmodel* model, int numvars, int numnz, int* vbeg, int* vind, double* vval, double* obj, double* lb,
               double* ub, char* vtype, char** varnames) {
  return entry("GRBaddvars", switches_of(model), [&](auto& call) {
    record::addvars(call, model, numvars, numnz, vbeg, vind, vval, obj, lb, ub, vtype, varnames);
    return discarding_on_refusal(model, call.run([&] {
      if (model == nullptr) return kNullArgument;
      return to_code(as_model(model)->add_vars(numvars, numnz, vbeg, vind, vval, obj, lb, ub, vtype, varnames));
    }));
  });
}

int GRBaddconstr(GRBmodel* model, int numnz, int* cind, double* cval, char sense, double rhs, const char* constrname) {
  return entry("GRBaddconstr", switches_of(model), [&](auto& call) {
    record::addconstr(call, model, numnz, cind, cval, sense, rhs, constrname);
    return discarding_on_refusal(model, call.run([&] {
      if (model == nullptr) return kNullArgument;
      const int cbeg = 0;
      return to_code(as_model(model)->add_constrs(1, numnz, &cbeg, cind, cval, &sense, &rhs, &constrname));
    }));
  });
}

int GRBaddconstrs(GRBmodel* model, int numconstrs, int numnz, int* cbeg, int* cind, double* cval, char* sense,
                  double* rhs, char** constrnames) {
  return entry("GRBaddconstrs", switches_of(model), [&](auto& call) {
    record::addconstrs(call, model, numconstrs, numnz, cbeg, cind, cval, sense, rhs, constrnames);
    return discarding_on_refusal(model, call.run([&] {
      if (model == nullptr) return kNullArgument;
      return to_code(as_model(model)->add_constrs(numconstrs, numnz, cbeg, cind, cval, sense, rhs, constrnames));
    }));
  });
}

int GRBgetintattr(GRBmodel* model, const char* attrname, int* valueP) {
  return get_model_attribute("GRBgetintattr", model, attrname, valueP, AttrType::Int,
                             [](const Model& m, const AttrDescriptor& attr) { return m.get_int(attr); });
}

int GRBsetintattr(GRBmodel* model, const char* attrname, int newvalue) {
  return set_model_attribute("GRBsetintattr", model, attrname, true, newvalue, AttrType::Int,
                             [&](Model& m, const AttrDescriptor& attr) { return m.set_int(attr, newvalue); });
}

int GRBgetdblattr(GRBmodel* model, const char* attrname, double* valueP) {
  return get_model_attribute("GRBgetdblattr", model, attrname, valueP, AttrType::Double,
                             [](const Model& m, const AttrDescriptor& attr) { return m.get_double(attr); });
}

int GRBsetdblattr(GRBmodel* model, const char* attrname, double newvalue) {
  return set_model_attribute("GRBsetdblattr", model, attrname, true, newvalue, AttrType::Double,
                             [&](Model& m, const AttrDescriptor& attr) { return m.set_double(attr, newvalue); });
}

int GRBgetdblattrarray(GRBmodel* model, const char* attrname, int start, int len, double* values) {
  return entry("GRBgetdblattrarray", switches_of(model), [&](auto& call) {
    record::attribute_range(call, model, attrname, start, len);
    return call.run([&] {
      auto descriptor = attribute(model, attrname, values != nullptr, AttrType::Double, AttrScope::Variable);
      if (!descriptor) return to_code(descriptor.error());
      auto got = as_model(model)->get_double_array(**descriptor, start, len, values);
      if (got) record::values(call, values, len);
      return to_code(got);
    });
  });
}

int GRBgetstrattr(GRBmodel* model, const char* attrname, char** valueP) {
  // The string stays owned by the model, as Gurobi's own strings are owned by the library.
  return get_model_attribute("GRBgetstrattr", model, attrname, valueP, AttrType::String,
                             [](const Model& m, const AttrDescriptor& attr) { return m.get_string(attr); });
}

int GRBsetstrattr(GRBmodel* model, const char* attrname, const char* newvalue) {
  return set_model_attribute("GRBsetstrattr", model, attrname, newvalue != nullptr, newvalue, AttrType::String,
                             [&](Model& m, const AttrDescriptor& attr) { return m.set_string(attr, newvalue); });
}

int GRBoptimize(GRBmodel* model) {
  return entry("GRBoptimize", switches_of(model), [&](auto& call) {
    call.model(model);
    return call.run([&] {
      if (model == nullptr) return kNullArgument;
      auto solved = as_model(model)->optimize();
      if (!solved) return to_code(solved);
      record::status(call, as_model(model)->status());
      if (const HighsSession* session = as_model(model)->session()) {
        call.trace.text("handed", handover_name(session->last_handover()));
        call.trace.integer("iterations", session->last_iterations());
      }
      return kSuccess;
    });
  });
}

int GRBupdatemodel(GRBmodel* model) {
  return entry("GRBupdatemodel", switches_of(model), [&](auto& call) {
    call.model(model);
    return call.run([&] {
      if (model == nullptr) return kNullArgument;
      as_model(model)->update();
      return kSuccess;
    });
  });
}

int GRBgetdblattrelement(GRBmodel* model, const char* attrname, int element, double* valueP) {
  return entry("GRBgetdblattrelement", switches_of(model), [&](auto& call) {
    record::attribute_element(call, model, attrname, element);
    return call.run([&] {
      auto descriptor = attribute(model, attrname, valueP != nullptr, AttrType::Double, AttrScope::Variable);
      if (!descriptor) return to_code(descriptor.error());
      auto got = as_model(model)->get_double_array(**descriptor, element, 1, valueP);
      if (got) record::value(call, *valueP);
      return to_code(got);
    });
  });
}

int GRBsetdblattrelement(GRBmodel* model, const char* attrname, int element, double newvalue) {
  return entry("GRBsetdblattrelement", switches_of(model), [&](auto& call) {
    record::attribute_element(call, model, attrname, element);
    record::value(call, newvalue);
    return discarding_on_refusal(model, call.run([&] {
      auto descriptor = attribute(model, attrname, true, AttrType::Double, AttrScope::Variable);
      if (!descriptor) return to_code(descriptor.error());
      return to_code(as_model(model)->set_double_array(**descriptor, element, 1, &newvalue));
    }));
  });
}

int GRBsetdblattrarray(GRBmodel* model, const char* attrname, int start, int len, double* newvalues) {
  return entry("GRBsetdblattrarray", switches_of(model), [&](auto& call) {
    record::attribute_range(call, model, attrname, start, len);
    record::values(call, newvalues, len);
    return discarding_on_refusal(model, call.run([&] {
      auto descriptor = attribute(model, attrname, newvalues != nullptr, AttrType::Double, AttrScope::Variable);
      if (!descriptor) return to_code(descriptor.error());
      return to_code(as_model(model)->set_double_array(**descriptor, start, len, newvalues));
    }));
  });
}

}  // extern "C"
