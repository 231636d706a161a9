// Rows that name a variable more than once, merged before Gurobi sees them.

#include <algorithm>
#include <unordered_map>

#include "kesto_solver_gurobi/wrapper/utils.hpp"

namespace kesto::gurobi {
namespace {

// Rows up to this length are merged by comparing each term with the terms
// kept before it: no allocation, and cheaper than sorting at this size.
constexpr std::size_t kDirectTerms = 16;

// Keeps the first term of each variable, with the coefficients of its repeats
// added to it in row order. `position_of` gives the kept position of a
// variable already seen, or `kept` when it is new.
template <class PositionOf>
void merge(std::vector<std::uint64_t>& indices, std::vector<double>& coefficients, PositionOf&& position_of) {
  std::size_t kept = 0;
  for (std::size_t k = 0; k < indices.size(); ++k) {
    const std::size_t at = position_of(indices[k], kept);
    if (at < kept) {
      coefficients[at] += coefficients[k];
      continue;
    }
    indices[kept] = indices[k];
    coefficients[kept] = coefficients[k];
    ++kept;
  }
  indices.resize(kept);
  coefficients.resize(kept);
}

bool has_repeats(const std::vector<std::uint64_t>& indices) {
  std::vector<std::uint64_t> sorted(indices);
  std::sort(sorted.begin(), sorted.end());
  return std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end();
}

}  // namespace

void merge_repeated_terms(std::vector<std::uint64_t>& indices, std::vector<double>& coefficients) {
  if (indices.size() <= kDirectTerms) {
    merge(indices, coefficients, [&](std::uint64_t variable, std::size_t kept) {
      return static_cast<std::size_t>(
          std::find(indices.begin(), indices.begin() + static_cast<std::ptrdiff_t>(kept), variable) - indices.begin());
    });
    return;
  }
  // A long row is sorted once to see whether it repeats anything; only one
  // that does pays for a map of the positions kept.
  if (!has_repeats(indices)) return;
  std::unordered_map<std::uint64_t, std::size_t> kept_at;
  kept_at.reserve(indices.size());
  merge(indices, coefficients,
        [&](std::uint64_t variable, std::size_t kept) { return kept_at.try_emplace(variable, kept).first->second; });
}

}  // namespace kesto::gurobi
