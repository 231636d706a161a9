#pragma once
// Binding of a method's arguments tuple and keyword dictionary to its
// parameters. The common call (known keywords, no duplicates, every required
// argument present) is bound here without CPython's per-call keyword string
// building; any other call is handed to PyArg_ParseTupleAndKeywords, so
// refusals keep CPython's own messages.

#include <Python.h>

#include <array>
#include <cstddef>
#include <utility>

namespace velkin {

template <std::size_t N>
struct Signature {
  // PyArg_ParseTupleAndKeywords format: N "O" units with one '|', then ":name".
  const char* format;
  std::array<const char*, N + 1> keywords;  // null-terminated
  std::size_t required;
};

namespace detail {

template <std::size_t N>
bool parse_with_cpython(const Signature<N>& signature, PyObject* args, PyObject* kwargs,
                        std::array<PyObject*, N>& out) {
  auto keywords = signature.keywords;
  return [&]<std::size_t... I>(std::index_sequence<I...>) {
    return PyArg_ParseTupleAndKeywords(args, kwargs, signature.format, const_cast<char**>(keywords.data()),
                                       &out[I]...) != 0;
  }
  (std::make_index_sequence<N>{});
}

template <std::size_t N>
std::size_t keyword_slot(const Signature<N>& signature, PyObject* key) {
  if (!PyUnicode_Check(key)) return N;
  for (std::size_t j = 0; j < N; ++j) {
    if (PyUnicode_CompareWithASCIIString(key, signature.keywords[j]) == 0) return j;
  }
  return N;
}

}  // namespace detail

// Fills `out` with borrowed references; parameters not passed keep the value
// `out` held. False with TypeError set when the call does not bind.
template <std::size_t N>
bool parse_arguments(const Signature<N>& signature, PyObject* args, PyObject* kwargs, std::array<PyObject*, N>& out) {
  const Py_ssize_t positional = PyTuple_GET_SIZE(args);
  if (positional > static_cast<Py_ssize_t>(N)) return detail::parse_with_cpython(signature, args, kwargs, out);
  std::array<PyObject*, N> bound = out;
  std::array<bool, N> given{};
  for (Py_ssize_t i = 0; i < positional; ++i) {
    bound[static_cast<std::size_t>(i)] = PyTuple_GET_ITEM(args, i);
    given[static_cast<std::size_t>(i)] = true;
  }
  if (kwargs != nullptr) {
    Py_ssize_t position = 0;
    PyObject *key, *value;
    while (PyDict_Next(kwargs, &position, &key, &value)) {
      const std::size_t slot = detail::keyword_slot(signature, key);
      if (slot == N || given[slot]) return detail::parse_with_cpython(signature, args, kwargs, out);
      bound[slot] = value;
      given[slot] = true;
    }
  }
  for (std::size_t j = 0; j < signature.required; ++j) {
    if (!given[j]) return detail::parse_with_cpython(signature, args, kwargs, out);
  }
  out = bound;
  return true;
}

}  // namespace velkin
