// The solve sequence: what a GRBoptimize through HiGHS runs, and everything that differs from a
// plain HiGHS run (the unbounded guard, guessed limits and their raises, the checked solution,
// DualReductions 0, the re-runs where HiGHS ends undecided or slightly off).
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "highs_options.hpp"
#include "highs_session.hpp"
#include "integer_rows.hpp"
#include "interrupt.hpp"
#include "solution_check.hpp"
#include "solve_log.hpp"

namespace standin {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kLargeCoefficient = 1e8;

// Statuses that solving the same model again would only repeat.
bool is_final(int gurobi_status) {
  return gurobi_status == GRB_OPTIMAL || gurobi_status == GRB_INFEASIBLE || gurobi_status == GRB_INF_OR_UNBD ||
         gurobi_status == GRB_UNBOUNDED;
}

// Whether column j may move without end, by its bounds, in a direction that improves the objective.
bool improves_without_end(const ProblemView& view, std::size_t j, double int_tolerance) {
  const double gain = -view.obj[j] * view.model_sense;  // per unit upwards
  if (gain == 0.0) return false;
  const HighsColumn column = to_highs_column(view.lb[j], view.ub[j], view.vtype[j], int_tolerance);
  return gain > 0 ? column.upper == kInf : column.lower == -kInf;
}

bool same_limits(const std::vector<SemiIndicator>& a, const std::vector<SemiIndicator>& b) {
  return std::ranges::equal(a, b, [](const SemiIndicator& x, const SemiIndicator& y) {
    return x.col == y.col && x.lower == y.lower && x.upper == y.upper;
  });
}

}  // namespace

SolveOutcome HighsSession::solve(const ProblemView& view, const ParameterSet& params) {
  if (changed_ || !last_outcome_ || !is_final(last_outcome_->status)) {
    // A SIGINT while the model was handed over: HiGHS would see it only after its presolve.
    if (interrupt_requested()) {
      last_outcome_ = stopped_without_solution(GRB_INTERRUPTED);
      return *last_outcome_;
    }
    deadline_ = Deadline(params.double_value(Param::TimeLimit) < kGurobiInfiniteBound
                             ? params.double_value(Param::TimeLimit)
                             : kInf);
    relax_wide_integers(view, integer_tolerance(params));
    presolve_unsafe_ = presolve_may_loop(view);
    if (presolve_unsafe_) api_.set_string_option(highs_, "presolve", "off");
    last_outcome_ = apply_stop_parameters(settle_no_answer(view, params, decide(view, params)), params);
    restore_wide_integers(view, integer_tolerance(params));
    if (presolve_unsafe_) api_.set_string_option(highs_, "presolve", presolve_option(params));
    presolve_unsafe_ = false;
    if (is_mip_ && last_outcome_->is_solution && !last_outcome_->x.empty()) incumbent_ = last_outcome_->x;
    changed_ = false;
  }
  return *last_outcome_;
}

// A MIP left without an answer (12 NUMERIC, no solution), or called infeasible or unbounded, is
// infeasible when one of its equality rows has no integer point at all: HiGHS cannot tell where it
// holds integer columns as continuous or its search gives up on them.
SolveOutcome HighsSession::settle_no_answer(const ProblemView& view, const ParameterSet& params, SolveOutcome result) {
  const bool undecided = result.status == GRB_NUMERIC || result.status == GRB_INF_OR_UNBD;
  if (!is_mip_ || !undecided || result.objval) return result;
  const std::optional<std::size_t> row =
      row_without_integer_point(api_, highs_, view, held_rows_, params.double_value(Param::FeasibilityTol));
  if (!row) return result;
  log_line(params, "Row " + std::to_string(*row) + " has no integer solution");
  return SolveOutcome{GRB_INFEASIBLE, {}, std::nullopt};
}

