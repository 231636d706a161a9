#include "convert_rows.hpp"

#include "kesto_solver_gurobi/wrapper/wrapper.hpp"

namespace velkin {
namespace {

static_assert(kesto::gurobi::kMaxIndex <= UINT32_MAX, "a stored index holds every index Gurobi can address");

// Each row appended by `convert_row(row, arg, values)`.
template <class T, class ConvertRow>
bool convert_sequence_rows(PyObject* nested, const Arg& arg, const RowsShape& expected, FlatRows<T>& rows,
                           ConvertRow&& convert_row) {
  rows.values.reserve(expected.items);
  rows.ends.reserve(expected.rows);
  return for_each_item(nested, arg, [&](PyObject* row, Py_ssize_t index) {
    if (!convert_row(row, arg.at(index), rows.values)) return false;
    rows.ends.push_back(rows.values.size());
    return true;
  });
}

}  // namespace

bool convert_variable_rows(PyObject* nested, const Arg& arg, const RowsShape& expected, VariableRows& rows) {
  const NumericBuffer& matrix = rows.matrix_.emplace(nested, 2);
  if (!reads_as_indices(matrix)) {
    rows.matrix_.reset();
    return convert_sequence_rows(nested, arg, expected, rows.copy_,
                                 convert_variable_index_sequence<kesto::LargeVector<StoredIndex>>);
  }
  const std::size_t k = matrix.columns();
  for (std::size_t r = 0; r < matrix.rows(); ++r) {
    if (!check_variable_indices(matrix, r * k, k, arg.at(static_cast<Py_ssize_t>(r)))) return false;
  }
  return true;
}

bool convert_real_rows(PyObject* nested, const Arg& arg, const RowsShape& expected, RealRows& rows) {
  if (rows.matrix_.emplace(nested, 2)) return true;
  rows.matrix_.reset();
  return convert_sequence_rows(nested, arg, expected, rows.copy_, convert_real_sequence<kesto::LargeVector<double>>);
}

}  // namespace velkin
