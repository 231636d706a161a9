// Model.add_constraint, Model.add_constraints and Model.set_objective.

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "batch_cost.hpp"
#include "convert_rows.hpp"
#include "kesto_solver_gurobi/wrapper/utils.hpp"
#include "kesto_solver_gurobi/wrapper/wrapper.hpp"
#include "memory_budget.hpp"
#include "method_parameters.hpp"
#include "model.hpp"
#include "notes.hpp"
#include "refusals.hpp"

namespace velkin {
namespace {

using kesto::ScalarSetType;

constexpr const char* kInvalidSense = "Invalid sense character";
constexpr const char* kSenseNote = "add_constraint() argument 'sense' is %R: Gurobi takes '<', '>' or '='";

// set_objective maximises for sense 1 and minimises for any other; gurobipy's
// users pass -1 to maximise.
constexpr const char* kOtherObjectiveSense =
    "set_objective() argument 'sense' is %d: 1 maximises and any other value minimises (Gurobi's ModelSense uses -1 "
    "for maximise)";

// The note of an invalid sense: the sense given and the three taken.
std::string sense_note(PyObject* sense) {
  PyRef text = PyRef::steal(PyUnicode_FromFormat(kSenseNote, sense));
  const char* utf8 = text ? PyUnicode_AsUTF8(text.get()) : nullptr;
  if (utf8 == nullptr) {
    PyErr_Clear();
    return {};
  }
  return utf8;
}

bool check_name(const std::string& name, const Arg& arg) {
  if (kesto::gurobi::passes_as_c_string(name)) return true;
  return fail(PyExc_ValueError, arg, "must not contain a NUL character");
}

// The sense of add_constraints: every character but '<' and '>' means '='.
char batch_sense(char32_t sense) {
  if (sense == U'<') return GRB_LESS_EQUAL;
  if (sense == U'>') return GRB_GREATER_EQUAL;
  return GRB_EQUAL;
}

std::optional<ScalarSetType> single_set(char32_t sense, double rhs) {
  if (sense == U'<') return kesto::LessEqual{rhs};
  if (sense == U'>') return kesto::GreaterEqual{rhs};
  if (sense == U'=') return kesto::Equal{rhs};
  return std::nullopt;
}

constexpr const char* kSenseAsEquality =
    "add_constraints: sense '%c' of constraint %zu is not '<', '=' or '>'; it is added as an equality";

struct ConstraintBatch {
  VariableRows vars;
  RealRows coeffs;
  std::vector<double> consts;
  std::vector<char32_t> senses;
  std::vector<double> rhss;
  std::optional<std::vector<std::string>> names;

