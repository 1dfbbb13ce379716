#include "kx8rt/platform/strings.h"

#include <gtest/gtest.h>

#include "kx8rt/platform/exceptions.h"

namespace kx8 {
namespace {

TEST(Strings, CopyIsOneBasedAndStopsAtTheEnd) {
  struct Case { int64_t index, count; const char16_t* want; };
  const Case cases[] = {
      {1, 3, u"abc"}, {2, 2, u"bc"}, {4, 10, u"def"}, {6, 1, u"f"}, {7, 1, u""},
      {0, 2, u"ab"}, {-5, 1, u"a"}, {3, 0, u""}, {3, -1, u""}, {1, INT64_MAX, u"abcdef"},
  };
  for (const auto& c : cases) EXPECT_EQ(Copy(u"abcdef", c.index, c.count), c.want) << c.index << "," << c.count;
  EXPECT_EQ(Copy(u"abcdef", 5), u"ef");
  EXPECT_EQ(Copy(std::string_view("abc"), 2, 5), "bc");
}

TEST(Strings, PosAndPosExGiveZeroForNotFound) {
  EXPECT_EQ(Pos(u"c", u"abcabc"), 3);
  EXPECT_EQ(Pos(u"x", u"abc"), 0);
  EXPECT_EQ(Pos(u"", u"abc"), 0);
  EXPECT_EQ(Pos(u"abcd", u"abc"), 0);
  EXPECT_EQ(PosEx(u"c", u"abcabc", 4), 6);
  EXPECT_EQ(PosEx(u"c", u"abcabc", 7), 0);
  EXPECT_EQ(PosEx(u"c", u"abcabc", 0), 0);
  EXPECT_EQ(PosEx(u"abc", u"abcabc", 6), 0);
  EXPECT_EQ(Pos(std::string_view("bc"), std::string_view("abc")), 2);
}

TEST(Strings, DeleteAndInsertOutsideTheString) {
  UnicodeString s = u"abcdef";
  Delete(s, 2, 2);
  EXPECT_EQ(s, u"adef");
  Delete(s, 0, 2);
  EXPECT_EQ(s, u"adef");
  Delete(s, 5, 1);
  EXPECT_EQ(s, u"adef");
  Delete(s, 3, 100);
  EXPECT_EQ(s, u"ad");
  Insert(u"XY", s, 2);
  EXPECT_EQ(s, u"aXYd");
  Insert(u"<", s, -3);
  Insert(u">", s, 99);
  EXPECT_EQ(s, u"<aXYd>");
}

TEST(Strings, TrimRemovesControlsAndSpaces) {
  EXPECT_EQ(Trim(u" \t\r\nab c\x01 "), u"ab c");
  EXPECT_EQ(TrimLeft(u"  a "), u"a ");
  EXPECT_EQ(TrimRight(u"  a "), u"  a");
  EXPECT_EQ(Trim(u"   "), u"");
  EXPECT_EQ(Trim(u"\u00A0a"), u"\u00A0a");  // only characters at or below the space are trimmed
}

TEST(Strings, CaseAndComparisonAreAsciiOnly) {
  EXPECT_EQ(UpperCase(u"abz\u00E9"), u"ABZ\u00E9");
  EXPECT_EQ(LowerCase(std::string_view("AbZ")), "abz");
  EXPECT_LT(CompareStr(u"B", u"a"), 0);
  EXPECT_EQ(CompareText(u"B", u"b"), 0);
  EXPECT_GT(CompareText(u"abc", u"AB"), 0);
  EXPECT_TRUE(SameText(u"Hello", u"hELLO"));
  EXPECT_FALSE(SameText(u"Hello", u"Hell"));
  EXPECT_GT(CompareStr(u"\uFFFF", u"a"), 0);  // code units compare unsigned
}

TEST(Strings, StringReplaceFlags) {
  EXPECT_EQ(StringReplace(u"a-b-c", u"-", u"+", 0), u"a+b-c");
  EXPECT_EQ(StringReplace(u"a-b-c", u"-", u"+", rfReplaceAll), u"a+b+c");
  EXPECT_EQ(StringReplace(u"Cat cat", u"CAT", u"dog", rfReplaceAll | rfIgnoreCase), u"dog dog");
  EXPECT_EQ(StringReplace(u"abc", u"", u"x", rfReplaceAll), u"abc");
}

TEST(Strings, IntegerTextBothWays) {
  EXPECT_EQ(IntToStr(0), u"0");
  EXPECT_EQ(IntToStr(-42), u"-42");
  EXPECT_EQ(IntToStr(INT64_MIN), u"-9223372036854775808");
  EXPECT_EQ(IntToHex(255, 4), u"00FF");
  EXPECT_EQ(IntToHex(0x1234, 1), u"1234");

  struct Good { const char16_t* text; int32_t want; };
  const Good good[] = {
      {u"0", 0}, {u"42", 42}, {u"-42", -42}, {u"+7", 7}, {u"  12", 12}, {u"$FF", 255}, {u"0x10", 16},
      {u"$FFFFFFFF", -1}, {u"2147483647", INT32_MAX}, {u"-2147483648", INT32_MIN}, {u"-$10", -16},
  };
  for (const auto& g : good) {
    int32_t v = 0;
    EXPECT_TRUE(TryStrToInt(g.text, v)) << Utf16ToUtf8(g.text);
    EXPECT_EQ(v, g.want) << Utf16ToUtf8(g.text);
  }
  const char16_t* bad[] = {u"", u" ", u"-", u"$", u"12a", u"1 ", u"2147483648", u"-2147483649", u"$100000000", u"1.5"};
  for (const auto* b : bad) {
    int32_t v = 99;
    EXPECT_FALSE(TryStrToInt(b, v)) << Utf16ToUtf8(b);
    EXPECT_THROW(StrToInt(b), EConvertError) << Utf16ToUtf8(b);
    EXPECT_EQ(StrToIntDef(b, -5), -5);
  }
  int64_t big = 0;
  EXPECT_TRUE(TryStrToInt64(u"9223372036854775807", big));
  EXPECT_EQ(big, INT64_MAX);
  EXPECT_FALSE(TryStrToInt64(u"9223372036854775808", big));
  EXPECT_EQ(StrToInt64(u"-9223372036854775808"), INT64_MIN);
  try {
    StrToInt(u"x1z");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), u"'x1z' is not a valid integer value");
    EXPECT_STREQ(e.what(), "'x1z' is not a valid integer value");
  }
}

