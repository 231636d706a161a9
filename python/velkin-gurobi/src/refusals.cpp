#include "refusals.hpp"

#include <cmath>

#include "kesto_core/errors.hpp"
#include "kesto_core/text.hpp"
#include "kesto_solver_gurobi/wrapper/wrapper.hpp"
#include "notes.hpp"

namespace velkin {

bool check_known_variable(std::uint64_t variable, std::uint64_t var_count) {
  if (variable < var_count) return true;
  const std::string message =
      "variable index " + std::to_string(variable) + " out of range (variables: " + std::to_string(var_count) + ")";
  PyErr_SetString(PyExc_IndexError, message.c_str());
  return false;
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

PyObject* raise_solver_refusal(const std::string& what, int code, ModelCounts before, ModelCounts after,
                               const std::string& note) {
  PyObject* type = code == GRB_ERROR_OUT_OF_MEMORY ? PyExc_MemoryError : PyExc_RuntimeError;
  const std::string message = "Gurobi refused " + what + ": error code " + std::to_string(code);
  return raise_with_note(type, message + lost_indices(before, after), note);
}

namespace {

constexpr const char* kTypeRule = ": Gurobi takes C, B, I, S or N";
constexpr const char* kNotNaNRule = ": Gurobi takes any number but NaN";
constexpr const char* kFiniteRule = ": Gurobi takes finite numbers only";
constexpr const char* kMergedRule =
    " holds coefficients of one variable that add up to an infinite number: Gurobi takes finite numbers only";
constexpr const char* kNameRule = " bytes: Gurobi takes at most ";
constexpr const char* kNameSuffixed = " followed by \"_0\"";
constexpr const char* kDifferenceRule = " and so is the constant: Gurobi takes the right-hand side less the constant, "
                                        "and that is NaN";

// Python's repr() of a value, as UTF-8; empty if it cannot be made.
std::string repr_text(PyRef value) {
  PyRef repr = value ? PyRef::steal(PyObject_Repr(value.get())) : PyRef();
  const char* text = repr ? PyUnicode_AsUTF8(repr.get()) : nullptr;
  if (text == nullptr) {
    PyErr_Clear();
    return {};
  }
  return text;
}

}  // namespace

std::string breach_note(const kesto::Breach& breach, const Arg& where) {
  using kesto::Breach;
  const std::string place = describe(where);
  switch (breach.rule) {
    case Breach::TypeCode:
      return place + " is " + repr_text(PyRef::steal(PyUnicode_FromOrdinal(static_cast<int>(breach.value)))) +
             kTypeRule;
    case Breach::NameLength:
      return place + " has " + std::to_string(static_cast<std::uint64_t>(breach.value)) + kNameRule +
             std::to_string(GRB_MAX_NAMELEN);
    case Breach::MergedFinite: return place + kMergedRule;
    case Breach::NotNaN:
    case Breach::Finite: break;
  }
  const std::string value = " is " + repr_text(PyRef::steal(PyFloat_FromDouble(breach.value)));
  // A right-hand side that is not NaN itself: infinite, as is the constant.
  if (breach.input == Breach::RightHandSide && !std::isnan(breach.value)) return place + value + kDifferenceRule;
  return place + value + (breach.rule == Breach::Finite ? kFiniteRule : kNotNaNRule);
}

PyObject* raise_kesto_error(const kesto::KestoError& error, const char* prefix) {
  PyErr_SetString(PyExc_RuntimeError, (prefix + kesto::render(error)).c_str());
  return nullptr;
}

PyObject* raise_variable_refusal(const kesto::VariableRefusal& refusal, const VariableArgs& args, ModelCounts before,
                                 ModelCounts after) {
  using kesto::VariableRefusal;
  std::string note;
  if (refusal.breach) {
    const Arg& input = args.inputs.at(static_cast<std::size_t>(refusal.breach->input));
    note = breach_note(*refusal.breach,
                       args.sequences ? input.at(static_cast<Py_ssize_t>(refusal.breach->item)) : input);
    // add_variable's name is given to Gurobi with "_0" after it.
    if (!args.sequences && refusal.breach->input == kesto::Breach::Names) {
      note.insert(describe(input).size(), kNameSuffixed);
    }
  }
  switch (refusal.kind) {
    case VariableRefusal::NameContainsNul:
      fail(PyExc_ValueError, args.inputs[kesto::Breach::Names], "must not contain a NUL character");
      break;
    case VariableRefusal::CountTooLarge:
    case VariableRefusal::SequenceTooShort:
      PyErr_SetString(PyExc_ValueError, "variables could not be added: inconsistent batch");
      break;
    case VariableRefusal::SolverRefused:
      raise_solver_refusal(kNewVariables, refusal.code, before, after, note);
      break;
  }
  return nullptr;
}

PyObject* raise_constraint_refusal(const kesto::ConstraintRefusal& refusal, ModelCounts before, ModelCounts after,
                                   const std::string& note) {
  return raise_solver_refusal("constraint " + std::to_string(refusal.index), refusal.code, before, after, note);
}

PyObject* raise_objective_error(const kesto::ObjectiveError& error, ModelCounts before, ModelCounts after,
                                const Arg& coeffs, const Arg& constant) {
  if (const auto* refusal = std::get_if<kesto::SolverRefusal>(&error)) {
    std::string note;
    if (const auto& breach = refusal->breach) {
      const bool in_coeffs = breach->input == kesto::Breach::Coefficients;
      note = breach_note(*breach, in_coeffs ? coeffs.at(static_cast<Py_ssize_t>(breach->item)) : constant);
    }
    return raise_solver_refusal(kObjective, refusal->code, before, after, note);
  }
  return raise_kesto_error(std::get<kesto::KestoError>(error));
}

std::string unset_parameter_warning(const kesto::UnsetParameter& parameter) {
  return "Gurobi parameter " + kesto::quote_text(parameter.name) + " left unset: " + parameter.reason;
}

}  // namespace velkin
