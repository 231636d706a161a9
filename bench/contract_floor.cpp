// The contract floor: the floor's work behind the module's own calling convention. Every
// method takes an arguments tuple and a keyword dictionary (METH_VARARGS | METH_KEYWORDS)
// with the module's parameter names and None defaults, and binds them as cheaply as that
// allows: positions from the tuple, keywords matched to names by identity (the interned
// strings a call site passes), by equality otherwise. What remains between the module and
// this floor is the module's own; between this floor and the floor, the convention's.

#include <array>
#include <cstddef>

#include "floor_model.hpp"

namespace velkin_floor {
namespace {

// A method's parameter names, interned once.
template <std::size_t N>
class Keywords {
 public:
  explicit Keywords(const std::array<const char*, N>& names) {
    for (std::size_t i = 0; i < N; ++i) names_[i] = PyUnicode_InternFromString(names[i]);
  }

  // Fills `out` (None where nothing was passed) from a call's tuple and dictionary; false
  // with TypeError set for an unknown keyword or too many positions.
  bool bind(PyObject* args, PyObject* kwargs, std::array<PyObject*, N>& out) const {
    const auto positional = static_cast<std::size_t>(PyTuple_GET_SIZE(args));
    if (positional > N) return refuse();
    for (std::size_t i = 0; i < positional; ++i) out[i] = PyTuple_GET_ITEM(args, static_cast<Py_ssize_t>(i));
    for (std::size_t i = positional; i < N; ++i) out[i] = Py_None;
    if (kwargs == nullptr) return true;
    Py_ssize_t position = 0;
    PyObject *key, *value;
    while (PyDict_Next(kwargs, &position, &key, &value)) {
      const std::size_t slot = slot_of(key);
      if (slot == N) return refuse();
      out[slot] = value;
    }
    return true;
  }

 private:
  std::size_t slot_of(PyObject* key) const {
    for (std::size_t i = 0; i < N; ++i) {
      if (key == names_[i]) return i;
    }
    for (std::size_t i = 0; i < N; ++i) {
      if (PyUnicode_Compare(key, names_[i]) == 0) return i;
    }
    return N;
  }
  static bool refuse() {
    PyErr_SetString(PyExc_TypeError, "the arguments do not bind");
    return false;
  }

  std::array<PyObject*, N> names_{};
};

template <std::size_t N>
Keywords(const std::array<const char*, N>&) -> Keywords<N>;

// The module's parameter names, in its order.
const Keywords<4>& add_variable_keywords() {
  static const Keywords keywords(std::array{"name", "vtype", "lb", "ub"});
  return keywords;
}
const Keywords<5>& add_variables_keywords() {
  static const Keywords keywords(std::array{"n", "names", "vtypes", "lbs", "ubs"});
  return keywords;
}
const Keywords<6>& add_constraint_keywords() {
  static const Keywords keywords(std::array{"vars", "coeffs", "constant", "sense", "rhs", "name"});
  return keywords;
}
const Keywords<6>& add_constraints_keywords() {
  static const Keywords keywords(std::array{"fs_vars", "fs_coeffs", "fs_consts", "senses", "rhss", "names"});
  return keywords;
}
const Keywords<4>& set_objective_keywords() {
  static const Keywords keywords(std::array{"vars", "coeffs", "constant", "sense"});
  return keywords;
}
const Keywords<1>& get_var_value_keywords() {
  static const Keywords keywords(std::array{"var_id"});
  return keywords;
}
const Keywords<2>& set_optimizer_attr_keywords() {
  static const Keywords keywords(std::array{"attr", "value"});
  return keywords;
}

PyObject* contract_add_variable(PyObject* self, PyObject* args, PyObject* kwargs) {
  std::array<PyObject*, 4> a;
  if (!add_variable_keywords().bind(args, kwargs, a)) return nullptr;
  return add_variable(self_of(self), a[2], a[3]);
}

PyObject* contract_add_variables(PyObject* self, PyObject* args, PyObject* kwargs) {
  std::array<PyObject*, 5> a;
  if (!add_variables_keywords().bind(args, kwargs, a)) return nullptr;
  return add_variables(self_of(self), a[0], a[3], a[4], a[2]);
}

PyObject* contract_add_constraint(PyObject* self, PyObject* args, PyObject* kwargs) {
  std::array<PyObject*, 6> a;
  if (!add_constraint_keywords().bind(args, kwargs, a)) return nullptr;
  return add_constraint(self_of(self), a[0], a[1], a[2], a[3], a[4]);
}

PyObject* contract_add_constraints(PyObject* self, PyObject* args, PyObject* kwargs) {
  std::array<PyObject*, 6> a;
  if (!add_constraints_keywords().bind(args, kwargs, a)) return nullptr;
  return add_constraints(self_of(self), a[0], a[1], a[2], a[3], a[4]);
}

PyObject* contract_set_objective(PyObject* self, PyObject* args, PyObject* kwargs) {
  std::array<PyObject*, 4> a;
  if (!set_objective_keywords().bind(args, kwargs, a)) return nullptr;
  return set_objective(self_of(self), a[0], a[1], a[2], a[3]);
}

PyObject* contract_get_var_value(PyObject* self, PyObject* args, PyObject* kwargs) {
  std::array<PyObject*, 1> a;
  if (!get_var_value_keywords().bind(args, kwargs, a)) return nullptr;
  return get_var_value(self_of(self), a[0]);
}

// Only "Silent" is taken: the one attribute the bench sets.
PyObject* contract_set_optimizer_attr(PyObject* self, PyObject* args, PyObject* kwargs) {
  std::array<PyObject*, 2> a;
  if (!set_optimizer_attr_keywords().bind(args, kwargs, a)) return nullptr;
  return silence(self_of(self));
}

PyObject* contract_get_objective_value(PyObject* self, PyObject*) { return get_objective_value(self_of(self)); }
PyObject* contract_optimize(PyObject* self, PyObject*) { return optimize(self_of(self)); }
PyObject* contract_update(PyObject* self, PyObject*) { return update(self_of(self)); }

PyCFunction keywords_method(PyObject* (*function)(PyObject*, PyObject*, PyObject*)) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

constexpr int kKeywords = METH_VARARGS | METH_KEYWORDS;

PyMethodDef contract_methods[] = {
    {"add_variable", keywords_method(contract_add_variable), kKeywords, nullptr},
    {"add_variables", keywords_method(contract_add_variables), kKeywords, nullptr},
    {"add_constraint", keywords_method(contract_add_constraint), kKeywords, nullptr},
    {"add_constraints", keywords_method(contract_add_constraints), kKeywords, nullptr},
    {"set_objective", keywords_method(contract_set_objective), kKeywords, nullptr},
    {"update", contract_update, METH_NOARGS, nullptr},
    {"optimize", contract_optimize, METH_NOARGS, nullptr},
    {"get_var_value", keywords_method(contract_get_var_value), kKeywords, nullptr},
    {"get_objective_value", contract_get_objective_value, METH_NOARGS, nullptr},
    {"set_optimizer_attr", keywords_method(contract_set_optimizer_attr), kKeywords, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyTypeObject contract_type{};

}  // namespace

bool add_contract_type(PyObject* module) {
  return add_model_type(module, contract_type, "velkin_floor.ContractModel", contract_methods);
}

}  // namespace velkin_floor
