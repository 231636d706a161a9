#include "highs_solver.hpp"

#include <dlfcn.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "model.hpp"

namespace standin {
namespace {

// HiGHS's C API as built by highsbox: HighsInt is 32 bits (HIGHSINT64 is not defined).
using HighsInt = std::int32_t;

constexpr HighsInt kHighsStatusError = -1;
constexpr HighsInt kFormatRowWise = 2;

// HiGHS model statuses.
enum HighsModelStatus : HighsInt {
  kNotset = 0,
  kLoadError = 1,
  kModelError = 2,
  kPresolveError = 3,
  kSolveError = 4,
  kPostsolveError = 5,
  kModelEmpty = 6,
  kOptimal = 7,
  kInfeasible = 8,
  kUnboundedOrInfeasible = 9,
  kUnbounded = 10,
  kObjectiveBound = 11,
  kObjectiveTarget = 12,
  kTimeLimit = 13,
  kIterationLimit = 14,
  kUnknown = 15,
  kSolutionLimit = 16,
  kInterrupt = 17,
  kMemoryLimit = 18,
  kHighsInterrupt = 19,
};

constexpr HighsInt kSolutionFeasible = 2;  // value of the info "primal_solution_status"

// Gurobi treats bounds and right-hand sides of magnitude 1e30 or more as infinite.
constexpr double kGurobiInfiniteBound = 1e30;
constexpr double kInf = std::numeric_limits<double>::infinity();

constexpr const char* kHighsPathVariable = "GRB_STANDIN_HIGHS";
constexpr const char* kHighsLibraryName = "libhighs.so";
// Where highsbox puts HiGHS, relative to the site-packages directory that holds the stand-in
// at velkin_gurobi_standin/lib/.
constexpr const char* kHighsboxLibrary = "highsbox/highs_dist/lib/libhighs.so";

struct HighsApi {
  void* (*create)();
  void (*destroy)(void*);
  HighsInt (*pass_lp)(void*, HighsInt, HighsInt, HighsInt, HighsInt, HighsInt, double, const double*, const double*,
                      const double*, const double*, const double*, const HighsInt*, const HighsInt*, const double*);
  HighsInt (*pass_mip)(void*, HighsInt, HighsInt, HighsInt, HighsInt, HighsInt, double, const double*, const double*,
                       const double*, const double*, const double*, const HighsInt*, const HighsInt*, const double*,
                       const HighsInt*);
  HighsInt (*run)(void*);
  HighsInt (*get_model_status)(const void*);
  double (*get_objective_value)(const void*);
  HighsInt (*get_solution)(const void*, double*, double*, double*, double*);
  HighsInt (*get_int_info)(const void*, const char*, HighsInt*);
  HighsInt (*get_int64_info)(const void*, const char*, std::int64_t*);
  HighsInt (*set_bool_option)(void*, const char*, HighsInt);
  HighsInt (*set_int_option)(void*, const char*, HighsInt);
  HighsInt (*set_double_option)(void*, const char*, double);
  HighsInt (*set_string_option)(void*, const char*, const char*);
};

template <class F>
bool resolve(void* library, const char* name, F& function) {
  function = reinterpret_cast<F>(dlsym(library, name));
  return function != nullptr;
}

std::optional<HighsApi> resolve_api(void* library) {
  HighsApi api{};
  bool ok = resolve(library, "Highs_create", api.create) && resolve(library, "Highs_destroy", api.destroy) &&
            resolve(library, "Highs_passLp", api.pass_lp) && resolve(library, "Highs_passMip", api.pass_mip) &&
            resolve(library, "Highs_run", api.run) && resolve(library, "Highs_getModelStatus", api.get_model_status) &&
            resolve(library, "Highs_getObjectiveValue", api.get_objective_value) &&
            resolve(library, "Highs_getSolution", api.get_solution) &&
            resolve(library, "Highs_getIntInfoValue", api.get_int_info) &&
            resolve(library, "Highs_getInt64InfoValue", api.get_int64_info) &&
            resolve(library, "Highs_setBoolOptionValue", api.set_bool_option) &&
            resolve(library, "Highs_setIntOptionValue", api.set_int_option) &&
            resolve(library, "Highs_setDoubleOptionValue", api.set_double_option) &&
            resolve(library, "Highs_setStringOptionValue", api.set_string_option);
  if (!ok) return std::nullopt;
  return api;
}

// HiGHS keeps worker threads, so it is never closed.
void* open_library(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE); }

// The site-packages directory that holds the stand-in package.
std::filesystem::path own_site_packages() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&solve_with_highs), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  std::error_code ec;
  auto self = std::filesystem::absolute(info.dli_fname, ec);
  if (ec) return {};
  return self.parent_path().parent_path().parent_path();
}

