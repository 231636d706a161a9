// The counts of variables and constraints after a refused call.

#include <algorithm>

#include "kesto_solver_gurobi/wrapper/wrapper.hpp"

namespace kesto::gurobi {

// A refused change may discard the variables and rows not yet applied (Gurobi
// 13 does). The update applies whatever was kept, so that the counts read
// next are exact.
void GurobiOptimizer::recount() {
  int variables = 0, constraints = 0;
  if (api().GRBupdatemodel(model_) != 0 || api().GRBgetintattr(model_, GRB_INT_ATTR_NUMVARS, &variables) != 0 ||
      api().GRBgetintattr(model_, GRB_INT_ATTR_NUMCONSTRS, &constraints) != 0) {
    return;
  }
  var_count_ = static_cast<std::uint64_t>(std::max(variables, 0));
  constr_count_ = static_cast<std::uint64_t>(std::max(constraints, 0));
}

}  // namespace kesto::gurobi
