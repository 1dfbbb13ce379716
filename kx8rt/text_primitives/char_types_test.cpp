#include "kx8rt/text_primitives/char_types.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/cpu_features.h"

namespace kx8 {
namespace {

// Type words for ASCII test text, written the way a tool prepares them: characters from '<' through '>'
// are inside a tag, '|' carries a sentence-end marker and '^' a sentence-end marker inside a tag.
template <class S>
std::vector<uint16_t> TypesOf(const S& text) {
  std::vector<uint16_t> t(text.size() + 2, 0);
  bool inTag = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<char16_t>(static_cast<std::make_unsigned_t<typename S::value_type>>(text[i]));
    uint16_t w = C1_DEFINED;
    if (c >= u'a' && c <= u'z') w |= C1_ALPHA | C1_LOWER;
    else if (c >= u'A' && c <= u'Z') w |= C1_ALPHA | C1_UPPER;
    else if (c >= u'0' && c <= u'9') w |= C1_DIGIT | C1_XDIGIT;
    else if (c == u' ') w |= C1_SPACE | C1_BLANK;
    else w |= C1_PUNCT;
    if (c == u'<') inTag = true;
    if (inTag) w |= tag_char_flag;
    if (c == u'>') inTag = false;
    if (c == u'|') w = SegmentMarkerType(ts_sentence_end);
    if (c == u'^') w = SegmentMarkerType(ts_sentence_end) | tag_char_flag | C1_UPPER | C1_LOWER | C1_DIGIT;
    t[i] = w;
  }
  return t;
}

// One letter a character: 'a' letter, '9' digit, 't' tag or marker, '-' anything else.
std::string Classes(const std::vector<uint16_t>& types, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    const uint16_t w = types[i];
    s.push_back((w & tag_or_marker_mask) ? 't' : (w & C1_ALPHA) ? 'a' : (w & C1_DIGIT) ? '9' : '-');
  }
  return s;
}

struct MiddleCase {
  std::u16string_view text;
  bool allowRight, allowLeft;
  std::string_view want;
};

TEST(MiddleChars, ApostropheJoinsWordsOnlyBetweenLettersOrDigits) {
  const MiddleCase cases[] = {
      {u"rock'n'roll", false, false, "aaaaaaaaaaa"},
      {u"don't", false, false, "aaaaa"},          // neighbours at both ends of the buffer still count
      {u"I'm", false, false, "aaa"},
      {u"'tis a", false, false, "-aaa-a"},        // opens a quotation
      {u"'tis a", false, true, "aaaa-a"},
      {u"dogs' x", false, false, "aaaa--a"},      // closes one
      {u"dogs' x", true, false, "aaaaa-a"},
      {u"dogs'", true, true, "aaaa-"},            // the last character is never examined
      {u"' '", true, true, "a--"},                // both sides allowed: always a letter
      {u"3'4", false, false, "999"},
      {u"a'3 3'a", false, false, "a99-99a"},      // a digit on either side makes it a digit
      {u"a '", false, false, "a--"},
      {u"a,'b", false, false, "a--a"},
  };
  for (const auto& c : cases) {
    auto types = TypesOf(std::u16string(c.text));
    HandleMiddleChars(c.text.data(), types.data(), u"'", 1, static_cast<int32_t>(c.text.size()), true,
                      c.allowRight, c.allowLeft);
    EXPECT_EQ(Classes(types, c.text.size()), c.want)
        << std::string(c.text.begin(), c.text.end()) << " R" << c.allowRight << " L" << c.allowLeft;
  }
}

TEST(MiddleChars, TagsAreSkippedAndMarkersStopTheLook) {
  const MiddleCase cases[] = {
      {u"l<b>'</b>a", false, false, "atttatttta"},  // apostrophe in its own tags: judged beyond them
      {u"<a'b>", false, false, "ttttt"},               // inside a tag: never changed
      {u"x<a'b>y", true, true, "attttta"},
      {u"a|'b", false, false, "at-a"},                 // a marker is a boundary on the left
      {u"a'|b", false, false, "a-ta"},                 // and on the right
      {u"a^'b", false, false, "at-a"},                 // a marker inside a tag too
      {u"<x>'b", false, false, "ttt-a"},               // only tags to the left: nothing there
      {u"a'<x>", false, false, "a-ttt"},
  };
  for (const auto& c : cases) {
    auto types = TypesOf(std::u16string(c.text));
    HandleMiddleChars(c.text.data(), types.data(), u"'", 1, static_cast<int32_t>(c.text.size()), true,
                      c.allowRight, c.allowLeft);
    EXPECT_EQ(Classes(types, c.text.size()), c.want) << std::string(c.text.begin(), c.text.end());
  }
  // The exact words: a letter becomes a defined lower-case letter, beside a digit a defined digit; a
  // tagged apostrophe keeps its word.
  const std::u16string t = u"a'b<'>3'4";
  auto types = TypesOf(t);
  const uint16_t tagged = types[4];
  HandleMiddleChars(t.data(), types.data(), u"'", 1, static_cast<int32_t>(t.size()), true, false, false);
  EXPECT_EQ(types[1], defined_lower_letter_type);
  EXPECT_EQ(types[4], tagged);
  EXPECT_EQ(types[7], defined_digit_type);
}

