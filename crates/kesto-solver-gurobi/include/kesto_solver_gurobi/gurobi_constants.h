/* Gurobi's documented numbers and names, under Gurobi's own macro names: the
 * backend passes and reads them, the stand-in library implements them. */
#ifndef KESTO_SOLVER_GUROBI_GUROBI_CONSTANTS_H
#define KESTO_SOLVER_GUROBI_GUROBI_CONSTANTS_H

/* Error codes returned by the API functions (0 is success). */
#define GRB_ERROR_OUT_OF_MEMORY 10001
#define GRB_ERROR_NULL_ARGUMENT 10002
#define GRB_ERROR_INVALID_ARGUMENT 10003
#define GRB_ERROR_UNKNOWN_ATTRIBUTE 10004
#define GRB_ERROR_DATA_NOT_AVAILABLE 10005
#define GRB_ERROR_INDEX_OUT_OF_RANGE 10006
#define GRB_ERROR_UNKNOWN_PARAMETER 10007
#define GRB_ERROR_VALUE_OUT_OF_RANGE 10008
#define GRB_ERROR_NO_LICENSE 10009
#define GRB_ERROR_EXCEED_2B_NONZEROS 10025

/* Values of the model attribute "Status". */
#define GRB_LOADED 1
#define GRB_OPTIMAL 2
#define GRB_INFEASIBLE 3
#define GRB_INF_OR_UNBD 4
#define GRB_UNBOUNDED 5
#define GRB_CUTOFF 6
#define GRB_ITERATION_LIMIT 7
#define GRB_NODE_LIMIT 8
#define GRB_TIME_LIMIT 9
#define GRB_SOLUTION_LIMIT 10
#define GRB_INTERRUPTED 11
#define GRB_NUMERIC 12
#define GRB_SUBOPTIMAL 13
#define GRB_INPROGRESS 14
#define GRB_USER_OBJ_LIMIT 15
#define GRB_WORK_LIMIT 16
#define GRB_MEM_LIMIT 17

/* Model attributes. */
#define GRB_INT_ATTR_NUMVARS "NumVars"
#define GRB_INT_ATTR_NUMCONSTRS "NumConstrs"
#define GRB_INT_ATTR_NUMNZS "NumNZs"
#define GRB_INT_ATTR_IS_MIP "IsMIP"
#define GRB_INT_ATTR_MODELSENSE "ModelSense"
#define GRB_INT_ATTR_STATUS "Status"
#define GRB_INT_ATTR_SOLCOUNT "SolCount"
#define GRB_DBL_ATTR_OBJCON "ObjCon"
#define GRB_DBL_ATTR_OBJVAL "ObjVal"
#define GRB_DBL_ATTR_RUNTIME "Runtime"
#define GRB_STR_ATTR_MODELNAME "ModelName"

/* Variable attributes. */
#define GRB_DBL_ATTR_OBJ "Obj"
#define GRB_DBL_ATTR_LB "LB"
#define GRB_DBL_ATTR_UB "UB"
#define GRB_DBL_ATTR_X "X"

/* Parameters. */
#define GRB_INT_PAR_OUTPUTFLAG "OutputFlag"
#define GRB_INT_PAR_LOGTOCONSOLE "LogToConsole"
#define GRB_STR_PAR_LOGFILE "LogFile"
#define GRB_DBL_PAR_TIMELIMIT "TimeLimit"
#define GRB_DBL_PAR_ITERATIONLIMIT "IterationLimit"
#define GRB_DBL_PAR_NODELIMIT "NodeLimit"
#define GRB_INT_PAR_SOLUTIONLIMIT "SolutionLimit"
#define GRB_DBL_PAR_MIPGAP "MIPGap"
#define GRB_DBL_PAR_MIPGAPABS "MIPGapAbs"
#define GRB_DBL_PAR_FEASIBILITYTOL "FeasibilityTol"
#define GRB_DBL_PAR_OPTIMALITYTOL "OptimalityTol"
#define GRB_DBL_PAR_INTFEASTOL "IntFeasTol"
#define GRB_INT_PAR_THREADS "Threads"
#define GRB_INT_PAR_SEED "Seed"
#define GRB_INT_PAR_PRESOLVE "Presolve"
#define GRB_INT_PAR_METHOD "Method"

/* Constraint senses. */
#define GRB_LESS_EQUAL '<'
#define GRB_GREATER_EQUAL '>'
#define GRB_EQUAL '='

/* Variable types. */
#define GRB_CONTINUOUS 'C'
#define GRB_BINARY 'B'
#define GRB_INTEGER 'I'
#define GRB_SEMICONT 'S'
#define GRB_SEMIINT 'N'

/* Values of "ModelSense". */
#define GRB_MINIMIZE 1
#define GRB_MAXIMIZE -1

#define GRB_INFINITY 1e100
#define GRB_MAX_NAMELEN 255
#define GRB_MAX_STRLEN 512

#ifdef __cplusplus
#include <cstdint>
#include <limits>

namespace kesto::gurobi {

// Gurobi counts and indexes with 32-bit signed ints: the largest variable
// index it can address and the largest batch one call can take.
inline constexpr std::uint64_t kMaxGrbIndex = std::numeric_limits<int>::max();

}  // namespace kesto::gurobi
#endif

#endif
