#include "kx8rt/platform/code_pages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/last_error.h"

namespace kx8 {
namespace {

UnicodeString Decode(uint32_t cp, const std::string& bytes, uint32_t flags = 0) {
  const auto n = static_cast<int32_t>(bytes.size());
  const int32_t need = MultiByteToWideChar(cp, flags, bytes.data(), n, nullptr, 0);
  UnicodeString out(static_cast<size_t>(need), u'\0');
  if (need > 0) {
    EXPECT_EQ(MultiByteToWideChar(cp, flags, bytes.data(), n, out.data(), need), need);
  }
  return out;
}

std::string Encode(uint32_t cp, const UnicodeString& text, uint32_t flags = 0, const char* def = nullptr,
                   bool* used = nullptr) {
  const auto n = static_cast<int32_t>(text.size());
  const int32_t need = WideCharToMultiByte(cp, flags, text.data(), n, nullptr, 0, def, used);
  std::string out(static_cast<size_t>(need), '\0');
  if (need > 0) {
    EXPECT_EQ(WideCharToMultiByte(cp, flags, text.data(), n, out.data(), need, def, used), need);
  }
  return out;
}

struct RoundTrip {
  uint32_t cp;
  std::string bytes;
  UnicodeString text;
};

TEST(CodePages, KnownTextsRoundTrip) {
  const RoundTrip cases[] = {
      {1252, "\x80 caf\xE9 \x8A\x9F \x93q\x94", u"\u20AC caf\u00E9 \u0160\u0178 \u201Cq\u201D"},
      {1251, "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0! \xB9", u"\u041F\u0440\u0438\u0432\u0435\u0442, \u043C\u0438\u0440! \u2116"},
      {932, "\x93\xFA\x96\x7B\x8C\xEA abc \xB1\x82\xA0", u"\u65E5\u672C\u8A9E abc \uFF71\u3042"},
      {CP_UTF8, "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", u"\u00E9\u20AC\U0001F600"},
      {1253, "\xC1\xE8\xDE\xED\xE1", u"\u0391\u03B8\u03AE\u03BD\u03B1"},
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.cp);
    EXPECT_EQ(Decode(c.cp, c.bytes), c.text);
    EXPECT_EQ(Encode(c.cp, c.text), c.bytes);
  }
}

TEST(CodePages, Windows1252EveryByteRoundTripsAndHolesAreC1) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const UnicodeString wide = Decode(1252, all);
  ASSERT_EQ(wide.size(), 256u);
  EXPECT_EQ(wide[0x80], u'\u20AC');
  EXPECT_EQ(wide[0x81], u'\u0081');
  EXPECT_EQ(wide[0x8D], u'\u008D');
  EXPECT_EQ(wide[0x99], u'\u2122');
  EXPECT_EQ(wide[0xFF], u'\u00FF');
  EXPECT_EQ(Encode(1252, wide), all);
  // Holes are defined for the classic tables, so strict decoding accepts them.
  EXPECT_EQ(Decode(1252, "\x81", MB_ERR_INVALID_CHARS), u"\u0081");
  const char16_t* table = SingleByteToUnicodeTable(1252);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table[0x80], u'\u20AC');
  EXPECT_EQ(SingleByteToUnicodeTable(932), nullptr);
}

