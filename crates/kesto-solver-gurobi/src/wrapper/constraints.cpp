// Linear constraints (one GRBaddconstr per row) and the objective.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "kesto_solver_gurobi/wrapper/accepted.hpp"
#include "kesto_solver_gurobi/wrapper/utils.hpp"
#include "kesto_solver_gurobi/wrapper/wrapper.hpp"

namespace kesto::gurobi {
namespace {

// Gurobi takes an infinite objective coefficient, but not NaN, and only a
// finite constant.
std::optional<Breach> objective_breach(const GrbFunction& objective) {
  for (std::size_t k = 0; k < objective.coefficients.size(); ++k) {
    if (auto breach = value_breach(Breach::Coefficients, k, objective.coefficients[k])) return breach;
  }
  return objective_constant_breach(objective.constant);
}

// The value a one-sided set compares with; none for an interval.
std::optional<double> set_value(const ScalarSetType& set) {
  if (const auto* s = std::get_if<GreaterEqual>(&set)) return s->value;
  if (const auto* s = std::get_if<LessEqual>(&set)) return s->value;
  if (const auto* s = std::get_if<Equal>(&set)) return s->value;
  return std::nullopt;
}

// Whether the row's coefficients stay finite once each variable's terms are
// added up, as Gurobi is handed them.
bool merges_finite_terms(const Affine& affine) {
  std::vector<int> indices;
  std::vector<double> coefficients;
  for (const Term& term : affine.terms) {
    indices.push_back(to_grb_int(term.variable));
    coefficients.push_back(term.coefficient);
  }
  return merges_finite(std::move(indices), std::move(coefficients));
}

// What Gurobi would refuse in the row, if anything: it takes finite
// coefficients (also once a variable's terms are added up), a constant and a
// right-hand side that are not NaN, a name of at most 255 bytes. Rows the
// conversion refuses (not affine, an interval) are left to it.
std::optional<Breach> row_breach(const ScalarFunctionType& function, const ScalarSetType& set, std::string_view name) {
  const auto* affine = std::get_if<Affine>(&function);
  const auto value = set_value(set);
  if (affine == nullptr || !value) return std::nullopt;
  double magnitude = 0.0;
  for (std::size_t k = 0; k < affine->terms.size(); ++k) {
    magnitude += std::fabs(affine->terms[k].coefficient);
    if (auto breach = coefficient_breach(k, affine->terms[k].coefficient)) return breach;
  }
  if (!std::isfinite(magnitude) && !merges_finite_terms(*affine)) return merged_breach();
  if (auto breach = value_breach(Breach::Constant, 0, affine->constant)) return breach;
  if (auto breach = value_breach(Breach::RightHandSide, 0, *value - affine->constant)) {
    breach->value = *value;
    return breach;
  }
  return name_breach(0, name);
}

// The rows of add_constraints: its functions and sets as Gurobi's rows; a
// row the conversion refuses (not affine, an interval) is left out.
class FunctionRows final : public RowSource {
 public:
  FunctionRows(const std::vector<ScalarFunctionType>& functions, const std::vector<ScalarSetType>& sets,
               const std::optional<std::vector<std::string>>& names, std::size_t count)
      : functions_(functions), sets_(sets), names_(names), count_(count) {}

  std::size_t count() const override { return count_; }
  bool read(std::size_t i, GrbRow& row) const override {
    auto converted = scalar_constraint_to_grb({functions_[i], sets_[i]}, std::move(row));
    if (!converted) return false;
    row = std::move(*converted);
    return true;
  }
  const char* name(std::size_t i) const override {
    return names_ && i < names_->size() ? (*names_)[i].c_str() : nullptr;
  }

