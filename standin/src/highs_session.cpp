// Opening a HiGHS instance, and handing it the model: whole, as changes, or anew after a failure.
#include "highs_session.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <new>

#include "highs_options.hpp"
#include "memory_headroom.hpp"

namespace standin {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kCoefficientRoom = 10.0;

// A lower bound of +infinity or an upper bound of -infinity: no point satisfies it, and
// HiGHS refuses such a bound.
bool has_impossible_bound(const ProblemView& view) {
  for (std::size_t i = 0; i < view.sense.size(); ++i) {
    if (row_lower(view.sense[i], view.rhs[i]) == kInf || row_upper(view.sense[i], view.rhs[i]) == -kInf) return true;
  }
  for (std::size_t j = 0; j < view.lb.size(); ++j) {
    if (to_highs_bound(view.lb[j]) == kInf || to_highs_bound(view.ub[j]) == -kInf) return true;
  }
  return false;
}

// A model without columns: each row compares 0 with its right-hand side.
SolveOutcome solve_without_columns(const ProblemView& view, const ParameterSet& params) {
  const double tolerance = params.double_value(Param::FeasibilityTol);
  SolveOutcome outcome;
  for (std::size_t i = 0; i < view.sense.size(); ++i) {
    if (row_lower(view.sense[i], view.rhs[i]) > tolerance || row_upper(view.sense[i], view.rhs[i]) < -tolerance) {
      outcome.status = GRB_INFEASIBLE;
      return outcome;
    }
  }
  outcome.status = GRB_OPTIMAL;
  outcome.objval = view.objcon;
  return outcome;
}

}  // namespace

Result<std::unique_ptr<HighsSession>> HighsSession::open() {
  const HighsApi* api = highs_api();
  if (api == nullptr) return std::unexpected(Error::NoLicense);
  void* highs = api->create();
  if (highs == nullptr) return std::unexpected(Error::OutOfMemory);
  return std::make_unique<HighsSession>(*api, highs);
}

HighsSession::HighsSession(const HighsApi& api, void* highs)
    : api_(api), highs_(highs), stop_(std::make_unique<HighsStop>(api, highs)) {}

HighsSession::~HighsSession() { api_.destroy(highs_); }

Result<std::optional<SolveOutcome>> HighsSession::hand_over(const ProblemView& view, const ParameterSet& params) {
  last_handover_ = Handover::Nothing;
  last_iterations_ = 0;
  took_view_ = false;
  if (has_impossible_bound(view)) return SolveOutcome{GRB_INFEASIBLE, {}, std::nullopt};
  if (view.obj.empty()) return solve_without_columns(view, params);
  const std::size_t nonzeros = held_nonzeros_ + view.index.size() + view.column_entries.size();
  if (nonzeros > static_cast<std::size_t>(INT_MAX)) return std::unexpected(Error::Exceed2BNonzeros);
  if (!memory_suffices(view)) return std::unexpected(Error::OutOfMemory);

  // What HiGHS held before: a failure from here on leaves the view with the model, and the
  // next hand-over builds a new instance from that and the rows held before.
  held_before_ = HeldCounts{held_cols_, held_rows_, held_nonzeros_};
  if (damaged_ && !rebuild(view, params)) return SolveOutcome{GRB_NUMERIC, {}, std::nullopt};
  admit_coefficients(view);
  const bool first_load = held_cols_ == 0;
  const bool new_params = !applied_params_ || *applied_params_ != params;
  // Indicators sit after the model's columns and rows, and their limits follow from bounds and
  // rows: they go before anything is added and come back afterwards.
  const bool reshaped = first_load || new_params || view.obj.size() > held_cols_ || view.sense.size() > held_rows_ ||
                        !view.changed_bounds.empty();
  bool accepted = !reshaped || remove_indicators();
  if (new_params && applied_params_ && integer_tolerance(*applied_params_) != integer_tolerance(params)) {
    // Integer bounds were rounded with the old tolerance.
    change_bounds(view, {0, held_cols_}, integer_tolerance(params));
  }
  if (new_params) apply_parameters(params);
  accepted = (first_load ? load_model(view, params) : apply_changes(view, params)) && accepted;
  if (!accepted) {
    // HiGHS refused the model's data (a coefficient it finds too large) or failed: tried again
    // from the model's data at the next solve, where data it refuses is refused again.
    mark_damaged();
    return SolveOutcome{GRB_NUMERIC, {}, std::nullopt};
  }
  // Indicators the stand-in made itself: a failure there is not the model's.
  if (reshaped && !add_indicators(view, integer_tolerance(params))) {
    mark_damaged();
    return SolveOutcome{GRB_NUMERIC, {}, std::nullopt};
  }
  held_before_.reset();
  took_view_ = true;
  last_handover_ = first_load ? Handover::Model : changed_ ? Handover::Changes : Handover::Nothing;
  return std::nullopt;
}

