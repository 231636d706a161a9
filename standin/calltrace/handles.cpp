#include "handles.hpp"

#include <atomic>

namespace standin {
namespace {

std::atomic<int> g_next_env_id{1};
std::atomic<int> g_next_model_id{1};
std::atomic<int> g_live_envs{0};
std::atomic<int> g_live_models{0};

std::atomic<int>& live_counter(HandleKind kind) { return kind == HandleKind::Env ? g_live_envs : g_live_models; }

}  // namespace

int next_handle_id(HandleKind kind) {
  auto& next = kind == HandleKind::Env ? g_next_env_id : g_next_model_id;
  return next.fetch_add(1, std::memory_order_relaxed);
}

int live_envs() { return g_live_envs.load(std::memory_order_relaxed); }
int live_models() { return g_live_models.load(std::memory_order_relaxed); }

LiveToken::LiveToken(HandleKind kind) : kind_(kind) { live_counter(kind_).fetch_add(1, std::memory_order_relaxed); }

LiveToken::~LiveToken() { live_counter(kind_).fetch_sub(1, std::memory_order_relaxed); }

}  // namespace standin
