// The parameters the stand-in knows, with Gurobi's names, types, defaults and ranges.
#ifndef STANDIN_PARAMETERS_HPP
#define STANDIN_PARAMETERS_HPP

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "errors.hpp"

namespace standin {

enum class ParamType { Int, Double, String };

enum class Param : std::size_t {
  OutputFlag,
  LogToConsole,
  TimeLimit,
  MIPGap,
  MIPGapAbs,
  Threads,
  Seed,
  Presolve,
  Method,
  IterationLimit,
  NodeLimit,
  SolutionLimit,
  FeasibilityTol,
  OptimalityTol,
  IntFeasTol,
  LogFile,
};

inline constexpr std::size_t kParamCount = static_cast<std::size_t>(Param::LogFile) + 1;

struct ParamSpec {
  std::string_view name;
  ParamType type;
  double default_value;  // for Int and Double parameters
  double min;
  double max;
};

// The value table of one environment. Copying it is how a model gets its own parameters.
class ParameterSet {
 public:
  ParameterSet();
  bool operator==(const ParameterSet&) const = default;

  // Typed access by name, as the C API offers it: a name of another type is unknown (10007).
  Result<int> get_int(std::string_view name) const;
  Result<double> get_double(std::string_view name) const;
  Result<const std::string*> get_string(std::string_view name) const;
  Result<void> set_int(std::string_view name, int value);
  Result<void> set_double(std::string_view name, double value);
  Result<void> set_string(std::string_view name, std::string_view value);
  // Parses the text according to the parameter's type.
  Result<void> set_text(std::string_view name, std::string_view text);

  int int_value(Param param) const { return ints_[index(param)]; }
  double double_value(Param param) const { return doubles_[index(param)]; }
  const std::string& string_value(Param param) const { return strings_[index(param)]; }

 private:
  static constexpr std::size_t index(Param param) { return static_cast<std::size_t>(param); }
  Result<std::size_t> find(std::string_view name, ParamType type) const;
  Result<void> store_int(std::size_t i, int value);
  Result<void> store_double(std::size_t i, double value);
  Result<void> store_string(std::size_t i, std::string_view value);

  std::array<int, kParamCount> ints_{};
  std::array<double, kParamCount> doubles_{};
  std::array<std::string, kParamCount> strings_{};
};

}  // namespace standin

#endif
