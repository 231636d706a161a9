#include "semi_indicators.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "highs_columns.hpp"
#include "highs_session.hpp"

namespace standin {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMargin = 1e-6;         // relative, and absolute below 1
constexpr double kGuessedFactor = 10.0;  // a guessed limit's distance from 0, over the model's values
constexpr double kLargestGuess = 1e12;
constexpr double kLargeLimit = 1e8;
// The largest indicator coefficient handed to HiGHS, which refuses them from 1e15. A limit beyond
// it is large, so branching settles its semi-variable from the range itself.
constexpr double kLargestCoefficient = 1e13;

double with_margin(double limit, bool upward) {
  const double margin = kMargin * std::max(1.0, std::abs(limit));
  return upward ? limit + margin : limit - margin;
}

}  // namespace

double row_limit(std::span<const HighsInt> index, std::span<const double> value, double row_lower, double row_upper,
                 HighsInt col, bool upward, std::span<const double> col_lower, std::span<const double> col_upper) {
  double coefficient = 0.0;
  double least = 0.0;     // the least activity of the other columns
  double greatest = 0.0;  // and the greatest
  for (std::size_t e = 0; e < index.size(); ++e) {
    const double a = value[e];
    if (index[e] == col) {
      coefficient += a;
      continue;
    }
    const auto j = static_cast<std::size_t>(index[e]);
    least += a > 0 ? a * col_lower[j] : a * col_upper[j];
    greatest += a > 0 ? a * col_upper[j] : a * col_lower[j];
  }
  if (coefficient == 0.0) return upward ? kInf : -kInf;
  // coefficient * x lies within [row_lower - greatest, row_upper - least].
  const bool from_upper = (coefficient > 0) == upward;
  const double limit = from_upper ? (row_upper - least) / coefficient : (row_lower - greatest) / coefficient;
  if (std::isnan(limit) || std::isinf(limit)) return upward ? kInf : -kInf;
  return with_margin(limit, upward);
}

double row_scale(std::span<const HighsInt> index, std::span<const double> value, double row_lower, double row_upper,
                 HighsInt col, std::span<const double> col_lower, std::span<const double> col_upper) {
  double coefficient = 0.0;
  double activity = 0.0;
  for (std::size_t e = 0; e < index.size(); ++e) {
    if (index[e] == col) {
      coefficient += value[e];
      continue;
    }
    const auto j = static_cast<std::size_t>(index[e]);
    for (const double bound : {col_lower[j], col_upper[j]}) {
      if (std::isfinite(bound)) activity = std::max(activity, std::abs(value[e] * bound));
    }
  }
  if (coefficient == 0.0) return 0.0;
  for (const double side : {row_lower, row_upper}) {
    if (std::isfinite(side)) activity = std::max(activity, std::abs(side));
  }
  return activity / std::abs(coefficient);
}

double guessed_limit(double near, bool upward, double magnitude) {
  const double span = std::min(kGuessedFactor * std::max({1.0, std::abs(near), magnitude}), kLargestGuess);
  return upward ? std::max(span, near) : std::min(-span, near);
}

double largest_finite(std::span<const double> values) {
  double largest = 0.0;
  for (const double value : values) {
    if (std::abs(value) < kGurobiInfiniteBound) largest = std::max(largest, std::abs(value));
  }
  return largest;
}

bool at_guessed_limit(const SemiIndicator& indicator, double value) {
  if (!indicator.guessed) return false;
  const double limit = value > 0 ? indicator.upper : indicator.lower;
  return std::abs(value - limit) <= kMargin * std::max(1.0, std::abs(limit));
}

bool is_off(const SemiIndicator& indicator) { return indicator.lower == 0.0 && indicator.upper == 0.0; }

bool has_large_limit(const SemiIndicator& indicator) {
  return std::max(std::abs(indicator.lower), std::abs(indicator.upper)) >= kLargeLimit;
}

double indicator_value(const SemiIndicator& indicator, double value) {
  const double near = indicator.lower > 0 ? indicator.lower : indicator.upper;
  return std::abs(value) >= std::abs(near) / 2 ? 1.0 : 0.0;
}

// The indicators HiGHS holds, as columns and rows after the model's own.
bool HighsSession::remove_indicators() {
  if (indicators_.empty()) return true;
  const std::size_t count = indicators_.size();
  hold_off_columns(false);
  indicators_.clear();
  changed_ = true;
  const bool rows =
      api_.delete_rows(highs_, as_highs_int(held_rows_), as_highs_int(held_rows_ + 2 * count - 1)) != kHighsStatusError;
  return api_.delete_cols(highs_, as_highs_int(held_cols_), as_highs_int(held_cols_ + count - 1)) !=
             kHighsStatusError &&
         rows;
}

