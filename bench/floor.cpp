// The floor of the benchmark: the least work any Python interface must do for each workload.
// It reads the same Python objects (the CPython calls that turn items into C values) and
// makes the same stand-in calls on prepared arrays, with no checks, no error messages and
// no intermediate objects. Errors are not reported: the bench feeds it valid input only.
//
// Beside it, the batch limit: the stand-in's batch calls (one GRBaddconstrs for all rows, one
// GRBsetdblattrarray for the whole objective) on arrays prepared before the clock starts,
// the least any interface could pay if it were not bound to one call per row or term.
//
// Built by bench/CMakeLists.txt (the velkin_floor target), which bench/run.py configures at
// run time for the running interpreter.

#define PY_SSIZE_T_CLEAN
#include <Python.h>
#include <dlfcn.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "kesto_solver_gurobi/dynamic/api.hpp"

namespace {

// The stand-in's functions, named as Gurobi names them.
struct Api {
#define FLOOR_DECLARE_ENTRY(name) decltype(&::name) name = nullptr;
  KESTO_GUROBI_FUNCTIONS(FLOOR_DECLARE_ENTRY)
#undef FLOOR_DECLARE_ENTRY
};

template <class F>
bool resolve(void* library, const char* name, F& function) {
  function = reinterpret_cast<F>(dlsym(library, name));
  return function != nullptr;
}

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

// Name "<prefix><number>" written into `out` (at least 24 bytes).
void index_name(char* out, char prefix, long long number) {
  out[0] = prefix;
  auto end = std::to_chars(out + 1, out + 23, number).ptr;
  *end = '\0';
}

inline double real(PyObject* item) {
  return PyFloat_CheckExact(item) ? PyFloat_AS_DOUBLE(item) : PyFloat_AsDouble(item);
}

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

// Reads a list (or tuple) of floats, or a float64 buffer, into `out`.
void read_reals(PyObject* sequence, std::vector<double>& out) {
  out.clear();
  if (PyList_CheckExact(sequence)) {
    const Py_ssize_t n = PyList_GET_SIZE(sequence);
    out.resize(static_cast<std::size_t>(n));
    for (Py_ssize_t i = 0; i < n; ++i) out[static_cast<std::size_t>(i)] = real(PyList_GET_ITEM(sequence, i));
    return;
  }
  const Buffer view(sequence);
  out.resize(static_cast<std::size_t>(view.items(sizeof(double))));
  if (!out.empty()) std::memcpy(out.data(), view.data<double>(), out.size() * sizeof(double));
}

// Reads a list of ints, or an int64 buffer, into `out`.
void read_indices(PyObject* sequence, std::vector<int>& out) {
  out.clear();
  if (PyList_CheckExact(sequence)) {
    const Py_ssize_t n = PyList_GET_SIZE(sequence);
    out.resize(static_cast<std::size_t>(n));
    for (Py_ssize_t i = 0; i < n; ++i) {
      out[static_cast<std::size_t>(i)] = static_cast<int>(PyLong_AsLong(PyList_GET_ITEM(sequence, i)));
    }
    return;
  }
  const Buffer view(sequence);
  out.resize(static_cast<std::size_t>(view.items(sizeof(std::int64_t))));
  const std::int64_t* data = view.data<std::int64_t>();
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<int>(data[i]);
}

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

PyObject* index_range(long long first, long long count) {
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(count));
  if (list == nullptr) return nullptr;
  for (long long i = 0; i < count; ++i)
    PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), PyLong_FromLongLong(first + i));
  return list;
}

FloorModel* self_of(PyObject* self) { return reinterpret_cast<FloorModel*>(self); }

PyObject* floor_new(PyTypeObject* type, PyObject* args, PyObject*) {
  const char* path = nullptr;
  if (!PyArg_ParseTuple(args, "s", &path)) return nullptr;
  void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    PyErr_SetString(PyExc_OSError, dlerror());
    return nullptr;
  }
  Api api{};
  bool ok = true;
#define FLOOR_RESOLVE_ENTRY(name) ok = ok && resolve(library, #name, api.name);
  KESTO_GUROBI_FUNCTIONS(FLOOR_RESOLVE_ENTRY)