// HiGHS 1.15's presolve can take a continuous column of a MIP for an implied integer, and its root
// reduced-cost fixing then walks that column's domain in 32-bit integers without end (as for wide
// integer columns) when a bound lies beyond them, or comes to lie there as presolve scales it
// (may_scale_beyond_int32). Such a MIP is solved as with Presolve 0: its runs without presolve,
// second opinions on their answers with it, as HiGHS errs without presolve on such models too.
bool HighsSession::presolve_may_loop(const ProblemView& view) const {
  constexpr double kInt32End = 2147483648.0;  // 2^31
  if (!is_mip_) return false;
  const auto beyond = [](double bound) { return std::isfinite(bound) && std::abs(bound) >= kInt32End; };
  bool integral = !indicators_.empty();  // HiGHS holds an integer column: it solves a MIP
  bool wide_continuous = false;
  for (std::size_t j = 0; j < held_cols_; ++j) {
    const HighsColumn column = to_highs_column(view.lb[j], view.ub[j], view.vtype[j], 0.0);
    const bool continuous = column.integrality == 0 || std::ranges::binary_search(wide_integers_, j);
    const bool wide_by_rows = std::ranges::binary_search(wide_by_rows_, j);
    integral = integral || !continuous;
    wide_continuous =
        wide_continuous || wide_by_rows || (continuous && (beyond(column.lower) || beyond(column.upper)));
  }
  return integral && (wide_continuous || may_scale_beyond_int32(view));
}

const char* HighsSession::presolve_setting(const ParameterSet& params) const {
  return presolve_unsafe_ ? "off" : presolve_option(params);
}

const char* HighsSession::second_presolve_setting(const ParameterSet& params) const {
  return presolve_unsafe_ ? "on" : second_presolve(params);
}

// The answer for the model as given. With semi-variables HiGHS solves a reformulation, and a
// solution cut short by a guessed limit, or a claim of infeasibility, is decided by branching on
// the semi-variables themselves; so is a reformulation HiGHS leaves without an answer, as one with
// a semi-variable's state fixed may get one.
SolveOutcome HighsSession::decide(const ProblemView& view, const ParameterSet& params) {
  if (unbounded_before_search(view, params)) return SolveOutcome{GRB_UNBOUNDED, {}, std::nullopt};
  const bool cut_short = raise_guessed_limits(view, params, solve_once(view, params));
  const int status = last_outcome_->status;
  const bool undecided = status == GRB_INFEASIBLE || status == GRB_INF_OR_UNBD || status == GRB_NUMERIC;
  if (!indicators_.empty() && (cut_short || undecided)) {
    // A solution cut short still holds for the model: the branching starts from it.
    std::optional<SolveOutcome> start;
    if (cut_short && holds(view, params, *last_outcome_)) start = *last_outcome_;
    return branch(view, params, std::move(start));
  }
  SolveOutcome result = checked(view, params, *last_outcome_);
  if (result.status != GRB_OPTIMAL || !is_mip_) return result;
  // HiGHS's presolve can also call a MIP with big-M rows (coefficients of 1e8 and more) optimal
  // well short of its optimum, semi-variables or not.
  // Nor is its search without presolve, where presolve may loop, always right.
  if (indicators_.empty()) {
    const bool doubtful = largest_coefficient_ >= kLargeCoefficient || presolve_unsafe_;
    return doubtful ? second_opinion(view, params, std::move(result)) : result;
  }
  result = second_opinion(view, params, std::move(result));
  // HiGHS's answers degrade with indicator limits from about 1e8: an optimum found through such a
  // limit is only the incumbent branching starts from, which frees those rows. So is one found
  // without presolve where presolve may loop and the relaxation does not show it: HiGHS can then
  // close its search by propagation alone, short of the optimum.
  if (result.status == GRB_OPTIMAL && (std::ranges::any_of(indicators_, has_large_limit) ||
                                       (presolve_unsafe_ && !relaxation_shows(params, *result.objval)))) {
    return branch(view, params, result);
  }
  return result;
}

// A MIP with a column in no row that improves the objective without end, and with a point that
// holds, is unbounded. HiGHS's search can go on without end on such a MIP (finding ever better
// points, or restarting where it holds integer columns as continuous beside large bounds, whose
// relaxation it leaves "Not Set"): it is told before the search.
bool HighsSession::unbounded_before_search(const ProblemView& view, const ParameterSet& params) {
  if (!is_mip_ || !improves_alone(view, integer_tolerance(params)) || !has_point(view, params)) return false;
  log_line(params, "A column in no row improves without end and the model has a point");
  return true;
}

