#include "convert_rows.hpp"

#include "kesto_solver_gurobi/wrapper/wrapper.hpp"

namespace velkin {
namespace {

static_assert(kesto::gurobi::kMaxIndex <= UINT32_MAX, "a stored index holds every index Gurobi can address");

// Room for the items of a list or tuple of rows, counted over its leading
// rows that are lists or tuples, so that the rows take one allocation.
template <class T>
void reserve_rows(PyObject* nested, std::vector<T>& values) {
  if (!(PyList_CheckExact(nested) || PyTuple_CheckExact(nested))) return;
  std::size_t items = 0;
  for (Py_ssize_t i = 0; i < Py_SIZE(nested); ++i) {
    PyObject* row = PySequence_Fast_GET_ITEM(nested, i);
    if (!(PyList_CheckExact(row) || PyTuple_CheckExact(row))) break;
    items += static_cast<std::size_t>(Py_SIZE(row));
  }
  values.reserve(items);
}

// Each row appended by `convert_row(row, arg, values)`.
template <class T, class ConvertRow>
bool convert_sequence_rows(PyObject* nested, const Arg& arg, FlatRows<T>& rows, ConvertRow&& convert_row) {
  reserve_rows(nested, rows.values);
  return for_each_item(nested, arg, [&](PyObject* row, Py_ssize_t index) {
    if (!convert_row(row, arg.at(index), rows.values)) return false;
    rows.ends.push_back(rows.values.size());
    return true;
  });
}

}  // namespace

bool convert_variable_rows(PyObject* nested, const Arg& arg, VariableRows& rows) {
  const NumericBuffer& matrix = rows.matrix_.emplace(nested, 2);
  if (!reads_as_indices(matrix)) {
    rows.matrix_.reset();
    return convert_sequence_rows(nested, arg, rows.copy_, convert_variable_index_sequence<StoredIndex>);
  }
  const std::size_t k = matrix.columns();
  for (std::size_t r = 0; r < matrix.rows(); ++r) {
    if (!check_variable_indices(matrix, r * k, k, arg.at(static_cast<Py_ssize_t>(r)))) return false;
  }
  return true;
}

bool convert_real_rows(PyObject* nested, const Arg& arg, RealRows& rows) {
  if (rows.matrix_.emplace(nested, 2)) return true;
  rows.matrix_.reset();
  return convert_sequence_rows(nested, arg, rows.copy_, convert_real_sequence);
}

}  // namespace velkin
