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

}  // namespace standin