  std::size_t count() const { return std::min({vars.size(), senses.size(), rhss.size()}); }
  // The paired terms of row `i`: its indices and coefficients up to the
  // shorter of the two.
  std::size_t terms_of(std::size_t i) const { return std::min(vars.length_of(i), coeffs.length_of(i)); }
};

bool convert_constraint_batch(const std::array<PyObject*, 6>& objects, const RowsShape& shape, ConstraintBatch& batch) {
  constexpr const auto& parameters = kAddConstraintsParameters;
  constexpr Arg vars_arg = parameters.arg("fs_vars"), coeffs_arg = parameters.arg("fs_coeffs"),
                consts_arg = parameters.arg("fs_consts"), names_arg = parameters.arg("names");
  auto text_sequence = [](PyObject* object, const Arg& arg, std::vector<std::string>& out) {
    return convert_sequence(object, arg, out, convert_text);
  };
  if (!convert_variable_rows(objects[0], vars_arg, shape, batch.vars) ||
      !convert_real_rows(objects[1], coeffs_arg, shape, batch.coeffs) ||
      !convert_real_sequence(objects[2], consts_arg, batch.consts) ||
      !convert_char_sequence(objects[3], parameters.arg("senses"), batch.senses) ||
      !convert_real_sequence(objects[4], parameters.arg("rhss"), batch.rhss) ||
      !convert_optional(objects[5], names_arg, batch.names, text_sequence)) {
    return false;
  }
  const std::string per_function = "functions of 'fs_vars'";
  if (!check_length(batch.coeffs.size(), batch.vars.size(), coeffs_arg, per_function) ||
      !check_length(batch.consts.size(), batch.vars.size(), consts_arg, per_function)) {
    return false;
  }
  if (!batch.names) return true;
  if (!check_length(batch.names->size(), batch.count(), names_arg, "constraints to add")) return false;
  for (std::size_t i = 0; i < batch.count(); ++i) {
    if (!check_name((*batch.names)[i], names_arg.at(static_cast<Py_ssize_t>(i)))) return false;
  }
  return true;
}

// Memory a batch takes while it is added. Per term: the converted index and
// coefficient (a 2-D array, read where it lies, takes less), and Gurobi's copy (24 bytes: 21 to 22 measured with the
// stand-in library). Per row: the converted row ends, constant, sense and
// right-hand side, Gurobi's sense, right-hand side and row start, and the
// returned list's pointer and int object. Names given add a string each and
// what name_bytes counts.
constexpr std::uint64_t kLibraryBytesPerTerm = 24;
constexpr std::uint64_t kBytesPerTerm = sizeof(StoredIndex) + sizeof(double) + kLibraryBytesPerTerm;
constexpr std::uint64_t kBytesPerRow = 2 * sizeof(std::size_t) + sizeof(double) + sizeof(char32_t) + sizeof(double) +
                                       1 + sizeof(double) + sizeof(std::size_t) + sizeof(PyObject*) + 32;

// A batch that cannot fit in the memory the process can still get is refused
// before it is converted; its size is read from 'fs_vars' and 'names'.
bool check_batch_fits(const std::array<PyObject*, 6>& objects, const RowsShape& shape) {
  std::uint64_t bytes = shape.items * kBytesPerTerm + shape.rows * kBytesPerRow;
  if (objects[5] != Py_None) {
    bytes += shape.rows * sizeof(std::string) + name_bytes(objects[5], shape.rows);
  }
  if (fits_in_memory(bytes)) return true;
  return fail(PyExc_MemoryError, kAddConstraintsParameters.arg("fs_vars"),
              "asks for more constraints than fit in this machine's memory");
}

// add_constraints takes every sense but '<' and '>' as '=', and says so once
// for the first row of another sense than the three. The warning comes
// before anything reaches Gurobi, so that where warnings are errors the call
// raises and changes nothing. `warned` tells whether Python code may have
// run (a warnings hook).
bool warn_other_senses(const ConstraintBatch& batch, bool& warned) {
  for (std::size_t i = 0; i < batch.count(); ++i) {
    const char32_t sense = batch.senses[i];
    if (!single_set(sense, 0.0)) {
      warned = true;
      return PyErr_WarnFormat(PyExc_RuntimeWarning, 1, kSenseAsEquality, static_cast<int>(sense), i) == 0;
    }
  }
  return true;
}

// The rows of a batch as Gurobi takes them, read from the converted copy or
// from the 2-D arrays where they lie. Handing the rows over, add_rows reads
// each row once, in order: given the batch as `releasing`, the converted copy
// of the rows read is handed back to the system as Gurobi's own copy grows, so
// that the two are not held whole together.
class BatchRows final : public kesto::gurobi::RowSource {
 public:
  explicit BatchRows(const ConstraintBatch& batch, ConstraintBatch* releasing = nullptr)
      : batch_(batch), releasing_(releasing) {}

  std::size_t count() const override { return batch_.count(); }
  // Rows stored as Gurobi's ints (every index was checked to be within its
  // range, so the bits are those ints) with float64 coefficients are handed
  // over where they lie. An empty row is read, so that Gurobi gets it alike
  // from every form.
  bool view(std::size_t i, kesto::gurobi::GrbRowView& row) const override {
    if (batch_.terms_of(i) == 0) return false;
    const int* indices = nullptr;
    const double* coefficients = nullptr;
    batch_.vars.visit_row(i, [&](const auto* vars) {
      if constexpr (std::is_same_v<std::remove_cvref_t<decltype(*vars)>, StoredIndex>) {
        indices = reinterpret_cast<const int*>(vars);
      }
    });
    batch_.coeffs.visit_row(i, [&](const auto* coeffs) {
      if constexpr (std::is_same_v<std::remove_cvref_t<decltype(*coeffs)>, double>) coefficients = coeffs;
    });
    if (indices == nullptr || coefficients == nullptr) return false;
    row = {indices, coefficients, batch_.terms_of(i), batch_sense(batch_.senses[i]),
           kesto::gurobi::grb_rhs(batch_.rhss[i], batch_.consts[i])};
    // Row i itself is read after this returns.
    release_before(i);
    return true;
  }
  bool read(std::size_t i, kesto::gurobi::GrbRow& row) const override {
    const std::size_t terms = batch_.terms_of(i);
    row.indices.resize(terms);
    row.coefficients.resize(terms);
    batch_.vars.visit_row(i, [&](const auto* vars) {
      std::transform(vars, vars + terms, row.indices.begin(),
                     [](auto index) { return kesto::gurobi::to_grb_int(static_cast<std::uint64_t>(index)); });
    });
    batch_.coeffs.visit_row(i, [&](const auto* coeffs) {
      std::transform(coeffs, coeffs + terms, row.coefficients.begin(),
                     [](auto coefficient) { return static_cast<double>(coefficient); });
    });
    row.sense = batch_sense(batch_.senses[i]);
    row.rhs = kesto::gurobi::grb_rhs(batch_.rhss[i], batch_.consts[i]);
    release_before(i + 1);
    return true;
  }
  const char* name(std::size_t i) const override { return batch_.names ? (*batch_.names)[i].c_str() : nullptr; }

