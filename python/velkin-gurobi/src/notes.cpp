#include "notes.hpp"

#include "py_ref.hpp"

namespace velkin {
namespace {

PyRef decode(std::string_view text) {
  return PyRef::steal(PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace"));
}

}  // namespace

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

PyObject* raise_with_note(PyObject* type, std::string_view message, std::string_view note) {
  PyRef text = decode(message);
  if (!text) return nullptr;
  PyRef error = PyRef::steal(PyObject_CallOneArg(type, text.get()));
  if (!error || (!note.empty() && !add_note(error.get(), note))) return nullptr;
  PyErr_SetObject(type, error.get());
  return nullptr;
}

}  // namespace velkin
