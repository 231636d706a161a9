#include "refusals.hpp"

#include "kesto_core/text.hpp"
#include "kesto_solver_gurobi/gurobi_constants.h"

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
  return "; " + variables + both + constraints + (one ? " no longer exists" : " no longer exist");
}

}  // namespace

PyObject* raise_solver_refusal(const std::string& what, int code, ModelCounts before, ModelCounts after) {
  PyObject* type = code == GRB_ERROR_OUT_OF_MEMORY ? PyExc_MemoryError : PyExc_RuntimeError;
  const std::string message = "Gurobi refused " + what + ": error code " + std::to_string(code);
  PyErr_SetString(type, (message + lost_indices(before, after)).c_str());
  return nullptr;
}

std::string unset_parameter_warning(const kesto::UnsetParameter& parameter) {
  return "Gurobi parameter " + kesto::quote_text(parameter.name) + " left unset: " + parameter.reason;
}

}  // namespace velkin
