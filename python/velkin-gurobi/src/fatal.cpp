#include "fatal.hpp"

#include <unistd.h>

#include <string>

#include "kesto_core/fd_write.hpp"
#include "notes.hpp"

namespace velkin {
namespace {

// Owned by the module, which lives for the rest of the process once created.
PyObject* fatal_error_type = nullptr;

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
  return raise_with_note(fatal_error_type, message, note);
}

}  // namespace velkin
