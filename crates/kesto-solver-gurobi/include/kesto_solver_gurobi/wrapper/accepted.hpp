#pragma once
// What Gurobi takes in the data of new variables, rows and the objective; it
// refuses anything else with GRB_ERROR_INVALID_ARGUMENT. A batch is checked
// against these rules before its first Gurobi call, so that a refused call is
// rare: a refused call discards every change Gurobi has not applied yet.

#include <cmath>
#include <cstddef>
#include <optional>
#include <string_view>

#include "kesto_solver_api/optimizer.hpp"
#include "kesto_solver_gurobi/gurobi_constants.h"

namespace kesto::gurobi {

// Bounds, right-hand sides, constants and objective coefficients: anything
// but NaN.
inline bool accepted_value(double value) { return !std::isnan(value); }

// Row coefficients: finite numbers, also once the terms of a variable named
// more than once in a row are added up (see merges_finite in utils.hpp).
inline bool accepted_coefficient(double value) { return std::isfinite(value); }

// The objective's constant: a finite number. Gurobi refuses ObjCon ±inf only
// after the new coefficients are written.
inline bool accepted_objective_constant(double value) { return std::isfinite(value); }

// Names of variables and constraints: at most GRB_MAX_NAMELEN bytes.
inline bool accepted_name(std::string_view name) { return name.size() <= GRB_MAX_NAMELEN; }

// Variable type bytes: Gurobi's five codes, in upper or lower case.
inline bool accepted_type(char code) {
  switch (code) {
    case GRB_CONTINUOUS:
    case GRB_BINARY:
    case GRB_INTEGER:
    case GRB_SEMICONT:
    case GRB_SEMIINT:
    case 'c':
    case 'b':
    case 'i':
    case 's':
    case 'n': return true;
    default: return false;
  }
}

// The same rules, saying what breaks them: item `item` of `input`, or nothing
// when Gurobi would take it.
inline std::optional<Breach> value_breach(Breach::Input input, std::size_t item, double value) {
  if (accepted_value(value)) return std::nullopt;
  return Breach{input, Breach::NotNaN, item, value};
}
inline std::optional<Breach> coefficient_breach(std::size_t item, double value) {
  if (accepted_coefficient(value)) return std::nullopt;
  return Breach{Breach::Coefficients, Breach::Finite, item, value};
}
inline std::optional<Breach> objective_constant_breach(double value) {
  if (accepted_objective_constant(value)) return std::nullopt;
  return Breach{Breach::Constant, Breach::Finite, 0, value};
}
// A row whose coefficients are finite one by one but not once a variable's
// terms are added up.
inline Breach merged_breach() { return Breach{Breach::Coefficients, Breach::MergedFinite}; }
inline std::optional<Breach> name_breach(std::size_t item, std::string_view name) {
  if (accepted_name(name)) return std::nullopt;
  return Breach{Breach::Names, Breach::NameLength, item, static_cast<double>(name.size())};
}
// `byte` is what Gurobi is handed for the type `code`.
inline std::optional<Breach> type_breach(std::size_t item, char byte, char32_t code) {
  if (accepted_type(byte)) return std::nullopt;
  return Breach{Breach::Types, Breach::TypeCode, item, static_cast<double>(code)};
}

}  // namespace kesto::gurobi