#undef FLOOR_RESOLVE_ENTRY
  GRBenv* env = nullptr;
  GRBmodel* model = nullptr;
  if (!ok || api.GRBloadenv(&env, nullptr) != 0 || api.GRBstartenv(env) != 0 ||
      api.GRBnewmodel(env, &model, "model", 0, nullptr, nullptr, nullptr, nullptr, nullptr) != 0) {
    if (env != nullptr) api.GRBfreeenv(env);
    dlclose(library);
    PyErr_SetString(PyExc_RuntimeError, "the stand-in could not be opened");
    return nullptr;
  }
  PyObject* object = type->tp_alloc(type, 0);
  if (object == nullptr) return nullptr;
  FloorModel* self = self_of(object);
  self->library = library;
  self->api = api;
  self->env = env;
  self->model = model;
  self->vars = 0;
  self->constrs = 0;
  self->indices = new std::vector<int>();
  self->values = new std::vector<double>();
  return object;
}

void floor_dealloc(PyObject* object) {
  FloorModel* self = self_of(object);
  if (self->model != nullptr) self->api.GRBfreemodel(self->model);
  if (self->env != nullptr) self->api.GRBfreeenv(self->env);
  delete self->indices;
  delete self->values;
  // The stand-in stays loaded: the module keeps its own handle to it as well.
  Py_TYPE(object)->tp_free(object);
}

// add_variables(n, lbs, ubs, vtypes): one GRBaddvars with generated names.
PyObject* floor_add_variables(PyObject* object, PyObject* const* args, Py_ssize_t nargs) {
  FloorModel* self = self_of(object);
  if (nargs != 4) {
    PyErr_SetString(PyExc_TypeError, "add_variables(n, lbs, ubs, vtypes)");
    return nullptr;
  }
  const long long n = PyLong_AsLongLong(args[0]);
  std::vector<double> lbs, ubs;
  read_reals(args[1], lbs);
  read_reals(args[2], ubs);
  std::vector<char> types(static_cast<std::size_t>(n), GRB_CONTINUOUS);
  if (PyList_CheckExact(args[3])) {
    for (long long i = 0; i < n; ++i) {
      types[static_cast<std::size_t>(i)] =
          static_cast<char>(PyUnicode_READ_CHAR(PyList_GET_ITEM(args[3], static_cast<Py_ssize_t>(i)), 0));
    }
  }
  IndexNames names('x', self->vars, static_cast<std::size_t>(n));
  self->api.GRBaddvars(self->model, static_cast<int>(n), 0, nullptr, nullptr, nullptr, nullptr, lbs.data(), ubs.data(),
                       types.data(), names.names.data());
  PyObject* result = index_range(self->vars, n);
  self->vars += n;
  return result;
}

// add_variable(lb=..., ub=...): one GRBaddvars for one variable.
PyObject* floor_add_variable(PyObject* object, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  FloorModel* self = self_of(object);
  double bounds[2] = {0.0, GRB_INFINITY};
  const Py_ssize_t positional = PyVectorcall_NARGS(nargs);
  for (Py_ssize_t i = 0; i < positional && i < 2; ++i) bounds[i] = real(args[i]);
  if (kwnames != nullptr) {
    for (Py_ssize_t k = 0; k < PyTuple_GET_SIZE(kwnames); ++k) {
      const char* key = PyUnicode_AsUTF8(PyTuple_GET_ITEM(kwnames, k));
      bounds[key[0] == 'u' ? 1 : 0] = real(args[positional + k]);
    }
  }
  char name[24];
  index_name(name, 'x', self->vars);
  char* names[1] = {name};
  char type = GRB_CONTINUOUS;
  self->api.GRBaddvars(self->model, 1, 0, nullptr, nullptr, nullptr, nullptr, &bounds[0], &bounds[1], &type, names);
  return PyLong_FromLongLong(self->vars++);
}

// One GRBaddconstr of `count` terms, its constant, sense and right-hand side read from Python.
void add_row_terms(FloorModel* self, int count, int* indices, double* values, PyObject* constant, PyObject* sense,
                   PyObject* rhs) {
  const double offset = real(constant);
  const double bound = real(rhs);
  const char sign = static_cast<char>(PyUnicode_READ_CHAR(sense, 0));
  char name[24];
  index_name(name, 'c', self->constrs++);
  self->api.GRBaddconstr(self->model, count, indices, values, sign, bound - offset, name);
}

void add_row(FloorModel* self, PyObject* vars, PyObject* coeffs, PyObject* constant, PyObject* sense, PyObject* rhs) {
  read_indices(vars, *self->indices);
  read_reals(coeffs, *self->values);
  add_row_terms(self, static_cast<int>(self->indices->size()), self->indices->data(), self->values->data(), constant,
                sense, rhs);
}

