#include "convert.hpp"

#if PY_VERSION_HEX < 0x030B0000
#include <longintrepr.h>
#endif

#include <algorithm>
#include <limits>
#include <string>
#include <type_traits>

#include "buffer_input.hpp"
#include "kesto_core/large_blocks.hpp"
#include "kesto_solver_gurobi/wrapper/wrapper.hpp"
#include "numpy_scalars.hpp"

namespace velkin {

const char* const kNegativeDetail = "must not be negative";

namespace {

// Gurobi's index limit, as the backend states it.
constexpr std::uint64_t kMaxGrbIndex = kesto::gurobi::kMaxIndex;

bool has_index(PyObject* object) { return PyLong_Check(object) || PyIndex_Check(object); }

// The value of an exact int of at most one digit, read without a call.
bool small_int_value(PyObject* object, long long& value) {
#if PY_VERSION_HEX >= 0x030C0000
  auto* number = reinterpret_cast<PyLongObject*>(object);
  if (!PyUnstable_Long_IsCompact(number)) return false;
  value = PyUnstable_Long_CompactValue(number);
#else
  const Py_ssize_t digits = Py_SIZE(object);
  if (digits < -1 || digits > 1) return false;
  value = digits * static_cast<long long>(reinterpret_cast<PyLongObject*>(object)->ob_digit[0]);
#endif
  return true;
}

// The value of an exact int, false when it does not fit a long long. Indices
// are nearly always ints of one digit, read without a call.
bool exact_int_value(PyObject* object, long long& value) {
  if (small_int_value(object, value)) return true;
  int overflow = 0;
  value = PyLong_AsLongLongAndOverflow(object, &overflow);
  return overflow == 0;
}

bool has_real(PyObject* object) {
  PyNumberMethods* number = Py_TYPE(object)->tp_as_number;
  return PyFloat_Check(object) || PyLong_Check(object) ||
         (number != nullptr && (number->nb_float != nullptr || number->nb_index != nullptr));
}

// The exception being raised, taken out of the error indicator.
PyRef take_raised() {
#if PY_VERSION_HEX >= 0x030C0000
  return PyRef::steal(PyErr_GetRaisedException());
#else
  PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  if (traceback != nullptr && value != nullptr) PyException_SetTraceback(value, traceback);
  Py_XDECREF(type);
  Py_XDECREF(traceback);
  return PyRef::steal(value);
#endif
}

// A TypeError, ValueError or OverflowError raised by the object's own
// conversion (NumPy's "only 0-dimensional arrays can be converted to Python
// scalars" for an array item) is raised again with the same type and
// "<describe(arg)>: " before its message; any other exception passes as it
// is. Returns false.
bool name_conversion_error(const Arg& arg) {
  PyObject* type = PyErr_Occurred();
  if (type != PyExc_TypeError && type != PyExc_ValueError && type != PyExc_OverflowError) return false;
  PyRef raised = take_raised();
  PyRef text = PyRef::steal(raised ? PyObject_Str(raised.get()) : nullptr);
  const char* message = text ? PyUnicode_AsUTF8(text.get()) : nullptr;
  if (message == nullptr) {
    PyErr_Clear();
    PyErr_SetObject(type, raised.get());
    return false;
  }
  PyErr_SetString(type, (describe(arg) + ": " + message).c_str());
  return false;
}

// The int behind an index-like object, as a new reference.
PyRef index_value(PyObject* object, const Arg& arg) {
  if (PyLong_CheckExact(object)) return PyRef::borrow(object);
  if (!has_index(object)) {
    fail(PyExc_TypeError, arg, "must be int, not " + type_name(object));
    return PyRef();
  }
  PyRef value = PyRef::steal(PyNumber_Index(object));
  if (!value) name_conversion_error(arg);
  return value;
}

}  // namespace

std::string type_name(PyObject* object) { return Py_TYPE(object)->tp_name; }

std::string describe(const Arg& arg) {
  std::string text = std::string(arg.function) + "() argument '" + arg.name + "'";
  if (arg.item >= 0) text += " item " + std::to_string(arg.item);
  if (arg.subitem >= 0) text += "[" + std::to_string(arg.subitem) + "]";
  return text;
}

bool fail(PyObject* kind, const Arg& arg, const std::string& detail) {
  PyErr_SetString(kind, (describe(arg) + " " + detail).c_str());
  return false;
}

bool is_sequence_argument(PyObject* object, const Arg& arg) {
  if (PyList_CheckExact(object) || PyTuple_CheckExact(object)) return true;
  if (PyUnicode_Check(object) || !PySequence_Check(object)) {
    return fail(PyExc_TypeError, arg, "must be a sequence, not " + type_name(object));
  }
  if (const auto kind = matrix_kind(object)) return fail(PyExc_TypeError, arg, "must be a sequence, not " + *kind);
  return true;
}

bool convert_text(PyObject* object, const Arg& arg, std::string& out) {
  if (!PyUnicode_Check(object)) return fail(PyExc_TypeError, arg, "must be str, not " + type_name(object));
  Py_ssize_t size = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(object, &size);
  if (utf8 == nullptr) return false;
  out.assign(utf8, static_cast<std::size_t>(size));
  return true;
}

bool convert_char(PyObject* object, const Arg& arg, char32_t& out) {
  if (!PyUnicode_Check(object)) return fail(PyExc_TypeError, arg, "must be str, not " + type_name(object));
  const Py_ssize_t length = PyUnicode_GetLength(object);
  if (length != 1) {
    return fail(PyExc_ValueError, arg, "must be a single character, not a str of length " + std::to_string(length));
  }
  out = PyUnicode_ReadChar(object, 0);
  return true;
}

bool convert_char_sequence(PyObject* sequence, const Arg& arg, std::vector<char32_t>& out) {
  auto one_character = [](PyObject* item, char32_t& value) {
    if (!PyUnicode_CheckExact(item) || PyUnicode_GET_LENGTH(item) != 1) return false;
    value = PyUnicode_READ_CHAR(item, 0);
    return true;
  };
  return convert_sequence_fast(sequence, arg, out, one_character, convert_char);
}

bool convert_real(PyObject* object, const Arg& arg, double& out) {
  if (PyFloat_CheckExact(object)) {
    out = PyFloat_AS_DOUBLE(object);
    return true;
  }
  if (PyLong_CheckExact(object)) {
    out = PyLong_AsDouble(object);
    return !(out == -1.0 && PyErr_Occurred()) || name_conversion_error(arg);
  }
  if (const NumpyScalar scalar = numpy_scalar(object); scalar.found) {
    out = visit_items(scalar.type, scalar.value, [](const auto* value) { return static_cast<double>(*value); });
    return true;
  }
  if (!has_real(object)) return fail(PyExc_TypeError, arg, "must be real number, not " + type_name(object));
  out = PyFloat_AsDouble(object);
  return !(out == -1.0 && PyErr_Occurred()) || name_conversion_error(arg);
}

bool convert_unsigned(PyObject* object, const Arg& arg, std::uint64_t& out) {
  PyRef value = index_value(object, arg);
  if (!value) return false;
  int overflow = 0;
  const long long small = PyLong_AsLongLongAndOverflow(value.get(), &overflow);
  if (overflow == 0) {
    if (small == -1 && PyErr_Occurred()) return false;
    if (small < 0) return fail(PyExc_OverflowError, arg, kNegativeDetail);
    out = static_cast<std::uint64_t>(small);
    return true;
  }
  if (overflow < 0) return fail(PyExc_OverflowError, arg, kNegativeDetail);
  out = PyLong_AsUnsignedLongLong(value.get());
  if (out == static_cast<std::uint64_t>(-1) && PyErr_Occurred()) {
    PyErr_Clear();
    return fail(PyExc_OverflowError, arg, "is too large for an unsigned 64-bit integer");
  }
  return true;
}

bool convert_int32(PyObject* object, const Arg& arg, int& out) {
  PyRef value = index_value(object, arg);
  if (!value) return false;
  int overflow = 0;
  const long long wide = PyLong_AsLongLongAndOverflow(value.get(), &overflow);
  if (overflow == 0 && wide == -1 && PyErr_Occurred()) return false;
  if (overflow != 0 || wide < std::numeric_limits<int>::min() || wide > std::numeric_limits<int>::max()) {
    return fail(PyExc_OverflowError, arg, "does not fit a signed 32-bit integer");
  }
  out = static_cast<int>(wide);
  return true;
}

bool check_variable_index(std::uint64_t index, const Arg& arg) {
  if (index > kMaxGrbIndex) {
    return fail(PyExc_OverflowError, arg,
                "is a variable index above " + std::to_string(kMaxGrbIndex) + ", which Gurobi cannot address");
  }
  return true;
}

namespace {

template <class T>
bool is_variable_index(T value) {
  if constexpr (std::is_signed_v<T>) {
    if (value < 0) return false;
  }
  return static_cast<std::uint64_t>(value) <= kMaxGrbIndex;
}

// The refusal of an integer that is_variable_index turned down.
template <class T>
bool refuse_variable_index(T value, const Arg& arg) {
  if constexpr (std::is_signed_v<T>) {
    if (value < 0) return fail(PyExc_OverflowError, arg, kNegativeDetail);
  }
  return check_variable_index(static_cast<std::uint64_t>(value), arg);
}

}  // namespace

bool convert_variable_index(PyObject* object, const Arg& arg, std::uint64_t& out) {
  if (PyLong_CheckExact(object)) {
    long long value = 0;
    if (exact_int_value(object, value) && is_variable_index(value)) {
      out = static_cast<std::uint64_t>(value);
      return true;
    }
  } else {
    const NumpyScalar scalar = numpy_scalar(object);
    if (scalar.found && is_index_type(scalar.type)) {
      return visit_integer_items(scalar.type, scalar.value, [&](const auto* value) {
        if (!is_variable_index(*value)) return refuse_variable_index(*value, arg);
        out = static_cast<std::uint64_t>(*value);
        return true;
      });
    }
  }
  return convert_unsigned(object, arg, out) && check_variable_index(out, arg);
}

void read_reals(const NumericBuffer& buffer, std::size_t first, std::size_t count, double* out) {
  visit_items(buffer.type(), buffer.data(), [&](const auto* items) {
    std::transform(items + first, items + first + count, out, [](auto value) { return static_cast<double>(value); });
  });
}

namespace {

// Calls `store(k, value)` for items [first, first + count) of an integer
// buffer, refusing the first that is no variable index.
template <class Store>
bool scan_variable_indices(const NumericBuffer& buffer, std::size_t first, std::size_t count, const Arg& arg,
                           Store&& store) {
  return visit_integer_items(buffer.type(), buffer.data(), [&](const auto* items) {
    for (std::size_t k = 0; k < count; ++k) {
      const auto value = items[first + k];
      if (!is_variable_index(value)) return refuse_variable_index(value, arg.at(static_cast<Py_ssize_t>(k)));
      store(k, value);
    }
    return true;
  });
}

}  // namespace

template <class Index>
bool read_variable_indices(const NumericBuffer& buffer, std::size_t first, std::size_t count, const Arg& arg,
                           Index* out) {
  return scan_variable_indices(buffer, first, count, arg,
                               [out](std::size_t k, auto value) { out[k] = static_cast<Index>(value); });
}

bool check_variable_indices(const NumericBuffer& buffer, std::size_t first, std::size_t count, const Arg& arg) {
  return scan_variable_indices(buffer, first, count, arg, [](std::size_t, auto) {});
}

bool reads_as_indices(const NumericBuffer& buffer) { return buffer && is_index_type(buffer.type()); }

template bool read_variable_indices(const NumericBuffer&, std::size_t, std::size_t, const Arg&, std::uint64_t*);
template bool read_variable_indices(const NumericBuffer&, std::size_t, std::size_t, const Arg&, std::uint32_t*);

template <class Vector>
bool convert_real_sequence(PyObject* sequence, const Arg& arg, Vector& out) {
  auto exact_float = [](PyObject* item, double& value) {
    if (!PyFloat_CheckExact(item)) return false;
    value = PyFloat_AS_DOUBLE(item);
    return true;
  };
  if (PyList_CheckExact(sequence) || PyTuple_CheckExact(sequence)) {
    return convert_sequence_fast(sequence, arg, out, exact_float, convert_real);
  }
  const NumericBuffer buffer(sequence, 1);
  if (!buffer) return convert_sequence_fast(sequence, arg, out, exact_float, convert_real);
  const std::size_t start = out.size();
  reserve_more(out, buffer.rows());
  out.resize(start + buffer.rows());
  read_reals(buffer, 0, buffer.rows(), out.data() + start);
  return true;
}

template <class Vector>
bool convert_variable_index_sequence(PyObject* sequence, const Arg& arg, Vector& out) {
  using Index = typename Vector::value_type;
  auto item_by_item = [&] {
    auto exact_int = [](PyObject* item, Index& index) {
      long long value = 0;
      if (!PyLong_CheckExact(item) || !exact_int_value(item, value) || !is_variable_index(value)) return false;
      index = static_cast<Index>(value);
      return true;
    };
    return convert_sequence_fast(sequence, arg, out, exact_int, [](PyObject* item, const Arg& item_arg, Index& index) {
      std::uint64_t value = 0;
      if (!convert_variable_index(item, item_arg, value)) return false;
      index = static_cast<Index>(value);
      return true;
    });
  };
  if (PyList_CheckExact(sequence) || PyTuple_CheckExact(sequence)) return item_by_item();
  const NumericBuffer buffer(sequence, 1);
  if (!reads_as_indices(buffer)) return item_by_item();
  const std::size_t start = out.size();
  reserve_more(out, buffer.rows());
  out.resize(start + buffer.rows());
  if (read_variable_indices(buffer, 0, buffer.rows(), arg, out.data() + start)) return true;
  out.resize(start);
  return false;
}

template bool convert_real_sequence(PyObject*, const Arg&, std::vector<double>&);
template bool convert_real_sequence(PyObject*, const Arg&, kesto::LargeVector<double>&);
template bool convert_variable_index_sequence(PyObject*, const Arg&, std::vector<std::uint64_t>&);
template bool convert_variable_index_sequence(PyObject*, const Arg&, std::vector<std::uint32_t>&);
template bool convert_variable_index_sequence(PyObject*, const Arg&, kesto::LargeVector<std::uint32_t>&);

bool check_length(std::size_t length, std::size_t needed, const Arg& arg, const std::string& needed_for) {
  if (length >= needed) return true;
  return fail(PyExc_ValueError, arg,
              "has " + std::to_string(length) + " items, fewer than the " + std::to_string(needed) + " " + needed_for);
}

}  // namespace velkin
