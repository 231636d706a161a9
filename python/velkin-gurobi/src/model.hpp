#pragma once
// The Python class Model: one GurobiOptimizer and a borrow state.

#include <Python.h>

#include <exception>
#include <new>
#include <optional>

#include "borrow.hpp"
#include "kesto_solver_gurobi/wrapper/wrapper.hpp"

namespace velkin {

struct ModelState {
  kesto::gurobi::GurobiOptimizer optimizer;
  BorrowState borrow;
};

struct ModelObject {
  PyObject_HEAD ModelState state;
};

extern PyTypeObject model_type;

// Readies the type on first use; false with an error set on failure.
bool ready_model_type();

inline ModelState& model_state(PyObject* self) { return reinterpret_cast<ModelObject*>(self)->state; }

// Runs `body`, turning C++ allocation failures into MemoryError.
template <class Body>
PyObject* guarded(Body&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return PyErr_NoMemory();
  } catch (const std::length_error&) {
    return PyErr_NoMemory();
  } catch (const std::exception& error) {
    PyErr_SetString(PyExc_RuntimeError, error.what());
    return nullptr;
  }
}

// Takes the Model for the length of a method, then runs `body(optimizer)`.
template <Access kind, class Body>
PyObject* with_model(PyObject* self, Body&& body) {
  ModelState& state = model_state(self);
  auto borrow = Borrow<kind>::take(state.borrow);
  if (!borrow) return nullptr;
  return guarded([&] { return body(state.optimizer); });
}

// Methods, in registration order.
PyObject* model_add_variable(PyObject* self, PyObject* args, PyObject* kwargs);
PyObject* model_add_variables(PyObject* self, PyObject* args, PyObject* kwargs);
PyObject* model_add_constraint(PyObject* self, PyObject* args, PyObject* kwargs);
PyObject* model_add_constraints(PyObject* self, PyObject* args, PyObject* kwargs);
PyObject* model_set_objective(PyObject* self, PyObject* args, PyObject* kwargs);
PyObject* model_update(PyObject* self, PyObject* unused);
PyObject* model_optimize(PyObject* self, PyObject* unused);
PyObject* model_get_var_value(PyObject* self, PyObject* args, PyObject* kwargs);
PyObject* model_get_objective_value(PyObject* self, PyObject* unused);
PyObject* model_set_optimizer_attr(PyObject* self, PyObject* args, PyObject* kwargs);

// Raises RuntimeError with the error's rendering behind `prefix`.
PyObject* raise_kesto_error(const kesto::KestoError& error, const char* prefix = "");

}  // namespace velkin
