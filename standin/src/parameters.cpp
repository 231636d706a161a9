#include "parameters.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "kesto_solver_gurobi/gurobi_constants.h"
#include "text.hpp"

namespace standin {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
// A string parameter must fit GRBgetstrparam's buffer with its terminator.
constexpr std::size_t kMaxStringParam = GRB_MAX_STRLEN - 1;
constexpr double kUnlimitedInt = 2e9;

constexpr std::array<ParamSpec, kParamCount> kSpecs{{
#define STANDIN_PARAMETER_SPEC(name, type, default_value, min, max, text) \
  {#name, ParamType::type, default_value, min, max, text},
    STANDIN_PARAMETERS(STANDIN_PARAMETER_SPEC)
#undef STANDIN_PARAMETER_SPEC
}};

// Lookup is a binary search: the list must be sorted, without repeats, as names compare.
constexpr bool sorted_without_repeats() {
  for (std::size_t i = 1; i < kSpecs.size(); ++i) {
    if (!less_ignore_case(kSpecs[i - 1].name, kSpecs[i].name)) return false;
  }
  return true;
}
static_assert(sorted_without_repeats(), "parameter_list.hpp must be sorted by name without regard to case");

// Each String parameter's place among the String values.
constexpr std::array<std::size_t, kParamCount> kStringSlots = [] {
  std::array<std::size_t, kParamCount> slots{};
  std::size_t next = 0;
  for (std::size_t i = 0; i < kSpecs.size(); ++i) {
    if (kSpecs[i].type == ParamType::String) slots[i] = next++;
  }
  return slots;
}();

// Parameters a started environment refuses to change, as Gurobi 13.0.3 does (10003, measured): the
// thread limit, the job id, the recording switch, and those of Compute Server, Cloud, token servers
// and licences. Every environment of the stand-in is started when it is made.
constexpr std::array<std::string_view, 25> kFixedAfterStart{
    "CloudAccessID",  "CloudHost",   "CloudPool",   "CloudSecretKey", "ComputeServer",    "CSAPIAccessID",
    "CSAPISecret",    "CSAuthToken", "CSBatchMode", "CSGroup",        "CSManager",        "CSRouter",
    "JobID",          "LicenseID",   "Record",      "ServerPassword", "ServerTimeout",    "ThreadLimit",
    "TokenServer",    "UserName",    "WLSAccessID", "WLSProxy",       "WLSSecret",        "WLSTokenDuration",
    "WLSTokenRefresh",
};

bool fixed_after_start(std::string_view name) {
  return std::ranges::any_of(kFixedAfterStart, [&](std::string_view fixed) { return equals_ignore_case(fixed, name); });
}

std::optional<std::size_t> lookup(std::string_view name) {
  const auto found =
      std::lower_bound(kSpecs.begin(), kSpecs.end(), name,
                       [](const ParamSpec& param, std::string_view key) { return less_ignore_case(param.name, key); });
  if (found == kSpecs.end() || !equals_ignore_case(found->name, name)) return std::nullopt;
  return static_cast<std::size_t>(found - kSpecs.begin());
}

}  // namespace

ParameterSet::ParameterSet() {
  for (std::size_t i = 0; i < kSpecs.size(); ++i) {
    if (kSpecs[i].type == ParamType::String) {
      strings_[kStringSlots[i]].assign(kSpecs[i].default_text);
    } else {
      numbers_[i] = kSpecs[i].default_value;
    }
  }
}

const std::string& ParameterSet::string_value(Param param) const { return strings_[kStringSlots[index(param)]]; }

Result<std::size_t> ParameterSet::find(std::string_view name, ParamType type) const {
  auto i = lookup(name);
  if (!i || kSpecs[*i].type != type) return std::unexpected(Error::UnknownParameter);
  return *i;
}

Result<std::size_t> ParameterSet::find_settable(std::string_view name, ParamType type) const {
  auto i = find(name, type);
  if (i && fixed_after_start(name)) return std::unexpected(Error::InvalidArgument);
  return i;
}

Result<void> ParameterSet::store_number(std::size_t i, double value) {
  // An int whose maximum stands for "no limit" (2e9) is taken as that maximum above it, as
  // Gurobi does; other ranges are checked.
  if (kSpecs[i].type == ParamType::Int && kSpecs[i].max >= kUnlimitedInt) value = std::min(value, kSpecs[i].max);
  if (std::isnan(value) || value < kSpecs[i].min || value > kSpecs[i].max) {
    return std::unexpected(Error::ValueOutOfRange);
  }
  numbers_[i] = value;
  return {};
}

Result<void> ParameterSet::store_string(std::size_t i, std::string_view value) {
  if (value.size() > kMaxStringParam) return std::unexpected(Error::InvalidArgument);
  strings_[kStringSlots[i]].assign(value);
  return {};
}

Result<int> ParameterSet::get_int(std::string_view name) const {
  auto i = find(name, ParamType::Int);
  if (!i) return std::unexpected(i.error());
  return static_cast<int>(numbers_[*i]);
}

Result<double> ParameterSet::get_double(std::string_view name) const {
  auto i = find(name, ParamType::Double);
  if (!i) return std::unexpected(i.error());
  return numbers_[*i];
}

Result<const std::string*> ParameterSet::get_string(std::string_view name) const {
  auto i = find(name, ParamType::String);
  if (!i) return std::unexpected(i.error());
  return &strings_[kStringSlots[*i]];
}

Result<void> ParameterSet::set_int(std::string_view name, int value) {
  auto i = find_settable(name, ParamType::Int);
  if (!i) return std::unexpected(i.error());
  return store_number(*i, value);
}

Result<void> ParameterSet::set_double(std::string_view name, double value) {
  auto i = find_settable(name, ParamType::Double);
  if (!i) return std::unexpected(i.error());
  return store_number(*i, value);
}

Result<void> ParameterSet::set_string(std::string_view name, std::string_view value) {
  auto i = find_settable(name, ParamType::String);
  if (!i) return std::unexpected(i.error());
  return store_string(*i, value);
}

Result<void> ParameterSet::set_text(std::string_view name, std::string_view text) {
  auto i = lookup(name);
  if (!i) return std::unexpected(Error::UnknownParameter);
  if (fixed_after_start(name)) return std::unexpected(Error::InvalidArgument);
  switch (kSpecs[*i].type) {
    case ParamType::Int: {
      auto value = parse_int(text);
      if (!value) return std::unexpected(Error::InvalidArgument);
      return store_number(*i, *value);
    }
    case ParamType::Double: {
      auto value = parse_double(text);
      if (!value) return std::unexpected(Error::InvalidArgument);
      return store_number(*i, *value);
    }
    case ParamType::String: return store_string(*i, text);
  }
  return std::unexpected(Error::UnknownParameter);
}

}  // namespace standin
