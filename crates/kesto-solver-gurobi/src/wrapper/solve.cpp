// Update, solve, result queries and solver parameters.

#include <array>
#include <cmath>
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

bool fits_int(std::int64_t value) {
  return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

// A float with a whole value within Gurobi's int range (2.0, not 2.5 or NaN).
bool is_whole_int(double value) {
  return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max() &&
         value == static_cast<double>(static_cast<int>(value));
}

constexpr std::string_view kNulReason = "its name or value holds a NUL character";
constexpr std::string_view kNotANumberReason = "it takes a number, not a bool or a str";
constexpr std::string_view kNoEnvironmentReason = "the model has no environment";

ParameterOutcome unset(std::string_view name, std::string_view reason) {
  return UnsetParameter{std::string(name), std::string(reason)};
}

std::string error_code(int code) { return "error code " + std::to_string(code); }

// Both calls of a retry refused: "as an int: error code 10008; as a double: error code 10008".
std::string both_codes(std::string_view first_type, int first_code, std::string_view second_type, int second_code) {
  return "as " + std::string(first_type) + ": " + error_code(first_code) + "; as " + std::string(second_type) + ": " +
         error_code(second_code);
}

// The Gurobi parameter an attribute sets.
std::string_view parameter_name(const OptimizerAttr& attr) {
  if (std::holds_alternative<optimizer_attr::Silent>(attr)) return GRB_INT_PAR_OUTPUTFLAG;
  if (std::holds_alternative<optimizer_attr::TimeLimit>(attr)) return GRB_DBL_PAR_TIMELIMIT;
  return std::get<optimizer_attr::RawParameter>(attr).name;
}

// Sets one parameter on the model's own environment and says when it stays
// unset.
class ParameterWriter {
 public:
  ParameterWriter(const GurobiApi& api, GRBenv* env) : api_(api), env_(env) {}

  // A refusal's reason: the code and, when Gurobi answers that it knows no such
  // parameter but does know the name, what the parameter takes instead.
  ParameterOutcome refused(const char* name, int code) const {
    if (code == 0) return std::nullopt;
    return unset(name, error_code(code) + type_taken(name, code));
  }
  ParameterOutcome refused_twice(const char* name, std::string_view first_type, int first_code,
                                 std::string_view second_type, int second_code) const {
    return unset(name, both_codes(first_type, first_code, second_type, second_code) + type_taken(name, second_code));
  }

  ParameterOutcome set_int(const char* name, int value) const {
    return refused(name, api_.GRBsetintparam(env_, name, value));
  }
  ParameterOutcome set_double(const char* name, double value) const {
    return refused(name, api_.GRBsetdblparam(env_, name, value));
  }
  ParameterOutcome set_text(const char* name, const char* value) const {
    return refused(name, api_.GRBsetstrparam(env_, name, value));
  }

  // Silent: output off for true, a non-zero int or a non-zero float.
  ParameterOutcome silent(const AttrValue& value) const {
    bool quiet = false;
    if (const auto* b = std::get_if<attr_value::Bool>(&value)) quiet = b->value;
    if (const auto* i = std::get_if<attr_value::Int>(&value)) quiet = i->value != 0;
    if (const auto* f = std::get_if<attr_value::Float>(&value)) quiet = f->value != 0.0;
    return set_int(GRB_INT_PAR_OUTPUTFLAG, quiet ? 0 : 1);
  }

  ParameterOutcome time_limit(const AttrValue& value) const {
    if (const auto* f = std::get_if<attr_value::Float>(&value)) return set_double(GRB_DBL_PAR_TIMELIMIT, f->value);
    if (const auto* i = std::get_if<attr_value::Int>(&value)) {
      return set_double(GRB_DBL_PAR_TIMELIMIT, static_cast<double>(i->value));
    }
    return unset(GRB_DBL_PAR_TIMELIMIT, kNotANumberReason);
  }

  // A name or text holding NUL would reach Gurobi truncated, possibly naming
  // another parameter, so such a parameter is left unset.
  ParameterOutcome raw(const std::string& name, const AttrValue& value) const {
    if (!passes_as_c_string(name)) return unset(name, kNulReason);
    if (const auto* t = std::get_if<attr_value::Text>(&value)) {
      if (!passes_as_c_string(t->text)) return unset(name, kNulReason);
      return set_text(name.c_str(), t->text.c_str());
    }
    if (const auto* i = std::get_if<attr_value::Int>(&value)) return raw_int(name.c_str(), i->value);
    if (const auto* f = std::get_if<attr_value::Float>(&value)) return raw_float(name.c_str(), f->value);
    return set_int(name.c_str(), std::get<attr_value::Bool>(value).value ? 1 : 0);
  }

 private:
  // An int that a double parameter refuses, or one beyond 32 bits, is given
  // as a double. When both calls are refused, the reason gives both codes.
  ParameterOutcome raw_int(const char* name, std::int64_t value) const {
    const auto as_double = static_cast<double>(value);
    if (!fits_int(value)) return set_double(name, as_double);
    const int code = api_.GRBsetintparam(env_, name, static_cast<int>(value));
    if (code == 0) return std::nullopt;
    const int retry = api_.GRBsetdblparam(env_, name, as_double);
    if (retry == 0) return std::nullopt;
    return refused_twice(name, "an int", code, "a double", retry);
  }

  // A whole float that an int parameter refuses as a double (values read
  // from JSON arrive as floats) is given as an int, the mirror of raw_int.
  ParameterOutcome raw_float(const char* name, double value) const {
    const int code = api_.GRBsetdblparam(env_, name, value);
    if (code == 0 || !is_whole_int(value)) return refused(name, code);
    const int retry = api_.GRBsetintparam(env_, name, static_cast<int>(value));
    if (retry == 0) return std::nullopt;
    return refused_twice(name, "a double", code, "an int", retry);
  }

  // "; Threads takes an int" for a known parameter refused with
  // GRB_ERROR_UNKNOWN_PARAMETER, which Gurobi answers for a value of another
  // type; empty otherwise. The getters tell the parameter's type.
  std::string type_taken(const char* name, int code) const {
    if (code != GRB_ERROR_UNKNOWN_PARAMETER) return {};
    int int_value = 0;
    double double_value = 0.0;
    std::array<char, GRB_MAX_STRLEN> text{};
    const std::string prefix = "; " + std::string(name) + " takes ";
    if (api_.GRBgetintparam(env_, name, &int_value) == 0) return prefix + "an int";
    if (api_.GRBgetdblparam(env_, name, &double_value) == 0) return prefix + "a number";
    if (api_.GRBgetstrparam(env_, name, text.data()) == 0) return prefix + "a str";
    return {};
  }

  const GurobiApi& api_;
  GRBenv* env_;
};

// Neither infinite nor Gurobi's infinity (1e100 or more in magnitude).
bool is_finite_objective(double value) { return std::fabs(value) < GRB_INFINITY; }

}  // namespace

