// Model.add_constraint, Model.add_constraints and Model.set_objective.

#include <algorithm>

#include "convert.hpp"
#include "kesto_solver_gurobi/wrapper/utils.hpp"
#include "method_parameters.hpp"
#include "model.hpp"
#include "refusals.hpp"

namespace velkin {
namespace {

using kesto::ScalarFunctionType;
using kesto::ScalarSetType;

constexpr const char* kInvalidSense = "Invalid sense character";
constexpr const char* kObjective = "the objective";

PyObject* raise_constraint_refusal(const kesto::ConstraintRefusal& refusal) {
  return raise_solver_refusal("constraint " + std::to_string(refusal.index), refusal.code);
}

// Rows of a nested sequence argument, stored flat.
template <class T>
struct Rows {
  std::vector<T> values;
  std::vector<std::size_t> ends;

  std::size_t size() const { return ends.size(); }
  std::size_t begin_of(std::size_t row) const { return row == 0 ? 0 : ends[row - 1]; }
  std::size_t length_of(std::size_t row) const { return ends[row] - begin_of(row); }
};

template <class T, class ConvertRow>
bool convert_rows(PyObject* sequence, const Arg& arg, Rows<T>& rows, ConvertRow&& convert_row) {
  return for_each_item(sequence, arg, [&](PyObject* row, Py_ssize_t index) {
    if (!convert_row(row, arg.at(index), rows.values)) return false;
    rows.ends.push_back(rows.values.size());
    return true;
  });
}

// Pairs indices and coefficients up to the shorter of the two.
kesto::Affine affine(const std::uint64_t* vars, std::size_t var_count, const double* coeffs, std::size_t coeff_count,
                     double constant) {
  kesto::Affine function{{}, constant};
  const std::size_t terms = std::min(var_count, coeff_count);
  function.terms.reserve(terms);
  for (std::size_t k = 0; k < terms; ++k) function.terms.push_back({vars[k], coeffs[k]});
  return function;
}

bool check_name(const std::string& name, const Arg& arg) {
  if (kesto::gurobi::passes_as_c_string(name)) return true;
  return fail(PyExc_ValueError, arg, "must not contain a NUL character");
}

// The sense of add_constraints: every character but '<' and '>' means '='.
ScalarSetType batch_set(char32_t sense, double rhs) {
  if (sense == U'<') return kesto::LessEqual{rhs};
  if (sense == U'>') return kesto::GreaterEqual{rhs};
  return kesto::Equal{rhs};
}

std::optional<ScalarSetType> single_set(char32_t sense, double rhs) {
  if (sense == U'<') return kesto::LessEqual{rhs};
  if (sense == U'>') return kesto::GreaterEqual{rhs};
  if (sense == U'=') return kesto::Equal{rhs};
  return std::nullopt;
}

struct BatchArguments {
  Rows<std::uint64_t> vars;
  Rows<double> coeffs;
  std::vector<double> consts;
  std::vector<char32_t> senses;
  std::vector<double> rhss;
  std::optional<std::vector<std::string>> names;

