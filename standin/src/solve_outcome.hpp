// What a solve hands back to the model, in Gurobi's terms.
#ifndef STANDIN_SOLVE_OUTCOME_HPP
#define STANDIN_SOLVE_OUTCOME_HPP

#include <optional>
#include <vector>

namespace standin {

// Gurobi's optimisation status codes used by the stand-in.
namespace status {
inline constexpr int kLoaded = 1;
inline constexpr int kOptimal = 2;
inline constexpr int kInfeasible = 3;
inline constexpr int kInfOrUnbd = 4;
inline constexpr int kUnbounded = 5;
inline constexpr int kCutoff = 6;
inline constexpr int kIterationLimit = 7;
inline constexpr int kNodeLimit = 8;
inline constexpr int kTimeLimit = 9;
inline constexpr int kSolutionLimit = 10;
inline constexpr int kInterrupted = 11;
inline constexpr int kNumeric = 12;
inline constexpr int kSuboptimal = 13;
inline constexpr int kUserObjLimit = 15;
inline constexpr int kMemLimit = 17;
}  // namespace status

struct SolveOutcome {
  int status = status::kLoaded;
  std::vector<double> x;         // values of variables 0 .. x.size() - 1
  std::optional<double> objval;  // absent when no solution is available
};

}  // namespace standin

#endif
