#pragma once
// The parameters of Model's constructor and methods, one table per method:
// the argument binder, the method table's text signatures and the argument
// labels of conversion messages are all made from these. The methods' tables
// come from the method list.

#include "arguments.hpp"
#include "model_methods.hpp"

namespace velkin {

inline constexpr Parameters<2> kModelParameters{"Model", {"name", "dll_path"}, 0};

// k<Constant>Parameters of every method of model_methods.hpp.
#define VELKIN_METHOD_PARAMETERS(name, Constant, convention, required, ...) \
  inline constexpr auto k##Constant##Parameters = make_parameters(#name, required __VA_OPT__(, ) __VA_ARGS__);
VELKIN_MODEL_METHODS(VELKIN_METHOD_PARAMETERS)
#undef VELKIN_METHOD_PARAMETERS

}  // namespace velkin
