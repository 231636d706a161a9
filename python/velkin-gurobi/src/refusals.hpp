#pragma once
// Refusals that reach the caller after the arguments have been converted:
// variable indices the model never handed out, calls that Gurobi refused and
// parameters left unset.

#include <Python.h>

#include <cstdint>
#include <string>

#include "kesto_core/functions/function.hpp"
#include "kesto_solver_api/optimizer.hpp"

namespace velkin {

// False with IndexError set when `variable` is at or above `var_count`.
bool check_known_variable(std::uint64_t variable, std::uint64_t var_count);

// False with IndexError set when a term names a variable index at or above
// `var_count`.
bool check_known_variables(const kesto::Affine& function, std::uint64_t var_count);

// Raises RuntimeError "Gurobi refused <what>: error code <code>".
PyObject* raise_solver_refusal(const std::string& what, int code);

// The RuntimeWarning text for a parameter that stays unset.
std::string unset_parameter_warning(const kesto::UnsetParameter& parameter);

}  // namespace velkin
