// The model as HiGHS takes it: passed whole at the first solve, as changes afterwards.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <span>

#include "highs_options.hpp"
#include "highs_session.hpp"

namespace standin {
namespace {

double largest_magnitude(std::span<const double> values) {
  double largest = 0.0;
  for (const double value : values) largest = std::max(largest, std::abs(value));
  return largest;
}

}  // namespace

bool HighsSession::load_model(const ProblemView& view, const ParameterSet& params) {
  return pass_model(view, view.obj.size(), buffered_rows(view), integer_tolerance(params));
}

// The first `cols` columns of the view and `rows`, in one call.
bool HighsSession::pass_model(const ProblemView& view, std::size_t cols, const RowBlock& rows, double int_tolerance) {
  const ColumnBlock columns = column_block(view, 0, cols, int_tolerance);
  const auto num_cols = as_highs_int(cols);
  const auto num_rows = as_highs_int(rows.lower.size());
  const auto num_nz = as_highs_int(rows.entries.index.size());
  const SparseBlock& a = rows.entries;
  const HighsInt rc =
      columns.any_integral
          ? api_.pass_mip(highs_, num_cols, num_rows, num_nz, kFormatRowWise, view.model_sense, view.objcon,
                          view.obj.data(), columns.lower.data(), columns.upper.data(), rows.lower.data(),
                          rows.upper.data(), a.start.data(), a.index.data(), a.value.data(), columns.integrality.data())
          : api_.pass_lp(highs_, num_cols, num_rows, num_nz, kFormatRowWise, view.model_sense, view.objcon,
                         view.obj.data(), columns.lower.data(), columns.upper.data(), rows.lower.data(),
                         rows.upper.data(), a.start.data(), a.index.data(), a.value.data());
  if (rc == kHighsStatusError) return false;
  held_cols_ = cols;
  held_rows_ = rows.lower.size();
  held_nonzeros_ = a.index.size();
  largest_coefficient_ = largest_magnitude(a.value);
  sense_ = view.model_sense;
  objcon_ = view.objcon;
  is_mip_ = columns.any_integral;
  changed_ = true;
  has_run_ = false;
  return true;
}

bool HighsSession::change_bounds(const ProblemView& view, IndexRange range, double int_tolerance) {
  range.last = std::min(range.last, held_cols_);
  if (range.empty()) return true;
  const ColumnBlock block = column_block(view, range.first, range.last, int_tolerance);
  changed_ = true;
  return api_.change_bounds(highs_, as_highs_int(range.first), as_highs_int(range.last - 1), block.lower.data(),
                            block.upper.data()) != kHighsStatusError;
}

bool HighsSession::add_columns(const ProblemView& view, double int_tolerance) {
  const std::size_t first = held_cols_;
  const std::size_t count = view.obj.size() - first;
  if (count == 0) return true;
  const ColumnBlock columns = column_block(view, first, view.obj.size(), int_tolerance);
  // Entries come in column order: column k's run begins after the runs of the columns before it.
  const auto& entries = view.column_entries;
  std::vector<std::size_t> begins(count + 1, 0);
  for (const Coefficient& entry : entries) ++begins[static_cast<std::size_t>(entry.col) - first + 1];
  std::partial_sum(begins.begin(), begins.end(), begins.begin());
  std::vector<int> rows(entries.size());
  std::vector<double> values(entries.size());
  for (std::size_t e = 0; e < entries.size(); ++e) {
    rows[e] = entries[e].row;
    values[e] = entries[e].value;
  }
  const SparseBlock a = sparse_block(count, [&](std::size_t k) { return begins[k]; }, rows, values, held_rows_);
  const HighsInt rc =
      api_.add_cols(highs_, as_highs_int(count), view.obj.data() + first, columns.lower.data(), columns.upper.data(),
                    as_highs_int(a.index.size()), a.start.data(), a.index.data(), a.value.data());
  held_cols_ = view.obj.size();
  held_nonzeros_ += a.index.size();
  largest_coefficient_ = std::max(largest_coefficient_, largest_magnitude(a.value));
  changed_ = true;
  if (rc == kHighsStatusError) return false;
  if (!columns.any_integral) return true;
  is_mip_ = true;
  return api_.change_integrality(highs_, as_highs_int(first), as_highs_int(held_cols_ - 1),
                                 columns.integrality.data()) != kHighsStatusError;
}

// Hands over the costs in `range` that differ from those HiGHS holds: an objective set anew
// mostly repeats them, and costs HiGHS already has would only cost it work.
bool HighsSession::change_costs(const ProblemView& view, IndexRange range) {
  if (range.empty()) return true;
  const std::size_t count = range.last - range.first;
  // Costs that cannot be read back count as changed (NaN equals nothing).
  std::vector<double> held(count, std::numeric_limits<double>::quiet_NaN());
  HighsInt cols = 0;
  HighsInt nonzeros = 0;
  if (api_.get_cols(highs_, as_highs_int(range.first), as_highs_int(range.last - 1), &cols, held.data(), nullptr,
                    nullptr, &nonzeros, nullptr, nullptr, nullptr) == kHighsStatusError) {
    std::ranges::fill(held, std::numeric_limits<double>::quiet_NaN());
  }
  std::vector<HighsInt> changed;
  std::vector<double> costs;
  for (std::size_t k = 0; k < count; ++k) {
    const double cost = view.obj[range.first + k];
    if (cost == held[k]) continue;
    changed.push_back(as_highs_int(range.first + k));
    costs.push_back(cost);
  }
  if (changed.empty()) return true;
  changed_ = true;
  return api_.change_costs_by_set(highs_, as_highs_int(changed.size()), changed.data(), costs.data()) !=
         kHighsStatusError;
}

bool HighsSession::add_rows(const ProblemView& view) {
  if (view.sense.size() == held_rows_) return true;
  const RowBlock rows = buffered_rows(view);
  const SparseBlock& a = rows.entries;
  const HighsInt rc = api_.add_rows(highs_, as_highs_int(rows.lower.size()), rows.lower.data(), rows.upper.data(),
                                    as_highs_int(a.index.size()), a.start.data(), a.index.data(), a.value.data());
  held_rows_ = view.sense.size();
  held_nonzeros_ += a.index.size();
  largest_coefficient_ = std::max(largest_coefficient_, largest_magnitude(a.value));
  changed_ = true;
  return rc != kHighsStatusError;
}

bool HighsSession::apply_changes(const ProblemView& view, const ParameterSet& params) {
  const double int_tolerance = integer_tolerance(params);
  bool ok = true;
  ok = change_costs(view, {view.changed_costs.first, std::min(view.changed_costs.last, held_cols_)}) && ok;
  ok = change_bounds(view, view.changed_bounds, int_tolerance) && ok;
  if (view.model_sense != sense_) {
    ok = api_.change_sense(highs_, view.model_sense) != kHighsStatusError && ok;
    sense_ = view.model_sense;
    changed_ = true;
  }
  if (view.objcon != objcon_) {
    ok = api_.change_offset(highs_, view.objcon) != kHighsStatusError && ok;
    objcon_ = view.objcon;
    changed_ = true;
  }
  ok = add_columns(view, int_tolerance) && ok;
  return add_rows(view) && ok;
}

}  // namespace standin
