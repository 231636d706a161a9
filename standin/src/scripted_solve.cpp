#include "scripted_solve.hpp"

#include <cstdlib>
#include <string_view>

#include "text.hpp"

namespace standin {
namespace {
constexpr const char* kStatusVariable = "GRB_STANDIN_SCRIPT_STATUS";
constexpr const char* kXVariable = "GRB_STANDIN_SCRIPT_X";
constexpr const char* kObjValVariable = "GRB_STANDIN_SCRIPT_OBJVAL";
}  // namespace

Result<std::optional<SolveOutcome>> scripted_solve(std::size_t num_vars) {
  const char* status_text = std::getenv(kStatusVariable);
  if (status_text == nullptr) return std::nullopt;
  auto scripted_status = parse_int(status_text);
  if (!scripted_status) return std::unexpected(Error::InvalidArgument);

  SolveOutcome outcome;
  outcome.status = *scripted_status;
  if (const char* x_text = std::getenv(kXVariable); x_text != nullptr && !trim(x_text).empty()) {
    std::string_view rest = x_text;
    while (true) {
      const auto comma = rest.find(',');
      auto value = parse_double(rest.substr(0, comma));
      if (!value) return std::unexpected(Error::InvalidArgument);
      if (outcome.x.size() < num_vars) outcome.x.push_back(*value);
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
  }
  if (const char* objval_text = std::getenv(kObjValVariable); objval_text != nullptr) {
    auto value = parse_double(objval_text);
    if (!value) return std::unexpected(Error::InvalidArgument);
    outcome.objval = *value;
  }
  return outcome;
}

}  // namespace standin
