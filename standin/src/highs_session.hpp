// One HiGHS instance per model, for the model's life. Each solve hands HiGHS only what
// changed since the last one, so HiGHS keeps its basis and LP re-solves start warm.
#ifndef STANDIN_HIGHS_SESSION_HPP
#define STANDIN_HIGHS_SESSION_HPP

#include <cstddef>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "deadline.hpp"
#include "errors.hpp"
#include "highs_columns.hpp"
#include "highs_library.hpp"
#include "highs_stop.hpp"
#include "parameters.hpp"
#include "problem_view.hpp"
#include "semi_indicators.hpp"
#include "solution_check.hpp"
#include "solve_outcome.hpp"

namespace standin {

// What a solve handed to HiGHS: the whole model, only changes, or nothing (an unchanged
// model, or one decided without HiGHS).
enum class Handover { Model, Changes, Nothing };

class HighsSession {
 public:
  // A bound a node of the branching puts on a column: a semi-variable's state (its column at 0
  // or within its range; `indicator` is its index) or a side of a split of an integer column.
  struct NodeBound {
    std::size_t col;
    double lower;
    double upper;
    std::optional<std::size_t> indicator;
  };
  using BranchNode = std::vector<NodeBound>;

  // Fails with 10009 when HiGHS cannot be opened.
  static Result<std::unique_ptr<HighsSession>> open();
  HighsSession(const HighsApi& api, void* highs);
  ~HighsSession();
  HighsSession(const HighsSession&) = delete;
  HighsSession& operator=(const HighsSession&) = delete;

  // Rows HiGHS holds: the model may drop their coefficients once a solve has handed them over.
  std::size_t held_rows() const { return held_rows_; }
  std::size_t held_cols() const { return held_cols_; }

  // Hands over what changed since the last hand-over; after it, the view's buffered rows and
  // column entries are HiGHS's to keep (see took_view). Fails with 10025 when the model is too
  // large for HiGHS's indices. An outcome decided without solving (no columns, an impossible
  // bound, a change HiGHS refused) comes back at once.
  Result<std::optional<SolveOutcome>> hand_over(const ProblemView& view, const ParameterSet& params);
  // After a failure inside hand_over or solve (an exception, such as memory running short): the
  // next hand-over starts from a new instance, built from the model's data.
  void mark_damaged();
  // Solves what was handed over and reads the outcome; every outcome of a solve that ran, errors
  // inside HiGHS included, is a status. An unchanged model whose last solve ended for good is
  // not solved again. `view` is the one handed over, buffered rows aside.
  SolveOutcome solve(const ProblemView& view, const ParameterSet& params);

  Handover last_handover() const { return last_handover_; }
  // Whether the last solve handed over the whole view (else it was decided without HiGHS
  // and the changes are still to come).
  bool took_view() const { return took_view_; }
  // Simplex iterations of the last solve (0 when HiGHS did not run).
  int last_iterations() const { return last_iterations_; }

