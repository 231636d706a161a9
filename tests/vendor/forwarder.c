/* A Gurobi library for the vendor check: exports the Gurobi functions the
 * module resolves and forwards each to a real Gurobi library loaded in the
 * same process, with one difference: GRBloadenv and GRBstartenv hand out an
 * environment that the caller of velkin_forwarder_attach started (gurobipy's,
 * which holds the licence), and GRBfreeenv leaves that environment alone.
 * GRBnewmodel still copies the environment into each model, as Gurobi always
 * does, so parameters set on a model stay with that model. */

#include <dlfcn.h>
#include <stddef.h>

#include "kesto_solver_gurobi/gurobi_c.h"

/* X(name, parameters, arguments) for every function forwarded unchanged, all
 * returning an error code; GRBversion and the environment's functions
 * (GRBloadenv, GRBstartenv, GRBfreeenv, GRBgetenv) follow below. */
#define FORWARDED(X)                                                                                            \
  X(GRBnewmodel,                                                                                                \
    (GRBenv * env, GRBmodel * *modelP, const char* Pname, int numvars, double* obj, double* lb, double* ub,     \
     char* vtype, char** varnames),                                                                             \
    (env, modelP, Pname, numvars, obj, lb, ub, vtype, varnames))                                                \
  X(GRBfreemodel, (GRBmodel * model), (model))                                                                  \
  X(GRBaddvar,                                                                                                  \
    (GRBmodel * model, int numnz, int* vind, double* vval, double obj, double lb, double ub, char vtype,        \
     const char* varname),                                                                                      \
    (model, numnz, vind, vval, obj, lb, ub, vtype, varname))                                                    \
  X(GRBaddvars,                                                                                                 \
    (GRBmodel * model, int numvars, int numnz, int* vbeg, int* vind, double* vval, double* obj, double* lb,     \
     double* ub, char* vtype, char** varnames),                                                                 \
    (model, numvars, numnz, vbeg, vind, vval, obj, lb, ub, vtype, varnames))                                    \
  X(GRBaddconstr,                                                                                               \
    (GRBmodel * model, int numnz, int* cind, double* cval, char sense, double rhs, const char* constrname),     \
    (model, numnz, cind, cval, sense, rhs, constrname))                                                         \
  X(GRBaddconstrs,                                                                                              \
    (GRBmodel * model, int numconstrs, int numnz, int* cbeg, int* cind, double* cval, char* sense, double* rhs, \
     char** constrnames),                                                                                       \
    (model, numconstrs, numnz, cbeg, cind, cval, sense, rhs, constrnames))                                      \
  X(GRBgetintattr, (GRBmodel * model, const char* attrname, int* valueP), (model, attrname, valueP))            \
  X(GRBsetintattr, (GRBmodel * model, const char* attrname, int newvalue), (model, attrname, newvalue))         \
  X(GRBgetdblattr, (GRBmodel * model, const char* attrname, double* valueP), (model, attrname, valueP))         \
  X(GRBsetdblattr, (GRBmodel * model, const char* attrname, double newvalue), (model, attrname, newvalue))      \
  X(GRBgetdblattrarray, (GRBmodel * model, const char* attrname, int start, int len, double* values),           \
    (model, attrname, start, len, values))                                                                      \
  X(GRBgetstrattr, (GRBmodel * model, const char* attrname, char** valueP), (model, attrname, valueP))          \
  X(GRBsetstrattr, (GRBmodel * model, const char* attrname, const char* newvalue), (model, attrname, newvalue)) \
  X(GRBoptimize, (GRBmodel * model), (model))                                                                   \
  X(GRBgetdblparam, (GRBenv * env, const char* paramname, double* valueP), (env, paramname, valueP))            \
  X(GRBgetintparam, (GRBenv * env, const char* paramname, int* valueP), (env, paramname, valueP))               \
  X(GRBgetstrparam, (GRBenv * env, const char* paramname, char* valueP), (env, paramname, valueP))              \
  X(GRBsetdblparam, (GRBenv * env, const char* paramname, double value), (env, paramname, value))               \
  X(GRBsetintparam, (GRBenv * env, const char* paramname, int value), (env, paramname, value))                  \
  X(GRBsetstrparam, (GRBenv * env, const char* paramname, const char* value), (env, paramname, value))          \
  X(GRBsetparam, (GRBenv * env, const char* paramname, const char* value), (env, paramname, value))             \
  X(GRBupdatemodel, (GRBmodel * model), (model))                                                                \
  X(GRBgetdblattrelement, (GRBmodel * model, const char* attrname, int element, double* valueP),                \
    (model, attrname, element, valueP))                                                                         \
  X(GRBsetdblattrelement, (GRBmodel * model, const char* attrname, int element, double newvalue),               \
    (model, attrname, element, newvalue))                                                                       \
  X(GRBsetdblattrarray, (GRBmodel * model, const char* attrname, int start, int len, double* newvalues),        \
    (model, attrname, start, len, newvalues))

