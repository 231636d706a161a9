#include "json.hpp"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <system_error>

#include "kesto_core/utf8.hpp"

namespace standin::json {
namespace {

constexpr char kHex[] = "0123456789abcdef";

void append_escaped_byte(std::string& out, unsigned char byte) {
  out += "\\u00";
  out += kHex[byte >> 4];
  out += kHex[byte & 0xf];
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
    const kesto::Utf8Decoded decoded = kesto::decode_utf8_one(bytes.substr(i));
    if (!decoded.valid) {
      append_escaped_byte(out, byte);
      ++i;
      continue;
    }
    const std::size_t length = decoded.length;
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
