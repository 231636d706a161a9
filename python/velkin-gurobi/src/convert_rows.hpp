#pragma once
// Rows of a nested argument (add_constraints' 'fs_vars' and 'fs_coeffs'): a
// list, tuple or other sequence of rows, each a sequence or 1-D buffer, held
// as its converted copy; or a 2-D buffer, checked and read where it lies.
// Refused as the list of its rows would be.

#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "batch_cost.hpp"
#include "buffer_input.hpp"
#include "convert.hpp"
#include "kesto_core/large_blocks.hpp"
#include "kesto_core/pages.hpp"

namespace velkin {

// The rows of a nested argument, stored flat: row r is items
// [begin_of(r), ends[r]) of `values`. A large copy is a mapping of its own,
// written on huge pages, so that it faults once every 2 MiB.
template <class T>
struct FlatRows {
  kesto::LargeVector<T> values;
  std::vector<std::size_t> ends;

  std::size_t size() const { return ends.size(); }
  std::size_t begin_of(std::size_t row) const { return row == 0 ? 0 : ends[row - 1]; }
  std::size_t length_of(std::size_t row) const { return ends[row] - begin_of(row); }
  const T* row(std::size_t row) const { return values.data() + begin_of(row); }

  // Hands the pages of rows [0, row) back to the system, a few megabytes at
  // a time; those rows are not read again.
  void release_before(std::size_t row) {
    constexpr std::size_t kStep = (std::size_t{4} << 20) / sizeof(T);
    const std::size_t end = begin_of(row);
    if (end - released_ < kStep) return;
    kesto::release_pages(values.data() + released_, values.data() + end);
    released_ = end;
  }

 private:
  std::size_t released_ = 0;  // items whose pages were handed back
};

// The rows of a nested argument: a 2-D buffer where it lies, any other form
// as its converted copy.
template <class T>
class NestedRows {
 public:
  std::size_t size() const { return matrix_ ? matrix_->rows() : copy_.size(); }
  std::size_t length_of(std::size_t row) const { return matrix_ ? matrix_->columns() : copy_.length_of(row); }

  // A converted copy hands back the pages of rows [0, row): see FlatRows.
  void release_before(std::size_t row) {
    if (!matrix_) copy_.release_before(row);
  }

  // Calls `visit(items)` with the items of `row` as a pointer to their C type.
  template <class Visit>
  auto visit_row(std::size_t row, Visit&& visit) const {
    if (!matrix_) return visit(copy_.row(row));
    const std::size_t first = row * matrix_->columns();
    return visit_items(matrix_->type(), matrix_->data(), [&](const auto* items) { return visit(items + first); });
  }

 private:
  friend bool convert_variable_rows(PyObject* nested, const Arg& arg, const RowsShape& expected,
                                    NestedRows<std::uint32_t>& rows);
  friend bool convert_real_rows(PyObject* nested, const Arg& arg, const RowsShape& expected, NestedRows<double>& rows);

  std::optional<NumericBuffer> matrix_;
  FlatRows<T> copy_;
};

// Variable indices are copied as Gurobi's int (conversion refuses any index
// above its range), so that a converted copy stays small.
using StoredIndex = std::uint32_t;
using VariableRows = NestedRows<StoredIndex>;
using RealRows = NestedRows<double>;

// A 2-D integer buffer has every item checked as a variable index; a 2-D
// float buffer of indices is refused item by item as the list of its rows.
// A converted copy takes room for `expected` (see rows_shape) at once.
bool convert_variable_rows(PyObject* nested, const Arg& arg, const RowsShape& expected, VariableRows& rows);
bool convert_real_rows(PyObject* nested, const Arg& arg, const RowsShape& expected, RealRows& rows);

}  // namespace velkin
