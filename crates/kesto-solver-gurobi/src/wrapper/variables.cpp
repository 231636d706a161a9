// Variable creation: every batch is exactly one GRBaddvars call.

#include <algorithm>
#include <charconv>
#include <limits>
#include <memory>

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
    owned_.assign(n, value);
    data_ = owned_.data();
  }
  BoundArray(const BoundArray&) = delete;
  BoundArray& operator=(const BoundArray&) = delete;

  double* data() { return data_; }
  std::size_t size() const { return size_; }

 private:
  std::vector<double> owned_;
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
char type_byte(char32_t code) { return code < 0x80 ? static_cast<char>(code) : '\0'; }

std::string type_bytes(const std::optional<std::vector<char32_t>>& vtypes, std::size_t n) {
  if (!vtypes) return std::string(n, kDefaultVariableType);
  std::string bytes;
  bytes.reserve(vtypes->size());
  for (const char32_t code : *vtypes) bytes.push_back(type_byte(code));
  return bytes;
}

// The names of a batch as Gurobi takes them: the caller's own, or generated
// into one buffer, "x<index>" by default and "<base>_<i>" for a prefix.
// Generated names share the prefix's checks, made once.
class BatchNames {
 public:
  BatchNames(std::optional<NameType>& names, std::size_t n, std::uint64_t start) {
    if (names && std::holds_alternative<name_type::List>(*names)) {
      given_ = std::move(std::get<name_type::List>(*names).names);
      pointers_.reserve(given_.size());
      for (std::string& name : given_) pointers_.push_back(name.data());
      return;
    }
    if (names) {
      base_ = std::get<name_type::Prefix>(*names).base + "_";
      generate(n, 0);
    } else {
      base_ = "x";
      generate(n, start);
    }
  }
  BatchNames(const BatchNames&) = delete;
  BatchNames& operator=(const BatchNames&) = delete;

  std::size_t size() const { return pointers_.size(); }
  char** data() { return pointers_.data(); }

  // The first of the first `n` names that Gurobi would refuse, if any.
  std::optional<Breach> breach(std::size_t n) const {
    for (std::size_t i = 0; i < n; ++i) {
      if (auto found = name_breach(i, pointers_[i])) return found;
    }
    return std::nullopt;
  }
  // Whether every name passes as a C string, and whether Gurobi takes the
  // first `n` names (of generated names, the last is the longest).
  bool pass_as_c_strings() const {
    if (!given_.empty()) return std::all_of(given_.begin(), given_.end(), passes_as_c_string);
    return pointers_.empty() || passes_as_c_string(base_);
  }
  bool accepted(std::size_t n) const {
    if (!given_.empty())
      return std::all_of(given_.begin(), given_.begin() + static_cast<std::ptrdiff_t>(n), accepted_name);
    return n == 0 || accepted_name(pointers_[n - 1]);
  }

 private:
  // Packed one after another; the buffer is left unwritten beyond the last.
  void generate(std::size_t n, std::uint64_t first) {
    constexpr std::size_t kDigits = std::numeric_limits<std::uint64_t>::digits10 + 1;
    packed_ = std::make_unique_for_overwrite<char[]>(n * (base_.size() + kDigits + 1));
    pointers_.resize(n);
    char* at = packed_.get();
    for (std::size_t i = 0; i < n; ++i) {
      pointers_[i] = at;
      at = std::copy(base_.begin(), base_.end(), at);
      at = std::to_chars(at, at + kDigits, first + i).ptr;
      *at++ = '\0';
    }
  }

  std::vector<std::string> given_;
  std::string base_;
  std::unique_ptr<char[]> packed_;
  std::vector<char*> pointers_;
};

// What Gurobi would refuse in the first `n` type bytes (`vtypes`: the codes
// they were made from) and bounds, if anything.
std::optional<Breach> first_breach(std::size_t n, std::string_view types,
                                   const std::optional<std::vector<char32_t>>& vtypes, const double* lower,
                                   const double* upper) {
  for (std::size_t i = 0; i < n; ++i) {
    if (auto breach = type_breach(i, types[i], vtypes ? (*vtypes)[i] : static_cast<char32_t>(types[i]))) return breach;
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (auto breach = value_breach(Breach::LowerBounds, i, lower[i])) return breach;
    if (auto breach = value_breach(Breach::UpperBounds, i, upper[i])) return breach;
  }
  return std::nullopt;
}

// What Gurobi refuses in add_variable's one variable; asked once it is known
// to refuse something.
std::optional<Breach> single_breach(char type, char32_t code, double lower, double upper, std::string_view name) {
  if (auto breach = type_breach(0, type, code)) return breach;
  if (auto breach = value_breach(Breach::LowerBounds, 0, lower)) return breach;
  if (auto breach = value_breach(Breach::UpperBounds, 0, upper)) return breach;
  return name_breach(0, name);
}

}  // namespace

