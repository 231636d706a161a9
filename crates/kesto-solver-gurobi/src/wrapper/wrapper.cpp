#include "kesto_solver_gurobi/wrapper/wrapper.hpp"

#include "kesto_solver_gurobi/wrapper/utils.hpp"

namespace kesto::gurobi {
namespace {

constexpr std::string_view kDefaultModelName = "model";

std::string with_code(std::string_view message, int code) { return std::string(message) + std::to_string(code); }

}  // namespace

std::expected<GurobiEnv, std::string> GurobiEnv::create(SharedApi api) {
  GRBenv* env = nullptr;
  if (const int code = api->GRBloadenv(&env, nullptr); code != 0) {
    return std::unexpected(with_code("Failed to load Gurobi environment: error code ", code));
  }
  if (const int code = api->GRBstartenv(env); code != 0) {
    api->GRBfreeenv(env);
    return std::unexpected(with_code("Failed to start Gurobi environment: error code ", code));
  }
  return GurobiEnv(std::move(api), env);
}

GurobiEnv::~GurobiEnv() {
  if (env_ != nullptr) api_->GRBfreeenv(env_);
}

std::expected<GurobiOptimizer, std::string> GurobiOptimizer::create(SharedEnv env,
                                                                    std::optional<std::string_view> name) {
  const std::string model_name(name.value_or(kDefaultModelName));
  if (!passes_as_c_string(model_name)) {
    return std::unexpected(std::string("Model name contains a NUL character"));
  }
  const GurobiApi& api = *env->api();
  GRBmodel* model = nullptr;
  const int code =
      api.GRBnewmodel(env->handle(), &model, model_name.c_str(), 0, nullptr, nullptr, nullptr, nullptr, nullptr);
  if (code != 0) return std::unexpected(with_code("Failed to create Gurobi model: error code ", code));
  SharedApi shared_api = env->api();
  return GurobiOptimizer(std::move(shared_api), std::move(env), model);
}

GurobiOptimizer::GurobiOptimizer(GurobiOptimizer&& other) noexcept
    : api_(std::move(other.api_)),
      env_(std::move(other.env_)),
      model_(std::exchange(other.model_, nullptr)),
      var_count_(other.var_count_),
      constr_count_(other.constr_count_),
      has_solution_(other.has_solution_) {}

GurobiOptimizer::~GurobiOptimizer() {
  // The code of the release is ignored: a destructor has nobody to tell, and
  // the environment and the library are released after it either way.
  if (model_ != nullptr) api_->GRBfreemodel(model_);
}

}  // namespace kesto::gurobi
