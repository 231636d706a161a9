#include "highs_stop.hpp"

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

}  // namespace

HighsStop::HighsStop(const HighsApi& api, void* highs)
    : lp_iterations_offset_(lp_iterations_offset(api)), mip_iteration_limit_(std::numeric_limits<double>::infinity()) {
  api.set_callback(highs, on_callback, this);
  for (HighsInt type : {kSimplexInterrupt, kIpmInterrupt, kMipInterrupt}) api.start_callback(highs, type);
}

void HighsStop::arm(double mip_iteration_limit) {
  mip_iteration_limit_ = mip_iteration_limit;
  reached_ = false;
}

// HiGHS keeps the answer of the last call, also across solves: it is written every time.
void HighsStop::on_callback(int type, const char*, const void* data, HighsCallbackInput* input, void* self) {
  if (input != nullptr) input->user_interrupt = static_cast<HighsStop*>(self)->should_stop(type, data) ? 1 : 0;
}

bool HighsStop::should_stop(int type, const void* data) {
  if (interrupt_requested()) return true;
  if (type != kMipInterrupt || data == nullptr || !lp_iterations_offset_) return false;
  std::int64_t iterations = 0;
  std::memcpy(&iterations, static_cast<const char*>(data) + *lp_iterations_offset_, sizeof iterations);
  reached_ = reached_ || static_cast<double>(iterations) >= mip_iteration_limit_;
  return reached_;
}

}  // namespace standin
