// The floors' model and the work of their methods once the arguments are bound.

#include "floor_model.hpp"

#include <dlfcn.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>

namespace velkin_floor {
namespace {

template <class F>
bool resolve(void* library, const char* name, F& function) {
  function = reinterpret_cast<F>(dlsym(library, name));
  return function != nullptr;
}

// Name "<prefix><number>" written into `out` (at least 24 bytes).
void index_name(char* out, char prefix, long long number) {
  out[0] = prefix;
  auto end = std::to_chars(out + 1, out + 23, number).ptr;
  *end = '\0';
}

inline double real(PyObject* item) {
  return PyFloat_CheckExact(item) ? PyFloat_AS_DOUBLE(item) : PyFloat_AsDouble(item);
}

// Reads a list of floats, or a float64 buffer, into `out`; None leaves it empty.
void read_reals(PyObject* sequence, std::vector<double>& out) {
  out.clear();
  if (sequence == Py_None) return;
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

PyObject* index_range(long long first, long long count) {
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(count));
  if (list == nullptr) return nullptr;
  for (long long i = 0; i < count; ++i)
    PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), PyLong_FromLongLong(first + i));
  return list;
}

// An empty vector's data may be null, which Gurobi reads as "the default".
double* or_default(std::vector<double>& values) { return values.empty() ? nullptr : values.data(); }

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
PyObject* add_rows_2d(FloorModel* self, PyObject* fs_vars, PyObject* fs_coeffs, PyObject* fs_consts, PyObject* senses,
                      PyObject* rhss) {
  const Buffer vars(fs_vars);
  const Buffer coeffs(fs_coeffs);
  const Py_ssize_t rows = vars.extent(0);
  const Py_ssize_t terms = vars.extent(1);
  const long long first = self->constrs;
  std::vector<int>& indices = *self->indices;
  indices.resize(static_cast<std::size_t>(terms));
  for (Py_ssize_t i = 0; i < rows; ++i) {
    const std::int64_t* row = vars.data<std::int64_t>() + i * terms;
    for (Py_ssize_t k = 0; k < terms; ++k) indices[static_cast<std::size_t>(k)] = static_cast<int>(row[k]);
    add_row_terms(self, static_cast<int>(terms), indices.data(), coeffs.data<double>() + i * terms,
                  PyList_GET_ITEM(fs_consts, i), PyList_GET_ITEM(senses, i), PyList_GET_ITEM(rhss, i));
  }
  return index_range(first, rows);
}

}  // namespace

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
  // Closed as the module closes it: the last model of the process unloads the stand-in, so
  // that every tool pays alike for opening it again (W9 makes 1,000 models).
  dlclose(self->library);
  Py_TYPE(object)->tp_free(object);
}

bool add_model_type(PyObject* module, PyTypeObject& type, const char* name, PyMethodDef* methods) {
  Py_SET_REFCNT(&type, 1);
  type.tp_name = name;
  type.tp_basicsize = sizeof(FloorModel);
  type.tp_dealloc = floor_dealloc;
  type.tp_flags = Py_TPFLAGS_DEFAULT;
  type.tp_methods = methods;
  type.tp_new = floor_new;
  if (PyType_Ready(&type) != 0) return false;
  Py_INCREF(&type);
  if (PyModule_AddObject(module, std::strrchr(name, '.') + 1, reinterpret_cast<PyObject*>(&type)) != 0) {
    Py_DECREF(&type);
    return false;
  }
  return true;
}

// One GRBaddvars with generated names; None bounds and types take Gurobi's defaults.
PyObject* add_variables(FloorModel* self, PyObject* n_object, PyObject* lbs_object, PyObject* ubs_object,
                        PyObject* vtypes) {
  const long long n = PyLong_AsLongLong(n_object);
  std::vector<double> lbs, ubs;
  read_reals(lbs_object, lbs);
  read_reals(ubs_object, ubs);
  std::vector<char> types(static_cast<std::size_t>(n), GRB_CONTINUOUS);
  if (PyList_CheckExact(vtypes)) {
    for (long long i = 0; i < n; ++i) {
      types[static_cast<std::size_t>(i)] =
          static_cast<char>(PyUnicode_READ_CHAR(PyList_GET_ITEM(vtypes, static_cast<Py_ssize_t>(i)), 0));
    }
  }
  IndexNames names('x', self->vars, static_cast<std::size_t>(n));
  self->api.GRBaddvars(self->model, static_cast<int>(n), 0, nullptr, nullptr, nullptr, nullptr, or_default(lbs),
                       or_default(ubs), types.data(), names.names.data());
  PyObject* result = index_range(self->vars, n);
  self->vars += n;
  return result;
}

