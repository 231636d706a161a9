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
// SIGINT ignored by the process (a pool worker, a background job) stays ignored: only
// the process that reacts to it should stop.
bool g_installed = false;

void record_request(int) { g_requested = 1; }

}  // namespace

InterruptScope::InterruptScope() {
  std::lock_guard lock(g_mutex);
  if (g_depth++ > 0) return;
  g_requested = 0;
  sigaction(SIGINT, nullptr, &g_previous);
  g_installed = (g_previous.sa_flags & SA_SIGINFO) != 0 || g_previous.sa_handler != SIG_IGN;
  if (!g_installed) return;
  struct sigaction action{};
  action.sa_handler = record_request;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

InterruptScope::~InterruptScope() {
  std::lock_guard lock(g_mutex);
  if (--g_depth > 0 || !g_installed) return;
  sigaction(SIGINT, &g_previous, nullptr);
  if (g_requested != 0) std::raise(SIGINT);
}

bool interrupt_requested() { return g_requested != 0; }

}  // namespace standin
