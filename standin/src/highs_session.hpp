// One HiGHS instance per model, for the model's life. Each solve hands HiGHS only what
// changed since the last one, so HiGHS keeps its basis and LP re-solves start warm.
#ifndef STANDIN_HIGHS_SESSION_HPP
#define STANDIN_HIGHS_SESSION_HPP

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "errors.hpp"
#include "highs_library.hpp"
#include "highs_stop.hpp"
#include "parameters.hpp"
#include "problem_view.hpp"
#include "semi_indicators.hpp"
#include "solve_outcome.hpp"

namespace standin {

// What a solve handed to HiGHS: the whole model, only changes, or nothing (an unchanged
// model, or one decided without HiGHS).
enum class Handover { Model, Changes, Nothing };

class HighsSession {
 public:
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
  void apply_parameters(const ParameterSet& params, const ProblemView& view);
  bool load_model(const ProblemView& view, const ParameterSet& params);
  bool apply_changes(const ProblemView& view, const ParameterSet& params);
  bool change_costs(const ProblemView& view, IndexRange range);
  bool change_bounds(const ProblemView& view, IndexRange range, double int_tolerance);
  bool add_columns(const ProblemView& view, double int_tolerance);
  bool add_rows(const ProblemView& view);
  bool remove_indicators();
  std::vector<SemiIndicator> semi_indicators(const ProblemView& view, double int_tolerance) const;
  bool add_indicators(const ProblemView& view, double int_tolerance);
  double implied_limit(std::size_t col, bool upward, std::span<const double> lower,
                       std::span<const double> upper) const;
  void relax_guessed_indicators(bool relaxed);
  void offer_incumbent(const ProblemView& view);
  HighsInt run(const ParameterSet& params);
  void rerun_tighter(const ParameterSet& params);
  SolveOutcome outcome(const ParameterSet& params);
  SolveOutcome stopped_without_solution(int status) const;
  bool may_be_unbounded(const ProblemView& view, double int_tolerance) const;
  bool confirm_optimal(const ProblemView& view, const ParameterSet& params, SolveOutcome& result);
  bool solve_once(const ProblemView& view, const ParameterSet& params);
  bool within_gap(double value, double bound, const ParameterSet& params) const;
  SolveOutcome settle_infeasible_or_unbounded(const ProblemView& view, const ParameterSet& params);

  const HighsApi& api_;
  void* highs_;
  HighsStop stop_;
  std::size_t held_cols_ = 0;
  std::size_t held_rows_ = 0;
  std::size_t held_nonzeros_ = 0;
  int sense_ = 1;
  double objcon_ = 0.0;
  bool is_mip_ = false;
  std::optional<ParameterSet> applied_params_;
  bool changed_ = true;   // something reached HiGHS since its last run
  bool refused_ = false;  // HiGHS refused part of the model: its answers mean nothing
  // Semi-variables' indicators: HiGHS's columns from held_cols_ and its rows from held_rows_,
  // two for each.
  std::vector<SemiIndicator> indicators_;
  double guess_scale_ = 1.0;  // raised while guessed limits bind, and kept
  std::optional<SolveOutcome> last_outcome_;
  std::vector<double> incumbent_;  // the last MIP solution, offered as the next start
  Handover last_handover_ = Handover::Nothing;
  bool took_view_ = false;
  int last_iterations_ = 0;
};

}  // namespace standin

#endif
