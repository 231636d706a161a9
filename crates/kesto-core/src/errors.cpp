#include "kesto_core/errors.hpp"

#include "kesto_core/text.hpp"

namespace kesto {
namespace {

struct Renderer {
  std::string operator()(const kesto_error::UnsupportedConstraint& e) const {
    return "UnsupportedConstraint { func: " + quote_text(e.func) + ", set: " + quote_text(e.set) + " }";
  }
  std::string operator()(const kesto_error::AddConstraintNotAllowed&) const { return "AddConstraintNotAllowed"; }
  std::string operator()(const kesto_error::UnsupportedAttribute&) const { return "UnsupportedAttribute"; }
  std::string operator()(const kesto_error::SetAttributeNotAllowed&) const { return "SetAttributeNotAllowed"; }
  std::string operator()(const kesto_error::ScalarFunctionConstantNotZero& e) const {
    return "ScalarFunctionConstantNotZero { value: " + format_float(e.value) + " }";
  }
  std::string operator()(const kesto_error::Msg& e) const { return "Msg(" + quote_text(e.text) + ")"; }
};

}  // namespace

std::string render(const KestoError& error) { return std::visit(Renderer{}, error); }

}  // namespace kesto
