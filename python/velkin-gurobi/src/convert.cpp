#include "convert.hpp"

#include <limits>

#include "kesto_solver_gurobi/gurobi_constants.h"

namespace velkin {

const char* const kNegativeDetail = "must not be negative";

namespace {

using kesto::gurobi::kMaxGrbIndex;

bool has_index(PyObject* object) { return PyLong_Check(object) || PyIndex_Check(object); }

bool has_real(PyObject* object) {
  PyNumberMethods* number = Py_TYPE(object)->tp_as_number;
  return PyFloat_Check(object) || PyLong_Check(object) ||
         (number != nullptr && (number->nb_float != nullptr || number->nb_index != nullptr));
}

// The int behind an index-like object, as a new reference.
PyRef index_value(PyObject* object, const Arg& arg) {
  if (PyLong_CheckExact(object)) return PyRef::borrow(object);
  if (!has_index(object)) {
    fail(PyExc_TypeError, arg, "must be int, not " + type_name(object));
    return PyRef();
  }
  return PyRef::steal(PyNumber_Index(object));
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
  if (PyUnicode_Check(object) || !PySequence_Check(object)) {
    return fail(PyExc_TypeError, arg, "must be a sequence, not " + type_name(object));
  }
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

bool convert_real(PyObject* object, const Arg& arg, double& out) {
  if (PyFloat_CheckExact(object)) {
    out = PyFloat_AS_DOUBLE(object);
    return true;
  }
  if (!has_real(object)) return fail(PyExc_TypeError, arg, "must be real number, not " + type_name(object));
  out = PyFloat_AsDouble(object);
  return !(out == -1.0 && PyErr_Occurred());
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

bool convert_variable_index(PyObject* object, const Arg& arg, std::uint64_t& out) {
  return convert_unsigned(object, arg, out) && check_variable_index(out, arg);
}

}  // namespace velkin

#include "buffer_input.hpp"

namespace velkin {

bool convert_real_sequence(PyObject* sequence, const Arg& arg, std::vector<double>& out) {
  if (auto values = read_double_buffer(sequence)) {
    out.insert(out.end(), values->begin(), values->end());
    return true;
  }
  return convert_sequence(sequence, arg, out, convert_real);
}

bool convert_variable_index_sequence(PyObject* sequence, const Arg& arg, std::vector<std::uint64_t>& out) {
  if (auto buffer = read_index_buffer(sequence)) {
    const std::size_t end = buffer->first_negative.value_or(buffer->values.size());
    for (std::size_t i = 0; i < end; ++i) {
      if (!check_variable_index(buffer->values[i], arg.at(static_cast<Py_ssize_t>(i)))) return false;
    }
    if (buffer->first_negative) {
      return fail(PyExc_OverflowError, arg.at(static_cast<Py_ssize_t>(end)), kNegativeDetail);
    }
    out.insert(out.end(), buffer->values.begin(), buffer->values.end());
    return true;
  }
  return convert_sequence(sequence, arg, out, convert_variable_index);
}

bool check_length(std::size_t length, std::size_t needed, const Arg& arg, const std::string& needed_for) {
  if (length >= needed) return true;
  return fail(PyExc_ValueError, arg,
              "has " + std::to_string(length) + " items, fewer than the " + std::to_string(needed) + " " + needed_for);
}

}  // namespace velkin

namespace velkin {

PyObject* index_list(const std::vector<std::uint64_t>& indices) {
  PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(indices.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < indices.size(); ++i) {
    PyObject* index = PyLong_FromUnsignedLongLong(indices[i]);
    if (index == nullptr) return nullptr;
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), index);
  }
  return list.release();
}

}  // namespace velkin
