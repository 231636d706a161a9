// Model.add_variable and Model.add_variables.

#include "batch_cost.hpp"
#include "convert.hpp"
#include "memory_budget.hpp"
#include "method_parameters.hpp"
#include "model.hpp"
#include "refusals.hpp"

namespace velkin {
namespace {

using kesto::BoundType;
using kesto::NameType;
using kesto::gurobi::kMaxGrbIndex;

// Memory a batch takes per variable while it is added: the module's arrays
// (two bounds, a type byte, a name and its pointer, the backend's index), the
// returned list (a pointer and an int object of 32 bytes), and Gurobi's own
// copy (41 bytes measured with the stand-in library and default names).
// Names given add what name_bytes counts.
constexpr std::uint64_t kModuleBytesPerVariable =
    2 * sizeof(double) + 1 + sizeof(std::string) + sizeof(char*) + sizeof(std::uint64_t);
constexpr std::uint64_t kListBytesPerVariable = sizeof(PyObject*) + 32;
constexpr std::uint64_t kLibraryBytesPerVariable = 48;
constexpr std::uint64_t kBytesPerVariable = kModuleBytesPerVariable + kListBytesPerVariable + kLibraryBytesPerVariable;

// A batch that cannot fit in the memory the process can still get is refused
// before anything is allocated, rather than filling memory until the system
// ends the process. `n` is at most Gurobi's index limit here.
bool batch_fits(std::uint64_t n, PyObject* names) {
  return fits_in_memory(n * kBytesPerVariable + name_bytes(names, n));
}

// The list of the indices a batch will get, built before Gurobi is called so
// that no allocation can fail once the batch has been added.
PyRef consecutive_indices(std::uint64_t start, std::uint64_t n) {
  PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(n)));
  if (!list) return list;
  for (std::uint64_t i = 0; i < n; ++i) {
    PyObject* index = PyLong_FromUnsignedLongLong(start + i);
    if (index == nullptr) return PyRef();
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), index);
  }
  return list;
}

struct VariableBatch {
  std::uint64_t n = 0;
  std::optional<std::vector<std::string>> names;
  std::optional<std::vector<char32_t>> vtypes;
  std::optional<std::vector<double>> lbs;
  std::optional<std::vector<double>> ubs;
};

bool convert_variable_batch(const std::array<PyObject*, 5>& objects, VariableBatch& batch) {
  constexpr const auto& parameters = kAddVariablesParameters;
  constexpr Arg n_arg = parameters.arg("n");
  if (!convert_unsigned(objects[0], n_arg, batch.n)) return false;
  if (batch.n > kMaxGrbIndex) {
    return fail(PyExc_OverflowError, n_arg, "must not exceed " + std::to_string(kMaxGrbIndex));
  }
  if (!batch_fits(batch.n, objects[1])) {
    return fail(PyExc_MemoryError, n_arg, "asks for more variables than fit in this machine's memory");
  }
  auto text_sequence = [](PyObject* object, const Arg& arg, std::vector<std::string>& out) {
    return convert_sequence(object, arg, out, convert_text);
  };
  constexpr Arg names_arg = parameters.arg("names"), vtypes_arg = parameters.arg("vtypes"),
                lbs_arg = parameters.arg("lbs"), ubs_arg = parameters.arg("ubs");
  if (!convert_optional(objects[1], names_arg, batch.names, text_sequence) ||
      !convert_optional(objects[2], vtypes_arg, batch.vtypes, convert_char_sequence) ||
      !convert_optional(objects[3], lbs_arg, batch.lbs, convert_real_sequence<std::vector<double>>) ||
      !convert_optional(objects[4], ubs_arg, batch.ubs, convert_real_sequence<std::vector<double>>)) {
    return false;
  }
  const std::string needed_for = "variables asked for by 'n'";
  auto long_enough = [&](const auto& sequence, const Arg& arg) {
    return !sequence || check_length(sequence->size(), batch.n, arg, needed_for);
  };
  return long_enough(batch.names, names_arg) && long_enough(batch.vtypes, vtypes_arg) &&
         long_enough(batch.lbs, lbs_arg) && long_enough(batch.ubs, ubs_arg);
}

std::optional<BoundType> bound_list(std::optional<std::vector<double>>& values) {
  if (!values) return std::nullopt;
  return kesto::bound_type::List{std::move(*values)};
}

}  // namespace

PyObject* model_add_variable(PyObject* self, PyObject* args, PyObject* kwargs) {
  constexpr const auto& parameters = kAddVariableParameters;
  std::array<PyObject*, 4> objects{Py_None, Py_None, Py_None, Py_None};
  if (!parse_arguments<parameters>(args, kwargs, objects)) return nullptr;
  auto [name_obj, vtype_obj, lb_obj, ub_obj] = objects;
  return with_model<Access::Exclusive>(self, [&](auto& optimizer) -> PyObject* {
    constexpr Arg name_arg = parameters.arg("name");
    std::optional<std::string> name;
    std::optional<char32_t> vtype;
    std::optional<double> lb, ub;
    if (!convert_optional(name_obj, name_arg, name, convert_text) ||
        !convert_optional(vtype_obj, parameters.arg("vtype"), vtype, convert_char) ||
        !convert_optional(lb_obj, parameters.arg("lb"), lb, convert_real) ||
        !convert_optional(ub_obj, parameters.arg("ub"), ub, convert_real)) {
      return nullptr;
    }
    PyRef result = PyRef::steal(PyLong_FromUnsignedLongLong(optimizer.var_count()));
    if (!result) return nullptr;
    const ModelCounts before = counts_of(optimizer);
    auto index = optimizer.add_variable(name, vtype, lb, ub);
    if (!index) {
      constexpr VariableArgs args{
          {parameters.arg("vtype"), parameters.arg("lb"), parameters.arg("ub"), name_arg}, false};
      return raise_variable_refusal(index.error(), args, before, counts_of(optimizer));
    }
    return result.release();
  });
}

PyObject* model_add_variables(PyObject* self, PyObject* args, PyObject* kwargs) {
  std::array<PyObject*, 5> objects{nullptr, Py_None, Py_None, Py_None, Py_None};
  if (!parse_arguments<kAddVariablesParameters>(args, kwargs, objects)) return nullptr;
  return with_model<Access::Exclusive>(self, [&](auto& optimizer) -> PyObject* {
    VariableBatch batch;
    if (!convert_variable_batch(objects, batch)) return nullptr;
    std::optional<NameType> names;
    if (batch.names) names = kesto::name_type::List{std::move(*batch.names)};
    PyRef result = consecutive_indices(optimizer.var_count(), batch.n);
    if (!result) return nullptr;
    const ModelCounts before = counts_of(optimizer);
    auto first = optimizer.add_variable_range(batch.n, std::move(names), std::move(batch.vtypes), bound_list(batch.lbs),
                                              bound_list(batch.ubs));
    if (!first) {
      constexpr const auto& parameters = kAddVariablesParameters;
      constexpr VariableArgs args{
          {parameters.arg("vtypes"), parameters.arg("lbs"), parameters.arg("ubs"), parameters.arg("names")}, true};
      return raise_variable_refusal(first.error(), args, before, counts_of(optimizer));
    }
    return result.release();
  });
}

}  // namespace velkin