// One GRBaddvars for one variable.
PyObject* add_variable(FloorModel* self, PyObject* lb, PyObject* ub) {
  double bounds[2] = {lb == Py_None ? 0.0 : real(lb), ub == Py_None ? GRB_INFINITY : real(ub)};
  char name[24];
  index_name(name, 'x', self->vars);
  char* names[1] = {name};
  char type = GRB_CONTINUOUS;
  self->api.GRBaddvars(self->model, 1, 0, nullptr, nullptr, nullptr, nullptr, &bounds[0], &bounds[1], &type, names);
  return PyLong_FromLongLong(self->vars++);
}

// One GRBaddconstr.
PyObject* add_constraint(FloorModel* self, PyObject* vars, PyObject* coeffs, PyObject* constant, PyObject* sense,
                         PyObject* rhs) {
  const long long index = self->constrs;
  add_row(self, vars, coeffs, constant, sense, rhs);
  return PyLong_FromLongLong(index);
}

// One GRBaddconstr per row, from lists of lists or from two 2-D arrays.
PyObject* add_constraints(FloorModel* self, PyObject* fs_vars, PyObject* fs_coeffs, PyObject* fs_consts,
                          PyObject* senses, PyObject* rhss) {
  if (!PyList_CheckExact(fs_vars)) return add_rows_2d(self, fs_vars, fs_coeffs, fs_consts, senses, rhss);
  const Py_ssize_t rows = PyList_GET_SIZE(fs_vars);
  const long long first = self->constrs;
  for (Py_ssize_t i = 0; i < rows; ++i) {
    add_row(self, PyList_GET_ITEM(fs_vars, i), PyList_GET_ITEM(fs_coeffs, i), PyList_GET_ITEM(fs_consts, i),
            PyList_GET_ITEM(senses, i), PyList_GET_ITEM(rhss, i));
  }
  return index_range(first, rows);
}

// The objective cleared in one array call, then one GRBsetdblattrelement per term, the
// constant and the sense.
PyObject* set_objective(FloorModel* self, PyObject* vars_object, PyObject* coeffs_object, PyObject* constant,
                        PyObject* sense) {
  std::vector<int> vars;
  std::vector<double> coeffs;
  read_indices(vars_object, vars);
  read_reals(coeffs_object, coeffs);
  std::vector<double> zeros(static_cast<std::size_t>(self->vars), 0.0);
  self->api.GRBsetdblattrarray(self->model, GRB_DBL_ATTR_OBJ, 0, static_cast<int>(self->vars), zeros.data());
  for (std::size_t k = 0; k < vars.size(); ++k) {
    self->api.GRBsetdblattrelement(self->model, GRB_DBL_ATTR_OBJ, vars[k], coeffs[k]);
  }
  self->api.GRBsetdblattr(self->model, GRB_DBL_ATTR_OBJCON, real(constant));
  self->api.GRBsetintattr(self->model, GRB_INT_ATTR_MODELSENSE,
                          PyLong_AsLong(sense) == 1 ? GRB_MAXIMIZE : GRB_MINIMIZE);
  Py_RETURN_NONE;
}

// One GRBgetdblattrelement.
PyObject* get_var_value(FloorModel* self, PyObject* index) {
  double value = 0.0;
  const int column = static_cast<int>(PyLong_AsLong(index));
  if (self->api.GRBgetdblattrelement(self->model, GRB_DBL_ATTR_X, column, &value) != 0) Py_RETURN_NONE;
  return PyFloat_FromDouble(value);
}

PyObject* get_objective_value(FloorModel* self) {
  double value = 0.0;
  if (self->api.GRBgetdblattr(self->model, GRB_DBL_ATTR_OBJVAL, &value) != 0) Py_RETURN_NONE;
  return PyFloat_FromDouble(value);
}

PyObject* optimize(FloorModel* self) { return PyLong_FromLong(self->api.GRBoptimize(self->model)); }

PyObject* update(FloorModel* self) { return PyLong_FromLong(self->api.GRBupdatemodel(self->model)); }

PyObject* silence(FloorModel* self) {
  self->api.GRBsetintparam(self->api.GRBgetenv(self->model), GRB_INT_PAR_OUTPUTFLAG, 0);
  Py_RETURN_NONE;
}

}  // namespace velkin_floor