// Rows as two 2-D arrays (int64 indices, float64 coefficients): one GRBaddconstr per row,
// the coefficients passed where they lie.
PyObject* add_rows_2d(FloorModel* self, PyObject* const* args) {
  const Buffer vars(args[0]);
  const Buffer coeffs(args[1]);
  const Py_ssize_t rows = vars.extent(0);
  const Py_ssize_t terms = vars.extent(1);
  const long long first = self->constrs;
  std::vector<int>& indices = *self->indices;
  indices.resize(static_cast<std::size_t>(terms));
  for (Py_ssize_t i = 0; i < rows; ++i) {
    const std::int64_t* row = vars.data<std::int64_t>() + i * terms;
    for (Py_ssize_t k = 0; k < terms; ++k) indices[static_cast<std::size_t>(k)] = static_cast<int>(row[k]);
    add_row_terms(self, static_cast<int>(terms), indices.data(), coeffs.data<double>() + i * terms,
                  PyList_GET_ITEM(args[2], i), PyList_GET_ITEM(args[3], i), PyList_GET_ITEM(args[4], i));
  }
  return index_range(first, rows);
}

// add_constraints(fs_vars, fs_coeffs, fs_consts, senses, rhss): one GRBaddconstr per row.
PyObject* floor_add_constraints(PyObject* object, PyObject* const* args, Py_ssize_t nargs) {
  FloorModel* self = self_of(object);
  if (nargs != 5) {
    PyErr_SetString(PyExc_TypeError, "add_constraints(fs_vars, fs_coeffs, fs_consts, senses, rhss)");
    return nullptr;
  }
  if (!PyList_CheckExact(args[0])) return add_rows_2d(self, args);
  const Py_ssize_t rows = PyList_GET_SIZE(args[0]);
  const long long first = self->constrs;
  for (Py_ssize_t i = 0; i < rows; ++i) {
    add_row(self, PyList_GET_ITEM(args[0], i), PyList_GET_ITEM(args[1], i), PyList_GET_ITEM(args[2], i),
            PyList_GET_ITEM(args[3], i), PyList_GET_ITEM(args[4], i));
  }
  return index_range(first, rows);
}

// add_constraint(vars, coeffs, constant, sense, rhs): one GRBaddconstr.
PyObject* floor_add_constraint(PyObject* object, PyObject* const* args, Py_ssize_t nargs) {
  FloorModel* self = self_of(object);
  if (nargs != 5) {
    PyErr_SetString(PyExc_TypeError, "add_constraint(vars, coeffs, constant, sense, rhs)");
    return nullptr;
  }
  const long long index = self->constrs;
  add_row(self, args[0], args[1], args[2], args[3], args[4]);
  return PyLong_FromLongLong(index);
}

// set_objective(vars, coeffs, constant, sense): objective cleared in one array call, then one
// GRBsetdblattrelement per term, the constant and the sense.
PyObject* floor_set_objective(PyObject* object, PyObject* const* args, Py_ssize_t nargs) {
  FloorModel* self = self_of(object);
  if (nargs != 4) {
    PyErr_SetString(PyExc_TypeError, "set_objective(vars, coeffs, constant, sense)");
    return nullptr;
  }
  std::vector<int> vars;
  std::vector<double> coeffs;
  read_indices(args[0], vars);
  read_reals(args[1], coeffs);
  const double constant = real(args[2]);
  const long sense = PyLong_AsLong(args[3]);
  std::vector<double> zeros(static_cast<std::size_t>(self->vars), 0.0);
  self->api.GRBsetdblattrarray(self->model, GRB_DBL_ATTR_OBJ, 0, static_cast<int>(self->vars), zeros.data());
  for (std::size_t k = 0; k < vars.size(); ++k) {
    self->api.GRBsetdblattrelement(self->model, GRB_DBL_ATTR_OBJ, vars[k], coeffs[k]);
  }
  self->api.GRBsetdblattr(self->model, GRB_DBL_ATTR_OBJCON, constant);
  self->api.GRBsetintattr(self->model, GRB_INT_ATTR_MODELSENSE, sense == 1 ? GRB_MAXIMIZE : GRB_MINIMIZE);
  Py_RETURN_NONE;
}

