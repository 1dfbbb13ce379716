#include "kx8rt/definitions/text_structure.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "kx8rt/containers/stream_fields.h"
#include "kx8rt/definitions/list_types.h"
#include "kx8rt/files/tool_identity.h"
#include "kx8rt/platform/exceptions.h"

namespace kx8 {
namespace {

TBytesStream StreamOf(const std::vector<uint8_t>& v) { return TBytesStream(TBytes(v.begin(), v.end())); }
void Put32(std::vector<uint8_t>& v, int32_t x) {
  for (int k = 0; k < 4; ++k) v.push_back(static_cast<uint8_t>(static_cast<uint32_t>(x) >> (8 * k)));
}

// ---- markers ----

TEST(TypeRecMarkers, BitsAndStripping) {
  EXPECT_EQ(TypeRecWithoutTextMarker(0xF0000005u), 5u);
  EXPECT_TRUE(TypeRecIsUnmarked(0x0FFFFFFFu));
  struct {
    uint32_t w;
    bool text, para, sent, punct;
  } const cases[] = {{0x80000001u, true, false, false, false},
                     {0x40000001u, false, true, false, false},
                     {0x20000001u, false, false, true, false},
                     {0x10000001u, false, false, false, true}};
  for (const auto& c : cases) {
    EXPECT_EQ(TypeRecIsTextEnd(c.w), c.text);
    EXPECT_EQ(TypeRecIsParaHeadEnd(c.w), c.para);
    EXPECT_EQ(TypeRecIsSentEnd(c.w), c.sent);
    EXPECT_EQ(TypeRecIsPunctEnd(c.w), c.punct);
    EXPECT_FALSE(TypeRecIsUnmarked(c.w));
    EXPECT_EQ(TypeRecWithoutTextMarker(c.w), 1u);
  }
}

// ---- section starts ----

TEST(SectionStarts, GetOutsideAndStreamRoundTrip) {
  TSectionStartsList list;
  EXPECT_EQ(list.GetASection(-1).start_byte_position, -1);
  EXPECT_TRUE(list.GetASection(0).w.empty());
  list.AddOne({300, u"three"});
  list.AddOne({0, u"intro"});
  list.AddOne({120, u"body"});
  list.SortOnStarts();
  EXPECT_EQ(list.GetASection(0).w, u"intro");
  EXPECT_EQ(list.GetASection(2).start_byte_position, 300);
  TBytesStream s;
  ASSERT_TRUE(list.SaveToStream(s));
  s.SetPosition(0);
  TSectionStartsList back;
  back.AddOne({7, u"kept"});  // reading appends
  ASSERT_TRUE(back.ReadFromStream(s));
  ASSERT_EQ(back.Count(), 4);
  EXPECT_EQ(back.GetASection(3).w, u"three");
  EXPECT_EQ(back.GetASection(2).start_byte_position, 120);
}

TEST(SectionStarts, EveryCutGivesFalseAndKeepsWholeEntries) {
  TSectionStartsList list;
  list.AddOne({0, u"a"});
  list.AddOne({50, u"bb"});
  TBytesStream full;
  ASSERT_TRUE(list.SaveToStream(full));
  const TBytes bytes = full.Bytes();
  const size_t firstEntryEnd = 4 + 4 + 4 + 2;
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    TBytesStream s(TBytes(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(cut)));
    TSectionStartsList back;
    EXPECT_FALSE(back.ReadFromStream(s)) << cut;
    EXPECT_EQ(back.Count(), cut >= firstEntryEnd ? 1 : 0) << cut;
  }
}

TEST(SectionStarts, NegativeAndHugeCountsAreRefused) {
  for (int32_t n : {-1, 0x7FFFFFFF}) {
    std::vector<uint8_t> v;
    Put32(v, n);
    auto s = StreamOf(v);
    TSectionStartsList back;
    EXPECT_FALSE(back.ReadFromStream(s));
    EXPECT_EQ(back.Count(), 0);
  }
}

TEST(SectionStarts, SectionFromBytePositionGivesTheEnclosingSection) {
  TSectionStartsList list;
  list.AddOne({0, u"one"});
  list.AddOne({100, u"two"});
  list.AddOne({250, u"three"});
  EXPECT_EQ(list.SectionFromBytePosition(0, 99), std::make_pair(UnicodeString(u"one"), 0));
  EXPECT_EQ(list.SectionFromBytePosition(0, 100), std::make_pair(UnicodeString(u"two"), 1));
  EXPECT_EQ(list.SectionFromBytePosition(0, 9999), std::make_pair(UnicodeString(u"three"), 2));
  EXPECT_EQ(list.SectionFromBytePosition(2, 120), std::make_pair(UnicodeString(), 0));
  EXPECT_EQ(list.SectionFromBytePosition(0, -5), std::make_pair(UnicodeString(), 0));
}

class SectionFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("kx8_sections_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    saved = current_tool_var;
    current_tool_var = tt_kwicker;
  }
  void TearDown() override {
    current_tool_var = saved;
    std::filesystem::remove_all(dir);
  }
  UnicodeString Name(const char* n) const { return Utf8ToUtf16((dir / n).string()); }
  std::filesystem::path dir;
  tool_type saved{};
};

