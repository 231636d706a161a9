#include "kesto_core/utf8.hpp"

namespace kesto {

Utf8Decoded decode_utf8_one(std::string_view s) {
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
    return {kUtf8Replacement, 1, false};
  }
  if (s.size() < length) return {kUtf8Replacement, 1, false};
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char b = byte(i);
    const unsigned char min = i == 1 ? lo : 0x80;
    const unsigned char max = i == 1 ? hi : 0xBF;
    if (b < min || b > max) return {kUtf8Replacement, 1, false};
    cp = (cp << 6) | (b & 0x3F);
  }
  return {cp, length, true};
}

bool is_valid_utf8(std::string_view bytes) {
  while (!bytes.empty()) {
    const Utf8Decoded decoded = decode_utf8_one(bytes);
    if (!decoded.valid) return false;
    bytes.remove_prefix(decoded.length);
  }
  return true;
}

}  // namespace kesto