// Calls `visit` with each row of column `col` that HiGHS holds: its entries and bounds.
void HighsSession::for_each_row_of(std::size_t col, const RowVisit& visit) const {
  const auto c = as_highs_int(col);
  HighsInt count = 0;
  HighsInt nonzeros = 0;
  api_.get_cols(highs_, c, c, &count, nullptr, nullptr, nullptr, &nonzeros, nullptr, nullptr, nullptr);
  HighsInt start = 0;
  std::vector<HighsInt> rows(static_cast<std::size_t>(nonzeros));
  std::vector<double> unused(static_cast<std::size_t>(nonzeros));
  api_.get_cols(highs_, c, c, &count, nullptr, nullptr, nullptr, &nonzeros, &start, rows.data(), unused.data());
  for (HighsInt row : rows) {
    double row_lower = 0.0;
    double row_upper = 0.0;
    api_.get_rows(highs_, row, row, &count, &row_lower, &row_upper, &nonzeros, nullptr, nullptr, nullptr);
    std::vector<HighsInt> index(static_cast<std::size_t>(nonzeros));
    std::vector<double> value(static_cast<std::size_t>(nonzeros));
    api_.get_rows(highs_, row, row, &count, &row_lower, &row_upper, &nonzeros, &start, index.data(), value.data());
    visit(index, value, row_lower, row_upper);
  }
}

// An indicator for semi-variable `col`. An infinite side of its range is replaced by the
// tightest limit a single row puts on the column, given the bounds of the others, or else by a
// guess sized by the model's values and the scales the column's rows give it. When the rows keep
// the column below its range, it can only be 0: both sides become 0.
SemiIndicator HighsSession::semi_indicator(std::size_t col, const HighsColumn& column, double magnitude,
                                           std::span<const double> lower, std::span<const double> upper) const {
  SemiIndicator indicator{col, column.on_lower, column.on_upper, false, column.on_lower, column.on_upper};
  const auto c = as_highs_int(col);
  double implied_lower = -kInf;
  double implied_upper = kInf;
  for_each_row_of(col, [&](std::span<const HighsInt> index, std::span<const double> value, double row_lower,
                           double row_upper) {
    implied_lower = std::max(implied_lower, row_limit(index, value, row_lower, row_upper, c, false, lower, upper));
    implied_upper = std::min(implied_upper, row_limit(index, value, row_lower, row_upper, c, true, lower, upper));
    magnitude = std::max(magnitude, guess_scale_ * row_scale(index, value, row_lower, row_upper, c, lower, upper));
  });
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
  const auto vtypes = view.vtype.first(held_cols_);
  if (std::none_of(vtypes.begin(), vtypes.end(), is_semi_type)) return indicators;
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
      value.insert(value.end(), {1.0, -std::clamp(side, -kLargestCoefficient, kLargestCoefficient)});
    }
    row_lower.insert(row_lower.end(), {0.0, -kInf});
    row_upper.insert(row_upper.end(), {kInf, 0.0});
  }
  ok = api_.add_rows(highs_, as_highs_int(2 * count), row_lower.data(), row_upper.data(), as_highs_int(index.size()),
                     start.data(), index.data(), value.data()) != kHighsStatusError &&
       ok;
  hold_off_columns(true);
  is_mip_ = true;
  changed_ = true;
  return ok;
}

// Semi-variables the rows keep off their range are held at 0 (`held`), or given back the span of
// 0 and their range: HiGHS's propagation can call such a model infeasible from the span alone.
void HighsSession::hold_off_columns(bool held) {
  for (const SemiIndicator& indicator : indicators_) {
    if (!is_off(indicator)) continue;
    const double lower = held ? 0.0 : std::min(indicator.range_lower, 0.0);
    const double upper = held ? 0.0 : std::max(indicator.range_upper, 0.0);
    const auto col = as_highs_int(indicator.col);
    api_.change_bounds(highs_, col, col, &lower, &upper);
  }
}

// Frees (or restores) the rows of indicators whose limit was guessed, which leaves the
// column within the span of 0 and its range: a relaxation of the model.
void HighsSession::relax_guessed_indicators(bool relaxed, bool large_too) {
  for (std::size_t k = 0; k < indicators_.size(); ++k) {
    if (!indicators_[k].guessed && !(large_too && has_large_limit(indicators_[k]))) continue;
    const double lower[] = {relaxed ? -kInf : 0.0, -kInf};
    const double upper[] = {kInf, relaxed ? kInf : 0.0};
    const auto row = as_highs_int(held_rows_ + 2 * k);
    api_.change_row_bounds(highs_, row, row + 1, lower, upper);
  }
}

}  // namespace standin
