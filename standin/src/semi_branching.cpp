// Semi-variables decided by branching on them, where the reformulation through indicators can be
// wrong: a solution cut short by a guessed limit, a semi-variable left in its gap by HiGHS's
// integrality tolerance, a claim of infeasibility. Guessed limits are freed, so each node is a
// relaxation of the model within the states fixed so far; a node whose solution leaves a
// semi-variable in its gap is split into that variable at 0 and within its range.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "highs_options.hpp"
#include "highs_session.hpp"
#include "interrupt.hpp"
#include "solution_check.hpp"
#include "solve_log.hpp"

namespace standin {
namespace {

constexpr std::size_t kMaxNodes = 256;
constexpr double kInf = std::numeric_limits<double>::infinity();

using Node = HighsSession::SemiStates;

// TimeLimit as HiGHS's option, and what is left of it since the start.
class Deadline {
 public:
  explicit Deadline(double limit)
      : limit_(limit < kGurobiInfiniteBound ? limit : kInf), start_(std::chrono::steady_clock::now()) {}
  double limit() const { return limit_; }
  double left() const {
    return limit_ - std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  double limit_;
  std::chrono::steady_clock::time_point start_;
};

bool is_fixed(const Node& node, std::size_t k) {
  return std::any_of(node.begin(), node.end(), [&](const auto& fixed) { return fixed.first == k; });
}

}  // namespace

// The semi-variables' columns: free within the span of 0 and their range, or as the node fixes them.
void HighsSession::bound_semi_columns(const ProblemView& view, const Node& node, double int_tolerance) {
  for (std::size_t k = 0; k < indicators_.size(); ++k) {
    const SemiIndicator& indicator = indicators_[k];
    const HighsColumn column =
        to_highs_column(view.lb[indicator.col], view.ub[indicator.col], view.vtype[indicator.col], int_tolerance);
    double lower = column.lower;
    double upper = column.upper;
    for (const auto& [fixed, on] : node) {
      if (fixed != k) continue;
      lower = on ? indicator.range_lower : 0.0;
      upper = on ? indicator.range_upper : 0.0;
    }
    const auto col = static_cast<HighsInt>(indicator.col);
    api_.change_bounds(highs_, col, col, &lower, &upper);
  }
}

// Solves a node; an answer of infeasible (or either) is checked from scratch without presolve:
// HiGHS's presolve, and its simplex started from the last node's basis, can get it wrong for
// these models. Without presolve HiGHS can in turn call a node infeasible whose LP it finds
// unbounded ("declaring node infeasible"): after an answer of either, the node is settled as a
// model without a point (infeasible) or one with a point and an unbounded relaxation.
HighsInt HighsSession::solve_node(const ProblemView& view, const ParameterSet& params) {
  arm_stops(params);
  run(params);
  HighsInt status = api_.get_model_status(highs_);
  if (status != kInfeasible && status != kUnboundedOrInfeasible) return status;
  const bool either = status == kUnboundedOrInfeasible;
  run_cold_without_presolve(params);
  status = api_.get_model_status(highs_);
  return either && status == kInfeasible ? settle_node(view, params) : status;
}

// Each question is asked with presolve and without, as either can get these nodes wrong: the node
// has a point when either run finds one, and none only when both say so; its relaxation is
// unbounded when a run says so and none finds an optimum.
HighsInt HighsSession::settle_node(const ProblemView& view, const ParameterSet& params) {
  const char* const presolves[] = {presolve_option(params), "off"};
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
  api_.set_string_option(highs_, "presolve", presolve_option(params));
  if (no_point) return kInfeasible;
  return unbounded && !bounded ? kUnbounded : kNotset;
}

// The state of one branching: nodes still open, the best solution so far, and what is known.
struct HighsSession::SemiSearch {
  std::vector<SemiStates> open{SemiStates{}};
  SolveOutcome best;
  bool found = false;
  bool complete = true;
  bool unbounded = false;