 private:
  void apply_parameters(const ParameterSet& params);
  bool load_model(const ProblemView& view, const ParameterSet& params);
  bool pass_model(const ProblemView& view, std::size_t cols, const RowBlock& rows, double int_tolerance);
  bool read_rows(std::size_t count, std::size_t cols, RowBlock& rows) const;
  bool memory_suffices(const ProblemView& view) const;
  void admit_coefficients(const ProblemView& view);
  bool apply_changes(const ProblemView& view, const ParameterSet& params);
  bool change_costs(const ProblemView& view, IndexRange range);
  bool change_bounds(const ProblemView& view, IndexRange range, double int_tolerance);
  bool add_columns(const ProblemView& view, double int_tolerance);
  bool add_rows(const ProblemView& view);
  bool rebuild(const ProblemView& view, const ParameterSet& params);
  bool remove_indicators();
  std::vector<SemiIndicator> semi_indicators(const ProblemView& view, double int_tolerance) const;
  bool add_indicators(const ProblemView& view, double int_tolerance);
  using RowVisit = std::function<void(std::span<const HighsInt>, std::span<const double>, double, double)>;
  void for_each_row_of(std::size_t col, const RowVisit& visit) const;
  bool imply_bounds(const std::vector<bool>& examined, ColumnBlock& columns,
                    std::vector<HighsColumn>& implied) const;
  double held_lower(std::size_t col, double lower) const;
  SemiIndicator semi_indicator(std::size_t col, const HighsColumn& column, double magnitude,
                               std::span<const double> lower, std::span<const double> upper) const;
  // Frees (or restores) the rows of indicators whose limit was guessed, and with `large_too` those
  // with a large limit (has_large_limit) as well.
  void relax_guessed_indicators(bool relaxed, bool large_too = false);
  void hold_off_columns(bool held);
  void offer_incumbent(const ProblemView& view);
  void arm_stops(const ParameterSet& params);
  HighsInt run(const ParameterSet& params);
  SolveOutcome settle_no_answer(const ProblemView& view, const ParameterSet& params, SolveOutcome result);
  void rerun_tighter(const ParameterSet& params);
  void settle_solve_error(const ParameterSet& params);
  void recheck_warm_lp(const ProblemView& view, const ParameterSet& params);
  void recheck_lp_claim(const ProblemView& view, const ParameterSet& params);
  Tolerances held_lp_tolerances(const ParameterSet& params) const;
  std::optional<std::vector<double>> holding_point(const ProblemView& view, const ParameterSet& params) const;
  bool ray_proves_unbounded(const ProblemView& view, const ParameterSet& params) const;
  bool holds_lp(const ProblemView& view) const;
  void recheck_infeasible_mip(const ParameterSet& params);
  void forget_basis();
  void run_cold_second_opinion(const ParameterSet& params);
  void retry_without_answer(const ParameterSet& params);
  SolveOutcome outcome(const ParameterSet& params);
  SolveOutcome stopped_without_solution(int status) const;
  bool may_be_unbounded(const ProblemView& view, double int_tolerance) const;
  bool confirm_optimal(const ProblemView& view, const ParameterSet& params, SolveOutcome& result);
  HighsInt solve_relaxation(const ParameterSet& params, double known, double& bound);
  bool relaxation_shows(const ParameterSet& params, double value);
  HighsInt solve_node_relaxation(const ParameterSet& params);
  bool node_relaxation_shows(const ParameterSet& params, double value);
  HighsInt relaxation_attempt(const ParameterSet& params, const char* presolve, double known, double& bound);
  HighsInt recheck_relaxation(const ParameterSet& params, HighsInt status, double known, double& bound);
  bool solve_once(const ProblemView& view, const ParameterSet& params);
  bool raise_guessed_limits(const ProblemView& view, const ParameterSet& params, bool cut_short);
  bool presolve_may_loop(const ProblemView& view) const;
  bool may_scale_beyond_int32(const ProblemView& view) const;
  // The presolve setting of a solve's runs, and of a second opinion on an answer (highs_options.hpp);
  // while presolve may loop, those of Presolve 0.
  const char* presolve_setting(const ParameterSet& params) const;
  const char* second_presolve_setting(const ParameterSet& params) const;
  SolveOutcome decide(const ProblemView& view, const ParameterSet& params);
  SolveOutcome checked(const ProblemView& view, const ParameterSet& params, SolveOutcome result);
  bool branches_on(const SolutionFaults& faults) const;
  SolveOutcome second_opinion(const ProblemView& view, const ParameterSet& params, SolveOutcome result);
  void rerun_looser(const ParameterSet& params);
  Tolerances model_tolerances(const ParameterSet& params) const;
  bool holds(const ProblemView& view, const ParameterSet& params, const SolveOutcome& result) const;
  // Starts from `incumbent`, a solution of the model, when given.
  SolveOutcome branch(const ProblemView& view, const ParameterSet& params,
                      std::optional<SolveOutcome> incumbent = std::nullopt);
  struct Search;
  std::optional<std::size_t> first_free(const BranchNode& node, std::span<const std::size_t> cols) const;
  void visit(const ProblemView& view, const ParameterSet& params, const BranchNode& node, Search& search);
  double node_bound(double value, const Search& search) const;
  void split(const ProblemView& view, const ParameterSet& params, const BranchNode& node, const SolutionFaults& faults,
             std::span<const double> x, Search& search) const;
  bool bound_node_columns(const ProblemView& view, const BranchNode& node, std::span<const std::size_t> split_cols,
                          double int_tolerance);
  void relax_wide_integers(const ProblemView& view, double int_tolerance);
  void hold_open_integers(const ProblemView& view, double int_tolerance);
  void restore_wide_integers(const ProblemView& view, double int_tolerance);
  HighsInt solve_node(const ProblemView& view, const ParameterSet& params);
  HighsInt settle_node(const ProblemView& view, const ParameterSet& params);
  HighsInt feasibility_status(const ProblemView& view, const ParameterSet& params);
  bool unbounded_before_search(const ProblemView& view, const ParameterSet& params);
  bool has_point(const ProblemView& view, const ParameterSet& params);
  bool improves_alone(const ProblemView& view, double int_tolerance) const;
  bool relaxation_has_ray(const ParameterSet& params);
  bool ray_holds() const;
  bool ray_improves(std::vector<double> ray, std::size_t rows) const;
  bool rows_keep_ray(std::span<const double> ray, std::size_t rows) const;
  void zero_costs(const ProblemView& view, bool zero);
  bool within_gap(double value, double bound, const ParameterSet& params) const;
  SolveOutcome settle_infeasible_or_unbounded(const ProblemView& view, const ParameterSet& params);
  SolveOutcome apply_stop_parameters(SolveOutcome result, const ParameterSet& params) const;

