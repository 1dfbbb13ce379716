#include "kx8rt/definitions/settings_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "kx8rt/containers/stream_fields.h"
#include "kx8rt/dates/juliandateroutines.h"
#include "kx8rt/platform/locales.h"

namespace kx8 {
namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v) { PutLE32(b.data() + at, v); }
void PutWide(Bytes& b, size_t at, std::u16string_view s) {
  for (size_t k = 0; k < s.size(); ++k) Put16(b, at + 2 * k, s[k]);
}
void PutShort(Bytes& b, size_t at, std::string_view s) {
  b[at] = static_cast<uint8_t>(s.size());
  std::memcpy(b.data() + at + 1, s.data(), s.size());
}
TBytesStream StreamOf(const Bytes& v) { return TBytesStream(TBytes(v.begin(), v.end())); }
UnicodeString Z(const char16_t* p) { return UnicodeString(p); }

// A 16-bit-era language record: 632 bytes.
Bytes OldLangImage() {
  Bytes b(632, 0);
  b[0] = 1;      // allow_middles_at_right
  b[1] = 0;      // allow_middles_at_left
  Put32(b, 8, 0x0416);
  b[12] = 0;     // charset
  b[13] = 12;    // size
  PutShort(b, 14, "Courier");
  b[47] = lang_a_preferida;
  b[48] = 1;
  b[49] = 1;
  Put16(b, 50, 1252);
  Put16(b, 52, 850);
  PutShort(b, 75, "'-");
  PutShort(b, 600, "Portugu\xEAs");
  return b;
}

// A format-5 language record: 1040 bytes with the current places and only the old font.
Bytes IntermediateLangImage() {
  Bytes b(1040, 0);
  b[0] = 0;
  b[1] = 1;
  b[2] = 1;
  Put32(b, 4, 0x0407);
  b[8] = 1;
  b[9] = 10;
  PutShort(b, 10, "Arial");
  b[43] = lang_instalada;
  b[45] = 1;
  Put16(b, 46, 1252);
  Put16(b, 48, 437);
  PutWide(b, 50, u"'");
  b[400] = 0x77;  // lies in new_win_font, which format 5 did not have
  Put32(b, 560, 9);  // language_number did not exist either
  PutWide(b, 936, u"Deutsch");
  return b;
}

void ExpectStandardColours(const TMyCanvasColourRec& c) {
  EXPECT_EQ(c.colours, BogStandardColours.colours);
}

TEST(LangDetails, OldRecordConvertsFieldByField) {
  const Bytes img = OldLangImage();
  const Tfixed_lang_details32 r = LangDetNewFromOld(OldLangDetailsFromBytes(img.data()));
  EXPECT_TRUE(r.allow_middles_at_right);
  EXPECT_FALSE(r.allow_middles_at_left);
  EXPECT_FALSE(r.is_32_version);
  EXPECT_EQ(r.lcid, 0x0416u);
  EXPECT_EQ(r.preference, lang_a_preferida);
  EXPECT_TRUE(r.custom_language);
  EXPECT_TRUE(r.hyphen_breaks_word);
  EXPECT_EQ(r.win_codepage, 1252);
  EXPECT_EQ(r.dos_codepage, 850);
  EXPECT_EQ(r.old_win_font.fontsize_old, 12);
  EXPECT_EQ(r.new_win_font.fontsize, 12);
  EXPECT_EQ(Z(r.new_win_font.fontname.data()), u"Courier");
  // The length byte 2 is not above 32, so only the two characters arrive.
  EXPECT_EQ(Z(r.allowable_middle_letters.data()), u"'-");
  EXPECT_EQ(Z(r.nome.data()), u"Portugu\u00eas");
}

TEST(LangDetails, ReadersByVersion) {
  {  // any other version with is_32_version zero: the 632-byte old record
    auto s = StreamOf(OldLangImage());
    Tfixed_lang_details32 r;
    ASSERT_TRUE(Readfixed_lang_details_rec(s, r, 3));
    EXPECT_EQ(s.Position(), 632);
    EXPECT_EQ(r.lcid, 0x0416u);
    ExpectStandardColours(r.cores);
  }
  for (int32_t version : {5, 4}) {  // format 5, or an unknown version whose third byte is set
    auto s = StreamOf(IntermediateLangImage());
    Tfixed_lang_details32 r;
    ASSERT_TRUE(Readfixed_lang_details_rec(s, r, version));
    EXPECT_EQ(s.Position(), 1040);
    EXPECT_FALSE(r.allow_middles_at_right);
    EXPECT_TRUE(r.allow_middles_at_left);
    EXPECT_TRUE(r.is_32_version);
    EXPECT_EQ(r.lcid, 0x0407u);
    EXPECT_EQ(r.preference, lang_instalada);
    EXPECT_TRUE(r.hyphen_breaks_word);
    EXPECT_EQ(r.dos_codepage, 437);
    EXPECT_EQ(Z(r.allowable_middle_letters.data()), u"'");
    EXPECT_EQ(Z(r.nome.data()), u"Deutsch");
    EXPECT_EQ(r.new_win_font.charset, 1);
    EXPECT_EQ(Z(r.new_win_font.fontname.data()), u"Arial");
    EXPECT_EQ(r.old_win_font.fontsize_old, 0);  // not carried over
    EXPECT_EQ(r.language_number, 0);
    ExpectStandardColours(r.cores);
  }
}

