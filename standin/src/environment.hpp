// An environment: a parameter table with an identity. Loading environments come from
// GRBloadenv; every model owns one more, copied from the environment it was built in.
#ifndef STANDIN_ENVIRONMENT_HPP
#define STANDIN_ENVIRONMENT_HPP

#include <memory>
#include <optional>

#include "handles.hpp"
#include "parameters.hpp"

namespace standin {

enum class EnvKind { Loading, Model };

class Environment {
 public:
  // A loading environment; a non-null log file name sets the LogFile parameter.
  static Result<std::unique_ptr<Environment>> create_loading(const char* logfile);

  // A model's own copy of another environment's parameters.
  Environment(EnvKind kind, const ParameterSet& params);
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;

  EnvKind kind() const { return kind_; }
  int id() const { return id_; }
  const char* kind_name() const;
  ParameterSet& params() { return params_; }
  const ParameterSet& params() const { return params_; }

 private:
  EnvKind kind_;
  int id_;
  ParameterSet params_;
  std::optional<LiveToken> live_;  // only loading environments are counted
};

}  // namespace standin

#endif
