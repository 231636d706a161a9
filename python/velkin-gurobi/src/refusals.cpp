#include "refusals.hpp"

#include "kesto_core/errors.hpp"
#include "kesto_core/text.hpp"
#include "kesto_solver_gurobi/wrapper/wrapper.hpp"

namespace velkin {

bool check_known_variable(std::uint64_t variable, std::uint64_t var_count) {
  if (variable < var_count) return true;
  const std::string message =
      "variable index " + std::to_string(variable) + " out of range (variables: " + std::to_string(var_count) + ")";
  PyErr_SetString(PyExc_IndexError, message.c_str());
  return false;
}

bool check_known_variables(const kesto::Affine& function, std::uint64_t var_count) {
  for (const kesto::Term& term : function.terms) {
    if (!check_known_variable(term.variable, var_count)) return false;
  }
  return true;
}

namespace {

constexpr const char* kNewVariables = "the new variables";
constexpr const char* kObjective = "the objective";

// "variable 3" or "variables 3 to 5" for the indices from `first` up to, not
// including, `end`; empty when there are none.
std::string index_range(const char* kind, std::uint64_t first, std::uint64_t end) {
  if (first >= end) return {};
  const std::string text = std::string(kind) + (end - first == 1 ? " " : "s ") + std::to_string(first);
  return end - first == 1 ? text : text + " to " + std::to_string(end - 1);
}

std::uint64_t lost(std::uint64_t before, std::uint64_t after) { return before > after ? before - after : 0; }

std::string lost_indices(ModelCounts before, ModelCounts after) {
  const std::string variables = index_range("variable", after.variables, before.variables);
  const std::string constraints = index_range("constraint", after.constraints, before.constraints);
  if (variables.empty() && constraints.empty()) return {};
  const bool one = lost(before.variables, after.variables) + lost(before.constraints, after.constraints) == 1;
  const std::string both = variables.empty() || constraints.empty() ? "" : " and ";
  // The indices stay Gurobi's column and row positions, so the next additions get them.
  return "; " + variables + both + constraints +
         (one ? " no longer exists; it will be handed out again" : " no longer exist; they will be handed out again");
}

}  // namespace

PyObject* raise_solver_refusal(const std::string& what, int code, ModelCounts before, ModelCounts after) {
  PyObject* type = code == GRB_ERROR_OUT_OF_MEMORY ? PyExc_MemoryError : PyExc_RuntimeError;
  const std::string message = "Gurobi refused " + what + ": error code " + std::to_string(code);
  PyErr_SetString(type, (message + lost_indices(before, after)).c_str());
  return nullptr;
}

PyObject* raise_kesto_error(const kesto::KestoError& error, const char* prefix) {
  PyErr_SetString(PyExc_RuntimeError, (prefix + kesto::render(error)).c_str());
  return nullptr;
}

PyObject* raise_variable_refusal(kesto::VariableRefusal refusal, const Arg& names, ModelCounts before,
                                 ModelCounts after) {
  using kesto::VariableRefusal;
  switch (refusal.kind) {
    case VariableRefusal::NameContainsNul: fail(PyExc_ValueError, names, "must not contain a NUL character"); break;
    case VariableRefusal::CountTooLarge:
    case VariableRefusal::SequenceTooShort:
      PyErr_SetString(PyExc_ValueError, "variables could not be added: inconsistent batch");
      break;
    case VariableRefusal::SolverRefused: raise_solver_refusal(kNewVariables, refusal.code, before, after); break;
  }
  return nullptr;
}

PyObject* raise_constraint_refusal(const kesto::ConstraintRefusal& refusal, ModelCounts before, ModelCounts after) {
  return raise_solver_refusal("constraint " + std::to_string(refusal.index), refusal.code, before, after);
}

PyObject* raise_objective_error(const kesto::ObjectiveError& error, ModelCounts before, ModelCounts after) {
  if (const auto* refusal = std::get_if<kesto::SolverRefusal>(&error)) {
    return raise_solver_refusal(kObjective, refusal->code, before, after);
  }
  return raise_kesto_error(std::get<kesto::KestoError>(error));
}

std::string unset_parameter_warning(const kesto::UnsetParameter& parameter) {
  return "Gurobi parameter " + kesto::quote_text(parameter.name) + " left unset: " + parameter.reason;
}

}  // namespace velkin
