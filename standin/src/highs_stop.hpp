// What stops a HiGHS solve early on the stand-in's side, through the callback HiGHS calls
// while it solves: SIGINT (see interrupt.hpp); a MIP's IterationLimit, the total of its
// LP iterations, which HiGHS applies to an LP's simplex and interior point only; and a MIP's
// BestObjStop and BestBdStop, which HiGHS has no option for.
#ifndef STANDIN_HIGHS_STOP_HPP
#define STANDIN_HIGHS_STOP_HPP

#include <cstddef>
#include <optional>

#include "highs_library.hpp"

namespace standin {

class HighsStop {
 public:
  // Installs the callback on `highs`; the object must outlive the instance's solves.
  HighsStop(const HighsApi& api, void* highs);
  HighsStop(const HighsStop&) = delete;
  HighsStop& operator=(const HighsStop&) = delete;

  // What stops a MIP: its iteration limit (infinite for none), an incumbent at least as good as
  // `best_objective` or a bound at least as good as `best_bound` (each in the model's sense,
  // 1 minimising; infinite for none).
  struct MipStops {
    double iteration_limit;
    double best_objective;
    double best_bound;
    int sense;
  };
  enum class Reason { None, IterationLimit, ObjectiveReached };

  // Before a solve: the MIP stops it keeps (none for an LP).
  void arm(const MipStops& stops);
  // Why the stand-in stopped the last solve, if it did.
  Reason reason() const { return reason_; }

 private:
  static void on_callback(int type, const char* message, const void* data, HighsCallbackInput* input, void* self);
  bool should_stop(int type, const void* data);
  static bool reaches(double bound, double stop, double direction);

  // Where this HiGHS version's callback data holds the MIP's LP iteration count; none before 1.8.
  std::optional<std::size_t> lp_iterations_offset_;
  MipStops stops_;
  Reason reason_ = Reason::None;
};

}  // namespace standin

#endif
