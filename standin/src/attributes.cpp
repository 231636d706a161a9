#include "attributes.hpp"

#include <algorithm>
#include <array>

#include "kesto_solver_gurobi/gurobi_constants.h"
#include "text.hpp"

namespace standin {
namespace {

constexpr std::array<AttrDescriptor, 15> kAttributes{{
    {GRB_INT_ATTR_MODELSENSE, Attr::ModelSense, AttrType::Int, AttrScope::Model, true},
    {GRB_INT_ATTR_NUMVARS, Attr::NumVars, AttrType::Int, AttrScope::Model, false},
    {GRB_INT_ATTR_NUMCONSTRS, Attr::NumConstrs, AttrType::Int, AttrScope::Model, false},
    {GRB_INT_ATTR_NUMNZS, Attr::NumNZs, AttrType::Int, AttrScope::Model, false},
    {GRB_INT_ATTR_IS_MIP, Attr::IsMIP, AttrType::Int, AttrScope::Model, false},
    {GRB_INT_ATTR_STATUS, Attr::Status, AttrType::Int, AttrScope::Model, false},
    {GRB_INT_ATTR_SOLCOUNT, Attr::SolCount, AttrType::Int, AttrScope::Model, false},
    {GRB_DBL_ATTR_OBJCON, Attr::ObjCon, AttrType::Double, AttrScope::Model, true},
    {GRB_DBL_ATTR_OBJVAL, Attr::ObjVal, AttrType::Double, AttrScope::Model, false},
    {GRB_DBL_ATTR_RUNTIME, Attr::Runtime, AttrType::Double, AttrScope::Model, false},
    {GRB_STR_ATTR_MODELNAME, Attr::ModelName, AttrType::String, AttrScope::Model, true},
    {GRB_DBL_ATTR_OBJ, Attr::Obj, AttrType::Double, AttrScope::Variable, true},
    {GRB_DBL_ATTR_LB, Attr::LB, AttrType::Double, AttrScope::Variable, true},
    {GRB_DBL_ATTR_UB, Attr::UB, AttrType::Double, AttrScope::Variable, true},
    {GRB_DBL_ATTR_X, Attr::X, AttrType::Double, AttrScope::Variable, false},
}};

constexpr auto name_length = [](const AttrDescriptor& descriptor) { return descriptor.name.size(); };

constexpr std::size_t kLongestName = std::ranges::max(kAttributes, {}, name_length).name.size();

// The most known names that share one length.
constexpr std::size_t kMostOfOneLength = [] {
  std::size_t most = 0;
  for (const auto& descriptor : kAttributes) {
    most = std::max<std::size_t>(most, std::ranges::count(kAttributes, descriptor.name.size(), name_length));
  }
  return most;
}();

using SameLength = std::array<const AttrDescriptor*, kMostOfOneLength>;

// Attributes by the length of their name: every call looks one up, and
// comparing a name with the few known names of its length costs less than
// hashing it.
constexpr std::array<SameLength, kLongestName + 1> kByLength = [] {
  std::array<SameLength, kLongestName + 1> table{};
  for (const auto& descriptor : kAttributes) {
    for (const AttrDescriptor*& slot : table[descriptor.name.size()]) {
      if (slot == nullptr) {
        slot = &descriptor;
        break;
      }
    }
  }
  return table;
}();

const AttrDescriptor* known_attribute(std::string_view name) {
  if (name.size() > kLongestName) return nullptr;
  for (const AttrDescriptor* descriptor : kByLength[name.size()]) {
    if (descriptor == nullptr) break;
    if (equals_ignore_case(descriptor->name, name)) return descriptor;
  }
  return nullptr;
}

}  // namespace

Result<const AttrDescriptor*> find_attribute(std::string_view name, AttrType type, AttrScope scope) {
  const AttrDescriptor* descriptor = known_attribute(name);
  if (descriptor == nullptr || descriptor->type != type || descriptor->scope != scope) {
    return std::unexpected(Error::UnknownAttribute);
  }
  return descriptor;
}

}  // namespace standin