// In a virtual environment that sees the base installation's packages,
// highsbox may live in the base site-packages: <home>/../lib/pythonX.Y/site-packages,
// with <home> read from the environment's pyvenv.cfg.
std::filesystem::path base_site_packages(const std::filesystem::path& site_packages) {
  const auto python_dir = site_packages.parent_path();  // lib/pythonX.Y
  std::ifstream config(python_dir.parent_path().parent_path() / "pyvenv.cfg");
  std::string line;
  while (std::getline(config, line)) {
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    auto trim = [](std::string text) {
      const auto first = text.find_first_not_of(" \t\r");
      const auto last = text.find_last_not_of(" \t\r");
      return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    };
    if (trim(line.substr(0, equals)) != "home") continue;
    const std::filesystem::path home = trim(line.substr(equals + 1));
    return home.parent_path() / "lib" / python_dir.filename() / "site-packages";
  }
  return {};
}

// An explicit GRB_STANDIN_HIGHS is the only place tried, so that a wrong path shows.
void* find_library() {
  if (const char* path = std::getenv(kHighsPathVariable); path != nullptr && *path != '\0') {
    return open_library(path);
  }
  if (const auto site_packages = own_site_packages(); !site_packages.empty()) {
    for (const auto& directory : {site_packages, base_site_packages(site_packages)}) {
      if (directory.empty()) continue;
      if (void* library = open_library((directory / kHighsboxLibrary).string())) return library;
    }
  }
  return open_library(kHighsLibraryName);
}

const HighsApi* highs_api() {
  static const std::optional<HighsApi> api = []() -> std::optional<HighsApi> {
    void* library = find_library();
    if (library == nullptr) return std::nullopt;
    return resolve_api(library);
  }();
  return api ? &*api : nullptr;
}

class HighsInstance {
 public:
  explicit HighsInstance(const HighsApi& api) : api_(api), highs_(api.create()) {}
  ~HighsInstance() {
    if (highs_ != nullptr) api_.destroy(highs_);
  }
  HighsInstance(const HighsInstance&) = delete;
  HighsInstance& operator=(const HighsInstance&) = delete;
  void* get() const { return highs_; }

 private:
  const HighsApi& api_;
  void* highs_;
};

double to_highs_bound(double bound) {
  if (bound >= kGurobiInfiniteBound) return kInf;
  if (bound <= -kGurobiInfiniteBound) return -kInf;
  return bound;
}

HighsInt integrality_of(char vtype) {
  switch (vtype) {
    case 'B':
    case 'I': return 1;
    case 'S': return 2;
    case 'N': return 3;
    default: return 0;
  }
}

// The model in the arrays HiGHS takes in one call.
struct HighsProblem {
  std::vector<double> cost, col_lower, col_upper, row_lower, row_upper, value;
  std::vector<HighsInt> start, index, integrality;
  bool is_mip = false;
  // A bound of +infinity below or -infinity above: no point satisfies it.
  bool infeasible_bounds = false;
};

Result<HighsProblem> build_problem(const Model& model) {
  const Columns& columns = model.columns();
  const Rows& rows = model.rows();
  if (rows.nonzeros() > static_cast<std::size_t>(INT_MAX)) {
    return std::unexpected(Error::Exceed2BNonzeros);
  }
  HighsProblem p;
  const std::size_t num_cols = columns.size();
  p.cost = columns.obj;
  p.col_lower.resize(num_cols);
  p.col_upper.resize(num_cols);
  p.integrality.resize(num_cols);
  for (std::size_t j = 0; j < num_cols; ++j) {
    double lower = to_highs_bound(columns.lb[j]);
    double upper = to_highs_bound(columns.ub[j]);
    if (columns.vtype[j] == 'B') {
      lower = std::max(lower, 0.0);
      upper = std::min(upper, 1.0);
    }
    p.col_lower[j] = lower;
    p.col_upper[j] = upper;
    p.integrality[j] = integrality_of(columns.vtype[j]);
    p.is_mip = p.is_mip || p.integrality[j] != 0;
    p.infeasible_bounds = p.infeasible_bounds || lower == kInf || upper == -kInf;
  }

  const std::size_t num_rows = rows.size();
  p.row_lower.resize(num_rows);
  p.row_upper.resize(num_rows);
  for (std::size_t i = 0; i < num_rows; ++i) {
    const double rhs = to_highs_bound(rows.rhs[i]);
    p.row_lower[i] = rows.sense[i] == '<' ? -kInf : rhs;
    p.row_upper[i] = rows.sense[i] == '>' ? kInf : rhs;
    p.infeasible_bounds = p.infeasible_bounds || p.row_lower[i] == kInf || p.row_upper[i] == -kInf;
  }

  // HiGHS rejects repeated columns within a row: sum them, as the row means.
  p.start.resize(num_rows + 1);
  p.index.reserve(rows.nonzeros());
  p.value.reserve(rows.nonzeros());
  std::vector<HighsInt> position(num_cols, -1);
  for (std::size_t i = 0; i < num_rows; ++i) {
    const auto row_begin = static_cast<HighsInt>(p.index.size());
    p.start[i] = row_begin;
    for (std::size_t k = rows.start[i]; k < rows.start[i + 1]; ++k) {
      const auto col = static_cast<std::size_t>(rows.index[k]);
      if (position[col] >= row_begin) {
        p.value[static_cast<std::size_t>(position[col])] += rows.value[k];
      } else {
        position[col] = static_cast<HighsInt>(p.index.size());
        p.index.push_back(rows.index[k]);
        p.value.push_back(rows.value[k]);
      }
    }
  }
  p.start[num_rows] = static_cast<HighsInt>(p.index.size());
  return p;
}

