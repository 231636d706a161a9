#pragma once
// Rows of a nested argument (add_constraints' 'fs_vars' and 'fs_coeffs'): a
// list, tuple or other sequence of rows, each a sequence or 1-D buffer, or a
// 2-D buffer read row by row. Refused as the list of its rows would be.

#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "convert.hpp"

namespace velkin {

// The rows of a nested argument, stored flat: row r is items
// [begin_of(r), ends[r]) of `values`.
template <class T>
struct FlatRows {
  std::vector<T> values;
  std::vector<std::size_t> ends;

  std::size_t size() const { return ends.size(); }
  std::size_t begin_of(std::size_t row) const { return row == 0 ? 0 : ends[row - 1]; }
  std::size_t length_of(std::size_t row) const { return ends[row] - begin_of(row); }
  const T* row(std::size_t row) const { return values.data() + begin_of(row); }
};

// Variable indices are stored as Gurobi's int (conversion refuses any index
// above its range), so that the one converted copy of a batch stays small.
using StoredIndex = std::uint32_t;
using VariableRows = FlatRows<StoredIndex>;
using RealRows = FlatRows<double>;

bool convert_variable_rows(PyObject* nested, const Arg& arg, VariableRows& rows);
bool convert_real_rows(PyObject* nested, const Arg& arg, RealRows& rows);

}  // namespace velkin
