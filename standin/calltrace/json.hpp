// JSON text for the call trace: doubles that read back bit-exactly and strings of any bytes.
#ifndef STANDIN_JSON_HPP
#define STANDIN_JSON_HPP

#include <string>
#include <string_view>

namespace standin::json {

// Shortest digits that read back to the same double, always with a '.' or an exponent so
// that readers take it for a float ("-0.0" for negative zero); Infinity, -Infinity and NaN
// as the literals Python's json module accepts.
void append_double(std::string& out, double value);

// A quoted string. Bytes that do not form valid UTF-8 are written as \u00XX of the byte.
void append_string(std::string& out, std::string_view bytes);

}  // namespace standin::json

#endif