HighsInt clamp_to_int(double value) {
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  return static_cast<HighsInt>(std::max(0.0, std::floor(value)));
}

// Gurobi parameters to HiGHS options. A rejected option leaves HiGHS's default.
void apply_parameters(const HighsApi& api, void* highs, const ParameterSet& params) {
  // First, so that nothing is printed at all when output is off.
  api.set_bool_option(highs, "output_flag", params.int_value(Param::OutputFlag) != 0);
  api.set_bool_option(highs, "log_to_console", params.int_value(Param::LogToConsole) != 0);
  if (const std::string& log_file = params.string_value(Param::LogFile); !log_file.empty()) {
    api.set_string_option(highs, "log_file", log_file.c_str());
  }
  api.set_double_option(highs, "infinite_bound", kGurobiInfiniteBound);
  api.set_double_option(highs, "infinite_cost", kGurobiInfiniteBound);

  if (double limit = params.double_value(Param::TimeLimit); limit < kGurobiInfiniteBound) {
    api.set_double_option(highs, "time_limit", limit);
  }
  api.set_double_option(highs, "mip_rel_gap", params.double_value(Param::MIPGap));
  api.set_double_option(highs, "mip_abs_gap", params.double_value(Param::MIPGapAbs));
  if (int threads = params.int_value(Param::Threads); threads > 0) {
    api.set_int_option(highs, "threads", threads);
  }
  api.set_int_option(highs, "random_seed", params.int_value(Param::Seed));

  const int presolve = params.int_value(Param::Presolve);
  api.set_string_option(highs, "presolve", presolve == 0 ? "off" : presolve == -1 ? "choose" : "on");
  const int method = params.int_value(Param::Method);
  api.set_string_option(highs, "solver", method == 0 || method == 1 ? "simplex" : method == 2 ? "ipm" : "choose");

  if (double limit = params.double_value(Param::IterationLimit); limit < kGurobiInfiniteBound) {
    api.set_int_option(highs, "simplex_iteration_limit", clamp_to_int(limit));
  }
  if (double limit = params.double_value(Param::NodeLimit); limit < kGurobiInfiniteBound) {
    api.set_int_option(highs, "mip_max_nodes", clamp_to_int(limit));
  }
  api.set_int_option(highs, "mip_max_improving_sols", params.int_value(Param::SolutionLimit));
  api.set_double_option(highs, "primal_feasibility_tolerance", params.double_value(Param::FeasibilityTol));
  api.set_double_option(highs, "dual_feasibility_tolerance", params.double_value(Param::OptimalityTol));
  api.set_double_option(highs, "mip_feasibility_tolerance", params.double_value(Param::IntFeasTol));
}

int gurobi_status(HighsInt model_status, bool node_limit_reached, bool feasible) {
  switch (model_status) {
    case kModelEmpty:
    case kOptimal: return status::kOptimal;
    case kInfeasible: return status::kInfeasible;
    case kUnboundedOrInfeasible: return status::kInfOrUnbd;
    case kUnbounded: return status::kUnbounded;
    case kObjectiveBound: return status::kCutoff;
    case kObjectiveTarget: return status::kUserObjLimit;
    case kTimeLimit: return status::kTimeLimit;
    // HiGHS reports its MIP node limit as a solution limit (older versions: an iteration limit).
    case kIterationLimit: return node_limit_reached ? status::kNodeLimit : status::kIterationLimit;
    case kSolutionLimit: return node_limit_reached ? status::kNodeLimit : status::kSolutionLimit;
    case kInterrupt:
    case kHighsInterrupt: return status::kInterrupted;
    case kMemoryLimit: return status::kMemLimit;
    case kUnknown: return feasible ? status::kSuboptimal : status::kNumeric;
    default:  // Notset and the error states
      return status::kNumeric;
  }
}

