// What the trace records of each Gurobi function: its arguments before the call, and what it
// hands back after. One definition for every library that makes its calls through Call.
#ifndef STANDIN_RECORD_HPP
#define STANDIN_RECORD_HPP

#include "call.hpp"

namespace standin::record {

template <class C>
void loadenv(C& call, const char* logfilename) {
  call.trace.text("logfile", logfilename);
}

template <class C>
void newmodel(C& call, GRBenv* env, const char* Pname, int numvars, const double* obj, const double* lb,
              const double* ub, const char* vtype, const char* const* varnames) {
  call.env(env).trace.text("name", Pname).integer("numvars", numvars);
  call.trace.numbers("obj", obj, numvars).numbers("lb", lb, numvars).numbers("ub", ub, numvars);
  call.trace.bytes("vtype", vtype, numvars).texts("names", varnames, numvars);
}

template <class C>
void addvar(C& call, GRBmodel* model, int numnz, const int* vind, const double* vval, double obj, double lb,
            double ub, char vtype, const char* varname) {
  call.model(model).trace.integer("numnz", numnz).integers("vind", vind, numnz);
  call.trace.numbers("vval", vval, numnz).number("obj", obj).number("lb", lb).number("ub", ub);
  call.trace.integer("vtype", static_cast<unsigned char>(vtype)).text("name", varname);
}

template <class C>
void addvars(C& call, GRBmodel* model, int numvars, int numnz, const int* vbeg, const int* vind, const double* vval,
             const double* obj, const double* lb, const double* ub, const char* vtype, const char* const* varnames) {
  call.model(model).trace.integer("numvars", numvars).integer("numnz", numnz);
  if (numnz > 0) call.trace.integers("vbeg", vbeg, numvars);
  call.trace.integers("vind", vind, numnz).numbers("vval", vval, numnz);
  call.trace.numbers("obj", obj, numvars).numbers("lb", lb, numvars).numbers("ub", ub, numvars);
  call.trace.bytes("vtype", vtype, numvars).texts("names", varnames, numvars);
}

template <class C>
void addconstr(C& call, GRBmodel* model, int numnz, const int* cind, const double* cval, char sense, double rhs,
               const char* constrname) {
  call.model(model).trace.integer("numnz", numnz).integers("cind", cind, numnz);
  call.trace.numbers("cval", cval, numnz).character("sense", sense).number("rhs", rhs);
  call.trace.text("name", constrname);
}

template <class C>
void addconstrs(C& call, GRBmodel* model, int numconstrs, int numnz, const int* cbeg, const int* cind,
                const double* cval, const char* sense, const double* rhs, const char* const* constrnames) {
  call.model(model).trace.integer("numconstrs", numconstrs).integer("numnz", numnz);
  if (numnz > 0) call.trace.integers("cbeg", cbeg, numconstrs);
  call.trace.integers("cind", cind, numnz).numbers("cval", cval, numnz);
  call.trace.characters("sense", sense, numconstrs).numbers("rhs", rhs, numconstrs);
  call.trace.texts("names", constrnames, numconstrs);
}

// An attribute of the model; `start` and `len` when given (an array), `element` for one of it.
template <class C>
void attribute(C& call, GRBmodel* model, const char* attrname) {
  call.model(model).trace.text("attr", attrname);
}

template <class C>
void attribute_range(C& call, GRBmodel* model, const char* attrname, int start, int len) {
  attribute(call, model, attrname);
  call.trace.integer("start", start).integer("len", len);
}

template <class C>
void attribute_element(C& call, GRBmodel* model, const char* attrname, int element) {
  attribute(call, model, attrname);
  call.trace.integer("element", element);
}

template <class C>
void parameter(C& call, GRBenv* env, const char* paramname) {
  call.env(env).trace.text("param", paramname);
}

// The value a call read or wrote, by its type.
template <class C>
void value(C& call, int value) {
  call.trace.integer("value", value);
}
template <class C>
void value(C& call, double value) {
  call.trace.number("value", value);
}
template <class C>
void value(C& call, const char* value) {
  call.trace.text("value", value);
}

template <class C>
void values(C& call, const double* values, int len) {
  call.trace.numbers("values", values, len);
}

// The status a solve ended with.
template <class C>
void status(C& call, int status) {
  call.trace.integer("status", status);
}

}  // namespace standin::record

#endif