std::expected<VariableIndices, VariableRefusal> GurobiOptimizer::add_variables(
    std::uint64_t n, std::optional<NameType> names, std::optional<std::vector<char32_t>> vtypes,
    std::optional<BoundType> lbs, std::optional<BoundType> ubs) {
  if (n > kMaxGrbIndex) return std::unexpected(VariableRefusal::CountTooLarge);
  // Allocated before Gurobi is called: an allocation failure after it would
  // hand out no index for variables Gurobi holds.
  VariableIndices indices(n);
  const auto first = add_variable_range(n, std::move(names), std::move(vtypes), std::move(lbs), std::move(ubs));
  if (!first) return std::unexpected(first.error());
  for (std::uint64_t i = 0; i < n; ++i) indices[i] = *first + i;
  return indices;
}

std::expected<std::uint64_t, VariableRefusal> GurobiOptimizer::add_variable_range(
    std::uint64_t n, std::optional<NameType> names, std::optional<std::vector<char32_t>> vtypes,
    std::optional<BoundType> lbs, std::optional<BoundType> ubs) {
  if (n > kMaxGrbIndex) return std::unexpected(VariableRefusal::CountTooLarge);
  const std::uint64_t start = var_count_;
  BoundArray lower(lbs, n, kDefaultLowerBound);
  BoundArray upper(ubs, n, kDefaultUpperBound);
  std::string types = type_bytes(vtypes, n);
  BatchNames batch_names(names, n, start);
  if (lower.size() < n || upper.size() < n || types.size() < n || batch_names.size() < n) {
    return std::unexpected(VariableRefusal::SequenceTooShort);
  }
  if (!batch_names.pass_as_c_strings()) return std::unexpected(VariableRefusal::NameContainsNul);
  auto breach = first_breach(n, types, vtypes, lower.data(), upper.data());
  if (!breach && !batch_names.accepted(n)) breach = batch_names.breach(n);
  if (breach) {
    return std::unexpected(VariableRefusal(VariableRefusal::SolverRefused, GRB_ERROR_INVALID_ARGUMENT, breach));
  }
  const int code =
      api().GRBaddvars(model_, to_grb_int(n), 0, nullptr, nullptr, nullptr, nullptr, non_null(lower.data()),
                       non_null(upper.data()), non_null(types.data()), non_null(batch_names.data()));
  // A refused batch hands out no index; the variables Gurobi discarded with
  // it are no longer counted.
  if (code != 0) {
    recount();
    return std::unexpected(VariableRefusal(VariableRefusal::SolverRefused, code));
  }
  var_count_ = start + n;
  return start;
}

// The batch of one, without the batch's arrays: nothing here takes the heap
// but a given name.
std::expected<std::uint64_t, VariableRefusal> GurobiOptimizer::add_variable(std::optional<std::string_view> name,
                                                                            std::optional<char32_t> vtype,
                                                                            std::optional<double> lb,
                                                                            std::optional<double> ub) {
  double lower = lb.value_or(kDefaultLowerBound);
  double upper = ub.value_or(kDefaultUpperBound);
  char type = vtype ? type_byte(*vtype) : kDefaultVariableType;
  // The name a batch of one gives: "<name>_0", or "x<index>".
  std::string given;
  char generated[std::numeric_limits<std::uint64_t>::digits10 + 3] = {'x'};
  char* text = generated;
  if (name) {
    given.reserve(name->size() + 2);
    given.append(*name).append("_0");
    if (!passes_as_c_string(given)) return std::unexpected(VariableRefusal::NameContainsNul);
    text = given.data();
  } else {
    *std::to_chars(generated + 1, generated + sizeof generated - 1, var_count_).ptr = '\0';
  }
  if (!accepted_type(type) || !accepted_value(lower) || !accepted_value(upper) || !accepted_name(text)) {
    const char32_t code = vtype ? *vtype : static_cast<char32_t>(type);
    return std::unexpected(VariableRefusal(VariableRefusal::SolverRefused, GRB_ERROR_INVALID_ARGUMENT,
                                           single_breach(type, code, lower, upper, text)));
  }
  const int code = api().GRBaddvars(model_, 1, 0, nullptr, nullptr, nullptr, nullptr, &lower, &upper, &type, &text);
  if (code != 0) {
    recount();
    return std::unexpected(VariableRefusal(VariableRefusal::SolverRefused, code));
  }
  return var_count_++;
}

}  // namespace kesto::gurobi
