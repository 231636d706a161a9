#include "solution_check.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "held_rows.hpp"
#include "highs_columns.hpp"
#include "kesto_solver_gurobi/gurobi_constants.h"

namespace standin {
namespace {

// Summing a row's terms in another order moves its activity by a few units in the last place.
constexpr double kRounding = 1e-12;

std::string column_fault(std::size_t j, double value, const char* what) {
  return "variable " + std::to_string(j) + " = " + std::to_string(value) + " " + what;
}

// The faults of column j: an integer off a whole number, a value outside its bounds, or a
// semi-variable in the gap between 0 and its range.
void check_column(std::size_t j, double value, double lb, double ub, char vtype, Tolerances tol,
                  SolutionFaults& faults) {
  if (is_integral_type(vtype) && std::abs(value - std::round(value)) > tol.integrality) {
    faults.not_integral.push_back(j);
    return;
  }
  double lower = to_highs_bound(lb);
  double upper = to_highs_bound(ub);
  if (vtype == GRB_BINARY) {
    lower = std::max(lower, 0.0);
    upper = std::min(upper, 1.0);
  }
  const bool within = value >= lower - tol.feasibility && value <= upper + tol.feasibility;
  if (within) return;
  if (is_semi_type(vtype)) {
    if (std::abs(value) <= tol.feasibility) {
      if (value != 0.0) faults.semi_near_zero.push_back(j);
      return;
    }
    // Between 0 and the range's near side: the gap a semi-variable may not take.
    const bool in_gap = (lower > 0.0 && value > 0.0 && value < lower) || (upper < 0.0 && value < 0.0 && value > upper);
    if (in_gap) {
      faults.semi_in_gap.push_back(j);
      return;
    }
  }
  if (faults.reason.empty()) faults.reason = column_fault(j, value, "is outside its bounds");
}

// Each row's activity within its bounds; the first that is not sets the reason.
void check_all_rows(const HighsApi& api, const void* highs, std::size_t rows, std::span<const double> x,
                    double tolerance, SolutionFaults& faults) {
  if (!faults.reason.empty()) return;
  const bool read = for_each_held_row_block(api, highs, rows, [&](const HeldRowBlock& block) {
    for (std::size_t i = 0; i < block.size(); ++i) {
      double activity = 0.0;
      double size = 0.0;
      const std::span<const HighsInt> cols = block.cols(i);
      const std::span<const double> coefficients = block.coefficients(i);
      for (std::size_t e = 0; e < cols.size(); ++e) {
        const double term = coefficients[e] * x[static_cast<std::size_t>(cols[e])];
        activity += term;
        size += std::abs(term);
      }
      const double slack = tolerance + kRounding * size;
      if (activity < block.lower[i] - slack || activity > block.upper[i] + slack) {
        faults.reason = "row " + std::to_string(block.first + i) + " has activity " + std::to_string(activity) +
                        " outside [" + std::to_string(block.lower[i]) + ", " + std::to_string(block.upper[i]) + "]";
        return false;
      }
    }
    return true;
  });
  if (!read) faults.reason = "the rows could not be read back";
}

}  // namespace

std::string SolutionFaults::description() const {
  if (!reason.empty()) return reason;
  if (!not_integral.empty()) return "variable " + std::to_string(not_integral.front()) + " is not integral";
  return "a semi-variable lies between 0 and its range";
}

SolutionFaults check_solution(const HighsApi& api, const void* highs, const ProblemView& view, std::size_t rows,
                              std::span<const double> x, Tolerances tolerances) {
  SolutionFaults faults;
  for (std::size_t j = 0; j < x.size(); ++j) {
    if (!std::isfinite(x[j])) {
      faults.reason = column_fault(j, x[j], "is not finite");
      return faults;
    }
    check_column(j, x[j], view.lb[j], view.ub[j], view.vtype[j], tolerances, faults);
  }
  check_all_rows(api, highs, rows, x, tolerances.feasibility, faults);
  if (faults.semi_near_zero.empty() || !faults.none()) {
    faults.semi_near_zero.clear();
    return faults;
  }
  std::vector<double> at_zero(x.begin(), x.end());
  for (const std::size_t j : faults.semi_near_zero) at_zero[j] = 0.0;
  SolutionFaults snapped;
  check_all_rows(api, highs, rows, at_zero, tolerances.feasibility, snapped);
  if (snapped.reason.empty()) faults.semi_near_zero.clear();
  return faults;
}

}  // namespace standin