 private:
  const std::vector<ScalarFunctionType>& functions_;
  const std::vector<ScalarSetType>& sets_;
  const std::optional<std::vector<std::string>>& names_;
  std::size_t count_;
};

}  // namespace

std::expected<void, ObjectiveError> GurobiOptimizer::set_objective(ScalarFunctionType function, bool maximise) {
  auto objective = scalar_function_to_grb(function);
  if (!objective) return std::unexpected(KestoError(kesto_error::Msg{std::move(objective.error())}));
  return set_objective_terms(*objective, maximise);
}

std::expected<void, ObjectiveError> GurobiOptimizer::set_objective_terms(const GrbFunction& objective, bool maximise) {
  // An objective Gurobi would refuse is refused before anything changes.
  if (auto breach = objective_breach(objective)) {
    return std::expected<void, ObjectiveError>(std::unexpect, std::in_place_type<SolverRefusal>,
                                               GRB_ERROR_INVALID_ARGUMENT, breach);
  }
  if (const int code = write_objective(objective, maximise); code != 0) {
    recount();
    // Built in place: moving a finished ObjectiveError into the result makes
    // GCC 12 report a false maybe-uninitialized in the variant's other member.
    return std::expected<void, ObjectiveError>(std::unexpect, std::in_place_type<SolverRefusal>, code);
  }
  return {};
}

int GurobiOptimizer::write_objective(const GrbFunction& objective, bool maximise) {
  std::vector<double> zeros(var_count_, 0.0);
  const int range_code = api().GRBsetdblattrarray(model_, GRB_DBL_ATTR_OBJ, 0, to_grb_int(var_count_), zeros.data());
  if (range_code != 0) {
    // A refused range is tried again one variable at a time, and only a
    // refusal there is reported, so that no coefficient of the previous
    // objective survives unnoticed. When that refusal names a variable that
    // is gone, the range's refusal discarded it: its code is the cause.
    for (std::uint64_t i = 0; i < var_count_; ++i) {
      if (const int code = api().GRBsetdblattrelement(model_, GRB_DBL_ATTR_OBJ, to_grb_int(i), 0.0); code != 0) {
        return code == GRB_ERROR_INDEX_OUT_OF_RANGE ? range_code : code;
      }
    }
  }
  for (std::size_t k = 0; k < objective.indices.size(); ++k) {
    const int code = api().GRBsetdblattrelement(model_, GRB_DBL_ATTR_OBJ, to_grb_int(objective.indices[k]),
                                                objective.coefficients[k]);
    if (code != 0) return code;
  }
  if (const int code = api().GRBsetdblattr(model_, GRB_DBL_ATTR_OBJCON, objective.constant); code != 0) return code;
  return api().GRBsetintattr(model_, GRB_INT_ATTR_MODELSENSE, maximise ? GRB_MAXIMIZE : GRB_MINIMIZE);
}

std::expected<ConstraintIndices, ConstraintRefusal> GurobiOptimizer::add_constraints(
    std::vector<ScalarFunctionType> functions, std::vector<ScalarSetType> sets,
    std::optional<std::vector<std::string>> names) {
  const std::size_t count = std::min(functions.size(), sets.size());
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view name = names && i < names->size() ? std::string_view((*names)[i]) : std::string_view();
    if (auto breach = row_breach(functions[i], sets[i], name)) {
      return std::unexpected(ConstraintRefusal{constr_count_ + i, GRB_ERROR_INVALID_ARGUMENT, breach});
    }
  }
  return add_rows(FunctionRows(functions, sets, names, count));
}

std::expected<ConstraintIndices, ConstraintRefusal> GurobiOptimizer::add_rows(const RowSource& rows) {
  const std::uint64_t base = constr_count_;
  const std::size_t count = rows.count();
  ConstraintIndices result;
  result.reserve(count);
  // One row's arrays, reused from row to row, so that a batch allocates them
  // once.
  GrbRow row;
  GrbRowView in_place;
  RepeatedTerms repeats(var_count_);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint64_t index = base + i;
    int code = 0;
    if (rows.view(i, in_place) && !repeats.any(in_place.indices, in_place.terms)) {
      code = add_grb_terms(in_place, rows.name(i), index);
    } else if (rows.read(i, row)) {
      code = add_grb_row(row, rows.name(i), index, repeats);
    }
    if (code != 0) return std::unexpected(ConstraintRefusal{index, code});
    result.push_back(index);
  }
  constr_count_ = base + result.size();
  return result;
}

std::expected<std::uint64_t, ConstraintRefusal> GurobiOptimizer::add_row(GrbRow& row, const char* name) {
  const std::uint64_t index = constr_count_;
  RepeatedTerms repeats(var_count_);
  if (const int code = add_grb_row(row, name, index, repeats); code != 0) {
    return std::unexpected(ConstraintRefusal{index, code});
  }
  return constr_count_++;
}

int GurobiOptimizer::add_grb_row(GrbRow& row, const char* name, std::uint64_t index, RepeatedTerms& repeats) {
  repeats.merge(row.indices, row.coefficients);
  return add_grb_terms({row.indices.data(), row.coefficients.data(), row.indices.size(), row.sense, row.rhs}, name,
                       index);
}

int GurobiOptimizer::add_grb_terms(const GrbRowView& row, const char* name, std::uint64_t index) {
  char default_name[std::numeric_limits<std::uint64_t>::digits10 + 3] = {'c'};
  if (name == nullptr) {
    *std::to_chars(default_name + 1, default_name + sizeof default_name - 1, index).ptr = '\0';
    name = default_name;
  }
  // Gurobi's prototype takes the arrays as mutable; it only reads them.
  const int code = api().GRBaddconstr(model_, to_grb_int(row.terms), const_cast<int*>(row.indices),
                                      const_cast<double*>(row.coefficients), row.sense, row.rhs, name);
  if (code != 0) {
    // The rows before this one count as added unless Gurobi says that it
    // discarded them.
    constr_count_ = index;
    recount();
  }
  return code;
}

std::expected<std::uint64_t, ConstraintRefusal> GurobiOptimizer::add_constraint(ScalarFunctionType function,
                                                                                ScalarSetType set,
                                                                                std::optional<std::string> name) {
  std::vector<ScalarFunctionType> functions;
  functions.push_back(std::move(function));
  std::optional<std::vector<std::string>> names;
  if (name) names = std::vector<std::string>{std::move(*name)};
  auto indices = add_constraints(std::move(functions), {set}, std::move(names));
  if (!indices) return std::unexpected(indices.error());
  return indices->front();
}

}  // namespace kesto::gurobi