// Gurobi takes coefficients HiGHS refuses by default (from 1e15): HiGHS's limit is raised above
// the largest coefficient handed over, and only then, as it also steers HiGHS's cuts.
void HighsSession::admit_coefficients(const ProblemView& view) {
  double largest = 0.0;
  for (const double value : view.value) largest = std::max(largest, std::abs(value));
  for (const Coefficient& entry : view.column_entries) largest = std::max(largest, std::abs(entry.value));
  if (largest < large_matrix_value_) return;
  large_matrix_value_ = std::min(largest * kCoefficientRoom, kGurobiInfiniteBound);
  api_.set_double_option(highs_, "large_matrix_value", large_matrix_value_);
}

void HighsSession::mark_damaged() {
  damaged_ = true;
  changed_ = true;
  last_outcome_.reset();
  if (!held_before_) return;
  held_cols_ = held_before_->cols;
  held_rows_ = held_before_->rows;
  held_nonzeros_ = held_before_->nonzeros;
  held_before_.reset();
}

// A new instance holding the columns and rows the old one held (as the model has them now);
// what the view adds comes on top as changes. Fails when the old instance's rows cannot be
// read back.
bool HighsSession::rebuild(const ProblemView& view, const ParameterSet& params) {
  RowBlock rows;
  if (held_rows_ > 0 && !read_rows(held_rows_, held_cols_, rows)) return false;
  void* fresh = api_.create();
  if (fresh == nullptr) throw std::bad_alloc();
  std::unique_ptr<HighsStop> stop;
  try {
    stop = std::make_unique<HighsStop>(api_, fresh);
  } catch (...) {
    api_.destroy(fresh);
    throw;
  }
  api_.destroy(highs_);
  highs_ = fresh;
  stop_ = std::move(stop);
  indicators_.clear();
  applied_params_.reset();
  incumbent_.clear();
  large_matrix_value_ = kHighsLargeMatrixValue;
  damaged_ = false;
  if (held_cols_ == 0) {
    held_rows_ = held_nonzeros_ = 0;
    return true;
  }
  return pass_model(view, held_cols_, rows, integer_tolerance(params));
}

// The first `count` rows HiGHS holds, with their entries in the first `cols` columns.
bool HighsSession::read_rows(std::size_t count, std::size_t cols, RowBlock& rows) const {
  HighsInt num_row = 0;
  HighsInt num_nz = 0;
  rows.lower.resize(count);
  rows.upper.resize(count);
  const auto last = as_highs_int(count - 1);
  if (api_.get_rows(highs_, 0, last, &num_row, rows.lower.data(), rows.upper.data(), &num_nz, nullptr, nullptr,
                    nullptr) == kHighsStatusError) {
    return false;
  }
  SparseBlock& a = rows.entries;
  a.start.resize(count + 1);
  std::vector<HighsInt> index(static_cast<std::size_t>(num_nz));
  a.own_value.resize(static_cast<std::size_t>(num_nz));
  if (api_.get_rows(highs_, 0, last, &num_row, rows.lower.data(), rows.upper.data(), &num_nz, a.start.data(),
                    index.data(), a.own_value.data()) == kHighsStatusError) {
    return false;
  }
  a.start[count] = num_nz;
  // Entries of columns added by a hand-over that failed are left out.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const auto begin = static_cast<std::size_t>(a.start[i]);
    const auto end = static_cast<std::size_t>(a.start[i + 1]);
    a.start[i] = as_highs_int(kept);
    for (std::size_t e = begin; e < end; ++e) {
      if (static_cast<std::size_t>(index[e]) >= cols) continue;
      index[kept] = index[e];
      a.own_value[kept++] = a.own_value[e];
    }
  }
  a.start[count] = as_highs_int(kept);
  a.own_index.assign(index.begin(), index.begin() + static_cast<std::ptrdiff_t>(kept));
  a.own_value.resize(kept);
  a.index = a.own_index;
  a.value = a.own_value;
  return true;
}

// Whether the memory left under the process's address-space limit (RLIMIT_AS) seems enough for
// HiGHS to take and solve the model: HiGHS itself may crash rather than fail when it runs out.
// Without such a limit, or with enough room, the stand-in hands over.
bool HighsSession::memory_suffices(const ProblemView& view) const {
  const std::size_t entries = view.obj.size() + view.sense.size() + view.index.size() + view.column_entries.size();
  return address_space_left() >= kHighsBaseMemory + kHighsMemoryPerEntry * entries;
}

}  // namespace standin
