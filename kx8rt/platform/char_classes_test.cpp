#include "kx8rt/platform/char_classes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/last_error.h"

namespace kx8 {
namespace {

constexpr uint16_t U = C1_UPPER, L = C1_LOWER, D = C1_DIGIT, S = C1_SPACE, P = C1_PUNCT, C = C1_CNTRL,
                   B = C1_BLANK, X = C1_XDIGIT, A = C1_ALPHA, DEF = C1_DEFINED;

struct TypeCase {
  char16_t ch;
  uint16_t type;
  const char* what;
};

const TypeCase kTypes[] = {
    {u'A', U | A | X | DEF, "Latin capital hex letter"},
    {u'g', L | A | DEF, "Latin small"},
    {u'7', D | X | DEF, "ASCII digit"},
    {u'\u00E9', L | A | DEF, "e acute"},
    {u'\u00AA', L | A | DEF, "feminine ordinal: Lo with the Lowercase property"},
    {u'\u01C5', U | A | DEF, "title-case digraph"},
    {u'\u03A9', U | A | DEF, "Greek capital omega"},
    {u'\u03C9', L | A | DEF, "Greek small omega"},
    {u'\u0416', U | A | DEF, "Cyrillic capital zhe"},
    {u'\u0436', L | A | DEF, "Cyrillic small zhe"},
    {u'\u0628', A | DEF, "Arabic beh"},
    {u'\u0661', D | DEF, "Arabic-Indic one"},
    {u'\u064E', A | DEF, "Arabic fatha (Mn)"},
    {u'\u0915', A | DEF, "Devanagari ka"},
    {u'\u093F', A | DEF, "Devanagari vowel sign i (Mc)"},
    {u'\u094D', A | DEF, "Devanagari virama (Mn)"},
    {u'\u0967', D | DEF, "Devanagari one"},
    {u'\u4E2D', A | DEF, "CJK ideograph"},
    {u'\u3042', A | DEF, "hiragana a"},
    {u'\uFF21', U | A | X | DEF, "full-width A"},
    {u'\u0301', A | DEF, "combining acute"},
    {u'\u2160', U | A | DEF, "Roman numeral one (Nl)"},
    {u'\u00B2', D | P | DEF, "superscript two"},
    {u'\u00BD', P | DEF, "one half"},
    {u'.', P | DEF, "full stop"},
    {u'$', P | DEF, "dollar"},
    {u'+', P | DEF, "plus"},
    {u'\u00AB', P | DEF, "left guillemet"},
    {u'\u060C', P | DEF, "Arabic comma"},
    {u'\u3002', P | DEF, "ideographic full stop"},
    {u'\u00AD', P | DEF, "soft hyphen"},
    {u' ', S | B | DEF, "space"},
    {u'\u00A0', S | B | DEF, "no-break space"},
    {u'\u3000', S | B | DEF, "ideographic space"},
    {u'\u2028', S | DEF, "line separator"},
    {u'\t', S | B | C | DEF, "tab"},
    {u'\n', S | C | DEF, "line feed"},
    {u'\r', S | C | DEF, "carriage return"},
    {u'\u0085', S | C | DEF, "next line"},
    {u'\u0001', C | DEF, "C0 control"},
    {u'\u0000', C | DEF, "NUL"},
    {u'\u200B', C | DEF, "zero-width space"},
    {u'\u200C', C | DEF, "zero-width non-joiner"},
    {u'\u200D', C | DEF, "zero-width joiner"},
    {u'\uFEFF', C | DEF, "byte-order mark"},
    {u'\uE000', DEF, "private use"},
    {u'\u0378', 0, "unassigned"},
    {u'\uFFFF', 0, "noncharacter"},
};

TEST(CharClasses, TypeOneOfScriptsAndSpecials) {
  std::u16string text;
  for (const TypeCase& c : kTypes) text.push_back(c.ch);
  std::vector<uint16_t> types(text.size() + 1, 0xFFFF);
  ASSERT_TRUE(GetStringTypeExW(0x0409, CT_CTYPE1, text.data(), static_cast<int32_t>(text.size()), types.data()));
  for (size_t i = 0; i < std::size(kTypes); ++i) {
    SCOPED_TRACE(kTypes[i].what);
    EXPECT_EQ(types[i], kTypes[i].type);
    EXPECT_EQ(CharType1(kTypes[i].ch), kTypes[i].type);
  }
  EXPECT_EQ(types[text.size()], 0xFFFF);  // nothing written past the end
}

TEST(CharClasses, TypeOneTableIsConsistent) {
  // Invariants over the whole BMP: cased implies alpha, anything typed is defined, alpha and digit
  // never together, blank implies space, every Unicode letter is alpha and every Nd a digit.
  for (char32_t c = 0; c < 0x10000; ++c) {
    const uint16_t t = CharType1(c);
    SCOPED_TRACE(static_cast<uint32_t>(c));
    ASSERT_TRUE(!(t & (U | L)) || (t & A));
    ASSERT_TRUE(!t || (t & DEF));
    ASSERT_FALSE((t & A) && (t & D));
    ASSERT_TRUE(!(t & B) || (t & S));
    ASSERT_TRUE(!IsLetter(c) || (t & A));
    ASSERT_TRUE(!IsDigit(c) || (t & D));
  }
}

TEST(CharClasses, SurrogatePairsTakeTheirCharactersType) {
  const std::u16string text = u"\U00010400\U0001F600\U00020000x\xD800y\xDC00";
  std::vector<uint16_t> types(text.size());
  ASSERT_TRUE(GetStringTypeExW(0x0409, CT_CTYPE1, text.data(), static_cast<int32_t>(text.size()), types.data()));
  const std::vector<uint16_t> expected = {U | A | DEF, U | A | DEF, P | DEF, P | DEF, A | DEF, A | DEF,
                                          L | A | DEF, 0,           L | A | DEF, 0};
  EXPECT_EQ(types, expected);
  // A pair cut by the end of the range is two lone surrogates.
  ASSERT_TRUE(GetStringTypeExW(0x0409, CT_CTYPE1, text.data(), 1, types.data()));
  EXPECT_EQ(types[0], 0);
}

TEST(CharClasses, TypeOneRefusesBadCalls) {
  uint16_t types[4] = {7, 7, 7, 7};
  const char16_t* s = u"ab";
  SetLastPlatformError(0);
  EXPECT_FALSE(GetStringTypeExW(0x0409, CT_CTYPE1, nullptr, 2, types));
  EXPECT_FALSE(GetStringTypeExW(0x0409, CT_CTYPE1, s, 2, nullptr));
  EXPECT_FALSE(GetStringTypeExW(0x0409, CT_CTYPE1, s, 0, types));
  EXPECT_FALSE(GetStringTypeExW(0x0409, CT_CTYPE1, s, -1, types));
  EXPECT_EQ(GetLastPlatformError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(GetStringTypeExW(0x0409, 2, s, 2, types));
  EXPECT_EQ(GetLastPlatformError(), ERROR_INVALID_FLAGS);
  EXPECT_FALSE(GetStringTypeExW(0x7777, CT_CTYPE1, s, 2, types));
  EXPECT_FALSE(GetStringTypeExA(0x7777, CT_CTYPE1, "ab", 2, types));
  EXPECT_FALSE(GetStringTypeExA(0x0409, CT_CTYPE1, "ab", 0, types));
  EXPECT_EQ(types[0], 7);
  // The stand-in identifiers are accepted.
  EXPECT_TRUE(GetStringTypeExW(LOCALE_USER_DEFAULT, CT_CTYPE1, s, 2, types));
  EXPECT_TRUE(GetStringTypeExW(LOCALE_CUSTOM_UNSPECIFIED, CT_CTYPE1, s, 2, types));
}

TEST(CharClasses, EightBitTypesGoThroughTheLocaleCodePage) {
  uint16_t t[8];
  // 1252: euro, S caron, A grave, no-break space, hole 0x81.
  ASSERT_TRUE(GetStringTypeExA(0x0409, CT_CTYPE1, "\x80\x8A\xC0\xA0\x81", 5, t));
  EXPECT_EQ(t[0], P | DEF);
  EXPECT_EQ(t[1], U | A | DEF);
  EXPECT_EQ(t[2], U | A | DEF);
  EXPECT_EQ(t[3], S | B | DEF);
  EXPECT_EQ(t[4], C | DEF);
  // 1251: the same bytes are Cyrillic.
  ASSERT_TRUE(GetStringTypeExA(0x0419, CT_CTYPE1, "\xC0\xE0", 2, t));
  EXPECT_EQ(t[0], U | A | DEF);
  EXPECT_EQ(t[1], L | A | DEF);
  // 932: a double-byte ideograph types both its bytes; half-width katakana is one byte.
  ASSERT_TRUE(GetStringTypeExA(0x0411, CT_CTYPE1, "\x93\xFA" "a\xB1" "1", 5, t));
  EXPECT_EQ(t[0], A | DEF);
  EXPECT_EQ(t[1], A | DEF);
  EXPECT_EQ(t[2], L | A | X | DEF);
  EXPECT_EQ(t[3], A | DEF);
  EXPECT_EQ(t[4], D | X | DEF);
  // A lead byte with no trail byte is no character.
  ASSERT_TRUE(GetStringTypeExA(0x0411, CT_CTYPE1, "a\x93", 2, t));
  EXPECT_EQ(t[1], 0);
  // A Unicode-only locale (Hindi) reads bytes in the system code page.
  ASSERT_TRUE(GetStringTypeExA(0x0439, CT_CTYPE1, "\xC0", 1, t));
  EXPECT_EQ(t[0], U | A | DEF);
}

}  // namespace
}  // namespace kx8
