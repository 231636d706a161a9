// Values of HiGHS options that follow from Gurobi parameters, needed wherever a solve changes
// an option for a while and sets it back.
#ifndef STANDIN_HIGHS_OPTIONS_HPP
#define STANDIN_HIGHS_OPTIONS_HPP

#include <algorithm>

#include "highs_library.hpp"
#include "parameters.hpp"

namespace standin {

// FeasibilityTol, at most HiGHS's own 1e-7: HiGHS's presolve takes a bound or row slack within
// its tolerance as met, and with coefficients of 1e6 a slack of 1e-6 is a whole unit of the row;
// Gurobi's answers do not move with it. Solutions are checked with FeasibilityTol itself.
inline double primal_tolerance(const ParameterSet& params) {
  return std::min(params.double_value(Param::FeasibilityTol), kHighsDefaultTolerance);
}

// IntFeasTol, never looser than the primal tolerance: HiGHS's branch and bound holds rows and
// bounds to its integrality tolerance too, and Gurobi keeps FeasibilityTol for them whatever
// IntFeasTol is. Integer bounds are rounded with it, so that rounding moves no bound by more.
inline double integer_tolerance(const ParameterSet& params) {
  return std::min(params.double_value(Param::IntFeasTol), primal_tolerance(params));
}

// OptimalityTol, at most HiGHS's own 1e-7: Gurobi applies it to its scaled model, HiGHS to the
// model as given, where a dual infeasibility of 1e-6 times a coefficient of 1e6 lets HiGHS call
// an unbounded LP optimal, or stall on an infeasible one.
inline double dual_tolerance(const ParameterSet& params) {
  return std::min(params.double_value(Param::OptimalityTol), kHighsDefaultTolerance);
}

inline const char* presolve_option(const ParameterSet& params) {
  const int presolve = params.int_value(Param::Presolve);
  return presolve == 0 ? "off" : presolve == -1 ? "choose" : "on";
}

inline const char* solver_option(const ParameterSet& params) {
  const int method = params.int_value(Param::Method);
  return method == 0 || method == 1 ? "simplex" : method == 2 ? "ipm" : "choose";
}

// The presolve setting for a second opinion: HiGHS can get an answer wrong with presolve and
// without it, and a second run with the parameters' own setting would only repeat the first.
inline const char* second_presolve(const ParameterSet& params) {
  return params.int_value(Param::Presolve) == 0 ? "on" : "off";
}

}  // namespace standin

#endif