bool status_has_solution(int gurobi_status) {
  switch (gurobi_status) {
    case status::kInfeasible:
    case status::kInfOrUnbd:
    case status::kUnbounded:
    case status::kCutoff:
    case status::kNumeric: return false;
    default: return true;
  }
}

// A model without columns: each row compares 0 with its right-hand side.
SolveOutcome solve_empty(const Model& model, const HighsProblem& p) {
  const double tolerance = model.params().double_value(Param::FeasibilityTol);
  SolveOutcome outcome;
  for (std::size_t i = 0; i < p.row_lower.size(); ++i) {
    if (p.row_lower[i] > tolerance || p.row_upper[i] < -tolerance) {
      outcome.status = status::kInfeasible;
      return outcome;
    }
  }
  outcome.status = status::kOptimal;
  outcome.objval = model.objcon();
  return outcome;
}

HighsInt pass_problem(const HighsApi& api, void* highs, const Model& model, const HighsProblem& p) {
  const auto num_cols = static_cast<HighsInt>(p.cost.size());
  const auto num_rows = static_cast<HighsInt>(p.row_lower.size());
  const auto num_nz = static_cast<HighsInt>(p.index.size());
  if (p.is_mip) {
    return api.pass_mip(highs, num_cols, num_rows, num_nz, kFormatRowWise, model.sense(), model.objcon(), p.cost.data(),
                        p.col_lower.data(), p.col_upper.data(), p.row_lower.data(), p.row_upper.data(), p.start.data(),
                        p.index.data(), p.value.data(), p.integrality.data());
  }
  return api.pass_lp(highs, num_cols, num_rows, num_nz, kFormatRowWise, model.sense(), model.objcon(), p.cost.data(),
                     p.col_lower.data(), p.col_upper.data(), p.row_lower.data(), p.row_upper.data(), p.start.data(),
                     p.index.data(), p.value.data());
}

}  // namespace

Result<SolveOutcome> solve_with_highs(const Model& model) {
  const HighsApi* api = highs_api();
  if (api == nullptr) return std::unexpected(Error::NoLicense);
  auto problem = build_problem(model);
  if (!problem) return std::unexpected(problem.error());
  const HighsProblem& p = *problem;

  if (p.infeasible_bounds) return SolveOutcome{status::kInfeasible, {}, std::nullopt};
  if (p.cost.empty()) return solve_empty(model, p);

  HighsInstance highs(*api);
  if (highs.get() == nullptr) return std::unexpected(Error::OutOfMemory);
  const ParameterSet& params = model.params();
  apply_parameters(*api, highs.get(), params);
  if (pass_problem(*api, highs.get(), model, p) == kHighsStatusError) {
    return SolveOutcome{status::kNumeric, {}, std::nullopt};
  }

  HighsInt run_status = api->run(highs.get());
  if (run_status == kHighsStatusError && api->get_model_status(highs.get()) == kNotset &&
      params.int_value(Param::Threads) > 0) {
    // HiGHS's thread pool is process-wide and keeps the size of its first use; solve with
    // that size rather than fail.
    api->set_int_option(highs.get(), "threads", 0);
    run_status = api->run(highs.get());
  }

  const HighsInt model_status = api->get_model_status(highs.get());
  HighsInt solution_status = 0;
  api->get_int_info(highs.get(), "primal_solution_status", &solution_status);
  const bool feasible = solution_status == kSolutionFeasible;
  bool node_limit_reached = false;
  if (p.is_mip && (model_status == kIterationLimit || model_status == kSolutionLimit)) {
    std::int64_t nodes = 0;
    api->get_int64_info(highs.get(), "mip_node_count", &nodes);
    const double limit = params.double_value(Param::NodeLimit);
    node_limit_reached = limit < kGurobiInfiniteBound && static_cast<double>(nodes) >= std::floor(limit);
  }

  SolveOutcome outcome;
  outcome.status = gurobi_status(model_status, node_limit_reached, feasible);
  if (feasible && status_has_solution(outcome.status)) {
    const std::size_t num_cols = p.cost.size();
    const std::size_t num_rows = p.row_lower.size();
    std::vector<double> col_dual(num_cols), row_value(num_rows), row_dual(num_rows);
    outcome.x.resize(num_cols);
    api->get_solution(highs.get(), outcome.x.data(), col_dual.data(), row_value.data(), row_dual.data());
    outcome.objval = api->get_objective_value(highs.get());
  }
  return outcome;
}

}  // namespace standin
