#include "interrupt.hpp"

#include <csignal>
#include <mutex>

namespace standin {
namespace {

volatile std::sig_atomic_t g_requested = 0;

// Solves may run in several threads at once; the handler is installed by the first and
// restored by the last.
std::mutex g_mutex;
int g_depth = 0;
struct sigaction g_previous{};

void record_request(int) { g_requested = 1; }

// A process that ignores SIGINT (a pool worker, a background job) keeps ignoring it: only
// the process that reacts to it should stop.
bool ignored(const struct sigaction& action) {
  return (action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_IGN;
}

}  // namespace

InterruptScope::InterruptScope() {
  std::lock_guard lock(g_mutex);
  if (g_depth++ > 0) return;
  g_requested = 0;
  sigaction(SIGINT, nullptr, &g_previous);
  if (ignored(g_previous)) return;
  struct sigaction action{};
  action.sa_handler = record_request;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

InterruptScope::~InterruptScope() {
  std::lock_guard lock(g_mutex);
  if (--g_depth > 0 || ignored(g_previous)) return;
  sigaction(SIGINT, &g_previous, nullptr);
  if (g_requested != 0) std::raise(SIGINT);
}

bool interrupt_requested() { return g_requested != 0; }

}  // namespace standin
