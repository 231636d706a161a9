#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <string>

#include "kesto_core/text.hpp"

namespace kesto {
namespace {

// Magnitudes outside [kFixedMin, kFixedLimit) are written with an exponent.
constexpr double kFixedMin = 1e-4;
constexpr double kFixedLimit = 1e16;

// Shortest round-trip digits of a finite, non-zero |x| and the decimal
// exponent of the first digit: 1.5e16 -> {"15", 16}.
struct ShortestDigits {
  std::string digits;
  int exponent;
};

ShortestDigits shortest_digits(double magnitude) {
  // "d.ddde+XX" (or "de-XX"); 17 digits, sign and a 3-digit exponent fit.
  std::array<char, 32> buf{};
  const auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), magnitude, std::chars_format::scientific);
  const std::string_view text(buf.data(), end);
  const std::size_t e = text.find('e');

  ShortestDigits result{std::string(text.substr(0, e)), 0};
  std::erase(result.digits, '.');
  std::string_view exp_text = text.substr(e + 1);
  if (exp_text.front() == '+') exp_text.remove_prefix(1);
  std::from_chars(exp_text.data(), exp_text.data() + exp_text.size(), result.exponent);
  return result;
}

std::string exponent_form(const ShortestDigits& d) {
  std::string out(1, d.digits.front());
  if (d.digits.size() > 1) {
    out += '.';
    out.append(d.digits, 1);
  }
  out += 'e';
  out += std::to_string(d.exponent);
  return out;
}

std::string fixed_form(const ShortestDigits& d) {
  if (d.exponent < 0) {
    // 0.000ddd: the first digit sits -exponent places after the point.
    return "0." + std::string(static_cast<std::size_t>(-d.exponent - 1), '0') + d.digits;
  }
  const auto int_len = static_cast<std::size_t>(d.exponent) + 1;
  if (d.digits.size() <= int_len) {
    return d.digits + std::string(int_len - d.digits.size(), '0') + ".0";
  }
  return d.digits.substr(0, int_len) + '.' + d.digits.substr(int_len);
}

}  // namespace

std::string format_float(double x) {
  if (std::isnan(x)) return "NaN";
  const std::string sign = std::signbit(x) ? "-" : "";
  const double magnitude = std::fabs(x);
  if (std::isinf(magnitude)) return sign + "inf";
  if (magnitude == 0.0) return sign + "0.0";

  const ShortestDigits d = shortest_digits(magnitude);
  if (magnitude < kFixedMin || magnitude >= kFixedLimit) return sign + exponent_form(d);
  return sign + fixed_form(d);
}

}  // namespace kesto
