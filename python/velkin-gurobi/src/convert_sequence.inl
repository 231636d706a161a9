// Iteration over sequence arguments; included by convert.hpp.

#include "py_ref.hpp"

namespace velkin {

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

}  // namespace velkin