TEST(MiddleChars, SeveralMiddleCharactersAndCounts) {
  const std::u16string t = u"well-known o'clock";
  auto types = TypesOf(t);
  HandleMiddleChars(t.data(), types.data(), u"'-", 1, static_cast<int32_t>(t.size()), true, false, false);
  EXPECT_EQ(Classes(types, t.size()), "aaaa-aaaaa-aaaaaaa");  // only the first of the two is used
  HandleMiddleChars(t.data(), types.data(), u"'-", 5, static_cast<int32_t>(t.size()), true, false, false);
  EXPECT_EQ(Classes(types, t.size()), "aaaaaaaaaa-aaaaaaa");  // a count beyond the string is cut to it
  auto fresh = TypesOf(t);
  HandleMiddleChars(t.data(), fresh.data(), u"'-", 0, static_cast<int32_t>(t.size()), true, false, false);
  EXPECT_EQ(fresh, TypesOf(t));
  HandleMiddleChars(nullptr, fresh.data(), u"'", 1, 5, true, false, false);
  EXPECT_EQ(fresh, TypesOf(t));
}

TEST(MiddleChars, EightBitBuffersUseTheSystemCodePage) {
  // U+2019 (right single quotation mark) is byte 0x92 in the default Western code page.
  const std::string t = "don\x92t rock'n'roll";
  auto types = TypesOf(t);
  HandleMiddleChars(t.data(), types.data(), u"\u2019'", 2, static_cast<int32_t>(t.size()), false, false, false);
  EXPECT_EQ(Classes(types, t.size()), "aaaaa-aaaaaaaaaaa");
  // A middle character the code page cannot hold changes nothing.
  const std::string u = "a?b";
  auto utypes = TypesOf(u);
  HandleMiddleChars(u.data(), utypes.data(), u"\u4E00", 1, 3, false, false, false);
  EXPECT_EQ(Classes(utypes, 3), "a-a");
}

TEST(MiddleCharsInNumbers, SeparatorsBetweenDigits) {
  struct Case { std::u16string_view text; bool space; std::string_view want; };
  const Case cases[] = {
      {u"3,000.5", false, "9999999"}, {u"3 000", true, "99999"},   {u"3 000", false, "9-999"},
      {u"3, 000", true, "9--999"},    {u"3\u00B7000", false, "99999"}, {u"3,a", false, "9-a"},
      {u"3,,4", false, "9--9"},       {u"12.", false, "99-"},       {u"1.2.3", false, "99999"},
      {u"3;4", false, "9-9"},
  };
  for (const auto& c : cases) {
    auto types = TypesOf(std::u16string(c.text));
    HandleMiddleCharsInNumbers(true, c.space, c.text.data(), types.data(), static_cast<int32_t>(c.text.size()));
    EXPECT_EQ(Classes(types, c.text.size()), c.want) << std::string(c.text.begin(), c.text.end());
  }
  const std::string a = "3\xB7" "000 1 2";
  auto types = TypesOf(a);
  HandleMiddleCharsInNumbers(false, true, a.data(), types.data(), static_cast<int32_t>(a.size()));
  EXPECT_EQ(Classes(types, a.size()), "999999999");
  EXPECT_EQ(types[1], defined_digit_type);
}

