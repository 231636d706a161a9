#include "kesto_solver_gurobi/dynamic/loader.hpp"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <iterator>
#include <memory>

#include "kesto_core/utf8.hpp"

namespace kesto::gurobi {
namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

std::string join(std::string_view dir, std::string_view component) {
  std::string path(dir);
  if (!path.empty() && path.back() != '/') path.push_back('/');
  path.append(component);
  return path;
}

bool is_library_name(std::string_view name) {
  return name.find("gurobi") != std::string_view::npos && name.size() >= 2 && name.ends_with("so") &&
         name.find("_light") == std::string_view::npos &&
         std::ranges::any_of(name, [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::optional<std::string> find_library_in_path(std::string_view dir) {
  const std::string lib_dir = join(dir, "lib");
  struct stat status {};
  if (stat(lib_dir.c_str(), &status) != 0) return std::nullopt;
  DirHandle listing(opendir(lib_dir.c_str()));
  if (!listing) return std::nullopt;
  while (const dirent* entry = readdir(listing.get())) {
    const std::string_view name(entry->d_name);
    if (name.empty() || !kesto::is_valid_utf8(name) || !is_library_name(name)) continue;
    return join(lib_dir, name);
  }
  return std::nullopt;
}

}  // namespace kesto::gurobi
