#include "integer_rows.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <span>

#include "held_rows.hpp"
#include "highs_columns.hpp"

namespace standin {
namespace {

constexpr double kExact = 4503599627370496.0;  // 2^52: from here on every double is a whole number
// A scaled coefficient counts as whole within a few units in its last place (0.3 * 10).
constexpr double kWholeSlack = 1e-12;

// A row's coefficients made whole by `scale`, and their greatest common divisor then.
struct Scaled {
  double scale;
  std::int64_t divisor;
};

// The least of a few scales that make every coefficient whole (decimal fractions up to four
// places, binary ones up to eighths); nullopt when none does.
std::optional<Scaled> whole_scale(std::span<const double> values) {
  constexpr std::array<double, 8> kScales = {1, 2, 4, 8, 10, 100, 1000, 10000};
  for (const double scale : kScales) {
    std::int64_t divisor = 0;
    bool whole = true;
    for (const double value : values) {
      const double scaled = value * scale;
      const double rounded = std::round(scaled);
      if (std::abs(rounded) >= kExact || std::abs(scaled - rounded) > kWholeSlack * std::max(1.0, std::abs(scaled))) {
        whole = false;
        break;
      }
      divisor = std::gcd(divisor, static_cast<std::int64_t>(std::abs(rounded)));
    }
    if (whole && divisor > 0) return Scaled{scale, divisor};
  }
  return std::nullopt;
}

// Whether row activity `rhs` is out of reach of integer points: its distance to the nearest
// multiple of the divisor, after scaling, exceeds the tolerance and the rounding of rhs itself.
bool out_of_reach(double rhs, Scaled scaled, double feasibility) {
  const double target = rhs * scaled.scale;
  const auto divisor = static_cast<double>(scaled.divisor);
  if (!std::isfinite(target) || std::abs(target) / divisor >= kExact) return false;
  const double distance = std::abs(target - divisor * std::round(target / divisor));
  return distance > scaled.scale * feasibility + 4 * std::numeric_limits<double>::epsilon() * std::abs(target);
}

}  // namespace

std::optional<std::size_t> row_without_integer_point(const HighsApi& api, const void* highs, const ProblemView& view,
                                                     std::size_t rows, double feasibility) {
  const auto integral = [&](HighsInt j) {
    return static_cast<std::size_t>(j) < view.vtype.size() && is_integral_type(view.vtype[static_cast<std::size_t>(j)]);
  };
  std::optional<std::size_t> found;
  for_each_held_row_block(api, highs, rows, [&](const HeldRowBlock& block) {
    for (std::size_t i = 0; i < block.size() && !found; ++i) {
      if (block.lower[i] != block.upper[i] || block.cols(i).empty() || !std::ranges::all_of(block.cols(i), integral)) {
        continue;
      }
      const std::optional<Scaled> scaled = whole_scale(block.coefficients(i));
      if (scaled && out_of_reach(block.lower[i], *scaled, feasibility)) found = block.first + i;
    }
    return !found;
  });
  return found;
}

}  // namespace standin
