// Process-wide handle ids (for the call trace) and counts of live environments and models.
#ifndef STANDIN_HANDLES_HPP
#define STANDIN_HANDLES_HPP

namespace standin {

enum class HandleKind { Env, Model };

// Small positive ids in creation order, one sequence per kind.
int next_handle_id(HandleKind kind);

int live_envs();
int live_models();

// Counts one live loading environment or model for as long as it exists.
class LiveToken {
 public:
  explicit LiveToken(HandleKind kind);
  ~LiveToken();
  LiveToken(const LiveToken&) = delete;
  LiveToken& operator=(const LiveToken&) = delete;

 private:
  HandleKind kind_;
};

}  // namespace standin

#endif
