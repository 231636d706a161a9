// Semi-variables and wide integer columns decided by branching on them, where the reformulation
// through indicators can be wrong (a solution cut short by a guessed limit, a semi-variable left
// in its gap by HiGHS's integrality tolerance, a claim of infeasibility) or HiGHS holds an
// integer column as continuous (is_wide_integer). Guessed limits are freed, so each node is a
// relaxation of the model within the bounds fixed so far; a node whose solution leaves a
// semi-variable in its gap is split into that variable at 0 and within its range, and one whose
// solution leaves an integer off a whole number into the two sides of that value.
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "highs_options.hpp"
#include "highs_session.hpp"
#include "integer_rows.hpp"
#include "interrupt.hpp"
#include "solution_check.hpp"
#include "solve_log.hpp"

namespace standin {
namespace {

constexpr std::size_t kMaxNodes = 256;

using Node = HighsSession::BranchNode;

bool is_fixed(const Node& node, std::size_t k) {
  return std::any_of(node.begin(), node.end(), [&](const auto& bound) { return bound.indicator == k; });
}

// The range [lower, upper] of column `col` narrowed by the node's bounds on it.
std::pair<double, double> narrowed(const Node& node, std::size_t col, double lower, double upper) {
  for (const auto& bound : node) {
    if (bound.col != col) continue;
    lower = std::max(lower, bound.lower);
    upper = std::min(upper, bound.upper);
  }
  return {lower, upper};
}

// Whether every point's objective (less its constant) is a whole number: costs whole, and only
// on integral columns.
bool has_whole_objective(const ProblemView& view, std::size_t cols) {
  for (std::size_t j = 0; j < cols; ++j) {
    const double cost = view.obj[j];
    if (cost != 0.0 && (!is_integral_type(view.vtype[j]) || cost != std::round(cost))) return false;
  }
  return true;
}

// Whether column `bound.col` keeps a range of 32-bit integers with `bound` added to the node.
bool within_int_range(const Node& node, const HighsSession::NodeBound& bound) {
  const auto [lower, upper] = narrowed(node, bound.col, bound.lower, bound.upper);
  return std::isfinite(lower) && std::isfinite(upper) && !is_wide_integer(HighsColumn{lower, upper, 1});
}

}  // namespace

// The columns the branching bounds (semi-variables' and those split on) at their bounds as
// HiGHS holds them, narrowed by the node's bounds in turn. False when the node leaves a column
// no value.
bool HighsSession::bound_node_columns(const ProblemView& view, const Node& node, std::span<const std::size_t> split_cols,
                                      double int_tolerance) {
  // Each column once, with whether the rows keep it at 0 (is_off).
  std::vector<std::pair<std::size_t, bool>> cols;
  for (const std::size_t j : split_cols) cols.emplace_back(j, false);
  for (const SemiIndicator& indicator : indicators_) cols.emplace_back(indicator.col, is_off(indicator));
  std::ranges::sort(cols, std::greater{});
  const auto [last, end] = std::ranges::unique(cols, {}, &std::pair<std::size_t, bool>::first);
  cols.erase(last, end);
  bool feasible = true;
  for (const auto& [j, off] : cols) {
    const HighsColumn column = to_highs_column(view.lb[j], view.ub[j], view.vtype[j], int_tolerance);
    auto [lower, upper] = narrowed(node, j, off ? 0.0 : held_lower(j, column.lower), off ? 0.0 : column.upper);
    feasible = feasible && lower <= upper;
    const auto col = static_cast<HighsInt>(j);
    if (lower <= upper) api_.change_bounds(highs_, col, col, &lower, &upper);
  }
  return feasible;
}

// Solves a node, with the same retries and second opinions as a whole model; an answer of
// infeasible (or either) is checked from scratch without presolve: HiGHS's presolve, and its
// simplex started from the last node's basis, can get it wrong for these models. Without
// presolve HiGHS can in turn call a node infeasible whose LP it finds unbounded ("declaring node
// infeasible"): after an answer of either, the node is settled as a model without a point
// (infeasible) or one with a point and an unbounded relaxation. With Presolve 0 the check runs
// with presolve instead (second_presolve).
HighsInt HighsSession::solve_node(const ProblemView& view, const ParameterSet& params) {
  arm_stops(params);
  run(params);
  recheck_lp_claim(view, params);
  settle_solve_error(params);
  retry_without_answer(params);
  HighsInt status = api_.get_model_status(highs_);
  if (status != kInfeasible && status != kUnboundedOrInfeasible) return status;
  const bool either = status == kUnboundedOrInfeasible;
  run_cold_second_opinion(params);
  status = api_.get_model_status(highs_);
  return either && status == kInfeasible ? settle_node(view, params) : status;
}

// Each question is asked with presolve and without, as either can get these nodes wrong: the node
// has a point when either run finds one, and none only when both say so; its relaxation is
// unbounded when a run says so and none finds an optimum.
HighsInt HighsSession::settle_node(const ProblemView& view, const ParameterSet& params) {
  const char* const presolves[] = {presolve_setting(params), second_presolve_setting(params)};
  bool has_point = false;
  bool no_point = true;
  for (const char* presolve : presolves) {
    api_.set_string_option(highs_, "presolve", presolve);
    const HighsInt feasibility = feasibility_status(view, params);
    has_point = has_point || feasibility == kOptimal;
    no_point = no_point && feasibility == kInfeasible;
    if (has_point) break;
  }
  bool unbounded = false;
  bool bounded = false;
  api_.set_bool_option(highs_, "solve_relaxation", 1);
  for (const char* presolve : presolves) {
    if (!has_point) break;
    api_.set_string_option(highs_, "presolve", presolve);
    run(params);
    const HighsInt relaxed = api_.get_model_status(highs_);
    unbounded = unbounded || relaxed == kUnbounded;
    bounded = bounded || relaxed == kOptimal;
  }
  api_.set_bool_option(highs_, "solve_relaxation", 0);
  api_.set_string_option(highs_, "presolve", presolve_setting(params));
  if (no_point) return kInfeasible;
  return unbounded && !bounded ? kUnbounded : kNotset;
}

// The state of one branching: nodes still open, the columns split on, the best solution so far,
// and what is known.
struct HighsSession::Search {
  std::vector<Node> open{Node{}};
  std::vector<std::size_t> split_cols;
  SolveOutcome best;
  bool found = false;
  std::optional<SolveOutcome> near_zero;  // the best point that holds only through semi_near_zero
  bool complete = true;
  bool unbounded = false;
  bool either = false;  // a node said "infeasible or unbounded"
  bool whole_objective = false;  // has_whole_objective: a node's bound rounds to a whole number

