#pragma once
// Vectorcall argument parsing for the methods called once per variable,
// constraint or value. The common case (known keywords, no duplicates, every
// required argument present) is matched here without building a tuple and a
// dict; anything else is handed to PyArg_ParseTupleAndKeywords with the
// method's format, so refusals keep CPython's exact messages.

#include <Python.h>

#include <array>
#include <cstddef>
#include <utility>

#include "py_ref.hpp"

namespace velkin {

template <std::size_t N>
struct Signature {
  // PyArg_ParseTupleAndKeywords format: N "O" units with one '|', then ":name".
  const char* format;
  std::array<const char*, N + 1> keywords;  // null-terminated
  std::size_t required;
};

namespace detail {

// Rebuilds the call as a tuple and a dict and lets CPython parse it.
template <std::size_t N>
bool parse_slow(const Signature<N>& signature, PyObject* const* args, Py_ssize_t positional, PyObject* kwnames,
                std::array<PyObject*, N>& out) {
  PyRef tuple = PyRef::steal(PyTuple_New(positional));
  if (!tuple) return false;
  for (Py_ssize_t i = 0; i < positional; ++i) {
    Py_INCREF(args[i]);
    PyTuple_SET_ITEM(tuple.get(), i, args[i]);
  }
  PyRef dict;
  if (kwnames != nullptr && PyTuple_GET_SIZE(kwnames) > 0) {
    dict = PyRef::steal(PyDict_New());
    if (!dict) return false;
    for (Py_ssize_t k = 0; k < PyTuple_GET_SIZE(kwnames); ++k) {
      if (PyDict_SetItem(dict.get(), PyTuple_GET_ITEM(kwnames, k), args[positional + k]) != 0) return false;
    }
  }
  auto keywords = signature.keywords;
  return [&]<std::size_t... I>(std::index_sequence<I...>) {
    return PyArg_ParseTupleAndKeywords(tuple.get(), dict.get(), signature.format, const_cast<char**>(keywords.data()),
                                       &out[I]...) != 0;
  }(std::make_index_sequence<N>{});
}

}  // namespace detail

// Fills `out` with borrowed references; entries not passed keep their value.
template <std::size_t N>
bool parse_arguments(const Signature<N>& signature, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames,
                     std::array<PyObject*, N>& out) {
  const Py_ssize_t positional = PyVectorcall_NARGS(nargsf);
  if (positional > static_cast<Py_ssize_t>(N)) return detail::parse_slow(signature, args, positional, kwnames, out);
  std::array<bool, N> given{};
  for (Py_ssize_t i = 0; i < positional; ++i) {
    out[static_cast<std::size_t>(i)] = args[i];
    given[static_cast<std::size_t>(i)] = true;
  }
  if (kwnames != nullptr) {
    for (Py_ssize_t k = 0; k < PyTuple_GET_SIZE(kwnames); ++k) {
      PyObject* key = PyTuple_GET_ITEM(kwnames, k);
      std::size_t slot = N;
      for (std::size_t j = 0; j < N; ++j) {
        if (PyUnicode_CompareWithASCIIString(key, signature.keywords[j]) == 0) {
          slot = j;
          break;
        }
      }
      if (slot == N || given[slot]) return detail::parse_slow(signature, args, positional, kwnames, out);
      out[slot] = args[positional + k];
      given[slot] = true;
    }
  }
  for (std::size_t j = 0; j < signature.required; ++j) {
    if (!given[j]) return detail::parse_slow(signature, args, positional, kwnames, out);
  }
  return true;
}

}  // namespace velkin
