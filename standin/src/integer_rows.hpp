// Equality rows that no point can meet for integrality: the integral columns (binary, integer or
// semi-integer) with the largest coefficients reach only multiples of those coefficients'
// greatest common divisor, and the other columns, bounded, too little to close the distance to
// the right-hand side (or none are left). HiGHS holds wide integer columns as continuous, or
// gives up on them, and cannot prove this; Gurobi's presolve does.
#ifndef STANDIN_INTEGER_ROWS_HPP
#define STANDIN_INTEGER_ROWS_HPP

#include <cstddef>
#include <optional>

#include "highs_library.hpp"
#include "problem_view.hpp"

namespace standin {

// The first of the first `rows` rows HiGHS holds that no integer point meets within
// `feasibility`, within the column bounds HiGHS holds (a branching node's included), if any.
std::optional<std::size_t> row_without_integer_point(const HighsApi& api, const void* highs, const ProblemView& view,
                                                     std::size_t rows, double feasibility);

}  // namespace standin

#endif
