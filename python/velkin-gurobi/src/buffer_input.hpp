#pragma once
// Direct reads of numeric buffers: an exact numpy.ndarray, array.array or
// memoryview that is one-dimensional, C-contiguous and native-endian is read
// in one go instead of element by element. Anything else, subclasses
// included, takes the ordinary sequence path.

#include <Python.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace velkin {

// nullopt: not such a buffer (no exception set); the caller falls back.
std::optional<std::vector<double>> read_double_buffer(PyObject* object);

// Buffers of format 'q' or 'Q'. `negative` is set when a 'q' value is below
// zero (the values are then unusable and the caller refuses them).
struct IndexBuffer {
  std::vector<std::uint64_t> values;
  std::optional<std::size_t> first_negative;
};
std::optional<IndexBuffer> read_index_buffer(PyObject* object);

}  // namespace velkin
