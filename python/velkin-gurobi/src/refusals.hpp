#pragma once
// Every failed result turned into a Python exception, in one place: variable
// indices the model never handed out, calls that Gurobi refused, the
// backend's errors, and the warning for parameters left unset.

#include <Python.h>

#include <cstdint>
#include <string>

#include "convert.hpp"
#include "kesto_core/functions/function.hpp"
#include "kesto_solver_api/optimizer.hpp"

namespace velkin {

// False with IndexError set when `variable` is at or above `var_count`.
bool check_known_variable(std::uint64_t variable, std::uint64_t var_count);

// False with IndexError set when a term names a variable index at or above
// `var_count`.
bool check_known_variables(const kesto::Affine& function, std::uint64_t var_count);

// The numbers of variables and constraints a model has handed out.
struct ModelCounts {
  std::uint64_t variables = 0;
  std::uint64_t constraints = 0;
};

template <class Optimizer>
ModelCounts counts_of(const Optimizer& optimizer) {
  return {optimizer.var_count(), optimizer.constr_count()};
}

// Raises "Gurobi refused <what>: error code <code>": MemoryError for Gurobi's
// out-of-memory code, RuntimeError for any other. When the model had handed
// out more indices before the call (`before`) than it counts after it
// (`after`), the text goes on with the indices that no longer exist, e.g.
// "; variables 3 to 5 and constraint 2 no longer exist; they will be handed
// out again".
PyObject* raise_solver_refusal(const std::string& what, int code, ModelCounts before = {}, ModelCounts after = {});

// Raises RuntimeError with the error's rendering behind `prefix`.
PyObject* raise_kesto_error(const kesto::KestoError& error, const char* prefix = "");

// A refused add_variable(s): ValueError naming `names` for a name with a NUL
// character or for an inconsistent batch, raise_solver_refusal for "the new
// variables" when Gurobi refused them.
PyObject* raise_variable_refusal(kesto::VariableRefusal refusal, const Arg& names, ModelCounts before,
                                 ModelCounts after);

// Gurobi's refusal of a row: raise_solver_refusal for "constraint <index>".
PyObject* raise_constraint_refusal(const kesto::ConstraintRefusal& refusal, ModelCounts before = {},
                                   ModelCounts after = {});

// A refused set_objective: raise_solver_refusal for "the objective", or the
// backend's error.
PyObject* raise_objective_error(const kesto::ObjectiveError& error, ModelCounts before, ModelCounts after);

// The RuntimeWarning text for a parameter that stays unset.
std::string unset_parameter_warning(const kesto::UnsetParameter& parameter);

}  // namespace velkin
