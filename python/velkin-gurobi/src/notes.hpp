#pragma once
// PEP 678 notes: text attached to an exception and shown under its traceback.

#include <Python.h>

#include <string_view>

namespace velkin {

// Attaches `note` to `error` (add_note() from Python 3.11 on; before, the
// __notes__ list that add_note() keeps). False with an error set on failure.
bool add_note(PyObject* error, std::string_view note);

// Raises `type` with `message` and, when `note` is not empty, the note
// attached; returns null.
PyObject* raise_with_note(PyObject* type, std::string_view message, std::string_view note);

}  // namespace velkin
