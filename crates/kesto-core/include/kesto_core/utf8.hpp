#pragma once

#include <cstddef>
#include <string_view>

namespace kesto {

inline constexpr char32_t kUtf8Replacement = U'\uFFFD';

struct Utf8Decoded {
  char32_t cp;         // kUtf8Replacement when the sequence is ill-formed
  std::size_t length;  // bytes consumed; 1 for an ill-formed lead byte
  bool valid;
};

// Decodes one UTF-8 sequence at the start of `s` (non-empty). Overlong
// forms, surrogates, values above U+10FFFF, stray continuation bytes and
// truncated sequences are all ill-formed; only the first byte is then
// consumed, so each following byte is judged on its own.
Utf8Decoded decode_utf8_one(std::string_view s);

// Well-formed UTF-8: no overlong forms, surrogates or values above U+10FFFF.
bool is_valid_utf8(std::string_view bytes);

}  // namespace kesto