std::expected<void, KestoError> GurobiOptimizer::update() {
  if (const int code = api().GRBupdatemodel(model_); code != 0) {
    return std::unexpected(failure("Failed to update model: ", code));
  }
  return {};
}

std::expected<SolveStatus, KestoError> GurobiOptimizer::optimize() {
  has_solution_ = false;
  if (const int code = api().GRBoptimize(model_); code != 0) {
    return std::unexpected(failure("Gurobi optimization failed: ", code));
  }
  int status = 0;
  if (api().GRBgetintattr(model_, GRB_INT_ATTR_STATUS, &status) != 0) {
    return std::unexpected(kesto_error::Msg{"Failed to get status"});
  }
  has_solution_ = read_solution_state(status);
  return to_solve_status(status);
}

// Gurobi answers X and ObjVal after solves that found nothing too: the
// simplex point of an infeasible or unbounded LP, 1e100 after a limit, the
// last simplex objective after an iteration limit or a cutoff. With
// DualReductions 0 it may also call an unbounded MIP optimal, with solutions
// whose objective is infinite: `status` then becomes unbounded.
bool GurobiOptimizer::read_solution_state(int& status) const {
  if (status == GRB_INFEASIBLE || status == GRB_UNBOUNDED) return false;
  int solutions = 0;
  if (api().GRBgetintattr(model_, GRB_INT_ATTR_SOLCOUNT, &solutions) != 0 || solutions <= 0) return false;
  double value = 0.0;
  if (api().GRBgetdblattr(model_, GRB_DBL_ATTR_OBJVAL, &value) != 0) return false;
  if (is_finite_objective(value)) return true;
  if (status == GRB_OPTIMAL) status = GRB_UNBOUNDED;
  return false;
}

std::optional<double> GurobiOptimizer::get_var_value(std::uint64_t index) const {
  // An index beyond Gurobi's int range names no variable; passing its low
  // 32 bits would read another one.
  if (index > kMaxGrbIndex || !has_solution_) return std::nullopt;
  double value = 0.0;
  if (api().GRBgetdblattrelement(model_, GRB_DBL_ATTR_X, static_cast<int>(index), &value) != 0) return std::nullopt;
  return value;
}

std::optional<double> GurobiOptimizer::get_objective_value() const {
  if (!has_solution_) return std::nullopt;
  return read_objective();
}

// ObjVal, unless Gurobi has none or answers its infinity.
std::optional<double> GurobiOptimizer::read_objective() const {
  double value = 0.0;
  if (api().GRBgetdblattr(model_, GRB_DBL_ATTR_OBJVAL, &value) != 0 || !is_finite_objective(value)) {
    return std::nullopt;
  }
  return value;
}

std::expected<ParameterOutcome, KestoError> GurobiOptimizer::set_optimizer_attr(OptimizerAttr attr, AttrValue value) {
  GRBenv* env = api().GRBgetenv(model_);
  if (env == nullptr) return unset(parameter_name(attr), kNoEnvironmentReason);
  const ParameterWriter writer(api(), env);
  if (std::holds_alternative<optimizer_attr::Silent>(attr)) return writer.silent(value);
  if (std::holds_alternative<optimizer_attr::TimeLimit>(attr)) return writer.time_limit(value);
  return writer.raw(std::get<optimizer_attr::RawParameter>(attr).name, value);
}

}  // namespace kesto::gurobi
