#include "batch_cost.hpp"

#include <algorithm>

#include "py_ref.hpp"

namespace velkin {
namespace {

// Bytes malloc adds to a block: its header, and the rounding to 16 bytes.
constexpr std::uint64_t kAllocationOverhead = 24;
// The module's copy of the names and Gurobi's.
constexpr std::uint64_t kNameCopies = 2;

// Bytes of the UTF-8 form of `text`: exact for ASCII, otherwise the most its
// characters' width allows, twice (the form CPython caches, and the copy).
std::uint64_t utf8_bytes(PyObject* text) {
  const auto length = static_cast<std::uint64_t>(PyUnicode_GET_LENGTH(text));
  if (PyUnicode_IS_ASCII(text)) return length;
  constexpr std::uint64_t kMostBytesPerKind[] = {0, 2, 3, 0, 4};
  return 2 * length * kMostBytesPerKind[PyUnicode_KIND(text)];
}

struct BufferShape {
  int dimensions = 0;
  std::uint64_t rows = 0;
  std::uint64_t items = 0;
};

// The shape of an object's buffer; no dimensions when it has none.
BufferShape buffer_shape(PyObject* object) {
  BufferShape shape;
  Py_buffer view{};
  if (!PyObject_CheckBuffer(object)) return shape;
  if (PyObject_GetBuffer(object, &view, PyBUF_STRIDES) != 0) {
    PyErr_Clear();
    return shape;
  }
  shape.dimensions = view.ndim;
  shape.rows = view.ndim > 0 ? static_cast<std::uint64_t>(view.shape[0]) : 1;
  shape.items = view.itemsize > 0 ? static_cast<std::uint64_t>(view.len / view.itemsize) : 0;
  PyBuffer_Release(&view);
  return shape;
}

// Items of a list, a tuple or a buffer; 0 for anything else. A buffer's length
// is its item count in one dimension, the only shape a row is read in; asking
// for it spares exporting the buffer, which a NumPy array does at a cost.
std::uint64_t item_count(PyObject* row) {
  if (PyList_CheckExact(row) || PyTuple_CheckExact(row)) return static_cast<std::uint64_t>(Py_SIZE(row));
  if (!PyObject_CheckBuffer(row)) return 0;
  // A row's __len__ may drop it from the batch before its buffer is asked for.
  const PyRef held = PyRef::borrow(row);
  const Py_ssize_t length = PyObject_Length(row);
  if (length >= 0) return static_cast<std::uint64_t>(length);
  PyErr_Clear();
  return buffer_shape(row).items;
}

}  // namespace

// Bytes one name takes; nothing for an item that is no name.
std::uint64_t one_name_bytes(PyObject* name) {
  return PyUnicode_Check(name) ? utf8_bytes(name) + 1 + kAllocationOverhead : 0;
}

std::uint64_t name_bytes(PyObject* names, std::uint64_t count) {
  std::uint64_t bytes = 0;
  if (PyList_Check(names) || PyTuple_Check(names)) {
    // Subclasses included: their items are read where they lie.
    const auto n = std::min(count, static_cast<std::uint64_t>(Py_SIZE(names)));
    for (std::uint64_t i = 0; i < n; ++i) {
      bytes += one_name_bytes(PySequence_Fast_GET_ITEM(names, static_cast<Py_ssize_t>(i)));
    }
    return kNameCopies * bytes;
  }
  if (PyUnicode_Check(names) || !PySequence_Check(names)) return 0;
  // Any other sequence, item by item; one that cannot say its size or give an
  // item counts what it gave, and its conversion reports the error.
  const Py_ssize_t size = PySequence_Size(names);
  if (size < 0) PyErr_Clear();
  const auto n = std::min(count, static_cast<std::uint64_t>(std::max<Py_ssize_t>(size, 0)));
  for (std::uint64_t i = 0; i < n; ++i) {
    PyRef name = PyRef::steal(PySequence_GetItem(names, static_cast<Py_ssize_t>(i)));
    if (!name) {
      PyErr_Clear();
      break;
    }
    bytes += one_name_bytes(name.get());
  }
  return kNameCopies * bytes;
}

RowsShape rows_shape(PyObject* nested) {
  if (PyList_CheckExact(nested) || PyTuple_CheckExact(nested)) {
    RowsShape shape{static_cast<std::uint64_t>(Py_SIZE(nested)), 0};
    for (Py_ssize_t i = 0; i < Py_SIZE(nested); ++i) shape.items += item_count(PySequence_Fast_GET_ITEM(nested, i));
    return shape;
  }
  const BufferShape buffer = buffer_shape(nested);
  if (buffer.dimensions != 2) return {};
  return {buffer.rows, buffer.items};
}

}  // namespace velkin
