// Unit tests of the shared text renderings (quote_text, format_float).
// Prints "N passed, M failed" and exits non-zero on any failure.

#include "kesto_core/text.hpp"

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <string_view>

#include "kesto_core/errors.hpp"

namespace {

int g_passed = 0;
int g_failed = 0;

void check_eq(const std::string& actual, std::string_view expected, const char* expr, int line) {
  if (actual == expected) {
    ++g_passed;
    return;
  }
  ++g_failed;
  std::printf("line %d: %s\n  expected: %.*s\n  actual:   %s\n", line, expr, static_cast<int>(expected.size()),
              expected.data(), actual.c_str());
}

#define CHECK_EQ(expr, expected) check_eq((expr), (expected), #expr, __LINE__)

using kesto::format_float;
using kesto::quote_text;

// quote_text of a text given as raw bytes (may contain NUL).
std::string q(std::string_view bytes) { return quote_text(bytes); }

void test_quote_ascii_and_fixed_escapes() {
  CHECK_EQ(q(""), R"("")");
  CHECK_EQ(q("x1 Plain text, 42!"), R"("x1 Plain text, 42!")");
  CHECK_EQ(q("a\"b"), R"("a\"b")");
  CHECK_EQ(q("a\\b"), R"("a\\b")");
  CHECK_EQ(q("it's"), R"("it's")");
  CHECK_EQ(q("\t\r\n"), R"("\t\r\n")");
  CHECK_EQ(q(std::string_view("a\0b", 3)), R"("a\0b")");
  // A digit after NUL stays a plain digit.
  CHECK_EQ(q(std::string_view("\0"
                              "1",
                              2)),
           R"("\01")");
}

void test_quote_controls() {
  CHECK_EQ(q("\x01"), R"("\u{1}")");
  CHECK_EQ(q("\x1b[0m"), R"("\u{1b}[0m")");
  CHECK_EQ(q("\x1f"), R"("\u{1f}")");
  CHECK_EQ(q("\x7f"), R"("\u{7f}")");
  CHECK_EQ(q("\u0085"), R"("\u{85}")");  // NEL, C1 control
  CHECK_EQ(q("\u009f"), R"("\u{9f}")");
  CHECK_EQ(q("\x0b\x0c"), R"("\u{b}\u{c}")");
}

void test_quote_separators_and_format() {
  CHECK_EQ(q(" "), R"(" ")");
  CHECK_EQ(q("a\u00a0b"), R"("a\u{a0}b")");     // no-break space (Zs)
  CHECK_EQ(q("\u3000"), R"("\u{3000}")");       // ideographic space (Zs)
  CHECK_EQ(q("\u2028"), R"("\u{2028}")");       // line separator (Zl)
  CHECK_EQ(q("\u2029"), R"("\u{2029}")");       // paragraph separator (Zp)
  CHECK_EQ(q("\u200b"), R"("\u{200b}")");       // zero width space (Cf)
  CHECK_EQ(q("\u00ad"), R"("\u{ad}")");         // soft hyphen (Cf)
  CHECK_EQ(q("\ufeff"), R"("\u{feff}")");       // byte order mark (Cf)
  CHECK_EQ(q("\U000e0001"), R"("\u{e0001}")");  // language tag (Cf)
}

void test_quote_grapheme_extend() {
  CHECK_EQ(q("e\u0301"), R"("e\u{301}")");      // combining acute accent
  CHECK_EQ(q("\u200d"), R"("\u{200d}")");       // ZWJ: Cf and Grapheme_Extend
  CHECK_EQ(q("\ufe0f"), R"("\u{fe0f}")");       // variation selector-16
  CHECK_EQ(q("\U000e0100"), R"("\u{e0100}")");  // variation selector-17
  CHECK_EQ(q("\u20dd"), R"("\u{20dd}")");       // enclosing circle (Me)
  CHECK_EQ(q("\U0001f3fb"), "\"\U0001f3fb\"");  // skin tone modifier: Sk, not extending
  CHECK_EQ(q("\u00e9"), "\"\u00e9\"");          // precomposed é: unchanged
}

void test_quote_private_use_and_unassigned() {
  CHECK_EQ(q("\ue000"), R"("\u{e000}")");
  CHECK_EQ(q("\uf8ff"), R"("\u{f8ff}")");
  CHECK_EQ(q("\U000f0000"), R"("\u{f0000}")");
  CHECK_EQ(q("\U0010fffd"), R"("\u{10fffd}")");
  CHECK_EQ(q("\U0010ffff"), R"("\u{10ffff}")");  // noncharacter, unassigned
  CHECK_EQ(q("\xef\xbf\xbe"), R"("\u{fffe}")");  // U+FFFE, unassigned
  CHECK_EQ(q("\u0378"), R"("\u{378}")");
  CHECK_EQ(q("\U000323b0"), R"("\u{323b0}")");  // first code point past CJK ext. H
  CHECK_EQ(q("\U000e01f0"), R"("\u{e01f0}")");
  // Neighbours that are assigned graphic characters stay as they are.
  CHECK_EQ(q("\u0377\u037a"), "\"\u0377\u037a\"");
  CHECK_EQ(q("\U000323af"), "\"\U000323af\"");  // last of CJK ext. H
  CHECK_EQ(q("\ufffd"), "\"\ufffd\"");          // U+FFFD itself is a symbol
}

void test_quote_unchanged_text() {
  CHECK_EQ(q("\U0001f600"), "\"\U0001f600\"");      // emoji
  CHECK_EQ(q("\u4e2d\u6587"), "\"\u4e2d\u6587\"");  // CJK
  CHECK_EQ(q("\uac00"), "\"\uac00\"");              // Hangul syllable
  CHECK_EQ(q("\u05d0\u0628"), "\"\u05d0\u0628\"");  // Hebrew, Arabic letters
  CHECK_EQ(q("\u2014\u20ac"), "\"\u2014\u20ac\"");  // em dash, euro sign
  // ZWJ inside an emoji sequence is still escaped; the emoji are not.
  CHECK_EQ(q("\U0001f469\u200d\U0001f4bb"), "\"\U0001f469\\u{200d}\U0001f4bb\"");
}

void test_quote_invalid_utf8() {
  CHECK_EQ(q("\xff"), R"("\u{fffd}")");
  CHECK_EQ(q("a\x80"
             "b"),
           R"("a\u{fffd}b")");           // stray continuation
  CHECK_EQ(q("\xc3"), R"("\u{fffd}")");  // truncated at end
  CHECK_EQ(q("\xc3"
             "a"),
           R"("\u{fffd}a")");                                                // truncated mid-text
  CHECK_EQ(q("\xe2\x82"), R"("\u{fffd}\u{fffd}")");                          // one per invalid byte
  CHECK_EQ(q("\xc0\xaf"), R"("\u{fffd}\u{fffd}")");                          // overlong '/'
  CHECK_EQ(q("\xe0\x80\xaf"), R"("\u{fffd}\u{fffd}\u{fffd}")");              // overlong
  CHECK_EQ(q("\xed\xa0\x80"), R"("\u{fffd}\u{fffd}\u{fffd}")");              // surrogate D800
  CHECK_EQ(q("\xf4\x90\x80\x80"), R"("\u{fffd}\u{fffd}\u{fffd}\u{fffd}")");  // > 10FFFF
  CHECK_EQ(q("\xf5"), R"("\u{fffd}")");
  // A broken byte does not swallow the valid character after it.
  CHECK_EQ(q("\xe2\x82\"\u00e9"), "\"\\u{fffd}\\u{fffd}\\\"\u00e9\"");
  // Edges of the valid ranges decode normally.
  CHECK_EQ(q("\xed\x9f\xbb"), "\"\ud7fb\"");     // U+D7FB, assigned
  CHECK_EQ(q("\xed\x9f\xbf"), R"("\u{d7ff}")");  // U+D7FF, unassigned
  CHECK_EQ(q("\xf4\x8f\xbf\xbd"), R"("\u{10fffd}")");
}

void test_float_special_values() {
  constexpr double inf = std::numeric_limits<double>::infinity();
  CHECK_EQ(format_float(std::numeric_limits<double>::quiet_NaN()), "NaN");
  CHECK_EQ(format_float(-std::numeric_limits<double>::quiet_NaN()), "NaN");
  CHECK_EQ(format_float(std::copysign(std::numeric_limits<double>::quiet_NaN(), -1.0)), "NaN");
  CHECK_EQ(format_float(inf), "inf");
  CHECK_EQ(format_float(-inf), "-inf");
  CHECK_EQ(format_float(0.0), "0.0");
  CHECK_EQ(format_float(-0.0), "-0.0");
}

void test_float_fixed_form() {
  CHECK_EQ(format_float(1.0), "1.0");
  CHECK_EQ(format_float(-0.5), "-0.5");
  CHECK_EQ(format_float(100.0), "100.0");
  CHECK_EQ(format_float(0.1), "0.1");
  CHECK_EQ(format_float(1.0 / 3.0), "0.3333333333333333");
  CHECK_EQ(format_float(2.0 / 3.0), "0.6666666666666666");
  CHECK_EQ(format_float(0.1 + 0.2), "0.30000000000000004");
  CHECK_EQ(format_float(123.456), "123.456");
  CHECK_EQ(format_float(123456789012345.0), "123456789012345.0");
  CHECK_EQ(format_float(1e15), "1000000000000000.0");
  CHECK_EQ(format_float(9999999999999998.0), "9999999999999998.0");
  CHECK_EQ(format_float(1e-4), "0.0001");
  CHECK_EQ(format_float(-1.5e-4), "-0.00015");
  CHECK_EQ(format_float(0.00012345), "0.00012345");
}

void test_float_exponent_form() {
  CHECK_EQ(format_float(9.999e-5), "9.999e-5");
  CHECK_EQ(format_float(std::nextafter(1e-4, 0.0)), "9.999999999999999e-5");
  CHECK_EQ(format_float(1e-5), "1e-5");
  CHECK_EQ(format_float(-2.5e-7), "-2.5e-7");
  CHECK_EQ(format_float(1e16), "1e16");
  CHECK_EQ(format_float(-1e16), "-1e16");
  CHECK_EQ(format_float(1.5e16), "1.5e16");
  CHECK_EQ(format_float(12345678901234567890.0), "1.2345678901234567e19");
  CHECK_EQ(format_float(1e100), "1e100");
  CHECK_EQ(format_float(std::numeric_limits<double>::max()), "1.7976931348623157e308");
  CHECK_EQ(format_float(-std::numeric_limits<double>::max()), "-1.7976931348623157e308");
  CHECK_EQ(format_float(std::numeric_limits<double>::denorm_min()), "5e-324");
  CHECK_EQ(format_float(std::numeric_limits<double>::min()), "2.2250738585072014e-308");
}

void test_error_rendering() {
  using namespace kesto::kesto_error;
  using kesto::render;
  CHECK_EQ(render(Msg{"Failed to update model: -3"}), R"(Msg("Failed to update model: -3"))");
  CHECK_EQ(render(Msg{"say \"hi\"\n"}), R"(Msg("say \"hi\"\n"))");
  CHECK_EQ(render(UnsupportedConstraint{"Affine", "Interval"}),
           R"(UnsupportedConstraint { func: "Affine", set: "Interval" })");
  CHECK_EQ(render(AddConstraintNotAllowed{}), "AddConstraintNotAllowed");
  CHECK_EQ(render(UnsupportedAttribute{}), "UnsupportedAttribute");
  CHECK_EQ(render(SetAttributeNotAllowed{}), "SetAttributeNotAllowed");
  CHECK_EQ(render(ScalarFunctionConstantNotZero{-0.0}), "ScalarFunctionConstantNotZero { value: -0.0 }");
  CHECK_EQ(render(ScalarFunctionConstantNotZero{1.5e16}), "ScalarFunctionConstantNotZero { value: 1.5e16 }");
}

}  // namespace

int main() {
  test_error_rendering();
  test_quote_ascii_and_fixed_escapes();
  test_quote_controls();
  test_quote_separators_and_format();
  test_quote_grapheme_extend();
  test_quote_private_use_and_unassigned();
  test_quote_unchanged_text();
  test_quote_invalid_utf8();
  test_float_special_values();
  test_float_fixed_form();
  test_float_exponent_form();
  std::printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed == 0 ? 0 : 1;
}
