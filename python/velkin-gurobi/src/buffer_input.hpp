#pragma once
// Direct reads of numeric buffers: an exact numpy.ndarray, array.array or
// memoryview that is C-contiguous, native-endian and holds signed or unsigned
// integers of 1, 2, 4 or 8 bytes, float32 or float64 items is read in place
// instead of element by element. Anything else, subclasses included, takes
// the ordinary sequence path.

#include <Python.h>

#include <cstddef>
#include <optional>
#include <string>

#include "numeric_items.hpp"

namespace velkin {

class NumericBuffer {
 public:
  // Holds the buffer of `object` when it is such a buffer with `dimensions`
  // dimensions; otherwise holds nothing, with no exception set. In two
  // dimensions a numpy.matrix is taken too: its rows are matrices, which do
  // not convert item by item.
  NumericBuffer(PyObject* object, int dimensions);
  NumericBuffer(const NumericBuffer&) = delete;
  NumericBuffer& operator=(const NumericBuffer&) = delete;
  ~NumericBuffer();

  explicit operator bool() const { return held_; }
  std::size_t rows() const { return static_cast<std::size_t>(view_.shape[0]); }
  // Items per row: the row length of a 2-D buffer, 1 for a 1-D one.
  std::size_t columns() const { return view_.ndim == 2 ? static_cast<std::size_t>(view_.shape[1]) : 1; }

  ItemType type() const { return type_; }
  const void* data() const { return view_.buf; }

 private:
  Py_buffer view_{};
  ItemType type_{ItemKind::Float, sizeof(double)};
  bool held_ = false;
};

// "numpy.matrix" or "a memoryview of <n> dimensions" for an object that
// iterates as rows of its own kind, or as nothing, rather than as items:
// such an object is not taken as a sequence.
std::optional<std::string> matrix_kind(PyObject* object);

}  // namespace velkin
