#pragma once
// The fatal-error exception raised when a Model cannot be constructed. It
// derives from BaseException so that `except Exception` does not swallow it.

#include <Python.h>

#include <string_view>

namespace velkin {

// Creates the exception class once per process; false with an error set on failure.
bool create_fatal_error_type();

// Writes "<file>:<line>" and the message to file descriptor 2, raises the
// fatal error with the message as its only argument and, when `note` is not
// empty, that note attached (PEP 678: shown under the traceback), and
// returns null.
PyObject* raise_fatal(const char* file, int line, std::string_view message, std::string_view note = {});

}  // namespace velkin

#define VELKIN_FATAL(...) ::velkin::raise_fatal(__FILE__, __LINE__, __VA_ARGS__)
