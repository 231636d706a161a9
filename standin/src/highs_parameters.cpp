// Gurobi parameters as HiGHS options, and the stops the stand-in applies in HiGHS's callback.
#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

#include "highs_options.hpp"
#include "highs_session.hpp"

namespace standin {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

HighsInt clamp_to_int(double value) {
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  return static_cast<HighsInt>(std::max(0.0, std::floor(value)));
}

// Gurobi parameters that steer the search and have a HiGHS counterpart: heuristic effort,
// RINS and symmetry detection (MIP), the barrier's tolerance (LP). Each value is set every
// time, so that a change back to the default reaches the kept instance too. Crossover is not
// passed on: without it HiGHS can call an LP that its presolve solved "unknown".
void apply_search_options(const HighsApi& api, void* h, const ParameterSet& params) {
  api.set_double_option(h, "mip_heuristic_effort", params.double_value(Param::Heuristics));
  api.set_bool_option(h, "mip_heuristic_run_rins", params.int_value(Param::RINS) != 0);
  api.set_bool_option(h, "mip_detect_symmetry", params.int_value(Param::Symmetry) != 0);
  api.set_double_option(h, "ipm_optimality_tolerance",
                        std::max(params.double_value(Param::BarConvTol), kHighsMinTolerance));
}

}  // namespace

// Gurobi parameters to HiGHS options. A rejected option leaves HiGHS's default.
void HighsSession::apply_parameters(const ParameterSet& params) {
  const double int_tolerance = integer_tolerance(params);
  void* h = highs_;
  // First, so that nothing is printed at all when output is off.
  api_.set_bool_option(h, "output_flag", params.int_value(Param::OutputFlag) != 0);
  api_.set_bool_option(h, "log_to_console", params.int_value(Param::LogToConsole) != 0);
  // Always set: "" closes the file of an earlier LogFile, and HiGHS stops writing to it.
  api_.set_string_option(h, "log_file", params.string_value(Param::LogFile).c_str());
  api_.set_double_option(h, "infinite_bound", kGurobiInfiniteBound);
  api_.set_double_option(h, "infinite_cost", kGurobiInfiniteBound);
  const double time_limit = params.double_value(Param::TimeLimit);
  api_.set_double_option(h, "time_limit", time_limit < kGurobiInfiniteBound ? time_limit : kInf);
  api_.set_double_option(h, "mip_rel_gap", params.double_value(Param::MIPGap));
  api_.set_double_option(h, "mip_abs_gap", params.double_value(Param::MIPGapAbs));
  api_.set_int_option(h, "threads", std::max(params.int_value(Param::Threads), 0));
  api_.set_int_option(h, "random_seed", params.int_value(Param::Seed));
  api_.set_string_option(h, "presolve", presolve_option(params));
  api_.set_string_option(h, "solver", solver_option(params));
  api_.set_int_option(h, "simplex_iteration_limit", clamp_to_int(params.double_value(Param::IterationLimit)));
  api_.set_int_option(h, "ipm_iteration_limit",
                      clamp_to_int(std::min(params.double_value(Param::IterationLimit),
                                            static_cast<double>(params.int_value(Param::BarIterLimit)))));
  // HiGHS counts the root as a node: with 0 it stops before the root's heuristics, Gurobi after.
  api_.set_int_option(h, "mip_max_nodes", clamp_to_int(std::max(params.double_value(Param::NodeLimit), 1.0)));
  api_.set_int_option(h, "mip_max_improving_sols", params.int_value(Param::SolutionLimit));
  api_.set_double_option(h, "primal_feasibility_tolerance", primal_tolerance(params));
  api_.set_double_option(h, "dual_feasibility_tolerance", dual_tolerance(params));
  api_.set_double_option(h, "mip_feasibility_tolerance", int_tolerance);
  apply_search_options(api_, h, params);
  // HiGHS 1.15's presolve can crash the process while it removes forcing rows (the row singletons
  // they leave are removed within a loop over row singletons that is under way): that reduction
  // is left out.
  api_.set_int_option(h, "presolve_rule_off", kPresolveForcingRows);
  applied_params_ = params;
  changed_ = true;
}

// A MIP's IterationLimit, BestObjStop and BestBdStop, for the callback; none for an LP.
void HighsSession::arm_stops(const ParameterSet& params) {
  const auto stop_at = [&](Param param, double off) {
    const double value = params.double_value(param);
    return is_mip_ && std::abs(value) < GRB_INFINITY ? value : off;
  };
  const double sense = sense_;
  stop_->arm({is_mip_ ? params.double_value(Param::IterationLimit) : kInf, stop_at(Param::BestObjStop, -sense * kInf),
              stop_at(Param::BestBdStop, sense * kInf), sense_});
}

}  // namespace standin
