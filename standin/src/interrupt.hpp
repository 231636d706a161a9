// Ctrl-C during a solve. The caller of GRBoptimize may hold a lock that keeps its own
// SIGINT handling from running until the solve returns, so the library catches SIGINT
// itself while it solves, asks HiGHS to stop, and passes the signal on afterwards.
#ifndef STANDIN_INTERRUPT_HPP
#define STANDIN_INTERRUPT_HPP

namespace standin {

// While one exists, SIGINT only records the request. When the last one goes, the previous
// handler is restored and, if SIGINT arrived meanwhile, the signal is raised again for it.
// A SIGINT the process ignores when the first one begins is left ignored.
class InterruptScope {
 public:
  InterruptScope();
  ~InterruptScope();
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;
};

// Whether SIGINT arrived since the outermost InterruptScope began.
bool interrupt_requested();

}  // namespace standin

#endif
