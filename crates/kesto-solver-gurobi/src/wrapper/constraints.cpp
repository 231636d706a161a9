// Linear constraints (one GRBaddconstr per constraint) and the objective.

#include "wrapper/utils.hpp"
#include "wrapper/wrapper.hpp"

namespace kesto::gurobi {
namespace {

constexpr const char* kObjAttr = "Obj";
constexpr const char* kObjConAttr = "ObjCon";
constexpr const char* kModelSenseAttr = "ModelSense";
constexpr int kMaximise = -1;
constexpr int kMinimise = 1;

std::vector<int> grb_indices(const std::vector<std::uint64_t>& indices) {
  std::vector<int> result;
  result.reserve(indices.size());
  for (const std::uint64_t index : indices) result.push_back(to_grb_int(index));
  return result;
}

}  // namespace

std::expected<void, KestoError> GurobiOptimizer::set_objective(ScalarFunctionType function, bool maximise) {
  auto objective = scalar_function_to_grb(function);
  if (!objective) return std::unexpected(kesto_error::Msg{std::move(objective.error())});
  std::vector<double> zeros(var_count_, 0.0);
  if (api().GRBsetdblattrarray(model_, kObjAttr, 0, to_grb_int(var_count_), zeros.data()) != 0) {
    // Gurobi holds fewer variables than were handed out when it refused a
    // batch, and then refuses the whole range: reset the variables one by one
    // so that no coefficient of the previous objective survives.
    for (std::uint64_t i = 0; i < var_count_; ++i) api().GRBsetdblattrelement(model_, kObjAttr, to_grb_int(i), 0.0);
  }
  for (std::size_t k = 0; k < objective->indices.size(); ++k) {
    api().GRBsetdblattrelement(model_, kObjAttr, to_grb_int(objective->indices[k]), objective->coefficients[k]);
  }
  api().GRBsetdblattr(model_, kObjConAttr, objective->constant);
  api().GRBsetintattr(model_, kModelSenseAttr, maximise ? kMaximise : kMinimise);
  return {};
}

ConstraintIndices GurobiOptimizer::add_constraints(std::vector<ScalarFunctionType> functions,
                                                   std::vector<ScalarSetType> sets,
                                                   std::optional<std::vector<std::string>> names) {
  const std::uint64_t base = constr_count_;
  const std::size_t count = std::min(functions.size(), sets.size());
  ConstraintIndices result;
  result.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint64_t index = base + i;
    const std::string name = names && i < names->size() ? (*names)[i] : "c" + std::to_string(index);
    if (auto constraint = scalar_constraint_to_grb({functions[i], sets[i]})) {
      std::vector<int> indices = grb_indices(constraint->indices);
      api().GRBaddconstr(model_, to_grb_int(indices.size()), indices.data(), constraint->coefficients.data(),
                         constraint->sense, constraint->rhs, name.c_str());
    }
    result.push_back(index);
  }
  constr_count_ = base + result.size();
  return result;
}

std::uint64_t GurobiOptimizer::add_constraint(ScalarFunctionType function, ScalarSetType set,
                                              std::optional<std::string> name) {
  std::vector<ScalarFunctionType> functions;
  functions.push_back(std::move(function));
  std::optional<std::vector<std::string>> names;
  if (name) names = std::vector<std::string>{std::move(*name)};
  return add_constraints(std::move(functions), {set}, std::move(names)).front();
}

}  // namespace kesto::gurobi
