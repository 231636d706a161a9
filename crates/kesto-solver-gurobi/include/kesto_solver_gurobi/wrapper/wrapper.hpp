#pragma once
// Owners of the Gurobi environment and model handles.

#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kesto_solver_api/optimizer.hpp"
#include "kesto_solver_gurobi/dynamic/api.hpp"

namespace kesto::gurobi {

struct GrbFunction;

using SharedApi = std::shared_ptr<const GurobiApi>;

// One Gurobi environment, freed when the last shared reference goes.
class GurobiEnv {
 public:
  // Loads and starts an environment. On failure `api` is released and the
  // text names the failing call and its code.
  static std::expected<GurobiEnv, std::string> create(SharedApi api);

  GurobiEnv(GurobiEnv&& other) noexcept : api_(std::move(other.api_)), env_(std::exchange(other.env_, nullptr)) {}
  GurobiEnv& operator=(GurobiEnv&&) = delete;
  GurobiEnv(const GurobiEnv&) = delete;
  GurobiEnv& operator=(const GurobiEnv&) = delete;
  ~GurobiEnv();

  const SharedApi& api() const { return api_; }
  GRBenv* handle() const { return env_; }

 private:
  GurobiEnv(SharedApi api, GRBenv* env) : api_(std::move(api)), env_(env) {}
  SharedApi api_;
  GRBenv* env_ = nullptr;
};

using SharedEnv = std::shared_ptr<GurobiEnv>;

// One Gurobi model and the index counters of the variables and constraints
// handed out so far. Implements ModelLike and Optimizer.
class GurobiOptimizer {
 public:
  // Creates an empty model named `name` ("model" when absent). The optimizer
  // keeps the environment alive until its model has been freed, because
  // Gurobi allows freeing an environment only after its models.
  static std::expected<GurobiOptimizer, std::string> create(SharedEnv env, std::optional<std::string_view> name);

  GurobiOptimizer(GurobiOptimizer&& other) noexcept;
  GurobiOptimizer& operator=(GurobiOptimizer&&) = delete;
  GurobiOptimizer(const GurobiOptimizer&) = delete;
  GurobiOptimizer& operator=(const GurobiOptimizer&) = delete;
  ~GurobiOptimizer();

  // Variables. Data Gurobi would refuse (accepted.hpp) is refused before any
  // Gurobi call, with Gurobi's code, so that the call changes nothing. When
  // Gurobi still refuses a call, it may have discarded the changes it had not
  // applied yet: the model is then updated and the counts below follow what
  // it kept.
  std::expected<std::uint64_t, VariableRefusal> add_variable(std::optional<std::string_view> name,
                                                             std::optional<char32_t> vtype, std::optional<double> lb,
                                                             std::optional<double> ub);
  std::expected<VariableIndices, VariableRefusal> add_variables(std::uint64_t n, std::optional<NameType> names,
                                                                std::optional<std::vector<char32_t>> vtypes,
                                                                std::optional<BoundType> lbs,
                                                                std::optional<BoundType> ubs);

  // Constraints and objective.
  std::expected<void, ObjectiveError> set_objective(ScalarFunctionType function, bool maximise);
  std::expected<std::uint64_t, ConstraintRefusal> add_constraint(ScalarFunctionType function, ScalarSetType set,
                                                                 std::optional<std::string> name);
  std::expected<ConstraintIndices, ConstraintRefusal> add_constraints(std::vector<ScalarFunctionType> functions,
                                                                      std::vector<ScalarSetType> sets,
                                                                      std::optional<std::vector<std::string>> names);

  // Solve, results and parameters. A parameter left unset is reported in the
  // outcome; the call itself fails only with a KestoError.
  std::expected<ParameterOutcome, KestoError> set_optimizer_attr(OptimizerAttr attr, AttrValue value);
  std::expected<void, KestoError> update();
  std::expected<SolveStatus, KestoError> optimize();
  std::optional<double> get_var_value(std::uint64_t index) const;
  std::optional<double> get_objective_value() const;

  // The number of variables handed out, against which the module checks the
  // indices a caller names, and the number of constraints.
  std::uint64_t var_count() const { return var_count_; }
  std::uint64_t constr_count() const { return constr_count_; }

 private:
  GurobiOptimizer(SharedApi api, SharedEnv env, GRBmodel* model)
      : api_(std::move(api)), env_(std::move(env)), model_(model) {}

  const GurobiApi& api() const { return *api_; }

  // Writes the objective: every coefficient reset, then its terms, constant
  // and sense. The first code Gurobi refused with, or 0.
  int write_objective(const GrbFunction& objective, bool maximise);

  // After a refused call: applies what Gurobi kept and reads the counts back
  // from it. The counts stay as they are when Gurobi cannot tell.
  void recount();

  // Whether the last solve left a solution: SolCount above 0, not infeasible
  // or unbounded, and an objective value below Gurobi's infinity.
  bool read_solution_state(int status) const;
  std::optional<double> read_objective() const;

  // Declared before the model so that they are released after it: the model
  // is freed first, then the environment, then the library is closed.
  SharedApi api_;
  SharedEnv env_;
  GRBmodel* model_ = nullptr;
  std::uint64_t var_count_ = 0;
  std::uint64_t constr_count_ = 0;
  bool has_solution_ = false;
};

static_assert(ModelLike<GurobiOptimizer>);
static_assert(Optimizer<GurobiOptimizer>);

// Gurobi takes indices and counts as 32-bit ints: the low 32 bits, two's
// complement.
inline int to_grb_int(std::uint64_t value) { return static_cast<int>(static_cast<std::uint32_t>(value)); }

}  // namespace kesto::gurobi
