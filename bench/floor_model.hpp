// The model of the bench's floors: the stand-in opened with dlopen, one environment and one
// model, and the work every floor method does once its arguments are bound: the CPython calls
// that turn the same Python objects into C values, then the same stand-in calls on prepared
// arrays, with no checks, no error messages and no intermediate objects. Errors are not
// reported: the bench feeds the floors valid input only.
//
// Two floors share it: the floor (floor.cpp), whose methods take the fastest calling
// conventions CPython has, and the contract floor (contract_floor.cpp), whose methods take the
// module's own: an arguments tuple and a keyword dictionary, with the module's keyword names.

#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <charconv>
#include <string>
#include <vector>

#include "kesto_solver_gurobi/dynamic/api.hpp"

namespace velkin_floor {

// The stand-in's functions, named as Gurobi names them.
struct Api {
#define FLOOR_DECLARE_ENTRY(name) decltype(&::name) name = nullptr;
  KESTO_GUROBI_FUNCTIONS(FLOOR_DECLARE_ENTRY)
#undef FLOOR_DECLARE_ENTRY
};

struct FloorModel {
  PyObject_HEAD void* library;
  Api api;
  GRBenv* env;
  GRBmodel* model;
  long long vars;
  long long constrs;
  std::vector<int>* indices;    // reused scratch for one row
  std::vector<double>* values;  // reused scratch for one row
};

// A C-contiguous buffer, released when it goes out of scope.
class Buffer {
 public:
  explicit Buffer(PyObject* object) : ok_(PyObject_GetBuffer(object, &view_, PyBUF_C_CONTIGUOUS) == 0) {
    if (!ok_) PyErr_Clear();
  }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  ~Buffer() {
    if (ok_) PyBuffer_Release(&view_);
  }
  template <class T>
  T* data() const {
    return static_cast<T*>(view_.buf);
  }
  Py_ssize_t items(std::size_t size) const { return ok_ ? view_.len / static_cast<Py_ssize_t>(size) : 0; }
  Py_ssize_t extent(int axis) const { return ok_ && view_.ndim > axis ? view_.shape[axis] : 0; }

 private:
  Py_buffer view_{};
  bool ok_;
};

// Names "<prefix><first>", "<prefix><first + 1>", ... packed into one buffer.
struct IndexNames {
  std::string chars;
  std::vector<char*> names;

  IndexNames(char prefix, long long first, std::size_t count) : chars(count * 12, '\0'), names(count) {
    char* at = chars.data();
    for (std::size_t i = 0; i < count; ++i) {
      names[i] = at;
      at[0] = prefix;
      char* end = std::to_chars(at + 1, at + 12, first + static_cast<long long>(i)).ptr;
      *end = '\0';
      at = end + 1;
    }
  }
};

inline FloorModel* self_of(PyObject* self) { return reinterpret_cast<FloorModel*>(self); }

// tp_new and tp_dealloc of both floors' types: FloorModel(dll_path) opens the stand-in.
PyObject* floor_new(PyTypeObject* type, PyObject* args, PyObject* kwargs);
void floor_dealloc(PyObject* object);

// The methods' work on bound arguments (borrowed; None where the module's method takes None
// for a default). Each returns what the module's method returns.
PyObject* add_variables(FloorModel* self, PyObject* n, PyObject* lbs, PyObject* ubs, PyObject* vtypes);
PyObject* add_variable(FloorModel* self, PyObject* lb, PyObject* ub);
PyObject* add_constraint(FloorModel* self, PyObject* vars, PyObject* coeffs, PyObject* constant, PyObject* sense,
                         PyObject* rhs);
PyObject* add_constraints(FloorModel* self, PyObject* fs_vars, PyObject* fs_coeffs, PyObject* fs_consts,
                          PyObject* senses, PyObject* rhss);
PyObject* set_objective(FloorModel* self, PyObject* vars, PyObject* coeffs, PyObject* constant, PyObject* sense);
PyObject* get_var_value(FloorModel* self, PyObject* index);
PyObject* get_objective_value(FloorModel* self);
PyObject* optimize(FloorModel* self);
PyObject* update(FloorModel* self);
PyObject* silence(FloorModel* self);

// Readies `type` as a model type named `name` ("velkin_floor.<Class>") with `methods` and
// adds it to the module; false with an error set.
bool add_model_type(PyObject* module, PyTypeObject& type, const char* name, PyMethodDef* methods);

// Adds the contract floor's type, ContractModel, to the module; false with an error set.
bool add_contract_type(PyObject* module);

}  // namespace velkin_floor
