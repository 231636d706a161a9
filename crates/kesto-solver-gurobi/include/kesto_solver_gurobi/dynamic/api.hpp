#pragma once
// The table of Gurobi functions of one opened library.

#include <expected>
#include <optional>
#include <string>
#include <variant>

#include "kesto_solver_gurobi/gurobi_c.h"

namespace kesto::gurobi {

namespace load_error {
struct DlOpen {
  std::string source;
};
struct DlOpenUnknown {};
struct DlSym {
  std::string source;
};
struct InteriorZeroElements {};
}  // namespace load_error

using LoadError =
    std::variant<load_error::DlOpen, load_error::DlOpenUnknown, load_error::DlSym, load_error::InteriorZeroElements>;

// e.g. `DlOpen { source: "libx.so: cannot open shared object file" }`.
std::string render(const LoadError& error);

// X-macro of the Gurobi functions, in resolution order: every list of them
// (the table, the bench's floor, the tests' names) is made from this one.
// The backend calls most of them (the "Gurobi:" lines of wrapper/wrapper.hpp
// name those); the others are looked up on purpose all the same, so that a
// library lacking any of the functions fails to load.
#define KESTO_GUROBI_FUNCTIONS(X) \
  X(GRBversion)                   \
  X(GRBstartenv)                  \
  X(GRBloadenv)                   \
  X(GRBfreeenv)                   \
  X(GRBgetenv)                    \
  X(GRBnewmodel)                  \
  X(GRBfreemodel)                 \
  X(GRBaddvar)                    \
  X(GRBaddvars)                   \
  X(GRBaddconstr)                 \
  X(GRBaddconstrs)                \
  X(GRBgetintattr)                \
  X(GRBsetintattr)                \
  X(GRBgetdblattr)                \
  X(GRBsetdblattr)                \
  X(GRBgetdblattrarray)           \
  X(GRBgetstrattr)                \
  X(GRBsetstrattr)                \
  X(GRBoptimize)                  \
  X(GRBgetdblparam)               \
  X(GRBgetintparam)               \
  X(GRBgetstrparam)               \
  X(GRBsetdblparam)               \
  X(GRBsetintparam)               \
  X(GRBsetstrparam)               \
  X(GRBsetparam)                  \
  X(GRBupdatemodel)               \
  X(GRBgetdblattrelement)         \
  X(GRBsetdblattrelement)         \
  X(GRBsetdblattrarray)

// Owns the dlopen handle; releasing the table closes the library. Immutable
// once built and shared through std::shared_ptr.
class GurobiApi {
 public:
  // Opens the library at path (the running process's own symbols when absent)
  // and resolves every function of the list.
  static std::expected<GurobiApi, LoadError> load(std::optional<std::string> path);

  GurobiApi(GurobiApi&& other) noexcept;
  GurobiApi& operator=(GurobiApi&&) = delete;
  GurobiApi(const GurobiApi&) = delete;
  GurobiApi& operator=(const GurobiApi&) = delete;
  ~GurobiApi();

#define KESTO_GUROBI_DECLARE_ENTRY(name) decltype(&::name) name = nullptr;
  KESTO_GUROBI_FUNCTIONS(KESTO_GUROBI_DECLARE_ENTRY)
#undef KESTO_GUROBI_DECLARE_ENTRY

 private:
  explicit GurobiApi(void* handle) : handle_(handle) {}
  void* handle_ = nullptr;
};

}  // namespace kesto::gurobi
