#pragma once
// Sets of real numbers in which a constraint's function must lie.

#include <variant>

namespace kesto {

struct GreaterEqual {
  double value;
};
struct LessEqual {
  double value;
};
struct Equal {
  double value;
};
// A range set this system never builds; backends refuse it.
struct Interval {
  double lower;
  double upper;
};

using ScalarSetType = std::variant<GreaterEqual, LessEqual, Equal, Interval>;

}  // namespace kesto
