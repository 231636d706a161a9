#include "json.hpp"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <system_error>

namespace standin::json {
namespace {

constexpr char kHex[] = "0123456789abcdef";

void append_escaped_byte(std::string& out, unsigned char byte) {
  out += "\\u00";
  out += kHex[byte >> 4];
  out += kHex[byte & 0xf];
}

bool is_continuation(unsigned char byte) { return (byte & 0xc0) == 0x80; }

// Length of the valid UTF-8 sequence starting at bytes[i], or 0 if there is none.
std::size_t utf8_sequence_length(std::string_view bytes, std::size_t i) {
  const auto lead = static_cast<unsigned char>(bytes[i]);
  std::size_t length = 0;
  std::uint32_t code = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
    code = lead & 0x1f;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    code = lead & 0x0f;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > bytes.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const auto byte = static_cast<unsigned char>(bytes[i + k]);
    if (!is_continuation(byte)) return 0;
    code = (code << 6) | (byte & 0x3f);
  }
  // Overlong forms, surrogates and code points past U+10FFFF are not valid UTF-8.
  if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10ffff)) ||
      (code >= 0xd800 && code <= 0xdfff)) {
    return 0;
  }
  return length;
}

}  // namespace

void append_double(std::string& out, double value) {
  if (std::isnan(value)) {
    out += "NaN";
    return;
  }
  if (std::isinf(value)) {
    out += value > 0 ? "Infinity" : "-Infinity";
    return;
  }
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string_view text(buffer, ec == std::errc{} ? static_cast<std::size_t>(end - buffer) : 0);
  out += text;
  if (text.find_first_of(".e") == std::string_view::npos) out += ".0";
}

void append_string(std::string& out, std::string_view bytes) {
  out += '"';
  for (std::size_t i = 0; i < bytes.size();) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = utf8_sequence_length(bytes, i);
    if (length == 0) {
      append_escaped_byte(out, byte);
      ++i;
      continue;
    }
    if (length > 1) {
      out.append(bytes.substr(i, length));
    } else if (byte == '"') {
      out += "\\\"";
    } else if (byte == '\\') {
      out += "\\\\";
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\r') {
      out += "\\r";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (byte < 0x20) {
      append_escaped_byte(out, byte);
    } else {
      out += static_cast<char>(byte);
    }
    i += length;
  }
  out += '"';
}

}  // namespace standin::json
