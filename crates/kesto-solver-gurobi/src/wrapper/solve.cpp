// Update, solve, result queries and solver parameters.

#include <limits>

#include "kesto_solver_gurobi/wrapper/utils.hpp"
#include "kesto_solver_gurobi/wrapper/wrapper.hpp"

namespace kesto::gurobi {
namespace {

SolveStatus to_solve_status(int grb_status) {
  switch (grb_status) {
    case GRB_OPTIMAL: return SolveStatus::Optimal;
    case GRB_INFEASIBLE: return SolveStatus::Infeasible;
    case GRB_UNBOUNDED: return SolveStatus::Unbounded;
    case GRB_SUBOPTIMAL: return SolveStatus::Suboptimal;
    default: return SolveStatus::Other;
  }
}

KestoError failure(std::string_view message, int code) {
  return kesto_error::Msg{std::string(message) + std::to_string(code)};
}

// Sets one parameter on the model's own environment. Result codes of
// parameter calls are deliberately not examined.
class ParameterWriter {
 public:
  ParameterWriter(const GurobiApi& api, GRBenv* env) : api_(api), env_(env) {}

  void set_int(const char* name, int value) const { api_.GRBsetintparam(env_, name, value); }
  void set_double(const char* name, double value) const { api_.GRBsetdblparam(env_, name, value); }
  void set_text(const char* name, const char* value) const { api_.GRBsetstrparam(env_, name, value); }

  // Silent: output off for true, a non-zero int or a non-zero float.
  void silent(const AttrValue& value) const {
    bool quiet = false;
    if (const auto* b = std::get_if<attr_value::Bool>(&value)) quiet = b->value;
    if (const auto* i = std::get_if<attr_value::Int>(&value)) quiet = i->value != 0;
    if (const auto* f = std::get_if<attr_value::Float>(&value)) quiet = f->value != 0.0;
    set_int(GRB_INT_PAR_OUTPUTFLAG, quiet ? 0 : 1);
  }

  void time_limit(const AttrValue& value) const {
    if (const auto* f = std::get_if<attr_value::Float>(&value)) set_double(GRB_DBL_PAR_TIMELIMIT, f->value);
    if (const auto* i = std::get_if<attr_value::Int>(&value))
      set_double(GRB_DBL_PAR_TIMELIMIT, static_cast<double>(i->value));
  }

  // A name or text holding NUL would reach Gurobi truncated, possibly naming
  // another parameter, so such a parameter is left unset; likewise an int
  // that a 32-bit parameter cannot hold.
  void raw(const std::string& name, const AttrValue& value) const {
    if (!passes_as_c_string(name)) return;
    if (const auto* t = std::get_if<attr_value::Text>(&value)) {
      if (passes_as_c_string(t->text)) set_text(name.c_str(), t->text.c_str());
    } else if (const auto* i = std::get_if<attr_value::Int>(&value)) {
      if (i->value >= std::numeric_limits<int>::min() && i->value <= std::numeric_limits<int>::max()) {
        set_int(name.c_str(), static_cast<int>(i->value));
      }
    } else if (const auto* f = std::get_if<attr_value::Float>(&value)) {
      set_double(name.c_str(), f->value);
    } else if (const auto* b = std::get_if<attr_value::Bool>(&value)) {
      set_int(name.c_str(), b->value ? 1 : 0);
    }
  }

 private:
  const GurobiApi& api_;
  GRBenv* env_;
};

}  // namespace

std::expected<void, KestoError> GurobiOptimizer::update() {
  if (const int code = api().GRBupdatemodel(model_); code != 0) {
    return std::unexpected(failure("Failed to update model: ", code));
  }
  return {};
}

std::expected<SolveStatus, KestoError> GurobiOptimizer::optimize() {
  if (const int code = api().GRBoptimize(model_); code != 0) {
    return std::unexpected(failure("Gurobi optimization failed: ", code));
  }
  int status = 0;
  if (api().GRBgetintattr(model_, GRB_INT_ATTR_STATUS, &status) != 0) {
    return std::unexpected(kesto_error::Msg{"Failed to get status"});
  }
  return to_solve_status(status);
}

std::optional<double> GurobiOptimizer::get_var_value(std::uint64_t index) const {
  // An index beyond Gurobi's int range names no variable; passing its low
  // 32 bits would read another one.
  if (index > kMaxGrbIndex) return std::nullopt;
  double value = 0.0;
  if (api().GRBgetdblattrelement(model_, GRB_DBL_ATTR_X, static_cast<int>(index), &value) != 0) return std::nullopt;
  return value;
}

std::optional<double> GurobiOptimizer::get_objective_value() const {
  double value = 0.0;
  if (api().GRBgetdblattr(model_, GRB_DBL_ATTR_OBJVAL, &value) != 0) return std::nullopt;
  return value;
}

std::expected<void, KestoError> GurobiOptimizer::set_optimizer_attr(OptimizerAttr attr, AttrValue value) {
  GRBenv* env = api().GRBgetenv(model_);
  if (env == nullptr) return {};
  const ParameterWriter writer(api(), env);
  if (std::holds_alternative<optimizer_attr::Silent>(attr)) {
    writer.silent(value);
  } else if (std::holds_alternative<optimizer_attr::TimeLimit>(attr)) {
    writer.time_limit(value);
  } else {
    writer.raw(std::get<optimizer_attr::RawParameter>(attr).name, value);
  }
  return {};
}

}  // namespace kesto::gurobi
