# Gurobi's C API as this project declares it: the prototypes (gurobi_c.h) and
# Gurobi's constants (gurobi_constants.h). The backend calls it, the stand-in
# library implements it; both link this target for the headers.
include_guard(GLOBAL)

add_library(kesto_solver_gurobi_c INTERFACE)
target_include_directories(kesto_solver_gurobi_c INTERFACE "${CMAKE_CURRENT_LIST_DIR}/include")
