#include "highs_stop.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "interrupt.hpp"

namespace standin {
namespace {

// HiGHS's callbacks that may stop a solve: simplex, interior point, branch and bound.
constexpr HighsInt kSimplexInterrupt = 1;
constexpr HighsInt kIpmInterrupt = 2;
constexpr HighsInt kMipInterrupt = 6;

// The head of HiGHS's callback data, up to the MIP's LP iteration count: from 1.8, and
// from 1.11 with a pointer of HiGHS's own in front.
struct CallbackDataHead {
  int log_type;
  double running_time;
  HighsInt simplex_iteration_count;
  HighsInt ipm_iteration_count;
  HighsInt pdlp_iteration_count;
  double objective_function_value;
  std::int64_t mip_node_count;
  std::int64_t mip_total_lp_iterations;
  double mip_primal_bound;
  double mip_dual_bound;
};
struct CallbackDataHeadSince1_11 {
  void* cbdata;
  CallbackDataHead head;
};

std::optional<std::size_t> lp_iterations_offset(const HighsApi& api) {
  const HighsInt major = api.version_major();
  const HighsInt minor = api.version_minor();
  if (major == 1 && minor < 8) return std::nullopt;
  if (major == 1 && minor < 11) return offsetof(CallbackDataHead, mip_total_lp_iterations);
  return offsetof(CallbackDataHeadSince1_11, head) + offsetof(CallbackDataHead, mip_total_lp_iterations);
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::size_t kPrimalBoundShift =
    offsetof(CallbackDataHead, mip_primal_bound) - offsetof(CallbackDataHead, mip_total_lp_iterations);
constexpr std::size_t kDualBoundShift =
    offsetof(CallbackDataHead, mip_dual_bound) - offsetof(CallbackDataHead, mip_total_lp_iterations);

template <class T>
T read_at(const void* data, std::size_t offset) {
  T value{};
  std::memcpy(&value, static_cast<const char*>(data) + offset, sizeof value);
  return value;
}

}  // namespace

HighsStop::HighsStop(const HighsApi& api, void* highs)
    : lp_iterations_offset_(lp_iterations_offset(api)), stops_{kInf, -kInf, kInf, 1} {
  api.set_callback(highs, on_callback, this);
  for (HighsInt type : {kSimplexInterrupt, kIpmInterrupt, kMipInterrupt}) api.start_callback(highs, type);
}

void HighsStop::arm(const MipStops& stops) {
  stops_ = stops;
  reason_ = Reason::None;
}

// HiGHS keeps the answer of the last call, also across solves: it is written every time.
void HighsStop::on_callback(int type, const char*, const void* data, HighsCallbackInput* input, void* self) {
  if (input != nullptr) input->user_interrupt = static_cast<HighsStop*>(self)->should_stop(type, data) ? 1 : 0;
}

// Whether `bound` reached a stop set at `stop`, moving in `direction` (1 upwards). An unset stop
// is infinite and never reached, not even by an infinite bound (an infeasible MIP's dual bound).
bool HighsStop::reaches(double bound, double stop, double direction) {
  return std::isfinite(stop) && direction * bound >= direction * stop;
}

bool HighsStop::should_stop(int type, const void* data) {
  if (interrupt_requested()) return true;
  if (reason_ != Reason::None) return true;
  if (type != kMipInterrupt || data == nullptr || !lp_iterations_offset_) return false;
  const std::size_t at = *lp_iterations_offset_;
  if (static_cast<double>(read_at<std::int64_t>(data, at)) >= stops_.iteration_limit) {
    reason_ = Reason::IterationLimit;
  } else if (reaches(read_at<double>(data, at + kPrimalBoundShift), stops_.best_objective, -stops_.sense) ||
             reaches(read_at<double>(data, at + kDualBoundShift), stops_.best_bound, stops_.sense)) {
    reason_ = Reason::ObjectiveReached;
  }
  return reason_ != Reason::None;
}

}  // namespace standin
