// What the solver layer sees of a model, and what the model drops once HiGHS holds it.
#include "model.hpp"

namespace standin {

ProblemView Model::view() const {
  ProblemView v;
  v.obj = columns_.obj;
  v.lb = columns_.lb;
  v.ub = columns_.ub;
  v.vtype = columns_.vtype;
  v.sense = rows_.sense;
  v.rhs = rows_.rhs;
  v.first_buffered_row = rows_.first_buffered;
  v.start = rows_.start;
  v.index = rows_.index;
  v.value = rows_.value;
  v.column_entries = column_entries_;
  v.changed_costs = changed_costs_;
  v.changed_bounds = changed_bounds_;
  v.model_sense = sense_;
  v.objcon = objcon_;
  return v;
}

// HiGHS holds what it took: the model keeps no second copy of row coefficients.
void Model::release_handed_over() {
  if (!session_->took_view()) return;
  rows_.first_buffered = rows_.size();
  rows_.start = {0};
  rows_.index.release();
  rows_.value.release();
  std::vector<Coefficient>().swap(column_entries_);
  changed_costs_ = {};
  changed_bounds_ = {};
}

}  // namespace standin
