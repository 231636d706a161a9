#include "refusals.hpp"

#include "kesto_core/text.hpp"

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

PyObject* raise_solver_refusal(const std::string& what, int code) {
  PyErr_SetString(PyExc_RuntimeError, ("Gurobi refused " + what + ": error code " + std::to_string(code)).c_str());
  return nullptr;
}

std::string unset_parameter_warning(const kesto::UnsetParameter& parameter) {
  return "Gurobi parameter " + kesto::quote_text(parameter.name) + " left unset: " + parameter.reason;
}

}  // namespace velkin