  void push(const Node& node, NodeBound bound) {
    Node child = node;
    child.push_back(bound);
    open.push_back(std::move(child));
  }
  // Children with semi-variable k within its range, and at 0.
  void split_state(const Node& node, const SemiIndicator& indicator, std::size_t k) {
    push(node, {indicator.col, indicator.range_lower, indicator.range_upper, k});
    push(node, {indicator.col, 0.0, 0.0, k});
  }
};

// The first indicator the node leaves free, among those of `cols` (any when empty).
std::optional<std::size_t> HighsSession::first_free(const Node& node, std::span<const std::size_t> cols) const {
  for (std::size_t k = 0; k < indicators_.size(); ++k) {
    const bool wanted = cols.empty() || std::ranges::find(cols, indicators_[k].col) != cols.end();
    if (wanted && !is_fixed(node, k)) return k;
  }
  return std::nullopt;
}

// Splits a node whose solution `x` has `faults`: on a semi-variable in its gap (at 0, and within
// its range), else on an integer off a whole number (below it, and above); a node it cannot split
// leaves the search without a proof.
void HighsSession::split(const ProblemView& view, const ParameterSet& params, const Node& node,
                         const SolutionFaults& faults, std::span<const double> x, Search& search) const {
  if (!faults.reason.empty()) {
    search.complete = false;
  } else if (const auto k = first_free(node, faults.semi_in_gap.empty() ? faults.semi_near_zero : faults.semi_in_gap)) {
    search.split_state(node, indicators_[*k], *k);
  } else if (!faults.not_integral.empty()) {
    const std::size_t j = faults.not_integral.front();
    const double tolerance = integer_tolerance(params);
    const HighsColumn column = to_highs_column(view.lb[j], view.ub[j], view.vtype[j], tolerance);
    if (std::ranges::find(search.split_cols, j) == search.split_cols.end()) search.split_cols.push_back(j);
    NodeBound above{j, std::ceil(x[j]), column.upper, std::nullopt};
    NodeBound below{j, column.lower, std::floor(x[j]), std::nullopt};
    // The side that keeps the column within a finite range of 32-bit integers is visited first:
    // the other can go on without end, a whole number further per node, and an optimum found on
    // this side may prune it.
    if (within_int_range(node, above)) std::swap(above, below);
    search.push(node, above);
    search.push(node, below);
  } else {
    search.complete = false;
  }
}

// Solves one node and files its answer: pruned, split, a new best solution, or unsure.
void HighsSession::visit(const ProblemView& view, const ParameterSet& params, const Node& node, Search& search) {
  if (!bound_node_columns(view, node, search.split_cols, integer_tolerance(params))) return;
  HighsInt status = solve_node(view, params);
  // HiGHS can end a node without an answer where rows with terms near 1e18 fail its check of the
  // MIP's solution: the node's LP relaxation is solved instead, and its point filed as any node's
  // (split where it breaks integrality or a semi-variable's gap, taken where it holds).
  const bool relaxed = is_no_answer(status);
  if (relaxed) status = solve_node_relaxation(params);
  if (status == kInfeasible && !relaxed) return;
  if (!relaxed && (status == kUnbounded || status == kUnboundedOrInfeasible)) {
    // With every state fixed, the node is an ordinary model that HiGHS calls unbounded.
    if (const auto k = first_free(node, {})) {
      search.split_state(node, indicators_[*k], *k);
    } else {
      // "Infeasible or unbounded" (from both presolve settings) has no optimum either way; with
      // DualReductions 0 it must be told apart, which the branching cannot.
      search.unbounded = status == kUnbounded;
      search.either = search.either || !search.unbounded;
      search.complete = search.complete && (search.unbounded || params.int_value(Param::DualReductions) != 0);
    }
    return;
  }
  HighsInt solution = 0;
  api_.get_int_info(highs_, "primal_solution_status", &solution);
  if (status != kOptimal || solution != kSolutionFeasible) {
    // Nor does the relaxation answer: a node with a semi-variable's state fixed may.
    const auto k = relaxed ? first_free(node, {}) : std::nullopt;
    if (k) {
      search.split_state(node, indicators_[*k], *k);
    } else {
      search.complete = false;
    }
    return;
  }
  const double value = api_.get_objective_value(highs_);
  std::vector<double> x(held_cols_ + indicators_.size());
  api_.get_solution(highs_, x.data(), nullptr, nullptr, nullptr);
  x.resize(held_cols_);
  // Without presolve HiGHS can close a node by propagation alone, short of its optimum (as in
  // decide): an optimum the node's relaxation does not show is split on a state still free.
  if (presolve_unsafe_ && !relaxed) {
    const auto k = first_free(node, {});
    if (k && !node_relaxation_shows(params, value)) {
      search.split_state(node, indicators_[*k], *k);
      return;
    }
  }
  if (search.found && within_gap(*search.best.objval, node_bound(value, search), params)) return;  // cannot beat it
  const SolutionFaults faults = check_solution(api_, highs_, view, held_rows_, x, model_tolerances(params));
  // A node with an equality row that no integer point meets within its bounds has no point: split
  // on an integer, it would walk that integer's values without end.
  const double feasibility = params.double_value(Param::FeasibilityTol);
  if (!faults.not_integral.empty() && row_without_integer_point(api_, highs_, view, held_rows_, feasibility)) return;
  if (faults.none() && (faults.semi_near_zero.empty() || !first_free(node, faults.semi_near_zero))) {
    search.best = SolveOutcome{GRB_OPTIMAL, std::move(x), value};
    search.found = true;
  } else if (faults.none()) {
    // Kept in case no point holds with those semi-variables at 0 exactly; split to look for one.
    if (!search.near_zero || !within_gap(*search.near_zero->objval, value, params)) {
      search.near_zero = SolveOutcome{GRB_OPTIMAL, x, value};
    }
    split(view, params, node, faults, x, search);
  } else {
    split(view, params, node, faults, x, search);
  }
}

// What no point of a node with optimum `value` can beat: with a whole objective, the next whole
// number on the objective's side (beyond a rounding of the value).
double HighsSession::node_bound(double value, const Search& search) const {
  if (!search.whole_objective) return value;
  const double shifted = value - objcon_;
  const double slack = 1e-6 + 1e-9 * std::abs(shifted);
  return objcon_ + (sense_ > 0 ? std::ceil(shifted - slack) : std::floor(shifted + slack));
}

// The node's LP relaxation, solved in place of its MIP.
HighsInt HighsSession::solve_node_relaxation(const ParameterSet& params) {
  api_.set_bool_option(highs_, "solve_relaxation", 1);
  run(params);
  api_.set_bool_option(highs_, "solve_relaxation", 0);
  return api_.get_model_status(highs_);
}

// As relaxation_shows, for a node: guessed limits are freed already.
bool HighsSession::node_relaxation_shows(const ParameterSet& params, double value) {
  double bound = 0.0;
  api_.set_bool_option(highs_, "solve_relaxation", 1);
  const HighsInt status = relaxation_attempt(params, presolve_setting(params), value, bound);
  api_.set_bool_option(highs_, "solve_relaxation", 0);
  return status == kOptimal && within_gap(value, bound, params);
}

SolveOutcome HighsSession::branch(const ProblemView& view, const ParameterSet& params,
                                  std::optional<SolveOutcome> incumbent) {
  Search search;
  search.whole_objective = has_whole_objective(view, held_cols_);
  if (incumbent && holds(view, params, *incumbent)) {
    search.best = std::move(*incumbent);
    search.found = true;
  } else {
    search.near_zero = std::move(incumbent);
  }
  relax_guessed_indicators(true, true);
  // A relaxation with a ray that improves the objective leaves the model no optimum: HiGHS's
  // search on such a model can go on without end. With a point that holds it is unbounded.
  if (may_be_unbounded(view, integer_tolerance(params)) && relaxation_has_ray(params)) {
    const bool point = has_point(view, params);
    if (point || params.int_value(Param::DualReductions) != 0) {
      relax_guessed_indicators(false, true);
      return SolveOutcome{point ? GRB_UNBOUNDED : GRB_INF_OR_UNBD, {}, std::nullopt};
    }
    relax_guessed_indicators(true, true);  // as the search for a point left them
  }
  std::size_t nodes = 0;
  bool timed_out = false;
  while (!search.open.empty() && !search.unbounded) {
    timed_out = deadline_.left() <= 0.0;
    if (++nodes > kMaxNodes || interrupt_requested() || timed_out) {
      search.complete = false;
      break;
    }
    const Node node = std::move(search.open.back());
    search.open.pop_back();
    visit(view, params, node, search);
  }
  bound_node_columns(view, {}, search.split_cols, integer_tolerance(params));
  relax_guessed_indicators(false, true);
  // Where branching finds no point that holds with those semi-variables at 0 exactly, the point
  // that holds through the tolerance stands, as Gurobi's tolerances allow.
  const bool near_zero_stands = !search.found && search.near_zero;
  if (near_zero_stands) {
    search.best = std::move(*search.near_zero);
    search.found = true;
  }
  if (search.unbounded) return SolveOutcome{GRB_UNBOUNDED, {}, std::nullopt};
  if (interrupt_requested() || timed_out) {
    const int stop = timed_out ? GRB_TIME_LIMIT : GRB_INTERRUPTED;
    return search.found ? SolveOutcome{stop, search.best.x, search.best.objval} : stopped_without_solution(stop);
  }
  // A point found beside a node that may be unbounded proves nothing.
  search.complete = search.complete && !(search.either && search.found);
  if (search.complete && !search.found) {
    return SolveOutcome{search.either ? GRB_INF_OR_UNBD : GRB_INFEASIBLE, {}, std::nullopt};
  }
  if (search.complete || (near_zero_stands && !search.either)) {
    // HiGHS can call a node optimal whose LP is unbounded: the relaxation decides, as for any MIP.
    confirm_optimal(view, params, search.best);
    return search.best;
  }
  log_line(params, "Branching ended after " + std::to_string(nodes) + " nodes without a proof");
  if (!search.found) return SolveOutcome{GRB_NUMERIC, {}, std::nullopt};
  search.best.status = GRB_SUBOPTIMAL;
  return search.best;
}

}  // namespace standin
