#include "environment.hpp"

#include <memory>

#include "kesto_solver_gurobi/gurobi_constants.h"

namespace standin {
namespace {
constexpr const char* kLoadingKind = "loading";
constexpr const char* kModelKind = "model";
}  // namespace

Result<std::unique_ptr<Environment>> Environment::create_loading(const char* logfile, const Switches& switches) {
  auto env = std::make_unique<Environment>(EnvKind::Loading, ParameterSet{}, KeptSwitches(switches));
  if (logfile != nullptr) {
    if (auto set = env->params_.set_string(GRB_STR_PAR_LOGFILE, logfile); !set) {
      return std::unexpected(set.error());
    }
  }
  return env;
}

Environment::Environment(EnvKind kind, const ParameterSet& params, const KeptSwitches& switches)
    : kind_(kind), id_(next_handle_id(HandleKind::Env)), params_(params), switches_(switches) {
  if (kind_ == EnvKind::Loading) live_.emplace(HandleKind::Env);
}

const char* Environment::kind_name() const { return kind_ == EnvKind::Loading ? kLoadingKind : kModelKind; }

}  // namespace standin
