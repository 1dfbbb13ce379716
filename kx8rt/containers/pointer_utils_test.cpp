#include "kx8rt/containers/pointer_utils.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "kx8rt/platform/exceptions.h"

namespace kx8 {
namespace {

struct WideDeleter {
  void operator()(char16_t* p) const { DeletePChar(p); }
};
struct AnsiDeleter {
  void operator()(char* p) const { DeletePAnsichar(p); }
};
using WideOwned = std::unique_ptr<char16_t[], WideDeleter>;
using AnsiOwned = std::unique_ptr<char[], AnsiDeleter>;

TEST(PointerUtils, NewCopiesAndNowt) {
  EXPECT_EQ(MyNewPChar(nullptr), nullptr);
  WideOwned copy(MyNewPChar(u"walk"));
  EXPECT_EQ(std::u16string(copy.get()), u"walk");
  WideOwned part(CheckedNewLenPchar(u"walking", 4));
  EXPECT_EQ(std::u16string(part.get()), u"walk");
  WideOwned whole(CheckedNewLenPchar(u"ab", 10));  // n beyond the string stops at its NUL
  EXPECT_EQ(std::u16string(whole.get()), u"ab");
  AnsiOwned ansi(CheckedNewLenPAnsichar("walking", 2));
  EXPECT_EQ(std::string(ansi.get()), "wa");

  // Given nothing, the copy of nowt: nil at start, not an empty string.
  EXPECT_EQ(CheckedNewLenPchar(u"abc", 0), nullptr);
  EXPECT_EQ(CheckedNewLenPchar(nullptr, 3), nullptr);
  EXPECT_EQ(CheckedNewLenPAnsichar("abc", 0), nullptr);
  const char16_t* saved = nowt;
  nowt = u"-";
  WideOwned dash(CheckedNewLenPchar(u"abc", 0));
  AnsiOwned ansiDash(CheckedNewLenPAnsichar(nullptr, 0));
  nowt = saved;
  ASSERT_NE(dash, nullptr);
  EXPECT_EQ(std::u16string(dash.get()), u"-");
  ASSERT_NE(ansiDash, nullptr);
  EXPECT_EQ(std::string(ansiDash.get()), "-");
}

TEST(PointerUtils, ComparePos) {
  struct Case {
    const char16_t* p;
    const char16_t* q;
    bool any_digit, at_end, at_start;
    int32_t expected;
  };
  const Case cases[] = {
      {u"walking", u"ing", false, true, false, 0},
      {u"in", u"ing", false, true, false, 1},  // shorter than the suffix
      {u"walking", u"wal", false, true, false, 1},
      {u"abc1", u"zzz", true, false, false, 0},
      {u"abc", u"1", true, false, false, 1},
      {u"walking", u"wal", false, false, true, 0},
      {u"walking", u"alk", false, false, true, 1},
      {u"walking", u"alk", false, false, false, 0},
      {u"walking", u"kla", false, false, false, 1},
      {u"walking", u"", false, true, false, 0},
      {nullptr, u"a", false, false, false, 1},
      {u"a", nullptr, true, false, false, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ComparePosPchar(0x0409, c.p, c.q, c.any_digit, c.at_end, c.at_start), c.expected)
        << (c.p ? Utf16ToUtf8(c.p) : "nil") << " / " << (c.q ? Utf16ToUtf8(c.q) : "nil");
    const std::string p8 = c.p ? Utf16ToUtf8(c.p) : "", q8 = c.q ? Utf16ToUtf8(c.q) : "";
    EXPECT_EQ(ComparePosPAnsichar(0x0409, c.p ? p8.c_str() : nullptr, c.q ? q8.c_str() : nullptr, c.any_digit,
                                  c.at_end, c.at_start),
              c.expected);
  }
}

TEST(PointerUtils, Comparisons) {
  EXPECT_EQ(ComparePchar(u"abc", u"abc"), 0);
  EXPECT_GT(ComparePchar(u"a", u"B"), 0);  // ordinal: 0x61 after 0x42
  EXPECT_LT(ComparePchar(u"ab", u"abc"), 0);
  EXPECT_EQ(ComparePchar(u"\xFFFF", u"a"), 0xFFFF - 0x61);  // units compared unsigned
  EXPECT_GT(ComparePAnsichar("\xE9", "e"), 0);
  EXPECT_EQ(ComparePchar(nullptr, u""), 0);
  EXPECT_EQ(CompareLCIDPchar(0x0409, u"a", u"B"), -1);  // linguistic: a before B
  EXPECT_EQ(CompareLCIDPchar(0x0409, u"b", u"b"), 0);
  EXPECT_EQ(CompareLCIDPAnsichar(0x0409, "b", "A"), 1);
  // Words first, then prefixes, then suffixes.
  EXPECT_EQ(CompareWdPrefixSuffixPchar(u"run", u"run", u"a", u"a", u"x", u"x"), 0);
  EXPECT_LT(CompareWdPrefixSuffixPchar(u"run", u"run", u"a", u"b", u"z", u"x"), 0);
  EXPECT_GT(CompareWdPrefixSuffixPchar(u"run", u"run", u"a", u"a", u"z", u"x"), 0);
  EXPECT_LT(CompareWdPrefixSuffixPAnsichar("ran", "run", "z", "a", "z", "a"), 0);
  EXPECT_EQ(CompareLCIDWdPrefixSuffixPchar(0x0409, u"Run", u"run", u"", u"", u"", u""), 1);
  EXPECT_EQ(CompareLCIDWdPrefixSuffixPAnsichar(0x0409, "run", "run", "a", "b", "", ""), -1);
  EXPECT_EQ(StrLenW(u"abc"), 3u);
  EXPECT_EQ(StrLenW(nullptr), 0u);
}

TEST(PointerUtils, LocaleComparisonsTakeTheSuiteFlags) {
  // Katakana and hiragana forms of one Japanese word, fullwidth and halfwidth: the suite's flags decide
  // whether they are one entry of a sorted list.
  const char16_t* kata = u"\u30C6\u30AD\u30B9\u30C8";  // テキスト
  const char16_t* half = u"\uFF83\uFF77\uFF7D\uFF84";  // ﾃｷｽﾄ
  const char16_t* hira = u"\u3066\u304D\u3059\u3068";  // てきすと
  const uint32_t saved = my_default_sort;
  my_default_sort = 0;
  EXPECT_NE(CompareLCIDPchar(0x0411, kata, half), 0);
  EXPECT_NE(CompareLCIDPchar(0x0411, kata, hira), 0);
  my_default_sort = NORM_IGNOREWIDTH;
  EXPECT_EQ(CompareLCIDPchar(0x0411, kata, half), 0);
  EXPECT_NE(CompareLCIDPchar(0x0411, hira, half), 0);
  my_default_sort = NORM_IGNOREWIDTH | NORM_IGNOREKANATYPE;
  EXPECT_EQ(CompareLCIDPchar(0x0411, hira, half), 0);
  EXPECT_EQ(CompareLCIDWdPrefixSuffixPchar(0x0411, hira, kata, half, kata, u"", u""), 0);
  EXPECT_EQ(CompareLCIDPAnsichar(0x0411, "\xC3\xB7\xBD\xC4", "\x83\x65\x83\x4C\x83\x58\x83\x67"), 0);
  my_default_sort = saved;
}

TEST(PointerUtils, StreamForms) {
  TMemoryStream stream;
  EXPECT_TRUE(WritePAnsicharToStream(stream, "abc"));
  EXPECT_EQ(stream.Size(), 5);
  EXPECT_TRUE(WritePCharToStream(stream, u"xyz"));
  EXPECT_EQ(stream.Size(), 15);
  const std::string longText(65536, 'a');
  EXPECT_FALSE(WritePAnsicharToStream(stream, longText.c_str()));
  EXPECT_EQ(stream.Size(), 15);  // refused whole
  EXPECT_TRUE(WritePAnsicharToStream(stream, longText.substr(1).c_str()));

  stream.SetPosition(0);
  AnsiOwned a(ReadPAnsicharFromStream(stream));
  WideOwned w(ReadPCharFromStream(stream));
  AnsiOwned big(ReadPAnsicharFromStream(stream));
  EXPECT_EQ(std::string(a.get()), "abc");
  EXPECT_EQ(std::u16string(w.get()), u"xyz");
  EXPECT_EQ(StrLenA(big.get()), 65535u);
  EXPECT_THROW(ReadPCharFromStream(stream), EReadError);  // nothing left

  // A length beyond what the stream holds, and a negative one, are read errors.
  TMemoryStream corrupt;
  const uint8_t bytes[] = {0xFF, 0xFF, 0xFF, 0x7F, 'a', 0};
  corrupt.Write(bytes, sizeof bytes);
  corrupt.SetPosition(0);
  EXPECT_THROW(ReadPCharFromStream(corrupt), EReadError);
  corrupt.SetPosition(0);
  const uint8_t negative[] = {0xFF, 0xFF, 0xFF, 0xFF};
  corrupt.Write(negative, 4);
  corrupt.SetPosition(0);
  EXPECT_THROW(ReadPCharFromStream(corrupt), EReadError);
}

TEST(PointerUtils, TablesByWidth) {
  for (const bool wide : {false, true}) {
    const void* text = wide ? static_cast<const void*>(u"word") : static_cast<const void*>("word");
    const void* other = wide ? static_cast<const void*>(u"wore") : static_cast<const void*>("wore");
    EXPECT_EQ(Global_LengthFuncts[wide](text), 4u);
    void* copy = Global_NewFuncts[wide](text);
    EXPECT_EQ(Global_CompareFuncts[wide](copy, text), 0);
    EXPECT_LT(Global_CompareFuncts[wide](text, other), 0);
    EXPECT_EQ(Global_CompareLCIDFuncts[wide](0x0409, copy, text), 0);
    EXPECT_EQ(Global_ComparePosFuncts[wide](0, text, other, false, false, false), 1);
    EXPECT_EQ(Global_CompareWordPrefixSuffixs[wide](text, copy, text, copy, text, other), Global_CompareFuncts[wide](text, other));
    EXPECT_EQ(Global_CompareLCIDWordPrefixSuffixs[wide](0x0409, text, copy, text, copy, other, text), 1);
    void* prefix = Global_CheckedNewLenFuncts[wide](text, 3);
    EXPECT_EQ(Global_LengthFuncts[wide](prefix), 3u);
    void* blank = Global_AllocFuncts[wide](5);
    EXPECT_EQ(Global_LengthFuncts[wide](blank), 0u);

    TMemoryStream stream;
    EXPECT_TRUE(Global_StreamWriteFuncts[wide](stream, text));
    EXPECT_EQ(stream.Size(), wide ? 12 : 6);
    stream.SetPosition(0);
    void* back = Global_StreamReadFuncts[wide](stream);
    EXPECT_EQ(Global_CompareFuncts[wide](back, text), 0);
    for (void* p : {copy, prefix, blank, back}) Global_DeleteFuncts[wide](p);
  }
}

}  // namespace
}  // namespace kx8
