#include "batch_cost.hpp"

#include <algorithm>

namespace velkin {
namespace {

// Bytes malloc adds to a block: its header, and the rounding to 16 bytes.
constexpr std::uint64_t kAllocationOverhead = 24;

// Bytes of the UTF-8 form of `text`: exact for ASCII, otherwise the most its
// characters' width allows, twice (the cached form and the copy).
std::uint64_t utf8_bytes(PyObject* text) {
  const auto length = static_cast<std::uint64_t>(PyUnicode_GET_LENGTH(text));
  if (PyUnicode_IS_ASCII(text)) return length;
  constexpr std::uint64_t kMostBytesPerKind[] = {0, 2, 3, 0, 4};
  return 2 * length * kMostBytesPerKind[PyUnicode_KIND(text)];
}

// Items of a list, a tuple or a buffer; 0 for anything else.
std::uint64_t item_count(PyObject* row) {
  if (PyList_CheckExact(row) || PyTuple_CheckExact(row)) return static_cast<std::uint64_t>(Py_SIZE(row));
  if (!PyObject_CheckBuffer(row)) return 0;
  Py_buffer view{};
  if (PyObject_GetBuffer(row, &view, PyBUF_STRIDES) != 0) {
    PyErr_Clear();
    return 0;
  }
  const auto items = view.itemsize > 0 ? static_cast<std::uint64_t>(view.len / view.itemsize) : 0;
  PyBuffer_Release(&view);
  return items;
}

}  // namespace

std::uint64_t text_copy_bytes(PyObject* texts, std::uint64_t count) {
  if (!(PyList_CheckExact(texts) || PyTuple_CheckExact(texts))) return 0;
  const auto n = std::min(count, static_cast<std::uint64_t>(Py_SIZE(texts)));
  std::uint64_t bytes = 0;
  for (std::uint64_t i = 0; i < n; ++i) {
    PyObject* text = PySequence_Fast_GET_ITEM(texts, static_cast<Py_ssize_t>(i));
    if (PyUnicode_Check(text)) bytes += utf8_bytes(text) + 1 + kAllocationOverhead;
  }
  return bytes;
}

RowsShape rows_shape(PyObject* nested) {
  RowsShape shape;
  if (PyList_CheckExact(nested) || PyTuple_CheckExact(nested)) {
    shape.rows = static_cast<std::uint64_t>(Py_SIZE(nested));
    for (Py_ssize_t i = 0; i < Py_SIZE(nested); ++i) shape.items += item_count(PySequence_Fast_GET_ITEM(nested, i));
    return shape;
  }
  if (!PyObject_CheckBuffer(nested)) return shape;
  Py_buffer view{};
  if (PyObject_GetBuffer(nested, &view, PyBUF_STRIDES) != 0) {
    PyErr_Clear();
    return shape;
  }
  if (view.ndim == 2) {
    shape.rows = static_cast<std::uint64_t>(view.shape[0]);
    shape.items = shape.rows * static_cast<std::uint64_t>(view.shape[1]);
  }
  PyBuffer_Release(&view);
  return shape;
}

}  // namespace velkin
