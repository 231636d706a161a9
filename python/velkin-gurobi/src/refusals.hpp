#pragma once
// Every failed result turned into a Python exception, in one place: variable
// indices the model never handed out, calls that Gurobi refused, the
// backend's errors, and the warning for parameters left unset.

#include <Python.h>

#include <array>
#include <cstdint>
#include <string>

#include "convert.hpp"
#include "kesto_core/functions/function.hpp"
#include "kesto_solver_api/optimizer.hpp"

namespace velkin {

// False with IndexError set when `variable` is at or above `var_count`.
bool check_known_variable(std::uint64_t variable, std::uint64_t var_count);

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
// out again". A `note` that is not empty is attached to the exception.
PyObject* raise_solver_refusal(const std::string& what, int code, ModelCounts before = {}, ModelCounts after = {},
                               const std::string& note = {});

// The note of a refusal that Gurobi's rules found before the call, with
// `where` the argument, or its item, that the breach lies in:
// "add_variables() argument 'vtypes' item 2 is 'Q': Gurobi takes C, B, I, S or N".
std::string breach_note(const kesto::Breach& breach, const Arg& where);

// Raises RuntimeError with the error's rendering behind `prefix`.
PyObject* raise_kesto_error(const kesto::KestoError& error, const char* prefix = "");

// The arguments of new variables' data, in the order of kesto::Breach::Input:
// types, lower bounds, upper bounds, names; `sequences` when each holds one
// item per variable.
struct VariableArgs {
  std::array<Arg, 4> inputs;
  bool sequences;
};

// A refused add_variable(s): ValueError naming the names' argument for a name
// with a NUL character or for an inconsistent batch, raise_solver_refusal for
// "the new variables" when Gurobi refused them (with the breach's note).
PyObject* raise_variable_refusal(const kesto::VariableRefusal& refusal, const VariableArgs& args, ModelCounts before,
                                 ModelCounts after);

// Gurobi's refusal of a row: raise_solver_refusal for "constraint <index>".
PyObject* raise_constraint_refusal(const kesto::ConstraintRefusal& refusal, ModelCounts before = {},
                                   ModelCounts after = {}, const std::string& note = {});

// A refused set_objective: raise_solver_refusal for "the objective" (with the
// note of a breach in `coeffs` or `constant`), or the backend's error.
PyObject* raise_objective_error(const kesto::ObjectiveError& error, ModelCounts before, ModelCounts after,
                                const Arg& coeffs, const Arg& constant);

// The RuntimeWarning text for a parameter that stays unset.
std::string unset_parameter_warning(const kesto::UnsetParameter& parameter);

}  // namespace velkin