// Whether a column in no row moves without end in a direction that improves the objective.
bool HighsSession::improves_alone(const ProblemView& view, double int_tolerance) const {
  for (std::size_t j = 0; j < held_cols_; ++j) {
    if (!improves_without_end(view, j, int_tolerance)) continue;
    const auto col = as_highs_int(j);
    HighsInt count = 0;
    HighsInt nonzeros = 0;
    api_.get_cols(highs_, col, col, &count, nullptr, nullptr, nullptr, &nonzeros, nullptr, nullptr, nullptr);
    if (count == 1 && nonzeros == 0) return true;
  }
  return false;
}

// Whether the model has a point that holds, searched for with every cost 0: HiGHS's point, or
// where it leaves a semi-variable in its gap or a wide integer off a whole number, branching's.
bool HighsSession::has_point(const ProblemView& view, const ParameterSet& params) {
  zero_costs(view, true);
  run(params);
  settle_solve_error(params);
  SolveOutcome found = outcome(params);
  if (found.status == GRB_OPTIMAL && !holds(view, params, found)) found = branch(view, params);
  zero_costs(view, false);
  return found.is_solution && found.objval && !found.x.empty();
}

// Runs HiGHS and reads its outcome; returns whether a guessed limit cut the solution short.
bool HighsSession::solve_once(const ProblemView& view, const ParameterSet& params) {
  if (is_mip_) offer_incumbent(view);
  arm_stops(params);
  run(params);
  recheck_warm_lp(view, params);
  recheck_lp_claim(view, params);
  settle_solve_error(params);
  retry_without_answer(params);
  if (is_mip_) recheck_infeasible_mip(params);
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

// A solution is reported only when it holds for the model. Semi-variables in their gap are
// settled by branching; any other fault gets one more solve with tighter tolerances, then
// 12 NUMERIC (or the limit's status without a solution), with the reason in the log.
SolveOutcome HighsSession::checked(const ProblemView& view, const ParameterSet& params, SolveOutcome result) {
  if (!result.is_solution || result.x.empty()) return result;
  const Tolerances tolerances = model_tolerances(params);
  SolutionFaults faults = check_solution(api_, highs_, view, held_rows_, result.x, tolerances);
  if (faults.none()) {
    if (result.status != GRB_OPTIMAL || faults.semi_near_zero.empty() || indicators_.empty()) return result;
    // The point holds only through the tolerance on semi-variables near 0: branching looks for
    // an optimum with them at 0 exactly, and the point stands where it finds none.
    SolveOutcome exact = branch(view, params);
    return exact.status == GRB_OPTIMAL ? exact : result;
  }
  // 13 SUBOPTIMAL promises a solution, as 2 OPTIMAL does.
  const bool promised = result.status == GRB_OPTIMAL || result.status == GRB_SUBOPTIMAL;
  if (promised && branches_on(faults)) return branch(view, params);
  if (result.status == GRB_OPTIMAL) {
    rerun_tighter(params);
    SolveOutcome again = outcome(params);
    if (again.status == GRB_OPTIMAL && again.is_solution &&
        check_solution(api_, highs_, view, held_rows_, again.x, tolerances).none()) {
      return again;
    }
  }
  log_line(params, "Solution refused: " + faults.description());
  return promised ? SolveOutcome{GRB_NUMERIC, {}, std::nullopt} : stopped_without_solution(result.status);
}

// HiGHS's search after presolve can call a reformulation optimal well short of its optimum, where
// a run without presolve finds it. An optimum that the relaxation's bound does not show gets that
// run, and the better of the two solutions that hold stands. Where presolve may loop, the first
// run was without presolve already and a run with it could loop: the second is without presolve
// too, with a looser integrality tolerance (rerun_looser).
SolveOutcome HighsSession::second_opinion(const ProblemView& view, const ParameterSet& params, SolveOutcome result) {
  if (relaxation_shows(params, *result.objval)) return result;
  if (presolve_unsafe_) {
    rerun_looser(params);
  } else {
    run_cold_second_opinion(params);
  }
  SolveOutcome again = outcome(params);
  const bool better = again.status == GRB_OPTIMAL && !within_gap(*result.objval, *again.objval, params);
  return better && holds(view, params, again) ? again : result;
}

// Whether branching can settle the faults: semi-variables in their gap, and integers off a whole
// number among the wide ones HiGHS holds as continuous.
bool HighsSession::branches_on(const SolutionFaults& faults) const {
  const auto wide = [&](std::size_t j) { return std::ranges::find(wide_integers_, j) != wide_integers_.end(); };
  return faults.reason.empty() && (faults.semi_in_gap.empty() || !indicators_.empty()) &&
         std::ranges::all_of(faults.not_integral, wide);
}

Tolerances HighsSession::model_tolerances(const ParameterSet& params) const {
  return Tolerances{params.double_value(Param::FeasibilityTol), integer_tolerance(params)};
}

// Whether the outcome has a solution and it holds for the model, with no semi-variable kept off
// 0 by the tolerance alone.
bool HighsSession::holds(const ProblemView& view, const ParameterSet& params, const SolveOutcome& result) const {
  if (!result.is_solution || result.x.empty()) return false;
  const SolutionFaults faults = check_solution(api_, highs_, view, held_rows_, result.x, model_tolerances(params));
  return faults.none() && faults.semi_near_zero.empty();
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
  // A relaxation left undecided proves nothing: a guessed limit may bind through the rows, with
  // the column short of it.
  const bool guessed = std::any_of(indicators_.begin(), indicators_.end(), [](const auto& k) { return k.guessed; });
  const bool proven = relaxed == kOptimal && within_gap(*result.objval, bound, params);
  return (limited || (relaxed == kNotset && guessed)) && !proven;
}

// The LP relaxation with guessed limits freed: its model status and objective. A relaxation
// HiGHS calls optimal at a value worse than `known` (a solution of the model, which a relaxation
// cannot be worse than) is wrong, and rechecked as one called unbounded or infeasible is.
HighsInt HighsSession::solve_relaxation(const ParameterSet& params, double known, double& bound) {
  relax_guessed_indicators(true);
  api_.set_bool_option(highs_, "solve_relaxation", 1);
  HighsInt status = relaxation_attempt(params, presolve_setting(params), known, bound);
  if (status == kNotset || claims_no_optimum(status)) status = recheck_relaxation(params, status, known, bound);
  api_.set_string_option(highs_, "presolve", presolve_setting(params));
  api_.set_bool_option(highs_, "solve_relaxation", 0);
  relax_guessed_indicators(false);
  return status;
}

// Whether the LP relaxation (guessed limits freed) bounds the optimum `value` within the gap.
bool HighsSession::relaxation_shows(const ParameterSet& params, double value) {
  double bound = 0.0;
  return solve_relaxation(params, value, bound) == kOptimal && within_gap(value, bound, params);
}

// One run of the relaxation: its status, Notset for an optimum better than `known`.
HighsInt HighsSession::relaxation_attempt(const ParameterSet& params, const char* presolve, double known,
                                          double& bound) {
  api_.set_string_option(highs_, "presolve", presolve);
  run(params);
  const HighsInt status = api_.get_model_status(highs_);
  bound = api_.get_objective_value(highs_);
  return status != kOptimal || within_gap(bound, known, params) ? status : kNotset;
}

// Started from the MIP's basis, HiGHS can call a relaxation with large bounds and coefficients
// unbounded, or infeasible (which a relaxation with a solution cannot be), wrongly; from scratch,
// with or without presolve, it can be wrong the other way. The relaxation is solved again from
// scratch without presolve, then with it: an optimum either finds stands, else the relaxation is
// unbounded when a run's ray proves it (ray_holds), else undecided.
HighsInt HighsSession::recheck_relaxation(const ParameterSet& params, HighsInt status, double known, double& bound) {
  if (status == kUnbounded && ray_holds()) return kUnbounded;
  for (const char* presolve : {second_presolve_setting(params), presolve_setting(params)}) {
    forget_basis();
    status = relaxation_attempt(params, presolve, known, bound);
    if (status == kOptimal || (status == kUnbounded && ray_holds())) return status;
  }
  return kNotset;
}

// A column that may move without end in a direction that improves the objective: without
// one, no improving ray exists.
bool HighsSession::may_be_unbounded(const ProblemView& view, double int_tolerance) const {
  for (std::size_t j = 0; j < held_cols_; ++j) {
    if (improves_without_end(view, j, int_tolerance)) return true;
  }
  return false;
}

// Whether `value` is within MIPGap or MIPGapAbs of `bound`, which it cannot beat.
bool HighsSession::within_gap(double value, double bound, const ParameterSet& params) const {
  const double gap = (value - bound) * sense_;
  return gap <= std::max(params.double_value(Param::MIPGapAbs), params.double_value(Param::MIPGap) * std::abs(value));
}

// Without dual reductions Gurobi tells an infeasible model from an unbounded one. HiGHS's
// "unbounded or infeasible" comes from its presolve or from a dual ray; solving again without
// presolve, and if HiGHS still cannot tell, solving for feasibility alone (costs 0) decides.
SolveOutcome HighsSession::settle_infeasible_or_unbounded(const ProblemView& view, const ParameterSet& params) {
  api_.set_string_option(highs_, "presolve", "off");
  run(params);
  api_.set_string_option(highs_, "presolve", presolve_setting(params));
  SolveOutcome result = outcome(params);
  // A row without an integer point decides it at once, where the search for a point can take long.
  if (result.status == GRB_INF_OR_UNBD) result = settle_no_answer(view, params, std::move(result));
  if (result.status != GRB_INF_OR_UNBD) return result;
  const HighsInt feasibility = feasibility_status(view, params);
  result.status = feasibility == kInfeasible ? GRB_INFEASIBLE
                  : feasibility == kOptimal  ? GRB_UNBOUNDED
                                             : GRB_INF_OR_UNBD;
  return result;
}

// The model solved with every cost 0: optimal when it has a point, infeasible when it has none.
HighsInt HighsSession::feasibility_status(const ProblemView& view, const ParameterSet& params) {
  zero_costs(view, true);
  run(params);
  settle_solve_error(params);
  const HighsInt feasibility = api_.get_model_status(highs_);
  zero_costs(view, false);
  return feasibility;
}

// Every cost 0, for a search for any point; or the model's costs again.
void HighsSession::zero_costs(const ProblemView& view, bool zero) {
  const std::vector<double> zeros(zero ? held_cols_ : 0, 0.0);
  api_.change_costs(highs_, 0, as_highs_int(held_cols_ - 1), zero ? zeros.data() : view.obj.data());
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

HighsInt HighsSession::run(const ParameterSet& params) {
  warm_start_ = has_run_;
  has_run_ = true;
  if (deadline_.is_finite()) api_.set_double_option(highs_, "time_limit", deadline_.left());
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

// HiGHS's presolve can call a MIP infeasible that is not (an integer column whose rows imply a
// bound within its tolerance of a whole number), and so can a run without presolve: such an
// answer is checked by a solve from scratch with the other setting, whose answer stands.
void HighsSession::recheck_infeasible_mip(const ParameterSet& params) {
  if (api_.get_model_status(highs_) != kInfeasible) return;
  run_cold_second_opinion(params);
}

// HiGHS forgets its basis and solution: the next run starts from scratch.
void HighsSession::forget_basis() {
  api_.clear_solver(highs_);
  has_run_ = false;
}

// A second opinion on an answer that HiGHS's presolve (or its run without), or a start from an
// earlier basis, may have got wrong: a run from scratch with the other presolve setting.
void HighsSession::run_cold_second_opinion(const ParameterSet& params) {
  forget_basis();
  api_.set_string_option(highs_, "presolve", second_presolve_setting(params));
  run(params);
  api_.set_string_option(highs_, "presolve", presolve_setting(params));
}

// HiGHS checks a MIP solution against its MIP tolerance after postsolve, where a point found
// within it may exceed it slightly, and then reports a solve error. A second run with a tenth
// of the tolerance finds a point that passes.
void HighsSession::rerun_tighter(const ParameterSet& params) {
  constexpr double kTighter = 0.1;
  const double tolerance = integer_tolerance(params);
  const double feasibility = primal_tolerance(params);
  api_.set_double_option(highs_, "mip_feasibility_tolerance", tolerance * kTighter);
  api_.set_double_option(highs_, "primal_feasibility_tolerance", feasibility * kTighter);
  run(params);
  api_.set_double_option(highs_, "mip_feasibility_tolerance", tolerance);
  api_.set_double_option(highs_, "primal_feasibility_tolerance", feasibility);
}

// Without presolve HiGHS 1.15.1's propagation with an integrality tolerance of 1e-7 can close a
// MIP's search at a point far short of its optimum, or call it infeasible, where one of 1e-6 (its
// own default) finds the optimum: a second run from scratch with ten times the tolerance, at most
// IntFeasTol, which every solution is checked against.
void HighsSession::rerun_looser(const ParameterSet& params) {
  const double tolerance = integer_tolerance(params);
  forget_basis();
  api_.set_double_option(highs_, "mip_feasibility_tolerance",
                         std::min(tolerance * 10.0, params.double_value(Param::IntFeasTol)));
  run(params);
  api_.set_double_option(highs_, "mip_feasibility_tolerance", tolerance);
}

// A MIP that HiGHS ends in a solve error: its check of the solution after postsolve failed. One
// run with a tenth of the tolerances usually finds a point that passes. Where rounding alone
// exceeds HiGHS's tolerance (rows with terms of 1e9 and more), HiGHS is held to the model's own
// FeasibilityTol instead, as Gurobi holds its solutions, then to ten and a hundred times that
// (rows with terms near 1e15 and beyond), each with the parameters' presolve setting and then the
// other; where presolve may loop, the wider tolerances are tried without presolve only. A point
// that holds for the model is optimal for it when it is for the looser problem; every solution
// is still checked against the model's tolerances, rounding of its rows allowed for, before it is
// reported.
void HighsSession::settle_solve_error(const ParameterSet& params) {
  if (!is_mip_ || api_.get_model_status(highs_) != kSolveError) return;
  rerun_tighter(params);
  constexpr double kLooser = 10.0;
  const double model = params.double_value(Param::FeasibilityTol);
  const double feasibility = primal_tolerance(params);
  const double integrality = integer_tolerance(params);
  for (const double tolerance : {model, model * kLooser, model * kLooser * kLooser}) {
    if (api_.get_model_status(highs_) != kSolveError) break;
    if (tolerance <= feasibility) continue;
    api_.set_double_option(highs_, "mip_feasibility_tolerance", tolerance);
    api_.set_double_option(highs_, "primal_feasibility_tolerance", tolerance);
    run(params);
    if (api_.get_model_status(highs_) == kSolveError && (tolerance == model || !presolve_unsafe_)) {
      api_.set_string_option(highs_, "presolve", second_presolve_setting(params));
      run(params);
      api_.set_string_option(highs_, "presolve", presolve_setting(params));
    }
  }
  api_.set_double_option(highs_, "mip_feasibility_tolerance", integrality);
  api_.set_double_option(highs_, "primal_feasibility_tolerance", feasibility);
}

// HiGHS may end without an answer and without a feasible point ("unknown") where another setting
// decides: Gurobi's tolerances passed as HiGHS's can stall its simplex on an infeasible LP.
// Tried in turn: HiGHS's own tolerances, then also without presolve, then also the primal
// simplex. Every option comes back to the parameters' value.
void HighsSession::retry_without_answer(const ParameterSet& params) {
  const auto undecided = [&] {
    HighsInt solution = kSolutionNone;
    api_.get_int_info(highs_, "primal_solution_status", &solution);
    return is_no_answer(api_.get_model_status(highs_)) && solution != kSolutionFeasible;
  };
  if (!undecided()) return;
  if (primal_tolerance(params) != kHighsDefaultTolerance || dual_tolerance(params) != kHighsDefaultTolerance) {
    api_.set_double_option(highs_, "primal_feasibility_tolerance", kHighsDefaultTolerance);
    api_.set_double_option(highs_, "dual_feasibility_tolerance", kHighsDefaultTolerance);
    run(params);
  }
  if (undecided()) {
    api_.set_string_option(highs_, "presolve", second_presolve_setting(params));
    run(params);
  }
  if (undecided()) {
    api_.set_int_option(highs_, "simplex_strategy", kPrimalSimplex);
    run(params);
    api_.set_int_option(highs_, "simplex_strategy", kDualSimplex);
  }
  api_.set_string_option(highs_, "presolve", presolve_setting(params));
  api_.set_double_option(highs_, "primal_feasibility_tolerance", primal_tolerance(params));
  api_.set_double_option(highs_, "dual_feasibility_tolerance", dual_tolerance(params));
}

}  // namespace standin
