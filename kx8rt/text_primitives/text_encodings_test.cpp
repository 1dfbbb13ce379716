#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "kx8rt/platform/cpu_features.h"
#include "kx8rt/platform/yield.h"
#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/text_primitives/fileofchar.h"
#include "kx8rt/text_primitives/my_unicodenew.h"
#include "kx8rt/text_primitives/unicode_string_conversion.h"
#include "kx8rt/text_primitives/utf8_unit.h"

namespace kx8 {
namespace {

const uint8_t* B(const char* s) { return reinterpret_cast<const uint8_t*>(s); }

TEST(Signatures, RecognisedByTheirBytes) {
  EXPECT_TRUE(IsUTF16LESigned(B("\xFF\xFE\x41\x00")));
  EXPECT_FALSE(IsUTF16LESigned(B("\xEF\xBB\xBF\x41")));
  EXPECT_FALSE(IsUTF16LESigned(nullptr));
  EXPECT_TRUE(IsUTF16BESigned(B("\xFE\xFF\x00\x41")));
  EXPECT_FALSE(IsUTF16BESigned(B("\xFF\xFE\x41\x00")));
  EXPECT_TRUE(IsUTF8SignatureA(B("\xEF\xBB\xBFx")));
  EXPECT_FALSE(IsUTF8SignatureA(B("\xEF\xBB\xBEx")));
  EXPECT_FALSE(IsUTF8SignatureA(nullptr));
  EXPECT_EQ(UTF8SignatureAsUTF8String(), "\xEF\xBB\xBF");
  // UTF-8 loaded unconverted into a UTF-16 buffer: units BBEF, xxBF.
  const char16_t w[] = {0xBBEF, 0x41BF, 0};
  EXPECT_TRUE(IsUTF8SignatureW(w));
  const char16_t shortW[] = {0xBBEF, 0};
  EXPECT_FALSE(IsUTF8SignatureW(shortW));
  EXPECT_FALSE(IsUTF8SignatureW(nullptr));
  EXPECT_EQ(UTF8TrailingBytes[0xBF], 0);
  EXPECT_EQ(UTF8TrailingBytes[0xC0], 1);
  EXPECT_EQ(UTF8TrailingBytes[0xEF], 2);
  EXPECT_EQ(UTF8TrailingBytes[0xF7], 3);
  EXPECT_EQ(UTF8TrailingBytes[0xFB], 4);
  EXPECT_EQ(UTF8TrailingBytes[0xFF], 5);
}

TEST(UTF8Checks, LengthInChars) {
  struct Case { std::string_view s; int32_t want; };
  const Case cases[] = {
      {"", 0},
      {"na\xC3\xAFve", 5},
      {"\xF0\x9F\x98\x80!", 2},
      {"ab\x80" "cd", 5},         // stray continuation byte: the byte length
      {"ab\xE2\x82", 4},           // last character runs past the end
      {"\xFE\xFF", 2},
      {"\xF8\x88\x80\x80\x80", 1},  // a five-byte form still counts as one
  };
  for (const Case& c : cases) EXPECT_EQ(UTF8LengthInChars(c.s), c.want) << c.s;
}

TEST(UTF8Checks, CheckedUTFJudgesByTheFirstSequence) {
  struct Case { std::string_view s; bool ok, ascii; };
  const Case cases[] = {
      {"", true, true},
      {"plain text", true, true},
      {"end \xC3", false, true},                 // a lone lead byte at the very end
      {"\xC3\xA9 then \xFF\xFE bad", true, false},  // bad only after the first multi-byte character
      {"x\xC0\xAF", false, true},                // overlong
      {"\xE0\x80\x80", false, true},             // overlong three bytes
      {"\xF4\x90\x80\x80", false, true},         // beyond U+10FFFF
      {"\xF0\x9F\x98\x80", true, false},
      {"a\x80", false, true},
      {"\xE2\x82\x41", false, true},
  };
  for (const Case& c : cases) {
    bool ascii = !c.ascii;
    EXPECT_EQ(CheckedUTF(c.s, ascii), c.ok) << c.s;
    EXPECT_EQ(ascii, c.ascii) << c.s;
  }
  int yields = 0;
  Global_YieldProcessProc = [&] { ++yields; };
  bool ascii;
  CheckedUTF("abc", ascii);
  Global_YieldProcessProc = nullptr;
  EXPECT_EQ(yields, 3);
}

TEST(UTF8Checks, FullValidation) {
  const std::string ok = std::string(40, 'a') + "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80" + std::string(20, 'b');
  EXPECT_TRUE(IsValidUTF8(B(ok.c_str()), ok.size()));
  for (const char* bad : {"\xED\xA0\x80", "\xC3", "aaaaaaaaaaaaaaaaaaaa\xC3\xA9\xFF", "\xC1\x81"})
    EXPECT_FALSE(IsValidUTF8(B(bad), std::strlen(bad))) << bad;
  EXPECT_TRUE(IsValidUTF8(nullptr, 0));
}

// Characters of every sequence length, with edge values, and the ways UTF-8 can be broken.
const std::vector<std::string> kGoodUtf8 = {"a", "\x7F", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF",
                                            "\xEE\x80\x80", "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF",
                                            "\xE6\x96\x87", "\xC3\xBC", std::string(1, '\0'), " "};
const std::vector<std::string> kBrokenUtf8 = {"\x80", "\xBF", "\xC0\x80", "\xC1\xBF", "\xC2", "\xC2\x41", "\xE0\x80\x80",
                                              "\xE0\x9F\xBF", "\xED\xA0\x80", "\xED\xBF\xBF", "\xE6\x96", "\xE6\x41\x87",
                                              "\xF0\x80\x80\x80", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80",
                                              "\xF8\x88\x80\x80\x80", "\xFF", "\xFE", "\xF0\x90\x80", "\xC2\x80\x80"};

TEST(Utf8, VectorCheckAgreesWithTheSequenceRulesEverywhere) {
  // Well-formed text of every sequence length, with edge characters, and the same text broken in each
  // way UTF-8 can be broken, at every offset round the 32-byte blocks the vector check takes: it must
  // say what the byte-by-byte check says.
  const std::vector<std::string>& good = kGoodUtf8;
  const std::vector<std::string>& broken = kBrokenUtf8;
  std::mt19937 rng(7);
  auto check = [](const std::string& s) {
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    bool scalar, vector;
    {
      const TWideVectorsSetting narrow(false);
      scalar = IsValidUTF8(p, s.size());
    }
    {
      const TWideVectorsSetting wide(true);
      vector = IsValidUTF8(p, s.size());
    }
    return std::make_pair(scalar, vector);
  };
  size_t tried = 0, invalid = 0;
  for (const size_t length : {31, 32, 33, 63, 64, 65, 100, 4095, 4096, 4100, 9000}) {
    for (int round = 0; round < 12; ++round) {
      std::string s;
      while (s.size() < length) s += good[rng() % good.size()];
      const auto [scalar, vector] = check(s);
      ASSERT_TRUE(scalar);
      ASSERT_EQ(vector, scalar) << "well-formed, " << s.size() << " bytes";
      // One break, at a random place, or right at a block's edge (a sequence cut by it).
      for (int b = 0; b < 6; ++b) {
        std::string t = s;
        size_t at = rng() % t.size();
        if (b < 2) at = std::min(t.size(), (at / 32 + 1) * 32 - 1 + static_cast<size_t>(b));
        t.insert(at, broken[rng() % broken.size()]);
        const auto [s2, v2] = check(t);
        ASSERT_EQ(v2, s2) << "broken at " << at << " of " << t.size();
        ++tried;
        invalid += !s2;
      }
      // A text cut inside its last character.
      std::string cut = s + "\xE6\x96\x87";
      cut.pop_back();
      const auto [s3, v3] = check(cut);
      ASSERT_FALSE(s3);
      ASSERT_EQ(v3, s3) << "cut short, " << cut.size() << " bytes";
    }
  }
  EXPECT_GT(invalid, tried / 2);  // the breaks mostly break (a lone "\xC2\x80\x80" may not)
}

TEST(Utf8, SevenBitPrefixStopsAtTheFirstHighByteAtEveryWidth) {
  // A byte from 0x80 up at every place round the 16-, 64- and 256-byte steps of the vector loops (or
  // none), in text of every length round them, from an offset off the vectors' alignment: the length of
  // the 7-bit stretch before it, whichever vectors the processor lends.
  std::string text(1100, 'a');
  for (size_t k = 0; k < text.size(); ++k) text[k] = static_cast<char>("the \n.\t0Z~"[k % 11]);
  const int widths[][2] = {{0, 0}, {1, 0}, {1, 1}};
  for (const auto& [wide, v512] : widths) {
    const TWideVectorsSetting wideSetting(wide != 0);
    const TVectors512Setting setting512(v512 != 0);
    for (const size_t n : {0, 1, 15, 16, 63, 64, 65, 255, 256, 257, 511, 512, 700, 1023}) {
      for (size_t high = 0; high <= n; ++high) {
        if (high > 20 && high + 20 < n && high % 64 > 2 && high % 64 < 61 && high % 7 != 0) continue;
        std::string t = text;
        if (high < n) t[3 + high] = static_cast<char>(high % 2 ? 0x80 : 0xFF);
        const auto* p = reinterpret_cast<const uint8_t*>(t.data()) + 3;
        ASSERT_EQ(SevenBitPrefix(p, n), high) << "n " << n << " high at " << high << " wide " << wide << " 512 " << v512;
      }
    }
  }
}

TEST(Utf8, PiecesDecodeAsTheWholeConversionDoes) {
  // nonAscii is told of an 8-bit character however it is decoded (here in a block with 7-bit text after).
  for (const bool use512 : {true, false}) {
    const TVectors512Setting width(use512);
    const std::string early = "\xC3\xA9" + std::string(100, 'a');
    std::u16string units(early.size(), u'?');
    size_t made = 0;
    bool bad = false, nonAscii = false;
    DecodeUTF8Piece(reinterpret_cast<const uint8_t*>(early.data()), early.size(), true, false, u' ', units.data(), made,
                    bad, nonAscii);
    EXPECT_TRUE(nonAscii) << use512;
    EXPECT_EQ(made, 101u);
  }

  // Well-formed and broken text, decoded whole and in two pieces cut anywhere (inside a character too):
  // the units Utf8ToUtf16 gives, a stop at the first fault when strict, and nonAscii where a byte is 8-bit.
  // Long stretches of one-, two- and three-byte characters, decoded a block at a time where the
  // processor can, with every kind of break among them; both ways.
  const std::vector<std::string> han = {"\xE6\x96\x87", "\xE4\xBB\xB6", "\xE3\x82\xA2", "\xEF\xBC\x8C",
                                        "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80", "\xEF\xBF\xBF"};
  std::mt19937 rng(11);
  for (int round = 0; round < 600; ++round) {
    const TVectors512Setting width(round % 2 == 0);
    std::string s;
    const size_t length = 1 + rng() % (round % 4 < 2 ? 120 : 400);
    while (s.size() < length) {
      const uint32_t pick = rng() % 16;
      s += round % 3 == 0 && pick == 0 ? kBrokenUtf8[rng() % kBrokenUtf8.size()]
           : pick < 10                 ? han[rng() % han.size()]
                                       : kGoodUtf8[rng() % kGoodUtf8.size()];
    }
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    UnicodeString want = Utf8ToUtf16(s);
    std::replace(want.begin(), want.end(), u'\0', u' ');  // a zero byte is read as the unit asked for
    std::u16string out(s.size() + 1, u'?');
    size_t made = 0;
    bool bad = false, nonAscii = false;
    ASSERT_EQ(DecodeUTF8Piece(p, s.size(), true, false, u' ', out.data(), made, bad, nonAscii), s.size());
    EXPECT_EQ(std::u16string(out.data(), made), std::u16string(want)) << round;
    EXPECT_FALSE(bad);
    EXPECT_EQ(nonAscii, std::any_of(s.begin(), s.end(), [](char c) { return static_cast<uint8_t>(c) >= 0x80; }));
    // Strict: stops where IsValidUTF8 finds the text ill-formed.
    made = 0, bad = false, nonAscii = false;
    DecodeUTF8Piece(p, s.size(), true, true, u' ', out.data(), made, bad, nonAscii);
    EXPECT_EQ(bad, !IsValidUTF8(p, s.size())) << round;
    if (!bad) {
      EXPECT_EQ(std::u16string(out.data(), made), std::u16string(want)) << round;
    }
    // Two pieces: the first stops before a character its end cuts off, and the second goes on from there.
    const size_t cut = rng() % (s.size() + 1);
    size_t made1 = 0, made2 = 0;
    bad = nonAscii = false;
    const size_t used = DecodeUTF8Piece(p, cut, false, false, u' ', out.data(), made1, bad, nonAscii);
    ASSERT_LE(used, cut);
    ASSERT_GE(used + 3, cut);
    DecodeUTF8Piece(p + used, s.size() - used, true, false, u' ', out.data() + made1, made2, bad, nonAscii);
    EXPECT_EQ(std::u16string(out.data(), made1 + made2), std::u16string(want)) << round << " cut at " << cut;
  }
}

TEST(Conversions, EightBitText) {
  EXPECT_EQ(AnsiConvertedToString(1252, "caf\xE9 \x80", 6), u"caf\u00e9 \u20ac");
  EXPECT_EQ(AnsiConvertedToString(1252, "caf\xE9", 3), u"caf");
  EXPECT_EQ(AnsiConvertedToString(1251, "\xC0", 1), u"\u0410");
  EXPECT_EQ(AnsiConvertedToString(1252, nullptr, 4), u"");
  EXPECT_EQ(AnsiConvertedToString(1252, "abc", 0), u"");
  EXPECT_EQ(AnsiConvertedToString(123456, "abc", 3), u"");
  EXPECT_EQ(AnsiConvertedToString(uint32_t{0x0419}, "\xC0\xC1"), u"\u0410\u0411");  // Russian: 1251
  EXPECT_EQ(AnsiConvertedToString("\xE9t\xE9"), u"\u00e9t\u00e9");
  EXPECT_EQ(AnsiConvertedToString(static_cast<const char*>(nullptr)), u"");
}

TEST(Conversions, BytesBySignature) {
  struct Case { std::string bytes; std::u16string want; };
  const Case cases[] = {
      {"", u""},
      {"caf\xC3\xA9", u"caf\u00e9"},
      {"\xEF\xBB\xBF" "abc", u"abc"},
      {std::string("\xFF\xFE" "a\0b\0", 6), u"ab"},
      {std::string("\xFE\xFF\0a\0b", 6), u"ab"},
      {std::string("\xFF\xFE" "a\0b", 5), u"a"},          // lone last byte dropped
      {"caf\xE9!", u"caf?!"},             // not UTF-8: 7-bit ASCII with "?"
      {"\xEF\xBB\xBF", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ConvertedStringToUnicode(std::vector<uint8_t>(c.bytes.begin(), c.bytes.end())), c.want) << c.bytes;
    EXPECT_EQ(ConvertedStringToUnicode(std::string_view(c.bytes)), c.want) << c.bytes;
  }
  EXPECT_EQ(ConvertedStringToUnicode("na\xC3\xAFve"), u"na\u00efve");
  EXPECT_EQ(ConvertedStringToUnicode(static_cast<const char*>(nullptr)), u"");
}

TEST(Conversions, Precomposed) {
  EXPECT_EQ(EnsurePrecomposed(u"e\u0301"), u"\u00e9");
  EXPECT_EQ(EnsurePrecomposed(u"Ame\u0301lie A\u030a"), u"Am\u00e9lie \u00c5");
  EXPECT_EQ(EnsurePrecomposed(u""), u"");
  EXPECT_EQ(EnsurePrecomposed(u"plain"), u"plain");
  const std::u16string lone = u"a\xD800" u"b";
  EXPECT_EQ(EnsurePrecomposed(lone), lone);
}

TEST(Conversions, CharactersWrittenByNumber) {
  struct Case { std::u16string in, out; int32_t last; };
  const Case cases[] = {
      {u"a{CHR(233)}b", u"a\u00e9b", 233},
      {u"{chr($41)}{Chr(66)}", u"AB", 66},
      {u"x#233y#65", u"x\u00e9yA", 65},
      {u"{CHR(1)}#66", u"\u0001B", 66},          // the "#" form runs after the braces
      {u"{CHR(zz)} # #x", u"{CHR(zz)} # #x", -1},  // numbers that do not read stay
      {u"#65601", u"A", 65},                       // low 16 bits
      {u"{CHR(65)", u"{CHR(65)", -1},
      {u"", u"", -1},
  };
  for (const Case& c : cases) {
    std::u16string s = c.in;
    EXPECT_EQ(MyFormatValidNumberStr(s), c.last) << Utf16ToUtf8(c.in);
    EXPECT_EQ(s, c.out) << Utf16ToUtf8(c.in);
  }
}

TEST(Conversions, StringListReadAgain) {
  TKXPlainStringList list;
  EXPECT_FALSE(ConvertedStringlistToUnicode(list));  // never loaded: no encoding
  TStringStream utf8(std::u16string_view(u"caf\u00e9\r\nna\u00efve"), TEncoding::UTF8(false));
  list.LoadFromStream(utf8);  // no signature: read as the system code page, so mojibake
  EXPECT_EQ(list[0], u"caf\u00c3\u00a9");
  EXPECT_TRUE(ConvertedStringlistToUnicode(list));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list[0], u"caf\u00e9");
  EXPECT_EQ(list[1], u"na\u00efve");
  TStringStream ansi(std::u16string_view(u"caf\u00e9"), TEncoding::ANSI(1252));
  list.LoadFromStream(ansi);
  EXPECT_TRUE(ConvertedStringlistToUnicode(list));
  EXPECT_EQ(list[0], u"caf\u00e9");  // real 8-bit text stays as it read
  TStringStream wide(std::u16string_view(u"\ufeffx"), TEncoding::Unicode());
  list.LoadFromStream(wide);
  EXPECT_FALSE(ConvertedStringlistToUnicode(list));
}

class FileOfCharTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("kx8_foc_" + std::to_string(::getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string Read(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
  std::filesystem::path dir;
};

TEST_F(FileOfCharTest, OneSignatureThenEveryText) {
  const auto p = dir / "log.txt";
  const UnicodeString name = Utf8ToUtf16(p.string());
  AddToFileOfChar(name, u"ab");
  AddToFileOfChar(name, u"\u00e9");
  EXPECT_EQ(Read(p), std::string("\xFF\xFE" "a\0b\0\xE9\0", 8));
  AddToFileOfChar(u"", u"nothing");
  const auto q = dir / "empty.txt";
  AddToFileOfChar(Utf8ToUtf16(q.string()), u"");
  EXPECT_EQ(Read(q), "\xFF\xFE");
  EXPECT_THROW(AddToFileOfChar(Utf8ToUtf16((dir / "no" / "such.txt").string()), u"x"), EInOutError);
}

TEST(TextExtent, DefaultMeasureAndHook) {
  int surface = 0;
  const std::u16string s = u"ab\u0301\U0001F600";
  EXPECT_EQ(GetTextExtentW(&surface, s.data(), static_cast<int32_t>(s.size())), (TSize{24, 16}));
  EXPECT_EQ(GetTextExtentW(&surface, s.data(), 0), TSize{});
  EXPECT_EQ(GetTextExtentW(nullptr, s.data(), 2), TSize{});
  int32_t fit = -1, dx[5];
  TSize size;
  ASSERT_TRUE(DefaultGetTextExtentExPointW(&surface, s.data(), 5, 12, &fit, dx, size));
  EXPECT_EQ(fit, 1);
  EXPECT_EQ(dx[2], 16);
  const auto saved = MyGetTextExtentExPointW;
  MyGetTextExtentExPointW = [](HDC, const char16_t*, int32_t len, int32_t, int32_t*, int32_t*, TSize& sz) {
    sz = {len * 3, 7};
    return true;
  };
  EXPECT_EQ(GetTextExtentW(nullptr, s.data(), 4), (TSize{12, 7}));
  MyGetTextExtentExPointW = nullptr;
  EXPECT_EQ(GetTextExtentW(&surface, s.data(), 4), TSize{});
  MyGetTextExtentExPointW = saved;
}

}  // namespace
}  // namespace kx8
