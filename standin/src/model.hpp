// Model storage: columns, rows in compressed sparse row form, model attributes, the last
// solution, and changes not yet applied (Gurobi's lazy updates).
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
#include "handles.hpp"
#include "solve_outcome.hpp"

namespace standin {

// Many names in one buffer: no heap object per row or column.
class NameList {
 public:
  void reserve(std::size_t count, std::size_t chars);
  void append(const char* name);  // null: no name of its own
  std::size_t size() const { return ends_.size(); }
  std::string_view at(std::size_t i) const;

 private:
  std::string chars_;
  std::vector<std::size_t> ends_;
};

struct Columns {
  std::vector<double> lb;
  std::vector<double> ub;
  std::vector<double> obj;
  std::vector<char> vtype;
  NameList names;

  std::size_t size() const { return obj.size(); }
};

struct Rows {
  std::vector<std::size_t> start{0};  // row i holds entries start[i] .. start[i + 1] - 1
  std::vector<int> index;
  std::vector<double> value;
  std::vector<char> sense;
  std::vector<double> rhs;
  NameList names;

  std::size_t size() const { return sense.size(); }
  std::size_t nonzeros() const { return index.size(); }
};

class Model {
 public:
  // Copies the parameters of `source`; a null name is an empty one.
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
  // Applies pending changes and solves (scripted or through HiGHS).
  Result<void> optimize();

  Result<int> get_int(const AttrSpec& descriptor) const;
  Result<void> set_int(const AttrSpec& descriptor, int value);
  Result<double> get_double(const AttrSpec& descriptor) const;
  Result<void> set_double(const AttrSpec& descriptor, double value);
  Result<const char*> get_string(const AttrSpec& descriptor) const;
  Result<void> set_string(const AttrSpec& descriptor, const char* value);
  Result<void> get_double_array(const AttrSpec& descriptor, int start, int len, double* values) const;
  Result<void> set_double_array(const AttrSpec& descriptor, int start, int len, const double* values);

  // Applied data, for the solver. After update() nothing is pending.
  const Columns& columns() const { return columns_; }
  const Rows& rows() const { return rows_; }
  int sense() const { return sense_; }
  int status() const { return solution_.status; }
  double objcon() const { return objcon_; }

 private:
  bool has_solution() const { return solution_.objval.has_value() || !solution_.x.empty(); }
  void mark_changed() { stale_ = true; }
  void discard_solution();
  void apply_pending_coefficients();

  struct PendingCoefficient {
    int row;
    int col;
    double value;
  };

  int id_;
  LiveToken live_{HandleKind::Model};
  Environment env_;
  std::string name_;
  int sense_ = 1;
  double objcon_ = 0.0;
  Columns columns_;
  Rows rows_;
  std::size_t applied_vars_ = 0;
  std::size_t applied_constrs_ = 0;
  std::vector<PendingCoefficient> pending_coefficients_;
  SolveOutcome solution_;
  double runtime_ = 0.0;
  bool stale_ = false;
};

}  // namespace standin

#endif
