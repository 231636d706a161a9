#include "held_rows.hpp"

#include <algorithm>

namespace standin {
namespace {

constexpr std::size_t kRowBlock = 4096;

bool read_block(const HighsApi& api, const void* highs, std::size_t first, std::size_t last, HeldRowBlock& block) {
  const auto from = static_cast<HighsInt>(first);
  const auto to = static_cast<HighsInt>(last - 1);
  const std::size_t count = last - first;
  block.first = first;
  block.lower.assign(count, 0.0);
  block.upper.assign(count, 0.0);
  HighsInt num_row = 0;
  HighsInt num_nz = 0;
  if (api.get_rows(highs, from, to, &num_row, block.lower.data(), block.upper.data(), &num_nz, nullptr, nullptr,
                   nullptr) < 0) {
    return false;
  }
  block.start.assign(count + 1, 0);
  block.index.assign(static_cast<std::size_t>(num_nz), 0);
  block.value.assign(static_cast<std::size_t>(num_nz), 0.0);
  if (api.get_rows(highs, from, to, &num_row, block.lower.data(), block.upper.data(), &num_nz, block.start.data(),
                   block.index.data(), block.value.data()) < 0) {
    return false;
  }
  block.start[count] = num_nz;
  return true;
}

}  // namespace

bool for_each_held_row_block(const HighsApi& api, const void* highs, std::size_t rows,
                             const std::function<bool(const HeldRowBlock&)>& visit) {
  HeldRowBlock block;
  for (std::size_t first = 0; first < rows; first += kRowBlock) {
    if (!read_block(api, highs, first, std::min(rows, first + kRowBlock), block)) return false;
    if (!visit(block)) return true;
  }
  return true;
}

}  // namespace standin