TEST(LangDetails, CurrentVersionsAreTakenWholeWithTheColourFix) {
  Tfixed_lang_details32 rec;
  rec.lcid = 0x0809;
  rec.is_32_version = true;
  rec.language_number = 77;
  rec.cores = {{1, 2, 3, 4}};
  rec.spare[355] = 0xEE;
  for (int32_t version : {6, 7, 18}) {
    const auto img = LangDetailsToBytes(rec);
    auto s = StreamOf(Bytes(img.begin(), img.end()));
    Tfixed_lang_details32 r;
    ASSERT_TRUE(Readfixed_lang_details_rec(s, r, version));
    EXPECT_EQ(LangDetailsToBytes(r), img);
  }
  rec.cores = {{5, 2, 5, 4}};  // equal text and background colours
  const auto img = LangDetailsToBytes(rec);
  auto s = StreamOf(Bytes(img.begin(), img.end()));
  Tfixed_lang_details32 r;
  ASSERT_TRUE(Readfixed_lang_details_rec(s, r, 6));
  ExpectStandardColours(r.cores);
  EXPECT_EQ(r.language_number, 77);
}

TEST(LangDetails, TwoRecordsBackToBackBothRead) {
  Bytes two = OldLangImage();
  const Bytes second = IntermediateLangImage();
  two.insert(two.end(), second.begin(), second.end());
  auto s = StreamOf(two);
  Tfixed_lang_details32 a, b;
  ASSERT_TRUE(Readfixed_lang_details_rec(s, a, 0));
  ASSERT_TRUE(Readfixed_lang_details_rec(s, b, 0));
  EXPECT_EQ(a.lcid, 0x0416u);
  EXPECT_EQ(b.lcid, 0x0407u);
}

// An old text-settings record: 2500 bytes, its language part the 632-byte record.
Bytes OldTextSettingsImage() {
  Bytes b = OldLangImage();
  b.resize(2500, 0);
  b[632] = wltt_only_tagged_words;
  b[635] = 1;
  b[636] = 0;
  b[637] = 1;
  PutWide(b, 638, u"<");
  PutWide(b, 650, u">");
  PutWide(b, 662 + 204, u"<section>");  // the section text
  b[2293] = 0x42;                       // last byte of the markers
  return b;
}

TEST(TextSettings, OldRecordConvertedAndReread) {
  auto s = StreamOf(OldTextSettingsImage());
  TTextsett_rec32 r;
  ASSERT_TRUE(ReadInTextSettings(s, r, 2));
  EXPECT_EQ(s.Position(), 2500);
  EXPECT_EQ(r.language_info.lcid, 0x0416u);
  EXPECT_EQ(Z(r.language_info.nome.data()), u"Portugu\u00eas");
  EXPECT_EQ(r.Wordlist_tag_treatment, wltt_only_tagged_words);
  EXPECT_TRUE(r.using_SGML);
  EXPECT_FALSE(r.clear_default_markup);
  EXPECT_TRUE(r.numbers_included);
  EXPECT_EQ(r.ignore_tags[0][0], u'<');
  EXPECT_EQ(r.ignore_tags[1][0], u'>');
  EXPECT_EQ(Z(r.standard_markers.section_start_text.data()), u"<section>");
  EXPECT_FALSE(r.standard_markers.section_start_auto);
  EXPECT_EQ(r.standard_markers.spare[919], 0x42);
  ExpectStandardColours(r.language_info.cores);

  // Saved in the current layout and read back as version 18, it is unchanged.
  const auto img = TextSettingsToBytes(r);
  auto again = StreamOf(Bytes(img.begin(), img.end()));
  TTextsett_rec32 r2;
  ASSERT_TRUE(ReadInTextSettings(again, r2, 18));
  EXPECT_EQ(TextSettingsToBytes(r2), img);
}