TEST(MiddleCharsInNumbers, LongTextsGiveWhatEachPieceGivesAlone) {
  // Pieces joined by spaces affect each other in no way, so the long text (searched eight and sixteen
  // type words at a time) must come out as the short pieces (searched one by one) do, wherever a
  // number's middle falls relative to those blocks.
  const std::u16string pieces[] = {u"3,000.5", u"1.2.3", u"12.", u"3,a", u"words", u"3;4", u"3,,4", u"7\u00B78", u"a1,2b"};
  std::u16string text;
  std::string want;
  for (int round = 0; round < 40; ++round)
    for (size_t k = 0; k < std::size(pieces); ++k) {
      const std::u16string& piece = pieces[(k + round) % std::size(pieces)];
      auto alone = TypesOf(piece);
      HandleMiddleCharsInNumbers(true, false, piece.data(), alone.data(), static_cast<int32_t>(piece.size()));
      // Padding of 0 to 16 spaces moves the next piece across every block position.
      const std::u16string pad(1 + (round * 7 + k) % 17, u' ');
      text += piece + pad;
      want += Classes(alone, piece.size()) + std::string(pad.size(), '-');
    }
  std::string narrow;
  for (const char16_t c : text) narrow.push_back(c == u'\u00B7' ? '\xB7' : static_cast<char>(c));
  for (const bool useWide : {false, true}) {
    const TWideVectorsSetting width(useWide);  // both vector widths where the processor has both
    auto types = TypesOf(text);
    HandleMiddleCharsInNumbers(true, false, text.data(), types.data(), static_cast<int32_t>(text.size()));
    EXPECT_EQ(Classes(types, text.size()), want) << useWide;
    // The same in 8-bit text.
    auto narrowTypes = TypesOf(narrow);
    HandleMiddleCharsInNumbers(false, false, narrow.data(), narrowTypes.data(), static_cast<int32_t>(narrow.size()));
    EXPECT_EQ(Classes(narrowTypes, narrow.size()), want) << useWide;
  }
}

TEST(ZeroWidthJoiners, GetExactTypeWords) {
  const std::u16string t = u"a\u200Db\u200Cc";
  std::vector<uint16_t> types(t.size() + 2, 0xFFFF);
  SetZeroWidthJoinersToDefined(t.data(), types.data(), 5);
  SetZeroWidthNonJoinersToDefinedAlpha(t.data(), types.data(), 5);
  EXPECT_EQ(types[1], 0x0200);
  EXPECT_EQ(types[3], 0x0300);
  EXPECT_EQ(types[0], 0xFFFF);
  std::vector<uint16_t> short_types(3, 0xFFFF);
  SetZeroWidthJoinersToDefined(t.data(), short_types.data(), 1);  // the joiner lies beyond Len
  EXPECT_EQ(short_types[1], 0xFFFF);
}

TEST(TypeArray, FilledFromThePlatformWithTwoSpareZeros) {
  const std::u16string t = u"Ab1 ,";
  std::vector<uint16_t> types(t.size() + 2, 0xFFFF);
  ASSERT_TRUE(GetStringTypeExNT2000(true, 0x0409, CT_CTYPE1, t.data(), 5, types.data()));
  EXPECT_TRUE(types[0] & C1_UPPER);
  EXPECT_TRUE(types[1] & C1_LOWER);
  EXPECT_TRUE(types[2] & C1_DIGIT);
  EXPECT_TRUE(types[3] & C1_SPACE);
  EXPECT_TRUE(types[4] & C1_PUNCT);
  EXPECT_EQ(types[5], 0);
  EXPECT_EQ(types[6], 0);
  const std::string a = "Ab1 ,";
  std::vector<uint16_t> atypes(a.size() + 2, 0xFFFF);
  ASSERT_TRUE(GetStringTypeExNT2000(false, 0x0409, CT_CTYPE1, a.data(), 5, atypes.data()));
  EXPECT_EQ(atypes, types);

  std::vector<uint16_t> empty{0xFFFF, 0xFFFF};
  EXPECT_TRUE(GetStringTypeExNT2000(true, 0x0409, CT_CTYPE1, nullptr, 0, empty.data()));
  EXPECT_EQ(empty, (std::vector<uint16_t>{0, 0}));

  std::vector<uint16_t> refused(t.size() + 2, 0xFFFF);
  EXPECT_FALSE(GetStringTypeExNT2000(true, 0x0409, 2, t.data(), 5, refused.data()));
  EXPECT_EQ(refused, std::vector<uint16_t>(7, 0));
  EXPECT_FALSE(GetStringTypeExNT2000(true, 0x0409, CT_CTYPE1, t.data(), 5, nullptr));
}

TEST(TypeArray, MasksAndMarkers) {
  EXPECT_EQ(SegmentMarkerType(ts_sentence_end), 0x800F);
  EXPECT_TRUE(IsSegmentMarker(0x880F));
  EXPECT_EQ(SegmentMarkerCode(0x880F), ts_sentence_end);
  EXPECT_EQ(SegmentMarkerCode(SegmentMarkerType(ts_section_end)), 21);
  EXPECT_FALSE(IsSegmentMarker(tag_char_flag | C1_ALPHA));
}

// ---- 8-bit case tables ----

TANSILower_or_upperStr Table(std::string_view s) {
  TANSILower_or_upperStr t;
  t.Assign(s);
  return t;
}