  const HighsApi& api_;
  void* highs_;
  std::unique_ptr<HighsStop> stop_;
  std::size_t held_cols_ = 0;
  std::size_t held_rows_ = 0;
  std::size_t held_nonzeros_ = 0;
  double largest_coefficient_ = 0.0;  // of the rows handed over since the model was passed whole
  int sense_ = 1;
  double objcon_ = 0.0;
  bool is_mip_ = false;
  std::optional<ParameterSet> applied_params_;
  bool changed_ = true;   // something reached HiGHS since its last run
  bool has_run_ = false;     // HiGHS ran on this model since it was passed whole, or cleared
  bool warm_start_ = false;  // the last run may have started from an earlier run's basis
  // HiGHS refused part of the model, or a hand-over or solve failed midway: the instance may not
  // match the model, and the next hand-over builds a new one.
  bool damaged_ = false;
  // What HiGHS held before the hand-over under way, to go back to if it fails.
  struct HeldCounts {
    std::size_t cols, rows, nonzeros;
  };
  std::optional<HeldCounts> held_before_;
  double large_matrix_value_ = kHighsLargeMatrixValue;  // HiGHS's limit on coefficients
  // Semi-variables' indicators: HiGHS's columns from held_cols_ and its rows from held_rows_,
  // two for each.
  std::vector<SemiIndicator> indicators_;
  double guess_scale_ = 1.0;  // raised while guessed limits bind, and kept
  // Integer columns HiGHS holds as continuous during a solve (is_wide_integer, hold_open_integers).
  std::vector<std::size_t> wide_integers_;
  std::vector<std::size_t> wide_by_rows_;  // those among them that only their rows make wide, ascending
  std::vector<std::pair<std::size_t, double>> implied_lowers_;  // during a solve (hold_open_integers)
  bool presolve_unsafe_ = false;  // during a solve: presolve_may_loop held at its start
  Deadline deadline_{std::numeric_limits<double>::infinity()};  // TimeLimit, from the solve's start
  std::optional<SolveOutcome> last_outcome_;
  std::vector<double> incumbent_;  // the last MIP solution, offered as the next start
  Handover last_handover_ = Handover::Nothing;
  bool took_view_ = false;
  int last_iterations_ = 0;
};

}  // namespace standin

#endif
