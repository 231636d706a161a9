#pragma once
// Exact NumPy integer and floating scalars (the items of list(array)), read
// straight from the object instead of through __index__ or __float__, which
// give the same values. Subclasses keep the protocol path: they may override
// those methods.

#include <Python.h>

#include "numeric_items.hpp"

namespace velkin {

// The item type and value address of an exact NumPy scalar of a sized integer
// type, float32 or float64. `found` is false for any other object, and always
// while NumPy has not been imported: NumPy is never imported from here.
struct NumpyScalar {
  bool found = false;
  ItemType type{ItemKind::Float, sizeof(double)};
  const void* value = nullptr;
};
NumpyScalar numpy_scalar(PyObject* object);

}  // namespace velkin
