#include "kx8rt/platform/locales.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/last_error.h"

namespace kx8 {
namespace {

struct LocaleFacts {
  LCID lcid;
  const char* icu;
  const char16_t* name;
  uint32_t ansi;
  uint32_t oem;
  const char16_t* englishLanguage;
  const char16_t* nativeLanguage;
  const char16_t* englishCountry;
  const char16_t* currency;
  const char16_t* measure;
};

const LocaleFacts kLocales[] = {
    {0x0409, "en_US", u"en-US", 1252, 437, u"English", u"English", u"United States", u"$", u"1"},
    {0x0809, "en_GB", u"en-GB", 1252, 850, u"English", u"English", u"United Kingdom", u"\u00A3", u"0"},
    {0x040C, "fr_FR", u"fr-FR", 1252, 850, u"French", u"fran\u00E7ais", u"France", u"\u20AC", u"0"},
    {0x0407, "de_DE", u"de-DE", 1252, 850, u"German", u"Deutsch", u"Germany", u"\u20AC", u"0"},
    {0x0419, "ru_RU", u"ru-RU", 1251, 866, u"Russian", u"\u0440\u0443\u0441\u0441\u043A\u0438\u0439", u"Russia",
     u"\u20BD", u"0"},
    {0x0411, "ja_JP", u"ja-JP", 932, 932, u"Japanese", u"\u65E5\u672C\u8A9E", u"Japan", u"\uFFE5", u"0"},
    {0x041F, "tr_TR", u"tr-TR", 1254, 857, u"Turkish", u"T\u00FCrk\u00E7e", u"Turkey", u"\u20BA", u"0"},
    {0x0401, "ar_SA", u"ar-SA", 1256, 720, u"Arabic", u"\u0627\u0644\u0639\u0631\u0628\u064A\u0629",
     u"Saudi Arabia", u"\u0631.\u0633.\u200F", u"0"},
};

TEST(Locales, KnownLocalesAnswerFromLocaleData) {
  for (const LocaleFacts& f : kLocales) {
    SCOPED_TRACE(f.icu);
    EXPECT_TRUE(IsValidLocale(f.lcid));
    EXPECT_EQ(LCIDToICULocale(f.lcid), f.icu);
    EXPECT_EQ(ICULocaleToLCID(f.icu), f.lcid);
    EXPECT_EQ(LCIDToLocaleName(f.lcid), f.name);
    EXPECT_EQ(LocaleNameToLCID(f.name), f.lcid);
    EXPECT_EQ(LCIDToAnsiCodePage(f.lcid), f.ansi);
    EXPECT_EQ(LCIDToOemCodePage(f.lcid), f.oem);
    EXPECT_EQ(GetLocaleInfoString(f.lcid, LOCALE_SENGLANGUAGE), f.englishLanguage);
    EXPECT_EQ(GetLocaleInfoString(f.lcid, LOCALE_SNATIVELANGNAME), f.nativeLanguage);
    EXPECT_EQ(GetLocaleInfoString(f.lcid, LOCALE_SENGCOUNTRY), f.englishCountry);
    EXPECT_EQ(GetLocaleInfoString(f.lcid, LOCALE_SCURRENCY), f.currency);
    EXPECT_EQ(GetLocaleInfoString(f.lcid, LOCALE_IMEASURE), f.measure);
    EXPECT_EQ(GetLocaleInfoString(f.lcid, LOCALE_IDEFAULTANSICODEPAGE), IntToStr(static_cast<int64_t>(f.ansi)));
    EXPECT_EQ(GetLocaleInfoString(f.lcid, LOCALE_IDEFAULTCODEPAGE), IntToStr(static_cast<int64_t>(f.oem)));
    EXPECT_EQ(PrimaryLangID(f.lcid), f.lcid & 0x3FFu);
    // Item 2 is the whole locale named in its own language, starting with the language.
    EXPECT_EQ(GetLocaleInfoString(f.lcid, LOCALE_SLANGUAGE).find(f.nativeLanguage), 0u);
  }
  EXPECT_EQ(GetLocaleInfoString(0x0407, LOCALE_SLANGUAGE), u"Deutsch (Deutschland)");
  EXPECT_EQ(GetLocaleInfoString(0x0809, LOCALE_SENGLISHDISPLAYNAME), u"English (United Kingdom)");
  EXPECT_EQ(GetLocaleInfoString(0x0407, LOCALE_ILANGUAGE), u"0407");
  EXPECT_EQ(GetLocaleInfoString(0x0407, LOCALE_SDECIMAL), u",");
  EXPECT_EQ(GetLocaleInfoString(0x0407, LOCALE_SLIST), u";");
  EXPECT_EQ(GetLocaleInfoString(0x0409, LOCALE_STHOUSAND), u",");
  EXPECT_EQ(GetLocaleInfoString(0x0411, LOCALE_SINTLSYMBOL), u"JPY");
  EXPECT_EQ(GetLocaleInfoString(0x0419, LOCALE_SISO639LANGNAME), u"ru");
  EXPECT_EQ(GetLocaleInfoString(0x0419, LOCALE_SISO3166CTRYNAME), u"RU");
}

TEST(Locales, CodePagesOfOtherLanguages) {
  const std::pair<LCID, uint32_t> ansi[] = {
      {0x0405, 1250}, {0x0408, 1253}, {0x040D, 1255}, {0x0425, 1257}, {0x042A, 1258}, {0x041E, 874},
      {0x0804, 936},  {0x0404, 950},  {0x0412, 949},  {0x0439, 0},    {0x0437, 0},    {0x0C1A, 1251},
      {0x081A, 1250}, {0x0843, 1251}, {0x0443, 1254}, {0x10407, 1252},
  };
  for (const auto& [lcid, cp] : ansi) {
    SCOPED_TRACE(lcid);
    EXPECT_EQ(LCIDToAnsiCodePage(lcid), cp);
  }
  EXPECT_EQ(LCIDToOemCodePage(0x0439), 0u);
  EXPECT_EQ(LCIDToAnsiCodePage(0x7777), 0u);
}

TEST(Locales, StandInsAndUnknownIdentifiers) {
  EXPECT_EQ(ResolvedLCID(LOCALE_USER_DEFAULT), 0x0409u);
  EXPECT_EQ(ResolvedLCID(LOCALE_SYSTEM_DEFAULT), 0x0409u);
  EXPECT_EQ(ResolvedLCID(LOCALE_CUSTOM_UNSPECIFIED), 0x0409u);
  EXPECT_EQ(ResolvedLCID(LOCALE_INVARIANT), LOCALE_INVARIANT);
  EXPECT_EQ(LCIDToICULocale(LOCALE_INVARIANT), "root");
  EXPECT_EQ(ResolvedLCID(0x10407), 0x10407u);  // German with phone-book sorting
  EXPECT_EQ(ResolvedLCID(0x7777), 0u);
  EXPECT_EQ(ResolvedLCID(0x7C09), 0u);          // a sub-language English does not have
  EXPECT_EQ(ResolvedLCID(0x00100409), 0u);      // reserved bits
  EXPECT_EQ(LCIDToICULocale(0x7777), "");
  EXPECT_EQ(LocaleNameToLCID(u"xx-Nowhere"), 0u);
  EXPECT_EQ(ICULocaleToLCID("tr-TR"), 0x041Fu);

  ASSERT_TRUE(SetUserDefaultLCID(0x041F));
  EXPECT_EQ(ResolvedLCID(LOCALE_USER_DEFAULT), 0x041Fu);
  EXPECT_FALSE(SetUserDefaultLCID(0x7777));
  EXPECT_EQ(GetUserDefaultLCID(), 0x041Fu);
  ASSERT_TRUE(SetUserDefaultLCID(LOCALE_DEFAULT_LCID));
}

TEST(Locales, InstalledListIsSortedAndSpecific) {
  const std::vector<LCID>& all = InstalledLCIDs();
  ASSERT_GT(all.size(), 100u);
  EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));
  for (const LocaleFacts& f : kLocales) EXPECT_TRUE(std::binary_search(all.begin(), all.end(), f.lcid)) << f.icu;
  EXPECT_FALSE(std::binary_search(all.begin(), all.end(), LCID{0x0009}));  // neutral English
  EXPECT_FALSE(std::binary_search(all.begin(), all.end(), LOCALE_USER_DEFAULT));
  // The first locale whose English language name is English is U.S. English.
  const auto english = std::find_if(all.begin(), all.end(), [](LCID id) {
    return GetLocaleInfoString(id, LOCALE_SENGLANGUAGE) == u"English";
  });
  ASSERT_NE(english, all.end());
  EXPECT_EQ(*english, 0x0409u);
}

