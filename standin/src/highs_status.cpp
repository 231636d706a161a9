// HiGHS's answer in Gurobi's terms: the status mapping, the solution read back, and Gurobi's
// stop parameters applied to the answer.
#include <cmath>

#include "highs_session.hpp"

namespace standin {
namespace {

int gurobi_status(HighsInt model_status, bool node_limit_reached, bool feasible) {
  switch (model_status) {
    // "Optimal" without a feasible point cannot keep the promise of a readable solution.
    case kModelEmpty:
    case kOptimal: return feasible ? GRB_OPTIMAL : GRB_NUMERIC;
    case kInfeasible: return GRB_INFEASIBLE;
    case kUnboundedOrInfeasible: return GRB_INF_OR_UNBD;
    case kUnbounded: return GRB_UNBOUNDED;
    case kObjectiveBound: return GRB_CUTOFF;
    case kObjectiveTarget: return GRB_USER_OBJ_LIMIT;
    case kTimeLimit: return GRB_TIME_LIMIT;
    // HiGHS reports its MIP node limit as a solution limit (older versions: an iteration limit).
    case kIterationLimit: return node_limit_reached ? GRB_NODE_LIMIT : GRB_ITERATION_LIMIT;
    case kSolutionLimit: return node_limit_reached ? GRB_NODE_LIMIT : GRB_SOLUTION_LIMIT;
    case kInterrupt:
    case kHighsInterrupt: return GRB_INTERRUPTED;
    case kMemoryLimit: return GRB_MEM_LIMIT;
    case kUnknown: return feasible ? GRB_SUBOPTIMAL : GRB_NUMERIC;
    default:  // Notset and the error states
      return GRB_NUMERIC;
  }
}

bool status_has_solution(int gurobi_status) {
  switch (gurobi_status) {
    case GRB_INFEASIBLE:
    case GRB_INF_OR_UNBD:
    case GRB_UNBOUNDED:
    case GRB_CUTOFF:
    case GRB_NUMERIC: return false;
    default: return true;
  }
}

}  // namespace

SolveOutcome HighsSession::outcome(const ParameterSet& params) {
  const HighsInt model_status = api_.get_model_status(highs_);
  HighsInt solution_status = 0;
  api_.get_int_info(highs_, "primal_solution_status", &solution_status);
  const bool feasible = solution_status == kSolutionFeasible;
  bool node_limit_reached = false;
  if (is_mip_ && (model_status == kIterationLimit || model_status == kSolutionLimit)) {
    std::int64_t nodes = 0;
    api_.get_int64_info(highs_, "mip_node_count", &nodes);
    const double limit = params.double_value(Param::NodeLimit);
    node_limit_reached = limit < kGurobiInfiniteBound && static_cast<double>(nodes) >= std::floor(limit);
  }

  SolveOutcome result;
  const HighsStop::Reason stopped = model_status == kInterrupt ? stop_->reason() : HighsStop::Reason::None;
  result.status = stopped == HighsStop::Reason::IterationLimit     ? GRB_ITERATION_LIMIT
                  : stopped == HighsStop::Reason::ObjectiveReached ? GRB_USER_OBJ_LIMIT
                                                                   : gurobi_status(model_status, node_limit_reached, feasible);
  if (!status_has_solution(result.status)) return result;
  // An LP stopped by its iteration limit shows the point where it stopped, as no solution.
  const bool lp_stopped = !is_mip_ && result.status == GRB_ITERATION_LIMIT && solution_status != kSolutionNone;
  if (!feasible && !lp_stopped) return stopped_without_solution(result.status);
  result.is_solution = !lp_stopped;
  result.x.resize(held_cols_ + indicators_.size());
  api_.get_solution(highs_, result.x.data(), nullptr, nullptr, nullptr);
  result.x.resize(held_cols_);
  result.objval = api_.get_objective_value(highs_);
  return result;
}

// A limit or an interrupt without a solution: as in Gurobi, ObjVal reads infinite in the
// direction of the objective and SolCount 0.
SolveOutcome HighsSession::stopped_without_solution(int status) const {
  return SolveOutcome{status, {}, sense_ * GRB_INFINITY, false};
}

// Cutoff, BestObjStop and BestBdStop, as Gurobi applies them to the answer found: a solution
// worse than Cutoff is none (6 CUTOFF when it was optimal); an optimal one at least as good as
// BestObjStop is 15 USER_OBJ_LIMIT, and so is an optimum that reaches BestBdStop (an LP's
// without a solution: Gurobi's simplex stops on its bound before it has one).
SolveOutcome HighsSession::apply_stop_parameters(SolveOutcome result, const ParameterSet& params) const {
  if (!result.objval || !result.is_solution) return result;
  const double value = sense_ * *result.objval;
  const double cutoff = params.double_value(Param::Cutoff);
  if (std::abs(cutoff) < GRB_INFINITY && value > sense_ * cutoff) {
    return result.status == GRB_OPTIMAL ? SolveOutcome{GRB_CUTOFF, {}, std::nullopt}
                                        : stopped_without_solution(result.status);
  }
  if (result.status != GRB_OPTIMAL) return result;
  const double best_objective = params.double_value(Param::BestObjStop);
  const double best_bound = params.double_value(Param::BestBdStop);
  if (std::abs(best_objective) < GRB_INFINITY && value <= sense_ * best_objective) {
    result.status = GRB_USER_OBJ_LIMIT;
  } else if (std::abs(best_bound) < GRB_INFINITY && value >= sense_ * best_bound) {
    result = is_mip_ ? SolveOutcome{GRB_USER_OBJ_LIMIT, result.x, result.objval}
                     : stopped_without_solution(GRB_USER_OBJ_LIMIT);
  }
  return result;
}

}  // namespace standin
