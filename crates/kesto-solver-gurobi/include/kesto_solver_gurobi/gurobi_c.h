/* The part of the Gurobi C API this project uses, with Gurobi's documented
 * prototypes. The backend takes its function-pointer types from these
 * declarations and the stand-in library defines them. */
#ifndef KESTO_SOLVER_GUROBI_GUROBI_C_H
#define KESTO_SOLVER_GUROBI_GUROBI_C_H

#include "kesto_solver_gurobi/gurobi_constants.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct _GRBenv GRBenv;
typedef struct _GRBmodel GRBmodel;

void GRBversion(int *majorP, int *minorP, int *technicalP);
int GRBloadenv(GRBenv **envP, const char *logfilename);
int GRBstartenv(GRBenv *env);
void GRBfreeenv(GRBenv *env);
GRBenv *GRBgetenv(GRBmodel *model);
int GRBnewmodel(GRBenv *env, GRBmodel **modelP, const char *Pname, int numvars, double *obj, double *lb, double *ub,
                char *vtype, char **varnames);
int GRBfreemodel(GRBmodel *model);
int GRBaddvar(GRBmodel *model, int numnz, int *vind, double *vval, double obj, double lb, double ub, char vtype,
              const char *varname);
int GRBaddvars(GRBmodel *model, int numvars, int numnz, int *vbeg, int *vind, double *vval, double *obj, double *lb,
               double *ub, char *vtype, char **varnames);
int GRBaddconstr(GRBmodel *model, int numnz, int *cind, double *cval, char sense, double rhs, const char *constrname);
int GRBaddconstrs(GRBmodel *model, int numconstrs, int numnz, int *cbeg, int *cind, double *cval, char *sense,
                  double *rhs, char **constrnames);
int GRBgetintattr(GRBmodel *model, const char *attrname, int *valueP);
int GRBsetintattr(GRBmodel *model, const char *attrname, int newvalue);
int GRBgetdblattr(GRBmodel *model, const char *attrname, double *valueP);
int GRBsetdblattr(GRBmodel *model, const char *attrname, double newvalue);
int GRBgetdblattrarray(GRBmodel *model, const char *attrname, int start, int len, double *values);
int GRBgetstrattr(GRBmodel *model, const char *attrname, char **valueP);
int GRBsetstrattr(GRBmodel *model, const char *attrname, const char *newvalue);
int GRBoptimize(GRBmodel *model);
int GRBgetdblparam(GRBenv *env, const char *paramname, double *valueP);
int GRBgetintparam(GRBenv *env, const char *paramname, int *valueP);
int GRBgetstrparam(GRBenv *env, const char *paramname, char *valueP);
int GRBsetdblparam(GRBenv *env, const char *paramname, double value);
int GRBsetintparam(GRBenv *env, const char *paramname, int value);
int GRBsetstrparam(GRBenv *env, const char *paramname, const char *value);
int GRBsetparam(GRBenv *env, const char *paramname, const char *value);
int GRBupdatemodel(GRBmodel *model);
int GRBgetdblattrelement(GRBmodel *model, const char *attrname, int element, double *valueP);
int GRBsetdblattrelement(GRBmodel *model, const char *attrname, int element, double newvalue);
int GRBsetdblattrarray(GRBmodel *model, const char *attrname, int start, int len, double *newvalues);

#ifdef __cplusplus
}
#endif

#endif