TEST(Locales, GetLocaleInfoBufferRules) {
  char16_t buf[64];
  EXPECT_EQ(GetLocaleInfoW(0x0407, LOCALE_SENGLANGUAGE, nullptr, 0), 7);  // "German" and the NUL
  EXPECT_EQ(GetLocaleInfoW(0x0407, LOCALE_SENGLANGUAGE, buf, 64), 7);
  EXPECT_EQ(UnicodeString(buf), u"German");
  SetLastPlatformError(0);
  EXPECT_EQ(GetLocaleInfoW(0x0407, LOCALE_SENGLANGUAGE, buf, 6), 0);
  EXPECT_EQ(GetLastPlatformError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(GetLocaleInfoW(0x0407, 0x7777, buf, 64), 0);
  EXPECT_EQ(GetLastPlatformError(), ERROR_INVALID_FLAGS);
  EXPECT_EQ(GetLocaleInfoW(0x7777, LOCALE_SENGLANGUAGE, buf, 64), 0);
  EXPECT_EQ(GetLastPlatformError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(GetLocaleInfoW(0x0407, LOCALE_SENGLANGUAGE, nullptr, 5), 0);
  EXPECT_EQ(GetLastPlatformError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(GetLocaleInfoW(0x0419, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER, buf, 2), 2);
  EXPECT_EQ(buf[0] | (buf[1] << 16), 1251);
  EXPECT_EQ(GetLocaleInfoW(0x0419, LOCALE_SENGLANGUAGE | LOCALE_RETURN_NUMBER, buf, 2), 0);
  EXPECT_EQ(GetLocaleInfoW(0x0419, LOCALE_SENGLANGUAGE | LOCALE_NOUSEROVERRIDE, buf, 64), 8);
  EXPECT_EQ(GetLocaleInfoString(0x0407, 0x7777), u"");
}

int32_t Cmp(LCID lcid, uint32_t flags, const char16_t* a, const char16_t* b) {
  return CompareStringW(lcid, flags, a, -1, b, -1);
}

TEST(Locales, CompareStringFlags) {
  struct Case {
    LCID lcid;
    uint32_t flags;
    const char16_t* a;
    const char16_t* b;
    int32_t expected;
  };
  const Case cases[] = {
      {0x0409, 0, u"apple", u"Banana", CSTR_LESS_THAN},  // not code-unit order
      {0x0409, 0, u"abc", u"abc", CSTR_EQUAL},
      {0x0409, 0, u"abc", u"ABC", CSTR_LESS_THAN},  // lower case first
      {0x0409, NORM_IGNORECASE, u"abc", u"ABC", CSTR_EQUAL},
      {0x0409, NORM_IGNORECASE, u"r\u00E9sum\u00E9", u"RESUME", CSTR_GREATER_THAN},
      {0x0409, NORM_IGNORENONSPACE, u"r\u00E9sum\u00E9", u"resume", CSTR_EQUAL},
      {0x0409, NORM_IGNORENONSPACE, u"r\u00E9sum\u00E9", u"Resume", CSTR_LESS_THAN},
      {0x0409, NORM_IGNORECASE | NORM_IGNORENONSPACE, u"r\u00E9sum\u00E9", u"RESUME", CSTR_EQUAL},
      {0x0409, LINGUISTIC_IGNORECASE, u"abc", u"ABC", CSTR_EQUAL},
      {0x0409, 0, u"e\u0301", u"\u00E9", CSTR_EQUAL},  // canonically equivalent
      // Word sort: the hyphen weighs nothing at first ("co-op" sorts between "coon" and "cooq"),
      // but it still tells "co-op" from "coop".
      {0x0409, 0, u"co-op", u"coon", CSTR_GREATER_THAN},
      {0x0409, 0, u"co-op", u"cooq", CSTR_LESS_THAN},
      {0x0409, 0, u"co-op", u"coop", CSTR_LESS_THAN},
      {0x0409, SORT_STRINGSORT, u"co-op", u"coon", CSTR_LESS_THAN},
      {0x0409, NORM_IGNORESYMBOLS, u"$1,000.", u"1000", CSTR_EQUAL},
      {0x0409, NORM_IGNORESYMBOLS, u"co-op", u"coop", CSTR_EQUAL},
      {0x0409, 0, u"a10", u"a9", CSTR_LESS_THAN},
      {0x0409, SORT_DIGITSASNUMBERS, u"a10", u"a9", CSTR_GREATER_THAN},
      // Locale rules: German phone-book order puts a-umlaut with ae; Swedish puts it after z.
      {0x0407, 0, u"\u00E4", u"af", CSTR_LESS_THAN},
      {0x041D, 0, u"\u00E4", u"z", CSTR_GREATER_THAN},
      {0x0409, 0, u"\u00E4", u"z", CSTR_LESS_THAN},
      {0x10407, 0, u"M\u00FCller", u"Muff", CSTR_LESS_THAN},
      {0x0407, 0, u"M\u00FCller", u"Muff", CSTR_GREATER_THAN},
      // Turkish: dotless i is its own letter between h and i.
      {0x041F, 0, u"\u0131", u"i", CSTR_LESS_THAN},
      {0x041F, 0, u"\u0131", u"h", CSTR_GREATER_THAN},
      {0x0419, 0, u"\u0451\u0436", u"\u0435\u0437", CSTR_LESS_THAN},
      {0x0411, 0, u"\u3042", u"\u30A2", CSTR_LESS_THAN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.a) + " vs " + Utf16ToUtf8(c.b) + " in " + std::to_string(c.lcid) + " flags " +
                 std::to_string(c.flags));
    EXPECT_EQ(Cmp(c.lcid, c.flags, c.a, c.b), c.expected);
    EXPECT_EQ(Cmp(c.lcid, c.flags, c.b, c.a), 4 - c.expected);
  }
}

TEST(Locales, CompareStringWidthAndKanaType) {
  constexpr uint32_t W = NORM_IGNOREWIDTH, K = NORM_IGNOREKANATYPE;
  struct Case {
    LCID lcid;
    uint32_t flags;
    const char16_t* a;
    const char16_t* b;
    int32_t expected;
  };
  const Case cases[] = {
      // Fullwidth Latin letters and digits, and the ideographic space.
      {0x0409, 0, u"\uFF21\uFF22\uFF23", u"ABC", CSTR_GREATER_THAN},
      {0x0409, W, u"\uFF21\uFF22\uFF23", u"ABC", CSTR_EQUAL},
      {0x0409, W, u"\uFF41\uFF42\uFF43", u"ABC", CSTR_LESS_THAN},  // case still counts
      {0x0409, W | NORM_IGNORECASE, u"\uFF41\uFF42\uFF43", u"ABC", CSTR_EQUAL},
      {0x0409, W, u"x\uFF11\uFF10", u"x10", CSTR_EQUAL},
      {0x0409, W, u"a\u3000b", u"a b", CSTR_EQUAL},
      {0x0409, W, u"\uFF21\uFF22\uFF24", u"ABC", CSTR_GREATER_THAN},  // folding keeps the letters' order
      {0x0409, W, u"\uFFE5100", u"\u00A5100", CSTR_EQUAL},            // fullwidth yen sign
      {0x0409, K, u"\uFF21", u"A", CSTR_GREATER_THAN},                 // kana folding leaves width alone
      // Hiragana and katakana.
      {0x0411, 0, u"\u3072\u3089\u304C\u306A", u"\u30D2\u30E9\u30AC\u30CA", CSTR_LESS_THAN},
      {0x0411, K, u"\u3072\u3089\u304C\u306A", u"\u30D2\u30E9\u30AC\u30CA", CSTR_EQUAL},
      {0x0411, K, u"\u3042\u3044", u"\u30A2\u30A6", CSTR_LESS_THAN},  // い before ウ
      {0x0411, K, u"\u3041\u3094\u309D", u"\u30A1\u30F4\u30FD", CSTR_EQUAL},  // small a, vu, iteration mark
      {0x0409, K, u"\u3053\u3093", u"\u30B3\u30F3", CSTR_EQUAL},     // any locale
      {0x0411, W, u"\u3042", u"\u30A2", CSTR_LESS_THAN},             // width folding leaves kana alone
      // Halfwidth katakana, with the voiced and semi-voiced marks as separate characters.
      {0x0411, 0, u"\uFF76\uFF9E", u"\u30AC", CSTR_GREATER_THAN},
      {0x0411, W, u"\uFF76\uFF9E\uFF8A\uFF9F", u"\u30AC\u30D1", CSTR_EQUAL},
      {0x0411, W, u"\uFF76\uFF9E", u"\u30AB", CSTR_GREATER_THAN},     // the mark is not dropped
      {0x0411, W, u"\uFF7B\uFF72\uFF80\uFF9E\uFF70", u"\u30B5\u30A4\u30C0\u30FC", CSTR_EQUAL},  // ｻｲﾀﾞｰ
      {0x0411, W, u"\uFF76\uFF9E", u"\u304C", CSTR_GREATER_THAN},
      {0x0411, K, u"\uFF76\uFF9E", u"\u304C", CSTR_GREATER_THAN},
      {0x0411, W | K, u"\uFF76\uFF9E", u"\u304C", CSTR_EQUAL},
      {0x0411, W | K, u"\uFF71\uFF72", u"\u3042\u3046", CSTR_LESS_THAN},
      {0x0411, W | K | NORM_IGNORESYMBOLS, u"\uFF71\u3000\uFF72", u"\u3042\u3044", CSTR_EQUAL},
      {0x0411, W | K | SORT_STRINGSORT, u"\uFF71\uFF72", u"\u3042\u3044", CSTR_EQUAL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.a) + " vs " + Utf16ToUtf8(c.b) + " in " + std::to_string(c.lcid) + " flags " +
                 std::to_string(c.flags));
    EXPECT_EQ(Cmp(c.lcid, c.flags, c.a, c.b), c.expected);
    EXPECT_EQ(Cmp(c.lcid, c.flags, c.b, c.a), 4 - c.expected);
  }
  // Without the flags, width and kana type tell strings apart in every locale and at every strength but
  // the one that ignores case: the Japanese collation alone weighs halfwidth and fullwidth kana the same,
  // and ignoring marks drops the third level.
  const Case told[] = {
      {0x0411, 0, u"\uFF71", u"\u30A2", CSTR_GREATER_THAN},
      {0x0411, K, u"\uFF71", u"\u3042", CSTR_GREATER_THAN},
      {0x0411, 0, u"\uFF76\uFF9E\uFF77", u"\u30AC\u30AD", CSTR_GREATER_THAN},
      {0x0411, 0, u"\u30A2\uFF72", u"\uFF71\u30A4", CSTR_LESS_THAN},  // the first width form decides
      {0x0409, NORM_IGNORENONSPACE, u"\uFF21", u"A", CSTR_GREATER_THAN},
      {0x0409, NORM_IGNORENONSPACE | W, u"\uFF21", u"\u00C0", CSTR_EQUAL},
      {0x0411, NORM_IGNORENONSPACE, u"\u3042", u"\u30A2", CSTR_LESS_THAN},
      {0x0411, NORM_IGNORENONSPACE | K, u"\u3042", u"\u30A2", CSTR_EQUAL},
      {0x0411, NORM_IGNORECASE, u"\uFF71", u"\u3042", CSTR_EQUAL},
  };
  for (const Case& c : told) {
    SCOPED_TRACE(Utf16ToUtf8(c.a) + " vs " + Utf16ToUtf8(c.b) + " in " + std::to_string(c.lcid) + " flags " +
                 std::to_string(c.flags));
    EXPECT_EQ(Cmp(c.lcid, c.flags, c.a, c.b), c.expected);
    EXPECT_EQ(Cmp(c.lcid, c.flags, c.b, c.a), 4 - c.expected);
  }
  // Given lengths bound what is folded and compared; -1 reads to the NUL.
  EXPECT_EQ(CompareStringW(0x0411, W | K, u"\uFF76\uFF9E\uFF77", 2, u"\u304C\u304D", 1), CSTR_EQUAL);
  EXPECT_EQ(CompareStringW(0x0411, W | K, u"\uFF76\uFF9E\uFF77", -1, u"\u304C\u304D", -1), CSTR_EQUAL);
  EXPECT_EQ(CompareStringW(0x0411, W | K, u"\uFF76\uFF9E\uFF77", 1, u"\u304C", -1), CSTR_LESS_THAN);
  // The 8-bit form hands the flags on: halfwidth katakana in code page 932 are single bytes.
  EXPECT_EQ(CompareStringA(0x0411, 0, "\xB1", -1, "\x83\x41", -1), CSTR_GREATER_THAN);  // ｱ and ア
  EXPECT_EQ(CompareStringA(0x0411, W, "\xB6\xDE", -1, "\x83\x4B", -1), CSTR_EQUAL);  // ｶﾞ and ガ
}

TEST(Locales, CompareStringLengthsAndFailures) {
  EXPECT_EQ(CompareStringW(0x0409, 0, u"abcX", 3, u"abcY", 3), CSTR_EQUAL);
  EXPECT_EQ(CompareStringW(0x0409, 0, u"abc", 0, u"", -1), CSTR_EQUAL);
  EXPECT_EQ(CompareStringW(0x0409, 0, u"", 0, u"a", 1), CSTR_LESS_THAN);
  EXPECT_EQ(CompareStringW(LOCALE_USER_DEFAULT, 0, u"a", -1, u"b", -1), CSTR_LESS_THAN);
  SetLastPlatformError(0);
  EXPECT_EQ(CompareStringW(0x0409, 0, nullptr, -1, u"b", -1), 0);
  EXPECT_EQ(GetLastPlatformError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CompareStringW(0x0409, 0, u"a", -3, u"b", -1), 0);
  EXPECT_EQ(CompareStringW(0x7777, 0, u"a", -1, u"b", -1), 0);
  EXPECT_EQ(GetLastPlatformError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CompareStringW(0x0409, 0x00400000, u"a", -1, u"b", -1), 0);
  EXPECT_EQ(GetLastPlatformError(), ERROR_INVALID_FLAGS);
}

TEST(Locales, CompareStringAUsesTheLocaleCodePage) {
  EXPECT_EQ(CompareStringA(0x0409, NORM_IGNORENONSPACE, "caf\xE9", -1, "cafe", -1), CSTR_EQUAL);
  EXPECT_EQ(CompareStringA(0x0409, 0, "caf\xE9", -1, "cafe", -1), CSTR_GREATER_THAN);
  // 0xF1 is n-tilde in 1252 but Cyrillic es in 1251, which Russian sorts before Latin.
  EXPECT_EQ(CompareStringA(0x0409, NORM_IGNORENONSPACE, "\xF1", 1, "n", 1), CSTR_EQUAL);
  EXPECT_EQ(CompareStringA(0x0419, NORM_IGNORENONSPACE, "\xF1", 1, "n", 1), CSTR_LESS_THAN);
  EXPECT_EQ(CompareStringA(0x0409, 0, "ab", 2, "abc", 2), CSTR_EQUAL);
  EXPECT_EQ(CompareStringA(0x0409, 0, nullptr, 2, "abc", 2), 0);
}

UnicodeString Map(LCID lcid, uint32_t flags, const UnicodeString& s) {
  UnicodeString out(s.size(), u'\0');
  EXPECT_EQ(LCMapStringW(lcid, flags, s.data(), static_cast<int32_t>(s.size()), out.data(),
                         static_cast<int32_t>(out.size())),
            static_cast<int32_t>(s.size()));
  return out;
}

TEST(Locales, LinguisticCasingFollowsTheLocale) {
  constexpr uint32_t UP = LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING;
  constexpr uint32_t LO = LCMAP_LOWERCASE | LCMAP_LINGUISTIC_CASING;
  // Turkish and Azeri: i <-> dotted capital I, dotless i <-> I.
  EXPECT_EQ(Map(0x041F, UP, u"istanbul \u0131s\u0131k"), u"\u0130STANBUL ISIK");
  EXPECT_EQ(Map(0x041F, LO, u"\u0130STANBUL ISIK"), u"istanbul \u0131s\u0131k");
  EXPECT_EQ(Map(0x042C, UP, u"i"), u"\u0130");
  // Without linguistic casing, or in another locale, the mapping is the locale-independent one.
  EXPECT_EQ(Map(0x041F, LCMAP_UPPERCASE, u"i\u0131"), u"II");
  EXPECT_EQ(Map(0x0409, UP, u"i\u0131"), u"II");
  EXPECT_EQ(Map(0x0409, LO, u"I\u0130"), u"ii");
  // One unit for one unit: sharp s and ligatures stay.
  EXPECT_EQ(Map(0x0407, UP, u"stra\u00DFe \uFB01"), u"STRA\u00DFE \uFB01");
  EXPECT_EQ(Map(0x0408, UP, u"\u03C3\u03C2\u03AC"), u"\u03A3\u03A3\u0386");
  EXPECT_EQ(Map(0x0419, LO, u"\u0416\u0401"), u"\u0436\u0451");
  EXPECT_EQ(Map(0x0409, LO, u"\U00010400"), u"\U00010428");  // Deseret, a surrogate pair
  EXPECT_EQ(Map(0x0409, LCMAP_TITLECASE, u"hello wORLD-wide \u01C6x"), u"Hello World-Wide \u01C5x");
  EXPECT_EQ(Map(0x041F, LCMAP_TITLECASE | LCMAP_LINGUISTIC_CASING, u"izmir"), u"\u0130zmir");
}

TEST(Locales, LCMapStringBuffers) {
  char16_t buf[8] = u"abc";
  EXPECT_EQ(LCMapStringW(0x0409, LCMAP_UPPERCASE, buf, -1, nullptr, 0), 4);
  EXPECT_EQ(LCMapStringW(0x0409, LCMAP_UPPERCASE, buf, -1, buf, 8), 4);  // in place
  EXPECT_EQ(UnicodeString(buf), u"ABC");
  char16_t small[2];
  SetLastPlatformError(0);
  EXPECT_EQ(LCMapStringW(0x0409, LCMAP_UPPERCASE, buf, 3, small, 2), 0);
  EXPECT_EQ(GetLastPlatformError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(LCMapStringW(0x0409, LCMAP_UPPERCASE | LCMAP_LOWERCASE | 0x4, buf, 3, small, 2), 0);
  EXPECT_EQ(GetLastPlatformError(), ERROR_INVALID_FLAGS);
  EXPECT_EQ(LCMapStringW(0x0409, 0, buf, 3, buf, 8), 0);
  EXPECT_EQ(GetLastPlatformError(), ERROR_INVALID_FLAGS);
  EXPECT_EQ(LCMapStringW(0x7777, LCMAP_UPPERCASE, buf, 3, buf, 8), 0);
  EXPECT_EQ(GetLastPlatformError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(LCMapStringW(0x0409, LCMAP_UPPERCASE, buf, 3, buf + 1, 7), 0);  // overlapping
  EXPECT_EQ(LCMapStringW(0x0409, LCMAP_UPPERCASE, buf, 0, buf, 8), 0);
  EXPECT_EQ(LocaleUpperCase(0x041F, u"bir iki"), u"B\u0130R \u0130K\u0130");
  EXPECT_EQ(LocaleLowerCase(0x041F, u"KIRK"), u"k\u0131rk");
  EXPECT_EQ(LocaleUpperCase(0x7777, u"abc"), u"abc");
  EXPECT_EQ(LocaleUpperCase(0x0409, u""), u"");
}

TEST(Locales, AnsiRoutinesUseTheDefaultLocale) {
  EXPECT_EQ(AnsiUpperCase(u"stra\u00DFe \u00E9t\u00E9 i"), u"STRA\u00DFE \u00C9T\u00C9 I");
  EXPECT_EQ(AnsiLowerCase(u"\u00C9T\u00C9 \u0416"), u"\u00E9t\u00E9 \u0436");
  EXPECT_EQ(AnsiUpperCase(std::string_view("caf\xE9")), "CAF\xC9");
  EXPECT_EQ(AnsiLowerCase(std::string_view("\xC0\x8A")), "\xE0\x9A");
  EXPECT_LT(AnsiCompareStr(u"apple", u"Banana"), 0);  // ordinal order would put B first
  EXPECT_LT(AnsiCompareStr(u"abc", u"ABC"), 0);
  EXPECT_EQ(AnsiCompareText(u"abc", u"ABC"), 0);
  EXPECT_GT(AnsiCompareText(u"b", u"A"), 0);
  EXPECT_EQ(AnsiCompareText(u"", u""), 0);
  EXPECT_LT(AnsiCompareText(u"", u"a"), 0);
  EXPECT_TRUE(AnsiSameText(u"\u00C4bc", u"\u00E4BC"));
  EXPECT_FALSE(AnsiSameStr(u"\u00C4bc", u"\u00E4BC"));
  ASSERT_TRUE(SetUserDefaultLCID(0x041F));
  EXPECT_EQ(AnsiUpperCase(u"i"), u"\u0130");
  ASSERT_TRUE(SetUserDefaultLCID(LOCALE_DEFAULT_LCID));
}


TEST(Locales, ServicesAreSafeAcrossThreads) {
  // Collators are shared, converters are per thread: concurrent callers must all get the right answers.
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&wrong, t] {
      const LCID lcids[] = {0x0409, 0x041F, 0x0407, 0x0419};
      for (int i = 0; i < 200; ++i) {
        const LCID lcid = lcids[(t + i) % 4];
        if (CompareStringW(lcid, NORM_IGNORECASE, u"abc", -1, u"ABC", -1) != CSTR_EQUAL) ++wrong;
        if (AnsiToUnicode("\x93\xFA", 932) != u"\u65E5") ++wrong;
        if (UnicodeToAnsi(u"\u0416", 1251) != "\xC6") ++wrong;
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace kx8
