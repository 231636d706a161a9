// TimeLimit for a solve as a whole: the stand-in may run HiGHS several times for one solve (second
// opinions, relaxations, branching), and each run gets what is left of the limit.
#ifndef STANDIN_DEADLINE_HPP
#define STANDIN_DEADLINE_HPP

#include <algorithm>
#include <chrono>
#include <limits>

namespace standin {

class Deadline {
 public:
  // `limit` in seconds; infinite for none.
  explicit Deadline(double limit) : limit_(limit), start_(std::chrono::steady_clock::now()) {}
  bool is_finite() const { return limit_ < std::numeric_limits<double>::infinity(); }
  // Seconds left, never below 0.
  double left() const {
    const double spent = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    return std::max(limit_ - spent, 0.0);
  }

 private:
  double limit_;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace standin

#endif
