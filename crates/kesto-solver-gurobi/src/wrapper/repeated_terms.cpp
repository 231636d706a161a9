// Rows that name a variable more than once, merged before Gurobi sees them.

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>

#include "kesto_solver_gurobi/wrapper/utils.hpp"

namespace kesto::gurobi {
namespace {

// Rows up to this length are merged by comparing each term with the terms
// kept before it: no allocation, and cheaper than sorting at this size.
constexpr std::size_t kDirectTerms = 16;

// The variable a Gurobi int names: its 32 bits read as unsigned, so that a
// negative int is beyond every model.
std::uint64_t to_index(int index) { return static_cast<std::uint32_t>(index); }

void merge_directly(std::vector<int>& indices, std::vector<double>& coefficients) {
  std::size_t kept = 0;
  for (std::size_t k = 0; k < indices.size(); ++k) {
    const auto end = indices.begin() + static_cast<std::ptrdiff_t>(kept);
    const auto at = static_cast<std::size_t>(std::find(indices.begin(), end, indices[k]) - indices.begin());
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

// A long row with repeats: its positions sorted by variable, then by
// position, give each variable's first term and its repeats in row order.
void merge_sorted(std::vector<int>& indices, std::vector<double>& coefficients) {
  const std::size_t n = indices.size();
  std::vector<std::size_t> order(n);
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return indices[a] != indices[b] ? indices[a] < indices[b] : a < b; });
  auto same = [&](std::size_t a, std::size_t b) { return indices[a] == indices[b]; };
  std::vector<char> dropped(n, 0);
  for (std::size_t g = 0; g < n;) {
    const std::size_t first = order[g];
    for (++g; g < n && same(order[g], first); ++g) {
      coefficients[first] += coefficients[order[g]];
      dropped[order[g]] = 1;
    }
  }
  std::size_t kept = 0;
  for (std::size_t k = 0; k < n; ++k) {
    if (dropped[k] != 0) continue;
    indices[kept] = indices[k];
    coefficients[kept] = coefficients[k];
    ++kept;
  }
  indices.resize(kept);
  coefficients.resize(kept);
}

// Whether a short row names a variable twice, term against term: without
// branches, which costs half the mispredicted exits of a search.
bool names_twice(const int* indices, std::size_t terms) {
  int twice = 0;
  for (std::size_t k = 1; k < terms; ++k) {
    for (std::size_t j = 0; j < k; ++j) twice |= static_cast<int>(indices[j] == indices[k]);
  }
  return twice != 0;
}

}  // namespace

bool RepeatedTerms::marks_twice(const int* indices, std::size_t terms) {
  if (seen_.empty()) seen_.assign(static_cast<std::size_t>(variables_ / 64 + 1), 0);
  bool repeats = false;
  std::size_t marked = 0;
  for (; marked < terms && !repeats; ++marked) {
    const std::uint64_t variable = to_index(indices[marked]);
    // A variable beyond the model is Gurobi's to refuse; the row is merged
    // the slow way all the same.
    if (variable >= variables_) {
      repeats = true;
      break;
    }
    std::uint64_t& word = seen_[static_cast<std::size_t>(variable / 64)];
    const std::uint64_t bit = std::uint64_t{1} << (variable % 64);
    repeats = (word & bit) != 0;
    word |= bit;
  }
  for (std::size_t k = 0; k < marked; ++k) {
    const std::uint64_t variable = to_index(indices[k]);
    if (variable < variables_) seen_[static_cast<std::size_t>(variable / 64)] = 0;
  }
  return repeats;
}

bool increasing(const int* indices, std::size_t terms) {
  return std::adjacent_find(indices, indices + terms, std::greater_equal<>()) == indices + terms;
}

bool merges_finite(std::vector<int> indices, std::vector<double> coefficients) {
  merge_sorted(indices, coefficients);
  return std::all_of(coefficients.begin(), coefficients.end(), [](double value) { return std::isfinite(value); });
}

bool RepeatedTerms::any(const int* indices, std::size_t terms) {
  if (terms <= kDirectTerms) return names_twice(indices, terms);
  return !increasing(indices, terms) && marks_twice(indices, terms);
}

void RepeatedTerms::merge(std::vector<int>& indices, std::vector<double>& coefficients) {
  if (!any(indices.data(), indices.size())) return;
  if (indices.size() <= kDirectTerms) {
    merge_directly(indices, coefficients);
  } else {
    merge_sorted(indices, coefficients);
  }
}

}  // namespace kesto::gurobi
