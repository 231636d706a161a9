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
// "; variables 3 to 5 and constraint 2 no longer exist".
PyObject* raise_solver_refusal(const std::string& what, int code, ModelCounts before = {}, ModelCounts after = {});

// The RuntimeWarning text for a parameter that stays unset.
std::string unset_parameter_warning(const kesto::UnsetParameter& parameter);

}  // namespace velkin