TEST(TextSettings, OldLookingRecordOfA32BitVersionIsRereadAsFormat5) {
  // is_32_version set and bytes 73, 74, 84 and 85 zero: an intermediate record, not an old one.
  Bytes img = IntermediateLangImage();
  img.resize(3028, 0);
  img[1045] = 1;                       // using_SGML in place
  Put32(img, 2704, 500);               // max_texts
  PutWide(img, 1276, u"auto");
  auto s = StreamOf(img);
  TTextsett_rec32 r;
  ASSERT_TRUE(ReadInTextSettings(s, r, 1));
  EXPECT_EQ(s.Position(), 3028);
  EXPECT_EQ(r.language_info.lcid, 0x0407u);
  EXPECT_EQ(Z(r.language_info.new_win_font.fontname.data()), u"Arial");
  EXPECT_TRUE(r.using_SGML);
  EXPECT_EQ(r.max_texts, 500);
  EXPECT_TRUE(r.standard_markers.section_start_auto);
}

TEST(TextSettings, FixUpsOnTheCurrentLayout) {
  TTextsett_rec32 rec;
  rec.language_info.cores = {{9, 1, 2, 3}};
  rec.standard_markers.section_start_auto = true;
  const char16_t text[] = u"<div>";
  std::copy(std::begin(text), std::end(text) - 1, rec.standard_markers.section_start_text.begin());
  const auto img = TextSettingsToBytes(rec);
  auto s = StreamOf(Bytes(img.begin(), img.end()));
  TTextsett_rec32 r;
  ASSERT_TRUE(ReadInTextSettings(s, r, 255));
  EXPECT_EQ(r.language_info.lcid, GetUserDefaultLCID());  // zero lcid filled in
  EXPECT_FALSE(r.standard_markers.section_start_auto);    // "<div>" is not automatic
  EXPECT_EQ(r.language_info.cores[cc_text], 9);
  // All 100 units filled with no terminator still reads as a text, not past its end.
  rec.standard_markers.section_start_text.fill(u'x');
  const auto full = TextSettingsToBytes(rec);
  auto f = StreamOf(Bytes(full.begin(), full.end()));
  ASSERT_TRUE(ReadInTextSettings(f, r, 6));
  EXPECT_FALSE(r.standard_markers.section_start_auto);
}

