#include "attributes.hpp"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <unordered_map>

#include "kesto_solver_gurobi/gurobi_constants.h"
#include "text.hpp"

namespace standin {
namespace {

constexpr std::array<AttrSpec, 15> kAttributes{{
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

constexpr std::size_t kLongestName =
    std::ranges::max(kAttributes, {}, [](const AttrSpec& descriptor) { return descriptor.name.size(); }).name.size();

using LoweredName = std::array<char, kLongestName>;

// The name in lower case, padded with NULs; none when it is longer than every known name.
std::optional<LoweredName> lowered(std::string_view name) {
  if (name.size() > kLongestName) return std::nullopt;
  LoweredName result{};
  std::ranges::transform(name, result.begin(), lower_ascii);
  return result;
}

struct LoweredNameHash {
  std::size_t operator()(const LoweredName& name) const {
    return std::hash<std::string_view>{}(std::string_view(name.data(), name.size()));
  }
};

// Attributes by lowered name: every call looks one up.
const std::unordered_map<LoweredName, const AttrSpec*, LoweredNameHash>& attribute_index() {
  static const auto index = [] {
    std::unordered_map<LoweredName, const AttrSpec*, LoweredNameHash> built;
    for (const auto& descriptor : kAttributes) built.emplace(*lowered(descriptor.name), &descriptor);
    return built;
  }();
  return index;
}

}  // namespace

Result<const AttrSpec*> find_attribute(std::string_view name, AttrType type, AttrScope scope) {
  const auto key = lowered(name);
  if (!key) return std::unexpected(Error::UnknownAttribute);
  const auto found = attribute_index().find(*key);
  if (found == attribute_index().end()) return std::unexpected(Error::UnknownAttribute);
  const AttrSpec* descriptor = found->second;
  if (descriptor->type != type || descriptor->scope != scope) return std::unexpected(Error::UnknownAttribute);
  return descriptor;
}

}  // namespace standin
