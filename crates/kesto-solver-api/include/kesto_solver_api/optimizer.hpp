#pragma once
// The two interfaces the Python layer programs against: ModelLike builds a
// model, Optimizer solves it and reads results. Implementations are called
// directly; the concepts only check that one provides every operation.

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kesto_core/attributes.hpp"
#include "kesto_core/errors.hpp"
#include "kesto_core/functions/function.hpp"
#include "kesto_core/sets.hpp"
#include "kesto_solver_api/utils.hpp"

namespace kesto {

// Outcome of a solve; the numbers reach Python unchanged.
enum class SolveStatus : int {
  Other = 0,
  Optimal = 1,
  Infeasible = 2,
  Unbounded = 3,
  Suboptimal = 4,
};

// The first item of new data that the solver's rules refuse, found before
// any call: the input it is in, its position there, the rule it breaks and
// what it is.
struct Breach {
  enum Input { Types, LowerBounds, UpperBounds, Names, Coefficients, Constant, RightHandSide };
  enum Rule {
    TypeCode,      // not one of the solver's variable type codes
    NotNaN,        // NaN where any other number is taken
    Finite,        // NaN or infinite where only finite numbers are taken
    MergedFinite,  // the terms of a variable named twice add up to an infinite coefficient
    NameLength,    // a name longer than the solver takes
  };
  Input input;
  Rule rule;
  std::size_t item = 0;  // position within the input; 0 for a single value
  double value = 0.0;    // the number, the type's code point, or the name's length in bytes
};

// A call that the solver answered with a nonzero error code, or would have:
// then `breach` says why.
struct SolverRefusal {
  int code;
  std::optional<Breach> breach = std::nullopt;
};

// Why a batch of variables was not added: input that cannot be handed to the
// solver at all, or the solver's refusal of the batch.
struct VariableRefusal {
  enum Kind {
    NameContainsNul,
    CountTooLarge,
    // A names, types or bounds list holds fewer than n entries.
    SequenceTooShort,
    SolverRefused,
  };
  VariableRefusal(Kind kind, int code = 0, std::optional<Breach> breach = std::nullopt)
      : kind(kind), code(code), breach(breach) {}
  Kind kind;
  int code;                      // the solver's error code, for SolverRefused
  std::optional<Breach> breach;  // for SolverRefused before the call
};

// A constraint the solver refused. The constraints before it in its batch stay
// added; it and those after it are not.
struct ConstraintRefusal {
  std::uint64_t index;  // the index the refused constraint would have had
  int code;
  std::optional<Breach> breach = std::nullopt;  // what the rules refused, before the call
};

// The objective is either not expressible or refused by the solver.
using ObjectiveError = std::variant<KestoError, SolverRefusal>;

// A parameter that stays unset although the call succeeds, and why.
struct UnsetParameter {
  std::string name;  // the solver's parameter name
  std::string reason;
};
using ParameterOutcome = std::optional<UnsetParameter>;

using VariableIndices = std::vector<std::uint64_t>;
using ConstraintIndices = std::vector<std::uint64_t>;

template <class T>
concept ModelLike = requires(T& model, std::optional<std::string_view> name, std::optional<char32_t> vtype,
                             std::optional<double> bound, std::uint64_t n, std::optional<NameType> names,
                             std::optional<std::vector<char32_t>> vtypes, std::optional<BoundType> bounds,
                             ScalarFunctionType function, ScalarSetType set, bool maximise,
                             std::optional<std::string> constraint_name, std::vector<ScalarFunctionType> functions,
                             std::vector<ScalarSetType> sets, std::optional<std::vector<std::string>> constraint_names,
                             OptimizerAttr attr, AttrValue value) {
  { model.add_variable(name, vtype, bound, bound) } -> std::same_as<std::expected<std::uint64_t, VariableRefusal>>;
  {
    model.add_variables(n, std::move(names), std::move(vtypes), std::move(bounds), std::move(bounds))
    } -> std::same_as<std::expected<VariableIndices, VariableRefusal>>;
  { model.set_objective(std::move(function), maximise) } -> std::same_as<std::expected<void, ObjectiveError>>;
  {
    model.add_constraint(std::move(function), set, std::move(constraint_name))
    } -> std::same_as<std::expected<std::uint64_t, ConstraintRefusal>>;
  {
    model.add_constraints(std::move(functions), std::move(sets), std::move(constraint_names))
    } -> std::same_as<std::expected<ConstraintIndices, ConstraintRefusal>>;
  {
    model.set_optimizer_attr(std::move(attr), std::move(value))
    } -> std::same_as<std::expected<ParameterOutcome, KestoError>>;
  { model.update() } -> std::same_as<std::expected<void, KestoError>>;
};

template <class T>
concept Optimizer = requires(T& model, const T& reader, std::uint64_t index) {
  { reader.get_var_value(index) } -> std::same_as<std::optional<double>>;
  { reader.get_objective_value() } -> std::same_as<std::optional<double>>;
  { model.optimize() } -> std::same_as<std::expected<SolveStatus, KestoError>>;
};

}  // namespace kesto
