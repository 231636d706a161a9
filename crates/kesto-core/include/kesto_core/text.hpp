#pragma once
// Renderings shared by every error text of the system.

#include <string>
#include <string_view>

namespace kesto {

// Double-quoted, escaped form of a UTF-8 text: `"`, `\` escaped; tab, CR, LF,
// NUL as \t \r \n \0; controls, format, private-use and unassigned code points,
// separators other than U+0020 and Grapheme_Extend characters as \u{hex}.
std::string quote_text(std::string_view utf8);

// Shortest decimal that reads back as x, always with a fractional part
// ("1.0"); exponent form for non-zero |x| < 1e-4 or >= 1e16 ("1e-5",
// "1.5e16"); "-0.0", "NaN", "inf", "-inf".
std::string format_float(double x);

}  // namespace kesto
