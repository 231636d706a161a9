#include "convert_rows.hpp"

#include "buffer_input.hpp"
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

// Row ends of a 2-D buffer's `rows` rows of `columns` items.
void set_matrix_ends(std::size_t rows, std::size_t columns, std::vector<std::size_t>& ends) {
  ends.resize(rows);
  for (std::size_t r = 0; r < rows; ++r) ends[r] = (r + 1) * columns;
}

}  // namespace

bool convert_variable_rows(PyObject* nested, const Arg& arg, VariableRows& rows) {
  const NumericBuffer matrix(nested, 2);
  if (!matrix || matrix.type().kind == ItemKind::Float) {
    return convert_sequence_rows(nested, arg, rows, convert_variable_index_sequence<StoredIndex>);
  }
  const std::size_t k = matrix.columns();
  rows.values.resize(matrix.rows() * k);
  for (std::size_t r = 0; r < matrix.rows(); ++r) {
    if (!read_variable_indices(matrix, r * k, k, arg.at(static_cast<Py_ssize_t>(r)), rows.values.data() + r * k)) {
      return false;
    }
  }
  set_matrix_ends(matrix.rows(), k, rows.ends);
  return true;
}

bool convert_real_rows(PyObject* nested, const Arg& arg, RealRows& rows) {
  const NumericBuffer matrix(nested, 2);
  if (!matrix) return convert_sequence_rows(nested, arg, rows, convert_real_sequence);
  rows.values.resize(matrix.rows() * matrix.columns());
  read_reals(matrix, 0, rows.values.size(), rows.values.data());
  set_matrix_ends(matrix.rows(), matrix.columns(), rows.ends);
  return true;
}

}  // namespace velkin
