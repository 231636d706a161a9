// What the solver layer sees of a model: plain arrays, no model object. Rows are handed
// over once: their coefficients live in the model only until the solver holds them.
#ifndef STANDIN_PROBLEM_VIEW_HPP
#define STANDIN_PROBLEM_VIEW_HPP

#include <algorithm>
#include <cstddef>
#include <span>

namespace standin {

// A coefficient of a column added after the rows it appears in.
struct Coefficient {
  int row;
  int col;
  double value;
};

// Half-open range of column indices; empty when first >= last.
struct IndexRange {
  std::size_t first = 0;
  std::size_t last = 0;

  bool empty() const { return first >= last; }
  void include(std::size_t begin, std::size_t end) {
    if (begin >= end) return;
    first = empty() ? begin : std::min(first, begin);
    last = std::max(last, end);
  }
};

struct ProblemView {
  // Every column.
  std::span<const double> obj, lb, ub;
  std::span<const char> vtype;
  // Every row's sense and right-hand side.
  std::span<const char> sense;
  std::span<const double> rhs;
  // Coefficients of the rows from `first_buffered_row` on, in compressed sparse row form:
  // buffered row k holds entries start[k] .. start[k + 1] - 1.
  std::size_t first_buffered_row = 0;
  std::span<const std::size_t> start;
  std::span<const int> index;
  std::span<const double> value;
  // Coefficients of new columns in rows before `first_buffered_row`, in column order.
  std::span<const Coefficient> column_entries;
  // Columns whose objective coefficient or bounds changed since the last hand-over.
  IndexRange changed_costs, changed_bounds;
  int model_sense = 1;
  double objcon = 0.0;
};

}  // namespace standin

#endif
