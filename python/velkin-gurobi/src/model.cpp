// The Model class: construction, destruction and the method table.

#include "model.hpp"

#include <unistd.h>

#include <string>

#include "arguments.hpp"
#include "convert.hpp"
#include "fatal.hpp"
#include "kesto_core/text.hpp"
#include "loader.hpp"

namespace velkin {
namespace {

using kesto::gurobi::GurobiApi;
using kesto::gurobi::GurobiEnv;
using kesto::gurobi::GurobiOptimizer;

constexpr std::string_view kNoDllPathLine =
    "No DLL path provided, attempting to load Gurobi library from environment variables and common locations.\n";
constexpr std::string_view kLoadFailedPrefix = "Failed to load Gurobi library: ";
constexpr std::string_view kFatalPrefix = "Gurobi setup failed: ";

std::string quoted(std::string_view text) { return std::string(kFatalPrefix) + kesto::quote_text(text); }

bool convert_optional_text(PyObject* object, const Arg& arg, std::optional<std::string>& out) {
  if (object == Py_None) return true;
  std::string text;
  if (!convert_text(object, arg, text)) return false;
  out = std::move(text);
  return true;
}

// Steps 2 to 6 of construction; the error is the fatal error's message.
std::expected<GurobiOptimizer, std::string> build_optimizer(const std::optional<std::string>& name,
                                                            std::optional<std::string> dll_path) {
  LibrarySource source;
  if (dll_path) {
    source = library_source::DllPath{std::move(*dll_path)};
  } else {
    write_fd(STDOUT_FILENO, kNoDllPathLine);
    auto found = load_gurobi(std::nullopt);
    if (!found) return std::unexpected(std::string(kLoadFailedPrefix) + found.error());
    source = std::move(*found);
  }
  auto path = loader_to_dll_path(source);
  if (!path) return std::unexpected(quoted(path.error()));
  auto api = GurobiApi::load(std::move(*path));
  if (!api) return std::unexpected(std::string(kFatalPrefix) + kesto::gurobi::render(api.error()));
  auto env = GurobiEnv::create(std::make_shared<const GurobiApi>(std::move(*api)));
  if (!env) return std::unexpected(quoted(env.error()));
  auto optimizer = GurobiOptimizer::create(std::make_shared<GurobiEnv>(std::move(*env)), name);
  if (!optimizer) return std::unexpected(quoted(optimizer.error()));
  return std::move(*optimizer);
}

PyObject* model_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  static const Signature<2> signature{"|OO:Model", {"name", "dll_path", nullptr}, 0};
  std::array<PyObject*, 2> objects{Py_None, Py_None};
  if (!parse_arguments(signature, args, kwargs, objects)) return nullptr;
  auto [name_arg, dll_path_arg] = objects;
  return guarded([&]() -> PyObject* {
    std::optional<std::string> name;
    std::optional<std::string> dll_path;
    if (!convert_optional_text(name_arg, {"Model", "name"}, name) ||
        !convert_optional_text(dll_path_arg, {"Model", "dll_path"}, dll_path)) {
      return nullptr;
    }
    auto optimizer = build_optimizer(name, std::move(dll_path));
    if (!optimizer) return VELKIN_FATAL(optimizer.error());
    PyObject* self = type->tp_alloc(type, 0);
    if (self == nullptr) return nullptr;
    new (&model_state(self)) ModelState{std::move(*optimizer), {}};
    return self;
  });
}

void model_dealloc(PyObject* self) {
  model_state(self).~ModelState();
  Py_TYPE(self)->tp_free(self);
}

constexpr int kWithArguments = METH_VARARGS | METH_KEYWORDS;

PyCFunction keywords_method(PyCFunctionWithKeywords method) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(method));
}

PyMethodDef model_methods[] = {
    {"add_variable", keywords_method(model_add_variable), kWithArguments,
     "add_variable($self, name=None, vtype=None, lb=None, ub=None)\n--\n\n"},
    {"add_variables", keywords_method(model_add_variables), kWithArguments,
     "add_variables($self, n, names=None, vtypes=None, lbs=None, ubs=None)\n--\n\n"},
    {"add_constraint", keywords_method(model_add_constraint), kWithArguments,
     "add_constraint($self, vars, coeffs, constant, sense, rhs, name=None)\n--\n\n"},
    {"add_constraints", keywords_method(model_add_constraints), kWithArguments,
     "add_constraints($self, fs_vars, fs_coeffs, fs_consts, senses, rhss, names=None)\n--\n\n"},
    {"set_objective", keywords_method(model_set_objective), kWithArguments,
     "set_objective($self, vars, coeffs, constant, sense)\n--\n\n"},
    {"update", model_update, METH_NOARGS, "update($self)\n--\n\n"},
    {"optimize", model_optimize, METH_NOARGS, "optimize($self)\n--\n\n"},
    {"get_var_value", keywords_method(model_get_var_value), kWithArguments, "get_var_value($self, var_id)\n--\n\n"},
    {"get_objective_value", model_get_objective_value, METH_NOARGS, "get_objective_value($self)\n--\n\n"},
    {"set_optimizer_attr", keywords_method(model_set_optimizer_attr), kWithArguments,
     "set_optimizer_attr($self, attr, value)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyTypeObject model_type = [] {
  PyTypeObject type{};
  Py_SET_REFCNT(&type, 1);
  // No module qualifier: the class reports __module__ "builtins".
  type.tp_name = "Model";
  type.tp_basicsize = sizeof(ModelObject);
  type.tp_dealloc = model_dealloc;
  type.tp_flags = Py_TPFLAGS_DEFAULT;
  type.tp_doc = "Model(name=None, dll_path=None)\n--\n\n";
  type.tp_methods = model_methods;
  type.tp_new = model_new;
  return type;
}();

bool ready_model_type() { return PyType_Ready(&model_type) == 0; }

PyObject* raise_kesto_error(const kesto::KestoError& error, const char* prefix) {
  PyErr_SetString(PyExc_RuntimeError, (prefix + kesto::render(error)).c_str());
  return nullptr;
}

}  // namespace velkin
