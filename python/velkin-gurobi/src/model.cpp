// The Model class: construction, destruction and the method table.

#include "model.hpp"

#include <unistd.h>

#include <string>

#include "convert.hpp"
#include "fatal.hpp"
#include "kesto_core/fd_write.hpp"
#include "kesto_core/text.hpp"
#include "loader.hpp"
#include "method_parameters.hpp"

namespace velkin {
namespace {

using kesto::gurobi::GurobiApi;
using kesto::gurobi::GurobiEnv;
using kesto::gurobi::GurobiOptimizer;

constexpr std::string_view kNoDllPathLine =
    "No DLL path provided, attempting to load Gurobi library from environment variables and common locations.\n";
constexpr std::string_view kLoadFailedPrefix = "Failed to load Gurobi library: ";
constexpr std::string_view kFatalPrefix = "Gurobi setup failed: ";

// Texts of the note attached to a failed construction, which say where the
// library was looked for, or why Gurobi refused, and what to do.
constexpr std::string_view kTriedNote = "Looked for the Gurobi library at: ";
constexpr std::string_view kDllPathPlace = "dll_path ";
constexpr std::string_view kLibraryRemedy =
    "Install Gurobi and set GUROBI_HOME to the directory that holds its lib/ (or pass dll_path), or run without "
    "Gurobi on the stand-in library that comes with this package: "
    "Model(name, velkin_gurobi_standin.library_path())";
constexpr std::string_view kLicenceNote =
    "Error code 10009: Gurobi found no valid licence. Gurobi needs one (a gurobi.lic file, or GRB_LICENSE_FILE "
    "naming it); to run without a licence, use the stand-in library that comes with this package: "
    "Model(name, velkin_gurobi_standin.library_path())";

// A failed construction: the fatal error's message, and the note attached.
struct SetupFailure {
  std::string message;
  std::string note;
};

std::string quoted(std::string_view text) { return std::string(kFatalPrefix) + kesto::quote_text(text); }

std::string library_note(std::string_view places) {
  return std::string(kTriedNote) + std::string(places) + "\n" + std::string(kLibraryRemedy);
}

// The note of a refused environment: Gurobi's licence refusal is told apart
// by its code at the end of the message.
std::string environment_note(std::string_view message) {
  return message.ends_with(" " + std::to_string(GRB_ERROR_NO_LICENSE)) ? std::string(kLicenceNote) : std::string();
}

bool convert_optional_text(PyObject* object, const Arg& arg, std::optional<std::string>& out) {
  if (object == Py_None) return true;
  std::string text;
  if (!convert_text(object, arg, text)) return false;
  out = std::move(text);
  return true;
}

// Chooses the library file, loads it, starts an environment and creates the
// model.
std::expected<GurobiOptimizer, SetupFailure> build_optimizer(const std::optional<std::string>& name,
                                                             std::optional<std::string> dll_path) {
  LibrarySource source;
  std::string places;
  if (dll_path) {
    places = std::string(kDllPathPlace) + kesto::quote_text(*dll_path);
    source = library_source::DllPath{std::move(*dll_path)};
  } else {
    kesto::write_all(STDOUT_FILENO, kNoDllPathLine);  // a notice: nothing to do if it is lost
    auto found = load_gurobi(std::nullopt);
    if (!found) {
      return std::unexpected(
          SetupFailure{std::string(kLoadFailedPrefix) + found.error(), library_note(searched_places(nullptr))});
    }
    source = std::move(*found);
    places = searched_places(&source);
  }
  auto path = loader_to_dll_path(source);
  if (!path) return std::unexpected(SetupFailure{quoted(path.error()), library_note(places)});
  auto api = GurobiApi::load(std::move(*path));
  if (!api) {
    return std::unexpected(
        SetupFailure{std::string(kFatalPrefix) + kesto::gurobi::render(api.error()), library_note(places)});
  }
  auto env = GurobiEnv::create(std::make_shared<const GurobiApi>(std::move(*api)));
  if (!env) return std::unexpected(SetupFailure{quoted(env.error()), environment_note(env.error())});
  auto optimizer = GurobiOptimizer::create(std::make_shared<GurobiEnv>(std::move(*env)), name);
  if (!optimizer) return std::unexpected(SetupFailure{quoted(optimizer.error()), {}});
  return std::move(*optimizer);
}

PyObject* model_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  std::array<PyObject*, 2> objects{Py_None, Py_None};
  if (!parse_arguments<kModelParameters>(args, kwargs, objects)) return nullptr;
  auto [name_arg, dll_path_arg] = objects;
  return guarded([&]() -> PyObject* {
    std::optional<std::string> name;
    std::optional<std::string> dll_path;
    if (!convert_optional_text(name_arg, kModelParameters.arg("name"), name) ||
        !convert_optional_text(dll_path_arg, kModelParameters.arg("dll_path"), dll_path)) {
      return nullptr;
    }
    auto optimizer = build_optimizer(name, std::move(dll_path));
    if (!optimizer) return VELKIN_FATAL(optimizer.error().message, optimizer.error().note);
    PyObject* self = type->tp_alloc(type, 0);
    if (self == nullptr) return nullptr;
    new (&model_state(self)) ModelState{std::move(*optimizer), {}, {}};
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

// One entry of the method table, named and documented from the method's
// parameters; its flags follow the calling convention the method list gave
// the function.
template <const auto& parameters>
PyMethodDef method_entry(PyCFunctionWithKeywords method) {
  return {parameters.function, keywords_method(method), kWithArguments, method_text_signature<parameters>()};
}
template <const auto& parameters>
PyMethodDef method_entry(PyCFunction method) {
  static_assert(parameters.names.empty(), "a method without arguments has no parameters");
  return {parameters.function, method, METH_NOARGS, method_text_signature<parameters>()};
}

#define VELKIN_METHOD_ENTRY(name, Constant, ...) method_entry<k##Constant##Parameters>(model_##name),
// The list's entries, then the empty entry that ends the table.
PyMethodDef model_methods[] = {VELKIN_MODEL_METHODS(VELKIN_METHOD_ENTRY) PyMethodDef{}};
#undef VELKIN_METHOD_ENTRY

}  // namespace

PyTypeObject model_type = [] {
  PyTypeObject type{};
  Py_SET_REFCNT(&type, 1);
  // No module qualifier: the class reports __module__ "builtins".
  type.tp_name = kModelParameters.function;
  type.tp_basicsize = sizeof(ModelObject);
  type.tp_dealloc = model_dealloc;
  type.tp_flags = Py_TPFLAGS_DEFAULT;
  type.tp_doc = class_text_signature<kModelParameters>();
  type.tp_methods = model_methods;
  type.tp_new = model_new;
  return type;
}();

bool ready_model_type() { return PyType_Ready(&model_type) == 0; }

}  // namespace velkin
