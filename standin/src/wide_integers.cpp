// Integer columns HiGHS 1.15 cannot search: its root reduced-cost fixing walks an integer
// column's domain in 32-bit integers, and loops without end (checking neither its time limit nor
// its interrupt) where a bound, its own or one its rows imply, lies beyond them. For a MIP solve
// such columns are held as continuous, and the solution check and branching see to their
// integrality.
#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <vector>

#include "held_rows.hpp"
#include "highs_session.hpp"
#include "semi_indicators.hpp"

namespace standin {
namespace {

// Rows longer than this are not read for the bounds they imply: each column's bound costs the
// row's length, and such rows rarely carry the terms beyond 2^31 that matter here.
constexpr std::size_t kLongestReadRow = 64;

}  // namespace

// Wide integer columns (is_wide_integer), and semi-integer ones whose indicator limits reach 2^30
// either way, are continuous for a MIP solve; so are those their rows make wide
// (hold_open_integers).
void HighsSession::relax_wide_integers(const ProblemView& view, double int_tolerance) {
  constexpr double kWideLimit = 1073741824.0;  // 2^30
  wide_integers_.clear();
  if (!is_mip_) return;
  for (std::size_t j = 0; j < held_cols_; ++j) {
    if (is_wide_integer(to_highs_column(view.lb[j], view.ub[j], view.vtype[j], int_tolerance))) {
      wide_integers_.push_back(j);
    }
  }
  for (const SemiIndicator& indicator : indicators_) {
    if (view.vtype[indicator.col] != GRB_SEMIINT) continue;
    if (std::max(std::abs(indicator.lower), std::abs(indicator.upper)) >= kWideLimit) {
      wide_integers_.push_back(indicator.col);
    }
  }
  hold_open_integers(view, int_tolerance);
  std::ranges::sort(wide_integers_);
  const auto [last, end] = std::ranges::unique(wide_integers_);
  wide_integers_.erase(last, end);
  for (const std::size_t j : wide_integers_) {
    const HighsInt continuous = 0;
    const auto col = static_cast<HighsInt>(j);
    api_.change_integrality(highs_, col, col, &continuous);
  }
}

// HiGHS bounds an integer column from its rows, and walks its domain from there: a bound the
// rows imply beyond 2^31 loops it as a wide column's own does, and so can a missing lower one.
// So an integer column is held as continuous where its rows make it wide (big-M rows with an M
// of 2^31 or more included), and one without a lower bound else within the lower bound they
// imply, where they imply one.
void HighsSession::hold_open_integers(const ProblemView& view, double int_tolerance) {
  ColumnBlock columns = column_block(view, 0, held_cols_, int_tolerance);
  // Semi-variables the rows keep off their range are held at 0, and bound the rows so.
  for (const SemiIndicator& indicator : indicators_) {
    if (is_off(indicator)) columns.lower[indicator.col] = columns.upper[indicator.col] = 0.0;
  }
  std::vector<HighsColumn> implied(held_cols_);
  std::vector<bool> examined(held_cols_, false);
  bool any = false;
  for (std::size_t j = 0; j < held_cols_; ++j) {
    implied[j] = to_highs_column(view.lb[j], view.ub[j], view.vtype[j], int_tolerance);
    examined[j] = implied[j].integrality != 0 && !implied[j].semi && !is_wide_integer(implied[j]);
    any = any || examined[j];
  }
  if (!any) return;
  // A few passes, as HiGHS's propagation does: a bound one row implies for a column lets another
  // row imply one for the next (x <= 5e6 from one row, y <= 1e13 from x in another).
  constexpr int kPasses = 3;
  for (int pass = 0; pass < kPasses; ++pass) {
    if (!imply_bounds(examined, columns, implied)) break;
  }
  for (std::size_t j = 0; j < held_cols_; ++j) {
    if (!examined[j]) continue;
    const HighsColumn column = to_highs_column(view.lb[j], view.ub[j], view.vtype[j], int_tolerance);
    if (is_wide_integer(implied[j])) {
      wide_integers_.push_back(j);
      wide_by_rows_.push_back(j);
    } else if (!std::isfinite(column.lower) && std::isfinite(implied[j].lower)) {
      const double lower = std::floor(implied[j].lower);
      const auto col = static_cast<HighsInt>(j);
      api_.change_bounds(highs_, col, col, &lower, &column.upper);
      implied_lowers_.emplace_back(j, lower);
    }
  }
}

// Narrows `implied[j]` of each examined column to the bounds each of the model's rows puts on it,
// given the other columns' bounds, in one pass over the rows; then narrows `columns` to them for
// the next pass. Returns whether a bound moved.
bool HighsSession::imply_bounds(const std::vector<bool>& examined, ColumnBlock& columns,
                                std::vector<HighsColumn>& implied) const {
  for_each_held_row_block(api_, highs_, held_rows_, [&](const HeldRowBlock& block) {
    for (std::size_t i = 0; i < block.size(); ++i) {
      const std::span<const HighsInt> index = block.cols(i);
      if (index.size() > kLongestReadRow) continue;
      const std::span<const double> value = block.coefficients(i);
      for (const HighsInt c : index) {
        const auto j = static_cast<std::size_t>(c);
        if (!examined[j]) continue;
        const double lower = row_limit(index, value, block.lower[i], block.upper[i], c, false, columns.lower,
                                       columns.upper);
        const double upper = row_limit(index, value, block.lower[i], block.upper[i], c, true, columns.lower,
                                       columns.upper);
        implied[j].lower = std::max(implied[j].lower, lower);
        implied[j].upper = std::min(implied[j].upper, upper);
      }
    }
    return true;
  });
  bool moved = false;
  for (std::size_t j = 0; j < examined.size(); ++j) {
    if (!examined[j]) continue;
    moved = moved || implied[j].lower > columns.lower[j] || implied[j].upper < columns.upper[j];
    columns.lower[j] = std::max(columns.lower[j], implied[j].lower);
    columns.upper[j] = std::min(columns.upper[j], implied[j].upper);
  }
  return moved;
}

// HiGHS's presolve takes a continuous column of an equality row whose other terms are integral for
// an implied integer, scaled by its coefficient over theirs (times 2 for a right-hand side of
// halves), and its root reduced-cost fixing then loops where that scaled column's bounds reach
// beyond 2^31. Whether a continuous column may be so: a finite bound whose term, over the
// least integral coefficient of an equality row, reaches 2^30.
bool HighsSession::may_scale_beyond_int32(const ProblemView& view) const {
  constexpr double kWideLimit = 1073741824.0;  // 2^30
  const auto integral = [&](std::size_t j) {
    return is_integral_type(view.vtype[j]) && !std::ranges::binary_search(wide_integers_, j);
  };
  // A semi-variable with a one-value range is its indicator (binary) times that value.
  const auto scalable = [&](std::size_t j) {
    return !integral(j) && !(is_semi_type(view.vtype[j]) && view.lb[j] == view.ub[j]);
  };
  const auto largest_finite = [&](std::size_t j) {
    const HighsColumn column = to_highs_column(view.lb[j], view.ub[j], view.vtype[j], 0.0);
    const double lower = std::isfinite(column.lower) ? std::abs(column.lower) : 0.0;
    const double upper = std::isfinite(column.upper) ? std::abs(column.upper) : 0.0;
    return std::max(lower, upper);
  };
  bool found = false;
  for_each_held_row_block(api_, highs_, held_rows_, [&](const HeldRowBlock& block) {
    for (std::size_t i = 0; i < block.size() && !found; ++i) {
      if (block.lower[i] != block.upper[i]) continue;
      const std::span<const HighsInt> index = block.cols(i);
      const std::span<const double> value = block.coefficients(i);
      double least_integral = std::numeric_limits<double>::infinity();
      for (std::size_t e = 0; e < index.size(); ++e) {
        if (integral(static_cast<std::size_t>(index[e]))) least_integral = std::min(least_integral, std::abs(value[e]));
      }
      if (!std::isfinite(least_integral)) continue;
      for (std::size_t e = 0; e < index.size() && !found; ++e) {
        const auto j = static_cast<std::size_t>(index[e]);
        found = scalable(j) && std::abs(value[e]) * largest_finite(j) >= kWideLimit * least_integral;
      }
    }
    return !found;
  });
  return found;
}

// A column's lower bound as HiGHS holds it during a solve (hold_open_integers).
double HighsSession::held_lower(std::size_t col, double lower) const {
  const auto held = std::ranges::find(implied_lowers_, col, &std::pair<std::size_t, double>::first);
  return held == implied_lowers_.end() ? lower : std::max(lower, held->second);
}

void HighsSession::restore_wide_integers(const ProblemView& view, double int_tolerance) {
  for (const std::size_t j : wide_integers_) {
    const HighsInt integer = 1;
    const auto col = static_cast<HighsInt>(j);
    api_.change_integrality(highs_, col, col, &integer);
  }
  wide_integers_.clear();
  wide_by_rows_.clear();
  for (const auto& [j, unused] : implied_lowers_) {
    const HighsColumn column = to_highs_column(view.lb[j], view.ub[j], view.vtype[j], int_tolerance);
    const auto col = static_cast<HighsInt>(j);
    api_.change_bounds(highs_, col, col, &column.lower, &column.upper);
  }
  implied_lowers_.clear();
}

}  // namespace standin