TEST(ChosenFile, CurrentAndOldFormats) {
  Bytes cur(64, 0);
  Put32(cur, 0, static_cast<uint32_t>(-3));
  Put32(cur, 4, 7);
  PutLE64(cur.data() + 8, DoubleBits(45000.5));
  PutLE64(cur.data() + 16, 5'000'000'000ull);
  Put32(cur, 24, 1234);
  cur[28] = 2;  // any non-zero byte is true
  cur[32] = cf_unwanted;
  cur[34] = fc_UTF8;
  Put32(cur, 36, 4);
  Put32(cur, 48, 17);
  Put32(cur, 60, 0xDEADBEEF);  // the old list reference: meaningless
  Bytes old(50, 0);
  Put32(old, 0, 5);
  Put16(old, 4, 0xFFFE);  // -2 as 16 bits
  PutLE64(old.data() + 6, DoubleBits(40000.25));
  Put32(old, 14, 99);
  Put32(old, 18, 12);
  old[22] = 1;
  old[23] = cf_wanted;
  old[25] = fc_ANSI;
  Bytes both = cur;
  both.insert(both.end(), old.begin(), old.end());
  auto s = StreamOf(both);
  TChosenFile_BaseRec a, b;
  ASSERT_TRUE(TChosenFileRecFromStream(s, a));
  EXPECT_EQ(s.Position(), 64);
  EXPECT_EQ(a.FolderIndex, 2);
  EXPECT_EQ(a.Zip_Num, 7);
  EXPECT_EQ(a.Size, 5'000'000'000);
  EXPECT_EQ(a.Words, 1234);
  EXPECT_TRUE(a.encrypted);
  EXPECT_EQ(a.Wanted, cf_unwanted);
  EXPECT_EQ(a.KindOfFile, fc_UTF8);
  EXPECT_EQ(a.version, 4);
  EXPECT_EQ(a.hits, 17);
  EXPECT_DOUBLE_EQ(a.TextualDateAndTime, DateTimeToJulianAddingConst(45000.5));
  EXPECT_EQ(a.jump_to, nullptr);
  ASSERT_TRUE(TChosenFileRecFromStream(s, b));
  EXPECT_EQ(s.Position(), 114);
  EXPECT_EQ(b.FolderIndex, 5);
  EXPECT_EQ(b.Zip_Num, -2);
  EXPECT_DOUBLE_EQ(b.FileDate, 40000.25);
  EXPECT_EQ(b.Size, 99);
  EXPECT_EQ(b.Words, 12);
  EXPECT_TRUE(b.encrypted);
  EXPECT_EQ(b.Wanted, cf_wanted);
  EXPECT_EQ(b.KindOfFile, fc_ANSI);
  EXPECT_DOUBLE_EQ(b.TextualDateAndTime, DateTimeToJulianAddingConst(40000.25));
  EXPECT_NE(b.TextualDateAndTime, 0.0);
}

TEST(ExtraStats, CurrentAndOldFormats) {
  Bytes cur(40, 0);
  PutLE64(cur.data(), 7'000'000'000ull);
  Put32(cur, 8, 3);
  Put32(cur, 12, 2);
  cur[39] = 0x11;
  Bytes old(16, 0);
  Put32(old, 0, static_cast<uint32_t>(-5));
  Put32(old, 4, 4);
  Put32(old, 8, 1);
  Put32(old, 12, 1);
  Bytes both = old;
  both.insert(both.end(), cur.begin(), cur.end());
  auto s = StreamOf(both);
  TFileInfoExtraStatsRec a, b;
  ASSERT_TRUE(ExtraStatsRecFromStream(s, a));
  EXPECT_EQ(s.Position(), 16);
  EXPECT_EQ(a.total_bytes, -5);
  EXPECT_EQ(a.zips_added, 4);
  EXPECT_EQ(a.version, 1);
  ASSERT_TRUE(ExtraStatsRecFromStream(s, b));
  EXPECT_EQ(b.total_bytes, 7'000'000'000);
  EXPECT_EQ(b.zips_added, 3);
  EXPECT_EQ(b.spare[23], 0x11);
}

// Every reader at every version, cut at each length: false, never a crash.
TEST(SettingsReaders, CutRecordsGiveFalse) {
  const Bytes lang = IntermediateLangImage();
  Bytes text = IntermediateLangImage();
  text.resize(3028, 0);
  const Bytes oldText = OldTextSettingsImage();
  Bytes chosen(64, 0);
  Put32(chosen, 0, static_cast<uint32_t>(-1));
  Bytes stats(40, 0);
  Put32(stats, 12, 2);
  const size_t step = 7;  // every seventh length, and every length near the ends
  auto lengths = [&](size_t n) {
    std::vector<size_t> v;
    for (size_t k = 0; k < n; ++k)
      if (k < 70 || k % step == 0 || n - k < 70) v.push_back(k);
    return v;
  };
  for (int32_t version : {0, 5, 6}) {
    for (size_t cut : lengths(version == 0 ? OldLangImage().size() : lang.size())) {
      const Bytes& src = version == 0 ? OldLangImage() : lang;
      auto s = StreamOf(Bytes(src.begin(), src.begin() + static_cast<ptrdiff_t>(cut)));
      Tfixed_lang_details32 r;
      EXPECT_FALSE(Readfixed_lang_details_rec(s, r, version)) << version << " " << cut;
    }
  }
  for (int32_t version : {2, 5, 18}) {
    const Bytes& src = version == 2 ? oldText : text;
    for (size_t cut : lengths(src.size())) {
      auto s = StreamOf(Bytes(src.begin(), src.begin() + static_cast<ptrdiff_t>(cut)));
      TTextsett_rec32 r;
      EXPECT_FALSE(ReadInTextSettings(s, r, version)) << version << " " << cut;
    }
  }
  for (size_t cut = 0; cut < 64; ++cut) {
    auto s = StreamOf(Bytes(chosen.begin(), chosen.begin() + static_cast<ptrdiff_t>(cut)));
    TChosenFile_BaseRec r;
    EXPECT_FALSE(TChosenFileRecFromStream(s, r)) << cut;
  }
  for (size_t cut = 0; cut < 40; ++cut) {
    auto s = StreamOf(Bytes(stats.begin(), stats.begin() + static_cast<ptrdiff_t>(cut)));
    TFileInfoExtraStatsRec r;
    EXPECT_FALSE(ExtraStatsRecFromStream(s, r)) << cut;
  }
}

TEST(SettingsReaders, ShortReadKeepsWhatArrived) {
  const Bytes img = OldLangImage();
  auto s = StreamOf(Bytes(img.begin(), img.begin() + 12));  // up to the end of lcid
  Tfixed_lang_details32 r;
  EXPECT_FALSE(Readfixed_lang_details_rec(s, r, 1));
  EXPECT_TRUE(r.allow_middles_at_right);
  EXPECT_EQ(r.lcid, 0x0416u);
  EXPECT_TRUE(r.nome[0] == 0);
}

TEST(FixedLangDetailsList, CopiesWholeRecords) {
  TFixedLangDetailsList l;
  Tfixed_lang_details32 r;
  r.lcid = 0x0C0A;
  r.nome[0] = u'E';
  l.AddOne(r);
  EXPECT_EQ(l.GetALang(0).lcid, 0x0C0Au);
  EXPECT_EQ(l.GetALang(1).lcid, 0u);
  r.lcid = 1;
  l.SetALang(0, r);
  l.SetALang(5, r);
  EXPECT_EQ(l.GetALang(0).lcid, 1u);
  EXPECT_EQ(l.Count(), 1);
  l.Clear();
  EXPECT_EQ(l.Count(), 0);
}

}  // namespace
}  // namespace kx8
