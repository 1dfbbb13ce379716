#include "kx8rt/text_primitives/bare_assemb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace kx8 {
namespace {

int32_t Len(std::u16string_view s) { return static_cast<int32_t>(s.size()); }
int32_t Len(std::string_view s) { return static_cast<int32_t>(s.size()); }

// Offset of a found pointer, -1 for nil.
template <class T>
int64_t At(const T* found, const T* base) {
  return found == nullptr ? -1 : found - base;
}

// ---- searching ----

TEST(FastStrPos, FindsFirstMatchIncludingOneEndingAtTheBufferEnd) {
  struct Case { std::u16string_view text; const char16_t* pattern; int64_t want; };
  const Case cases[] = {
      {u"abcabc", u"abc", 0},      {u"xxabc", u"abc", 2},       // ends exactly at the end
      {u"abc", u"abc", 0},         {u"ab", u"abc", -1},         // whole text; longer pattern
      {u"aaab", u"aab", 1},        {u"abcd", u"d", 3},          // one-character pattern, last position
      {u"abcd", u"", -1},          {u"abcd", u"e", -1},
      {u"abababac", u"abac", 4},   {u"x", u"x", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(At(FastStrPosW(c.text.data(), c.pattern, Len(c.text)), c.text.data()), c.want)
        << std::string(c.text.begin(), c.text.end());
    // The 8-bit twin gives the same answer on the same ASCII text.
    const std::string a(c.text.begin(), c.text.end());
    const std::u16string pw(c.pattern);
    const std::string p(pw.begin(), pw.end());
    EXPECT_EQ(At(FastStrPos(a.data(), p.c_str(), Len(a)), a.data()), c.want) << a;
  }
  EXPECT_EQ(FastStrPosW(static_cast<const char16_t*>(nullptr), u"a", 3), nullptr);
  EXPECT_EQ(FastStrPosW(u"abc", nullptr, 3), nullptr);
  EXPECT_EQ(FastStrPosW(u"abc", u"a", 0), nullptr);
  // The length bounds the search even when the pattern follows in memory.
  EXPECT_EQ(FastStrPosW(u"abcd", u"cd", 3), nullptr);
}

TEST(FastStrPos, IgnoringCaseUsesBothGivenForms) {
  struct Case { std::u16string_view text; const char16_t* lo; const char16_t* up; int64_t want; };
  const Case cases[] = {
      {u"xaBc", u"abc", u"ABC", 1}, {u"xyzABC", u"abc", u"ABC", 3},  // match ends at the text end
      {u"Abd", u"abc", u"ABC", -1}, {u"qQ", u"q", u"Q", 0},           // one character matches either
      {u"ab", u"abc", u"ABC", -1},  {u"abc", u"abc", u"AB", -1},      // text too short; lengths differ
      {u"abc", u"", u"", -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(At(FastStrIPosW(c.text.data(), c.lo, c.up, Len(c.text)), c.text.data()), c.want)
        << std::string(c.text.begin(), c.text.end());
    const std::string a(c.text.begin(), c.text.end());
    const std::u16string lw(c.lo), uw(c.up);
    const std::string l(lw.begin(), lw.end()), u(uw.begin(), uw.end());
    EXPECT_EQ(At(FastStrIPos(a.data(), l.c_str(), u.c_str(), Len(a)), a.data()), c.want) << a;
  }
  EXPECT_EQ(FastStrIPosW(u"abc", nullptr, u"ABC", 3), nullptr);
}

// The wide loops handle blocks of candidates; check every position against a plain search, so that
// matches straddling a block edge, lying at the last candidate or cut off by the length are all right.
TEST(FastStrPos, AgreesWithAPlainSearchAtEveryOffsetAndLength) {
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    const int n = 1 + static_cast<int>(rng() % 90);
    std::u16string text(n, u'a');
    for (auto& ch : text) ch = static_cast<char16_t>(u'a' + rng() % 3);
    const int m = 1 + static_cast<int>(rng() % 5);
    std::u16string pat(m, u'a');
    for (auto& ch : pat) ch = static_cast<char16_t>(u'a' + rng() % 3);
    std::u16string upper = pat;
    for (auto& ch : upper) ch = static_cast<char16_t>(ch - 32);
    std::u16string mixed = text;
    for (auto& ch : mixed)
      if (rng() % 2) ch = static_cast<char16_t>(ch - 32);
    const int len = static_cast<int>(rng() % (n + 1));
    const size_t plain = std::u16string_view(text.data(), len).find(pat);
    const int64_t want = plain == std::u16string_view::npos ? -1 : static_cast<int64_t>(plain);
    ASSERT_EQ(At(FastStrPosW(text.data(), pat.c_str(), len), text.data()), want) << round;
    ASSERT_EQ(At(FastStrIPosW(mixed.data(), pat.c_str(), upper.c_str(), len), mixed.data()), want) << round;
    const std::string a(text.begin(), text.end()), p(pat.begin(), pat.end());
    ASSERT_EQ(At(FastStrPos(a.data(), p.c_str(), len), a.data()), want) << round;
    const std::string am(mixed.begin(), mixed.end()), pu(upper.begin(), upper.end());
    ASSERT_EQ(At(FastStrIPos(am.data(), p.c_str(), pu.c_str(), len), am.data()), want) << round;
  }
}

TEST(FastStrScan, FindsTheFirstOccurrenceWithinTheLength) {
  std::u16string w(70, u'.');
  w[40] = u'x';
  w[69] = u'y';
  EXPECT_EQ(At(FastStrScanW(w.data(), u'x', Len(w)), w.data()), 40);
  EXPECT_EQ(At(FastStrScanW(w.data(), u'y', Len(w)), w.data()), 69);
  EXPECT_EQ(FastStrScanW(w.data(), u'y', 69), nullptr);
  EXPECT_EQ(FastStrScanW(w.data(), u'x', 0), nullptr);
  const char a[] = "hello";
  EXPECT_EQ(At(FastStrScan(a, 'l', 5), a), 2);
  EXPECT_EQ(FastStrScan(a, 'o', 4), nullptr);
  EXPECT_EQ(FastStrScan(static_cast<const char*>(nullptr), 'o', 4), nullptr);
}

TEST(Positions, StringAndIntegerArrayScans) {
  EXPECT_EQ(StrScanIndex(u"abcabc", u'c', 1), 3);
  EXPECT_EQ(StrScanIndex(u"abcabc", u'c', 4), 6);
  EXPECT_EQ(StrScanIndex(u"abcabc", u'c', 6), 6);
  EXPECT_EQ(StrScanIndex(u"abcabc", u'c', 7), 0);
  EXPECT_EQ(StrScanIndex(u"abcabc", u'x', 1), 0);
  EXPECT_EQ(StrScanIndex(u"abc", u'a', 0), 1);

  const std::vector<int32_t> v{5, 7, 5, 9};
  EXPECT_EQ(PositionInIntegerArray(5, v.data(), 4), 0);
  EXPECT_EQ(PositionInIntegerArray(9, v.data(), 3), -1);
  EXPECT_EQ(PositionInArrayOfInteger(v, 5), 2);  // the last one
  EXPECT_EQ(PositionInArrayOfInteger({}, 5), -1);
  EXPECT_EQ(ScanForInt(7, v.data(), 4), 2);
  EXPECT_EQ(ScanForInt(42, v.data(), 4), 42);  // absent: the value itself
  EXPECT_EQ(ScanForInt(5, v.data(), 0), 5);
  EXPECT_EQ(ScanForIntBigger(6, v.data(), 4), 2);
  EXPECT_EQ(ScanForIntBigger(9, v.data(), 4), 0);
  EXPECT_EQ(ScanForIntBigger(9, std::vector<int32_t>{-1}.data(), 1), 1);  // unsigned: -1 is the largest
}

TEST(Positions, AscendingArraySetsTheBeyondEndFlag) {
  const std::vector<int32_t> v{1, 3, 3, 8};
  bool beyond = true;
  EXPECT_EQ(PositionInAscendingArrayOfInteger(v, 3, beyond), 2);
  EXPECT_FALSE(beyond);
  EXPECT_EQ(PositionInAscendingArrayOfInteger(v, 4, beyond), -1);
  EXPECT_FALSE(beyond);
  EXPECT_EQ(PositionInAscendingArrayOfInteger(v, 9, beyond), -1);
  EXPECT_TRUE(beyond);
  EXPECT_EQ(PositionInAscendingArrayOfInteger(v, -1, beyond), -1);  // 0xFFFFFFFF lies beyond 8
  EXPECT_TRUE(beyond);
  beyond = true;
  EXPECT_EQ(PositionInAscendingArrayOfInteger({}, 1, beyond), -1);
  EXPECT_TRUE(beyond);  // untouched
}

// ---- counting and in-place replacement ----

TEST(Counting, CarriageReturnsAndCharacters) {
  EXPECT_EQ(Chr13sInPChar(u"a\r\nb\r\r", 6), 3);
  EXPECT_EQ(Chr13sInPChar(u"a\r\nb\r\r", 5), 2);
  EXPECT_EQ(Chr13sInPAnsichar("\r\r", 2), 2);
  EXPECT_EQ(Chr13sInPAnsichar(nullptr, 2), 0);
  EXPECT_EQ(WideChrsInPChar(u"banana", 6, u'a'), 3);
  EXPECT_EQ(WideChrsInPChar(u"banana", 0, u'a'), 0);
}

TEST(Replacing, EachRoutineOnItsCharacters) {
  std::u16string w = u"a\tb\r\nc\nd\r";
  ReplaceCarriageReturnsBySpaceW(w.data(), Len(w));
  EXPECT_EQ(w, u"a\tb  c\nd ");  // the lone LF stays
  ReplaceControlCharsBySpaceW(w.data(), Len(w));
  EXPECT_EQ(w, u"a b  c d ");
  std::string a = "x\r\ny\r\r\n\x01\xE9";
  ReplaceCarriageReturnsBySpaceA(a.data(), Len(a));
  EXPECT_EQ(a, "x  y   \x01\xE9");
  ReplaceControlCharsBySpaceA(a.data(), Len(a));
  EXPECT_EQ(a, "x  y    \xE9");  // a byte above 0x7F is not a control
  std::string t = "\ta\t";
  ReplaceTabsBySpace(t.data(), 2);
  EXPECT_EQ(t, " a\t");
  ReplaceCharacterBySpaceA(t.data(), 'a', Len(t));
  EXPECT_EQ(t, "  \t");
  std::u16string r = u"a-b-c";
  ReplaceChar1ByChar2(r.data(), u'-', u'+', 4);
  EXPECT_EQ(r, u"a+b+c");
  ReplaceChar1ByChar2W(r.data(), u'+', u'_', Len(r));
  ReplaceCharacterBySpaceW(r.data(), u'c', Len(r));
  EXPECT_EQ(r, u"a_b_ ");
}

TEST(Replacing, FillsAndByteOrder) {
  std::u16string w = u"abcdef";
  BlankOutSomeBytesW(w.data(), 2);
  EXPECT_EQ(w, u"  cdef");
  BlankOutSomeBytesW(w.data(), -1);
  ZeroSomeBytesW(w.data() + 5, 1);
  EXPECT_EQ(w, std::u16string(u"  cde\0", 6));
  FillWChar(w.data(), 7, u'z');  // 7 bytes: three units
  EXPECT_EQ(w.substr(0, 4), u"zzzd");
  std::string a = "abc";
  BlankOutSomeBytesA(a.data(), 2);
  BlankOutSomeBytesA(a.data(), 0);
  EXPECT_EQ(a, "  c");
  std::u16string s = u"\u1234\u00FFx";
  StrSwapByteOrder(s.data());
  EXPECT_EQ(s, u"\u3412\uFF00\u7800");
}

TEST(Replacing, Swap2StringsRotatesLikeStdRotate) {
  for (int len1 = 1; len1 <= 9; ++len1)
    for (int len2 = 1; len2 <= 9; ++len2) {
      std::u16string buf;
      for (int i = 0; i < len1 + len2; ++i) buf.push_back(static_cast<char16_t>(u'A' + i));
      std::u16string want = buf;
      std::rotate(want.begin(), want.begin() + len1, want.end());
      Swap2Strings(buf.data(), len1, len2);
      ASSERT_EQ(buf, want) << len1 << "," << len2;
    }
  std::u16string z(u"\0ab", 3);
  Swap2Strings(z.data(), 1, 2);
  EXPECT_EQ(z, std::u16string(u"\0ab", 3));  // an empty first unit leaves it alone
}

TEST(Replacing, SearchAndReplaceFastOverwritesWithoutOverlaps) {
  std::u16string t = u"aaaa-ab-ab";
  EXPECT_EQ(SearchAndReplaceFastW(t.data(), u"aa", u"xy", Len(t), 2), 2);
  EXPECT_EQ(t, u"xyxy-ab-ab");
  EXPECT_EQ(SearchAndReplaceFastW(t.data(), u"ab", u"Q", Len(t), 2), 2);  // short: padded
  EXPECT_EQ(t, u"xyxy-Q -Q ");
  EXPECT_EQ(SearchAndReplaceFastW(t.data(), u"Q ", u"LONGER", Len(t), 2), 2);  // long: cut
  EXPECT_EQ(t, u"xyxy-LO-LO");
  EXPECT_EQ(SearchAndReplaceFastW(t.data(), u"zz", u"aa", Len(t), 2), 0);
  EXPECT_EQ(SearchAndReplaceFastW(t.data(), u"zz", u"aa", Len(t), 0), 0);
}

// ---- compacting ----

TEST(Compacting, RemoveCharAndUnixLineEnds) {
  std::u16string w = u"a-b--c-";
  EXPECT_EQ(RemoveCharW(w.data(), u'-', Len(w)), 3);
  EXPECT_EQ(w.substr(0, 4), std::u16string(u"abc\0", 4));
  std::string a = "xyz";
  EXPECT_EQ(RemoveCharA(a.data(), 'q', 3), 3);
  EXPECT_EQ(a, "xyz");
  std::string u = "a\r\nb\n";
  EXPECT_EQ(LengthConvertedToUnix(u.data(), Len(u)), 3);
  EXPECT_EQ(u.substr(0, 3), "a\rb");
  EXPECT_EQ(u[3], 'b');  // no terminator written
}

TEST(Compacting, CutDoubleCRLFsKeepsOnePair) {
  struct Case { std::u16string_view in, want; };
  const Case cases[] = {
      {u"\r\n\r\n\r\nx", u"\r\nx"}, {u"a\r\nb", u"a\r\nb"}, {u"a\r\n\r\n", u"a\r\n"},
      {u"\r\r\n\n", u"\r\r\n\n"},   {u"\r\n\r", u"\r\n\r"},
  };
  for (const auto& c : cases) {
    std::u16string b(c.in);
    const int32_t n = CutDoubleCRLFsW(b.data(), Len(b));
    EXPECT_EQ(b.substr(0, n), c.want);
    if (n < Len(c.in)) {
      EXPECT_EQ(b[n], u'\0');
    }
  }
}

TEST(Compacting, RemoveRedundantSpace) {
  struct Case { std::u16string_view in, want; };
  const Case cases[] = {
      {u"a  b", u"a b"}, {u"   ", u" "}, {u"a   b  ", u"a b "}, {u"  a  b", u" a b"}, {u"ab", u"ab"},
  };
  for (const auto& c : cases) {
    std::u16string b(c.in);
    const int32_t n = RemoveRedundantSpaceW(b.data(), Len(b));
    EXPECT_EQ(b.substr(0, n), c.want);
  }
  std::u16string b = u"a  b";
  EXPECT_EQ(RemoveRedundantSpaceW(b.data(), 4), 3);
  EXPECT_EQ(b[3], u'\0');
}

TEST(Compacting, ClearAndCleanBetweenChars) {
  struct Case { std::string_view in; int32_t maxSpan; bool remove; std::string_view want; };
  const Case cases[] = {
      {"a<b>c", 100, true, "ac"},   {"a<b>c", 100, false, "a   c"}, {"a<bc", 100, true, "abc"},
      {"a<bc", 100, false, "abc"},  {"a<bcd>e", 5, true, "ae"},       {"a<bcd>e", 4, true, "abcd>e"},
      {"a<bcd>e", 4, false, "abcd>e"}, {"a<bcd>e", 5, false, "a     e"}, {"<x><y>", 3, true, ""},
      {"a<>b<", 2, true, "ab"},     {"<<a>", 100, true, ""},         {"ab", 0, true, "ab"},
  };
  // The reach counts the open character: "<bcd>" is five characters long.
  for (const auto& c : cases) {
    std::string b(c.in);
    const int32_t n = CleanBetweenChars(b.data(), '<', '>', Len(b), c.maxSpan, c.remove);
    EXPECT_EQ(b.substr(0, n), c.want) << c.in << " " << c.maxSpan;
  }
  std::string b = "x<y>z<q";
  EXPECT_EQ(ClearBetweenChars(b.data(), '<', '>', Len(b)), 3);
  EXPECT_EQ(b.substr(0, 4), std::string("xzq\0", 4));
}

TEST(Compacting, ExpandTabs) {
  EXPECT_EQ(ExpandTabbedWideString(u"a\tb\t", 3), u"a   b   ");
  EXPECT_EQ(ExpandTabbedWideString(u"a\tb", 0), u"ab");
  EXPECT_EQ(ExpandTabbedWideString(u"a\tb", -2), u"ab");
}

// ---- comparing and checksums ----

TEST(Comparing, EqualAndHowFar) {
  EXPECT_TRUE(EqualContentsW(u"abcd", u"abcx", 3));
  EXPECT_FALSE(EqualContentsW(u"abcd", u"abcx", 4));
  EXPECT_TRUE(EqualContentsA("a", "b", 0));
  EXPECT_FALSE(EqualContentsA(nullptr, "b", 1));
  struct Case { const char* a; const char* b; int32_t len; int32_t want; };
  const Case cases[] = {
      {"abcd", "abxd", 4, 1}, {"abcd", "abcd", 4, 0}, {"abcd", "abcx", 4, 0}, {"abcd", "xbcd", 4, 3},
      {"abcd", "xbcd", 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HowFarEqualContentsA(c.a, c.b, c.len), c.want) << c.a << " " << c.b;
    const std::u16string wa(c.a, c.a + 4), wb(c.b, c.b + 4);
    EXPECT_EQ(HowFarEqualContentsW(wa.data(), wb.data(), c.len), c.want) << c.a << " " << c.b;
  }
}

TEST(Checksums, WrapAroundAndSignatures) {
  const uint16_t units[] = {0xFFFF, 0x0002};
  EXPECT_EQ(My2Checksum(units, 2), 1);
  EXPECT_EQ(My2Checksum(units, 1), 0xFFFF);
  const unsigned char bytes[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00, 0x07};
  EXPECT_EQ(My4Checksum(bytes, 9), 1u);   // the ninth byte is not a whole word
  EXPECT_EQ(My4Checksum(bytes, 7), 0xFFFFFFFFu);
  EXPECT_EQ(My4Checksum(bytes, 3), 0u);
  const unsigned char le[] = {0xFF, 0xFE}, be[] = {0xFE, 0xFF}, none[] = {'a', 0};
  EXPECT_EQ(UnicodeByteReversed(be), be);
  EXPECT_EQ(UnicodeByteReversed(le), nullptr);
  EXPECT_EQ(UnicodeSigned(le), le);
  EXPECT_EQ(UnicodeSigned(be), be);
  EXPECT_EQ(UnicodeSigned(none), nullptr);
  EXPECT_EQ(UnicodeSigned(nullptr), nullptr);
}

}  // namespace
}  // namespace kx8
