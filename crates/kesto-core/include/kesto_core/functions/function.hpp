#pragma once
// Real-valued functions of a model's variables.

#include <cstdint>
#include <variant>
#include <vector>

namespace kesto {

struct Term {
  std::uint64_t variable;
  double coefficient;
};

// Sum of coefficient * variable over the terms, plus the constant. Terms keep
// their order; repeated variables and zero coefficients stay as given.
struct Affine {
  std::vector<Term> terms;
  double constant = 0.0;
};

// A function kind this system never builds; backends refuse it.
struct OpaqueFunction {};

using ScalarFunctionType = std::variant<Affine, OpaqueFunction>;

}  // namespace kesto
