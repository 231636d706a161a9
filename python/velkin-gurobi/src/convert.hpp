#pragma once
// Conversion of Python arguments into C++ values, written once for every
// method. Each function returns false with a Python exception set on failure.

#include <Python.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "py_ref.hpp"

namespace velkin {

// Where a value came from, for error messages: "add_variables() argument
// 'lbs' item 2".
struct Arg {
  const char* function;
  const char* name;
  Py_ssize_t item = -1;
  Py_ssize_t subitem = -1;

  Arg at(Py_ssize_t index) const {
    Arg element = *this;
    (item < 0 ? element.item : element.subitem) = index;
    return element;
  }
};

std::string describe(const Arg& arg);
std::string type_name(PyObject* object);

extern const char* const kNegativeDetail;

// Raises `kind` with "<describe(arg)> <detail>".
bool fail(PyObject* kind, const Arg& arg, const std::string& detail);

bool convert_text(PyObject* object, const Arg& arg, std::string& out);
// A str of exactly one character.
bool convert_char(PyObject* object, const Arg& arg, char32_t& out);
// A sequence of such characters.
bool convert_char_sequence(PyObject* sequence, const Arg& arg, std::vector<char32_t>& out);
// Whatever Python's float conversion accepts (float, __float__, __index__).
bool convert_real(PyObject* object, const Arg& arg, double& out);
// A non-negative int (or __index__) up to 2**64 - 1.
bool convert_unsigned(PyObject* object, const Arg& arg, std::uint64_t& out);
// An int (or __index__) within the signed 32-bit range.
bool convert_int32(PyObject* object, const Arg& arg, int& out);

// A variable index that Gurobi's int indices can address.
bool check_variable_index(std::uint64_t index, const Arg& arg);
bool convert_variable_index(PyObject* object, const Arg& arg, std::uint64_t& out);

bool is_sequence_argument(PyObject* object, const Arg& arg);

// Any sequence except str; calls `element(item, index)` for each item in
// iteration order, stopping at the first failure.
template <class Element>
bool for_each_item(PyObject* sequence, const Arg& arg, Element&& element) {
  if (!is_sequence_argument(sequence, arg)) return false;
  if (PyList_CheckExact(sequence)) {
    // Re-read the size each step: a conversion hook may shrink the list.
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(sequence); ++i) {
      PyRef item = PyRef::borrow(PyList_GET_ITEM(sequence, i));
      if (!element(item.get(), i)) return false;
    }
    return true;
  }
  if (PyTuple_CheckExact(sequence)) {
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(sequence); ++i) {
      if (!element(PyTuple_GET_ITEM(sequence, i), i)) return false;
    }
    return true;
  }
  PyRef iterator = PyRef::steal(PyObject_GetIter(sequence));
  if (!iterator) return false;
  for (Py_ssize_t i = 0;; ++i) {
    PyRef item = PyRef::steal(PyIter_Next(iterator.get()));
    if (!item) return !PyErr_Occurred();
    if (!element(item.get(), i)) return false;
  }
}

// Room for `extra` more items. Rows of a nested argument append to one
// vector, so growth stays geometric: reserving the exact size would copy the
// whole vector for every row.
template <class Vector>
void reserve_more(Vector& out, std::size_t extra) {
  const std::size_t needed = out.size() + extra;
  if (needed > out.capacity()) out.reserve(std::max(needed, 2 * out.capacity()));
}

// Each item converted by `convert(item, arg, value)` and appended to `out`.
template <class Vector, class Convert>
bool convert_sequence(PyObject* sequence, const Arg& arg, Vector& out, Convert&& convert) {
  using T = typename Vector::value_type;
  if (PyList_CheckExact(sequence) || PyTuple_CheckExact(sequence)) {
    reserve_more(out, static_cast<std::size_t>(Py_SIZE(sequence)));
  }
  return for_each_item(sequence, arg, [&](PyObject* item, Py_ssize_t index) {
    T value{};
    if (!convert(item, arg.at(index), value)) return false;
    out.push_back(std::move(value));
    return true;
  });
}

// convert_sequence for the items of a list or tuple that `fast(item, value)`
// takes, which runs no Python code and may decline an item; `convert` takes
// the others, with their refusals. An item taken fast needs no reference of
// its own, since nothing can change the sequence while it is read.
template <class Vector, class Fast, class Convert>
bool convert_sequence_fast(PyObject* sequence, const Arg& arg, Vector& out, Fast&& fast, Convert&& convert) {
  using T = typename Vector::value_type;
  if (!(PyList_CheckExact(sequence) || PyTuple_CheckExact(sequence)))
    return convert_sequence(sequence, arg, out, convert);
  const std::size_t start = out.size();
  const Py_ssize_t size = Py_SIZE(sequence);
  reserve_more(out, static_cast<std::size_t>(size));
  out.resize(start + static_cast<std::size_t>(size));
  // Items that `fast` reads run no Python code, so the sequence stays as it is.
  PyObject** items = PySequence_Fast_ITEMS(sequence);
  T* values = out.data() + start;
  Py_ssize_t i = 0;
  while (i < size && fast(items[i], values[i])) ++i;
  out.resize(start + static_cast<std::size_t>(i));
  // From the first other item on, re-read the size each step: a conversion
  // hook may shrink a list.
  for (; i < Py_SIZE(sequence); ++i) {
    PyObject* item = PySequence_Fast_GET_ITEM(sequence, i);
    T value{};
    if (!fast(item, value)) {
      const PyRef held = PyRef::borrow(item);
      if (!convert(held.get(), arg.at(i), value)) return false;
    }
    out.push_back(value);
  }
  return true;
}

// Sequences of numbers and of variable indices, read straight from a plain
// numeric buffer where possible (same results and refusals either way).
// Variable indices are stored as 64-bit or, within Gurobi's int range that
// conversion enforces, as 32-bit integers. `Vector` is a std::vector or a
// kesto::LargeVector (for the rows of a batch).
template <class Vector>
bool convert_real_sequence(PyObject* sequence, const Arg& arg, Vector& out);
template <class Vector>
bool convert_variable_index_sequence(PyObject* sequence, const Arg& arg, Vector& out);

class NumericBuffer;

// Items [first, first + count) of a numeric buffer, converted as
// convert_real converts each item, written to `out`.
void read_reals(const NumericBuffer& buffer, std::size_t first, std::size_t count, double* out);
// The same items of an integer buffer as variable indices, refused as
// convert_variable_index refuses them; item k is described as `arg.at(k)`.
template <class Index>
bool read_variable_indices(const NumericBuffer& buffer, std::size_t first, std::size_t count, const Arg& arg,
                           Index* out);
// The same refusals without a copy.
bool check_variable_indices(const NumericBuffer& buffer, std::size_t first, std::size_t count, const Arg& arg);
// Whether a buffer given for variable indices is read in place: it holds
// integers (is_index_type). Anything else is read item by item, refused as
// its list would be.
bool reads_as_indices(const NumericBuffer& buffer);

// None leaves `out` empty; anything else is converted.
template <class T, class Convert>
bool convert_optional(PyObject* object, const Arg& arg, std::optional<T>& out, Convert&& convert) {
  if (object == Py_None) return true;
  T value{};
  if (!convert(object, arg, value)) return false;
  out = std::move(value);
  return true;
}

// Refuses a sequence argument that holds fewer than `needed` items.
bool check_length(std::size_t length, std::size_t needed, const Arg& arg, const std::string& needed_for);

}  // namespace velkin
