#include "integer_rows.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <numeric>
#include <span>
#include <vector>

#include "held_rows.hpp"
#include "highs_columns.hpp"

namespace standin {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
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

// One term of a row: its coefficient, whether its column is integral, and the range of its
// activity (the column's range, 0 included for a semi-variable, times the coefficient).
struct Term {
  double coefficient;
  bool integral;
  double least, most;
};

// Column bounds as HiGHS holds them: a semi-variable's span of 0 and its range, narrowed where
// the rows or a branching node bound a column further.
struct HeldBounds {
  std::vector<double> lower, upper;
};

// The terms of row i of `block`; none for a row with an indicator column.
std::vector<Term> terms_of(const HeldRowBlock& block, std::size_t i, const ProblemView& view,
                           const HeldBounds& bounds) {
  std::vector<Term> terms;
  const auto cols = block.cols(i);
  const auto coefficients = block.coefficients(i);
  for (std::size_t e = 0; e < cols.size(); ++e) {
    const auto j = static_cast<std::size_t>(cols[e]);
    const double a = coefficients[e];
    if (j >= view.vtype.size()) return {};  // an indicator's row
    const double low = a > 0 ? a * bounds.lower[j] : a * bounds.upper[j];
    const double high = a > 0 ? a * bounds.upper[j] : a * bounds.lower[j];
    terms.push_back(Term{a, is_integral_type(view.vtype[j]), std::isnan(low) ? -kInf : low,
                         std::isnan(high) ? kInf : high});
  }
  return terms;
}

// Whether no point meets `target` with the row's terms split into `whole` ones (integral), whose
// activity lies on multiples of their divisor, and the `rest`, which add an activity within their
// range.
bool out_of_reach(std::span<const Term> whole, std::span<const Term> rest, double target, double feasibility) {
  std::vector<double> coefficients;
  for (const Term& term : whole) coefficients.push_back(term.coefficient);
  const std::optional<Scaled> scaled = whole_scale(coefficients);
  if (!scaled) return false;
  double least = 0.0;
  double most = 0.0;
  double magnitude = std::abs(target);  // of the sums, for their rounding
  for (const Term& term : rest) {
    least += term.least;
    most += term.most;
    magnitude += std::abs(term.least) + std::abs(term.most);
  }
  const auto divisor = static_cast<double>(scaled->divisor);
  const double slack = feasibility + 4 * std::numeric_limits<double>::epsilon() * magnitude;
  const double low = (target - most - slack) * scaled->scale / divisor;
  const double high = (target - least + slack) * scaled->scale / divisor;
  if (!std::isfinite(low) || !std::isfinite(high) || std::max(std::abs(low), std::abs(high)) >= kExact) return false;
  return std::floor(high) < std::ceil(low);
}

// Whether no point meets an equality row: for some split of its terms, the integral ones reach
// only multiples of their divisor, and the rest (bounded) too little to close the distance to the
// right-hand side. Unbounded terms go with the integral ones, continuous and fixed ones with the
// rest; integral bounded ones are tried with the integral ones by size of coefficient.
bool no_point_meets(std::span<const Term> terms, double target, double feasibility) {
  constexpr std::size_t kSplitsTried = 32;
  std::vector<Term> whole;
  std::vector<Term> rest;
  std::vector<Term> either;
  for (const Term& term : terms) {
    const bool bounded = std::isfinite(term.least) && std::isfinite(term.most);
    if (!bounded && !term.integral) return false;
    if (!bounded) {
      whole.push_back(term);
    } else if (!term.integral || term.least == term.most) {
      rest.push_back(term);
    } else {
      either.push_back(term);
    }
  }
  std::ranges::sort(either, std::greater{}, [](const Term& t) { return std::abs(t.coefficient); });
  // The k largest of `either` with the integral terms: k up to kSplitsTried, and all of them.
  std::vector<std::size_t> splits;
  for (std::size_t k = 0; k <= std::min(either.size(), kSplitsTried); ++k) splits.push_back(k);
  if (either.size() > kSplitsTried) splits.push_back(either.size());
  for (const std::size_t k : splits) {
    std::vector<Term> split_whole = whole;
    split_whole.insert(split_whole.end(), either.begin(), either.begin() + static_cast<std::ptrdiff_t>(k));
    std::vector<Term> split_rest = rest;
    split_rest.insert(split_rest.end(), either.begin() + static_cast<std::ptrdiff_t>(k), either.end());
    if (!split_whole.empty() && out_of_reach(split_whole, split_rest, target, feasibility)) return true;
  }
  return false;
}

}  // namespace

std::optional<std::size_t> row_without_integer_point(const HighsApi& api, const void* highs, const ProblemView& view,
                                                     std::size_t rows, double feasibility) {
  const std::size_t cols = view.vtype.size();
  HeldBounds bounds{std::vector<double>(cols), std::vector<double>(cols)};
  HighsInt count = 0;
  HighsInt nonzeros = 0;
  if (cols == 0 || api.get_cols(highs, 0, as_highs_int(cols - 1), &count, nullptr, bounds.lower.data(),
                                bounds.upper.data(), &nonzeros, nullptr, nullptr, nullptr) == kHighsStatusError) {
    return std::nullopt;
  }
  std::optional<std::size_t> found;
  for_each_held_row_block(api, highs, rows, [&](const HeldRowBlock& block) {
    for (std::size_t i = 0; i < block.size() && !found; ++i) {
      if (block.lower[i] != block.upper[i]) continue;
      const std::vector<Term> terms = terms_of(block, i, view, bounds);
      if (!terms.empty() && no_point_meets(terms, block.lower[i], feasibility)) found = block.first + i;
    }
    return !found;
  });
  return found;
}

}  // namespace standin
