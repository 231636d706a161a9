#include "kesto_core/text.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <iterator>

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
constexpr char32_t kReplacement = U'\uFFFD';

bool needs_escape(char32_t cp) {
  // First range whose last >= cp; cp is escaped if that range starts at or
  // before it.
  const auto* it = std::lower_bound(
      std::begin(kEscapeRanges), std::end(kEscapeRanges), cp,
      [](const CodePointRange& r, char32_t value) { return r.last < value; });
  return it != std::end(kEscapeRanges) && it->first <= cp;
}

void append_escape(std::string& out, char32_t cp) {
  std::array<char, 8> hex{};
  const auto [end, ec] = std::to_chars(hex.data(), hex.data() + hex.size(),
                                       static_cast<std::uint32_t>(cp), 16);
  out += "\\u{";
  out.append(hex.data(), end);
  out += '}';
}

struct Decoded {
  char32_t cp;          // kReplacement when the sequence is ill-formed
  std::size_t length;   // bytes consumed; 1 for an ill-formed lead byte
  bool valid;
};

// Decodes one UTF-8 sequence at the start of `s` (non-empty). Overlong
// forms, surrogates, values above U+10FFFF, stray continuation bytes and
// truncated sequences are all ill-formed; only the first byte is then
// consumed, so each following byte is judged on its own.
Decoded decode_one(std::string_view s) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return {lead, 1, true};

  std::size_t length = 0;
  char32_t cp = 0;
  // Range of the second byte, which excludes overlongs, surrogates and
  // values beyond U+10FFFF (Unicode Table 3-7).
  unsigned char lo = 0x80, hi = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0F;
    if (lead == 0xE0) lo = 0xA0;
    if (lead == 0xED) hi = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07;
    if (lead == 0xF0) lo = 0x90;
    if (lead == 0xF4) hi = 0x8F;
  } else {
    return {kReplacement, 1, false};
  }
  if (s.size() < length) return {kReplacement, 1, false};
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char b = byte(i);
    const unsigned char min = i == 1 ? lo : 0x80;
    const unsigned char max = i == 1 ? hi : 0xBF;
    if (b < min || b > max) return {kReplacement, 1, false};
    cp = (cp << 6) | (b & 0x3F);
  }
  return {cp, length, true};
}

}  // namespace

std::string quote_text(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() + 2);
  out += '"';
  while (!utf8.empty()) {
    const Decoded d = decode_one(utf8);
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
