#include "semi_indicators.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "highs_columns.hpp"

namespace standin {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMargin = 1e-6;         // relative, and absolute below 1
constexpr double kGuessedFactor = 10.0;  // a guessed limit's distance from 0, over the model's values
constexpr double kLargestGuess = 1e12;

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

double indicator_value(const SemiIndicator& indicator, double value) {
  const double near = indicator.lower > 0 ? indicator.lower : indicator.upper;
  return std::abs(value) >= std::abs(near) / 2 ? 1.0 : 0.0;
}

}  // namespace standin
