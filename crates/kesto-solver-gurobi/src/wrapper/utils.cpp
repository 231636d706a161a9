#include "kesto_solver_gurobi/wrapper/utils.hpp"

#include <optional>
#include <type_traits>
#include <variant>

namespace kesto::gurobi {
namespace {

struct SetTranslation {
  char sense;
  double value;
};

std::optional<SetTranslation> translate_set(const ScalarSetType& set) {
  if (const auto* s = std::get_if<GreaterEqual>(&set)) return SetTranslation{GRB_GREATER_EQUAL, s->value};
  if (const auto* s = std::get_if<LessEqual>(&set)) return SetTranslation{GRB_LESS_EQUAL, s->value};
  if (const auto* s = std::get_if<Equal>(&set)) return SetTranslation{GRB_EQUAL, s->value};
  return std::nullopt;
}

// The terms' variables as 64-bit indices, or as Gurobi's ints.
template <class Index>
void split_terms(const Affine& affine, std::vector<Index>& indices, std::vector<double>& coefficients) {
  indices.clear();
  coefficients.clear();
  indices.reserve(affine.terms.size());
  coefficients.reserve(affine.terms.size());
  for (const Term& term : affine.terms) {
    if constexpr (std::is_same_v<Index, int>) {
      indices.push_back(to_grb_int(term.variable));
    } else {
      indices.push_back(term.variable);
    }
    coefficients.push_back(term.coefficient);
  }
}

}  // namespace

std::expected<GrbFunction, std::string> scalar_function_to_grb(const ScalarFunctionType& function) {
  const auto* affine = std::get_if<Affine>(&function);
  if (affine == nullptr) return std::unexpected(std::string("Unsupported function type"));
  GrbFunction result;
  split_terms(*affine, result.indices, result.coefficients);
  result.constant = affine->constant;
  return result;
}

std::expected<GrbRow, std::string> scalar_constraint_to_grb(const ConstraintRecord& constraint, GrbRow storage) {
  const auto set = translate_set(constraint.set);
  if (!set) return std::unexpected(std::string("Unsupported constraint set type"));
  const auto* affine = std::get_if<Affine>(&constraint.function);
  if (affine == nullptr) return std::unexpected(std::string("Unsupported function type in constraint"));
  GrbRow result = std::move(storage);
  split_terms(*affine, result.indices, result.coefficients);
  result.sense = set->sense;
  result.rhs = grb_rhs(set->value, affine->constant);
  return result;
}

}  // namespace kesto::gurobi
