#include "parameters.hpp"

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

constexpr std::array<ParamSpec, kParamCount> kSpecs{{
    {GRB_INT_PAR_OUTPUTFLAG, ParamType::Int, 1, 0, 1},
    {GRB_INT_PAR_LOGTOCONSOLE, ParamType::Int, 1, 0, 1},
    {GRB_DBL_PAR_TIMELIMIT, ParamType::Double, kInf, 0, kInf},
    {GRB_DBL_PAR_MIPGAP, ParamType::Double, 1e-4, 0, kInf},
    {GRB_DBL_PAR_MIPGAPABS, ParamType::Double, 1e-10, 0, kInf},
    {GRB_INT_PAR_THREADS, ParamType::Int, 0, 0, 1024},
    {GRB_INT_PAR_SEED, ParamType::Int, 0, 0, 2000000000},
    {GRB_INT_PAR_PRESOLVE, ParamType::Int, -1, -1, 2},
    {GRB_INT_PAR_METHOD, ParamType::Int, -1, -1, 5},
    {GRB_DBL_PAR_ITERATIONLIMIT, ParamType::Double, kInf, 0, kInf},
    {GRB_DBL_PAR_NODELIMIT, ParamType::Double, kInf, 0, kInf},
    {GRB_INT_PAR_SOLUTIONLIMIT, ParamType::Int, 2000000000, 1, 2000000000},
    {GRB_DBL_PAR_FEASIBILITYTOL, ParamType::Double, 1e-6, 1e-9, 1e-2},
    {GRB_DBL_PAR_OPTIMALITYTOL, ParamType::Double, 1e-6, 1e-9, 1e-2},
    {GRB_DBL_PAR_INTFEASTOL, ParamType::Double, 1e-5, 1e-9, 1e-1},
    {GRB_STR_PAR_LOGFILE, ParamType::String, 0, 0, 0},
}};

std::optional<std::size_t> lookup(std::string_view name) {
  for (std::size_t i = 0; i < kSpecs.size(); ++i) {
    if (equals_ignore_case(kSpecs[i].name, name)) return i;
  }
  return std::nullopt;
}

}  // namespace

ParameterSet::ParameterSet() {
  for (std::size_t i = 0; i < kSpecs.size(); ++i) {
    if (kSpecs[i].type == ParamType::Int) ints_[i] = static_cast<int>(kSpecs[i].default_value);
    if (kSpecs[i].type == ParamType::Double) doubles_[i] = kSpecs[i].default_value;
  }
}

Result<std::size_t> ParameterSet::find(std::string_view name, ParamType type) const {
  auto i = lookup(name);
  if (!i || kSpecs[*i].type != type) return std::unexpected(Error::UnknownParameter);
  return *i;
}

Result<void> ParameterSet::store_int(std::size_t i, int value) {
  if (value < kSpecs[i].min || value > kSpecs[i].max) return std::unexpected(Error::ValueOutOfRange);
  ints_[i] = value;
  return {};
}

Result<void> ParameterSet::store_double(std::size_t i, double value) {
  if (std::isnan(value) || value < kSpecs[i].min || value > kSpecs[i].max) {
    return std::unexpected(Error::ValueOutOfRange);
  }
  doubles_[i] = value;
  return {};
}

Result<void> ParameterSet::store_string(std::size_t i, std::string_view value) {
  if (value.size() > kMaxStringParam) return std::unexpected(Error::InvalidArgument);
  strings_[i].assign(value);
  return {};
}

Result<int> ParameterSet::get_int(std::string_view name) const {
  auto i = find(name, ParamType::Int);
  if (!i) return std::unexpected(i.error());
  return ints_[*i];
}

Result<double> ParameterSet::get_double(std::string_view name) const {
  auto i = find(name, ParamType::Double);
  if (!i) return std::unexpected(i.error());
  return doubles_[*i];
}

Result<const std::string*> ParameterSet::get_string(std::string_view name) const {
  auto i = find(name, ParamType::String);
  if (!i) return std::unexpected(i.error());
  return &strings_[*i];
}

Result<void> ParameterSet::set_int(std::string_view name, int value) {
  auto i = find(name, ParamType::Int);
  if (!i) return std::unexpected(i.error());
  return store_int(*i, value);
}

Result<void> ParameterSet::set_double(std::string_view name, double value) {
  auto i = find(name, ParamType::Double);
  if (!i) return std::unexpected(i.error());
  return store_double(*i, value);
}

Result<void> ParameterSet::set_string(std::string_view name, std::string_view value) {
  auto i = find(name, ParamType::String);
  if (!i) return std::unexpected(i.error());
  return store_string(*i, value);
}

Result<void> ParameterSet::set_text(std::string_view name, std::string_view text) {
  auto i = lookup(name);
  if (!i) return std::unexpected(Error::UnknownParameter);
  switch (kSpecs[*i].type) {
    case ParamType::Int: {
      auto value = parse_int(text);
      if (!value) return std::unexpected(Error::InvalidArgument);
      return store_int(*i, *value);
    }
    case ParamType::Double: {
      auto value = parse_double(text);
      if (!value) return std::unexpected(Error::InvalidArgument);
      return store_double(*i, *value);
    }
    case ParamType::String: return store_string(*i, text);
  }
  return std::unexpected(Error::UnknownParameter);
}

}  // namespace standin