TEST(CodePages, SizesBuffersAndTerminator) {
  const char* text = "abc";
  EXPECT_EQ(MultiByteToWideChar(1252, 0, text, -1, nullptr, 0), 4);  // -1 counts the NUL
  char16_t out[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(MultiByteToWideChar(1252, 0, text, -1, out, 4), 4);
  EXPECT_EQ(out[3], u'\0');
  SetLastPlatformError(0);
  EXPECT_EQ(MultiByteToWideChar(1252, 0, text, 3, out, 2), 0);
  EXPECT_EQ(GetLastPlatformError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(MultiByteToWideChar(932, 0, "\x93\xFA\x96\x7B", 4, out, 1), 0);
  EXPECT_EQ(GetLastPlatformError(), ERROR_INSUFFICIENT_BUFFER);
  char bytes[8];
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u20AC", -1, nullptr, 0, nullptr, nullptr), 4);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u20AC", 1, bytes, 2, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastPlatformError(), ERROR_INSUFFICIENT_BUFFER);
}

// Runs a call with the error cleared and returns its result and the error it left.
template <typename F>
std::pair<int32_t, uint32_t> Outcome(F call) {
  SetLastPlatformError(0);
  const int32_t r = call();
  return {r, GetLastPlatformError()};
}

TEST(CodePages, BadArgumentsAreRefused) {
  char16_t out[8];
  char bytes[8];
  using R = std::pair<int32_t, uint32_t>;
  const R invalid{0, ERROR_INVALID_PARAMETER}, badFlags{0, ERROR_INVALID_FLAGS};
  EXPECT_EQ(Outcome([&] { return MultiByteToWideChar(1252, 0, nullptr, 3, out, 8); }), invalid);
  EXPECT_EQ(Outcome([&] { return MultiByteToWideChar(1252, 0, "abc", 0, out, 8); }), invalid);
  EXPECT_EQ(Outcome([&] { return MultiByteToWideChar(1252, 0, "abc", -2, out, 8); }), invalid);
  EXPECT_EQ(Outcome([&] { return MultiByteToWideChar(1252, 0, "abc", 3, nullptr, 8); }), invalid);
  EXPECT_EQ(Outcome([&] { return MultiByteToWideChar(12345, 0, "abc", 3, out, 8); }), invalid);
  EXPECT_EQ(Outcome([&] { return MultiByteToWideChar(1200, 0, "a\0", 2, out, 8); }), invalid);
  EXPECT_EQ(Outcome([&] { return MultiByteToWideChar(1252, MB_COMPOSITE, "abc", 3, out, 8); }), badFlags);
  EXPECT_EQ(Outcome([&] { return MultiByteToWideChar(1252, MB_USEGLYPHCHARS, "abc", 3, out, 8); }), badFlags);
  EXPECT_EQ(Outcome([&] { return MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "abc", 3, out, 8); }), badFlags);
  EXPECT_EQ(Outcome([&] { return WideCharToMultiByte(CP_UTF8, 0, u"a", 1, bytes, 8, "?", nullptr); }), invalid);
  EXPECT_EQ(Outcome([&] { return WideCharToMultiByte(CP_UTF8, WC_COMPOSITECHECK, u"a", 1, bytes, 8, nullptr, nullptr); }),
            badFlags);
  EXPECT_EQ(Outcome([&] { return WideCharToMultiByte(1252, WC_ERR_INVALID_CHARS, u"a", 1, bytes, 8, nullptr, nullptr); }),
            badFlags);
  EXPECT_EQ(Outcome([&] { return WideCharToMultiByte(1252, 0, u"a", 0, bytes, 8, nullptr, nullptr); }), invalid);
  EXPECT_EQ(Outcome([&] { return WideCharToMultiByte(4242, 0, u"a", 1, bytes, 8, nullptr, nullptr); }), invalid);
}

TEST(CodePages, InvalidInputAndDefaultCharacter) {
  // Malformed UTF-8 becomes U+FFFD unless strict decoding is asked for.
  EXPECT_EQ(Decode(CP_UTF8, "a\xC3z\xFF"), u"a\uFFFDz\uFFFD");
  char16_t out[8];
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xC3z", 3, out, 8), 0);
  EXPECT_EQ(GetLastPlatformError(), ERROR_NO_UNICODE_TRANSLATION);
  // A truncated double-byte character in 932.
  EXPECT_EQ(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, "\x93", 1, out, 8), 0);

  bool used = false;
  EXPECT_EQ(Encode(1252, u"a\u03A9b", 0, nullptr, &used), "a?b");
  EXPECT_TRUE(used);
  EXPECT_EQ(Encode(1252, u"a\u03A9b", 0, "#", &used), "a#b");
  EXPECT_EQ(Encode(1252, u"abc", 0, "#", &used), "abc");
  EXPECT_FALSE(used);
  // A lone surrogate: U+FFFD in UTF-8, or a failure when asked to be strict.
  EXPECT_EQ(Encode(CP_UTF8, u"a\xD800z"), "a\xEF\xBF\xBDz");
  char bytes[8];
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, u"a\xD800z", 3, bytes, 8, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastPlatformError(), ERROR_NO_UNICODE_TRANSLATION);
}

