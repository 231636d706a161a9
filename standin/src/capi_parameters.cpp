// The Gurobi C API's parameter entry points: each checks the environment, the name and the value
// pointer, then reads or writes the environment's parameters; every call is traced and may have a fault
// injected.
#include <cstring>
#include <string_view>

// The entry points are the only symbols the library exports.
#pragma GCC visibility push(default)
#include "kesto_solver_gurobi/gurobi_c.h"
#pragma GCC visibility pop

#include "call.hpp"
#include "capi_handles.hpp"
#include "errors.hpp"
#include "record.hpp"

namespace {

using namespace standin;

constexpr int kNullArgument = static_cast<int>(Error::NullArgument);

// A parameter call's environment and name, both required.
ParameterSet* parameters(GRBenv* env, const char* paramname, bool value_present) {
  if (env == nullptr || paramname == nullptr || !value_present) return nullptr;
  return &as_env(env)->params();
}

// The body the seven parameter functions share: the record of the environment and the name,
// `note` recording what the caller gave, then `work` on the environment's parameters once they
// and the value pointer are checked.
template <class Note, class Work>
int parameter_entry(std::string_view fn, GRBenv* env, const char* paramname, bool value_present, Note&& note,
                    Work&& work) {
  return entry(fn, switches_of(env), [&](auto& call) {
    record::parameter(call, env, paramname);
    note(call);
    return call.run([&] {
      ParameterSet* params = parameters(env, paramname, value_present);
      if (params == nullptr) return kNullArgument;
      return work(*params, call);
    });
  });
}

// A parameter read: `store` writes the value to the caller and returns what is recorded.
template <class Get, class Store>
int get_parameter(std::string_view fn, GRBenv* env, const char* paramname, void* valueP, Get&& get, Store&& store) {
  return parameter_entry(fn, env, paramname, valueP != nullptr, [](auto&) {}, [&](ParameterSet& params, auto& call) {
    auto value = get(params);
    if (!value) return to_code(value.error());
    record::value(call, store(*value));
    return kSuccess;
  });
}

// A parameter written, its value recorded before the call may fail.
template <class Value, class Set>
int set_parameter(std::string_view fn, GRBenv* env, const char* paramname, bool value_present, Value value,
                  Set&& set) {
  return parameter_entry(
      fn, env, paramname, value_present, [&](auto& call) { record::value(call, value); },
      [&](ParameterSet& params, auto&) { return to_code(set(params)); });
}

}  // namespace

extern "C" {

int GRBgetdblparam(GRBenv* env, const char* paramname, double* valueP) {
  return get_parameter("GRBgetdblparam", env, paramname, valueP, [&](ParameterSet& p) { return p.get_double(paramname); },
                       [&](double value) { return *valueP = value; });
}

int GRBgetintparam(GRBenv* env, const char* paramname, int* valueP) {
  return get_parameter("GRBgetintparam", env, paramname, valueP, [&](ParameterSet& p) { return p.get_int(paramname); },
                       [&](int value) { return *valueP = value; });
}

int GRBgetstrparam(GRBenv* env, const char* paramname, char* valueP) {
  return get_parameter("GRBgetstrparam", env, paramname, valueP, [&](ParameterSet& p) { return p.get_string(paramname); },
                       [&](const std::string* value) {
                         // Values are kept shorter than the caller's GRB_MAX_STRLEN bytes.
                         std::memcpy(valueP, value->c_str(), value->size() + 1);
                         return static_cast<const char*>(valueP);
                       });
}

int GRBsetdblparam(GRBenv* env, const char* paramname, double value) {
  return set_parameter("GRBsetdblparam", env, paramname, true, value,
                       [&](ParameterSet& params) { return params.set_double(paramname, value); });
}

int GRBsetintparam(GRBenv* env, const char* paramname, int value) {
  return set_parameter("GRBsetintparam", env, paramname, true, value,
                       [&](ParameterSet& params) { return params.set_int(paramname, value); });
}

int GRBsetstrparam(GRBenv* env, const char* paramname, const char* value) {
  return set_parameter("GRBsetstrparam", env, paramname, value != nullptr, value,
                       [&](ParameterSet& params) { return params.set_string(paramname, value); });
}

int GRBsetparam(GRBenv* env, const char* paramname, const char* value) {
  return set_parameter("GRBsetparam", env, paramname, value != nullptr, value,
                       [&](ParameterSet& params) { return params.set_text(paramname, value); });
}

}  // extern "C"
