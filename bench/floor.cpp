// The floor of the benchmark: the least work any Python interface must do for each workload,
// with the fastest calling conventions CPython has (vectorcall, one object), so that
// nothing is spent on binding arguments. The work itself is in floor_model.cpp.
//
// Beside it, the batch limit: the stand-in's batch calls (one GRBaddconstrs for all rows, one
// GRBsetdblattrarray for the whole objective) on arrays prepared before the clock starts,
// the least any interface could pay if it were not bound to one call per row or term.
//
// Built by bench/CMakeLists.txt (the velkin_floor target), which bench/run.py configures at
// run time for the running interpreter. The module holds FloorModel, and the contract floor's
// ContractModel (contract_floor.cpp).

#include "floor_model.hpp"

namespace velkin_floor {
namespace {

bool arity(Py_ssize_t nargs, Py_ssize_t expected, const char* signature) {
  if (nargs == expected) return true;
  PyErr_SetString(PyExc_TypeError, signature);
  return false;
}

// add_variables(n, lbs, ubs, vtypes)
PyObject* fast_add_variables(PyObject* object, PyObject* const* args, Py_ssize_t nargs) {
  if (!arity(nargs, 4, "add_variables(n, lbs, ubs, vtypes)")) return nullptr;
  return add_variables(self_of(object), args[0], args[1], args[2], args[3]);
}

// add_variable(lb=..., ub=...)
PyObject* fast_add_variable(PyObject* object, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  PyObject* bounds[2] = {Py_None, Py_None};
  const Py_ssize_t positional = PyVectorcall_NARGS(nargs);
  for (Py_ssize_t i = 0; i < positional && i < 2; ++i) bounds[i] = args[i];
  if (kwnames != nullptr) {
    for (Py_ssize_t k = 0; k < PyTuple_GET_SIZE(kwnames); ++k) {
      const char* key = PyUnicode_AsUTF8(PyTuple_GET_ITEM(kwnames, k));
      bounds[key[0] == 'u' ? 1 : 0] = args[positional + k];
    }
  }
  return add_variable(self_of(object), bounds[0], bounds[1]);
}

// add_constraints(fs_vars, fs_coeffs, fs_consts, senses, rhss)
PyObject* fast_add_constraints(PyObject* object, PyObject* const* args, Py_ssize_t nargs) {
  if (!arity(nargs, 5, "add_constraints(fs_vars, fs_coeffs, fs_consts, senses, rhss)")) return nullptr;
  return add_constraints(self_of(object), args[0], args[1], args[2], args[3], args[4]);
}

// add_constraint(vars, coeffs, constant, sense, rhs)
PyObject* fast_add_constraint(PyObject* object, PyObject* const* args, Py_ssize_t nargs) {
  if (!arity(nargs, 5, "add_constraint(vars, coeffs, constant, sense, rhs)")) return nullptr;
  return add_constraint(self_of(object), args[0], args[1], args[2], args[3], args[4]);
}

// set_objective(vars, coeffs, constant, sense)
PyObject* fast_set_objective(PyObject* object, PyObject* const* args, Py_ssize_t nargs) {
  if (!arity(nargs, 4, "set_objective(vars, coeffs, constant, sense)")) return nullptr;
  return set_objective(self_of(object), args[0], args[1], args[2], args[3]);
}

// add_constraints_batch(beg, ind, val, sense, rhs): all rows in one GRBaddconstrs, from
// prepared CSR arrays (int32 row starts and indices, float64 values), sense characters as
// bytes and float64 right-hand sides, with the same generated names.
PyObject* add_constraints_batch(PyObject* object, PyObject* const* args, Py_ssize_t nargs) {
  if (!arity(nargs, 5, "add_constraints_batch(beg, ind, val, sense, rhs)")) return nullptr;
  FloorModel* self = self_of(object);
  const Buffer beg(args[0]);
  const Buffer ind(args[1]);
  const Buffer val(args[2]);
  const Buffer sense(args[3]);
  const Buffer rhs(args[4]);
  const Py_ssize_t rows = beg.items(sizeof(int));
  IndexNames names('c', self->constrs, static_cast<std::size_t>(rows));
  self->api.GRBaddconstrs(self->model, static_cast<int>(rows), static_cast<int>(ind.items(sizeof(int))),
                          beg.data<int>(), ind.data<int>(), val.data<double>(), sense.data<char>(), rhs.data<double>(),
                          names.names.data());
  self->constrs += rows;
  Py_RETURN_NONE;
}

// set_objective_batch(coeffs, constant, sense): the whole objective in one GRBsetdblattrarray
// from a float64 array of one coefficient per variable, then the constant and the sense.
PyObject* set_objective_batch(PyObject* object, PyObject* const* args, Py_ssize_t nargs) {
  if (!arity(nargs, 3, "set_objective_batch(coeffs, constant, sense)")) return nullptr;
  FloorModel* self = self_of(object);
  const Buffer coeffs(args[0]);
  self->api.GRBsetdblattrarray(self->model, GRB_DBL_ATTR_OBJ, 0, static_cast<int>(coeffs.items(sizeof(double))),
                               coeffs.data<double>());
  self->api.GRBsetdblattr(self->model, GRB_DBL_ATTR_OBJCON, PyFloat_AsDouble(args[1]));
  self->api.GRBsetintattr(self->model, GRB_INT_ATTR_MODELSENSE,
                          PyLong_AsLong(args[2]) == 1 ? GRB_MAXIMIZE : GRB_MINIMIZE);
  Py_RETURN_NONE;
}

PyObject* fast_get_var_value(PyObject* object, PyObject* index) { return get_var_value(self_of(object), index); }
PyObject* fast_get_objective_value(PyObject* object, PyObject*) { return get_objective_value(self_of(object)); }
PyObject* fast_optimize(PyObject* object, PyObject*) { return optimize(self_of(object)); }
PyObject* fast_update(PyObject* object, PyObject*) { return update(self_of(object)); }
PyObject* fast_silence(PyObject* object, PyObject*) { return silence(self_of(object)); }

template <class F>
PyCFunction method(F function) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

PyMethodDef floor_methods[] = {
    {"add_variables", method(fast_add_variables), METH_FASTCALL, nullptr},
    {"add_variable", method(fast_add_variable), METH_FASTCALL | METH_KEYWORDS, nullptr},
    {"add_constraints", method(fast_add_constraints), METH_FASTCALL, nullptr},
    {"add_constraint", method(fast_add_constraint), METH_FASTCALL, nullptr},
    {"set_objective", method(fast_set_objective), METH_FASTCALL, nullptr},
    {"add_constraints_batch", method(add_constraints_batch), METH_FASTCALL, nullptr},
    {"set_objective_batch", method(set_objective_batch), METH_FASTCALL, nullptr},
    {"get_var_value", fast_get_var_value, METH_O, nullptr},
    {"get_objective_value", fast_get_objective_value, METH_NOARGS, nullptr},
    {"optimize", fast_optimize, METH_NOARGS, nullptr},
    {"update", fast_update, METH_NOARGS, nullptr},
    {"silence", fast_silence, METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyTypeObject floor_type{};

PyModuleDef floor_module = {
    PyModuleDef_HEAD_INIT, "velkin_floor", nullptr, -1, nullptr, nullptr, nullptr, nullptr, nullptr};

}  // namespace
}  // namespace velkin_floor

PyMODINIT_FUNC PyInit_velkin_floor() {
  using namespace velkin_floor;
  PyObject* module = PyModule_Create(&floor_module);
  if (module == nullptr) return nullptr;
  if (!add_model_type(module, floor_type, "velkin_floor.FloorModel", floor_methods)) {
    Py_DECREF(module);
    return nullptr;
  }
  if (!add_contract_type(module)) {
    Py_DECREF(module);
    return nullptr;
  }
  return module;
}
