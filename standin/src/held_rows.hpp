// The rows HiGHS holds, read back a block at a time, so that no second copy of the matrix is made.
#ifndef STANDIN_HELD_ROWS_HPP
#define STANDIN_HELD_ROWS_HPP

#include <cstddef>
#include <functional>
#include <span>
#include <vector>

#include "highs_library.hpp"

namespace standin {

struct HeldRowBlock {
  std::size_t first = 0;  // the index of the block's first row
  std::vector<double> lower, upper;
  std::vector<HighsInt> start, index;
  std::vector<double> value;

  std::size_t size() const { return lower.size(); }
  std::span<const HighsInt> cols(std::size_t i) const { return {index.data() + start[i], entries(i)}; }
  std::span<const double> coefficients(std::size_t i) const { return {value.data() + start[i], entries(i)}; }

 private:
  std::size_t entries(std::size_t i) const { return static_cast<std::size_t>(start[i + 1] - start[i]); }
};

// Calls `visit` with the first `rows` rows in blocks, while it returns true. False when HiGHS
// could not hand the rows back.
bool for_each_held_row_block(const HighsApi& api, const void* highs, std::size_t rows,
                             const std::function<bool(const HeldRowBlock&)>& visit);

}  // namespace standin

#endif
