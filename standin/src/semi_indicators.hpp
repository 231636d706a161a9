// Semi-continuous and semi-integer variables as HiGHS is given them: the column spans 0 and
// its range, and a binary indicator z with two rows, x - lower * z >= 0 and x - upper * z <= 0,
// keeps it at 0 or within the range (a limit beyond 1e13 enters the rows as 1e13). HiGHS's own semi-variables need a lower bound above 0 and
// an upper bound of at most 1e5, and fail to solve when that limit binds.
#ifndef STANDIN_SEMI_INDICATORS_HPP
#define STANDIN_SEMI_INDICATORS_HPP

#include <cstddef>
#include <span>

#include "highs_library.hpp"

namespace standin {

struct SemiIndicator {
  std::size_t col;
  double lower;  // the range, finite: an infinite side replaced by a limit the rows imply,
  double upper;  // else by a guess (`guessed`); both 0 when the rows keep the column off its range
  bool guessed = false;
  double range_lower = 0.0;  // the range as given, infinite sides included
  double range_upper = 0.0;
};

// The limit that a row with bounds [row_lower, row_upper] puts on column `col` (its largest
// value when `upward`, else its least), given the bounds of the row's other columns; infinite
// when it puts none. A small margin keeps the limit valid for points that hold the row only
// within tolerance.
double row_limit(std::span<const HighsInt> index, std::span<const double> value, double row_lower, double row_upper,
                 HighsInt col, bool upward, std::span<const double> col_lower, std::span<const double> col_upper);

// The size of the values a row lets column `col` take: the row's finite bounds and the largest
// activity of its other columns over their finite bounds, over the column's coefficient.
double row_scale(std::span<const HighsInt> index, std::span<const double> value, double row_lower, double row_upper,
                 HighsInt col, std::span<const double> col_lower, std::span<const double> col_upper);

// The limit used when no row bounds an infinite side of the range starting at `near` (the
// range's finite side): ten times the larger of it and `magnitude`, the largest of the model's
// values and the scales its rows give the column; at most 1e12, well below the coefficients
// HiGHS refuses. A solution it cuts short is found by branching (semi_branching.cpp).
double guessed_limit(double near, bool upward, double magnitude);

// The largest magnitude among the values below Gurobi's infinity.
double largest_finite(std::span<const double> values);

// Whether `value` is at a guessed limit: a solution there may have been cut short by it.
bool at_guessed_limit(const SemiIndicator& indicator, double value);

// Whether the rows keep the semi-variable off its range (both limits 0): it can only be 0.
bool is_off(const SemiIndicator& indicator);

// Whether a limit of the indicator is 1e8 or more: HiGHS's answers degrade with such
// coefficients, and branching frees those rows rather than trust them.
bool has_large_limit(const SemiIndicator& indicator);

// The indicator's value for a column value: 1 when the value lies nearer the range than 0.
double indicator_value(const SemiIndicator& indicator, double value);

}  // namespace standin

#endif
