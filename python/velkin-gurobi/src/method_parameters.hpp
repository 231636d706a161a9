#pragma once
// The parameters of Model's constructor and methods, one table per method:
// the argument binder, the method table's text signatures and the argument
// labels of conversion messages are all made from these.

#include "arguments.hpp"

namespace velkin {

inline constexpr Parameters<2> kModelParameters{"Model", {"name", "dll_path"}, 0};

inline constexpr Parameters<4> kAddVariableParameters{"add_variable", {"name", "vtype", "lb", "ub"}, 0};
inline constexpr Parameters<5> kAddVariablesParameters{"add_variables", {"n", "names", "vtypes", "lbs", "ubs"}, 1};
inline constexpr Parameters<6> kAddConstraintParameters{
    "add_constraint", {"vars", "coeffs", "constant", "sense", "rhs", "name"}, 5};
inline constexpr Parameters<6> kAddConstraintsParameters{
    "add_constraints", {"fs_vars", "fs_coeffs", "fs_consts", "senses", "rhss", "names"}, 5};
inline constexpr Parameters<4> kSetObjectiveParameters{"set_objective", {"vars", "coeffs", "constant", "sense"}, 4};
inline constexpr Parameters<0> kUpdateParameters{"update", {}, 0};
inline constexpr Parameters<0> kOptimizeParameters{"optimize", {}, 0};
inline constexpr Parameters<1> kGetVarValueParameters{"get_var_value", {"var_id"}, 1};
inline constexpr Parameters<0> kGetObjectiveValueParameters{"get_objective_value", {}, 0};
inline constexpr Parameters<2> kSetOptimizerAttrParameters{"set_optimizer_attr", {"attr", "value"}, 2};

}  // namespace velkin
