#pragma once
// The Python class Model: one GurobiOptimizer and a borrow state.

#include <Python.h>

#include <exception>
#include <new>
#include <optional>
#include <vector>

#include "borrow.hpp"
#include "kesto_solver_gurobi/wrapper/wrapper.hpp"
#include "model_methods.hpp"

namespace velkin {

// add_constraint's row: its converted variables and the row as Gurobi takes
// it, kept from call to call so that adding rows one at a time allocates
// their arrays once.
struct SingleRowArrays {
  std::vector<std::uint64_t> variables;
  kesto::gurobi::GrbRow row;
};

struct ModelState {
  kesto::gurobi::GurobiOptimizer optimizer;
  BorrowState borrow;
  SingleRowArrays single_row;
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

// The calling conventions of the method list.
using KeywordsMethod = PyObject*(PyObject* self, PyObject* args, PyObject* kwargs);
using NoArgumentsMethod = PyObject*(PyObject* self, PyObject* unused);

// The methods, model_<name>, declared from the method list.
#define VELKIN_DECLARE_METHOD(name, Constant, convention, ...) convention##Method model_##name;
VELKIN_MODEL_METHODS(VELKIN_DECLARE_METHOD)
#undef VELKIN_DECLARE_METHOD

}  // namespace velkin