 private:
  void release_before(std::size_t end) const {
    if (releasing_ == nullptr) return;
    releasing_->vars.release_before(end);
    releasing_->coeffs.release_before(end);
  }

  const ConstraintBatch& batch_;
  ConstraintBatch* releasing_;
};

// Whether row `i`'s coefficients stay finite once each variable's terms are
// added up, as Gurobi is handed them.
bool row_merges_finite(const ConstraintBatch& batch, std::size_t i) {
  kesto::gurobi::GrbRow row;
  BatchRows(batch).read(i, row);
  return kesto::gurobi::merges_finite(std::move(row.indices), std::move(row.coefficients));
}

// Whether a row's coefficients are finite and so small in sum that adding up
// a variable's repeated terms cannot overflow: what nearly every row shows, at
// the cost of one pass that the compiler can vectorise.
template <class T>
bool far_from_overflow(const T* coeffs, std::size_t terms) {
  constexpr double kFarFromOverflow = 1e300;
  double sums[4] = {0.0, 0.0, 0.0, 0.0};
  std::size_t k = 0;
  for (; k + 4 <= terms; k += 4) {
    for (std::size_t lane = 0; lane < 4; ++lane) sums[lane] += std::fabs(static_cast<double>(coeffs[k + lane]));
  }
  for (; k < terms; ++k) sums[0] += std::fabs(static_cast<double>(coeffs[k]));
  // NaN fails the comparison.
  return (sums[0] + sums[1]) + (sums[2] + sums[3]) <= kFarFromOverflow;
}

// False with an IndexError for the first of a row's variables that the model
// never handed out.
template <class T>
bool check_known_variables(const T* vars, std::size_t terms, std::uint64_t variables) {
  std::uint64_t largest = 0;
  for (std::size_t k = 0; k < terms; ++k) largest = std::max(largest, static_cast<std::uint64_t>(vars[k]));
  if (terms == 0 || largest < variables) return true;
  for (std::size_t k = 0; k < terms; ++k) {
    if (!check_known_variable(static_cast<std::uint64_t>(vars[k]), variables)) return false;
  }
  return true;
}

// What Gurobi would refuse in a row's coefficients, if anything: a term that
// is not finite, or terms of one variable that add up to infinity
// (`merges_finite()` tells).
template <class T, class MergesFinite>
std::optional<kesto::Breach> coefficients_breach(const T* coeffs, std::size_t terms, MergesFinite&& merges_finite) {
  if (far_from_overflow(coeffs, terms)) return std::nullopt;
  double magnitude = 0.0;
  for (std::size_t k = 0; k < terms; ++k) {
    magnitude += std::fabs(static_cast<double>(coeffs[k]));
    if (auto breach = kesto::gurobi::coefficient_breach(k, static_cast<double>(coeffs[k]))) return breach;
  }
  if (!std::isfinite(magnitude) && !merges_finite()) return kesto::gurobi::merged_breach();
  return std::nullopt;
}

// What Gurobi would refuse in row `i`, if anything (see the backend's
// accepted.hpp).
std::optional<kesto::Breach> row_breach(const ConstraintBatch& batch, std::size_t i) {
  using namespace kesto::gurobi;
  auto breach = batch.coeffs.visit_row(i, [&](const auto* coeffs) {
    return coefficients_breach(coeffs, batch.terms_of(i), [&] { return row_merges_finite(batch, i); });
  });
  if (breach) return breach;
  const double constant = batch.consts[i];
  if ((breach = value_breach(kesto::Breach::Constant, 0, constant))) return breach;
  if ((breach = value_breach(kesto::Breach::RightHandSide, 0, batch.rhss[i] - constant))) {
    breach->value = batch.rhss[i];
    return breach;
  }
  return batch.names ? name_breach(0, (*batch.names)[i]) : std::nullopt;
}

// The arguments of a row's data: its coefficients, constant, right-hand side
// and name.
struct RowArgs {
  Arg coeffs, constant, rhs, name;
};

// The note of a breach in a row's data.
std::string row_note(const std::optional<kesto::Breach>& breach, const RowArgs& args) {
  if (!breach) return {};
  switch (breach->input) {
    case kesto::Breach::Coefficients:
      if (breach->rule == kesto::Breach::MergedFinite) return breach_note(*breach, args.coeffs);
      return breach_note(*breach, args.coeffs.at(static_cast<Py_ssize_t>(breach->item)));
    case kesto::Breach::Constant: return breach_note(*breach, args.constant);
    case kesto::Breach::RightHandSide: return breach_note(*breach, args.rhs);
    default: return breach_note(*breach, args.name);
  }
}

// False with an error set when a paired term of a row names a variable the
// model never handed out (IndexError), or when Gurobi would refuse a row, so
// that a batch is refused whole before any row reaches Gurobi.
bool check_rows(const ConstraintBatch& batch, const ModelCounts& counts) {
  for (std::size_t i = 0; i < batch.count(); ++i) {
    const bool known = batch.vars.visit_row(
        i, [&](const auto* vars) { return check_known_variables(vars, batch.terms_of(i), counts.variables); });
    if (!known) return false;
    if (const auto breach = row_breach(batch, i)) {
      constexpr const auto& parameters = kAddConstraintsParameters;
      const auto item = static_cast<Py_ssize_t>(i);
      const RowArgs args{parameters.arg("fs_coeffs").at(item), parameters.arg("fs_consts").at(item),
                         parameters.arg("rhss").at(item), parameters.arg("names").at(item)};
      raise_constraint_refusal({counts.constraints + i, GRB_ERROR_INVALID_ARGUMENT}, {}, {}, row_note(breach, args));
      return false;
    }
  }
  return true;
}

// Checks a converted batch and adds its constraints; the list of their
// indices. The rows of a 2-D array are read where they lie, and Python code
// (a warnings hook, a gc callback at any allocation of a Python object) may
// change the array: no such code runs between the last check and the read.
PyObject* add_batch(kesto::gurobi::GurobiOptimizer& optimizer, ConstraintBatch& batch) {
  PyRef result = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(batch.count())));
  if (!result) return nullptr;
  bool warned = false;
  if (!check_rows(batch, counts_of(optimizer)) || !warn_other_senses(batch, warned)) return nullptr;
  if (warned && !check_rows(batch, counts_of(optimizer))) return nullptr;
  const ModelCounts before = counts_of(optimizer);
  const auto indices = optimizer.add_rows(BatchRows(batch, &batch));
  if (!indices) return raise_constraint_refusal(indices.error(), before, counts_of(optimizer));
  for (std::size_t j = 0; j < indices->size(); ++j) {
    PyObject* index = PyLong_FromUnsignedLongLong((*indices)[j]);
    if (index == nullptr) return nullptr;
    PyList_SET_ITEM(result.get(), static_cast<Py_ssize_t>(j), index);
  }
  return result.release();
}