  void split(const SemiStates& node, std::size_t k) {
    for (const bool on : {true, false}) {
      SemiStates child = node;
      child.emplace_back(k, on);
      open.push_back(std::move(child));
    }
  }
};

// The first indicator the node leaves free, among those of `cols` (any when empty).
std::optional<std::size_t> HighsSession::first_free(const SemiStates& node, std::span<const std::size_t> cols) const {
  for (std::size_t k = 0; k < indicators_.size(); ++k) {
    const bool wanted = cols.empty() || std::ranges::find(cols, indicators_[k].col) != cols.end();
    if (wanted && !is_fixed(node, k)) return k;
  }
  return std::nullopt;
}

// Solves one node and files its answer: pruned, split, a new best solution, or unsure.
void HighsSession::visit(const ProblemView& view, const ParameterSet& params, const SemiStates& node,
                         SemiSearch& search) {
  const double int_tolerance = integer_tolerance(params);
  bound_semi_columns(view, node, int_tolerance);
  const HighsInt status = solve_node(view, params);
  if (status == kInfeasible) return;
  if (status == kUnbounded || status == kUnboundedOrInfeasible) {
    // With every state fixed, the node is an ordinary model that HiGHS calls unbounded.
    if (const auto k = first_free(node, {})) {
      search.split(node, *k);
    } else {
      search.unbounded = status == kUnbounded;
      search.complete = search.complete && search.unbounded;
    }
    return;
  }
  HighsInt solution = 0;
  api_.get_int_info(highs_, "primal_solution_status", &solution);
  if (status != kOptimal || solution != kSolutionFeasible) {
    search.complete = false;
    return;
  }
  const double value = api_.get_objective_value(highs_);
  if (search.found && within_gap(*search.best.objval, value, params)) return;  // cannot beat the best
  std::vector<double> x(held_cols_ + indicators_.size());
  api_.get_solution(highs_, x.data(), nullptr, nullptr, nullptr);
  x.resize(held_cols_);
  const SolutionFaults faults = check_solution(api_, highs_, view, held_rows_, x, model_tolerances(params));
  if (faults.none()) {
    search.best = SolveOutcome{GRB_OPTIMAL, std::move(x), value};
    search.found = true;
  } else if (const auto k = faults.reason.empty() ? first_free(node, faults.semi_in_gap) : std::nullopt) {
    search.split(node, *k);
  } else {
    search.complete = false;
  }
}

SolveOutcome HighsSession::branch_on_semi(const ProblemView& view, const ParameterSet& params,
                                          std::optional<SolveOutcome> incumbent) {
  SemiSearch search;
  search.found = incumbent.has_value();
  if (incumbent) search.best = std::move(*incumbent);
  relax_guessed_indicators(true, true);
  // TimeLimit holds for the branching as a whole: each node gets what is left of it.
  const Deadline deadline(params.double_value(Param::TimeLimit));
  std::size_t nodes = 0;
  bool timed_out = false;
  while (!search.open.empty() && !search.unbounded) {
    timed_out = deadline.left() <= 0.0;
    if (++nodes > kMaxNodes || interrupt_requested() || timed_out) {
      search.complete = false;
      break;
    }
    api_.set_double_option(highs_, "time_limit", deadline.left());
    const SemiStates node = std::move(search.open.back());
    search.open.pop_back();
    visit(view, params, node, search);
  }
  bound_semi_columns(view, {}, integer_tolerance(params));
  relax_guessed_indicators(false, true);
  api_.set_double_option(highs_, "time_limit", deadline.limit());
  if (search.unbounded) return SolveOutcome{GRB_UNBOUNDED, {}, std::nullopt};
  if (interrupt_requested() || timed_out) {
    const int stop = timed_out ? GRB_TIME_LIMIT : GRB_INTERRUPTED;
    return search.found ? SolveOutcome{stop, search.best.x, search.best.objval} : stopped_without_solution(stop);
  }
  if (search.complete && !search.found) return SolveOutcome{GRB_INFEASIBLE, {}, std::nullopt};
  if (search.complete) {
    // HiGHS can call a node optimal whose LP is unbounded: the relaxation decides, as for any MIP.
    confirm_optimal(view, params, search.best);
    return search.best;
  }
  log_line(params, "Semi-variables: branching ended after " + std::to_string(nodes) + " nodes without a proof");
  if (!search.found) return SolveOutcome{GRB_NUMERIC, {}, std::nullopt};
  search.best.status = GRB_SUBOPTIMAL;
  return search.best;
}

}  // namespace standin
