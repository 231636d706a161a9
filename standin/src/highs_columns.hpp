// A Gurobi variable as HiGHS is given it: bounds and integrality.
#ifndef STANDIN_HIGHS_COLUMNS_HPP
#define STANDIN_HIGHS_COLUMNS_HPP

#include "highs_library.hpp"

namespace standin {

// Gurobi treats bounds and right-hand sides of magnitude 1e30 or more as infinite.
inline constexpr double kGurobiInfiniteBound = 1e30;

struct HighsColumn {
  double lower;
  double upper;
  HighsInt integrality;  // 0 continuous, 1 integer
  // A semi-continuous or semi-integer variable that is 0 or within [on_lower, on_upper], a range
  // without 0: HiGHS is given the column with bounds spanning both, and an indicator with it.
  bool semi = false;
  double on_lower = 0.0;
  double on_upper = 0.0;
};

// A bound or right-hand side with Gurobi's infinities made IEEE infinities.
double to_highs_bound(double bound);

// Integer, binary and semi-integer bounds are rounded inward (within `int_tolerance` of a
// whole number counts as that number) and a binary's are clipped to [0, 1]: HiGHS may answer
// wrongly for integer variables with fractional bounds. A semi-continuous or semi-integer
// variable whose range is empty can only be 0; one whose range holds 0 is an ordinary one;
// any other is `semi`.
HighsColumn to_highs_column(double lb, double ub, char vtype, double int_tolerance);

}  // namespace standin

#endif
