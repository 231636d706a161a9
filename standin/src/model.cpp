#include "model.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "interrupt.hpp"
#include "kesto_solver_gurobi/gurobi_c.h"
#include "scripted_solve.hpp"
#include "text.hpp"

namespace standin {
namespace {

constexpr std::size_t kMaxNameLength = GRB_MAX_NAMELEN;
constexpr std::size_t kMaxCount = kesto::gurobi::kMaxGrbIndex;

// The bytes of a few codes, each looked up in one step: batches check every item's code.
class CodeSet {
 public:
  constexpr CodeSet(std::initializer_list<char> codes) {
    for (const char code : codes) member_[static_cast<unsigned char>(code)] = true;
  }
  constexpr bool contains(char code) const { return member_[static_cast<unsigned char>(code)]; }

 private:
  std::array<bool, 256> member_{};
};

constexpr CodeSet kValidVtypes{GRB_CONTINUOUS, GRB_BINARY, GRB_INTEGER, GRB_SEMICONT, GRB_SEMIINT};
constexpr CodeSet kValidSenses{GRB_LESS_EQUAL, GRB_GREATER_EQUAL, GRB_EQUAL};

// Appends `count` items from `items`, or `count` copies of `value` where there are none.
template <class T>
void append_or_fill(GrowingArray<T>& array, const T* items, std::size_t count, const T& value) {
  if (items != nullptr) {
    array.append(items, count);
  } else {
    array.resize(array.size() + count, value);
  }
}

Result<std::size_t> name_length(const char* name) {
  if (name == nullptr) return 0;
  std::size_t length = std::strlen(name);
  if (length > kMaxNameLength) return std::unexpected(Error::InvalidArgument);
  return length;
}

// Total length of `count` names, each within Gurobi's limit.
Result<std::size_t> names_length(const char* const* names, std::size_t count) {
  std::size_t total = 0;
  if (names == nullptr) return total;
  for (std::size_t i = 0; i < count; ++i) {
    auto length = name_length(names[i]);
    if (!length) return length;
    total += *length;
  }
  return total;
}

// Begin offsets of `count` sparse vectors sharing `numnz` entries: non-decreasing, within range.
Result<void> check_begins(const int* beg, int count, int numnz) {
  int previous = 0;
  for (int i = 0; i < count; ++i) {
    if (beg[i] < previous || beg[i] > numnz) return std::unexpected(Error::InvalidArgument);
    previous = beg[i];
  }
  return {};
}

Result<void> check_indices(const int* index, int numnz, std::size_t bound) {
  for (int k = 0; k < numnz; ++k) {
    if (index[k] < 0 || static_cast<std::size_t>(index[k]) >= bound) {
      return std::unexpected(Error::IndexOutOfRange);
    }
  }
  return {};
}

Result<void> check_finite(const double* values, int count) {
  for (int k = 0; k < count; ++k) {
    if (!std::isfinite(values[k])) return std::unexpected(Error::InvalidArgument);
  }
  return {};
}

Result<void> check_not_nan(const double* values, int count) {
  if (values == nullptr) return {};
  for (int k = 0; k < count; ++k) {
    if (std::isnan(values[k])) return std::unexpected(Error::InvalidArgument);
  }
  return {};
}

// End of sparse vector i of `count` sharing `numnz` entries.
int end_of(const int* beg, int i, int count, int numnz) { return i + 1 < count ? beg[i + 1] : numnz; }

}  // namespace

// Gurobi keeps a model name of any length here; only setting ModelName later is limited.
Result<std::unique_ptr<Model>> Model::create(const Environment& source, const char* name) {
  return std::make_unique<Model>(source, name == nullptr ? std::string() : std::string(name));
}

Model::Model(const Environment& source, std::string name)
    : id_(next_handle_id(HandleKind::Model)),
      env_(EnvKind::Model, source.params(), source.switches()),
      name_(std::move(name)) {}

Result<void> Model::add_vars(int numvars, int numnz, const int* vbeg, const int* vind, const double* vval,
                             const double* obj, const double* lb, const double* ub, const char* vtype,
                             const char* const* names) {
  if (numvars < 0 || numnz < 0 || (numvars == 0 && numnz > 0)) {
    return std::unexpected(Error::InvalidArgument);
  }
  if (numnz > 0 && (vbeg == nullptr || vind == nullptr || vval == nullptr)) {
    return std::unexpected(Error::NullArgument);
  }
  if (columns_.size() + static_cast<std::size_t>(numvars) > kMaxCount) {
    return std::unexpected(Error::InvalidArgument);
  }
  if (vtype != nullptr) {
    for (int j = 0; j < numvars; ++j) {
      if (!kValidVtypes.contains(upper_ascii(vtype[j]))) {
        return std::unexpected(Error::InvalidArgument);
      }
    }
  }
  if (numnz > 0) {
    if (auto ok = check_begins(vbeg, numvars, numnz); !ok) return ok;
    if (auto ok = check_indices(vind, numnz, rows_.size()); !ok) return ok;
    if (auto ok = check_finite(vval, numnz); !ok) return ok;
  }
  for (const double* values : {obj, lb, ub}) {
    if (auto ok = check_not_nan(values, numvars); !ok) return ok;
  }
  // Names are checked, not kept: no query reads them.
  if (auto chars = names_length(names, static_cast<std::size_t>(numvars)); !chars) {
    return std::unexpected(chars.error());
  }

  // Reserve everything first, so that running out of memory leaves the model unchanged.
  const std::size_t first = columns_.size();
  const auto added = static_cast<std::size_t>(numvars);
  columns_.lb.reserve_more(added);
  columns_.ub.reserve_more(added);
  columns_.obj.reserve_more(added);
  columns_.vtype.reserve_more(added);
  pending_coefficients_.reserve_more(static_cast<std::size_t>(numnz));

  append_or_fill(columns_.lb, lb, added, 0.0);
  append_or_fill(columns_.ub, ub, added, GRB_INFINITY);
  append_or_fill(columns_.obj, obj, added, 0.0);
  append_or_fill(columns_.vtype, vtype, added, GRB_CONTINUOUS);
  // Gurobi takes type codes in either case and keeps them in upper case.
  std::transform(columns_.vtype.end() - added, columns_.vtype.end(), columns_.vtype.end() - added, upper_ascii);
  for (int j = 0; j < numvars && numnz > 0; ++j) {
    const int col = static_cast<int>(first) + j;
    for (int k = vbeg[j]; k < end_of(vbeg, j, numvars, numnz); ++k) {
      pending_coefficients_.push_back({vind[k], col, vval[k]});
    }
  }
  nonzeros_ += static_cast<std::size_t>(numnz);
  mark_changed();
  return {};
}

Result<void> Model::add_constrs(int numconstrs, int numnz, const int* cbeg, const int* cind, const double* cval,
                                const char* sense, const double* rhs, const char* const* names) {
  if (numconstrs < 0 || numnz < 0 || (numconstrs == 0 && numnz > 0)) {
    return std::unexpected(Error::InvalidArgument);
  }
  if (numnz > 0 && (cbeg == nullptr || cind == nullptr || cval == nullptr)) {
    return std::unexpected(Error::NullArgument);
  }
  if (numconstrs > 0 && sense == nullptr) return std::unexpected(Error::NullArgument);
  if (rows_.size() + static_cast<std::size_t>(numconstrs) > kMaxCount) {
    return std::unexpected(Error::InvalidArgument);
  }
  if (numnz > 0) {
    if (auto ok = check_begins(cbeg, numconstrs, numnz); !ok) return ok;
  }
  for (int i = 0; i < numconstrs; ++i) {
    if (!kValidSenses.contains(sense[i])) {
      return std::unexpected(Error::InvalidArgument);
    }
  }
  if (numnz > 0) {
    // Variables added but not yet applied may already be used (Gurobi's UpdateMode 1).
    if (auto ok = check_indices(cind, numnz, columns_.size()); !ok) return ok;
    if (auto ok = check_finite(cval, numnz); !ok) return ok;
  }
  if (auto ok = check_not_nan(rhs, numconstrs); !ok) return ok;
  if (auto chars = names_length(names, static_cast<std::size_t>(numconstrs)); !chars) {
    return std::unexpected(chars.error());
  }

  const std::size_t count = static_cast<std::size_t>(numconstrs);
  // Entries before cbeg[0] belong to no constraint.
  const auto nonzeros = static_cast<std::size_t>(numnz > 0 ? numnz - cbeg[0] : 0);
  rows_.start.reserve_more(count);
  rows_.sense.reserve_more(count);
  rows_.rhs.reserve_more(count);
  rows_.index.reserve_more(nonzeros);
  rows_.value.reserve_more(nonzeros);

  if (numnz > 0) {
    rows_.index.append(cind + cbeg[0], nonzeros);
    rows_.value.append(cval + cbeg[0], nonzeros);
  }
  const std::size_t base = rows_.start.back();
  for (int i = 0; i < numconstrs; ++i) {
    const int end = numnz > 0 ? end_of(cbeg, i, numconstrs, numnz) : 0;
    rows_.start.push_back(base + static_cast<std::size_t>(numnz > 0 ? end - cbeg[0] : 0));
    rows_.sense.push_back(sense[i]);
    rows_.rhs.push_back(rhs != nullptr ? rhs[i] : 0.0);
  }
  nonzeros_ += nonzeros;
  mark_changed();
  return {};
}

void Model::apply_pending_coefficients() {
  if (pending_coefficients_.empty()) return;
  // Entries in rows HiGHS holds go to it with their columns; the others are merged into the
  // buffered rows, rebuilding the row arrays once.
  const std::size_t first = rows_.first_buffered;
  const std::size_t num_rows = rows_.size() - first;
  std::vector<std::size_t> added(num_rows + 1, 0);
  for (const auto& c : pending_coefficients_) {
    if (static_cast<std::size_t>(c.row) >= first) ++added[static_cast<std::size_t>(c.row) - first + 1];
  }
  for (std::size_t i = 0; i < num_rows; ++i) added[i + 1] += added[i];

  const std::size_t nonzeros = rows_.index.size() + added[num_rows];
  GrowingArray<std::size_t> start;
  GrowingArray<int> index;
  GrowingArray<double> value;
  start.resize(num_rows + 1);
  index.resize(nonzeros);
  value.resize(nonzeros);
  std::vector<std::size_t> fill(num_rows);
  for (std::size_t i = 0; i < num_rows; ++i) {
    start[i] = rows_.start[i] + added[i];
    const auto old_begin = static_cast<std::ptrdiff_t>(rows_.start[i]);
    const auto old_end = static_cast<std::ptrdiff_t>(rows_.start[i + 1]);
    const auto to = static_cast<std::ptrdiff_t>(start[i]);
    std::copy(rows_.index.begin() + old_begin, rows_.index.begin() + old_end, index.begin() + to);
    std::copy(rows_.value.begin() + old_begin, rows_.value.begin() + old_end, value.begin() + to);
    fill[i] = start[i] + static_cast<std::size_t>(old_end - old_begin);
  }
  start[num_rows] = nonzeros;
  for (const auto& c : pending_coefficients_) {
    if (static_cast<std::size_t>(c.row) < first) {
      column_entries_.push_back(c);
      continue;
    }
    const std::size_t at = fill[static_cast<std::size_t>(c.row) - first]++;
    index[at] = c.col;
    value[at] = c.value;
  }
  rows_.start = std::move(start);
  rows_.index = std::move(index);
  rows_.value = std::move(value);
  pending_coefficients_.release();
}

void Model::discard_solution() {
  solution_ = SolveOutcome{};
  runtime_ = 0.0;
  stale_ = false;
}

void Model::update() {
  apply_pending_coefficients();
  applied_nonzeros_ = nonzeros_;
  applied_vars_ = columns_.size();
  applied_constrs_ = rows_.size();
  if (stale_) discard_solution();
}

void Model::discard_pending() {
  for (auto* values : {&columns_.lb, &columns_.ub, &columns_.obj}) values->resize(applied_vars_);
  columns_.vtype.resize(applied_vars_);
  // Entries of pending columns; the applied columns have none left.
  pending_coefficients_.clear();
  changed_costs_.last = std::min(changed_costs_.last, applied_vars_);
  changed_bounds_.last = std::min(changed_bounds_.last, applied_vars_);
  rows_.sense.resize(applied_constrs_);
  rows_.rhs.resize(applied_constrs_);
  // Applied rows are never fewer than those HiGHS holds.
  rows_.start.resize(applied_constrs_ - rows_.first_buffered + 1);
  rows_.index.resize(rows_.start.back());
  rows_.value.resize(rows_.start.back());
  nonzeros_ = applied_nonzeros_;
}

Result<void> Model::optimize() {
  // From the start: a SIGINT while the model is updated and handed over stops the solve too.
  InterruptScope interrupt;
  update();
  auto script = scripted_solve(applied_vars_);
  if (!script) return std::unexpected(script.error());
  discard_solution();

  const auto started = std::chrono::steady_clock::now();
  solved_by_highs_ = !script->has_value();
  Result<SolveOutcome> outcome = solved_by_highs_ ? solve_with_highs() : Result<SolveOutcome>(std::move(**script));
  if (!outcome) return std::unexpected(outcome.error());
  solution_ = std::move(*outcome);
  runtime_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return {};
}

Result<SolveOutcome> Model::solve_with_highs() {
  if (!session_) {
    auto opened = HighsSession::open();
    if (!opened) return std::unexpected(opened.error());
    session_ = std::move(*opened);
  }
  try {
    auto decided = session_->hand_over(view(), params());
    if (!decided) return std::unexpected(decided.error());
    // Before solving: during the solve the rows exist once, in HiGHS.
    release_handed_over();
    if (*decided) return std::move(**decided);
    return session_->solve(view(), params());
  } catch (...) {
    // Memory short for a moment, say: the next solve starts again from the model's data.
    session_->mark_damaged();
    throw;
  }
}

Result<int> Model::get_int(const AttrDescriptor& descriptor) const {
  switch (descriptor.attr) {
    case Attr::ModelSense: return sense_;
    case Attr::NumVars: return static_cast<int>(applied_vars_);
    case Attr::NumConstrs: return static_cast<int>(applied_constrs_);
    case Attr::NumNZs: return static_cast<int>(std::min<std::size_t>(applied_nonzeros_, INT_MAX));
    case Attr::IsMIP:
      return std::any_of(columns_.vtype.begin(), columns_.vtype.begin() + static_cast<std::ptrdiff_t>(applied_vars_),
                         [](char t) { return t != GRB_CONTINUOUS; })
                 ? 1
                 : 0;
    case Attr::Status: return solution_.status;
    case Attr::SolCount: return has_solution() ? 1 : 0;
    default: return std::unexpected(Error::UnknownAttribute);
  }
}

Result<void> Model::set_int(const AttrDescriptor& descriptor, int value) {
  if (!descriptor.settable) return std::unexpected(Error::InvalidArgument);
  if (descriptor.attr != Attr::ModelSense) return std::unexpected(Error::UnknownAttribute);
  // As Gurobi takes it: a positive value minimises, any other maximises.
  sense_ = value > 0 ? GRB_MINIMIZE : GRB_MAXIMIZE;
  mark_changed();
  return {};
}

Result<double> Model::get_double(const AttrDescriptor& descriptor) const {
  switch (descriptor.attr) {
    case Attr::ObjCon: return objcon_;
    case Attr::ObjVal:
      if (!solution_.objval) return std::unexpected(Error::DataNotAvailable);
      return *solution_.objval;
    case Attr::Runtime: return runtime_;
    default: return std::unexpected(Error::UnknownAttribute);
  }
}

Result<void> Model::set_double(const AttrDescriptor& descriptor, double value) {
  if (!descriptor.settable) return std::unexpected(Error::InvalidArgument);
  if (descriptor.attr != Attr::ObjCon) return std::unexpected(Error::UnknownAttribute);
  if (std::isnan(value)) return std::unexpected(Error::InvalidArgument);
  objcon_ = value;
  mark_changed();
  return {};
}

Result<const char*> Model::get_string(const AttrDescriptor& descriptor) const {
  if (descriptor.attr != Attr::ModelName) return std::unexpected(Error::UnknownAttribute);
  return name_.c_str();
}

Result<void> Model::set_string(const AttrDescriptor& descriptor, const char* value) {
  if (!descriptor.settable) return std::unexpected(Error::InvalidArgument);
  if (descriptor.attr != Attr::ModelName) return std::unexpected(Error::UnknownAttribute);
  auto length = name_length(value);
  if (!length) return std::unexpected(length.error());
  name_.assign(value);
  mark_changed();
  return {};
}

Result<void> Model::get_double_array(const AttrDescriptor& descriptor, int start, int len, double* values) const {
  if (len < 0) return std::unexpected(Error::InvalidArgument);
  if (start < 0 || static_cast<std::size_t>(start) + static_cast<std::size_t>(len) > applied_vars_) {
    return std::unexpected(Error::IndexOutOfRange);
  }
  const auto first = static_cast<std::size_t>(start);
  const auto count = static_cast<std::size_t>(len);
  const double* source = nullptr;
  switch (descriptor.attr) {
    case Attr::Obj: source = columns_.obj.data(); break;
    case Attr::LB: source = columns_.lb.data(); break;
    case Attr::UB: source = columns_.ub.data(); break;
    case Attr::X:
      // Also the point where a limit stopped an LP, which is no solution.
      if ((!has_solution() && solution_.x.empty()) || first + count > solution_.x.size()) {
        return std::unexpected(Error::DataNotAvailable);
      }
      source = solution_.x.data();
      break;
    default: return std::unexpected(Error::UnknownAttribute);
  }
  std::copy_n(source + first, count, values);
  return {};
}

Result<void> Model::set_double_array(const AttrDescriptor& descriptor, int start, int len, const double* values) {
  if (!descriptor.settable) return std::unexpected(Error::InvalidArgument);
  if (len < 0) return std::unexpected(Error::InvalidArgument);
  // Attributes of variables not yet applied may be set already (Gurobi's UpdateMode 1).
  if (start < 0 || static_cast<std::size_t>(start) + static_cast<std::size_t>(len) > columns_.size()) {
    return std::unexpected(Error::IndexOutOfRange);
  }
  if (auto ok = check_not_nan(values, len); !ok) return ok;
  GrowingArray<double>* target = nullptr;
  switch (descriptor.attr) {
    case Attr::Obj: target = &columns_.obj; break;
    case Attr::LB: target = &columns_.lb; break;
    case Attr::UB: target = &columns_.ub; break;
    default: return std::unexpected(Error::UnknownAttribute);
  }
  std::copy_n(values, len, target->begin() + start);
  const auto first = static_cast<std::size_t>(start);
  (descriptor.attr == Attr::Obj ? changed_costs_ : changed_bounds_)
      .include(first, first + static_cast<std::size_t>(len));
  mark_changed();
  return {};
}

}  // namespace standin
