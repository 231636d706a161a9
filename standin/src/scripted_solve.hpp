// Scripted solves for tests: GRB_STANDIN_SCRIPT_STATUS makes GRBoptimize report a chosen
// status without solving, with the values of GRB_STANDIN_SCRIPT_X and
// GRB_STANDIN_SCRIPT_OBJVAL when they are set.
#ifndef STANDIN_SCRIPTED_SOLVE_HPP
#define STANDIN_SCRIPTED_SOLVE_HPP

#include <cstddef>
#include <optional>

#include "errors.hpp"
#include "solve_outcome.hpp"

namespace standin {

// No value when no script is set; 10003 when a variable's text does not parse.
// Values for more than `num_vars` variables are ignored.
Result<std::optional<SolveOutcome>> scripted_solve(std::size_t num_vars);

}  // namespace standin

#endif
