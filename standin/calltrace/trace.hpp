// The call trace: with GRB_STANDIN_TRACE=<file>, each call appends one JSON object on a line.
// A call with nothing switched on makes no line at all (NoTrace).
#ifndef STANDIN_TRACE_HPP
#define STANDIN_TRACE_HPP

#include <string>
#include <string_view>

namespace standin {

class TraceLine {
 public:
  // `path` is the trace file, or null when tracing is off. The line keeps its own copy: the
  // environment that held it may be freed before the line is written.
  TraceLine(std::string_view fn, const char* path);
  TraceLine(const TraceLine&) = delete;
  TraceLine& operator=(const TraceLine&) = delete;

  bool active() const { return !path_.empty(); }

  // Every adder does nothing on an inactive line. Arrays are written as JSON lists of
  // `count` items, a null pointer as null, and nothing at all when the count is negative.
  TraceLine& null(std::string_view key);
  TraceLine& boolean(std::string_view key, bool value);
  TraceLine& integer(std::string_view key, long long value);
  TraceLine& number(std::string_view key, double value);
  TraceLine& text(std::string_view key, const char* value);  // null pointer as null
  TraceLine& character(std::string_view key, char value);    // a one-character string
  TraceLine& numbers(std::string_view key, const double* values, long long count);
  TraceLine& integers(std::string_view key, const int* values, long long count);
  TraceLine& bytes(std::string_view key, const char* values, long long count);
  TraceLine& characters(std::string_view key, const char* values, long long count);
  TraceLine& texts(std::string_view key, const char* const* values, long long count);
  // "live_envs" and "live_models".
  TraceLine& live_counts();

  // Appends the line to the trace file.
  void write();

 private:
  void key(std::string_view name);
  template <class T, class Append>
  TraceLine& list(std::string_view name, const T* values, long long count, Append append);

  std::string path_;
  std::string line_;
};

// The trace of a call with nothing switched on: every adder does nothing.
struct NoTrace {
  template <class... Args>
  NoTrace& null(const Args&...) {
    return *this;
  }
  template <class... Args>
  NoTrace& boolean(const Args&...) {
    return *this;
  }
  template <class... Args>
  NoTrace& integer(const Args&...) {
    return *this;
  }
  template <class... Args>
  NoTrace& number(const Args&...) {
    return *this;
  }
  template <class... Args>
  NoTrace& text(const Args&...) {
    return *this;
  }
  template <class... Args>
  NoTrace& character(const Args&...) {
    return *this;
  }
  template <class... Args>
  NoTrace& numbers(const Args&...) {
    return *this;
  }
  template <class... Args>
  NoTrace& integers(const Args&...) {
    return *this;
  }
  template <class... Args>
  NoTrace& bytes(const Args&...) {
    return *this;
  }
  template <class... Args>
  NoTrace& characters(const Args&...) {
    return *this;
  }
  template <class... Args>
  NoTrace& texts(const Args&...) {
    return *this;
  }
  NoTrace& live_counts() { return *this; }
  void write() {}
};

}  // namespace standin

#endif
