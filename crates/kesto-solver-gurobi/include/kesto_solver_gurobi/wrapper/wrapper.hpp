#pragma once
// Owners of the Gurobi environment and model handles. Each operation says
// which Gurobi calls it makes ("Gurobi:"), in the order it makes them.

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
#include "kesto_solver_gurobi/gurobi_constants.h"
// What Gurobi takes, which callers may check their arguments against first.
#include "kesto_solver_gurobi/wrapper/accepted.hpp"

namespace kesto::gurobi {

struct GrbFunction;
class RepeatedTerms;

// A constraint row as Gurobi takes it: the variables as Gurobi's ints, their
// coefficients, the sense character and the right-hand side.
struct GrbRow {
  std::vector<int> indices;
  std::vector<double> coefficients;
  char sense = GRB_EQUAL;
  double rhs = 0.0;
};

// A row's terms where they lie, already Gurobi's ints and doubles.
struct GrbRowView {
  const int* indices = nullptr;
  const double* coefficients = nullptr;
  std::size_t terms = 0;
  char sense = GRB_EQUAL;
  double rhs = 0.0;
};

// The rows of add_rows, read one at a time. `read` writes row `i` into `row`,
// whose arrays keep their capacity from row to row, and returns false for a
// row Gurobi is not to see (it still gets its index). `view` may instead show
// row `i` where it lies, in which case `read` is not called for it unless its
// terms name a variable twice. `name` is the row's name, or nullptr for the
// default "c<index>".
class RowSource {
 public:
  virtual std::size_t count() const = 0;
  virtual bool read(std::size_t i, GrbRow& row) const = 0;
  virtual bool view(std::size_t, GrbRowView&) const { return false; }
  virtual const char* name(std::size_t i) const = 0;

 protected:
  ~RowSource() = default;
};

// The right-hand side Gurobi gets for a row `function <sense> value` whose
// function has the constant `constant`.
inline double grb_rhs(double value, double constant) { return constant == 0.0 ? value : value - constant; }

using SharedApi = std::shared_ptr<const GurobiApi>;

// One Gurobi environment, freed when the last shared reference goes.
class GurobiEnv {
 public:
  // Loads and starts an environment. On failure `api` is released and the
  // text names the failing call and its code.
  // Gurobi: GRBloadenv, GRBstartenv (GRBfreeenv when the start fails).
  static std::expected<GurobiEnv, std::string> create(SharedApi api);

  GurobiEnv(GurobiEnv&& other) noexcept : api_(std::move(other.api_)), env_(std::exchange(other.env_, nullptr)) {}
  GurobiEnv& operator=(GurobiEnv&&) = delete;
  GurobiEnv(const GurobiEnv&) = delete;
  GurobiEnv& operator=(const GurobiEnv&) = delete;
  ~GurobiEnv();  // Gurobi: GRBfreeenv.

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
  // Gurobi: GRBnewmodel.
  static std::expected<GurobiOptimizer, std::string> create(SharedEnv env, std::optional<std::string_view> name);

  GurobiOptimizer(GurobiOptimizer&& other) noexcept;
  GurobiOptimizer& operator=(GurobiOptimizer&&) = delete;
  GurobiOptimizer(const GurobiOptimizer&) = delete;
  GurobiOptimizer& operator=(const GurobiOptimizer&) = delete;
  ~GurobiOptimizer();  // Gurobi: GRBfreemodel.

  // Variables. Gurobi: one GRBaddvars per call. Data Gurobi would refuse
  // (accepted.hpp) is refused before any Gurobi call, with Gurobi's code, so
  // that the call changes nothing. When Gurobi still refuses a call, it may
  // have discarded the changes it had not applied yet: the model is then
  // updated (GRBupdatemodel, GRBgetintattr NumVars and NumConstrs) and the
  // counts below follow what it kept.
  std::expected<std::uint64_t, VariableRefusal> add_variable(std::optional<std::string_view> name,
                                                             std::optional<char32_t> vtype, std::optional<double> lb,
                                                             std::optional<double> ub);
  std::expected<VariableIndices, VariableRefusal> add_variables(std::uint64_t n, std::optional<NameType> names,
                                                                std::optional<std::vector<char32_t>> vtypes,
                                                                std::optional<BoundType> lbs,
                                                                std::optional<BoundType> ubs);
  // The same batch, giving the first of its consecutive indices instead of
  // the list of them.
  std::expected<std::uint64_t, VariableRefusal> add_variable_range(std::uint64_t n, std::optional<NameType> names,
                                                                   std::optional<std::vector<char32_t>> vtypes,
                                                                   std::optional<BoundType> lbs,
                                                                   std::optional<BoundType> ubs);

