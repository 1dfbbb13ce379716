// Stored language and text settings records and two small per-file records, in their current layouts,
// with readers that take any stored format version from a stream and return the current layout.
// Layouts are little-endian with the byte offsets asserted below; Boolean bytes read from a stream
// become true for any non-zero byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "kx8rt/definitions/text_structure.h"
#include "kx8rt/files/file_utils.h"
#include "kx8rt/platform/datetime.h"
#include "kx8rt/platform/object_list.h"
#include "kx8rt/platform/streams.h"
#include "kx8rt/containers/search_types.h"
#include "kx8rt/text_primitives/char_types.h"

namespace kx8 {

// A font as the 16-bit versions stored it: charset, size and a short string of up to 32 characters.
struct Told_fixed_character_format_rec {
  uint8_t charset_old = 0;
  uint8_t fontsize_old = 0;
  std::array<uint8_t, 33> fontname_old{};  // length byte, then the characters
};
static_assert(sizeof(Told_fixed_character_format_rec) == 35);

// A font as stored now: charset, size and up to 100 UTF-16 units with a terminating zero.
struct Tfixed_character_format_rec32 {
  uint8_t charset = 0;
  uint8_t fontsize = 0;
  std::array<char16_t, 101> fontname{};
};
static_assert(sizeof(Tfixed_character_format_rec32) == 204);

enum Tlang_preference : uint8_t { lang_nao_instalada, lang_instalada, lang_rank_2, lang_a_preferida };

// One language's details; 1040 bytes.
struct Tfixed_lang_details32 {
  bool allow_middles_at_right = false;  // a middle character may end a word
  bool allow_middles_at_left = false;   // a middle character may begin a word
  bool is_32_version = false;           // written by a 32-bit version
  uint8_t align1 = 0;
  uint32_t lcid = 0;
  Told_fixed_character_format_rec old_win_font;
  Tlang_preference preference = lang_nao_instalada;
  bool custom_language = false;
  bool hyphen_breaks_word = false;  // a hyphen separates words
  uint16_t win_codepage = 0;
  uint16_t dos_codepage = 0;
  std::array<char16_t, 11> allowable_middle_letters{};  // word-internal characters, zero-terminated
  TANSILower_or_upperStr spare_ANSI_lowers;
  TANSILower_or_upperStr spare_ANSI_uppers;
  Tfixed_character_format_rec32 new_win_font;
  std::array<uint8_t, 2> align2{};
  int32_t spare_custom_sort_string_number = 0;
  std::array<uint8_t, 4> spare_Bools{};
  TMyCanvasColourRec cores;
  int32_t language_number = 0;
  int32_t spare_hits = 0;
  std::array<uint8_t, 12> spare_ints{};
  std::array<uint8_t, 356> spare{};
  std::array<char16_t, 51> nome{};  // the language's name, zero-terminated
  std::array<uint8_t, 2> align3{};
};
static_assert(sizeof(Tfixed_lang_details32) == 1040);
static_assert(offsetof(Tfixed_lang_details32, lcid) == 4 && offsetof(Tfixed_lang_details32, old_win_font) == 8 &&
              offsetof(Tfixed_lang_details32, preference) == 43 && offsetof(Tfixed_lang_details32, custom_language) == 44 &&
              offsetof(Tfixed_lang_details32, hyphen_breaks_word) == 45 &&
              offsetof(Tfixed_lang_details32, win_codepage) == 46 && offsetof(Tfixed_lang_details32, dos_codepage) == 48 &&
              offsetof(Tfixed_lang_details32, allowable_middle_letters) == 50 &&
              offsetof(Tfixed_lang_details32, spare_ANSI_lowers) == 72 &&
              offsetof(Tfixed_lang_details32, spare_ANSI_uppers) == 201 &&
              offsetof(Tfixed_lang_details32, new_win_font) == 330 &&
              offsetof(Tfixed_lang_details32, spare_custom_sort_string_number) == 536 &&
              offsetof(Tfixed_lang_details32, spare_Bools) == 540 && offsetof(Tfixed_lang_details32, cores) == 544 &&
              offsetof(Tfixed_lang_details32, language_number) == 560 && offsetof(Tfixed_lang_details32, spare_hits) == 564 &&
              offsetof(Tfixed_lang_details32, spare_ints) == 568 && offsetof(Tfixed_lang_details32, spare) == 580 &&
              offsetof(Tfixed_lang_details32, nome) == 936);

// The 16-bit-era language record; 632 bytes.
struct Tfixed_lang_details_rec_old {
  bool allow_middles_at_right = false;
  bool allow_middles_at_left = false;
  bool is_32_version = false;
  uint8_t spare = 0;
  int32_t spare2 = 0;
  uint32_t lcid = 0;
  Told_fixed_character_format_rec old_win_font;
  Tlang_preference preference = lang_nao_instalada;
  bool custom_language = false;
  bool hyphen_breaks_word = false;
  uint16_t win_codepage = 0;
  uint16_t dos_codepage = 0;
  std::array<uint8_t, 21> spare_currency{};
  std::array<uint8_t, 11> old_allowable_middle_letters{};  // length byte and up to 10 characters
  std::array<char16_t, 11> allowable_middle_letters{};
  std::array<uint8_t, 234> spare_st{};
  TANSILower_or_upperStr ANSI_lowers;
  TANSILower_or_upperStr ANSI_uppers;
  std::array<uint8_t, 32> nome{};  // length byte and up to 31 characters
};
static_assert(sizeof(Tfixed_lang_details_rec_old) == 632);
static_assert(offsetof(Tfixed_lang_details_rec_old, lcid) == 8 && offsetof(Tfixed_lang_details_rec_old, old_win_font) == 12 &&
              offsetof(Tfixed_lang_details_rec_old, preference) == 47 &&
              offsetof(Tfixed_lang_details_rec_old, win_codepage) == 50 &&
              offsetof(Tfixed_lang_details_rec_old, spare_currency) == 54 &&
              offsetof(Tfixed_lang_details_rec_old, old_allowable_middle_letters) == 75 &&
              offsetof(Tfixed_lang_details_rec_old, allowable_middle_letters) == 86 &&
              offsetof(Tfixed_lang_details_rec_old, spare_st) == 108 &&
              offsetof(Tfixed_lang_details_rec_old, ANSI_lowers) == 342 &&
              offsetof(Tfixed_lang_details_rec_old, ANSI_uppers) == 471 && offsetof(Tfixed_lang_details_rec_old, nome) == 600);

// The markers of sentences, paragraphs, headings and sections; 1632 bytes. Stored records fix only the
// section text at byte 204 and its flag at byte 405 (record offsets 1276 and 1477); every other field
// and offset here is this library's choice. Texts are zero-terminated UTF-16. section_start_text fills
// its 100 units with no room for a terminator, as stored records do: a reader stops at the first zero
// or after 100 units. section_start_auto says that sections are found automatically:
// section_start_text empty or "auto".
struct Tstandard_text_markers {
  std::array<char16_t, 51> sentence_end_markers{};  // 0
  std::array<char16_t, 51> paragraph_markers{};     // 102
  std::array<char16_t, 100> section_start_text{};   // 204
  uint8_t spare_b = 0;                              // 404
  bool section_start_auto = false;                  // 405
  std::array<char16_t, 51> heading_start{};         // 406
  std::array<char16_t, 51> heading_end{};           // 508
  std::array<char16_t, 51> section_end_markers{};   // 610
  std::array<uint8_t, 920> spare{};                 // 712
};
static_assert(sizeof(Tstandard_text_markers) == 1632);
static_assert(offsetof(Tstandard_text_markers, section_start_text) == 204 &&
              offsetof(Tstandard_text_markers, section_start_auto) == 405 &&
              offsetof(Tstandard_text_markers, spare) == 712);

enum TTallierTagTreatment : uint8_t { wltt_exclude_tags, wltt_include_tags, wltt_exclude_words, wltt_only_tagged_words };
enum TTallierTagVisibility : uint8_t { wltd_no_tags, wltd_tags_as_prefix, wltd_tags_as_suffix, wltd_only_tags };

// How the concordancer treats tags; 20 bytes.
struct TKwickerTagHandlingRec {
  uint8_t treatment = 0;
  bool allow_hits_in_tagged_text = false;
  std::array<uint8_t, 18> reserved{};
};
static_assert(sizeof(TKwickerTagHandlingRec) == 20);

// A text's conventions; 3028 bytes.
struct TTextsett_rec32 {
  Tfixed_lang_details32 language_info;
  TTallierTagTreatment Wordlist_tag_treatment = wltt_exclude_tags;
  bool Language_Requires_Unicode = false;
  bool RequirePrecomposedCharacters = false;
  bool handle_International_System_of_Units_numbers = false;  // a space may separate digit groups
  bool spare5 = false;
  bool using_SGML = false;
  bool clear_default_markup = false;
  bool numbers_included = false;
  TIgnore_tag ignore_tags{};
  Tstandard_text_markers standard_markers;
  int32_t max_texts = 0;
  TTallierTagVisibility tag_visibility = wltd_no_tags;
  std::array<uint8_t, 3> align{};
  TKwickerTagHandlingRec Kwicker_tag_Handling;
  std::array<uint8_t, 4> switches{};
  std::array<uint8_t, 292> spare{};
};
static_assert(sizeof(TTextsett_rec32) == 3028);
static_assert(offsetof(TTextsett_rec32, Wordlist_tag_treatment) == 1040 && offsetof(TTextsett_rec32, using_SGML) == 1045 &&
              offsetof(TTextsett_rec32, numbers_included) == 1047 && offsetof(TTextsett_rec32, ignore_tags) == 1048 &&
              offsetof(TTextsett_rec32, standard_markers) == 1072 && offsetof(TTextsett_rec32, max_texts) == 2704 &&
              offsetof(TTextsett_rec32, tag_visibility) == 2708 &&
              offsetof(TTextsett_rec32, Kwicker_tag_Handling) == 2712 && offsetof(TTextsett_rec32, switches) == 2732 &&
              offsetof(TTextsett_rec32, spare) == 2736);
// The record offsets the reader fixes up: the section text and its "automatic" flag.
static_assert(offsetof(TTextsett_rec32, standard_markers) + offsetof(Tstandard_text_markers, section_start_text) == 1276);
static_assert(offsetof(TTextsett_rec32, standard_markers) + offsetof(Tstandard_text_markers, section_start_auto) == 1477);

enum TFileWantedType : uint8_t { cf_unsure, cf_wanted, cf_unwanted };

// The stored part of a chosen text file's record: its first 64 bytes.
struct TChosenFile_StoredRec {
  int32_t FolderIndex = 0;
  int32_t Zip_Num = 0;
  TDateTime FileDate = 0;
  int64_t Size = 0;
  int32_t Words = 0;
  bool encrypted = false;
  uint8_t spare_B = 0;
  std::array<uint8_t, 2> align1{};
  TFileWantedType Wanted = cf_unsure;
  TKXFileFormat Spare_Kind{};
  TKXFileFormat KindOfFile{};
  uint8_t align2 = 0;
  int32_t version = 0;
  double TextualDateAndTime = 0;  // the file's date as a Julian value
  int32_t hits = 0;
  std::array<uint8_t, 8> spare{};
  std::array<uint8_t, 4> jump_to_slot{};  // where older builds kept a list reference; meaningless on disk
};
static_assert(sizeof(TChosenFile_StoredRec) == 64);
static_assert(offsetof(TChosenFile_StoredRec, FileDate) == 8 && offsetof(TChosenFile_StoredRec, Size) == 16 &&
              offsetof(TChosenFile_StoredRec, Words) == 24 && offsetof(TChosenFile_StoredRec, encrypted) == 28 &&
              offsetof(TChosenFile_StoredRec, Wanted) == 32 && offsetof(TChosenFile_StoredRec, Spare_Kind) == 33 &&
              offsetof(TChosenFile_StoredRec, KindOfFile) == 34 && offsetof(TChosenFile_StoredRec, version) == 36 &&
              offsetof(TChosenFile_StoredRec, TextualDateAndTime) == 40 && offsetof(TChosenFile_StoredRec, hits) == 48 &&
              offsetof(TChosenFile_StoredRec, spare) == 52);

// One chosen text file: the stored part, then what lives only in memory.
struct TChosenFile_BaseRec : TChosenFile_StoredRec {
  std::shared_ptr<TList> jump_to;  // owned list of integers; the readers leave it empty
  UnicodeString ShortFileName;
};

// Extra statistics of a file; 40 bytes.
struct TFileInfoExtraStatsRec {
  int64_t total_bytes = 0;
  int32_t zips_added = 0;
  int32_t version = 0;
  std::array<uint8_t, 24> spare{};
};
static_assert(sizeof(TFileInfoExtraStatsRec) == 40);
static_assert(offsetof(TFileInfoExtraStatsRec, zips_added) == 8 && offsetof(TFileInfoExtraStatsRec, version) == 12);

// The bytes of a record as stored, and a record from stored bytes (Booleans normalised).
std::array<uint8_t, 1040> LangDetailsToBytes(const Tfixed_lang_details32& rec);
Tfixed_lang_details32 LangDetailsFromBytes(const uint8_t* bytes);
Tfixed_lang_details_rec_old OldLangDetailsFromBytes(const uint8_t* bytes);
std::array<uint8_t, 3028> TextSettingsToBytes(const TTextsett_rec32& rec);
TTextsett_rec32 TextSettingsFromBytes(const uint8_t* bytes);

// The current font record from a 16-bit-era one: charset and size copied, the name widened unit by unit.
Tfixed_character_format_rec32 New_WinFontFromOldWin_Font(const Told_fixed_character_format_rec& old);
// The current language record from a 16-bit-era one (see the field-by-field copy in the source).
Tfixed_lang_details32 LangDetNewFromOld(const Tfixed_lang_details_rec_old& old);

// Reads up to n bytes into buf, which is zeroed first, so that a short read leaves zeros after what
// arrived; true when all n arrived. Stream errors propagate.
bool ReadRecordBytes(TStream& stream, uint8_t* buf, int32_t n);

// Reads a language record stored by format version; true when every read delivered all its bytes.
bool Readfixed_lang_details_rec(TStream& stream, Tfixed_lang_details32& rec, int32_t version);
// Reads a text-settings record stored by format version; true when every read was whole.
bool ReadInTextSettings(TStream& stream, TTextsett_rec32& rec, int32_t version);
// Reads a chosen-file record of the current (64-byte) or old (50-byte) format.
bool TChosenFileRecFromStream(TStream& stream, TChosenFile_BaseRec& rec);
// Reads an extra-statistics record of the current (40-byte) or old (16-byte) format.
bool ExtraStatsRecFromStream(TStream& stream, TFileInfoExtraStatsRec& rec);

// A list of language records, each copied whole.
class TFixedLangDetailsList : public TOwningList<Tfixed_lang_details32, TList> {
 public:
  TFixedLangDetailsList() = default;
  TFixedLangDetailsList(const TFixedLangDetailsList&) = delete;
  TFixedLangDetailsList& operator=(const TFixedLangDetailsList&) = delete;
  // Appends a copy of rec; returns its index.
  int32_t AddOne(const Tfixed_lang_details32& rec);
  // Record i; all zero outside the list.
  Tfixed_lang_details32 GetALang(int32_t i) const;
  // Replaces record i; ignored outside the list.
  void SetALang(int32_t i, const Tfixed_lang_details32& rec);
};

}  // namespace kx8

// The tools' own settings records (concordance, mutual-information and key-word settings, grid
// headings, per-text statistics), read by the same pattern of version tests and field copies.
#include "kx8rt/definitions/settings_records_further.h"
