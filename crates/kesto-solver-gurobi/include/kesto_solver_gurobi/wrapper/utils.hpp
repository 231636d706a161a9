#pragma once
// Translation of core functions and sets into Gurobi's arrays and scalars.

#include <cstdint>
#include <expected>
#include <string>
#include <vector>

#include "kesto_core/functions/function.hpp"
#include "kesto_core/sets.hpp"
#include "kesto_solver_gurobi/gurobi_constants.h"
#include "kesto_solver_gurobi/wrapper/wrapper.hpp"

namespace kesto::gurobi {

struct GrbFunction {
  std::vector<std::uint64_t> indices;
  std::vector<double> coefficients;
  double constant = 0.0;
};

struct ConstraintRecord {
  const ScalarFunctionType& function;
  const ScalarSetType& set;
};

std::expected<GrbFunction, std::string> scalar_function_to_grb(const ScalarFunctionType& function);

// Whether a row's variables come in increasing order, as they usually do: then
// none is named twice and there is nothing to merge.
bool increasing(const int* indices, std::size_t terms);

// Merges the terms of a row that name the same variable: the first keeps its
// position and gets the coefficients of the others added, in row order.
// Gurobi refuses a row that names a variable twice. Short rows are compared
// term by term; long ones are first looked up in a bit per variable of the
// model, allocated at the first long row and kept for the rows after it.
class RepeatedTerms {
 public:
  explicit RepeatedTerms(std::uint64_t variables) : variables_(variables) {}
  // Whether a row has terms to merge: a variable named twice, or a long row
  // naming one beyond the model (merged the slow way, for Gurobi to refuse).
  bool any(const int* indices, std::size_t terms);
  void merge(std::vector<int>& indices, std::vector<double>& coefficients);

 private:
  bool marks_twice(const int* indices, std::size_t terms);

  std::uint64_t variables_;
  std::vector<std::uint64_t> seen_;  // all clear between rows
};

// Whether a row's coefficients stay finite once the terms of each variable
// are added up; `indices` and `coefficients` are copies, merged to see. Only
// a row whose terms' absolute values add up to infinity needs the question:
// no sum of its coefficients can overflow otherwise.
bool merges_finite(std::vector<int> indices, std::vector<double> coefficients);

// The function's constant moves to the right-hand side, the indices become
// Gurobi's ints. The result's arrays reuse the capacity of `storage`, so a
// caller converting many constraints can hand back the previous result and
// allocate once.
std::expected<GrbRow, std::string> scalar_constraint_to_grb(const ConstraintRecord& constraint, GrbRow storage = {});

}  // namespace kesto::gurobi
