// Solving a model with HiGHS, opened at run time at the first solve.
#ifndef STANDIN_HIGHS_SOLVER_HPP
#define STANDIN_HIGHS_SOLVER_HPP

#include "errors.hpp"
#include "solve_outcome.hpp"

namespace standin {

class Model;

// Solves the applied model with the parameters of its own environment. Fails with 10009
// when HiGHS cannot be opened and 10025 when the model is too large for HiGHS's indices;
// every outcome of a solve that ran, errors inside HiGHS included, is a status.
Result<SolveOutcome> solve_with_highs(const Model& model);

}  // namespace standin

#endif
