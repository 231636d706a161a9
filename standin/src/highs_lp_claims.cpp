// Second opinions on an LP's claim that it has no optimum: HiGHS can call a bounded LP unbounded,
// or a feasible one infeasible, when started from an earlier basis, with its presolve and without
// it. A claim is checked by solving from scratch, or proved by HiGHS's primal ray.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "held_rows.hpp"
#include "highs_columns.hpp"
#include "highs_options.hpp"
#include "highs_session.hpp"
#include "kesto_solver_gurobi/gurobi_constants.h"
#include "solution_check.hpp"

namespace standin {
namespace {

// Components of a ray this far below its longest, and row activities along it this far below
// their terms' size, count as 0.
constexpr double kRayNoise = 1e-9;

}  // namespace

// Started from the last solve's basis, HiGHS can call an LP with large bounds and coefficients
// unbounded or infeasible where a solve from scratch finds its optimum: such an answer is the one
// a solve from scratch gives. (A semi-continuous variable makes no integer column unless it has
// an indicator.)
void HighsSession::recheck_warm_lp(const ProblemView& view, const ParameterSet& params) {
  const HighsInt status = api_.get_model_status(highs_);
  if (!warm_start_ || !claims_no_optimum(status) || !holds_lp(view)) return;
  forget_basis();
  run(params);
}

// HiGHS can call a bounded LP unbounded, or a feasible one infeasible, with its presolve (HiGHS
// 1.15, with bounds and coefficients whose products reach beyond 1e12) and without it (max x with
// 1e6·x <= 100 and x >= -1e6: after scaling, its simplex stops on a dual infeasibility of 1e-6).
// Such a claim, unless HiGHS's ray proves it, gets a run from scratch with the other presolve
// setting, whose optimum stands when its solution holds for the model, as does its "unbounded" for
// an LP called infeasible when it comes with a point that holds; else the first answer does. So
// does an LP that HiGHS leaves without an answer (bounds of 1e13: "Unknown" for an objective
// error of 1e-5 after its dual simplex, with or without presolve).
void HighsSession::recheck_lp_claim(const ProblemView& view, const ParameterSet& params) {
  const HighsInt first = api_.get_model_status(highs_);
  if (!(claims_no_optimum(first) || is_no_answer(first)) || !holds_lp(view)) return;
  if (first == kUnbounded && ray_proves_unbounded(view, params)) return;
  run_cold_second_opinion(params);
  const HighsInt second = api_.get_model_status(highs_);
  if (outcome(params).status == GRB_OPTIMAL && holding_point(view, params)) return;
  if (first == kInfeasible && second == kUnbounded && holding_point(view, params)) return;
  // Both simplex runs can call a bounded LP unbounded: HiGHS's interior point method, which shares
  // none of their steps, gives a third opinion. (Two claims of infeasibility stand without it.)
  if (first != kInfeasible || second != kInfeasible) {
    api_.set_string_option(highs_, "solver", "ipm");
    forget_basis();
    run(params);
    api_.set_string_option(highs_, "solver", solver_option(params));
    if (outcome(params).status == GRB_OPTIMAL && holding_point(view, params)) return;
  }
  forget_basis();
  run(params);
}

// The model's tolerances for a point of the LP that HiGHS holds: integer columns held as
// continuous (beyond 32-bit integers) are made whole by branching afterwards, not by the LP.
Tolerances HighsSession::held_lp_tolerances(const ParameterSet& params) const {
  Tolerances tolerances = model_tolerances(params);
  if (!wide_integers_.empty()) tolerances.integrality = std::numeric_limits<double>::infinity();
  return tolerances;
}

// HiGHS's last primal point, when it has one that holds for the LP it holds.
std::optional<std::vector<double>> HighsSession::holding_point(const ProblemView& view,
                                                               const ParameterSet& params) const {
  HighsInt solution_status = 0;
  api_.get_int_info(highs_, "primal_solution_status", &solution_status);
  if (solution_status != kSolutionFeasible) return std::nullopt;
  std::vector<double> x(held_cols_);
  api_.get_solution(highs_, x.data(), nullptr, nullptr, nullptr);
  if (!check_solution(api_, highs_, view, held_rows_, x, held_lp_tolerances(params)).none()) return std::nullopt;
  return x;
}

// Whether HiGHS's primal ray proves an LP unbounded: HiGHS has a point that holds, and the ray
// improves the objective and keeps every bound and row it moves along (ray_improves). (A step
// along the ray from the point is no proof: rows with a slack of 1e19 there take any step.)
bool HighsSession::ray_proves_unbounded(const ProblemView& view, const ParameterSet& params) const {
  return holding_point(view, params) && ray_holds();
}

// Whether the relaxation HiGHS holds (its rows and bounds as they stand, integrality dropped)
// has a ray that improves the objective: HiGHS's primal ray, taken only where it keeps every
// row and bound it moves along, as HiGHS can call such a relaxation unbounded wrongly beside
// bounds of 1e13.
bool HighsSession::relaxation_has_ray(const ParameterSet& params) {
  api_.set_bool_option(highs_, "solve_relaxation", 1);
  run(params);
  api_.set_bool_option(highs_, "solve_relaxation", 0);
  return ray_holds();
}

// Whether the last run called what HiGHS holds unbounded with a primal ray that improves the
// objective and keeps every row and bound it moves along (ray_improves).
bool HighsSession::ray_holds() const {
  if (api_.get_model_status(highs_) != kUnbounded) return false;
  HighsInt has_ray = 0;
  std::vector<double> ray(held_cols_ + indicators_.size());
  if (api_.get_primal_ray(highs_, &has_ray, ray.data()) == kHighsStatusError || has_ray == 0) return false;
  return ray_improves(std::move(ray), held_rows_ + 2 * indicators_.size());
}

// Whether `ray`, over the first columns HiGHS holds, improves the objective HiGHS holds and keeps
// every column bound and each of the first `rows` rows it moves along. Components within kRayNoise
// of the longest are taken as 0.
bool HighsSession::ray_improves(std::vector<double> ray, std::size_t rows) const {
  const std::size_t cols = ray.size();
  std::vector<double> cost(cols);
  std::vector<double> lower(cols);
  std::vector<double> upper(cols);
  HighsInt count = 0;
  HighsInt nonzeros = 0;
  if (cols == 0 || api_.get_cols(highs_, 0, as_highs_int(cols - 1), &count, cost.data(), lower.data(), upper.data(),
                                 &nonzeros, nullptr, nullptr, nullptr) == kHighsStatusError) {
    return false;
  }
  double longest = 0.0;
  for (const double r : ray) longest = std::max(longest, std::abs(r));
  double gain = 0.0;
  double gain_scale = 0.0;
  for (std::size_t j = 0; j < cols; ++j) {
    if (std::abs(ray[j]) <= kRayNoise * longest) ray[j] = 0.0;
    if ((ray[j] > 0.0 && std::isfinite(upper[j])) || (ray[j] < 0.0 && std::isfinite(lower[j]))) return false;
    gain -= sense_ * cost[j] * ray[j];
    gain_scale += std::abs(cost[j] * ray[j]);
  }
  return gain > kRayNoise * gain_scale && rows_keep_ray(ray, rows);
}

// Whether each of the first `rows` rows HiGHS holds keeps its bounds along `ray`: no finite
// bound is moved towards beyond kRayNoise of the terms' size.
bool HighsSession::rows_keep_ray(std::span<const double> ray, std::size_t rows) const {
  bool kept = true;
  const bool read = for_each_held_row_block(api_, highs_, rows, [&](const HeldRowBlock& block) {
    for (std::size_t i = 0; i < block.size() && kept; ++i) {
      const std::span<const HighsInt> index = block.cols(i);
      const std::span<const double> value = block.coefficients(i);
      double activity = 0.0;
      double size = 0.0;
      for (std::size_t e = 0; e < index.size(); ++e) {
        const double term = value[e] * ray[static_cast<std::size_t>(index[e])];
        activity += term;
        size += std::abs(term);
      }
      const double slack = kRayNoise * size;
      const bool rises = std::isfinite(block.upper[i]) && activity > slack;
      const bool falls = std::isfinite(block.lower[i]) && activity < -slack;
      kept = !rises && !falls;
    }
    return kept;
  });
  return read && kept;
}

// Whether HiGHS holds the model as an LP: no semi-variable's indicator, and no integer column
// but those held as continuous.
bool HighsSession::holds_lp(const ProblemView& view) const {
  if (!indicators_.empty()) return false;
  for (std::size_t j = 0; j < held_cols_; ++j) {
    if (is_integral_type(view.vtype[j]) && !std::ranges::binary_search(wide_integers_, j)) return false;
  }
  return true;
}

}  // namespace standin
