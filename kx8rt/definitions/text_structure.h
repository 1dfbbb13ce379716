// Text-structure vocabulary: marker bits on a type number, the byte positions where named sections of
// a text begin, runs of characters shown in another colour or typeface, and small string and record
// collections that the tools save into their list files after the signature header.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

#include "kx8rt/containers/base_lists.h"
#include "kx8rt/containers/sortablelists.h"
#include "kx8rt/platform/colors.h"
#include "kx8rt/platform/object_list.h"
#include "kx8rt/platform/sets.h"
#include "kx8rt/platform/streams.h"
#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

static_assert(std::endian::native == std::endian::little, "stored records are copied whole, little-endian");

// ---- marker bits on a type (token) number ----

inline constexpr uint32_t kTypeRecTextEnd = 0x80000000u;      // the token ends a text
inline constexpr uint32_t kTypeRecParaHeadEnd = 0x40000000u;  // ends a paragraph or heading
inline constexpr uint32_t kTypeRecSentEnd = 0x20000000u;      // ends a sentence
inline constexpr uint32_t kTypeRecPunctEnd = 0x10000000u;     // is followed by punctuation
inline constexpr uint32_t kTypeRecMarkers = 0xF0000000u;

constexpr bool TypeRecIsTextEnd(uint32_t w) { return (w & kTypeRecTextEnd) != 0; }
constexpr bool TypeRecIsParaHeadEnd(uint32_t w) { return (w & kTypeRecParaHeadEnd) != 0; }
constexpr bool TypeRecIsSentEnd(uint32_t w) { return (w & kTypeRecSentEnd) != 0; }
constexpr bool TypeRecIsPunctEnd(uint32_t w) { return (w & kTypeRecPunctEnd) != 0; }
// None of the four markers is set.
constexpr bool TypeRecIsUnmarked(uint32_t w) { return (w & kTypeRecMarkers) == 0; }
// The type number alone: all four marker bits cleared, not only the text-end one.
constexpr uint32_t TypeRecWithoutTextMarker(uint32_t w) { return w & ~kTypeRecMarkers; }

// ---- section starts ----

// One named section start: its byte offset in the text file and its name or tag.
struct TSectionTagRec {
  int32_t start_byte_position = 0;
  UnicodeString w;
};

// An object holding a private copy of one section start.
class TSectionStartHolder : public TObject {
 public:
  explicit TSectionStartHolder(const TSectionTagRec& rec) : data(rec) {}
  TSectionTagRec data;
};

// -1, 0 or 1 as a's start lies before, at or after b's (items are TSectionStartHolder pointers).
int SortSectionTags(void* a, void* b);

// An ordered, owning list of section starts, streamed as a 32-bit count and (position, string) pairs.
class TSectionStartsList : public TOwningList<TSectionStartHolder, TList> {
 public:
  TSectionStartsList() = default;
  TSectionStartsList(const TSectionStartsList&) = delete;
  TSectionStartsList& operator=(const TSectionStartsList&) = delete;

  // Appends a copy of rec; returns its index.
  int32_t AddOne(const TSectionTagRec& rec);
  // Section i; for an index outside the list an empty name and start_byte_position -1.
  TSectionTagRec GetASection(int32_t i) const;
  // Orders the sections by start (SortSectionTags).
  void SortOnStarts() { Sort(SortSectionTags); }
  // Count, then each start and name; false after a failed write.
  bool SaveToStream(TStream& stream) const;
  // Appends the sections of a stream; false at the first short read, keeping those read before it.
  bool ReadFromStream(TStream& stream);
  // The signature header (current tool, lt_sections_list), then the stream; the file is created or
  // emptied, and an error creating it propagates.
  bool SaveToFile(const UnicodeString& name) const;
  // True only when the header is this tool's and the stream reads whole; an error opening propagates.
  bool ReadFromFile(const UnicodeString& name);
  // The section that holds byte_pos: the last holder from first_index on whose start does not exceed
  // byte_pos, scanning a list in ascending start order (as SortOnStarts leaves it) and stopping at the
  // first start beyond byte_pos. Returns (name, index), or ("", 0) when none does. The tools ask
  // "which section am I in?", which a condition on the previous start alone cannot answer.
  std::pair<UnicodeString, int32_t> SectionFromBytePosition(int32_t first_index, int32_t byte_pos) const;

 private:
  const TSectionStartHolder* Holder(int32_t i) const;
};

// ---- colours and typefaces ----

enum TMyCanvasColourTypes : uint8_t { cc_text, cc_selected_text, cc_background, cc_selected_background };
// Four colours in the order of TMyCanvasColourTypes; 16 bytes.
struct TMyCanvasColourRec {
  std::array<TColor, 4> colours{};
  TColor& operator[](TMyCanvasColourTypes t) { return colours[t]; }
  TColor operator[](TMyCanvasColourTypes t) const { return colours[t]; }
};
static_assert(sizeof(TMyCanvasColourRec) == 16);

// The standard colours: black on white, selection white on dark blue (colours are 0x00BBGGRR).
inline constexpr TMyCanvasColourRec BogStandardColours{{0x000000, 0xFFFFFF, 0xFFFFFF, 0x660000}};

enum Ttypeface : uint8_t { tf_bold, tf_italics, tf_underline, tf_strikeout };
using Ttypeface_Set = TSet<Ttypeface, 4>;
static_assert(sizeof(Ttypeface_Set) == 1);