  // Constraints and objective.
  // Gurobi: GRBsetdblattrarray "Obj" zeroing every variable (when refused,
  // GRBsetdblattrelement "Obj" per variable), GRBsetdblattrelement "Obj" per
  // term, GRBsetdblattr "ObjCon", GRBsetintattr "ModelSense".
  std::expected<void, ObjectiveError> set_objective(ScalarFunctionType function, bool maximise);
  // The same from the terms as Gurobi takes them (utils.hpp), which the
  // caller has checked to name variables handed out.
  std::expected<void, ObjectiveError> set_objective_terms(const GrbFunction& objective, bool maximise);
  // Gurobi: one GRBaddconstr per row.
  std::expected<std::uint64_t, ConstraintRefusal> add_constraint(ScalarFunctionType function, ScalarSetType set,
                                                                 std::optional<std::string> name);
  std::expected<ConstraintIndices, ConstraintRefusal> add_constraints(std::vector<ScalarFunctionType> functions,
                                                                      std::vector<ScalarSetType> sets,
                                                                      std::optional<std::vector<std::string>> names);
  // Rows the caller has checked against accepted.hpp, added in order; the
  // terms of a row that name one variable are merged first.
  // Gurobi: one GRBaddconstr per row.
  std::expected<ConstraintIndices, ConstraintRefusal> add_rows(const RowSource& rows);
  // One such row, its terms merged in place, and its index; `name` as
  // RowSource's. A caller adding rows one at a time can keep `row` and its
  // arrays from call to call. Gurobi: one GRBaddconstr.
  std::expected<std::uint64_t, ConstraintRefusal> add_row(GrbRow& row, const char* name);

  // Solve, results and parameters. A parameter left unset is reported in the
  // outcome; the call itself fails only with a KestoError.
  // Gurobi: GRBgetenv, then GRBsetintparam, GRBsetdblparam or GRBsetstrparam
  // on the model's environment, by the value's type (an int outside Gurobi's
  // int range goes to GRBsetdblparam, and one GRBsetintparam refuses is tried
  // again there).
  std::expected<ParameterOutcome, KestoError> set_optimizer_attr(OptimizerAttr attr, AttrValue value);
  std::expected<void, KestoError> update();                        // Gurobi: GRBupdatemodel.
  std::expected<SolveStatus, KestoError> optimize();               // Gurobi: GRBoptimize, GRBgetintattr "Status".
  std::optional<double> get_var_value(std::uint64_t index) const;  // Gurobi: GRBgetdblattrelement "X".
  std::optional<double> get_objective_value() const;               // Gurobi: GRBgetdblattr "ObjVal".

  // The number of variables handed out, against which the module checks the
  // indices a caller names, and the number of constraints. No Gurobi call.
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

  // Adds `row` as constraint `index`, its repeated terms merged and named
  // "c<index>" when `name` is null; Gurobi's code. A refusal sets the counts
  // to what Gurobi kept.
  int add_grb_row(GrbRow& row, const char* name, std::uint64_t index, RepeatedTerms& repeats);
  // The same for a row whose terms name no variable twice.
  int add_grb_terms(const GrbRowView& row, const char* name, std::uint64_t index);

  // Whether the last solve left a solution: SolCount above 0, not infeasible
  // or unbounded, and an objective value below Gurobi's infinity. An optimal
  // `status` with an infinite objective becomes unbounded.
  bool read_solution_state(int& status) const;
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

// The largest variable index the optimizer can address and the largest batch
// one call can take (Gurobi's int range), which callers check their
// arguments against.
inline constexpr std::uint64_t kMaxIndex = kMaxGrbIndex;

// Gurobi takes names and texts as NUL-terminated strings: true when `text`
// holds no NUL character, so that Gurobi would see all of it. The one test of
// every name handed to Gurobi (the model's, variables', constraints' and
// parameters'); add_constraints leaves it to its caller, which reports the
// name's position.
inline bool passes_as_c_string(std::string_view text) { return text.find('\0') == std::string_view::npos; }

}  // namespace kesto::gurobi
