// An environment: a parameter table and the test switches, with an identity. Loading
// environments come from GRBloadenv; every model owns one more, copied from the environment
// it was built in.
#ifndef STANDIN_ENVIRONMENT_HPP
#define STANDIN_ENVIRONMENT_HPP

#include <memory>
#include <optional>

#include "handles.hpp"
#include "parameters.hpp"
#include "switches.hpp"

namespace standin {

enum class EnvKind { Loading, Model };

class Environment {
 public:
  // A loading environment keeping `switches`; a non-null log file name sets the LogFile
  // parameter.
  static Result<std::unique_ptr<Environment>> create_loading(const char* logfile, const Switches& switches);

  // A model's own copy of another environment's parameters and switches.
  Environment(EnvKind kind, const ParameterSet& params, const KeptSwitches& switches);
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;

  EnvKind kind() const { return kind_; }
  int id() const { return id_; }
  const char* kind_name() const;
  ParameterSet& params() { return params_; }
  const ParameterSet& params() const { return params_; }
  const KeptSwitches& switches() const { return switches_; }

 private:
  EnvKind kind_;
  int id_;
  ParameterSet params_;
  KeptSwitches switches_;
  std::optional<LiveToken> live_;  // only loading environments are counted
};

}  // namespace standin

#endif
