#pragma once
// Finding the Gurobi library below an installation directory.

#include <optional>
#include <string>
#include <string_view>

namespace kesto::gurobi {

// Scans dir/lib in directory-listing order and returns the path of the first
// entry whose name contains "gurobi" and a digit, ends in "so" and lacks
// "_light".
std::optional<std::string> find_library_in_path(std::string_view dir);

}  // namespace kesto::gurobi
