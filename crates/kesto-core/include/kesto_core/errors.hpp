#pragma once
// Error type of the model-building and solving operations.

#include <string>
#include <string_view>
#include <variant>

namespace kesto {

// The Gurobi backend produces only Msg. The other five variants are kept on
// purpose: they are part of the error type callers match on, and render()
// gives each its text.
namespace kesto_error {
struct UnsupportedConstraint {
  std::string_view func;
  std::string_view set;
};
struct AddConstraintNotAllowed {};
struct UnsupportedAttribute {};
struct SetAttributeNotAllowed {};
struct ScalarFunctionConstantNotZero {
  double value;
};
struct Msg {
  std::string text;
};
}  // namespace kesto_error

using KestoError = std::variant<kesto_error::UnsupportedConstraint, kesto_error::AddConstraintNotAllowed,
                                kesto_error::UnsupportedAttribute, kesto_error::SetAttributeNotAllowed,
                                kesto_error::ScalarFunctionConstantNotZero, kesto_error::Msg>;

// The error's display text, e.g. `Msg("Failed to get status")`.
std::string render(const KestoError& error);

}  // namespace kesto
