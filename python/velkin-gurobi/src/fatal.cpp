#include "fatal.hpp"

#include <unistd.h>

#include <cerrno>
#include <string>

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

void write_fd(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = write(fd, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return;
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

PyObject* raise_fatal(const char* file, int line, std::string_view message) {
  write_fd(STDERR_FILENO, "velkin_gurobi: fatal error at " + std::string(file) + ":" + std::to_string(line) + ": " +
                              std::string(message) + "\n");
  PyObject* text = PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace");
  if (text == nullptr) return nullptr;
  PyErr_SetObject(fatal_error_type, text);
  Py_DECREF(text);
  return nullptr;
}

}  // namespace velkin