TEST(CodePages, CompositeCheckComposesBeforeConverting) {
  EXPECT_EQ(Encode(1252, u"cafe\u0301", WC_COMPOSITECHECK), "caf\xE9");
  EXPECT_EQ(Encode(1251, u"\u0438\u0306", WC_COMPOSITECHECK), "\xE9");  // short i
  // A mark with no precomposed partner: dropped, or the whole sequence becomes the default.
  EXPECT_EQ(Encode(1252, u"x\u0331y", WC_COMPOSITECHECK | WC_DISCARDNS), "xy");
  bool used = false;
  EXPECT_EQ(Encode(1252, u"x\u0331y", WC_COMPOSITECHECK | WC_DEFAULTCHAR, nullptr, &used), "?y");
  EXPECT_TRUE(used);
}

TEST(CodePages, SystemCodePageAndWholeStrings) {
  ASSERT_EQ(GetACP(), 1252u);
  EXPECT_EQ(AnsiToUnicode("\x80"), u"\u20AC");
  EXPECT_EQ(UnicodeToAnsi(u"\u20AC\u0416"), "\x80?");
  SetSystemCodePage(1251);
  EXPECT_EQ(GetACP(), 1251u);
  EXPECT_EQ(AnsiToUnicode("\xC6"), u"\u0416");
  EXPECT_EQ(UnicodeToAnsi(u"\u0416"), "\xC6");
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xC6", 1, nullptr, 0), 1);
  SetSystemCodePage(1252);
  EXPECT_THROW(SetSystemCodePage(4242), EEncodingError);
  EXPECT_THROW(SetSystemCodePage(CP_ACP), EEncodingError);
  EXPECT_EQ(GetACP(), 1252u);
  EXPECT_THROW(AnsiToUnicode("a", 4242), EEncodingError);
  EXPECT_EQ(AnsiToUnicode("", 1252), u"");
  EXPECT_EQ(UnicodeToAnsi(u"", 932), "");
  EXPECT_EQ(GetOEMCP(), 437u);
  EXPECT_TRUE(IsValidCodePage(CP_OEMCP));
  EXPECT_FALSE(IsValidCodePage(4242));
}

TEST(CodePages, LeadBytes) {
  EXPECT_TRUE(IsDBCSLeadByteEx(932, 0x93));
  EXPECT_TRUE(IsDBCSLeadByteEx(932, 0x82));
  EXPECT_FALSE(IsDBCSLeadByteEx(932, 0x41));
  EXPECT_FALSE(IsDBCSLeadByteEx(932, 0xB1));  // half-width katakana is one byte
  EXPECT_FALSE(IsDBCSLeadByteEx(1252, 0x93));
  EXPECT_FALSE(IsDBCSLeadByteEx(CP_UTF8, 0xC3));
}

std::string Utf16Bytes(const std::u16string& s, bool bigEndian = false) {
  std::string out;
  for (char16_t c : s) {
    const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
    out.push_back(bigEndian ? hi : lo);
    out.push_back(bigEndian ? lo : hi);
  }
  return out;
}

