#include "highs_columns.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "kesto_solver_gurobi/gurobi_constants.h"

namespace standin {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

enum Integrality : HighsInt { kContinuous = 0, kInteger = 1, kSemiContinuous = 2, kSemiInteger = 3 };

Integrality integrality_of(char vtype) {
  switch (vtype) {
    case GRB_BINARY:
    case GRB_INTEGER: return kInteger;
    case GRB_SEMICONT: return kSemiContinuous;
    case GRB_SEMIINT: return kSemiInteger;
    default: return kContinuous;
  }
}

}  // namespace

double to_highs_bound(double bound) {
  if (bound >= kGurobiInfiniteBound) return kInf;
  if (bound <= -kGurobiInfiniteBound) return -kInf;
  return bound;
}

HighsColumn to_highs_column(double lb, double ub, char vtype, double int_tolerance) {
  const Integrality integrality = integrality_of(vtype);
  double lower = to_highs_bound(lb);
  double upper = to_highs_bound(ub);
  if (vtype == GRB_BINARY) {
    lower = std::max(lower, 0.0);
    upper = std::min(upper, 1.0);
  }
  if (integrality == kInteger || integrality == kSemiInteger) {
    lower = std::ceil(lower - int_tolerance);
    upper = std::floor(upper + int_tolerance);
  }
  if (integrality == kSemiContinuous || integrality == kSemiInteger) {
    // The column keeps its integrality whatever its bounds become: bound changes leave it.
    const HighsInt kind = integrality == kSemiInteger ? kInteger : kContinuous;
    if (lower > upper) return {0.0, 0.0, kind};
    // A range that holds 0 already is the whole set of values.
    if (lower <= 0.0 && upper >= 0.0) return {lower, upper, kind};
    // Else the span of 0 and the range, with an indicator (semi_indicators.hpp).
    return {std::min(lower, 0.0), std::max(upper, 0.0), kind, true, lower, upper};
  }
  return {lower, upper, integrality};
}

bool is_wide_integer(const HighsColumn& column) {
  constexpr double kWideLower = -1073741824.0;  // -2^30
  constexpr double kInt32End = 2147483648.0;    // 2^31
  if (column.integrality == kContinuous) return false;
  const bool lower = std::isfinite(column.lower);
  const bool upper = std::isfinite(column.upper);
  return (lower && (column.lower <= kWideLower || column.lower >= kInt32End)) ||
         (upper && column.upper >= kInt32End) || (lower && upper && column.upper - column.lower >= kInt32End);
}

double row_lower(char sense, double rhs) { return sense == GRB_LESS_EQUAL ? -kInf : to_highs_bound(rhs); }
double row_upper(char sense, double rhs) { return sense == GRB_GREATER_EQUAL ? kInf : to_highs_bound(rhs); }

ColumnBlock column_block(const ProblemView& view, std::size_t first, std::size_t last, double int_tolerance) {
  ColumnBlock block;
  block.lower.reserve(last - first);
  block.upper.reserve(last - first);
  block.integrality.reserve(last - first);
  for (std::size_t j = first; j < last; ++j) {
    const HighsColumn column = to_highs_column(view.lb[j], view.ub[j], view.vtype[j], int_tolerance);
    block.lower.push_back(column.lower);
    block.upper.push_back(column.upper);
    block.integrality.push_back(column.integrality);
    block.any_integral = block.any_integral || column.integrality != 0;
  }
  return block;
}

RowBlock buffered_rows(const ProblemView& view) {
  RowBlock block;
  const std::size_t first = view.first_buffered_row;
  const std::size_t count = view.sense.size() - first;
  block.lower.reserve(count);
  block.upper.reserve(count);
  for (std::size_t i = first; i < view.sense.size(); ++i) {
    block.lower.push_back(row_lower(view.sense[i], view.rhs[i]));
    block.upper.push_back(row_upper(view.sense[i], view.rhs[i]));
  }
  block.entries =
      sparse_block(count, [&](std::size_t k) { return view.start[k]; }, view.index, view.value, view.obj.size());
  return block;
}

}  // namespace standin
