#pragma once
// Solver settings and the values given for them.

#include <cstdint>
#include <string>
#include <variant>

namespace kesto {

namespace optimizer_attr {
struct Silent {};
struct TimeLimit {};
struct RawParameter {
  std::string name;
};
}  // namespace optimizer_attr

using OptimizerAttr = std::variant<optimizer_attr::Silent, optimizer_attr::TimeLimit, optimizer_attr::RawParameter>;

namespace attr_value {
struct Text {
  std::string text;
};
struct Int {
  std::int64_t value;
};
struct Float {
  double value;
};
struct Bool {
  bool value;
};
}  // namespace attr_value

using AttrValue = std::variant<attr_value::Text, attr_value::Int, attr_value::Float, attr_value::Bool>;

}  // namespace kesto
