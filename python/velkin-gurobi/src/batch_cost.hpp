#pragma once
// The size of a batch's arguments, read from the Python objects before they
// are converted, so that a batch that cannot fit is refused before the
// module copies it.

#include <Python.h>

#include <cstdint>

namespace velkin {

// Bytes the first `count` names of a sequence (of any form) take in the
// module's copy and in Gurobi's: each copy holds a name's UTF-8 form (bounded
// from its length when not ASCII), a NUL and the allocator's overhead. A str
// that is not ASCII also caches its UTF-8 form when converted; that is
// counted in. 0 for objects that are no sequence.
std::uint64_t name_bytes(PyObject* names, std::uint64_t count);

struct RowsShape {
  std::uint64_t rows = 0;
  std::uint64_t items = 0;
};

// The rows and items of a nested argument: a buffer of two dimensions, or a
// list or tuple whose rows are lists, tuples or buffers. Rows of other kinds
// count no items, and an object of another kind no rows.
RowsShape rows_shape(PyObject* nested);

}  // namespace velkin
