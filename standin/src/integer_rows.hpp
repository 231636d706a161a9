// Equality rows that no integer point can meet, whatever the bounds: every column integral
// (binary, integer or semi-integer) and the right-hand side off the multiples of the
// coefficients' greatest common divisor. HiGHS holds wide integer columns as continuous and
// cannot prove this; Gurobi's presolve does.
#ifndef STANDIN_INTEGER_ROWS_HPP
#define STANDIN_INTEGER_ROWS_HPP

#include <cstddef>
#include <optional>

#include "highs_library.hpp"
#include "problem_view.hpp"

namespace standin {

// The first of the first `rows` rows HiGHS holds that no integer point meets within
// `feasibility`, if any.
std::optional<std::size_t> row_without_integer_point(const HighsApi& api, const void* highs, const ProblemView& view,
                                                     std::size_t rows, double feasibility);

}  // namespace standin

#endif
