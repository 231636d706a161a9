#pragma once
// The Model's methods, listed once in registration order. Each entry names
// the C++ function (model_<name>, defined in a model_*.cpp file), its
// parameters constant (k<Constant>Parameters), its calling convention
// (Keywords: self, args, kwargs; NoArguments: self only), the number of
// required parameters and the parameter names. From this list come the
// declarations (model.hpp), the parameter tables with their argument labels
// (method_parameters.hpp) and the method table with its text signatures and
// flags (model.cpp).

// clang-format off
#define VELKIN_MODEL_METHODS(X)                                                                                      \
  X(add_variable,        AddVariable,       Keywords,    0, "name", "vtype", "lb", "ub")                             \
  X(add_variables,       AddVariables,      Keywords,    1, "n", "names", "vtypes", "lbs", "ubs")                    \
  X(add_constraint,      AddConstraint,     Keywords,    5, "vars", "coeffs", "constant", "sense", "rhs", "name")    \
  X(add_constraints,     AddConstraints,    Keywords,    5, "fs_vars", "fs_coeffs", "fs_consts", "senses", "rhss",   \
                                                            "names")                                                 \
  X(set_objective,       SetObjective,      Keywords,    4, "vars", "coeffs", "constant", "sense")                   \
  X(update,              Update,            NoArguments, 0)                                                          \
  X(optimize,            Optimize,          NoArguments, 0)                                                          \
  X(get_var_value,       GetVarValue,       Keywords,    1, "var_id")                                                \
  X(get_objective_value, GetObjectiveValue, NoArguments, 0)                                                          \
  X(set_optimizer_attr,  SetOptimizerAttr,  Keywords,    2, "attr", "value")
// clang-format on
