// HiGHS's C API, opened at run time at the first solve and kept for the life of the process.
#ifndef STANDIN_HIGHS_LIBRARY_HPP
#define STANDIN_HIGHS_LIBRARY_HPP

#include <cstddef>
#include <cstdint>

namespace standin {

// HiGHS's C API as built by highsbox: HighsInt is 32 bits (HIGHSINT64 is not defined).
using HighsInt = std::int32_t;

// Values HiGHS's C API returns and takes, shared by the files of the HiGHS session.
inline constexpr HighsInt kHighsStatusError = -1;
inline constexpr HighsInt kFormatRowWise = 2;
inline constexpr HighsInt kSolutionNone = 0;  // values of the info "primal_solution_status"
inline constexpr HighsInt kSolutionFeasible = 2;
inline constexpr double kHighsMinTolerance = 1e-12;      // HiGHS refuses smaller tolerances
inline constexpr double kHighsDefaultTolerance = 1e-7;  // HiGHS's own primal and dual feasibility tolerances
inline constexpr HighsInt kPrimalSimplex = 4;             // values of the option "simplex_strategy"
inline constexpr HighsInt kDualSimplex = 1;
inline constexpr HighsInt kPresolveForcingRows = 64;  // its bit in the option "presolve_rule_off"
inline constexpr double kHighsLargeMatrixValue = 1e15;  // HiGHS refuses coefficients from this on

// HiGHS model statuses.
enum HighsModelStatus : HighsInt {
  kNotset = 0,
  kSolveError = 4,
  kModelEmpty = 6,
  kOptimal = 7,
  kInfeasible = 8,
  kUnboundedOrInfeasible = 9,
  kUnbounded = 10,
  kObjectiveBound = 11,
  kObjectiveTarget = 12,
  kTimeLimit = 13,
  kIterationLimit = 14,
  kUnknown = 15,
  kSolutionLimit = 16,
  kInterrupt = 17,
  kMemoryLimit = 18,
  kHighsInterrupt = 19,
};

// An answer that some model HiGHS gets wrong may be: unbounded, infeasible or either.
inline bool claims_no_optimum(HighsInt model_status) {
  return model_status == kUnbounded || model_status == kInfeasible || model_status == kUnboundedOrInfeasible;
}

// HiGHS ended without an answer: neither a limit nor a verdict.
inline bool is_no_answer(HighsInt model_status) {
  return model_status == kUnknown || model_status == kSolveError || model_status == kNotset;
}

inline HighsInt as_highs_int(std::size_t value) { return static_cast<HighsInt>(value); }

// What HiGHS hands an interrupt callback; only its first field is used. HiGHS keeps that
// field first for the sake of its foreign-language interfaces.
struct HighsCallbackInput {
  int user_interrupt;
};
using HighsCallback = void (*)(int, const char*, const void*, HighsCallbackInput*, void*);

// Every HiGHS function the stand-in calls: member name, symbol, return type, parameters.
#define STANDIN_HIGHS_FUNCTIONS(X)                                                                                    \
  STANDIN_HIGHS_READ_BACK_FUNCTIONS(X)                                                                                \
  X(create, "Highs_create", void*, ())                                                                                \
  X(version_major, "Highs_versionMajor", HighsInt, ())                                                                \
  X(version_minor, "Highs_versionMinor", HighsInt, ())                                                                \
  X(destroy, "Highs_destroy", void, (void*))                                                                          \
  X(pass_lp, "Highs_passLp", HighsInt,                                                                                \
    (void*, HighsInt, HighsInt, HighsInt, HighsInt, HighsInt, double, const double*, const double*, const double*,    \
     const double*, const double*, const HighsInt*, const HighsInt*, const double*))                                  \
  X(pass_mip, "Highs_passMip", HighsInt,                                                                              \
    (void*, HighsInt, HighsInt, HighsInt, HighsInt, HighsInt, double, const double*, const double*, const double*,    \
     const double*, const double*, const HighsInt*, const HighsInt*, const double*, const HighsInt*))                 \
  X(add_cols, "Highs_addCols", HighsInt,                                                                              \
    (void*, HighsInt, const double*, const double*, const double*, HighsInt, const HighsInt*, const HighsInt*,        \
     const double*))                                                                                                  \
  X(add_rows, "Highs_addRows", HighsInt,                                                                              \
    (void*, HighsInt, const double*, const double*, HighsInt, const HighsInt*, const HighsInt*, const double*))       \
  X(change_sense, "Highs_changeObjectiveSense", HighsInt, (void*, HighsInt))                                          \
  X(change_offset, "Highs_changeObjectiveOffset", HighsInt, (void*, double))                                          \
  X(change_costs, "Highs_changeColsCostByRange", HighsInt, (void*, HighsInt, HighsInt, const double*))                \
  X(change_costs_by_set, "Highs_changeColsCostBySet", HighsInt, (void*, HighsInt, const HighsInt*, const double*))    \
  X(change_bounds, "Highs_changeColsBoundsByRange", HighsInt,                                                         \
    (void*, HighsInt, HighsInt, const double*, const double*))                                                        \
  X(change_integrality, "Highs_changeColsIntegralityByRange", HighsInt, (void*, HighsInt, HighsInt, const HighsInt*)) \
  X(set_solution, "Highs_setSolution", HighsInt, (void*, const double*, const double*, const double*, const double*)) \
  X(set_callback, "Highs_setCallback", HighsInt, (void*, HighsCallback, void*))                                       \
  X(start_callback, "Highs_startCallback", HighsInt, (void*, HighsInt))                                               \
  X(run, "Highs_run", HighsInt, (void*))                                                                              \
  X(clear_solver, "Highs_clearSolver", HighsInt, (void*))                                                             \
  X(get_model_status, "Highs_getModelStatus", HighsInt, (const void*))                                                \
  X(get_objective_value, "Highs_getObjectiveValue", double, (const void*))                                            \
  X(get_solution, "Highs_getSolution", HighsInt, (const void*, double*, double*, double*, double*))                   \
  X(get_primal_ray, "Highs_getPrimalRay", HighsInt, (const void*, HighsInt*, double*))                                \
  X(get_int_info, "Highs_getIntInfoValue", HighsInt, (const void*, const char*, HighsInt*))                           \
  X(get_int64_info, "Highs_getInt64InfoValue", HighsInt, (const void*, const char*, std::int64_t*))                   \
  X(set_bool_option, "Highs_setBoolOptionValue", HighsInt, (void*, const char*, HighsInt))                            \
  X(set_int_option, "Highs_setIntOptionValue", HighsInt, (void*, const char*, HighsInt))                              \
  X(set_double_option, "Highs_setDoubleOptionValue", HighsInt, (void*, const char*, double))                          \
  X(set_string_option, "Highs_setStringOptionValue", HighsInt, (void*, const char*, const char*))

// Those that read parts of the model back, remove them or free rows (semi-variables' indicators).
#define STANDIN_HIGHS_READ_BACK_FUNCTIONS(X)                                                                           \
  X(change_row_bounds, "Highs_changeRowsBoundsByRange", HighsInt,                                                      \
    (void*, HighsInt, HighsInt, const double*, const double*))                                                         \
  X(delete_cols, "Highs_deleteColsByRange", HighsInt, (void*, HighsInt, HighsInt))                                     \
  X(delete_rows, "Highs_deleteRowsByRange", HighsInt, (void*, HighsInt, HighsInt))                                     \
  X(get_cols, "Highs_getColsByRange", HighsInt,                                                                        \
    (const void*, HighsInt, HighsInt, HighsInt*, double*, double*, double*, HighsInt*, HighsInt*, HighsInt*, double*)) \
  X(get_rows, "Highs_getRowsByRange", HighsInt,                                                                        \
    (const void*, HighsInt, HighsInt, HighsInt*, double*, double*, HighsInt*, HighsInt*, HighsInt*, double*))

struct HighsApi {
#define STANDIN_HIGHS_POINTER(member, symbol, result, parameters) result(*member) parameters = nullptr;
  STANDIN_HIGHS_FUNCTIONS(STANDIN_HIGHS_POINTER)
#undef STANDIN_HIGHS_POINTER
};

// HiGHS's functions, or null when no HiGHS library could be opened. The first failure of
// the process writes one line to standard error naming the places tried and the remedy.
const HighsApi* highs_api();

}  // namespace standin

#endif
