// Small text helpers shared by parameter, attribute and environment-variable parsing.
#ifndef STANDIN_TEXT_HPP
#define STANDIN_TEXT_HPP

#include <optional>
#include <string_view>

namespace standin {

// Gurobi compares parameter and attribute names without regard to ASCII case.
bool equals_ignore_case(std::string_view a, std::string_view b);
char lower_ascii(char c);

std::string_view trim(std::string_view text);

// Whole-text, locale-independent parsing; surrounding blanks and a leading '+' are accepted.
std::optional<int> parse_int(std::string_view text);
std::optional<double> parse_double(std::string_view text);

}  // namespace standin

#endif
