// Variable creation: every batch is exactly one GRBaddvars call.

#include <algorithm>
#include <limits>

#include "kesto_solver_gurobi/wrapper/accepted.hpp"
#include "kesto_solver_gurobi/wrapper/utils.hpp"
#include "kesto_solver_gurobi/wrapper/wrapper.hpp"

namespace kesto::gurobi {
namespace {

constexpr double kDefaultLowerBound = 0.0;
constexpr double kDefaultUpperBound = std::numeric_limits<double>::infinity();
constexpr char kDefaultVariableType = GRB_CONTINUOUS;

// Bounds for a batch: a List is lent as it is, anything else materialised.
class BoundArray {
 public:
  BoundArray(std::optional<BoundType>& bounds, std::size_t n, double fallback) {
    if (bounds && std::holds_alternative<bound_type::List>(*bounds)) {
      std::vector<double>& values = std::get<bound_type::List>(*bounds).values;
      data_ = values.data();
      size_ = values.size();
      return;
    }
    const double value = bounds ? std::get<bound_type::Uniform>(*bounds).value : fallback;
    size_ = n;
    // A single variable, the common case of add_variable, needs no heap array.
    if (n == 1) {
      single_ = value;
      data_ = &single_;
      return;
    }
    owned_.assign(n, value);
    data_ = owned_.data();
  }
  BoundArray(const BoundArray&) = delete;
  BoundArray& operator=(const BoundArray&) = delete;

  double* data() { return data_; }
  std::size_t size() const { return size_; }

 private:
  std::vector<double> owned_;
  double single_ = 0.0;
  double* data_ = nullptr;
  std::size_t size_ = 0;
};

// Gurobi is never handed a null array, even for an empty batch.
template <class T>
T* non_null(T* data) {
  static T empty{};
  return data != nullptr ? data : &empty;
}

// A std::string keeps small batches off the heap. A character beyond ASCII is
// no type code whatever its low byte: it becomes a byte that the check refuses.
std::string type_bytes(const std::optional<std::vector<char32_t>>& vtypes, std::size_t n) {
  if (!vtypes) return std::string(n, kDefaultVariableType);
  std::string bytes;
  bytes.reserve(vtypes->size());
  for (const char32_t code : *vtypes) bytes.push_back(code < 0x80 ? static_cast<char>(code) : '\0');
  return bytes;
}

std::vector<std::string> batch_names(std::optional<NameType>& names, std::size_t n, std::uint64_t start) {
  std::vector<std::string> result;
  if (names && std::holds_alternative<name_type::List>(*names)) {
    return std::move(std::get<name_type::List>(*names).names);
  }
  result.reserve(n);
  if (names) {
    const std::string& base = std::get<name_type::Prefix>(*names).base;
    for (std::size_t i = 0; i < n; ++i) result.push_back(base + "_" + std::to_string(i));
  } else {
    for (std::size_t i = 0; i < n; ++i) result.push_back("x" + std::to_string(start + i));
  }
  return result;
}

// What Gurobi would refuse in the first `n` type bytes (`vtypes`: the codes
// they were made from), bounds and names, if anything.
std::optional<Breach> first_breach(std::size_t n, std::string_view types,
                                   const std::optional<std::vector<char32_t>>& vtypes, const double* lower,
                                   const double* upper, const std::vector<std::string>& names) {
  for (std::size_t i = 0; i < n; ++i) {
    if (auto breach = type_breach(i, types[i], vtypes ? (*vtypes)[i] : static_cast<char32_t>(types[i]))) return breach;
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (auto breach = value_breach(Breach::LowerBounds, i, lower[i])) return breach;
    if (auto breach = value_breach(Breach::UpperBounds, i, upper[i])) return breach;
    if (auto breach = name_breach(i, names[i])) return breach;
  }
  return std::nullopt;
}

}  // namespace

std::expected<VariableIndices, VariableRefusal> GurobiOptimizer::add_variables(
    std::uint64_t n, std::optional<NameType> names, std::optional<std::vector<char32_t>> vtypes,
    std::optional<BoundType> lbs, std::optional<BoundType> ubs) {
  if (n > kMaxGrbIndex) return std::unexpected(VariableRefusal::CountTooLarge);
  const std::uint64_t start = var_count_;
  BoundArray lower(lbs, n, kDefaultLowerBound);
  BoundArray upper(ubs, n, kDefaultUpperBound);
  std::string types = type_bytes(vtypes, n);
  std::vector<std::string> name_texts = batch_names(names, n, start);
  if (lower.size() < n || upper.size() < n || types.size() < n || name_texts.size() < n) {
    return std::unexpected(VariableRefusal::SequenceTooShort);
  }
  std::vector<char*> name_pointers;
  name_pointers.reserve(name_texts.size());
  for (std::string& name : name_texts) {
    if (!passes_as_c_string(name)) return std::unexpected(VariableRefusal::NameContainsNul);
    name_pointers.push_back(name.data());
  }
  if (auto breach = first_breach(n, types, vtypes, lower.data(), upper.data(), name_texts)) {
    return std::unexpected(VariableRefusal(VariableRefusal::SolverRefused, GRB_ERROR_INVALID_ARGUMENT, breach));
  }
  // Allocated before Gurobi is called: an allocation failure after it would
  // leave var_count_ behind Gurobi's columns.
  VariableIndices indices(n);
  for (std::uint64_t i = 0; i < n; ++i) indices[i] = start + i;
  const int code =
      api().GRBaddvars(model_, to_grb_int(n), 0, nullptr, nullptr, nullptr, nullptr, non_null(lower.data()),
                       non_null(upper.data()), non_null(types.data()), non_null(name_pointers.data()));
  // A refused batch hands out no index; the variables Gurobi discarded with
  // it are no longer counted.
  if (code != 0) {
    recount();
    return std::unexpected(VariableRefusal(VariableRefusal::SolverRefused, code));
  }
  var_count_ = start + n;
  return indices;
}

std::expected<std::uint64_t, VariableRefusal> GurobiOptimizer::add_variable(std::optional<std::string_view> name,
                                                                            std::optional<char32_t> vtype,
                                                                            std::optional<double> lb,
                                                                            std::optional<double> ub) {
  auto wrap_bound = [](std::optional<double> bound) -> std::optional<BoundType> {
    if (!bound) return std::nullopt;
    return bound_type::Uniform{*bound};
  };
  std::optional<NameType> names;
  if (name) names = name_type::Prefix{std::string(*name)};
  std::optional<std::vector<char32_t>> vtypes;
  if (vtype) vtypes = std::vector<char32_t>{*vtype};
  auto indices = add_variables(1, std::move(names), std::move(vtypes), wrap_bound(lb), wrap_bound(ub));
  if (!indices) return std::unexpected(indices.error());
  return indices->front();
}

}  // namespace kesto::gurobi