// What Gurobi would refuse in add_constraint's row, as row_breach tells for a
// batch's row, if anything; `row` holds its paired terms as Gurobi takes them.
std::optional<kesto::Breach> single_breach(const kesto::gurobi::GrbRow& row, double constant, double rhs,
                                           const std::optional<std::string>& name) {
  using namespace kesto::gurobi;
  const auto& coeffs = row.coefficients;
  if (auto breach = coefficients_breach(coeffs.data(), coeffs.size(),
                                        [&] { return merges_finite(row.indices, row.coefficients); })) {
    return breach;
  }
  if (auto breach = value_breach(kesto::Breach::Constant, 0, constant)) return breach;
  if (auto breach = value_breach(kesto::Breach::RightHandSide, 0, rhs - constant)) {
    breach->value = rhs;
    return breach;
  }
  return name ? name_breach(0, *name) : std::nullopt;
}

}  // namespace

PyObject* model_add_constraint(PyObject* self, PyObject* args, PyObject* kwargs) {
  constexpr const auto& parameters = kAddConstraintParameters;
  std::array<PyObject*, 6> objects{nullptr, nullptr, nullptr, nullptr, nullptr, Py_None};
  if (!parse_arguments<parameters>(args, kwargs, objects)) return nullptr;
  auto [vars_obj, coeffs_obj, constant_obj, sense_obj, rhs_obj, name_obj] = objects;
  return with_model<Access::Exclusive>(self, [&](auto& optimizer) -> PyObject* {
    constexpr Arg name_arg = parameters.arg("name");
    auto& [vars, row] = model_state(self).single_row;
    vars.clear();
    row.coefficients.clear();
    double constant = 0.0, rhs = 0.0;
    char32_t sense = 0;
    std::optional<std::string> name;
    if (!convert_variable_index_sequence(vars_obj, parameters.arg("vars"), vars) ||
        !convert_real_sequence(coeffs_obj, parameters.arg("coeffs"), row.coefficients) ||
        !convert_real(constant_obj, parameters.arg("constant"), constant) ||
        !convert_char(sense_obj, parameters.arg("sense"), sense) ||
        !convert_real(rhs_obj, parameters.arg("rhs"), rhs) ||
        !convert_optional(name_obj, name_arg, name, convert_text)) {
      return nullptr;
    }
    if (!single_set(sense, rhs)) return raise_with_note(PyExc_ValueError, kInvalidSense, sense_note(sense_obj));
    if (name && !check_name(*name, name_arg)) return nullptr;
    // The paired terms go to Gurobi as one row, without the solver-neutral
    // function and set of the batch form.
    const std::size_t terms = std::min(vars.size(), row.coefficients.size());
    if (!check_known_variables(vars.data(), terms, optimizer.var_count())) return nullptr;
    row.coefficients.resize(terms);
    row.indices.resize(terms);
    std::transform(vars.begin(), vars.begin() + static_cast<std::ptrdiff_t>(terms), row.indices.begin(),
                   kesto::gurobi::to_grb_int);
    const ModelCounts before = counts_of(optimizer);
    if (const auto breach = single_breach(row, constant, rhs, name)) {
      const RowArgs args{parameters.arg("coeffs"), parameters.arg("constant"), parameters.arg("rhs"), name_arg};
      return raise_constraint_refusal({before.constraints, GRB_ERROR_INVALID_ARGUMENT}, {}, {}, row_note(breach, args));
    }
    row.sense = batch_sense(sense);
    row.rhs = kesto::gurobi::grb_rhs(rhs, constant);
    const auto index = optimizer.add_row(row, name ? name->c_str() : nullptr);
    if (!index) return raise_constraint_refusal(index.error(), before, counts_of(optimizer));
    return PyLong_FromUnsignedLongLong(*index);
  });
}