TEST(CaseTables, CutLowercaseWordsKeepsCapitalisedWords) {
  const auto lowers = Table("\xE9\xFF"), uppers = Table("\xC9\x9F");  // é ÿ / É Ÿ
  struct Case { std::string_view in, want; };
  const Case cases[] = {
      {"the Cat sat On", "    Cat     On"},
      {"\xE9" "cole \xC9lan", "      \xC9lan"},   // é blanked, É starts a capitalised word
      {"mcDonald x", "  Donald  "},                // a word keeps its letters from its first capital
      {"a\tb\nCd e", " \t \nCd  "},
      {"x{y 1a", " {  1 "},
  };
  for (const auto& c : cases) {
    std::string b(c.in);
    CutLowercaseWords(b.data(), lowers, uppers, static_cast<int32_t>(b.size()));
    EXPECT_EQ(b, c.want) << c.in;
  }
}

TEST(CaseTables, CapitaliseABufferUsesThePairs) {
  const auto lowers = Table("\xE9\xFF\xE0"), uppers = Table("\xC9\x9F");  // à has no partner
  std::string b = "abc \xE9\xFF\xE0 {z}";
  CapitaliseABuffer(b.data(), lowers, uppers, static_cast<int32_t>(b.size()));
  EXPECT_EQ(b, "ABC \xC9\x9F\xE0 {Z}");
  TANSILower_or_upperStr corrupt;
  corrupt.length = 200;  // a bad stored length reads as 128
  EXPECT_EQ(corrupt.View().size(), 128u);
}

TEST(CaseTables, BuiltFromTheCodePage) {
  TANSILower_or_upperStr lowers, uppers;
  MakeANSICaseTables(1252, lowers, uppers);
  const std::string_view lo = lowers.View(), up = uppers.View();
  ASSERT_EQ(lo.size(), up.size());
  auto partner = [&](char c) {
    const size_t k = lo.find(c);
    return k == std::string_view::npos ? '\0' : up[k];
  };
  EXPECT_EQ(partner('\xE9'), '\xC9');  // é É
  EXPECT_EQ(partner('\xFF'), '\x9F');  // ÿ Ÿ
  EXPECT_EQ(partner('\x9A'), '\x8A');  // š Š
  EXPECT_EQ(partner('\xDF'), '\0');    // ß has no single upper-case partner
  EXPECT_EQ(partner('\xB5'), '\0');    // µ's capital is Greek, not in the code page
  EXPECT_EQ(lo.find_first_of("abcxyz"), std::string_view::npos);
}

TEST(SmallTests, DigitsHashAndBrace) {
  EXPECT_TRUE(ContainsADigitA("abc7"));
  EXPECT_FALSE(ContainsADigitA("abc"));
  EXPECT_FALSE(ContainsADigitA(nullptr));
  EXPECT_TRUE(ContainsADigitW(u"\u0663 0"));
  EXPECT_FALSE(ContainsADigitW(u"\u0663"));  // only '0'..'9'
  EXPECT_FALSE(ContainsADigitW(std::u16string(u"ab\0" u"1", 4).c_str()));
  EXPECT_TRUE(IsHashSymbol(27));
  EXPECT_FALSE(IsHashSymbol(u'#'));
  EXPECT_TRUE(IsHashOrBrace(u'#'));
  EXPECT_TRUE(IsHashOrBrace(u'{'));
  EXPECT_FALSE(IsHashOrBrace(u'}'));
  EXPECT_FALSE(IsHashOrBrace(27));
}

}  // namespace
}  // namespace kx8

namespace kx8 {
namespace {

TEST(WidenAndTypeSevenBit, WritesAndTypesAsTheDecoderAndTheClassifierDo) {
  // Every 7-bit byte (a zero one read as a space) at every place of a sixteen-byte block, over lengths
  // round the block size; the two entries after the last type are zero.
  std::vector<uint8_t> bytes;
  for (int round = 0; round < 3; ++round)
    for (int c = 0; c < 128; ++c) bytes.push_back(static_cast<uint8_t>((c * 7 + round) & 0x7F));
  for (const int32_t n : {0, 1, 15, 16, 17, 100, static_cast<int32_t>(bytes.size())}) {
    std::u16string text(static_cast<size_t>(n), u'?');
    std::vector<uint16_t> types(static_cast<size_t>(n) + 2, 0xFFFF);
    WidenAndTypeSevenBit(bytes.data(), n, text.data(), types.data());
    std::u16string want;
    for (int32_t i = 0; i < n; ++i) want += bytes[static_cast<size_t>(i)] == 0 ? u' ' : char16_t(bytes[static_cast<size_t>(i)]);
    std::vector<uint16_t> wantTypes(static_cast<size_t>(n) + 2, 0xFFFF);
    ASSERT_TRUE(GetStringTypeExNT2000(true, LOCALE_DEFAULT_LCID, CT_CTYPE1, want.data(), n, wantTypes.data()));
    EXPECT_EQ(text, want) << n;
    EXPECT_EQ(types, wantTypes) << n;
  }
}

}  // namespace
}  // namespace kx8
