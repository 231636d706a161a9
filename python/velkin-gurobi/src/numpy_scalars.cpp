#include "numpy_scalars.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "py_ref.hpp"

namespace velkin {
namespace {

// NumPy's scalar objects hold their value right after the object header.
template <class T>
struct ScalarLayout {
  PyObject header;
  T value;
};

struct KnownScalar {
  const char* name;
  ItemType type;
  Py_ssize_t basic_size;
  std::size_t value_offset;
};

template <class T>
constexpr KnownScalar known(const char* name) {
  return {name, item_type_of<T>(), sizeof(ScalarLayout<T>), offsetof(ScalarLayout<T>, value)};
}

// Most frequent first: the lookup compares types in this order.
constexpr std::array kKnownScalars{
    known<double>("float64"),     known<std::int64_t>("int64"),   known<std::int32_t>("int32"),
    known<float>("float32"),      known<std::uint64_t>("uint64"), known<std::uint32_t>("uint32"),
    known<std::int16_t>("int16"), known<std::uint16_t>("uint16"), known<std::int8_t>("int8"),
    known<std::uint8_t>("uint8"), known<long long>("longlong"),   known<unsigned long long>("ulonglong"),
};

constexpr std::string_view kNumpyPrefix = "numpy.";

// The type NumPy names `known.name`, when it is laid out as expected: a static
// type of NumPy's own, of the expected size. Anything else in sys.modules
// under the name "numpy" is not trusted with a raw read.
PyTypeObject* numpy_type(PyObject* numpy, const KnownScalar& known) {
  PyRef attribute = PyRef::steal(PyObject_GetAttrString(numpy, known.name));
  if (!attribute) {
    PyErr_Clear();
    return nullptr;
  }
  if (!PyType_Check(attribute.get())) return nullptr;
  auto* type = reinterpret_cast<PyTypeObject*>(attribute.get());
  if (PyType_HasFeature(type, Py_TPFLAGS_HEAPTYPE) || type->tp_basicsize != known.basic_size ||
      !std::string_view(type->tp_name).starts_with(kNumpyPrefix)) {
    return nullptr;
  }
  return type;
}

// The scalar types, looked up once NumPy is in sys.modules. They are static
// types of NumPy's extension module, which CPython never unloads and which
// refuses to load into a subinterpreter, so one table per process stays
// valid for good; like this module, it is only touched with the GIL held. A
// lookup that does not find them all is not kept and is tried again later.
const std::array<PyTypeObject*, kKnownScalars.size()>* scalar_types() {
  static std::array<PyTypeObject*, kKnownScalars.size()> types{};
  static bool resolved = false;
  if (resolved) return &types;
  PyObject* numpy = PyDict_GetItemString(PyImport_GetModuleDict(), "numpy");
  if (numpy == nullptr) return nullptr;
  PyRef held = PyRef::borrow(numpy);
  std::array<PyTypeObject*, kKnownScalars.size()> found{};
  for (std::size_t i = 0; i < found.size(); ++i) {
    found[i] = numpy_type(held.get(), kKnownScalars[i]);
    if (found[i] == nullptr) return nullptr;
  }
  // The table keeps its own reference to every type, never given back.
  for (PyTypeObject* type : found) Py_INCREF(type);
  types = found;
  resolved = true;
  return &types;
}

}  // namespace

NumpyScalar numpy_scalar(PyObject* object) {
  const auto* types = scalar_types();
  if (types == nullptr) return {};
  for (std::size_t i = 0; i < types->size(); ++i) {
    if (Py_IS_TYPE(object, (*types)[i])) {
      const KnownScalar& known = kKnownScalars[i];
      return {true, known.type, reinterpret_cast<const char*>(object) + known.value_offset};
    }
  }
  return {};
}

}  // namespace velkin