TEST_F(SectionFiles, SavedFileReadsBackAndAnotherToolsIsRefused) {
  TSectionStartsList list;
  list.AddOne({10, u"Chapter 1"});
  list.AddOne({900, u"Chapter 2"});
  ASSERT_TRUE(list.SaveToFile(Name("s.dat")));
  EXPECT_EQ(std::filesystem::file_size(dir / "s.dat"), 57u + 4 + 2 * (4 + 4) + 2 * 9 * 2);
  TSectionStartsList back;
  ASSERT_TRUE(back.ReadFromFile(Name("s.dat")));
  EXPECT_EQ(back.GetASection(1).w, u"Chapter 2");

  // Same bytes under a tool whose signature version differs.
  current_tool_var = tt_KXcogrid;
  ASSERT_NE(CurrentSignature[tt_KXcogrid], CurrentSignature[tt_kwicker]);
  TSectionStartsList other;
  EXPECT_FALSE(other.ReadFromFile(Name("s.dat")));
  EXPECT_THROW(other.ReadFromFile(Name("missing.dat")), Exception);
}

// ---- font runs ----

TExtraFontRec FontRun(int32_t on, int32_t off) {
  TExtraFontRec r;
  r.basics.switch_on_at_char = on;
  r.basics.switch_off_at_char = off;
  return r;
}

TEST(ExtraFontRecs, ByteImageIsExact) {
  TExtraFontRec r = FontRun(0x01020304, -1);
  r.basics.colour_rec[cc_background] = 0x00AABBCC;
  r.basics.spare_typefaces = {tf_italics};
  r.default_colours = true;
  r.applies_to = efc_centre_word;
  r.highlight_typeface = {tf_bold, tf_strikeout};
  r.spareInts[35] = 0x5A;
  const auto b = ExtraFontRecToBytes(r);
  EXPECT_EQ(b[0], 0x04);
  EXPECT_EQ(b[4], 0xFF);
  EXPECT_EQ(b[16], 0xCC);
  EXPECT_EQ(b[24], 0x02);
  EXPECT_EQ(b[29], 1);
  EXPECT_EQ(b[30], efc_centre_word);
  EXPECT_EQ(b[32], 0x09);
  EXPECT_EQ(b[71], 0x5A);
  const TExtraFontRec back = ExtraFontRecFromBytes(b.data(), false);
  EXPECT_EQ(ExtraFontRecToBytes(back), b);
}