/* The real library's functions, filled once by velkin_forwarder_attach. */
struct RealFunctions {
  void (*GRBversion)(int*, int*, int*);
  int (*GRBstartenv)(GRBenv*);
  void (*GRBfreeenv)(GRBenv*);
  GRBenv* (*GRBgetenv)(GRBmodel*);
#define DECLARE_POINTER(name, params, args) int(*name) params;
  FORWARDED(DECLARE_POINTER)
#undef DECLARE_POINTER
};

static struct RealFunctions real;
static GRBenv* shared_env;

/* Opens the Gurobi library at `library` (gurobipy's, already loaded, so the
 * same object), resolves every function and keeps `env` as the environment
 * to hand out. Returns 0, 1 when the library cannot be opened, 2 when a
 * function is missing, 3 when env is NULL. Nothing changes unless it
 * succeeds. */
int velkin_forwarder_attach(const char* library, GRBenv* env) {
  if (env == NULL) return 3;
  void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
  if (handle == NULL) return 1;
  struct RealFunctions found;
  void* symbol;
#define RESOLVE(name)                            \
  if ((symbol = dlsym(handle, #name)) == NULL) { \
    dlclose(handle);                             \
    return 2;                                    \
  }                                              \
  *(void**)(&found.name) = symbol;
  RESOLVE(GRBversion)
  RESOLVE(GRBstartenv)
  RESOLVE(GRBfreeenv)
  RESOLVE(GRBgetenv)
#define RESOLVE_FORWARDED(name, params, args) RESOLVE(name)
  FORWARDED(RESOLVE_FORWARDED)
#undef RESOLVE_FORWARDED
#undef RESOLVE
  real = found;
  shared_env = env;
  return 0;
}

/* The library's version, 0.0.0 before attaching. */
void GRBversion(int* majorP, int* minorP, int* technicalP) {
  if (real.GRBversion != NULL) {
    real.GRBversion(majorP, minorP, technicalP);
    return;
  }
  *majorP = 0;
  *minorP = 0;
  *technicalP = 0;
}

/* The shared environment; without one, no licence (10009), as Gurobi answers
 * a GRBloadenv of its own here. */
int GRBloadenv(GRBenv** envP, const char* logfilename) {
  (void)logfilename;
  if (envP == NULL) return GRB_ERROR_NULL_ARGUMENT;
  *envP = shared_env;
  return shared_env == NULL ? GRB_ERROR_NO_LICENSE : 0;
}

/* The shared environment is started already. */
int GRBstartenv(GRBenv* env) {
  if (env != NULL && env == shared_env) return 0;
  return real.GRBstartenv == NULL ? GRB_ERROR_NO_LICENSE : real.GRBstartenv(env);
}

/* The shared environment belongs to the one who started it. */
void GRBfreeenv(GRBenv* env) {
  if (env != NULL && env != shared_env && real.GRBfreeenv != NULL) real.GRBfreeenv(env);
}

/* A model's own copy of the environment. */
GRBenv* GRBgetenv(GRBmodel* model) { return real.GRBgetenv == NULL ? NULL : real.GRBgetenv(model); }

/* Every other function: forwarded; before attaching there is no environment
 * or model to hand them, so they answer as for a null argument. */
#define DEFINE_FORWARDER(name, params, args) \
  int name params { return real.name == NULL ? GRB_ERROR_NULL_ARGUMENT : real.name args; }
FORWARDED(DEFINE_FORWARDER)
#undef DEFINE_FORWARDER
