// What stops a HiGHS solve early on the stand-in's side, through the callback HiGHS calls
// while it solves: SIGINT (see interrupt.hpp), and a MIP's IterationLimit, the total of its
// LP iterations, which HiGHS applies to an LP's simplex and interior point only.
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

  // Before a solve: the MIP iteration limit it keeps (infinite for none).
  void arm(double mip_iteration_limit);
  // Whether the last solve stopped at the MIP iteration limit.
  bool iteration_limit_reached() const { return reached_; }

 private:
  static void on_callback(int type, const char* message, const void* data, HighsCallbackInput* input, void* self);
  bool should_stop(int type, const void* data);

  // Where this HiGHS version's callback data holds the MIP's LP iteration count; none before 1.8.
  std::optional<std::size_t> lp_iterations_offset_;
  double mip_iteration_limit_;
  bool reached_ = false;
};

}  // namespace standin

#endif
