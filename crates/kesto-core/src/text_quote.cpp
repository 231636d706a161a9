#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "kesto_core/text.hpp"
#include "kesto_core/utf8.hpp"

namespace kesto {
namespace {

struct CodePointRange {
  char32_t first;
  char32_t last;
};

#include "unicode_escape_table.inc"

constexpr bool ranges_sorted_and_disjoint() {
  for (std::size_t i = 0; i < std::size(kEscapeRanges); ++i) {
    if (kEscapeRanges[i].first > kEscapeRanges[i].last) return false;
    if (i > 0 && kEscapeRanges[i - 1].last + 1 >= kEscapeRanges[i].first) return false;
  }
  return true;
}
static_assert(ranges_sorted_and_disjoint(), "escape table must be sorted and merged");
static_assert(!kUnicodeVersion.empty());

// Written in place of each byte that is not part of a well-formed UTF-8
// sequence. Escaping (rather than emitting a literal U+FFFD) keeps the
// output valid UTF-8 and shows that the input itself was broken, distinct
// from a text that really contains U+FFFD.
constexpr char32_t kReplacement = kUtf8Replacement;

bool needs_escape(char32_t cp) {
  // First range whose last >= cp; cp is escaped if that range starts at or
  // before it.
  const auto* it = std::lower_bound(std::begin(kEscapeRanges), std::end(kEscapeRanges), cp,
                                    [](const CodePointRange& r, char32_t value) { return r.last < value; });
  return it != std::end(kEscapeRanges) && it->first <= cp;
}

void append_escape(std::string& out, char32_t cp) {
  std::array<char, 8> hex{};
  const auto [end, ec] = std::to_chars(hex.data(), hex.data() + hex.size(), static_cast<std::uint32_t>(cp), 16);
  out += "\\u{";
  out.append(hex.data(), end);
  out += '}';
}

}  // namespace

std::string quote_text(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() + 2);
  out += '"';
  while (!utf8.empty()) {
    const Utf8Decoded d = decode_utf8_one(utf8);
    const std::string_view raw = utf8.substr(0, d.length);
    utf8.remove_prefix(d.length);
    if (!d.valid) {
      append_escape(out, kReplacement);
      continue;
    }
    switch (d.cp) {
      case U'"': out += "\\\""; continue;
      case U'\\': out += "\\\\"; continue;
      case U'\t': out += "\\t"; continue;
      case U'\r': out += "\\r"; continue;
      case U'\n': out += "\\n"; continue;
      case U'\0': out += "\\0"; continue;
      default: break;
    }
    if (needs_escape(d.cp)) {
      append_escape(out, d.cp);
    } else {
      out += raw;
    }
  }
  out += '"';
  return out;
}

}  // namespace kesto
