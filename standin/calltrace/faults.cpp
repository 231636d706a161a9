#include "faults.hpp"

#include "text.hpp"

namespace standin {
namespace {
constexpr std::string_view kNullValue = "null";
}  // namespace

std::optional<Fault> injected_fault(const char* setting, std::string_view fn) {
  if (setting == nullptr) return std::nullopt;
  std::string_view rest = setting;
  while (!rest.empty()) {
    const auto comma = rest.find(',');
    const std::string_view entry = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);

    const auto equals = entry.find('=');
    if (equals == std::string_view::npos || trim(entry.substr(0, equals)) != fn) continue;
    const std::string_view value = trim(entry.substr(equals + 1));
    if (value == kNullValue) return Fault{true, 0};
    if (auto code = parse_int(value)) return Fault{false, *code};
  }
  return std::nullopt;
}

}  // namespace standin
