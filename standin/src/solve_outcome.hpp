// What a solve hands back to the model, in Gurobi's terms.
#ifndef STANDIN_SOLVE_OUTCOME_HPP
#define STANDIN_SOLVE_OUTCOME_HPP

#include <optional>
#include <vector>

#include "kesto_solver_gurobi/gurobi_constants.h"

namespace standin {

struct SolveOutcome {
  int status = GRB_LOADED;
  std::vector<double> x;         // values of variables 0 .. x.size() - 1
  std::optional<double> objval;  // absent when no solution is available
  // Whether x and objval are a solution (SolCount 1), rather than the point where a limit
  // stopped an LP or the infinite objective of a limit without a solution.
  bool is_solution = true;
};

}  // namespace standin

#endif
