#include "trace.hpp"

#include <fcntl.h>
#include <unistd.h>

#include "handles.hpp"
#include "json.hpp"
#include "kesto_core/fd_write.hpp"
#include "switches.hpp"

namespace standin {
namespace {

// A trace that cannot be written is lost: the call it records goes on regardless.
void append_to_file(const char* path, std::string_view text) {
  const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  kesto::write_all(fd, text);
  ::close(fd);
}

// The last line of a trace, written when the library is unloaded: leaks show as live counts.
struct UnloadReport {
  UnloadReport() = default;
  UnloadReport(const UnloadReport&) = delete;
  UnloadReport& operator=(const UnloadReport&) = delete;
  ~UnloadReport() {
    try {
      TraceLine line("unload", read_switches().trace_path);
      line.live_counts().write();
    } catch (...) {
      // Nothing can be reported while the library is being unloaded.
    }
  }
};

const UnloadReport g_unload_report;

}  // namespace

TraceLine::TraceLine(std::string_view fn, const char* path) : path_(path != nullptr ? path : "") {
  if (!active()) return;
  line_ = "{\"fn\": ";
  json::append_string(line_, fn);
}

void TraceLine::key(std::string_view name) {
  line_ += ", ";
  json::append_string(line_, name);
  line_ += ": ";
}

TraceLine& TraceLine::null(std::string_view name) {
  if (!active()) return *this;
  key(name);
  line_ += "null";
  return *this;
}

TraceLine& TraceLine::boolean(std::string_view name, bool value) {
  if (!active()) return *this;
  key(name);
  line_ += value ? "true" : "false";
  return *this;
}

TraceLine& TraceLine::integer(std::string_view name, long long value) {
  if (!active()) return *this;
  key(name);
  line_ += std::to_string(value);
  return *this;
}

TraceLine& TraceLine::number(std::string_view name, double value) {
  if (!active()) return *this;
  key(name);
  json::append_double(line_, value);
  return *this;
}

TraceLine& TraceLine::text(std::string_view name, const char* value) {
  if (!active()) return *this;
  if (value == nullptr) return null(name);
  key(name);
  json::append_string(line_, value);
  return *this;
}

TraceLine& TraceLine::character(std::string_view name, char value) {
  if (!active()) return *this;
  key(name);
  json::append_string(line_, std::string_view(&value, 1));
  return *this;
}

template <class T, class Append>
TraceLine& TraceLine::list(std::string_view name, const T* values, long long count, Append append) {
  if (!active() || count < 0) return *this;
  if (values == nullptr) return null(name);
  key(name);
  line_ += '[';
  for (long long i = 0; i < count; ++i) {
    if (i > 0) line_ += ", ";
    append(values[i]);
  }
  line_ += ']';
  return *this;
}

TraceLine& TraceLine::numbers(std::string_view name, const double* values, long long count) {
  return list(name, values, count, [this](double v) { json::append_double(line_, v); });
}

TraceLine& TraceLine::integers(std::string_view name, const int* values, long long count) {
  return list(name, values, count, [this](int v) { line_ += std::to_string(v); });
}

TraceLine& TraceLine::bytes(std::string_view name, const char* values, long long count) {
  return list(name, values, count, [this](char v) { line_ += std::to_string(static_cast<unsigned char>(v)); });
}

TraceLine& TraceLine::characters(std::string_view name, const char* values, long long count) {
  return list(name, values, count, [this](const char& v) { json::append_string(line_, std::string_view(&v, 1)); });
}

TraceLine& TraceLine::texts(std::string_view name, const char* const* values, long long count) {
  return list(name, values, count, [this](const char* v) {
    if (v == nullptr) {
      line_ += "null";
    } else {
      json::append_string(line_, v);
    }
  });
}

TraceLine& TraceLine::live_counts() { return integer("live_envs", live_envs()).integer("live_models", live_models()); }

void TraceLine::write() {
  if (!active()) return;
  line_ += "}\n";
  append_to_file(path_.c_str(), line_);
  line_.clear();
  path_.clear();
}

}  // namespace standin