// Version-19 streams have no version field and 28-byte records; version 20 may store the count negated.
TEST(ExtraFontList, OldAndNewStreamsReadIntoTheSameRecords) {
  std::vector<uint8_t> v19;
  Put32(v19, 2);
  for (int k = 0; k < 2; ++k) {
    Put32(v19, 10 * (k + 1));
    Put32(v19, k == 0 ? -1 : 25);
    for (int c = 0; c < 4; ++c) Put32(v19, 0x100 * (c + 1));
    v19.insert(v19.end(), {static_cast<uint8_t>(k == 0 ? 0x03 : 0), 0, 0, 0});
  }
  auto s19 = StreamOf(v19);
  TExtraFontList a;
  ASSERT_TRUE(a.XReadFromStream(s19, 19));
  EXPECT_EQ(a.GetEFVersion(), 0);
  ASSERT_EQ(a.Count(), 2);
  EXPECT_TRUE(a.HasTypefaces());
  EXPECT_EQ(a.GetAFontFrec(0).default_typeface, (Ttypeface_Set{tf_bold, tf_italics}));
  EXPECT_EQ(a.GetAFontFrec(0).highlight_typeface, (Ttypeface_Set{tf_bold, tf_italics}));
  EXPECT_EQ(a.GetAFontFrec(1).basics.colour_rec[cc_selected_background], 0x400);

  // The same records written as version 20 with a negative count and EFVersion 1.
  std::vector<uint8_t> v20;
  Put32(v20, -2);
  Put32(v20, 1);
  for (int k = 0; k < 2; ++k) {
    auto b = ExtraFontRecToBytes(a.GetAFontFrec(k));
    b[31] = b[32] = 0;  // version 1 keeps its typefaces only in spare_typefaces
    v20.insert(v20.end(), b.begin(), b.end());
  }
  auto s20 = StreamOf(v20);
  TExtraFontList b;
  ASSERT_TRUE(b.XReadFromStream(s20, 20));
  EXPECT_EQ(b.GetEFVersion(), 1);
  ASSERT_EQ(b.Count(), 2);
  for (int k = 0; k < 2; ++k) EXPECT_EQ(ExtraFontRecToBytes(b.GetAFontFrec(k)), ExtraFontRecToBytes(a.GetAFontFrec(k)));
}

TEST(ExtraFontList, SaveRaisesVersionAndReadsBackAtVersion3) {
  TExtraFontList a;
  TExtraFontRec r = FontRun(5, 9);
  r.basics.spare_typefaces = {tf_underline};  // ignored from version 3 on
  a.AddOne(r);
  EXPECT_FALSE(a.HasTypefaces());
  TBytesStream s;
  ASSERT_TRUE(a.XSaveToStream(s, 40));
  EXPECT_EQ(a.GetEFVersion(), 3);
  EXPECT_EQ(s.Size(), 8 + 72);
  s.SetPosition(0);
  TExtraFontList b;
  ASSERT_TRUE(b.XReadFromStream(s, 40));
  EXPECT_TRUE(b.GetAFontFrec(0).default_typeface.Empty());
  EXPECT_FALSE(b.HasTypefaces());
}

TEST(ExtraFontList, CutStreamsGiveFalseKeepingWholeRecords) {
  TExtraFontList a;
  a.AddOne(FontRun(1, 2));
  a.AddOne(FontRun(3, 4));
  TBytesStream full;
  ASSERT_TRUE(a.XSaveToStream(full, 20));
  const TBytes bytes = full.Bytes();
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    TBytesStream s(TBytes(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(cut)));
    TExtraFontList b;
    EXPECT_FALSE(b.XReadFromStream(s, 20)) << cut;
    EXPECT_EQ(b.Count(), cut >= 8 + 72 ? 1 : 0) << cut;
  }
}

