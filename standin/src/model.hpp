// Model storage: columns, rows until HiGHS holds them, model attributes, the last solution,
// and changes not yet applied (Gurobi's lazy updates).
#ifndef STANDIN_MODEL_HPP
#define STANDIN_MODEL_HPP

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "attributes.hpp"
#include "environment.hpp"
#include "errors.hpp"
#include "growing_array.hpp"
#include "handles.hpp"
#include "highs_session.hpp"
#include "problem_view.hpp"
#include "solve_outcome.hpp"

namespace standin {

struct Columns {
  GrowingArray<double> lb;
  GrowingArray<double> ub;
  GrowingArray<double> obj;
  GrowingArray<char> vtype;

  std::size_t size() const { return obj.size(); }
};

// Every row's sense and right-hand side; the coefficients only of rows HiGHS does not hold
// yet (from `first_buffered`), in compressed sparse row form.
struct Rows {
  GrowingArray<char> sense;
  GrowingArray<double> rhs;
  std::size_t first_buffered = 0;
  GrowingArray<std::size_t> start{0};  // buffered row k holds entries start[k] .. start[k + 1] - 1
  GrowingArray<int> index;
  GrowingArray<double> value;

  std::size_t size() const { return sense.size(); }
};

class Model {
 public:
  // Copies the parameters and switches of `source`; a null name is an empty one.
  static Result<std::unique_ptr<Model>> create(const Environment& source, const char* name);
  Model(const Environment& source, std::string name);
  Model(const Model&) = delete;
  Model& operator=(const Model&) = delete;

  int id() const { return id_; }
  Environment& env() { return env_; }
  const ParameterSet& params() const { return env_.params(); }

  Result<void> add_vars(int numvars, int numnz, const int* vbeg, const int* vind, const double* vval, const double* obj,
                        const double* lb, const double* ub, const char* vtype, const char* const* names);
  Result<void> add_constrs(int numconstrs, int numnz, const int* cbeg, const int* cind, const double* cval,
                           const char* sense, const double* rhs, const char* const* names);
  // Applies pending changes; a solution made stale by them is discarded.
  void update();
  // Drops the variables and rows added since the last update, as Gurobi does
  // when it refuses a change while they are pending.
  void discard_pending();
  // Applies pending changes and solves (scripted or through HiGHS).
  Result<void> optimize();

  Result<int> get_int(const AttrDescriptor& descriptor) const;
  Result<void> set_int(const AttrDescriptor& descriptor, int value);
  Result<double> get_double(const AttrDescriptor& descriptor) const;
  Result<void> set_double(const AttrDescriptor& descriptor, double value);
  Result<const char*> get_string(const AttrDescriptor& descriptor) const;
  Result<void> set_string(const AttrDescriptor& descriptor, const char* value);
  Result<void> get_double_array(const AttrDescriptor& descriptor, int start, int len, double* values) const;
  Result<void> set_double_array(const AttrDescriptor& descriptor, int start, int len, const double* values);

  int status() const { return solution_.status; }
  // The HiGHS session of the last solve through HiGHS, for the call trace.
  const HighsSession* session() const { return solved_by_highs_ ? session_.get() : nullptr; }

 private:
  bool has_solution() const { return solution_.is_solution && (solution_.objval.has_value() || !solution_.x.empty()); }
  void mark_changed() { stale_ = true; }
  void discard_solution();
  void apply_pending_coefficients();
  ProblemView view() const;
  Result<SolveOutcome> solve_with_highs();
  void release_handed_over();

  int id_;
  LiveToken live_{HandleKind::Model};
  Environment env_;
  std::string name_;
  int sense_ = GRB_MINIMIZE;
  double objcon_ = 0.0;
  Columns columns_;
  Rows rows_;
  std::size_t applied_vars_ = 0;
  std::size_t applied_constrs_ = 0;
  std::size_t nonzeros_ = 0;          // entries of all rows, whether applied or not
  std::size_t applied_nonzeros_ = 0;  // entries of the applied rows
  GrowingArray<Coefficient> pending_coefficients_;
  std::vector<Coefficient> column_entries_;  // applied, in rows HiGHS holds, not handed over yet
  IndexRange changed_costs_;
  IndexRange changed_bounds_;
  std::unique_ptr<HighsSession> session_;
  bool solved_by_highs_ = false;
  SolveOutcome solution_;
  double runtime_ = 0.0;
  bool stale_ = false;
};

}  // namespace standin

#endif