  std::size_t count() const { return std::min({vars.size(), senses.size(), rhss.size()}); }
};

bool convert_batch(const std::array<PyObject*, 6>& objects, BatchArguments& batch) {
  constexpr const auto& parameters = kAddConstraintsParameters;
  constexpr Arg vars_arg = parameters.arg("fs_vars"), coeffs_arg = parameters.arg("fs_coeffs"),
                consts_arg = parameters.arg("fs_consts"), names_arg = parameters.arg("names");
  auto text_sequence = [](PyObject* object, const Arg& arg, std::vector<std::string>& out) {
    return convert_sequence(object, arg, out, convert_text);
  };
  if (!convert_rows(objects[0], vars_arg, batch.vars, convert_variable_index_sequence) ||
      !convert_rows(objects[1], coeffs_arg, batch.coeffs, convert_real_sequence) ||
      !convert_real_sequence(objects[2], consts_arg, batch.consts) ||
      !convert_sequence(objects[3], parameters.arg("senses"), batch.senses, convert_char) ||
      !convert_real_sequence(objects[4], parameters.arg("rhss"), batch.rhss) ||
      !convert_optional(objects[5], names_arg, batch.names, text_sequence)) {
    return false;
  }
  const std::string per_function = "functions of 'fs_vars'";
  if (!check_length(batch.coeffs.size(), batch.vars.size(), coeffs_arg, per_function) ||
      !check_length(batch.consts.size(), batch.vars.size(), consts_arg, per_function)) {
    return false;
  }
  if (!batch.names) return true;
  if (!check_length(batch.names->size(), batch.count(), names_arg, "constraints to add")) return false;
  for (std::size_t i = 0; i < batch.count(); ++i) {
    if (!check_name((*batch.names)[i], names_arg.at(static_cast<Py_ssize_t>(i)))) return false;
  }
  return true;
}

}  // namespace

PyObject* model_add_constraint(PyObject* self, PyObject* args, PyObject* kwargs) {
  constexpr const auto& parameters = kAddConstraintParameters;
  std::array<PyObject*, 6> objects{nullptr, nullptr, nullptr, nullptr, nullptr, Py_None};
  if (!parse_arguments<parameters>(args, kwargs, objects)) return nullptr;
  auto [vars_obj, coeffs_obj, constant_obj, sense_obj, rhs_obj, name_obj] = objects;
  return with_model<Access::Exclusive>(self, [&](auto& optimizer) -> PyObject* {
    constexpr Arg name_arg = parameters.arg("name");
    std::vector<std::uint64_t> vars;
    std::vector<double> coeffs;
    double constant = 0.0, rhs = 0.0;
    char32_t sense = 0;
    std::optional<std::string> name;
    if (!convert_variable_index_sequence(vars_obj, parameters.arg("vars"), vars) ||
        !convert_real_sequence(coeffs_obj, parameters.arg("coeffs"), coeffs) ||
        !convert_real(constant_obj, parameters.arg("constant"), constant) ||
        !convert_char(sense_obj, parameters.arg("sense"), sense) ||
        !convert_real(rhs_obj, parameters.arg("rhs"), rhs) ||
        !convert_optional(name_obj, name_arg, name, convert_text)) {
      return nullptr;
    }
    const auto set = single_set(sense, rhs);
    if (!set) {
      PyErr_SetString(PyExc_ValueError, kInvalidSense);
      return nullptr;
    }
    if (name && !check_name(*name, name_arg)) return nullptr;
    auto function = affine(vars.data(), vars.size(), coeffs.data(), coeffs.size(), constant);
    if (!check_known_variables(function, optimizer.var_count())) return nullptr;
    const auto index = optimizer.add_constraint(std::move(function), *set, std::move(name));
    if (!index) return raise_constraint_refusal(index.error());
    return PyLong_FromUnsignedLongLong(*index);
  });
}

PyObject* model_add_constraints(PyObject* self, PyObject* args, PyObject* kwargs) {
  std::array<PyObject*, 6> objects{nullptr, nullptr, nullptr, nullptr, nullptr, Py_None};
  if (!parse_arguments<kAddConstraintsParameters>(args, kwargs, objects)) return nullptr;
  return with_model<Access::Exclusive>(self, [&](auto& optimizer) -> PyObject* {
    BatchArguments batch;
    if (!convert_batch(objects, batch)) return nullptr;
    const std::size_t count = batch.count();
    std::vector<ScalarFunctionType> functions;
    std::vector<ScalarSetType> sets;
    functions.reserve(count);
    sets.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      functions.emplace_back(affine(batch.vars.values.data() + batch.vars.begin_of(i), batch.vars.length_of(i),
                                    batch.coeffs.values.data() + batch.coeffs.begin_of(i), batch.coeffs.length_of(i),
                                    batch.consts[i]));
      if (!check_known_variables(std::get<kesto::Affine>(functions.back()), optimizer.var_count())) return nullptr;
      sets.push_back(batch_set(batch.senses[i], batch.rhss[i]));
    }
    if (batch.names) batch.names->resize(count);
    const auto indices = optimizer.add_constraints(std::move(functions), std::move(sets), std::move(batch.names));
    if (!indices) return raise_constraint_refusal(indices.error());
    return index_list(*indices);
  });
}

PyObject* model_set_objective(PyObject* self, PyObject* args, PyObject* kwargs) {
  constexpr const auto& parameters = kSetObjectiveParameters;
  std::array<PyObject*, 4> objects{};
  if (!parse_arguments<parameters>(args, kwargs, objects)) return nullptr;
  auto [vars_obj, coeffs_obj, constant_obj, sense_obj] = objects;
  return with_model<Access::Exclusive>(self, [&](auto& optimizer) -> PyObject* {
    std::vector<std::uint64_t> vars;
    std::vector<double> coeffs;
    double constant = 0.0;
    int sense = 0;
    if (!convert_variable_index_sequence(vars_obj, parameters.arg("vars"), vars) ||
        !convert_real_sequence(coeffs_obj, parameters.arg("coeffs"), coeffs) ||
        !convert_real(constant_obj, parameters.arg("constant"), constant) ||
        !convert_int32(sense_obj, parameters.arg("sense"), sense)) {
      return nullptr;
    }
    auto function = affine(vars.data(), vars.size(), coeffs.data(), coeffs.size(), constant);
    if (!check_known_variables(function, optimizer.var_count())) return nullptr;
    auto result = optimizer.set_objective(std::move(function), sense == 1);
    if (!result) {
      if (const auto* refusal = std::get_if<kesto::SolverRefusal>(&result.error())) {
        return raise_solver_refusal(kObjective, refusal->code);
      }
      return raise_kesto_error(std::get<kesto::KestoError>(result.error()));
    }
    Py_RETURN_NONE;
  });
}

}  // namespace velkin
