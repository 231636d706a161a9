// Semi-continuous and semi-integer variables as HiGHS is given them: the column spans 0 and
// its range, and a binary indicator z with two rows, x - lower * z >= 0 and x - upper * z <= 0,
// keeps it at 0 or within the range. HiGHS's own semi-variables need a lower bound above 0 and
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
  double upper;  // else by a guess (`guessed`)
  bool guessed = false;
};

// The limit that a row with bounds [row_lower, row_upper] puts on column `col` (its largest
// value when `upward`, else its least), given the bounds of the row's other columns; infinite
// when it puts none. A small margin keeps the limit valid for points that hold the row only
// within tolerance.
double row_limit(std::span<const HighsInt> index, std::span<const double> value, double row_lower, double row_upper,
                 HighsInt col, bool upward, std::span<const double> col_lower, std::span<const double> col_upper);

// The limit used when no row bounds an infinite side of the range starting at `near` (the
// range's finite side): ten times the larger of it and `magnitude`, the model's largest value.
// It stays near the model's values: HiGHS's answers degrade with limits from about 1e9.
double guessed_limit(double near, bool upward, double magnitude);

// The largest magnitude among the values below Gurobi's infinity.
double largest_finite(std::span<const double> values);

// Whether `value` is at a guessed limit: a solution there may have been cut short by it.
bool at_guessed_limit(const SemiIndicator& indicator, double value);

// The indicator's value for a column value: 1 when the value lies nearer the range than 0.
double indicator_value(const SemiIndicator& indicator, double value);

}  // namespace standin

#endif