TEST(CodePages, PiecewiseDecodingJoinsSplitCharacters) {
  struct Case {
    uint32_t cp;
    std::string bytes;
  };
  const Case cases[] = {
      {932, "\x82\xA0\x82\xA2 abc \x83\x41\xB1\x88\x9F"},      // Shift-JIS: two-byte kana and kanji, a halfwidth kana
      {932, "ab\x82"},                                          // a lead byte with nothing after it
      {932, "\x82\x20\x82\xA0\xFF"},                            // a lead byte before a space; a byte of no character
      {936, "\xC4\xE3\xBA\xC3 ok"},                             // GBK
      {54936, "\x81\x30\x81\x30 \x95\x32\x82\x36 \xC4\xE3"},   // GB18030 four-byte sequences
      {950, "\xA4\xA4\xA4\xE5"},                                // Big5
      {65001, "caf\xC3\xA9 \xF0\x9F\x98\x80 \xE2\x82"},        // UTF-8 as a code page, cut short at the end
      {1251, "\xCF\xF0\xE8\xE2\xE5\xF2"},                       // single-byte: nothing is ever held
      {CP_ACP, "caf\xE9"},
  };
  for (const Case& c : cases) {
    const UnicodeString whole = AnsiToUnicode(c.bytes, c.cp);
    for (size_t piece = 1; piece <= c.bytes.size(); ++piece) {
      TCodePageDecoder d(c.cp);
      UnicodeString got;
      for (size_t at = 0; at < c.bytes.size(); at += piece) {
        const size_t n = std::min(piece, c.bytes.size() - at);
        d.Decode(c.bytes.data() + at, n, at + n == c.bytes.size(), got);
      }
      EXPECT_EQ(got, whole) << c.cp << " in pieces of " << piece;
    }
    // A last call with no bytes reads what is held.
    TCodePageDecoder d(c.cp);
    UnicodeString got;
    d.Decode(c.bytes.data(), c.bytes.size(), false, got);
    d.Decode(nullptr, 0, true, got);
    EXPECT_EQ(got, whole) << c.cp;
  }
  // Reset forgets a held lead byte; the decoder reads a new text after its last piece.
  TCodePageDecoder d(932);
  UnicodeString got;
  d.Decode("a\x82", 2, false, got);
  d.Reset();
  d.Decode("\xA0", 1, true, got);
  EXPECT_EQ(got, AnsiToUnicode("a", 932) + AnsiToUnicode("\xA0", 932));
  got.clear();
  d.Decode("\x82\xA0", 2, true, got);
  EXPECT_EQ(got, u"\u3042");
  EXPECT_THROW(TCodePageDecoder(4242), EEncodingError);
}

TEST(CodePages, IsTextUnicodeJudgesBuffers) {
  struct Case {
    const char* name;
    std::string bytes;
    bool expected;
  };
  const std::string english = Utf16Bytes(u"The quick brown fox jumps over the lazy dog.\r\n");
  const std::string russian = Utf16Bytes(u"\u0421\u044A\u0435\u0448\u044C \u0436\u0435 \u0435\u0449\u0451 "
                                         u"\u044D\u0442\u0438\u0445 \u043C\u044F\u0433\u043A\u0438\u0445");
  const Case cases[] = {
      {"english", english, true},
      {"russian", russian, true},
      {"signed", Utf16Bytes(u"\uFEFFx"), true},
      {"two letters", Utf16Bytes(u"ab"), true},
      {"8-bit english", "The quick brown fox jumps over the lazy dog.", false},
      {"8-bit famous", "Bush hid the facts", false},
      {"utf-8", "na\xC3\xAFve caf\xC3\xA9 cr\xC3\xA8me br\xC3\xBBl\xC3\xA9""e", false},
      {"big-endian signed", Utf16Bytes(u"\uFEFFabc", true), false},
      {"big-endian", Utf16Bytes(u"The quick brown fox", true), false},
      {"odd length", english.substr(0, 9), false},
      {"binary", std::string("\x01\x00\x00\x00\x02\x00\x00\x00\x03\x00\x00\x00\x04\x00\x00\x00", 16), false},
      {"one byte", "a", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsTextUnicode(c.bytes.data(), static_cast<int32_t>(c.bytes.size()), nullptr), c.expected);
  }
  int32_t tests = IS_TEXT_UNICODE_SIGNATURE | IS_TEXT_UNICODE_ASCII16;
  const std::string signedText = Utf16Bytes(u"\uFEFFab");
  EXPECT_TRUE(IsTextUnicode(signedText.data(), static_cast<int32_t>(signedText.size()), &tests));
  EXPECT_EQ(tests, IS_TEXT_UNICODE_SIGNATURE | IS_TEXT_UNICODE_ASCII16);
  tests = IS_TEXT_UNICODE_SIGNATURE;
  EXPECT_FALSE(IsTextUnicode(english.data(), static_cast<int32_t>(english.size()), &tests));
  EXPECT_EQ(tests, 0);
  EXPECT_FALSE(IsTextUnicode(nullptr, 10, nullptr));
}

}  // namespace
}  // namespace kx8