// What a font run is for.
enum TExtraFontCategory : uint8_t {
  efc_tag,
  efc_context_word,
  efc_colloc_highlight,
  efc_centre_word,
  efc_sort1,
  efc_sort2,
  efc_sort3,
  efc_unknown
};

// A run of characters in other colours or typefaces, as the oldest streams stored it; 28 bytes.
struct TExtraFontRecOld {
  int32_t switch_on_at_char = 0;   // where the run starts
  int32_t switch_off_at_char = 0;  // where it ends; negative: to the end of the text
  TMyCanvasColourRec colour_rec;
  Ttypeface_Set spare_typefaces;
  std::array<uint8_t, 3> align{};
};
static_assert(sizeof(TExtraFontRecOld) == 28);
static_assert(offsetof(TExtraFontRecOld, colour_rec) == 8 && offsetof(TExtraFontRecOld, spare_typefaces) == 24);

// A font run as streamed now; 72 bytes.
struct TExtraFontRec {
  TExtraFontRecOld basics;
  bool spare_Colour_word_ends_only = false;
  bool default_colours = false;
  TExtraFontCategory applies_to = efc_tag;
  Ttypeface_Set default_typeface;
  Ttypeface_Set highlight_typeface;
  bool spare_determined = false;
  std::array<uint8_t, 2> align{};
  std::array<uint8_t, 36> spareInts{};  // reserved, written as found
};
static_assert(sizeof(TExtraFontRec) == 72);
static_assert(offsetof(TExtraFontRec, spare_Colour_word_ends_only) == 28 && offsetof(TExtraFontRec, applies_to) == 30 &&
              offsetof(TExtraFontRec, default_typeface) == 31 && offsetof(TExtraFontRec, highlight_typeface) == 32 &&
              offsetof(TExtraFontRec, spare_determined) == 33 && offsetof(TExtraFontRec, spareInts) == 36);

// The 72 bytes of a record, and a record from 72 (or, old, 28) bytes; Booleans read as any non-zero byte.
std::array<uint8_t, 72> ExtraFontRecToBytes(const TExtraFontRec& rec);
TExtraFontRec ExtraFontRecFromBytes(const uint8_t* bytes, bool old28);

// An entry of TExtraFontList.
class TExtraFontHolder : public TObject {
 public:
  explicit TExtraFontHolder(const TExtraFontRec& rec) : data(rec) {}
  TExtraFontRec data;
};

// The font runs of a text, sortable on their start or their category, with the record version of
// the stream they came from.
class TExtraFontList : public TOwningList<TExtraFontHolder, T3SortYieldingList> {
 public:
  TExtraFontList() = default;
  TExtraFontList(const TExtraFontList&) = delete;
  TExtraFontList& operator=(const TExtraFontList&) = delete;

  // Frees every holder; the typeface flag is cleared.
  void Clear() override;
  // Appends a holder of rec; returns its index.
  int32_t AddOne(const TExtraFontRec& rec);
  // Record i, all zero outside the list.
  TExtraFontRec GetAFontFrec(int32_t i) const;
  // Replaces record i; ignored outside the list.
  void SetAFontFrec(int32_t i, const TExtraFontRec& rec);
  // First record starting at pos (in a sorted list the scan stops past pos); -1 when none.
  int32_t IndexOfStart(int32_t pos) const;
  // First record starting in [from, to] and ending there too or running to the end; -1 when none.
  int32_t IndexOfStartAndEnd(int32_t from, int32_t to) const;
  int32_t GetEFVersion() const { return fEFVersion; }
  void SetEFVersion(int32_t v) { fEFVersion = v; }
  // True once a record with a default or highlight typeface was added, set or read.
  bool HasTypefaces() const { return fHasTypefaces; }
  // Sorts on switch_on_at_char (selector 0) ascending.
  void SortOnStartpoints();
  // Raises EFVersion to at least 3, then writes the count, EFVersion and every 72-byte record.
  bool XSaveToStream(TStream& stream, int32_t file_version);
  // Appends the records of a stream from a file of file_version (below 20: no version field and the
  // 28-byte records of version 0); false at the first short read, keeping the records read before it.
  bool XReadFromStream(TStream& stream, int32_t file_version);

  // The sort key of item: switch_on_at_char for selector 0, applies_to for 1 and above.
  void SetBase(void* item, int32_t sort_var) override;
  // item's key against the base's, as signed 32-bit integers.
  int32_t Compare(void* item) const;

 private:
  TExtraFontHolder* Holder(int32_t i) const;
  int32_t KeyOf(const TExtraFontHolder* h) const;
  void NoteTypefaces(const TExtraFontRec& rec);
  int32_t fEFVersion = 0;
  bool fHasTypefaces = false;
  int32_t fBaseKey = 0;
  int32_t fSortVar = 0;
};

// ---- string and record collections ----

// A string list that saves itself into a stream: the negated count, then each string (string stream
// form); it reads that form and the older one of a non-negative count and 8-bit short strings.
class TMyStreamableStringlist : public TStringList {
 public:
  using TStringList::TStringList;
  using TStringList::SaveToStream;
  using TStringList::LoadFromStream;
  // False after a failed write.
  bool SaveToStream(TStream& stream);
  // Clears the list and reads it back; false at the first short read, keeping the strings read.
  bool ReadFromStream(TStream& stream);
};

// An object holding one set of canvas colours.
class TColoursHolder : public TObject {
 public:
  TColoursHolder() = default;
  explicit TColoursHolder(const TMyCanvasColourRec& rec) : data(rec) {}
  TMyCanvasColourRec data;
};

}  // namespace kx8