PyObject* model_add_constraints(PyObject* self, PyObject* args, PyObject* kwargs) {
  std::array<PyObject*, 6> objects{nullptr, nullptr, nullptr, nullptr, nullptr, Py_None};
  if (!parse_arguments<kAddConstraintsParameters>(args, kwargs, objects)) return nullptr;
  return with_model<Access::Exclusive>(self, [&](auto& optimizer) -> PyObject* {
    ConstraintBatch batch;
    const RowsShape shape = rows_shape(objects[0]);
    if (!check_batch_fits(objects, shape) || !convert_constraint_batch(objects, shape, batch)) return nullptr;
    return add_batch(optimizer, batch);
  });
}

PyObject* model_set_objective(PyObject* self, PyObject* args, PyObject* kwargs) {
  constexpr const auto& parameters = kSetObjectiveParameters;
  std::array<PyObject*, 4> objects{};
  if (!parse_arguments<parameters>(args, kwargs, objects)) return nullptr;
  auto [vars_obj, coeffs_obj, constant_obj, sense_obj] = objects;
  return with_model<Access::Exclusive>(self, [&](auto& optimizer) -> PyObject* {
    // Converted straight into the terms Gurobi takes: a million terms are
    // not copied again on their way.
    kesto::gurobi::GrbFunction objective;
    int sense = 0;
    if (!convert_variable_index_sequence(vars_obj, parameters.arg("vars"), objective.indices) ||
        !convert_real_sequence(coeffs_obj, parameters.arg("coeffs"), objective.coefficients) ||
        !convert_real(constant_obj, parameters.arg("constant"), objective.constant) ||
        !convert_int32(sense_obj, parameters.arg("sense"), sense)) {
      return nullptr;
    }
    const std::size_t terms = std::min(objective.indices.size(), objective.coefficients.size());
    objective.indices.resize(terms);
    objective.coefficients.resize(terms);
    for (const std::uint64_t var : objective.indices) {
      if (!check_known_variable(var, optimizer.var_count())) return nullptr;
    }
    if (sense != 0 && sense != 1 && PyErr_WarnFormat(PyExc_RuntimeWarning, 1, kOtherObjectiveSense, sense) < 0) {
      return nullptr;
    }
    const ModelCounts before = counts_of(optimizer);
    auto result = optimizer.set_objective_terms(objective, sense == 1);
    if (!result) {
      return raise_objective_error(result.error(), before, counts_of(optimizer), parameters.arg("coeffs"),
                                   parameters.arg("constant"));
    }
    Py_RETURN_NONE;
  });
}

}  // namespace velkin
