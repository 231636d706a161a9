#pragma once
// Finding the Gurobi library below an installation directory.

#include <optional>
#include <string>
#include <string_view>

namespace kesto::gurobi {

struct FoundLibrary {
  std::string path;
  // The ASCII digits of the file name, in order ("1203" for libgurobi1203.so).
  std::string version_tag;
};

// Scans dir/lib in directory-listing order and returns the first entry whose
// name contains "gurobi" and a digit, ends in "so" and lacks "_light".
std::optional<FoundLibrary> find_library_in_path(std::string_view dir);

std::optional<std::string> find_library_from(std::string_view dir);

}  // namespace kesto::gurobi
