// The parameters the stand-in knows, with Gurobi's names, types, defaults and ranges.
#ifndef STANDIN_PARAMETERS_HPP
#define STANDIN_PARAMETERS_HPP

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "errors.hpp"
#include "parameter_list.hpp"

namespace standin {

enum class ParamType { Int, Double, String };

// Every Gurobi parameter, in the order of the list, which is also the order of the table.
enum class Param : std::size_t {
#define STANDIN_PARAMETER_ENUM(name, type, default_value, min, max, text) name,
  STANDIN_PARAMETERS(STANDIN_PARAMETER_ENUM)
#undef STANDIN_PARAMETER_ENUM
};

#define STANDIN_PARAMETER_ONE(name, type, default_value, min, max, text) +1
inline constexpr std::size_t kParamCount = 0 STANDIN_PARAMETERS(STANDIN_PARAMETER_ONE);
#undef STANDIN_PARAMETER_ONE

#define STANDIN_PARAMETER_TEXT(name, type, default_value, min, max, text) +(ParamType::type == ParamType::String)
inline constexpr std::size_t kStringParamCount = 0 STANDIN_PARAMETERS(STANDIN_PARAMETER_TEXT);
#undef STANDIN_PARAMETER_TEXT

struct ParamSpec {
  std::string_view name;
  ParamType type;
  double default_value;  // for Int and Double parameters
  double min;
  double max;
  std::string_view default_text;  // for String parameters
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

  int int_value(Param param) const { return static_cast<int>(numbers_[index(param)]); }
  double double_value(Param param) const { return numbers_[index(param)]; }
  const std::string& string_value(Param param) const;

 private:
  static constexpr std::size_t index(Param param) { return static_cast<std::size_t>(param); }
  Result<std::size_t> find(std::string_view name, ParamType type) const;
  // As find, and 10003 for a parameter a started environment does not change.
  Result<std::size_t> find_settable(std::string_view name, ParamType type) const;
  Result<void> store_number(std::size_t i, double value);
  Result<void> store_string(std::size_t i, std::string_view value);

  // Int and Double values (every int fits a double exactly), then String values in their own slots.
  std::array<double, kParamCount> numbers_{};
  std::array<std::string, kStringParamCount> strings_{};
};

}  // namespace standin

#endif
