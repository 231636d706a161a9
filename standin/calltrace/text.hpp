// Small text helpers shared by parameter, attribute and environment-variable parsing.
#ifndef STANDIN_TEXT_HPP
#define STANDIN_TEXT_HPP

#include <cstddef>
#include <optional>
#include <string_view>

namespace standin {

// Gurobi compares parameter and attribute names without regard to ASCII case.
bool equals_ignore_case(std::string_view a, std::string_view b);
constexpr char lower_ascii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char upper_ascii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
// Orders names as equals_ignore_case compares them: by their lower-case ASCII.
constexpr bool less_ignore_case(std::string_view a, std::string_view b) {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < common; ++i) {
    if (lower_ascii(a[i]) != lower_ascii(b[i])) return lower_ascii(a[i]) < lower_ascii(b[i]);
  }
  return a.size() < b.size();
}

std::string_view trim(std::string_view text);

// Whole-text, locale-independent parsing; surrounding blanks and a leading '+' are accepted.
std::optional<int> parse_int(std::string_view text);
std::optional<double> parse_double(std::string_view text);

}  // namespace standin

#endif
