// A solution checked against the model as Gurobi defines it, not as HiGHS was given it: bounds
// and rows within FeasibilityTol, integers within IntFeasTol of a whole number, semi-variables
// at 0 or within their range. HiGHS solves a reformulation and may be wrong; nothing it
// returns is reported before it passes.
#ifndef STANDIN_SOLUTION_CHECK_HPP
#define STANDIN_SOLUTION_CHECK_HPP

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "highs_library.hpp"
#include "problem_view.hpp"

namespace standin {

struct SolutionFaults {
  std::vector<std::size_t> semi_in_gap;  // semi-variables strictly between 0 and their range
  std::vector<std::size_t> not_integral;  // integer variables off a whole number
  std::string reason;                    // the first other fault, empty when none
  // Semi-variables off 0 by no more than FeasibilityTol, where the rows fail with them at 0: the
  // point holds only through the tolerance (a value of 1e-6 beside a coefficient of 1e6). Not a
  // fault (Gurobi's tolerances allow it), but a search for a point that holds without it.
  std::vector<std::size_t> semi_near_zero;

  bool none() const { return semi_in_gap.empty() && not_integral.empty() && reason.empty(); }
  // What is wrong, for the log.
  std::string description() const;
};

struct Tolerances {
  double feasibility;
  double integrality;
};

// Checks x (the model's columns) against the view's columns and the first `rows` rows HiGHS
// holds, read back in blocks so that no second copy of the matrix is made.
SolutionFaults check_solution(const HighsApi& api, const void* highs, const ProblemView& view, std::size_t rows,
                              std::span<const double> x, Tolerances tolerances);

}  // namespace standin

#endif