TEST(ExtraFontList, LookUpsGetSetAndSort) {
  TExtraFontList l;
  l.AddOne(FontRun(40, -1));
  l.AddOne(FontRun(10, 30));
  l.AddOne(FontRun(20, 50));
  EXPECT_EQ(l.IndexOfStart(20), 2);
  EXPECT_EQ(l.IndexOfStart(21), -1);
  EXPECT_EQ(l.IndexOfStartAndEnd(10, 45), 0);  // runs to the end
  EXPECT_EQ(l.IndexOfStartAndEnd(5, 35), 1);
  EXPECT_EQ(l.IndexOfStartAndEnd(15, 35), -1);  // 20..50 ends outside
  l.SortOnStartpoints();
  EXPECT_EQ(l.GetAFontFrec(0).basics.switch_on_at_char, 10);
  EXPECT_EQ(l.GetAFontFrec(2).basics.switch_on_at_char, 40);
  EXPECT_EQ(l.IndexOfStart(40), 2);
  EXPECT_EQ(l.GetAFontFrec(3).basics.switch_on_at_char, 0);
  TExtraFontRec r = FontRun(1, 1);
  r.default_typeface = {tf_bold};
  l.SetAFontFrec(7, r);
  EXPECT_FALSE(l.HasTypefaces());
  l.SetAFontFrec(1, r);
  EXPECT_TRUE(l.HasTypefaces());
  l.Delete(0);
  EXPECT_EQ(l.Count(), 2);
  l.Clear();
  EXPECT_FALSE(l.HasTypefaces());
}

// ---- streamable string list ----

TEST(StreamableStringlist, BothCountFormsAndEmpty) {
  TMyStreamableStringlist a;
  a.Add(u"alpha");
  a.Add(u"\u00e9t\u00e9");
  a.Add(u"");
  TBytesStream s;
  ASSERT_TRUE(a.SaveToStream(s));
  EXPECT_EQ(static_cast<int32_t>(GetLE32(s.Memory())), -3);
  s.SetPosition(0);
  TMyStreamableStringlist b;
  b.Add(u"gone");
  ASSERT_TRUE(b.ReadFromStream(s));
  ASSERT_EQ(b.Count(), 3);
  EXPECT_EQ(b[1], u"\u00e9t\u00e9");

  TMyStreamableStringlist empty;
  TBytesStream e;
  ASSERT_TRUE(empty.SaveToStream(e));
  EXPECT_EQ(e.Size(), 4);
  e.SetPosition(0);
  ASSERT_TRUE(b.ReadFromStream(e));
  EXPECT_EQ(b.Count(), 0);

  // The older form: a positive count and 8-bit short strings in the system code page.
  const std::vector<uint8_t> v = {2, 0, 0, 0, 2, 'h', 'i', 3, 'c', 0xE3, 'o'};  // count 2, then the strings
  auto o = StreamOf(v);
  ASSERT_TRUE(b.ReadFromStream(o));
  ASSERT_EQ(b.Count(), 2);
  EXPECT_EQ(b[1], u"c\u00e3o");
}

TEST(StreamableStringlist, CutStreamsGiveFalseKeepingWholeStrings) {
  TMyStreamableStringlist a;
  a.Add(u"ab");
  a.Add(u"cd");
  TBytesStream full;
  ASSERT_TRUE(a.SaveToStream(full));
  const TBytes bytes = full.Bytes();
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    TBytesStream s(TBytes(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(cut)));
    TMyStreamableStringlist b;
    EXPECT_FALSE(b.ReadFromStream(s)) << cut;
    EXPECT_EQ(b.Count(), cut >= 4 + 8 ? 1 : 0) << cut;
  }
  std::vector<uint8_t> bad;
  Put32(bad, -1);
  Put32(bad, -7);  // a negative string length
  auto s = StreamOf(bad);
  TMyStreamableStringlist b;
  EXPECT_FALSE(b.ReadFromStream(s));
}

TEST(ColoursHolder, HoldsItsRecord) {
  TColoursHolder h(BogStandardColours);
  EXPECT_EQ(h.data[cc_selected_background], 0x660000);
}

}  // namespace
}  // namespace kx8
