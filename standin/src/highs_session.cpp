#include "highs_session.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <numeric>
#include <span>

#include "highs_columns.hpp"
#include "highs_options.hpp"
#include "interrupt.hpp"
#include "memory_headroom.hpp"
#include "solution_check.hpp"
#include "solve_log.hpp"

namespace standin {
namespace {

constexpr HighsInt kHighsStatusError = -1;
constexpr HighsInt kFormatRowWise = 2;
constexpr HighsInt kSolutionNone = 0;  // values of the info "primal_solution_status"
constexpr HighsInt kSolutionFeasible = 2;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kHighsMinTolerance = 1e-12;  // HiGHS refuses smaller tolerances
constexpr double kHighsDefaultTolerance = 1e-7;  // HiGHS's own primal and dual feasibility tolerances
constexpr HighsInt kPrimalSimplex = 4;          // values of the option "simplex_strategy"
constexpr HighsInt kDualSimplex = 1;

// HiGHS model statuses.
enum HighsModelStatus : HighsInt {
  kNotset = 0,
  kSolveError = 4,
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

HighsInt clamp_to_int(double value) {
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  return static_cast<HighsInt>(std::max(0.0, std::floor(value)));
}

HighsInt as_highs_int(std::size_t value) { return static_cast<HighsInt>(value); }


// Gurobi parameters that steer the search and have a HiGHS counterpart: heuristic effort,
// RINS and symmetry detection (MIP), the barrier's tolerance (LP). Each value is set every
// time, so that a change back to the default reaches the kept instance too. Crossover is not
// passed on: without it HiGHS can call an LP that its presolve solved "unknown".
void apply_search_options(const HighsApi& api, void* h, const ParameterSet& params) {
  api.set_double_option(h, "mip_heuristic_effort", params.double_value(Param::Heuristics));
  api.set_bool_option(h, "mip_heuristic_run_rins", params.int_value(Param::RINS) != 0);
  api.set_bool_option(h, "mip_detect_symmetry", params.int_value(Param::Symmetry) != 0);
  api.set_double_option(h, "ipm_optimality_tolerance",
                        std::max(params.double_value(Param::BarConvTol), kHighsMinTolerance));
}

int gurobi_status(HighsInt model_status, bool node_limit_reached, bool feasible) {
  switch (model_status) {
    // "Optimal" without a feasible point cannot keep the promise of a readable solution.
    case kModelEmpty:
    case kOptimal: return feasible ? GRB_OPTIMAL : GRB_NUMERIC;
    case kInfeasible: return GRB_INFEASIBLE;
    case kUnboundedOrInfeasible: return GRB_INF_OR_UNBD;
    case kUnbounded: return GRB_UNBOUNDED;
    case kObjectiveBound: return GRB_CUTOFF;
    case kObjectiveTarget: return GRB_USER_OBJ_LIMIT;
    case kTimeLimit: return GRB_TIME_LIMIT;
    // HiGHS reports its MIP node limit as a solution limit (older versions: an iteration limit).
    case kIterationLimit: return node_limit_reached ? GRB_NODE_LIMIT : GRB_ITERATION_LIMIT;
    case kSolutionLimit: return node_limit_reached ? GRB_NODE_LIMIT : GRB_SOLUTION_LIMIT;
    case kInterrupt:
    case kHighsInterrupt: return GRB_INTERRUPTED;
    case kMemoryLimit: return GRB_MEM_LIMIT;
    case kUnknown: return feasible ? GRB_SUBOPTIMAL : GRB_NUMERIC;
    default:  // Notset and the error states
      return GRB_NUMERIC;
  }
}

bool status_has_solution(int gurobi_status) {
  switch (gurobi_status) {
    case GRB_INFEASIBLE:
    case GRB_INF_OR_UNBD:
    case GRB_UNBOUNDED:
    case GRB_CUTOFF:
    case GRB_NUMERIC: return false;
    default: return true;
  }
}

// Statuses that solving the same model again would only repeat.
bool is_final(int gurobi_status) {
  return gurobi_status == GRB_OPTIMAL || gurobi_status == GRB_INFEASIBLE || gurobi_status == GRB_INF_OR_UNBD ||
         gurobi_status == GRB_UNBOUNDED;
}

bool same_limits(const std::vector<SemiIndicator>& a, const std::vector<SemiIndicator>& b) {
  return std::ranges::equal(a, b, [](const SemiIndicator& x, const SemiIndicator& y) {
    return x.col == y.col && x.lower == y.lower && x.upper == y.upper;
  });
}

// A lower bound of +infinity or an upper bound of -infinity: no point satisfies it, and
// HiGHS refuses such a bound.
bool has_impossible_bound(const ProblemView& view) {
  for (std::size_t i = 0; i < view.sense.size(); ++i) {
    if (row_lower(view.sense[i], view.rhs[i]) == kInf || row_upper(view.sense[i], view.rhs[i]) == -kInf) return true;
  }
  for (std::size_t j = 0; j < view.lb.size(); ++j) {
    if (to_highs_bound(view.lb[j]) == kInf || to_highs_bound(view.ub[j]) == -kInf) return true;
  }
  return false;
}

// A model without columns: each row compares 0 with its right-hand side.
SolveOutcome solve_without_columns(const ProblemView& view, const ParameterSet& params) {
  const double tolerance = params.double_value(Param::FeasibilityTol);
  SolveOutcome outcome;
  for (std::size_t i = 0; i < view.sense.size(); ++i) {
    if (row_lower(view.sense[i], view.rhs[i]) > tolerance || row_upper(view.sense[i], view.rhs[i]) < -tolerance) {
      outcome.status = GRB_INFEASIBLE;
      return outcome;
    }
  }
  outcome.status = GRB_OPTIMAL;
  outcome.objval = view.objcon;
  return outcome;
}

}  // namespace

Result<std::unique_ptr<HighsSession>> HighsSession::open() {
  const HighsApi* api = highs_api();
  if (api == nullptr) return std::unexpected(Error::NoLicense);
  void* highs = api->create();
  if (highs == nullptr) return std::unexpected(Error::OutOfMemory);
  return std::make_unique<HighsSession>(*api, highs);
}

HighsSession::HighsSession(const HighsApi& api, void* highs)
    : api_(api), highs_(highs), stop_(std::make_unique<HighsStop>(api, highs)) {}

HighsSession::~HighsSession() { api_.destroy(highs_); }

// Gurobi parameters to HiGHS options. A rejected option leaves HiGHS's default.
void HighsSession::apply_parameters(const ParameterSet& params, const ProblemView& view) {
  const double int_tolerance = integer_tolerance(params);
  if (applied_params_ && integer_tolerance(*applied_params_) != int_tolerance) {
    // Integer bounds were rounded with the old tolerance.
    change_bounds(view, {0, held_cols_}, int_tolerance);
  }
  void* h = highs_;
  // First, so that nothing is printed at all when output is off.
  api_.set_bool_option(h, "output_flag", params.int_value(Param::OutputFlag) != 0);
  api_.set_bool_option(h, "log_to_console", params.int_value(Param::LogToConsole) != 0);
  // Always set: "" closes the file of an earlier LogFile, and HiGHS stops writing to it.
  api_.set_string_option(h, "log_file", params.string_value(Param::LogFile).c_str());
  api_.set_double_option(h, "infinite_bound", kGurobiInfiniteBound);
  api_.set_double_option(h, "infinite_cost", kGurobiInfiniteBound);
  // Gurobi takes coefficients HiGHS refuses by default (from 1e15).
  api_.set_double_option(h, "large_matrix_value", kGurobiInfiniteBound);
  const double time_limit = params.double_value(Param::TimeLimit);
  api_.set_double_option(h, "time_limit", time_limit < kGurobiInfiniteBound ? time_limit : kInf);
  api_.set_double_option(h, "mip_rel_gap", params.double_value(Param::MIPGap));
  api_.set_double_option(h, "mip_abs_gap", params.double_value(Param::MIPGapAbs));
  api_.set_int_option(h, "threads", std::max(params.int_value(Param::Threads), 0));
  api_.set_int_option(h, "random_seed", params.int_value(Param::Seed));
  api_.set_string_option(h, "presolve", presolve_option(params));
  const int method = params.int_value(Param::Method);
  api_.set_string_option(h, "solver", method == 0 || method == 1 ? "simplex" : method == 2 ? "ipm" : "choose");
  api_.set_int_option(h, "simplex_iteration_limit", clamp_to_int(params.double_value(Param::IterationLimit)));
  api_.set_int_option(h, "ipm_iteration_limit",
                      clamp_to_int(std::min(params.double_value(Param::IterationLimit),
                                            static_cast<double>(params.int_value(Param::BarIterLimit)))));
  // HiGHS counts the root as a node: with 0 it stops before the root's heuristics, Gurobi after.
  api_.set_int_option(h, "mip_max_nodes", clamp_to_int(std::max(params.double_value(Param::NodeLimit), 1.0)));
  api_.set_int_option(h, "mip_max_improving_sols", params.int_value(Param::SolutionLimit));
  api_.set_double_option(h, "primal_feasibility_tolerance", params.double_value(Param::FeasibilityTol));
  api_.set_double_option(h, "dual_feasibility_tolerance", params.double_value(Param::OptimalityTol));
  api_.set_double_option(h, "mip_feasibility_tolerance", int_tolerance);
  apply_search_options(api_, h, params);
  applied_params_ = params;
  changed_ = true;
}

bool HighsSession::load_model(const ProblemView& view, const ParameterSet& params) {
  return pass_model(view, view.obj.size(), buffered_rows(view), integer_tolerance(params));
}

// The first `cols` columns of the view and `rows`, in one call.
bool HighsSession::pass_model(const ProblemView& view, std::size_t cols, const RowBlock& rows, double int_tolerance) {
  const ColumnBlock columns = column_block(view, 0, cols, int_tolerance);
  const auto num_cols = as_highs_int(cols);
  const auto num_rows = as_highs_int(rows.lower.size());
  const auto num_nz = as_highs_int(rows.entries.index.size());
  const SparseBlock& a = rows.entries;
  const HighsInt rc =
      columns.any_integral
          ? api_.pass_mip(highs_, num_cols, num_rows, num_nz, kFormatRowWise, view.model_sense, view.objcon,
                          view.obj.data(), columns.lower.data(), columns.upper.data(), rows.lower.data(),
                          rows.upper.data(), a.start.data(), a.index.data(), a.value.data(), columns.integrality.data())
          : api_.pass_lp(highs_, num_cols, num_rows, num_nz, kFormatRowWise, view.model_sense, view.objcon,
                         view.obj.data(), columns.lower.data(), columns.upper.data(), rows.lower.data(),
                         rows.upper.data(), a.start.data(), a.index.data(), a.value.data());
  if (rc == kHighsStatusError) return false;
  held_cols_ = cols;
  held_rows_ = rows.lower.size();
  held_nonzeros_ = a.index.size();
  sense_ = view.model_sense;
  objcon_ = view.objcon;
  is_mip_ = columns.any_integral;
  changed_ = true;
  return true;
}

bool HighsSession::change_bounds(const ProblemView& view, IndexRange range, double int_tolerance) {
  range.last = std::min(range.last, held_cols_);
  if (range.empty()) return true;
  const ColumnBlock block = column_block(view, range.first, range.last, int_tolerance);
  changed_ = true;
  return api_.change_bounds(highs_, as_highs_int(range.first), as_highs_int(range.last - 1), block.lower.data(),
                            block.upper.data()) != kHighsStatusError;
}

bool HighsSession::add_columns(const ProblemView& view, double int_tolerance) {
  const std::size_t first = held_cols_;
  const std::size_t count = view.obj.size() - first;
  if (count == 0) return true;
  const ColumnBlock columns = column_block(view, first, view.obj.size(), int_tolerance);
  // Entries come in column order: column k's run begins after the runs of the columns before it.
  const auto& entries = view.column_entries;
  std::vector<std::size_t> begins(count + 1, 0);
  for (const Coefficient& entry : entries) ++begins[static_cast<std::size_t>(entry.col) - first + 1];
  std::partial_sum(begins.begin(), begins.end(), begins.begin());
  std::vector<int> rows(entries.size());
  std::vector<double> values(entries.size());
  for (std::size_t e = 0; e < entries.size(); ++e) {
    rows[e] = entries[e].row;
    values[e] = entries[e].value;
  }
  const SparseBlock a = sparse_block(count, [&](std::size_t k) { return begins[k]; }, rows, values, held_rows_);
  const HighsInt rc =
      api_.add_cols(highs_, as_highs_int(count), view.obj.data() + first, columns.lower.data(), columns.upper.data(),
                    as_highs_int(a.index.size()), a.start.data(), a.index.data(), a.value.data());
  held_cols_ = view.obj.size();
  held_nonzeros_ += a.index.size();
  changed_ = true;
  if (rc == kHighsStatusError) return false;
  if (!columns.any_integral) return true;
  is_mip_ = true;
  return api_.change_integrality(highs_, as_highs_int(first), as_highs_int(held_cols_ - 1),
                                 columns.integrality.data()) != kHighsStatusError;
}

// Hands over the costs in `range` that differ from those HiGHS holds: an objective set anew
// mostly repeats them, and costs HiGHS already has would only cost it work.
bool HighsSession::change_costs(const ProblemView& view, IndexRange range) {
  if (range.empty()) return true;
  const std::size_t count = range.last - range.first;
  // Costs that cannot be read back count as changed (NaN equals nothing).
  std::vector<double> held(count, std::numeric_limits<double>::quiet_NaN());
  HighsInt cols = 0;
  HighsInt nonzeros = 0;
  if (api_.get_cols(highs_, as_highs_int(range.first), as_highs_int(range.last - 1), &cols, held.data(), nullptr,
                    nullptr, &nonzeros, nullptr, nullptr, nullptr) == kHighsStatusError) {
    std::ranges::fill(held, std::numeric_limits<double>::quiet_NaN());
  }
  std::vector<HighsInt> changed;
  std::vector<double> costs;
  for (std::size_t k = 0; k < count; ++k) {
    const double cost = view.obj[range.first + k];
    if (cost == held[k]) continue;
    changed.push_back(as_highs_int(range.first + k));
    costs.push_back(cost);
  }
  if (changed.empty()) return true;
  changed_ = true;
  return api_.change_costs_by_set(highs_, as_highs_int(changed.size()), changed.data(), costs.data()) !=
         kHighsStatusError;
}

bool HighsSession::add_rows(const ProblemView& view) {
  if (view.sense.size() == held_rows_) return true;
  const RowBlock rows = buffered_rows(view);
  const SparseBlock& a = rows.entries;
  const HighsInt rc = api_.add_rows(highs_, as_highs_int(rows.lower.size()), rows.lower.data(), rows.upper.data(),
                                    as_highs_int(a.index.size()), a.start.data(), a.index.data(), a.value.data());
  held_rows_ = view.sense.size();
  held_nonzeros_ += a.index.size();
  changed_ = true;
  return rc != kHighsStatusError;
}

bool HighsSession::apply_changes(const ProblemView& view, const ParameterSet& params) {
  const double int_tolerance = integer_tolerance(params);
  bool ok = true;
  ok = change_costs(view, {view.changed_costs.first, std::min(view.changed_costs.last, held_cols_)}) && ok;
  ok = change_bounds(view, view.changed_bounds, int_tolerance) && ok;
  if (view.model_sense != sense_) {
    ok = api_.change_sense(highs_, view.model_sense) != kHighsStatusError && ok;
    sense_ = view.model_sense;
    changed_ = true;
  }
  if (view.objcon != objcon_) {
    ok = api_.change_offset(highs_, view.objcon) != kHighsStatusError && ok;
    objcon_ = view.objcon;
    changed_ = true;
  }
  ok = add_columns(view, int_tolerance) && ok;
  return add_rows(view) && ok;
}

bool HighsSession::remove_indicators() {
  if (indicators_.empty()) return true;
  const std::size_t count = indicators_.size();
  indicators_.clear();
  changed_ = true;
  const bool rows =
      api_.delete_rows(highs_, as_highs_int(held_rows_), as_highs_int(held_rows_ + 2 * count - 1)) != kHighsStatusError;
  return api_.delete_cols(highs_, as_highs_int(held_cols_), as_highs_int(held_cols_ + count - 1)) !=
             kHighsStatusError &&
         rows;
}

// An indicator for semi-variable `col`. An infinite side of its range is replaced by the
// tightest limit a single row puts on the column, given the bounds of the others, or else by a
// guess sized by the model's values and the scales the column's rows give it. When the rows keep
// the column below its range, it can only be 0: both sides become 0.
SemiIndicator HighsSession::semi_indicator(std::size_t col, const HighsColumn& column, double magnitude,
                                           std::span<const double> lower, std::span<const double> upper) const {
  SemiIndicator indicator{col, column.on_lower, column.on_upper, false, column.on_lower, column.on_upper};
  const auto c = as_highs_int(col);
  HighsInt count = 0;
  HighsInt nonzeros = 0;
  api_.get_cols(highs_, c, c, &count, nullptr, nullptr, nullptr, &nonzeros, nullptr, nullptr, nullptr);
  HighsInt start = 0;
  std::vector<HighsInt> rows(static_cast<std::size_t>(nonzeros));
  std::vector<double> unused(static_cast<std::size_t>(nonzeros));
  api_.get_cols(highs_, c, c, &count, nullptr, nullptr, nullptr, &nonzeros, &start, rows.data(), unused.data());
  double implied_lower = -kInf;
  double implied_upper = kInf;
  for (HighsInt row : rows) {
    double row_lower = 0.0;
    double row_upper = 0.0;
    api_.get_rows(highs_, row, row, &count, &row_lower, &row_upper, &nonzeros, nullptr, nullptr, nullptr);
    std::vector<HighsInt> index(static_cast<std::size_t>(nonzeros));
    std::vector<double> value(static_cast<std::size_t>(nonzeros));
    api_.get_rows(highs_, row, row, &count, &row_lower, &row_upper, &nonzeros, &start, index.data(), value.data());
    implied_lower = std::max(implied_lower, row_limit(index, value, row_lower, row_upper, c, false, lower, upper));
    implied_upper = std::min(implied_upper, row_limit(index, value, row_lower, row_upper, c, true, lower, upper));
    magnitude = std::max(magnitude, guess_scale_ * row_scale(index, value, row_lower, row_upper, c, lower, upper));
  }
  if (implied_upper < indicator.lower || implied_lower > indicator.upper) {
    indicator.lower = indicator.upper = 0.0;
    return indicator;
  }
  for (const bool upward : {false, true}) {
    double& side = upward ? indicator.upper : indicator.lower;
    if (std::isfinite(side)) continue;
    side = upward ? implied_upper : implied_lower;
    if (std::isfinite(side)) continue;
    side = guessed_limit(upward ? indicator.lower : indicator.upper, upward, magnitude);
    indicator.guessed = true;
  }
  return indicator;
}

// The indicators of every semi-variable whose range excludes 0.
std::vector<SemiIndicator> HighsSession::semi_indicators(const ProblemView& view, double int_tolerance) const {
  std::vector<SemiIndicator> indicators;
  const auto semi_type = [](char vtype) { return vtype == GRB_SEMICONT || vtype == GRB_SEMIINT; };
  const auto vtypes = view.vtype.first(held_cols_);
  if (std::none_of(vtypes.begin(), vtypes.end(), semi_type)) return indicators;
  const ColumnBlock columns = column_block(view, 0, held_cols_, int_tolerance);
  const double magnitude =
      guess_scale_ * std::max({largest_finite(view.lb), largest_finite(view.ub), largest_finite(view.rhs)});
  for (std::size_t j = 0; j < held_cols_; ++j) {
    const HighsColumn column = to_highs_column(view.lb[j], view.ub[j], view.vtype[j], int_tolerance);
    if (column.semi) indicators.push_back(semi_indicator(j, column, magnitude, columns.lower, columns.upper));
  }
  return indicators;
}

// Each indicator as a binary column and two rows after the model's own.
bool HighsSession::add_indicators(const ProblemView& view, double int_tolerance) {
  indicators_ = semi_indicators(view, int_tolerance);
  if (indicators_.empty()) return true;
  const std::size_t count = indicators_.size();
  const std::vector<double> zeros(count, 0.0);
  const std::vector<double> ones(count, 1.0);
  const std::vector<HighsInt> binary(count, 1);
  bool ok = api_.add_cols(highs_, as_highs_int(count), zeros.data(), zeros.data(), ones.data(), 0, nullptr, nullptr,
                          nullptr) != kHighsStatusError;
  ok = api_.change_integrality(highs_, as_highs_int(held_cols_), as_highs_int(held_cols_ + count - 1), binary.data()) !=
           kHighsStatusError &&
       ok;
  // Row 2k: x - lower * z >= 0; row 2k + 1: x - upper * z <= 0.
  std::vector<double> row_lower, row_upper, value;
  std::vector<HighsInt> start, index;
  for (std::size_t k = 0; k < count; ++k) {
    const SemiIndicator& indicator = indicators_[k];
    for (const double side : {indicator.lower, indicator.upper}) {
      start.push_back(as_highs_int(index.size()));
      index.insert(index.end(), {as_highs_int(indicator.col), as_highs_int(held_cols_ + k)});
      value.insert(value.end(), {1.0, -side});
    }
    row_lower.insert(row_lower.end(), {0.0, -kInf});
    row_upper.insert(row_upper.end(), {kInf, 0.0});
  }
  ok = api_.add_rows(highs_, as_highs_int(2 * count), row_lower.data(), row_upper.data(), as_highs_int(index.size()),
                     start.data(), index.data(), value.data()) != kHighsStatusError &&
       ok;
  is_mip_ = true;
  changed_ = true;
  return ok;
}

// Frees (or restores) the rows of indicators whose limit was guessed, which leaves the
// column within the span of 0 and its range: a relaxation of the model.
void HighsSession::relax_guessed_indicators(bool relaxed) {
  for (std::size_t k = 0; k < indicators_.size(); ++k) {
    if (!indicators_[k].guessed) continue;
    const double lower[] = {relaxed ? -kInf : 0.0, -kInf};
    const double upper[] = {kInf, relaxed ? kInf : 0.0};
    const auto row = as_highs_int(held_rows_ + 2 * k);
    api_.change_row_bounds(highs_, row, row + 1, lower, upper);
  }
}

// The last MIP solution as a start, new columns at the value nearest 0 within their bounds.
// HiGHS checks it and ignores it when it is no longer feasible.
void HighsSession::offer_incumbent(const ProblemView& view) {
  if (!is_mip_ || incumbent_.empty()) return;
  std::vector<double> start = incumbent_;
  start.reserve(held_cols_);
  for (std::size_t j = start.size(); j < held_cols_; ++j) {
    start.push_back(std::max(to_highs_bound(view.lb[j]), std::min(to_highs_bound(view.ub[j]), 0.0)));
  }
  for (const SemiIndicator& indicator : indicators_) start.push_back(indicator_value(indicator, start[indicator.col]));
  api_.set_solution(highs_, start.data(), nullptr, nullptr, nullptr);
}

// A MIP's IterationLimit, BestObjStop and BestBdStop, for the callback; none for an LP.
void HighsSession::arm_stops(const ParameterSet& params) {
  const auto stop_at = [&](Param param, double off) {
    const double value = params.double_value(param);
    return is_mip_ && std::abs(value) < GRB_INFINITY ? value : off;
  };
  const double sense = sense_;
  stop_->arm({is_mip_ ? params.double_value(Param::IterationLimit) : kInf, stop_at(Param::BestObjStop, -sense * kInf),
              stop_at(Param::BestBdStop, sense * kInf), sense_});
}

HighsInt HighsSession::run(const ParameterSet& params) {
  HighsInt run_status = api_.run(highs_);
  if (run_status == kHighsStatusError && api_.get_model_status(highs_) == kNotset &&
      params.int_value(Param::Threads) > 0) {
    // HiGHS's thread pool is process-wide and keeps the size of its first use; solve with
    // that size rather than fail.
    api_.set_int_option(highs_, "threads", 0);
    run_status = api_.run(highs_);
  }
  return run_status;
}

SolveOutcome HighsSession::outcome(const ParameterSet& params) {
  const HighsInt model_status = api_.get_model_status(highs_);
  HighsInt solution_status = 0;
  api_.get_int_info(highs_, "primal_solution_status", &solution_status);
  const bool feasible = solution_status == kSolutionFeasible;
  bool node_limit_reached = false;
  if (is_mip_ && (model_status == kIterationLimit || model_status == kSolutionLimit)) {
    std::int64_t nodes = 0;
    api_.get_int64_info(highs_, "mip_node_count", &nodes);
    const double limit = params.double_value(Param::NodeLimit);
    node_limit_reached = limit < kGurobiInfiniteBound && static_cast<double>(nodes) >= std::floor(limit);
  }

  SolveOutcome result;
  const HighsStop::Reason stopped = model_status == kInterrupt ? stop_->reason() : HighsStop::Reason::None;
  result.status = stopped == HighsStop::Reason::IterationLimit     ? GRB_ITERATION_LIMIT
                  : stopped == HighsStop::Reason::ObjectiveReached ? GRB_USER_OBJ_LIMIT
                                                                   : gurobi_status(model_status, node_limit_reached, feasible);
  if (!status_has_solution(result.status)) return result;
  // An LP stopped by its iteration limit shows the point where it stopped, as no solution.
  const bool lp_stopped = !is_mip_ && result.status == GRB_ITERATION_LIMIT && solution_status != kSolutionNone;
  if (!feasible && !lp_stopped) return stopped_without_solution(result.status);
  result.is_solution = !lp_stopped;
  result.x.resize(held_cols_ + indicators_.size());
  api_.get_solution(highs_, result.x.data(), nullptr, nullptr, nullptr);
  result.x.resize(held_cols_);
  result.objval = api_.get_objective_value(highs_);
  return result;
}

// A limit or an interrupt without a solution: as in Gurobi, ObjVal reads infinite in the
// direction of the objective and SolCount 0.
SolveOutcome HighsSession::stopped_without_solution(int status) const {
  return SolveOutcome{status, {}, sense_ * GRB_INFINITY, false};
}

Result<std::optional<SolveOutcome>> HighsSession::hand_over(const ProblemView& view, const ParameterSet& params) {
  last_handover_ = Handover::Nothing;
  last_iterations_ = 0;
  took_view_ = false;
  if (has_impossible_bound(view)) return SolveOutcome{GRB_INFEASIBLE, {}, std::nullopt};
  if (view.obj.empty()) return solve_without_columns(view, params);
  const std::size_t nonzeros = held_nonzeros_ + view.index.size() + view.column_entries.size();
  if (nonzeros > static_cast<std::size_t>(INT_MAX)) return std::unexpected(Error::Exceed2BNonzeros);
  if (!memory_suffices(view)) return std::unexpected(Error::OutOfMemory);

  // What HiGHS held before: a failure from here on leaves the view with the model, and the
  // next hand-over builds a new instance from that and the rows held before.
  held_before_ = HeldCounts{held_cols_, held_rows_, held_nonzeros_};
  if (damaged_ && !rebuild(view, params)) return SolveOutcome{GRB_NUMERIC, {}, std::nullopt};
  const bool first_load = held_cols_ == 0;
  const bool new_params = !applied_params_ || *applied_params_ != params;
  // Indicators sit after the model's columns and rows, and their limits follow from bounds and
  // rows: they go before anything is added and come back afterwards.
  const bool reshaped = first_load || new_params || view.obj.size() > held_cols_ || view.sense.size() > held_rows_ ||
                        !view.changed_bounds.empty();
  bool accepted = !reshaped || remove_indicators();
  if (new_params) apply_parameters(params, view);
  accepted = (first_load ? load_model(view, params) : apply_changes(view, params)) && accepted;
  if (!accepted) {
    // HiGHS refused the model's data (a coefficient it finds too large) or failed: tried again
    // from the model's data at the next solve, where data it refuses is refused again.
    mark_damaged();
    return SolveOutcome{GRB_NUMERIC, {}, std::nullopt};
  }
  // Indicators the stand-in made itself: a failure there is not the model's.
  if (reshaped && !add_indicators(view, integer_tolerance(params))) {
    mark_damaged();
    return SolveOutcome{GRB_NUMERIC, {}, std::nullopt};
  }
  held_before_.reset();
  took_view_ = true;
  last_handover_ = first_load ? Handover::Model : changed_ ? Handover::Changes : Handover::Nothing;
  return std::nullopt;
}

void HighsSession::mark_damaged() {
  damaged_ = true;
  changed_ = true;
  last_outcome_.reset();
  if (!held_before_) return;
  held_cols_ = held_before_->cols;
  held_rows_ = held_before_->rows;
  held_nonzeros_ = held_before_->nonzeros;
  held_before_.reset();
}

// A new instance holding the columns and rows the old one held (as the model has them now);
// what the view adds comes on top as changes. Fails when the old instance's rows cannot be
// read back.
bool HighsSession::rebuild(const ProblemView& view, const ParameterSet& params) {
  RowBlock rows;
  if (held_rows_ > 0 && !read_rows(held_rows_, held_cols_, rows)) return false;
  void* fresh = api_.create();
  if (fresh == nullptr) throw std::bad_alloc();
  std::unique_ptr<HighsStop> stop;
  try {
    stop = std::make_unique<HighsStop>(api_, fresh);
  } catch (...) {
    api_.destroy(fresh);
    throw;
  }
  api_.destroy(highs_);
  highs_ = fresh;
  stop_ = std::move(stop);
  indicators_.clear();
  applied_params_.reset();
  incumbent_.clear();
  damaged_ = false;
  if (held_cols_ == 0) {
    held_rows_ = held_nonzeros_ = 0;
    return true;
  }
  return pass_model(view, held_cols_, rows, integer_tolerance(params));
}

// The first `count` rows HiGHS holds, with their entries in the first `cols` columns.
bool HighsSession::read_rows(std::size_t count, std::size_t cols, RowBlock& rows) const {
  HighsInt num_row = 0;
  HighsInt num_nz = 0;
  rows.lower.resize(count);
  rows.upper.resize(count);
  const auto last = as_highs_int(count - 1);
  if (api_.get_rows(highs_, 0, last, &num_row, rows.lower.data(), rows.upper.data(), &num_nz, nullptr, nullptr,
                    nullptr) == kHighsStatusError) {
    return false;
  }
  SparseBlock& a = rows.entries;
  a.start.resize(count + 1);
  std::vector<HighsInt> index(static_cast<std::size_t>(num_nz));
  a.own_value.resize(static_cast<std::size_t>(num_nz));
  if (api_.get_rows(highs_, 0, last, &num_row, rows.lower.data(), rows.upper.data(), &num_nz, a.start.data(),
                    index.data(), a.own_value.data()) == kHighsStatusError) {
    return false;
  }
  a.start[count] = num_nz;
  // Entries of columns added by a hand-over that failed are left out.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const auto begin = static_cast<std::size_t>(a.start[i]);
    const auto end = static_cast<std::size_t>(a.start[i + 1]);
    a.start[i] = as_highs_int(kept);
    for (std::size_t e = begin; e < end; ++e) {
      if (static_cast<std::size_t>(index[e]) >= cols) continue;
      index[kept] = index[e];
      a.own_value[kept++] = a.own_value[e];
    }
  }
  a.start[count] = as_highs_int(kept);
  a.own_index.assign(index.begin(), index.begin() + static_cast<std::ptrdiff_t>(kept));
  a.own_value.resize(kept);
  a.index = a.own_index;
  a.value = a.own_value;
  return true;
}

// Whether the memory left under the process's address-space limit (RLIMIT_AS) seems enough for
// HiGHS to take and solve the model: HiGHS itself may crash rather than fail when it runs out.
// Without such a limit, or with enough room, the stand-in hands over.
bool HighsSession::memory_suffices(const ProblemView& view) const {
  const std::size_t entries = view.obj.size() + view.sense.size() + view.index.size() + view.column_entries.size();
  return address_space_left() >= kHighsBaseMemory + kHighsMemoryPerEntry * entries;
}

// A column that may move without end in a direction that improves the objective: without
// one, no improving ray exists.
bool HighsSession::may_be_unbounded(const ProblemView& view, double int_tolerance) const {
  for (std::size_t j = 0; j < held_cols_; ++j) {
    const double gain = -view.obj[j] * view.model_sense;  // per unit upwards
    if (gain == 0.0) continue;
    const HighsColumn column = to_highs_column(view.lb[j], view.ub[j], view.vtype[j], int_tolerance);
    if (gain > 0 ? column.upper == kInf : column.lower == -kInf) return true;
  }
  return false;
}

// The LP relaxation with guessed limits freed: its model status and objective. A relaxation
// HiGHS calls optimal at a value better than `known` (a solution of the model, which it cannot
// beat) is wrong; it is solved again without presolve, and left undecided (Notset) if still wrong.
HighsInt HighsSession::solve_relaxation(const ParameterSet& params, double known, double& bound) {
  relax_guessed_indicators(true);
  api_.set_bool_option(highs_, "solve_relaxation", 1);
  HighsInt status = kNotset;
  for (const char* presolve : {presolve_option(params), "off"}) {
    api_.set_string_option(highs_, "presolve", presolve);
    run(params);
    status = api_.get_model_status(highs_);
    bound = api_.get_objective_value(highs_);
    if (status != kOptimal || within_gap(bound, known, params)) break;
    status = kNotset;
  }
  api_.set_string_option(highs_, "presolve", presolve_option(params));
  api_.set_bool_option(highs_, "solve_relaxation", 0);
  relax_guessed_indicators(false);
  return status;
}

// An optimal MIP solution checked against the LP relaxation (with guessed limits freed), when
// either could be wrong. A feasible MIP whose relaxation is unbounded is unbounded (for rational
// data, as all floating-point data is): HiGHS's branch and bound may answer optimal for one.
// A solution at a guessed limit is optimal when the relaxation's bound shows it within the gap;
// else the answer is whether a guessed limit cut it short.
bool HighsSession::confirm_optimal(const ProblemView& view, const ParameterSet& params, SolveOutcome& result) {
  const auto at_limit = [&](const SemiIndicator& k) { return at_guessed_limit(k, result.x[k.col]); };
  const bool limited = std::any_of(indicators_.begin(), indicators_.end(), at_limit);
  if (!limited && !may_be_unbounded(view, integer_tolerance(params))) return false;
  double bound = 0.0;
  const HighsInt relaxed = solve_relaxation(params, *result.objval, bound);
  if (relaxed == kUnbounded || relaxed == kUnboundedOrInfeasible) {
    result = SolveOutcome{GRB_UNBOUNDED, {}, std::nullopt};
    return false;
  }
  return limited && !(relaxed == kOptimal && within_gap(*result.objval, bound, params));
}

// Whether `value` is within MIPGap or MIPGapAbs of `bound`, which it cannot beat.
bool HighsSession::within_gap(double value, double bound, const ParameterSet& params) const {
  const double gap = (value - bound) * sense_;
  return gap <= std::max(params.double_value(Param::MIPGapAbs), params.double_value(Param::MIPGap) * std::abs(value));
}

// HiGHS checks a MIP solution against its MIP tolerance after postsolve, where a point found
// within it may exceed it slightly, and then reports a solve error. A second run with a tenth
// of the tolerance finds a point that passes.
void HighsSession::rerun_tighter(const ParameterSet& params) {
  constexpr double kTighter = 0.1;
  const double tolerance = integer_tolerance(params);
  const double feasibility = params.double_value(Param::FeasibilityTol);
  api_.set_double_option(highs_, "mip_feasibility_tolerance", tolerance * kTighter);
  api_.set_double_option(highs_, "primal_feasibility_tolerance", feasibility * kTighter);
  run(params);
  api_.set_double_option(highs_, "mip_feasibility_tolerance", tolerance);
  api_.set_double_option(highs_, "primal_feasibility_tolerance", feasibility);
}

// HiGHS may end without an answer and without a feasible point ("unknown") where another setting
// decides: Gurobi's tolerances passed as HiGHS's can stall its simplex on an infeasible LP.
// Tried in turn: HiGHS's own tolerances, then also without presolve, then also the primal
// simplex. Every option comes back to the parameters' value.
void HighsSession::retry_without_answer(const ParameterSet& params) {
  const auto undecided = [&] {
    const HighsInt status = api_.get_model_status(highs_);
    HighsInt solution = kSolutionNone;
    api_.get_int_info(highs_, "primal_solution_status", &solution);
    return (status == kUnknown || status == kSolveError || status == kNotset) && solution != kSolutionFeasible;
  };
  if (!undecided()) return;
  api_.set_double_option(highs_, "primal_feasibility_tolerance", kHighsDefaultTolerance);
  api_.set_double_option(highs_, "dual_feasibility_tolerance", kHighsDefaultTolerance);
  run(params);
  if (undecided()) {
    api_.set_string_option(highs_, "presolve", "off");
    run(params);
  }
  if (undecided()) {
    api_.set_int_option(highs_, "simplex_strategy", kPrimalSimplex);
    run(params);
    api_.set_int_option(highs_, "simplex_strategy", kDualSimplex);
  }
  api_.set_string_option(highs_, "presolve", presolve_option(params));
  api_.set_double_option(highs_, "primal_feasibility_tolerance", params.double_value(Param::FeasibilityTol));
  api_.set_double_option(highs_, "dual_feasibility_tolerance", params.double_value(Param::OptimalityTol));
}

// Runs HiGHS and reads its outcome; returns whether a guessed limit cut the solution short.
bool HighsSession::solve_once(const ProblemView& view, const ParameterSet& params) {
  if (is_mip_) offer_incumbent(view);
  arm_stops(params);
  run(params);
  if (is_mip_ && api_.get_model_status(highs_) == kSolveError) rerun_tighter(params);
  retry_without_answer(params);
  api_.get_int_info(highs_, "simplex_iteration_count", &last_iterations_);
  last_outcome_ = outcome(params);
  if (last_outcome_->status == GRB_INF_OR_UNBD && params.int_value(Param::DualReductions) == 0) {
    last_outcome_ = settle_infeasible_or_unbounded(view, params);
  }
  return is_mip_ && last_outcome_->status == GRB_OPTIMAL && confirm_optimal(view, params, *last_outcome_);
}

// Guessed limits that bind are raised tenfold, at most three times in the model's life, while
// that finds a better solution: a solution no better than the last (within the gap) is taken as
// optimal. Returns whether the last solution is still cut short.
bool HighsSession::raise_guessed_limits(const ProblemView& view, const ParameterSet& params, bool cut_short) {
  constexpr double kLimitRaise = 10.0;
  constexpr double kLargestScale = 1e3;
  while (cut_short && guess_scale_ < kLargestScale) {
    const double before = *last_outcome_->objval;
    const std::vector<SemiIndicator> limits = indicators_;
    guess_scale_ *= kLimitRaise;
    remove_indicators();
    add_indicators(view, integer_tolerance(params));
    // Limits already at their largest: a new solve would only repeat the last.
    if (same_limits(limits, indicators_)) break;
    cut_short = solve_once(view, params);
    if (cut_short && within_gap(before, *last_outcome_->objval, params)) {
      last_outcome_->status = GRB_OPTIMAL;
      cut_short = false;
    }
  }
  return cut_short;
}

SolveOutcome HighsSession::solve(const ProblemView& view, const ParameterSet& params) {
  if (changed_ || !last_outcome_ || !is_final(last_outcome_->status)) {
    // A SIGINT while the model was handed over: HiGHS would see it only after its presolve.
    if (interrupt_requested()) {
      last_outcome_ = stopped_without_solution(GRB_INTERRUPTED);
      return *last_outcome_;
    }
    last_outcome_ = apply_stop_parameters(decide(view, params), params);
    if (is_mip_ && last_outcome_->is_solution && !last_outcome_->x.empty()) incumbent_ = last_outcome_->x;
    changed_ = false;
  }
  return *last_outcome_;
}

// The answer for the model as given. With semi-variables HiGHS solves a reformulation, and a
// solution cut short by a guessed limit, or a claim of infeasibility, is decided by branching on
// the semi-variables themselves.
SolveOutcome HighsSession::decide(const ProblemView& view, const ParameterSet& params) {
  const bool cut_short = raise_guessed_limits(view, params, solve_once(view, params));
  const int status = last_outcome_->status;
  if (!indicators_.empty() && (cut_short || status == GRB_INFEASIBLE || status == GRB_INF_OR_UNBD)) {
    return branch_on_semi(view, params);
  }
  return checked(view, params, *last_outcome_);
}

// A solution is reported only when it holds for the model. Semi-variables in their gap are
// settled by branching; any other fault gets one more solve with tighter tolerances, then
// 12 NUMERIC (or the limit's status without a solution), with the reason in the log.
SolveOutcome HighsSession::checked(const ProblemView& view, const ParameterSet& params, SolveOutcome result) {
  if (!result.is_solution || result.x.empty()) return result;
  const Tolerances tolerances{params.double_value(Param::FeasibilityTol), integer_tolerance(params)};
  SolutionFaults faults = check_solution(api_, highs_, view, held_rows_, result.x, tolerances);
  if (faults.none()) return result;
  if (result.status == GRB_OPTIMAL && faults.reason.empty() && !indicators_.empty()) {
    return branch_on_semi(view, params);
  }
  if (result.status == GRB_OPTIMAL) {
    rerun_tighter(params);
    SolveOutcome again = outcome(params);
    if (again.status == GRB_OPTIMAL && again.is_solution &&
        check_solution(api_, highs_, view, held_rows_, again.x, tolerances).none()) {
      return again;
    }
  }
  const std::string reason = faults.reason.empty() ? "a semi-variable lies between 0 and its range" : faults.reason;
  log_line(params, "Solution refused: " + reason);
  return result.status == GRB_OPTIMAL ? SolveOutcome{GRB_NUMERIC, {}, std::nullopt}
                                      : stopped_without_solution(result.status);
}

// Cutoff, BestObjStop and BestBdStop, as Gurobi applies them to the answer found: a solution
// worse than Cutoff is none (6 CUTOFF when it was optimal); an optimal one at least as good as
// BestObjStop is 15 USER_OBJ_LIMIT, and so is an optimum that reaches BestBdStop (an LP's
// without a solution: Gurobi's simplex stops on its bound before it has one).
SolveOutcome HighsSession::apply_stop_parameters(SolveOutcome result, const ParameterSet& params) const {
  if (!result.objval || !result.is_solution) return result;
  const double value = sense_ * *result.objval;
  const double cutoff = params.double_value(Param::Cutoff);
  if (std::abs(cutoff) < GRB_INFINITY && value > sense_ * cutoff) {
    return result.status == GRB_OPTIMAL ? SolveOutcome{GRB_CUTOFF, {}, std::nullopt}
                                        : stopped_without_solution(result.status);
  }
  if (result.status != GRB_OPTIMAL) return result;
  const double best_objective = params.double_value(Param::BestObjStop);
  const double best_bound = params.double_value(Param::BestBdStop);
  if (std::abs(best_objective) < GRB_INFINITY && value <= sense_ * best_objective) {
    result.status = GRB_USER_OBJ_LIMIT;
  } else if (std::abs(best_bound) < GRB_INFINITY && value >= sense_ * best_bound) {
    result = is_mip_ ? SolveOutcome{GRB_USER_OBJ_LIMIT, result.x, result.objval}
                     : stopped_without_solution(GRB_USER_OBJ_LIMIT);
  }
  return result;
}

// Without dual reductions Gurobi tells an infeasible model from an unbounded one. HiGHS's
// "unbounded or infeasible" comes from its presolve or from a dual ray; solving again without
// presolve, and if HiGHS still cannot tell, solving for feasibility alone (costs 0) decides.
SolveOutcome HighsSession::settle_infeasible_or_unbounded(const ProblemView& view, const ParameterSet& params) {
  api_.set_string_option(highs_, "presolve", "off");
  run(params);
  api_.set_string_option(highs_, "presolve", presolve_option(params));
  SolveOutcome result = outcome(params);
  if (result.status != GRB_INF_OR_UNBD) return result;
  const std::vector<double> zero_costs(held_cols_, 0.0);
  const auto last = as_highs_int(held_cols_ - 1);
  api_.change_costs(highs_, 0, last, zero_costs.data());
  run(params);
  const HighsInt feasibility = api_.get_model_status(highs_);
  api_.change_costs(highs_, 0, last, view.obj.data());
  result.status = feasibility == kInfeasible ? GRB_INFEASIBLE
                  : feasibility == kOptimal  ? GRB_UNBOUNDED
                                             : GRB_INF_OR_UNBD;
  return result;
}

}  // namespace standin
