// Fault injection for tests: GRB_STANDIN_FAIL=NAME=CODE[,NAME=CODE...] makes the named
// functions return CODE without doing anything; GRBgetenv=null makes GRBgetenv return null.
#ifndef STANDIN_FAULTS_HPP
#define STANDIN_FAULTS_HPP

#include <optional>
#include <string_view>

namespace standin {

struct Fault {
  bool null_pointer = false;  // "null": for functions that return a pointer
  int code = 0;
};

// The fault `setting` (the variable's text, or null) names for `fn`.
std::optional<Fault> injected_fault(const char* setting, std::string_view fn);

}  // namespace standin

#endif
