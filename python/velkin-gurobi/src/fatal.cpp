#include "fatal.hpp"

#include <unistd.h>

#include <string>

#include "kesto_core/fd_write.hpp"
#include "py_ref.hpp"

namespace velkin {
namespace {

// Owned by the module, which lives for the rest of the process once created.
PyObject* fatal_error_type = nullptr;

PyRef decode(std::string_view text) {
  return PyRef::steal(PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace"));
}

// add_note() from Python 3.11 on; before, the list that add_note() keeps.
bool add_note(PyObject* error, std::string_view note) {
  PyRef text = decode(note);
  if (!text) return false;
#if PY_VERSION_HEX >= 0x030B0000
  // The interned name: the interpreter's method cache keeps the name it was looked up with, so a
  // fresh string per call would stay behind in it.
  PyRef name = PyRef::steal(PyUnicode_InternFromString("add_note"));
  if (!name) return false;
  PyRef result = PyRef::steal(PyObject_CallMethodOneArg(error, name.get(), text.get()));
  return static_cast<bool>(result);
#else
  PyRef notes = PyRef::steal(PyList_New(1));
  if (!notes) return false;
  PyList_SET_ITEM(notes.get(), 0, text.release());
  return PyObject_SetAttrString(error, "__notes__", notes.get()) == 0;
#endif
}

}  // namespace

bool create_fatal_error_type() {
  if (fatal_error_type != nullptr) return true;
  fatal_error_type =
      PyErr_NewExceptionWithDoc("velkin_gurobi.FatalError", "A Model could not be constructed; the message says why.",
                                PyExc_BaseException, nullptr);
  return fatal_error_type != nullptr;
}

PyObject* raise_fatal(const char* file, int line, std::string_view message, std::string_view note) {
  // Best effort: the exception below carries the message whether or not stderr took it.
  kesto::write_all(STDERR_FILENO, "velkin_gurobi: fatal error at " + std::string(file) + ":" + std::to_string(line) +
                                      ": " + std::string(message) + "\n");
  PyRef text = decode(message);
  if (!text) return nullptr;
  PyRef error = PyRef::steal(PyObject_CallOneArg(fatal_error_type, text.get()));
  if (!error || (!note.empty() && !add_note(error.get(), note))) return nullptr;
  PyErr_SetObject(fatal_error_type, error.get());
  return nullptr;
}

}  // namespace velkin
