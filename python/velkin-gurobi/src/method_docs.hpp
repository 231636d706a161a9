#pragma once
// Written by scripts/method_docs.py from the docstrings of the stubs
// (python/velkin-gurobi-stubs/velkin_gurobi-stubs/__init__.pyi); run it after
// changing one there.

#include <string_view>

namespace velkin {

// Model's docstring, or that of its method `name`; the text after each
// signature block of the method table.
// clang-format off
constexpr std::string_view method_doc(std::string_view name) {
  if (name == "Model") return "One Gurobi environment and model, on a Gurobi library opened at run time.\n"
         "\n"
         "Without ``dll_path`` the library is found through ``GUROBI_HOME`` or the\n"
         "standard install paths. Failure to set up raises an exception deriving\n"
         "directly from ``BaseException``.";
  if (name == "add_variable") return "Adds one variable (default continuous in [0, inf)) and returns its index.";
  if (name == "add_variables") return "Adds ``n`` variables in one call and returns their indices.";
  if (name == "add_constraint") return "Adds ``sum(coeffs * vars) + constant <sense> rhs`` (sense \"<\", \"=\" or \">\") and returns its index.";
  if (name == "add_constraints") return "Adds one constraint per row and returns their indices; senses other than \"<\" and \">\" mean \"=\"\n"
         "(a RuntimeWarning names the first row whose sense is not \"<\", \"=\" or \">\").";
  if (name == "set_objective") return "Replaces the objective (a variable named twice keeps its later coefficient);\n"
         "``sense`` 1 maximises, anything else minimises (a RuntimeWarning for a sense other than 0 and 1:\n"
         "Gurobi's ModelSense uses -1 for maximise).";
  if (name == "update") return "Applies pending changes to the model.";
  if (name == "optimize") return "Solves; 0 other, 1 optimal, 2 infeasible, 3 unbounded, 4 suboptimal.";
  if (name == "get_var_value") return "The variable's value in the current solution, or None if there is none.";
  if (name == "get_objective_value") return "The objective value of the current solution, or None if there is none.";
  if (name == "set_optimizer_attr") return "Sets \"Silent\", \"TimeLimit\" or any Gurobi parameter by name; a RuntimeWarning says when it stays unset.";
  throw "no docstring in the stubs";
}
// clang-format on

}  // namespace velkin
