// Module entry: the module can be initialised once per process.

#include <Python.h>

#include "fatal.hpp"
#include "model.hpp"

namespace {

PyModuleDef velkin_module = {
    PyModuleDef_HEAD_INIT,
    "velkin_gurobi",
    "Build linear and mixed-integer models and solve them with the Gurobi optimiser.",
    0,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

// The module object of this process, kept until interpreter shutdown.
PyObject* module_instance = nullptr;

}  // namespace

PyMODINIT_FUNC PyInit_velkin_gurobi() {
  if (module_instance != nullptr) {
    PyErr_SetString(PyExc_ImportError, "velkin_gurobi can only be initialised once per interpreter process");
    return nullptr;
  }
  PyObject* module = PyModule_Create(&velkin_module);
  if (module == nullptr) return nullptr;
  if (!velkin::create_fatal_error_type() || !velkin::ready_model_type() ||
      PyModule_AddObjectRef(module, "Model", reinterpret_cast<PyObject*>(&velkin::model_type)) < 0) {
    Py_DECREF(module);
    return nullptr;
  }
  module_instance = Py_NewRef(module);
  return module;
}
