#pragma once
// Choosing the Gurobi library file for a new Model.

#include <expected>
#include <optional>
#include <string>
#include <variant>

namespace velkin {

// Nothing in the module produces PythonEnv or NoSource; they are kept on
// purpose as source kinds that loader_to_dll_path answers with a fixed error.
namespace library_source {
struct PythonEnv {};
struct GurobiHome {
  std::string dir;
};
struct DllPath {
  std::string path;
};
struct NoSource {};
}  // namespace library_source

using LibrarySource = std::variant<library_source::PythonEnv, library_source::GurobiHome, library_source::DllPath,
                                   library_source::NoSource>;

inline constexpr const char* kGurobiHomeVariable = "GUROBI_HOME";
inline constexpr const char* kFixedInstallPaths[] = {
    "/usr/local/gurobi1203/lib/libgurobi1203.so",
    "/opt/gurobi1203/lib/libgurobi1203.so",
};

// GUROBI_HOME when set to valid UTF-8, else an existing hint, else the first
// existing fixed install path. The constructor passes no hint; the parameter is
// kept on purpose for a caller that knows a likely library file.
std::expected<LibrarySource, std::string> load_gurobi(std::optional<std::string> hint);

// The library file a source stands for; GUROBI_HOME's lib folder is scanned.
std::expected<std::string, std::string> loader_to_dll_path(const LibrarySource& source);

// Where load_gurobi looked, for a user to read: GUROBI_HOME's lib/ when it
// chose that, else the fixed install paths up to the one chosen, or all of
// them when `chosen` is null (nothing found).
std::string searched_places(const LibrarySource* chosen);

}  // namespace velkin
