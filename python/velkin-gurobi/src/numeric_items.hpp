#pragma once
// Numbers stored in memory the way C stores them: a kind and a byte size,
// visited as a pointer to their C type.

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

namespace velkin {

enum class ItemKind { Signed, Unsigned, Float };

struct ItemType {
  ItemKind kind;
  std::size_t size;  // 1, 2, 4 or 8 for integers, 4 or 8 for floats
};

template <class T>
constexpr ItemType item_type_of() {
  if constexpr (std::is_floating_point_v<T>) return {ItemKind::Float, sizeof(T)};
  if constexpr (std::is_signed_v<T>) return {ItemKind::Signed, sizeof(T)};
  return {ItemKind::Unsigned, sizeof(T)};
}

// Whether items of `type` are read as variable indices: integers. Items of
// any other type are refused as indices, as their Python objects would be.
constexpr bool is_index_type(ItemType type) { return type.kind != ItemKind::Float; }

// Calls `visit(items)` with `data` as a pointer to the C type of `type`,
// which must be an integer type.
template <class Visit>
auto visit_integer_items(ItemType type, const void* data, Visit&& visit) {
  if (type.kind == ItemKind::Signed) {
    if (type.size == 1) return visit(static_cast<const std::int8_t*>(data));
    if (type.size == 2) return visit(static_cast<const std::int16_t*>(data));
    if (type.size == 4) return visit(static_cast<const std::int32_t*>(data));
    return visit(static_cast<const std::int64_t*>(data));
  }
  if (type.size == 1) return visit(static_cast<const std::uint8_t*>(data));
  if (type.size == 2) return visit(static_cast<const std::uint16_t*>(data));
  if (type.size == 4) return visit(static_cast<const std::uint32_t*>(data));
  return visit(static_cast<const std::uint64_t*>(data));
}

// Calls `visit(items)` with `data` as a pointer to the C type of `type`.
template <class Visit>
auto visit_items(ItemType type, const void* data, Visit&& visit) {
  if (type.kind != ItemKind::Float) return visit_integer_items(type, data, std::forward<Visit>(visit));
  if (type.size == sizeof(float)) return visit(static_cast<const float*>(data));
  return visit(static_cast<const double*>(data));
}

}  // namespace velkin
