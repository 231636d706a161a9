#include "buffer_input.hpp"

#include <bit>
#include <optional>
#include <string_view>

namespace velkin {
namespace {

constexpr std::string_view kNumpyArray = "numpy.ndarray";

bool is_numpy_matrix(PyObject* object) {
  PyTypeObject* type = Py_TYPE(object);
  if (std::string_view(type->tp_name) != "matrix" || !PyType_HasFeature(type, Py_TPFLAGS_HEAPTYPE)) return false;
  PyObject* module = PyDict_GetItemString(type->tp_dict, "__module__");
  return module != nullptr && PyUnicode_Check(module) && PyUnicode_CompareWithASCIIString(module, "numpy") == 0;
}

bool is_plain_buffer_type(PyObject* object, int dimensions) {
  if (PyList_CheckExact(object) || PyTuple_CheckExact(object)) return false;
  const std::string_view name = Py_TYPE(object)->tp_name;
  if (Py_IS_TYPE(object, &PyMemoryView_Type) || name == kNumpyArray) return true;
  return dimensions == 2 ? is_numpy_matrix(object) : name == "array.array";
}

// The format letter of a native-endian single item, or 0.
char native_format(const char* format) {
  if (format == nullptr) return 'B';
  std::string_view text(format);
  if (text.size() == 2 &&
      (text[0] == '@' || text[0] == '=' || (text[0] == (std::endian::native == std::endian::little ? '<' : '>')))) {
    text.remove_prefix(1);
  }
  return text.size() == 1 ? text[0] : 0;
}

bool is_integer_size(Py_ssize_t size) { return size == 1 || size == 2 || size == 4 || size == 8; }

// The kind of a format letter's items of `size` bytes; the size, not the
// letter, gives the width ('l' is 8 bytes natively on LP64, 4 with '=').
std::optional<ItemKind> item_kind(char letter, Py_ssize_t size) {
  constexpr std::string_view kSigned = "bhilqn", kUnsigned = "BHILQN";
  if (letter == 'f') return size == 4 ? std::optional(ItemKind::Float) : std::nullopt;
  if (letter == 'd') return size == 8 ? std::optional(ItemKind::Float) : std::nullopt;
  if (!is_integer_size(size)) return std::nullopt;
  if (kSigned.find(letter) != std::string_view::npos) return ItemKind::Signed;
  if (kUnsigned.find(letter) != std::string_view::npos) return ItemKind::Unsigned;
  return std::nullopt;
}

}  // namespace

NumericBuffer::NumericBuffer(PyObject* object, int dimensions) {
  if (!is_plain_buffer_type(object, dimensions)) return;
  if (PyObject_GetBuffer(object, &view_, PyBUF_FORMAT | PyBUF_C_CONTIGUOUS) != 0) {
    PyErr_Clear();
    return;
  }
  held_ = true;
  const auto kind = item_kind(native_format(view_.format), view_.itemsize);
  if (view_.ndim != dimensions || !kind) {
    PyBuffer_Release(&view_);
    held_ = false;
    return;
  }
  type_ = {*kind, static_cast<std::size_t>(view_.itemsize)};
}

NumericBuffer::~NumericBuffer() {
  if (held_) PyBuffer_Release(&view_);
}

std::optional<std::string> matrix_kind(PyObject* object) {
  if (Py_IS_TYPE(object, &PyMemoryView_Type)) {
    const int dimensions = PyMemoryView_GET_BUFFER(object)->ndim;
    if (dimensions != 1) return "a memoryview of " + std::to_string(dimensions) + " dimensions";
    return std::nullopt;
  }
  if (is_numpy_matrix(object)) return "numpy.matrix";
  return std::nullopt;
}

}  // namespace velkin
