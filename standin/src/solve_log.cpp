#include "solve_log.hpp"

#include <cstdio>
#include <memory>

namespace standin {

void log_line(const ParameterSet& params, std::string_view text) {
  if (params.int_value(Param::OutputFlag) == 0) return;
  const auto size = static_cast<int>(text.size());
  if (params.int_value(Param::LogToConsole) != 0) {
    std::printf("%.*s\n", size, text.data());
    std::fflush(stdout);
  }
  const std::string& path = params.string_value(Param::LogFile);
  if (path.empty()) return;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "a"), &std::fclose);
  if (file) std::fprintf(file.get(), "%.*s\n", size, text.data());
}

}  // namespace standin
