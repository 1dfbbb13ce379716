#include "kx8rt/definitions/settings_records.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "kx8rt/containers/stream_fields.h"
#include "kx8rt/dates/juliandateroutines.h"
#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/locales.h"

namespace kx8 {

namespace {

// A bool member may only hold 0 or 1, so stored bytes are normalised before they are copied in.
void NormaliseBools(uint8_t* raw, std::initializer_list<size_t> offsets) {
  for (size_t k : offsets) raw[k] = raw[k] != 0;
}

constexpr std::initializer_list<size_t> kLangBools = {0, 1, 2, 44, 45};
constexpr size_t kTextBase = 1040;

void FixColours(TMyCanvasColourRec& cores) {
  if (cores[cc_text] == cores[cc_background]) cores = BogStandardColours;
}

// The record made from a format-5 language record: only the fields that kept their places, and the
// new font built from the old one.
Tfixed_lang_details32 LangDetFromIntermediate(const uint8_t* raw) {
  const Tfixed_lang_details32 mid = LangDetailsFromBytes(raw);
  Tfixed_lang_details32 r;
  r.allow_middles_at_right = mid.allow_middles_at_right;
  r.allow_middles_at_left = mid.allow_middles_at_left;
  r.is_32_version = mid.is_32_version;
  r.lcid = mid.lcid;
  r.preference = mid.preference;
  r.custom_language = mid.custom_language;
  r.hyphen_breaks_word = mid.hyphen_breaks_word;
  r.win_codepage = mid.win_codepage;
  r.dos_codepage = mid.dos_codepage;
  r.allowable_middle_letters = mid.allowable_middle_letters;
  r.nome = mid.nome;
  r.new_win_font = New_WinFontFromOldWin_Font(mid.old_win_font);
  return r;
}

}  // namespace

bool ReadRecordBytes(TStream& stream, uint8_t* buf, int32_t n) {
  std::memset(buf, 0, static_cast<size_t>(n));
  int32_t got = 0;
  while (got < n) {
    const int32_t r = stream.Read(buf + got, n - got);
    if (r <= 0) break;
    got += r;
  }
  return got == n;
}

std::array<uint8_t, 1040> LangDetailsToBytes(const Tfixed_lang_details32& rec) {
  std::array<uint8_t, 1040> b{};
  std::memcpy(b.data(), &rec, b.size());
  return b;
}

Tfixed_lang_details32 LangDetailsFromBytes(const uint8_t* bytes) {
  uint8_t raw[1040];
  std::memcpy(raw, bytes, sizeof raw);
  NormaliseBools(raw, kLangBools);
  Tfixed_lang_details32 rec;
  std::memcpy(&rec, raw, sizeof raw);
  return rec;
}

Tfixed_lang_details_rec_old OldLangDetailsFromBytes(const uint8_t* bytes) {
  uint8_t raw[632];
  std::memcpy(raw, bytes, sizeof raw);
  NormaliseBools(raw, {0, 1, 2, 48, 49});
  Tfixed_lang_details_rec_old rec;
  std::memcpy(&rec, raw, sizeof raw);
  return rec;
}

std::array<uint8_t, 3028> TextSettingsToBytes(const TTextsett_rec32& rec) {
  std::array<uint8_t, 3028> b{};
  std::memcpy(b.data(), &rec, b.size());
  return b;
}

TTextsett_rec32 TextSettingsFromBytes(const uint8_t* bytes) {
  std::array<uint8_t, 3028> raw;
  std::memcpy(raw.data(), bytes, raw.size());
  NormaliseBools(raw.data(), kLangBools);
  for (size_t k = 1041; k <= 1047; ++k) raw[k] = raw[k] != 0;
  NormaliseBools(raw.data(), {1477, 2713});
  TTextsett_rec32 rec;
  std::memcpy(&rec, raw.data(), raw.size());
  return rec;
}

Tfixed_character_format_rec32 New_WinFontFromOldWin_Font(const Told_fixed_character_format_rec& old) {
  Tfixed_character_format_rec32 f;
  f.charset = old.charset_old;
  f.fontsize = old.fontsize_old;
  const size_t n = std::min<size_t>(old.fontname_old[0], 32);
  for (size_t k = 0; k < n; ++k) f.fontname[k] = static_cast<char16_t>(old.fontname_old[1 + k]);
  return f;
}

Tfixed_lang_details32 LangDetNewFromOld(const Tfixed_lang_details_rec_old& old) {
  Tfixed_lang_details32 r;
  r.allow_middles_at_right = old.allow_middles_at_right;
  r.allow_middles_at_left = old.allow_middles_at_left;
  r.lcid = old.lcid;
  r.old_win_font = old.old_win_font;
  r.preference = old.preference;
  r.custom_language = old.custom_language;
  r.hyphen_breaks_word = old.hyphen_breaks_word;
  r.win_codepage = old.win_codepage;
  r.dos_codepage = old.dos_codepage;
  r.new_win_font = New_WinFontFromOldWin_Font(old.old_win_font);
  // Every byte above the space, the length byte included, becomes one middle character (at most 10
  // fit beside the terminator, and 11 bytes can hold no more than 11, the length byte being small).
  size_t m = 0;
  for (uint8_t b : old.old_allowable_middle_letters)
    if (b > 32 && m < 10) r.allowable_middle_letters[m++] = static_cast<char16_t>(b);
  // The name is converted from the system code page; 50 units and the terminator fit.
  const size_t n = std::min<size_t>(old.nome[0], 31);
  const UnicodeString name = AnsiToUnicode(std::string_view(reinterpret_cast<const char*>(old.nome.data() + 1), n));
  for (size_t k = 0; k < name.size() && k < 50; ++k) r.nome[k] = name[k];
  return r;
}

bool Readfixed_lang_details_rec(TStream& stream, Tfixed_lang_details32& rec, int32_t version) {
  rec = Tfixed_lang_details32{};
  uint8_t raw[1040];
  bool ok = true;
  if (version == 5) {
    ok = ReadRecordBytes(stream, raw, 1040);
    rec = LangDetFromIntermediate(raw);
  } else if (version == 6 || version == 7 || version == 18) {
    ok = ReadRecordBytes(stream, raw, 1040);
    rec = LangDetailsFromBytes(raw);
  } else {
    uint8_t head[3] = {};
    const int32_t got = stream.Read(head, 3);
    if (got > 0) stream.Seek(-got, soCurrent);
    // A short look-ahead still converts what there is, as every short read here does.
    if (head[2] == 0) {
      ok = ReadRecordBytes(stream, raw, 632) && got == 3;
      rec = LangDetNewFromOld(OldLangDetailsFromBytes(raw));
    } else {
      ok = ReadRecordBytes(stream, raw, 1040) && got == 3;
      rec = LangDetFromIntermediate(raw);
    }
  }
  FixColours(rec.cores);
  return ok;
}

bool ReadInTextSettings(TStream& stream, TTextsett_rec32& rec, int32_t version) {
  rec = TTextsett_rec32{};
  std::array<uint8_t, 3028> raw;
  bool ok = true;
  // Format 5: a language record of the intermediate kind, then the rest of the record in place.
  auto readIntermediate = [&] {
    ok = ReadRecordBytes(stream, raw.data(), 1040) && ok;
    const Tfixed_lang_details32 lang = LangDetFromIntermediate(raw.data());
    ok = ReadRecordBytes(stream, raw.data() + kTextBase, 3028 - kTextBase) && ok;
    std::memcpy(raw.data(), &lang, 1040);
    rec = TextSettingsFromBytes(raw.data());
  };
  if (version == 5) {
    readIntermediate();
  } else if (version == 6 || version == 7 || (version >= 18 && version <= 255)) {
    ok = ReadRecordBytes(stream, raw.data(), 3028);
    rec = TextSettingsFromBytes(raw.data());
  } else {
    const int64_t at = stream.Position();
    uint8_t old[2500];
    const bool whole = ReadRecordBytes(stream, old, 2500);
    if (old[2] == 0 || old[73] != 0 || old[74] != 0 || old[84] != 0 || old[85] != 0) {
      ok = whole;
      rec.language_info = LangDetNewFromOld(OldLangDetailsFromBytes(old));
      rec.Wordlist_tag_treatment = static_cast<TTallierTagTreatment>(old[632]);
      rec.using_SGML = old[635] != 0;
      rec.clear_default_markup = old[636] != 0;
      rec.numbers_included = old[637] != 0;
      std::memcpy(rec.ignore_tags.data(), old + 638, 24);
      uint8_t markers[1632];
      std::memcpy(markers, old + 662, 1632);
      markers[405] = markers[405] != 0;
      std::memcpy(&rec.standard_markers, markers, 1632);
    } else {
      stream.SetPosition(at);
      readIntermediate();
    }
  }
  if (rec.language_info.lcid == 0) rec.language_info.lcid = GetUserDefaultLCID();
  FixColours(rec.language_info.cores);
  // The section text counts as automatic when empty or "auto"; it ends at its first zero.
  const auto& t = rec.standard_markers.section_start_text;
  size_t len = 0;
  while (len < t.size() && t[len] != 0) ++len;
  const std::u16string_view text(t.data(), len);
  rec.standard_markers.section_start_auto = text.empty() || text == u"auto";
  return ok;
}

bool TChosenFileRecFromStream(TStream& stream, TChosenFile_BaseRec& rec) {
  rec = TChosenFile_BaseRec{};
  const int64_t at = stream.Position();
  uint8_t raw[64];
  bool ok = ReadRecordBytes(stream, raw, 50);
  const int32_t first = static_cast<int32_t>(GetLE32(raw));
  TChosenFile_StoredRec& s = rec;
  if (first < 0) {
    stream.SetPosition(at);
    ok = ReadRecordBytes(stream, raw, 64);
    NormaliseBools(raw, {28});
    std::memcpy(&s, raw, 64);
    std::memset(s.jump_to_slot.data(), 0, 4);
    // Stored as -(folder + 1); the smallest value has no absolute value and reads as the largest.
    s.FolderIndex = first == INT32_MIN ? INT32_MAX - 1 : -first - 1;
  } else {
    s.FolderIndex = first;
    s.Zip_Num = static_cast<int16_t>(raw[4] | (raw[5] << 8));
    s.FileDate = BitsDouble(GetLE64(raw + 6));
    s.Size = static_cast<int32_t>(GetLE32(raw + 14));
    s.Words = static_cast<int32_t>(GetLE32(raw + 18));
    s.encrypted = raw[22] != 0;
    s.Wanted = static_cast<TFileWantedType>(raw[23]);
    s.KindOfFile = static_cast<TKXFileFormat>(raw[25]);
  }
  if (s.TextualDateAndTime == 0.0) s.TextualDateAndTime = DateTimeToJulianAddingConst(s.FileDate);
  return ok;
}

bool ExtraStatsRecFromStream(TStream& stream, TFileInfoExtraStatsRec& rec) {
  rec = TFileInfoExtraStatsRec{};
  const int64_t at = stream.Position();
  uint8_t raw[40];
  bool ok = ReadRecordBytes(stream, raw, 16);
  if (static_cast<int32_t>(GetLE32(raw + 12)) >= 2) {
    stream.SetPosition(at);
    ok = ReadRecordBytes(stream, raw, 40);
    std::memcpy(&rec, raw, 40);
  } else {
    rec.total_bytes = static_cast<int32_t>(GetLE32(raw));
    rec.zips_added = static_cast<int32_t>(GetLE32(raw + 4));
    rec.version = static_cast<int32_t>(GetLE32(raw + 8));
  }
  return ok;
}

// ---- the list of language records ----


int32_t TFixedLangDetailsList::AddOne(const Tfixed_lang_details32& rec) {
  auto p = std::make_unique<Tfixed_lang_details32>(rec);
  const int32_t i = Add(p.get());
  p.release();
  return i;
}

Tfixed_lang_details32 TFixedLangDetailsList::GetALang(int32_t i) const {
  if (i < 0 || i >= Count()) return Tfixed_lang_details32{};
  return *static_cast<const Tfixed_lang_details32*>(Get(i));
}

void TFixedLangDetailsList::SetALang(int32_t i, const Tfixed_lang_details32& rec) {
  if (i >= 0 && i < Count()) *static_cast<Tfixed_lang_details32*>(Get(i)) = rec;
}



}  // namespace kx8
