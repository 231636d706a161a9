// The attributes the stand-in knows: Gurobi's names, value types, and whether they belong
// to the model or to each variable.
#ifndef STANDIN_ATTRIBUTES_HPP
#define STANDIN_ATTRIBUTES_HPP

#include <string_view>

#include "errors.hpp"

namespace standin {

enum class Attr {
  ModelSense,
  NumVars,
  NumConstrs,
  NumNZs,
  IsMIP,
  Status,
  SolCount,
  ObjCon,
  ObjVal,
  Runtime,
  ModelName,
  Obj,
  LB,
  UB,
  X,
};

enum class AttrType { Int, Double, String };
enum class AttrScope { Model, Variable };

struct AttrDescriptor {
  std::string_view name;
  Attr attr;
  AttrType type;
  AttrScope scope;
  bool settable;
};

// Finds an attribute of the given type and scope. A name that exists with another type
// or scope is reported as unknown, as for parameters of the wrong type.
Result<const AttrDescriptor*> find_attribute(std::string_view name, AttrType type, AttrScope scope);

}  // namespace standin

#endif
