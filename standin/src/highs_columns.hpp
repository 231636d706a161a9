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
  HighsInt integrality;  // 0 continuous, 1 integer, 2 semi-continuous, 3 semi-integer
};

// A bound or right-hand side with Gurobi's infinities made IEEE infinities.
double to_highs_bound(double bound);

// Integer, binary and semi-integer bounds are rounded inward (within `int_tolerance` of a
// whole number counts as that number) and a binary's are clipped to [0, 1]: HiGHS may answer
// wrongly for integer variables with fractional bounds. A semi-continuous or semi-integer
// variable whose range is empty can only be 0; one whose range holds 0 is an ordinary one.
HighsColumn to_highs_column(double lb, double ub, char vtype, double int_tolerance);

}  // namespace standin

#endif
