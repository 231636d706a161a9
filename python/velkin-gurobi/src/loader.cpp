#include "loader.hpp"

#include <sys/stat.h>

#include <cstdlib>

#include "kesto_core/text.hpp"
#include "kesto_core/utf8.hpp"
#include "kesto_solver_gurobi/dynamic/loader.hpp"

namespace velkin {
namespace {

bool path_exists(const std::string& path) {
  struct stat status{};
  return stat(path.c_str(), &status) == 0;
}

struct PathResolver {
  std::expected<std::string, std::string> operator()(const library_source::PythonEnv&) const {
    return std::unexpected(std::string("Cannot determine Gurobi library path from Python environment"));
  }
  std::expected<std::string, std::string> operator()(const library_source::GurobiHome& home) const {
    // An empty GUROBI_HOME would scan ./lib of whatever directory the process
    // runs in, loading code from there; it is treated as holding no library.
    if (!home.dir.empty()) {
      if (auto path = kesto::gurobi::find_library_in_path(home.dir)) return std::move(*path);
    }
    return std::unexpected("Gurobi library not found at expected path: " + home.dir);
  }
  std::expected<std::string, std::string> operator()(const library_source::DllPath& dll) const { return dll.path; }
  std::expected<std::string, std::string> operator()(const library_source::NoSource&) const {
    return std::unexpected(std::string("No valid Gurobi library source found"));
  }
};

}  // namespace

std::expected<LibrarySource, std::string> load_gurobi(std::optional<std::string> hint) {
  if (const char* home = std::getenv(kGurobiHomeVariable); home != nullptr && kesto::is_valid_utf8(home)) {
    return library_source::GurobiHome{home};
  }
  if (hint && path_exists(*hint)) return library_source::DllPath{std::move(*hint)};
  for (const char* path : kFixedInstallPaths) {
    if (path_exists(path)) return library_source::DllPath{path};
  }
  return std::unexpected(std::string("Failed to load Gurobi library from any source"));
}

std::expected<std::string, std::string> loader_to_dll_path(const LibrarySource& source) {
  return std::visit(PathResolver{}, source);
}

std::string searched_places(const LibrarySource* chosen) {
  if (const auto* home = chosen ? std::get_if<library_source::GurobiHome>(chosen) : nullptr) {
    return std::string(kGurobiHomeVariable) + "'s lib/, " + kesto::quote_text(home->dir + "/lib");
  }
  const auto* path = chosen ? std::get_if<library_source::DllPath>(chosen) : nullptr;
  std::string places = std::string(kGurobiHomeVariable) + " (not set, or not UTF-8)";
  for (const char* fixed : kFixedInstallPaths) {
    places += std::string(", ") + fixed;
    if (path && path->path == fixed) break;
  }
  return places;
}

}  // namespace velkin
