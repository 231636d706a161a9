#pragma once
// How a batch of new variables is named and bounded.

#include <string>
#include <variant>
#include <vector>

namespace kesto {

namespace name_type {
// Names base + "_" + position within the batch.
struct Prefix {
  std::string base;
};
// One name per variable, used unchanged.
struct List {
  std::vector<std::string> names;
};
}  // namespace name_type

using NameType = std::variant<name_type::Prefix, name_type::List>;

namespace bound_type {
struct Uniform {
  double value;
};
struct List {
  std::vector<double> values;
};
}  // namespace bound_type

using BoundType = std::variant<bound_type::Uniform, bound_type::List>;

}  // namespace kesto
