#include "attributes.hpp"

#include <array>

#include "text.hpp"

namespace standin {
namespace {

constexpr std::array<AttrSpec, 15> kAttributes{{
    {"ModelSense", Attr::ModelSense, AttrType::Int, AttrScope::Model, true},
    {"NumVars", Attr::NumVars, AttrType::Int, AttrScope::Model, false},
    {"NumConstrs", Attr::NumConstrs, AttrType::Int, AttrScope::Model, false},
    {"NumNZs", Attr::NumNZs, AttrType::Int, AttrScope::Model, false},
    {"IsMIP", Attr::IsMIP, AttrType::Int, AttrScope::Model, false},
    {"Status", Attr::Status, AttrType::Int, AttrScope::Model, false},
    {"SolCount", Attr::SolCount, AttrType::Int, AttrScope::Model, false},
    {"ObjCon", Attr::ObjCon, AttrType::Double, AttrScope::Model, true},
    {"ObjVal", Attr::ObjVal, AttrType::Double, AttrScope::Model, false},
    {"Runtime", Attr::Runtime, AttrType::Double, AttrScope::Model, false},
    {"ModelName", Attr::ModelName, AttrType::String, AttrScope::Model, true},
    {"Obj", Attr::Obj, AttrType::Double, AttrScope::Variable, true},
    {"LB", Attr::LB, AttrType::Double, AttrScope::Variable, true},
    {"UB", Attr::UB, AttrType::Double, AttrScope::Variable, true},
    {"X", Attr::X, AttrType::Double, AttrScope::Variable, false},
}};

}  // namespace

Result<const AttrSpec*> find_attribute(std::string_view name, AttrType type, AttrScope scope) {
  for (const auto& descriptor : kAttributes) {
    if (equals_ignore_case(descriptor.name, name)) {
      if (descriptor.type != type || descriptor.scope != scope) break;
      return &descriptor;
    }
  }
  return std::unexpected(Error::UnknownAttribute);
}

}  // namespace standin
