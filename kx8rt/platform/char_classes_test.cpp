#include "kx8rt/platform/char_classes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
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

TEST(CharClasses, TypeOneTableMadeByRangesAgreesWithEachCharactersProperties) {
  for (char32_t c = 0; c < 0x10000; ++c) ASSERT_EQ(CharType1(c), CharType1Of(c)) << std::hex << static_cast<uint32_t>(c);
  EXPECT_EQ(CharType1Of(0xD800), 0);
  EXPECT_EQ(CharType1Of(0x110000), 0);
  EXPECT_EQ(CharType1Of(0x1D7CE), CharType1(0x1D7CE));  // beyond the first plane both look it up
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

TEST(CharClasses, LongTextsClassifyAsEachCharacterAlone) {
  // Runs of eight units go through a faster path that must stop for surrogates wherever they fall:
  // a pair placed at every offset, straddling block edges, and lone halves among letters.
  std::u16string text;
  for (int k = 0; k < 40; ++k) {
    text += std::u16string(static_cast<size_t>(k % 11), u'a');
    text += (k % 3 == 0) ? u"\U0001F600" : (k % 3 == 1) ? u"\xD800" u"b" : u"9 \xDC00";
    text += u"\u00E9,X\t";
  }
  std::vector<uint16_t> types(text.size());
  ASSERT_TRUE(GetStringTypeExW(0x0409, CT_CTYPE1, text.data(), static_cast<int32_t>(text.size()), types.data()));
  for (size_t i = 0; i < text.size(); ++i) {
    uint16_t alone[2] = {};
    const bool pair = (text[i] & 0xFC00) == 0xD800 && i + 1 < text.size() && (text[i + 1] & 0xFC00) == 0xDC00;
    const bool secondHalf = i > 0 && (text[i] & 0xFC00) == 0xDC00 && (text[i - 1] & 0xFC00) == 0xD800;
    const size_t at = secondHalf ? i - 1 : i;
    ASSERT_TRUE(GetStringTypeExW(0x0409, CT_CTYPE1, text.data() + at, pair || secondHalf ? 2 : 1, alone));
    EXPECT_EQ(types[i], alone[secondHalf ? 1 : 0]) << "at " << i;
  }
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


TEST(CharClasses, GeneralCategories) {
  const std::pair<char32_t, TUnicodeCategory> cases[] = {
      {U'A', ucUppercaseLetter},     {U'a', ucLowercaseLetter},      {U'\u01C5', ucTitlecaseLetter},
      {U'\u02B0', ucModifierLetter}, {U'\u05D0', ucOtherLetter},     {U'\u0301', ucNonSpacingMark},
      {U'\u0903', ucCombiningMark},  {U'\u20DD', ucEnclosingMark},   {U'5', ucDecimalNumber},
      {U'\u2160', ucLetterNumber},   {U'\u00BD', ucOtherNumber},     {U'_', ucConnectPunctuation},
      {U'-', ucDashPunctuation},     {U')', ucClosePunctuation},     {U'\u00BB', ucFinalPunctuation},
      {U'\u00AB', ucInitialPunctuation}, {U'!', ucOtherPunctuation}, {U'(', ucOpenPunctuation},
      {U'$', ucCurrencySymbol},      {U'^', ucModifierSymbol},       {U'+', ucMathSymbol},
      {U'\u00A9', ucOtherSymbol},    {U'\u2028', ucLineSeparator},   {U'\u2029', ucParagraphSeparator},
      {U' ', ucSpaceSeparator},      {U'\u0007', ucControl},         {U'\u200D', ucFormat},
      {U'\u0378', ucUnassigned},     {U'\uE000', ucPrivateUse},      {U'\xD800', ucSurrogate},
      {U'\U0001D400', ucUppercaseLetter}, {U'\U0001F600', ucOtherSymbol}, {char32_t{0x110000}, ucUnassigned},
  };
  for (const auto& [c, cat] : cases) {
    SCOPED_TRACE(static_cast<uint32_t>(c));
    EXPECT_EQ(GetUnicodeCategory(c), cat);
  }
}

TEST(CharClasses, CharacterTests) {
  struct Case {
    char32_t c;
    bool letter, digit, upper, lower, white, punct;
  };
  const Case cases[] = {
      {U'A', true, false, true, false, false, false},
      {U'\u03C9', true, false, false, true, false, false},
      {U'\u0915', true, false, false, false, false, false},
      {U'\u01C5', true, false, false, false, false, false},  // title case is neither upper nor lower
      {U'\u0661', false, true, false, false, false, false},
      {U'\u00B2', false, false, false, false, false, false},  // No, not a decimal digit
      {U'\u00A0', false, false, false, false, true, false},
      {U'\t', false, false, false, false, true, false},
      {U'\u200B', false, false, false, false, false, false},  // zero-width space is no white space
      {U'\u3000', false, false, false, false, true, false},
      {U'!', false, false, false, false, false, true},
      {U'\u00BF', false, false, false, false, false, true},
      {U'$', false, false, false, false, false, false},  // a symbol, not punctuation
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<uint32_t>(c.c));
    EXPECT_EQ(IsLetter(c.c), c.letter);
    EXPECT_EQ(IsDigit(c.c), c.digit);
    EXPECT_EQ(IsLetterOrDigit(c.c), c.letter || c.digit);
    EXPECT_EQ(IsUpper(c.c), c.upper);
    EXPECT_EQ(IsLower(c.c), c.lower);
    EXPECT_EQ(IsWhiteSpace(c.c), c.white);
    EXPECT_EQ(IsPunctuation(c.c), c.punct);
  }
  EXPECT_TRUE(IsSymbol(U'$'));
  EXPECT_TRUE(IsNumber(U'\u00B2'));
  EXPECT_TRUE(IsControl(U'\u0085'));
  EXPECT_TRUE(IsSeparator(U'\u00A0'));
  EXPECT_FALSE(IsSeparator(U'\t'));
}

TEST(CharClasses, CaseClosureHoldsEveryCaseOfALetter) {
  struct Case {
    char32_t c;
    std::u32string members;  // in any order
  };
  const Case cases[] = {
      {U'\u03C3', U"\u03C3\u03A3\u03C2"},  // σ Σ ς, from any of them
      {U'\u03C2', U"\u03C3\u03A3\u03C2"},
      {U'\u03A3', U"\u03C3\u03A3\u03C2"},
      {U'\u00DF', U"\u00DF\u1E9E"},  // ß ẞ (not "ss", which is two characters)
      {U'\u1E9E', U"\u00DF\u1E9E"},
      {U'\u01C5', U"\u01C4\u01C5\u01C6"},  // the title-case digraph and its two cases
      {U'k', U"kK\u212A"},
      {U'\u0399', U"\u0399\u03B9\u0345\u1FBE"},  // four members, the most there are
      {U'\U00010400', U"\U00010400\U00010428"},
      {U'7', U"7"},
      {char32_t{0x110000}, std::u32string(1, char32_t{0x110000})},
  };
  for (const Case& c : cases) {
    char32_t got[max_case_closure + 1] = {};
    const int32_t n = CaseClosureOf(c.c, got, max_case_closure + 1);
    EXPECT_EQ(got[0], c.c);
    std::u32string sorted(got, got + n), want = c.members;
    std::sort(sorted.begin(), sorted.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(sorted, want) << static_cast<uint32_t>(c.c);
  }
  char32_t two[2];
  EXPECT_EQ(CaseClosureOf(U'\u03C3', two, 2), 2);  // cut at the capacity
  EXPECT_EQ(CaseClosureOf(U'a', nullptr, 4), 0);
}

TEST(CharClasses, CaseClosuresAreSmallAndClosedUnderTheMappings) {
  // The matcher keeps max_case_closure units per pattern place: no closure may be larger, and each must
  // hold the upper, lower, title case and folding of every member, or an upper-cased or folded text
  // would fall out of it.
  for (char32_t c = 0; c <= 0x10FFFF; c += (c < 0x10000 ? 1 : 7)) {
    if (c >= 0xD800 && c < 0xE000) continue;
    char32_t m[max_case_closure + 1];
    const int32_t n = CaseClosureOf(c, m, max_case_closure + 1);
    ASSERT_LE(n, max_case_closure) << static_cast<uint32_t>(c);
    for (int32_t i = 0; i < n; ++i)
      for (char32_t d : {ToUpper(m[i]), ToLower(m[i]), ToTitle(m[i]), FoldCase(m[i])})
        ASSERT_NE(std::find(m, m + n, d), m + n) << static_cast<uint32_t>(c);
  }
}

TEST(CharClasses, SimpleCaseMappingKeepsTheLength) {
  EXPECT_EQ(ToUpper(U'\u00E9'), U'\u00C9');
  EXPECT_EQ(ToUpper(U'\u00DF'), U'\u00DF');  // no one-unit capital
  EXPECT_EQ(ToLower(U'\u0130'), U'i');
  EXPECT_EQ(ToUpper(U'\u03C2'), U'\u03A3');
  EXPECT_EQ(ToTitle(U'\u01C6'), U'\u01C5');
  EXPECT_EQ(ToUpper(U'\u01C6'), U'\u01C4');
  EXPECT_EQ(ToLower(U'\U00010400'), U'\U00010428');
  EXPECT_EQ(ToUpper(char32_t{0x110000}), char32_t{0x110000});
  struct Case {
    const char16_t* in;
    const char16_t* upper;
    const char16_t* lower;
  };
  const Case cases[] = {
      {u"Stra\u00DFe", u"STRA\u00DFE", u"stra\u00DFe"},
      {u"\u0130stanbul", u"\u0130STANBUL", u"istanbul"},
      {u"\u039F\u03B4\u03C5\u03C3\u03C3\u03B5\u03CD\u03C2", u"\u039F\u0394\u03A5\u03A3\u03A3\u0395\u038E\u03A3",
       u"\u03BF\u03B4\u03C5\u03C3\u03C3\u03B5\u03CD\u03C2"},
      {u"\u041C\u043E\u0441\u043A\u0432\u0430", u"\u041C\u041E\u0421\u041A\u0412\u0410",
       u"\u043C\u043E\u0441\u043A\u0432\u0430"},
      {u"\uFB01x\u0149", u"\uFB01X\u0149", u"\uFB01x\u0149"},  // ligature and n-apostrophe have no simple upper
      {u"a\U00010428\xD800" u"b", u"A\U00010400\xD800" u"B", u"a\U00010428\xD800" u"b"},
      {u"\u0627\u0644\u0639\u0631\u0628\u064A\u0629 123", u"\u0627\u0644\u0639\u0631\u0628\u064A\u0629 123",
       u"\u0627\u0644\u0639\u0631\u0628\u064A\u0629 123"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.in));
    EXPECT_EQ(ToUpper(std::u16string_view(c.in)), c.upper);
    EXPECT_EQ(ToLower(std::u16string_view(c.in)), c.lower);
  }
  char16_t buf[] = u"istanbul";
  EXPECT_EQ(CharUpperBuffW(buf, 8), 8u);
  EXPECT_EQ(std::u16string(buf), u"ISTANBUL");
  EXPECT_EQ(CharLowerBuffW(buf, 3), 3u);
  EXPECT_EQ(std::u16string(buf), u"istANBUL");
  EXPECT_EQ(CharUpperBuffW(nullptr, 3), 0u);
}

UnicodeString Fold(uint32_t flags, const std::u16string& s) {
  const auto n = static_cast<int32_t>(s.size());
  const int32_t need = FoldStringW(flags, s.data(), n, nullptr, 0);
  UnicodeString out(static_cast<size_t>(std::max(need, 0)), u'\0');
  if (need > 0) {
    EXPECT_EQ(FoldStringW(flags, s.data(), n, out.data(), need), need);
  }
  return out;
}

TEST(CharClasses, FoldingAndPrecomposing) {
  EXPECT_EQ(Fold(MAP_PRECOMPOSED, u"e\u0301"), u"\u00E9");
  EXPECT_EQ(Fold(MAP_PRECOMPOSED, u"Ame\u0301lie A\u030A o\u0308\u0304"), u"Am\u00E9lie \u00C5 \u022B");
  // A composition exclusion would grow under NFC, so precomposing leaves it as it is.
  EXPECT_EQ(Fold(MAP_PRECOMPOSED, u"\u0958x"), u"\u0958x");
  EXPECT_EQ(Fold(MAP_PRECOMPOSED, u"\u0915\u093C"), u"\u0915\u093C");
  EXPECT_EQ(Fold(MAP_COMPOSITE, u"\u00E9\u1EC7"), u"e\u0301e\u0323\u0302");
  EXPECT_EQ(Fold(MAP_FOLDDIGITS, u"\u0661\u0662\u0663 \u0967\u00B2 \uFF19"), u"123 12 9");
  EXPECT_EQ(Fold(MAP_EXPAND_LIGATURES, u"\u00C6sop \uFB01ne \u00DF \u01C6"), u"AEsop fine ss d\u017E");
  EXPECT_EQ(Fold(MAP_FOLDCZONE, u"\uFF21\uFF42 \uFF76 \u00C5"), u"Ab \u30AB \u00C5");
  EXPECT_EQ(Fold(MAP_FOLDCZONE | MAP_PRECOMPOSED, u"\uFF21\u030A"), u"\u00C5");
  EXPECT_EQ(Fold(MAP_PRECOMPOSED, u"a\xD800"), u"a\xD800");  // a lone surrogate passes through

  char16_t out[16];
  EXPECT_EQ(FoldStringW(MAP_PRECOMPOSED, u"e\u0301", -1, out, 16), 2);  // with the NUL
  EXPECT_EQ(std::u16string(out), u"\u00E9");
  struct Bad {
    int32_t result;
    uint32_t error;
  };
  auto outcome = [](int32_t r) { return Bad{r, GetLastPlatformError()}; };
  const char16_t* src = u"e\u0301";
  const Bad bad[] = {
      outcome(FoldStringW(0, src, 2, out, 16)),
      outcome(FoldStringW(0x8000, src, 2, out, 16)),
      outcome(FoldStringW(MAP_PRECOMPOSED | MAP_COMPOSITE, src, 2, out, 16)),
      outcome(FoldStringW(MAP_EXPAND_LIGATURES | MAP_PRECOMPOSED, src, 2, out, 16)),
      outcome(FoldStringW(MAP_PRECOMPOSED, nullptr, 2, out, 16)),
      outcome(FoldStringW(MAP_PRECOMPOSED, src, 0, out, 16)),
      outcome(FoldStringW(MAP_PRECOMPOSED, out, 2, out, 16)),
      outcome(FoldStringW(MAP_COMPOSITE, u"\u00E9", 1, out, 1)),
  };
  const uint32_t expected[] = {ERROR_INVALID_FLAGS,     ERROR_INVALID_FLAGS,     ERROR_INVALID_FLAGS,
                               ERROR_INVALID_FLAGS,     ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER,
                               ERROR_INVALID_PARAMETER, ERROR_INSUFFICIENT_BUFFER};
  for (size_t i = 0; i < std::size(bad); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(bad[i].result, 0);
    EXPECT_EQ(bad[i].error, expected[i]);
  }
}

TEST(CharClasses, NormalizeStringForms) {
  char16_t out[16];
  EXPECT_EQ(NormalizeString(NormalizationC, u"e\u0301", 2, out, 16), 1);
  EXPECT_EQ(out[0], u'\u00E9');
  EXPECT_EQ(NormalizeString(NormalizationC, u"\u0958", 1, out, 16), 2);  // NFC proper may grow
  EXPECT_EQ(NormalizeString(NormalizationD, u"\u00E9", 1, nullptr, 0), 2);
  EXPECT_EQ(NormalizeString(NormalizationKC, u"\uFB01", 1, out, 16), 2);
  EXPECT_EQ(NormalizeString(NormalizationKD, u"\u00BD", 1, out, 16), 3);
  EXPECT_EQ(NormalizeString(NormalizationC, u"", 0, out, 16), 0);
  EXPECT_EQ(GetLastPlatformError(), ERROR_SUCCESS);
  EXPECT_EQ(NormalizeString(NormalizationD, u"\u00E9\u00E9", 2, out, 3), -4);
  EXPECT_EQ(GetLastPlatformError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(NormalizeString(NormalizationC, u"ab\xDC00", 3, out, 16), -3);
  EXPECT_EQ(GetLastPlatformError(), ERROR_NO_UNICODE_TRANSLATION);
  EXPECT_EQ(NormalizeString(static_cast<NORM_FORM>(3), u"a", 1, out, 16), 0);
  EXPECT_EQ(GetLastPlatformError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(IsNormalizedString(NormalizationC, u"\u00E9", -1));
  EXPECT_FALSE(IsNormalizedString(NormalizationC, u"e\u0301", -1));
  EXPECT_TRUE(IsNormalizedString(NormalizationD, u"e\u0301", 2));
  EXPECT_FALSE(IsNormalizedString(NormalizationC, u"\xD800", 1));
  EXPECT_EQ(NormalizedNFC(u"e\u0301t\u00E9"), u"\u00E9t\u00E9");
  EXPECT_EQ(NormalizedNFC(u"e\u0301\xD800"), u"e\u0301\xD800");
  EXPECT_EQ(NormalizedNFC(u""), u"");
}

}  // namespace
}  // namespace kx8
