#pragma once
// A method's parameters, written once per method (model_methods.hpp), and
// what is made from them: the binding of a call's arguments tuple and keyword
// dictionary, the text signature in the method table, and the argument labels
// of conversion messages. The common call (known keywords, no duplicates,
// every required argument present) is bound here without CPython's per-call
// keyword string building; any other call is handed to
// PyArg_ParseTupleAndKeywords, so refusals keep CPython's own messages.

#include <Python.h>

#include <array>
#include <cstddef>
#include <string_view>
#include <utility>

#include "convert.hpp"
#include "method_docs.hpp"

namespace velkin {

// The parameters in order: the first `required` have no default, the others
// default to None.
template <std::size_t N>
struct Parameters {
  const char* function;
  std::array<const char*, N> names;
  std::size_t required;

  // The label of parameter `name` in conversion messages; a name that is not
  // a parameter of the method does not compile.
  consteval Arg arg(std::string_view name) const {
    for (std::size_t i = 0; i < N; ++i) {
      if (name == names[i]) return Arg{function, names[i]};
    }
    throw "not a parameter of this method";
  }
};

// The parameters of `function`, named in order; more required parameters than
// names does not compile.
template <class... Names>
consteval Parameters<sizeof...(Names)> make_parameters(const char* function, std::size_t required, Names... names) {
  if (required > sizeof...(Names)) throw "more required parameters than parameters";
  return {function, {names...}, required};
}

namespace detail {

enum class TextKind {
  Format,           // PyArg_ParseTupleAndKeywords format: "OO|OO:name"
  MethodSignature,  // "name($self, a, b=None)\n--\n\n" and the docstring
  ClassSignature,   // "Name(a=None)\n--\n\n" and the docstring
};

template <TextKind kind, std::size_t N, class Sink>
constexpr void write_text(const Parameters<N>& parameters, Sink& sink) {
  if constexpr (kind == TextKind::Format) {
    for (std::size_t i = 0; i < N; ++i) sink(i == parameters.required ? "|O" : "O");
    sink(":");
    sink(parameters.function);
  } else {
    sink(parameters.function);
    sink(kind == TextKind::MethodSignature ? "($self" : "(");
    for (std::size_t i = 0; i < N; ++i) {
      if (i > 0 || kind == TextKind::MethodSignature) sink(", ");
      sink(parameters.names[i]);
      if (i >= parameters.required) sink("=None");
    }
    sink(")\n--\n\n");
    sink(method_doc(parameters.function));
  }
}

struct TextLength {
  std::size_t length = 0;
  constexpr void operator()(std::string_view piece) { length += piece.size(); }
};

struct TextWriter {
  char* at;
  constexpr void operator()(std::string_view piece) {
    for (const char c : piece) *at++ = c;
  }
};

template <TextKind kind, const auto& parameters>
constexpr auto make_text() {
  constexpr std::size_t length = [] {
    TextLength counter;
    write_text<kind>(parameters, counter);
    return counter.length;
  }();
  std::array<char, length + 1> text{};
  TextWriter writer{text.data()};
  write_text<kind>(parameters, writer);
  return text;
}

// NUL-terminated, built at compile time.
template <TextKind kind, const auto& parameters>
inline constexpr auto kText = make_text<kind, parameters>();

// The keyword names as PyArg_ParseTupleAndKeywords takes them: null-terminated.
template <const auto& parameters>
inline constexpr auto kKeywords = [] {
  std::array<const char*, parameters.names.size() + 1> keywords{};
  for (std::size_t i = 0; i < parameters.names.size(); ++i) keywords[i] = parameters.names[i];
  return keywords;
}();

template <const auto& parameters, std::size_t N>
bool parse_with_cpython(PyObject* args, PyObject* kwargs, std::array<PyObject*, N>& out) {
  auto keywords = kKeywords<parameters>;
  return [&]<std::size_t... I>(std::index_sequence<I...>) {
    return PyArg_ParseTupleAndKeywords(args, kwargs, kText<TextKind::Format, parameters>.data(),
                                       const_cast<char**>(keywords.data()), &out[I]...) != 0;
  }(std::make_index_sequence<N>{});
}

// The parameter names as interned strings, made once per method: a call
// site's keywords are interned strings, so most are found by identity. A name
// that could not be made stays null and is found by comparison.
template <const auto& parameters>
const auto& interned_names() {
  static const auto names = [] {
    std::array<PyObject*, parameters.names.size()> interned{};
    for (std::size_t j = 0; j < interned.size(); ++j) {
      interned[j] = PyUnicode_InternFromString(parameters.names[j]);
      if (interned[j] == nullptr) PyErr_Clear();
    }
    return interned;
  }();
  return names;
}

template <const auto& parameters>
std::size_t keyword_slot(PyObject* key) {
  constexpr std::size_t N = parameters.names.size();
  const auto& interned = interned_names<parameters>();
  for (std::size_t j = 0; j < N; ++j) {
    if (key == interned[j]) return j;
  }
  if (!PyUnicode_Check(key)) return N;
  for (std::size_t j = 0; j < N; ++j) {
    if (PyUnicode_CompareWithASCIIString(key, parameters.names[j]) == 0) return j;
  }
  return N;
}

}  // namespace detail

// The method table's text signature of a method, and the class's of its
// constructor, each followed by its docstring.
template <const auto& parameters>
constexpr const char* method_text_signature() {
  return detail::kText<detail::TextKind::MethodSignature, parameters>.data();
}
template <const auto& parameters>
constexpr const char* class_text_signature() {
  return detail::kText<detail::TextKind::ClassSignature, parameters>.data();
}

// Fills `out` with borrowed references; parameters not passed keep the value
// `out` held. False with TypeError set when the call does not bind.
template <const auto& parameters, std::size_t N>
bool parse_arguments(PyObject* args, PyObject* kwargs, std::array<PyObject*, N>& out) {
  static_assert(N == parameters.names.size());
  const Py_ssize_t positional = PyTuple_GET_SIZE(args);
  if (positional > static_cast<Py_ssize_t>(N)) return detail::parse_with_cpython<parameters>(args, kwargs, out);
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
      const std::size_t slot = detail::keyword_slot<parameters>(key);
      if (slot == N || given[slot]) return detail::parse_with_cpython<parameters>(args, kwargs, out);
      bound[slot] = value;
      given[slot] = true;
    }
  }
  for (std::size_t j = 0; j < parameters.required; ++j) {
    if (!given[j]) return detail::parse_with_cpython<parameters>(args, kwargs, out);
  }
  out = bound;
  return true;
}

}  // namespace velkin