TEST(Strings, Utf8RoundTripsAndReplacesMalformedInput) {
  const UnicodeString text = u"a\u00E9\u4E2D\U0001F600z";
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
  EXPECT_EQ(Utf16ToUtf8(u"\u00E9"), "\xC3\xA9");
  EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a\uFFFD" "b");
  EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\uFFFD");              // truncated at the end
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");    // overlong form is refused
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");      // encoded surrogate is refused
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
  EXPECT_EQ(Latin1ToUtf16("\xE9"), u"\u00E9");
}

// File names go to the system and back unchanged, whatever bytes they hold; valid UTF-8 reads as its
// characters, and a name made in UTF-16 is written as UTF-8.
TEST(Strings, NativeNamesRoundTripEveryByte) {
  const std::string names[] = {
      "plain.txt",
      "/tmp/d\xC3\xBC" "r/\xE6\x96\x87\xE4\xBB\xB6.txt",         // two- and three-byte characters
      "emoji \xF0\x9F\x98\x80 name",                            // a character beyond the first plane
      "latin1 \xFC\xE9 bytes",                                  // bytes that are no UTF-8
      "cut \xE6\x96 short",                                     // a sequence cut short
      "surrogate \xED\xA0\x80 and overlong \xC0\xAF",           // forms UTF-8 forbids
      std::string("\x80\xFF\x7F", 3),
  };
  for (const std::string& n : names) {
    const UnicodeString wide = NativeNameToUtf16(n);
    EXPECT_EQ(Utf16ToNativeName(wide), n) << n;
  }
  EXPECT_EQ(NativeNameToUtf16("d\xC3\xBCr"), u"d\u00FCr");
  EXPECT_EQ(NativeNameToUtf16("\xFC"), UnicodeString(1, char16_t(0xDCFC)));
  // Made in UTF-16: written as UTF-8, a lone surrogate outside the kept bytes as U+FFFD.
  EXPECT_EQ(Utf16ToNativeName(u"\u00FC\u6587\U0001F600"), "\xC3\xBC\xE6\x96\x87\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf16ToNativeName(UnicodeString(1, char16_t(0xD800))), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToNativeName(UnicodeString(1, char16_t(0xDC41))), "\xEF\xBF\xBD");
}

TEST(Strings, WideStrLenAtEveryAlignment) {
  // Whole 16-byte blocks are read past the start; the answer must not depend on where the string begins.
  std::u16string store(80, u'x');
  for (size_t start = 0; start < 16; ++start)
    for (size_t len = 0; start + len + 1 < store.size(); len += 3) {
      std::u16string s = store;
      s[start + len] = 0;
      EXPECT_EQ(WideStrLen(s.data() + start), len) << start << " " << len;
    }
  EXPECT_EQ(WideStrLen(nullptr), 0u);
}

}  // namespace
}  // namespace kx8
