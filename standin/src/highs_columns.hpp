// Gurobi's variables and rows as HiGHS is given them: bounds, integrality, sparse vectors.
#ifndef STANDIN_HIGHS_COLUMNS_HPP
#define STANDIN_HIGHS_COLUMNS_HPP

#include <algorithm>
#include <cstddef>
#include <span>
#include <vector>

#include "highs_library.hpp"
#include "kesto_solver_gurobi/gurobi_constants.h"
#include "problem_view.hpp"

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

// Variable types whose values are whole numbers (a semi-integer's 0 included), and the
// semi-variables (0 or within a range).
inline bool is_integral_type(char vtype) {
  return vtype == GRB_BINARY || vtype == GRB_INTEGER || vtype == GRB_SEMIINT;
}
inline bool is_semi_type(char vtype) { return vtype == GRB_SEMICONT || vtype == GRB_SEMIINT; }

// A bound or right-hand side with Gurobi's infinities made IEEE infinities.
double to_highs_bound(double bound);

// Integer, binary and semi-integer bounds are rounded inward (within `int_tolerance` of a
// whole number counts as that number) and a binary's are clipped to [0, 1]: HiGHS may answer
// wrongly for integer variables with fractional bounds. A semi-continuous or semi-integer
// variable whose range is empty can only be 0; one whose range holds 0 is an ordinary one;
// any other is `semi`.
HighsColumn to_highs_column(double lb, double ub, char vtype, double int_tolerance);

// An integer column whose values or range reach beyond 32-bit integers: a lower bound of -2^30
// or less, a bound of 2^31 or more, or a range of 2^31 or more. HiGHS 1.15's MIP solver counts
// integer domains in 32-bit integers and can loop without end on such a column (in its root
// reduced-cost fixing, which walks the domain in steps). It is handed to HiGHS as continuous for
// a MIP solve, and its integrality settled by branching.
bool is_wide_integer(const HighsColumn& column);

// A row's bounds from its sense and right-hand side.
double row_lower(char sense, double rhs);
double row_upper(char sense, double rhs);

// Columns [first, last) as HiGHS takes them.
struct ColumnBlock {
  std::vector<double> lower, upper;
  std::vector<HighsInt> integrality;
  bool any_integral = false;
};

ColumnBlock column_block(const ProblemView& view, std::size_t first, std::size_t last, double int_tolerance);

// Sparse vectors as HiGHS takes them: repeated indices within a vector summed (HiGHS refuses
// them), the caller's arrays used in place when there are none.
struct SparseBlock {
  std::vector<HighsInt> start;
  std::span<const int> index;
  std::span<const double> value;
  std::vector<int> own_index;
  std::vector<double> own_value;
};

// `count` vectors; vector k holds entries begin(k) .. begin(k + 1) - 1 of index/value, and
// indices are below `dimension`.
template <class Begin>
SparseBlock sparse_block(std::size_t count, Begin begin, std::span<const int> index, std::span<const double> value,
                         std::size_t dimension) {
  SparseBlock block;
  block.start.resize(count + 1);
  std::vector<std::ptrdiff_t> position(dimension, -1);
  bool repeated = false;
  for (std::size_t k = 0; k < count && !repeated; ++k) {
    for (std::size_t e = begin(k); e < begin(k + 1); ++e) {
      auto& seen = position[static_cast<std::size_t>(index[e])];
      if (seen >= static_cast<std::ptrdiff_t>(begin(k))) repeated = true;
      seen = static_cast<std::ptrdiff_t>(e);
    }
  }
  if (!repeated) {
    for (std::size_t k = 0; k <= count; ++k) block.start[k] = static_cast<HighsInt>(begin(k) - begin(0));
    block.index = index.subspan(begin(0), begin(count) - begin(0));
    block.value = value.subspan(begin(0), begin(count) - begin(0));
    return block;
  }
  std::fill(position.begin(), position.end(), -1);
  for (std::size_t k = 0; k < count; ++k) {
    const auto vector_begin = static_cast<std::ptrdiff_t>(block.own_index.size());
    block.start[k] = static_cast<HighsInt>(vector_begin);
    for (std::size_t e = begin(k); e < begin(k + 1); ++e) {
      auto& seen = position[static_cast<std::size_t>(index[e])];
      if (seen >= vector_begin) {
        block.own_value[static_cast<std::size_t>(seen)] += value[e];
      } else {
        seen = static_cast<std::ptrdiff_t>(block.own_index.size());
        block.own_index.push_back(index[e]);
        block.own_value.push_back(value[e]);
      }
    }
  }
  block.start[count] = static_cast<HighsInt>(block.own_index.size());
  block.index = block.own_index;
  block.value = block.own_value;
  return block;
}

// The buffered rows: bounds and coefficients.
struct RowBlock {
  std::vector<double> lower, upper;
  SparseBlock entries;
};

RowBlock buffered_rows(const ProblemView& view);

}  // namespace standin

#endif
