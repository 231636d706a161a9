// Model.update, optimize, get_var_value, get_objective_value and
// set_optimizer_attr.

#include <string_view>

#include "convert.hpp"
#include "method_parameters.hpp"
#include "model.hpp"
#include "refusals.hpp"

namespace velkin {
namespace {

using kesto::AttrValue;
using kesto::OptimizerAttr;

constexpr const char* kOptimizationError = "Optimization error: ";
constexpr const char* kUnsupportedValue = "Unsupported attribute value type";

PyObject* optional_float(std::optional<double> value) {
  if (!value) Py_RETURN_NONE;
  return PyFloat_FromDouble(*value);
}

OptimizerAttr optimizer_attr(std::string name) {
  if (name == "Silent") return kesto::optimizer_attr::Silent{};
  if (name == "TimeLimit") return kesto::optimizer_attr::TimeLimit{};
  return kesto::optimizer_attr::RawParameter{std::move(name)};
}

bool is_numpy_bool(PyObject* object) {
  const std::string_view name = Py_TYPE(object)->tp_name;
  return name == "numpy.bool_" || name == "numpy.bool";
}

// Each step either classifies the value or fails quietly; a failed step's
// exception is discarded and the next kind is tried.
std::optional<AttrValue> as_bool(PyObject* object) {
  if (PyBool_Check(object)) return kesto::attr_value::Bool{object == Py_True};
  if (!is_numpy_bool(object)) return std::nullopt;
  const int truth = PyObject_IsTrue(object);
  if (truth < 0) {
    PyErr_Clear();
    return std::nullopt;
  }
  return kesto::attr_value::Bool{truth == 1};
}

std::optional<AttrValue> as_int(PyObject* object) {
  if (!PyLong_Check(object) && !PyIndex_Check(object)) return std::nullopt;
  PyRef number = PyRef::steal(PyNumber_Index(object));
  if (!number) {
    PyErr_Clear();
    return std::nullopt;
  }
  int overflow = 0;
  const long long value = PyLong_AsLongLongAndOverflow(number.get(), &overflow);
  if (overflow != 0 || (value == -1 && PyErr_Occurred())) {
    PyErr_Clear();
    return std::nullopt;
  }
  return kesto::attr_value::Int{value};
}

std::optional<AttrValue> as_float(PyObject* object) {
  if (PyUnicode_Check(object)) return std::nullopt;
  double value = 0.0;
  if (!convert_real(object, kSetOptimizerAttrParameters.arg("value"), value)) {
    PyErr_Clear();
    return std::nullopt;
  }
  return kesto::attr_value::Float{value};
}

std::optional<AttrValue> as_text(PyObject* object) {
  std::string text;
  if (!convert_text(object, kSetOptimizerAttrParameters.arg("value"), text)) {
    PyErr_Clear();
    return std::nullopt;
  }
  return kesto::attr_value::Text{std::move(text)};
}

std::optional<AttrValue> classify(PyObject* object) {
  for (auto step : {as_bool, as_int, as_float, as_text}) {
    if (auto value = step(object)) return value;
  }
  return std::nullopt;
}

// The one non-negative exact int of a call get_var_value(i), or nothing.
std::optional<std::uint64_t> plain_index(PyObject* args, PyObject* kwargs) {
  if (kwargs != nullptr || PyTuple_GET_SIZE(args) != 1) return std::nullopt;
  PyObject* index = PyTuple_GET_ITEM(args, 0);
  if (!PyLong_CheckExact(index)) return std::nullopt;
  int overflow = 0;
  const long long value = PyLong_AsLongLongAndOverflow(index, &overflow);
  if (overflow != 0 || value < 0) return std::nullopt;
  return static_cast<std::uint64_t>(value);
}

// Whether `object` is an int of more than 64 bits, which names no variable
// just as one beyond Gurobi's int range does.
bool beyond_any_index(PyObject* object) {
  if (!PyLong_Check(object)) return false;
  int overflow = 0;
  PyLong_AsLongLongAndOverflow(object, &overflow);
  if (overflow <= 0) return false;
  PyLong_AsUnsignedLongLong(object);
  if (!PyErr_Occurred()) return false;
  PyErr_Clear();
  return true;
}

}  // namespace

PyObject* model_update(PyObject* self, PyObject*) {
  return with_model<Access::Exclusive>(self, [](auto& optimizer) -> PyObject* {
    if (auto result = optimizer.update(); !result) return raise_kesto_error(result.error());
    Py_RETURN_NONE;
  });
}

PyObject* model_optimize(PyObject* self, PyObject*) {
  return with_model<Access::Exclusive>(self, [](auto& optimizer) -> PyObject* {
    auto status = optimizer.optimize();
    if (!status) return raise_kesto_error(status.error(), kOptimizationError);
    return PyLong_FromLong(static_cast<long>(*status));
  });
}

// The common call, one exact int by position, skips the binder and the
// generic conversion, and reads the value without taking the borrow flag:
// no Python code runs until it has been read. Every other call takes them,
// with their refusals.
PyObject* model_get_var_value(PyObject* self, PyObject* args, PyObject* kwargs) {
  if (const std::optional<std::uint64_t> var_id = plain_index(args, kwargs)) {
    ModelState& state = model_state(self);
    if (!state.borrow.shared_free()) {
      PyErr_SetString(PyExc_RuntimeError, kAlreadyMutablyBorrowed);
      return nullptr;
    }
    return optional_float(state.optimizer.get_var_value(*var_id));
  }
  std::array<PyObject*, 1> objects{};
  if (!parse_arguments<kGetVarValueParameters>(args, kwargs, objects)) return nullptr;
  return with_model<Access::Shared>(self, [&](const auto& optimizer) -> PyObject* {
    if (beyond_any_index(objects[0])) Py_RETURN_NONE;
    std::uint64_t var_id = 0;
    if (!convert_unsigned(objects[0], kGetVarValueParameters.arg("var_id"), var_id)) return nullptr;
    return optional_float(optimizer.get_var_value(var_id));
  });
}

PyObject* model_get_objective_value(PyObject* self, PyObject*) {
  return with_model<Access::Shared>(
      self, [](const auto& optimizer) -> PyObject* { return optional_float(optimizer.get_objective_value()); });
}

PyObject* model_set_optimizer_attr(PyObject* self, PyObject* args, PyObject* kwargs) {
  std::array<PyObject*, 2> objects{};
  if (!parse_arguments<kSetOptimizerAttrParameters>(args, kwargs, objects)) return nullptr;
  auto [attr_obj, value_obj] = objects;
  std::optional<std::string> warning;
  PyRef result = PyRef::steal(with_model<Access::Exclusive>(self, [&](auto& optimizer) -> PyObject* {
    std::string attr;
    if (!convert_text(attr_obj, kSetOptimizerAttrParameters.arg("attr"), attr)) return nullptr;
    auto value = classify(value_obj);
    if (!value) {
      PyErr_SetString(PyExc_TypeError, kUnsupportedValue);
      return nullptr;
    }
    auto outcome = optimizer.set_optimizer_attr(optimizer_attr(std::move(attr)), std::move(*value));
    if (!outcome) return raise_kesto_error(outcome.error());
    if (*outcome) warning = unset_parameter_warning(**outcome);
    Py_RETURN_NONE;
  }));
  // Warned once the Model is released: the warnings machinery may run Python
  // code that uses the Model. Under "-W error" the warning is the call's error.
  if (result && warning && PyErr_WarnEx(PyExc_RuntimeWarning, warning->c_str(), 1) < 0) return nullptr;
  return result.release();
}

}  // namespace velkin