// add_constraints_batch(beg, ind, val, sense, rhs): all rows in one GRBaddconstrs, from
// prepared CSR arrays (int32 row starts and indices, float64 values), sense characters as
// bytes and float64 right-hand sides, with the same generated names.
PyObject* floor_add_constraints_batch(PyObject* object, PyObject* const* args, Py_ssize_t nargs) {
  FloorModel* self = self_of(object);
  if (nargs != 5) {
    PyErr_SetString(PyExc_TypeError, "add_constraints_batch(beg, ind, val, sense, rhs)");
    return nullptr;
  }
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
PyObject* floor_set_objective_batch(PyObject* object, PyObject* const* args, Py_ssize_t nargs) {
  FloorModel* self = self_of(object);
  if (nargs != 3) {
    PyErr_SetString(PyExc_TypeError, "set_objective_batch(coeffs, constant, sense)");
    return nullptr;
  }
  const Buffer coeffs(args[0]);
  self->api.GRBsetdblattrarray(self->model, GRB_DBL_ATTR_OBJ, 0, static_cast<int>(coeffs.items(sizeof(double))),
                               coeffs.data<double>());
  self->api.GRBsetdblattr(self->model, GRB_DBL_ATTR_OBJCON, real(args[1]));
  self->api.GRBsetintattr(self->model, GRB_INT_ATTR_MODELSENSE,
                          PyLong_AsLong(args[2]) == 1 ? GRB_MAXIMIZE : GRB_MINIMIZE);
  Py_RETURN_NONE;
}

// get_var_value(i): one GRBgetdblattrelement.
PyObject* floor_get_var_value(PyObject* object, PyObject* index) {
  FloorModel* self = self_of(object);
  double value = 0.0;
  const int column = static_cast<int>(PyLong_AsLong(index));
  if (self->api.GRBgetdblattrelement(self->model, GRB_DBL_ATTR_X, column, &value) != 0) Py_RETURN_NONE;
  return PyFloat_FromDouble(value);
}

PyObject* floor_optimize(PyObject* object, PyObject*) {
  FloorModel* self = self_of(object);
  self->api.GRBsetintparam(self->api.GRBgetenv(self->model), GRB_INT_PAR_OUTPUTFLAG, 0);
  return PyLong_FromLong(self->api.GRBoptimize(self->model));
}

PyObject* floor_update(PyObject* object, PyObject*) {
  FloorModel* self = self_of(object);
  return PyLong_FromLong(self->api.GRBupdatemodel(self->model));
}

PyMethodDef floor_methods[] = {
    {"add_variables", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(floor_add_variables)), METH_FASTCALL,
     nullptr},
    {"add_variable", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(floor_add_variable)),
     METH_FASTCALL | METH_KEYWORDS, nullptr},
    {"add_constraints", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(floor_add_constraints)),
     METH_FASTCALL, nullptr},
    {"add_constraint", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(floor_add_constraint)), METH_FASTCALL,
     nullptr},
    {"set_objective", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(floor_set_objective)), METH_FASTCALL,
     nullptr},
    {"add_constraints_batch", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(floor_add_constraints_batch)),
     METH_FASTCALL, nullptr},
    {"set_objective_batch", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(floor_set_objective_batch)),
     METH_FASTCALL, nullptr},
    {"get_var_value", floor_get_var_value, METH_O, nullptr},
    {"optimize", floor_optimize, METH_NOARGS, nullptr},
    {"update", floor_update, METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyTypeObject floor_type = [] {
  PyTypeObject type{};
  Py_SET_REFCNT(&type, 1);
  type.tp_name = "velkin_floor.FloorModel";
  type.tp_basicsize = sizeof(FloorModel);
  type.tp_dealloc = floor_dealloc;
  type.tp_flags = Py_TPFLAGS_DEFAULT;
  type.tp_methods = floor_methods;
  type.tp_new = floor_new;
  return type;
}();

PyModuleDef floor_module = {
    PyModuleDef_HEAD_INIT, "velkin_floor", nullptr, -1, nullptr, nullptr, nullptr, nullptr, nullptr};

}  // namespace

PyMODINIT_FUNC PyInit_velkin_floor() {
  if (PyType_Ready(&floor_type) != 0) return nullptr;
  PyObject* module = PyModule_Create(&floor_module);
  if (module == nullptr) return nullptr;
  Py_INCREF(&floor_type);
  if (PyModule_AddObject(module, "FloorModel", reinterpret_cast<PyObject*>(&floor_type)) != 0) {
    Py_DECREF(&floor_type);
    Py_DECREF(module);
    return nullptr;
  }
  return module;
}
