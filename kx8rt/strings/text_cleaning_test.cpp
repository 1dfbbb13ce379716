#include "kx8rt/strings/text_cleaning.h"

#include <gtest/gtest.h>

#include "kx8rt/platform/yield.h"

namespace kx8 {
namespace {

TEST(StrippedDoubleSpaces, OnlyPlainSpacesCollapse) {
  EXPECT_EQ(StrippedDoubleSpaces(u"a   b c"), u"a b c");
  EXPECT_EQ(StrippedDoubleSpaces(u"a \t b"), u"a \t b");  // a tab between spaces stays
  EXPECT_EQ(StrippedDoubleSpaces(u"  lead and trail  "), u" lead and trail ");
  EXPECT_EQ(StrippedDoubleSpaces(u"x\u00a0\u00a0y"), u"x\u00a0\u00a0y");
  EXPECT_EQ(StrippedDoubleSpaces(u""), u"");
}

TEST(StrippedDoubleSpaces, YieldsAtEachCharacter) {
  int calls = 0;
  Global_YieldProcessProc = [&calls] { ++calls; };
  StrippedDoubleSpaces(u"abcd");
  StrippedOfChar(u"abc", u'b');
  Global_YieldProcessProc = nullptr;
  EXPECT_EQ(calls, 7);
}

TEST(WideTrimSpaceOnly, UnicodeWhiteSpaceOnly) {
  EXPECT_EQ(WideTrimSpaceOnly(u"  x  "), u"x");
  EXPECT_EQ(WideTrimSpaceOnly(u"   "), u"");
  EXPECT_EQ(WideTrimSpaceOnly(u""), u"");
  EXPECT_EQ(WideTrimSpaceOnly(u"\t\r\n\u00a0\u3000a b\u2029"), u"a b");
  EXPECT_EQ(WideTrimSpaceOnly(u"\u0001a\u0002"), u"\u0001a\u0002");  // controls that are not white space
}

TEST(TitleCasedString, Examples) {
  const struct { const char16_t* in; bool firstOnly; const char16_t* out; } cases[] = {
      {u"THE cat's-whisker (nice)", false, u"The Cat's-whisker (nice)"},
      {u"THE cat's-whisker (nice)", true, u"The cat's-whisker (nice)"},
      {u"hello world", false, u"Hello World"},
      {u"  hello", false, u"  Hello"},
      {u"  hello", true, u"  Hello"},
      {u"a  b\tc\nd", false, u"A  B\tC\nD"},
      {u"\"quoted\" word", false, u"\"quoted\" Word"},
      {u"ÉCOLE élève", false, u"École Élève"},
      {u"123 abc", false, u"123 Abc"},
      {u"x", false, u"X"},
      {u"hello ", false, u"Hello "},
      {u" ", false, u" "},
      {u"", false, u""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TitleCasedString(c.in, c.firstOnly), UnicodeString(c.out)) << Utf16ToUtf8(c.in) << c.firstOnly;
  EXPECT_EQ(TitleCasedString(u"big CAT"), u"Big cat");
}

TEST(OutputConvertedStr, EachCase) {
  const UnicodeString s = u"the Straße of İzmir";
  EXPECT_EQ(OutputConvertedStr(as_it_comes_output, s), s);
  EXPECT_EQ(OutputConvertedStr(lower_case_output, u"ABC Ÿ"), u"abc ÿ");
  EXPECT_EQ(OutputConvertedStr(upper_case_output, u"abc ÿ"), u"ABC Ÿ");
  EXPECT_EQ(OutputConvertedStr(title_case_output, u"big BLACK cat"), u"Big Black Cat");
  // Casing never changes the length: ß has no one-unit upper case and stays.
  EXPECT_EQ(OutputConvertedStr(upper_case_output, s).size(), s.size());
  EXPECT_EQ(OutputConvertedStr(upper_case_output, u"ß"), u"ß");
  // Characters beyond the BMP are cased as whole pairs.
  EXPECT_EQ(OutputConvertedStr(upper_case_output, u"\U00010428"), u"\U00010400");
}

TEST(CaseInsensitivePos, UpperedAndPlain) {
  EXPECT_EQ(CaseInsensitivePos(u"ab", u"xAB"), 2);
  EXPECT_EQ(CaseInsensitiveUpperedPos(u"ab", u"xAB"), 0);  // sub was not upper case
  EXPECT_EQ(CaseInsensitiveUpperedPos(u"AB", u"xab"), 2);
  EXPECT_EQ(CaseInsensitivePos(u"été", u"UN ÉTÉ"), 4);
  EXPECT_EQ(CaseInsensitivePos(u"", u"abc"), 0);
  EXPECT_EQ(CaseInsensitivePos(u"zz", u"abc"), 0);
  EXPECT_EQ(CaseInsensitiveUpperedPosEx(u"AB", u"ab ab", 2), 4);
  EXPECT_EQ(CaseInsensitiveUpperedPosEx(u"AB", u"ab ab", 5), 0);
  EXPECT_EQ(CaseInsensitiveUpperedPosEx(u"AB", u"ab ab", 0), 0);
}

TEST(StrippedOfChar, RemovesEveryOccurrence) {
  EXPECT_EQ(StrippedOfChar(u"a-b--c-", u'-'), u"abc");
  EXPECT_EQ(StrippedOfChar(u"abc", u'x'), u"abc");
  EXPECT_EQ(StrippedOfCommas(u"1,234,567"), u"1234567");
  EXPECT_EQ(StrippedOfCommas(u",,,"), u"");
}

TEST(BackwardsStr, ReversesUnits) {
  EXPECT_EQ(BackwardsStr(u"abc"), u"cba");
  EXPECT_EQ(BackwardsStr(u""), u"");
  EXPECT_EQ(BackwardsStr(u"a"), u"a");
}

TEST(AcceptableFilename, EveryInvalidCharacter) {
  ASSERT_EQ(InvalidFilenameChars.size(), 11u);
  for (const char16_t c : InvalidFilenameChars) {
    const UnicodeString out = AcceptableFilename(UnicodeString(u"a") + c + u"b");
    const char16_t expected = c == u'<' ? u'(' : c == u'>' ? u')' : u'_';
    EXPECT_EQ(out, UnicodeString(u"a") + expected + u"b") << static_cast<int>(c);
  }
  EXPECT_EQ(AcceptableFilename(u"list.txt"), u"list_txt");
  EXPECT_EQ(AcceptableFilename(u"<tag>"), u"(tag)");
  EXPECT_EQ(AcceptableFilename(u"naïve 中文 ok-1"), u"naïve 中文 ok-1");
}

TEST(WinCased, LinguisticCasingInPlace) {
  char16_t turkish[] = u"istanbul Iz";
  EXPECT_EQ(WinUpperCased(0x041F, turkish, true), static_cast<void*>(turkish));
  EXPECT_EQ(UnicodeString(turkish), u"\u0130STANBUL IZ");
  WinLowerCased(0x041F, turkish, true);
  EXPECT_EQ(UnicodeString(turkish), u"istanbul \u0131z");
  char16_t english[] = u"istanbul";
  EXPECT_EQ(Capitalise(0x0409, english, true), 9);  // the characters and the terminating zero
  EXPECT_EQ(UnicodeString(english), u"ISTANBUL");
  char latin1[] = "caf\xe9";
  WinUpperCased(0x0409, latin1, false);
  EXPECT_EQ(std::string(latin1), "CAF\xc9");
  char cyrillic[] = "\xc6\xe6";  // Zhe, zhe in 1251
  WinLowerCased(0x0419, cyrillic, false);
  EXPECT_EQ(std::string(cyrillic), "\xe6\xe6");
  EXPECT_EQ(WinUpperCased(0x0409, nullptr, true), nullptr);
  EXPECT_EQ(Capitalise(0x0409, nullptr, false), 0);
}

}  // namespace
}  // namespace kx8
