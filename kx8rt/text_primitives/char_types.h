// Character-type words: one 16-bit word per buffer character, holding the platform's type-1 classes plus
// the tag and segment-marker flags the calling tool sets; filling them for a buffer and the library's
// adjustments (zero-width joiners, word-internal middle characters, separators inside numbers); the
// small 8-bit case tables and the buffer routines that use them.
#pragma once

#include <cstdint>
#include <string_view>

#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/locales.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// ---- the character-type word ----
// The low bits are the type-1 classes C1_UPPER .. C1_DEFINED of char_classes.h.

// The character lies inside a markup tag.
inline constexpr uint16_t tag_char_flag = 0x0800;
// The character carries a text-segment marker whose code (a Ttext_segments value) is in the low 11 bits.
inline constexpr uint16_t segment_marker_flag = 0x8000;
// Set on a letter where a word begins inside a run of letters: the words of scripts written without
// spaces (Chinese, Japanese, Thai, Lao, Khmer, Myanmar), as word segmentation finds them.
inline constexpr uint16_t word_start_flag = 0x0400;
inline constexpr uint16_t segment_marker_code_mask = 0x07FF;

// Space, control or blank.
inline constexpr uint16_t whitespace_mask = C1_SPACE | C1_CNTRL | C1_BLANK;
// Whitespace or punctuation.
inline constexpr uint16_t separator_mask = whitespace_mask | C1_PUNCT;
// Letter or digit.
inline constexpr uint16_t word_char_mask = C1_ALPHA | C1_DIGIT;
// Inside a tag or a segment marker.
inline constexpr uint16_t tag_or_marker_mask = tag_char_flag | segment_marker_flag;

// The exact words the adjustments write.
inline constexpr uint16_t defined_char_type = C1_DEFINED;                          // neither letter nor separator
inline constexpr uint16_t defined_letter_type = C1_DEFINED | C1_ALPHA;             // a letter
inline constexpr uint16_t defined_lower_letter_type = C1_DEFINED | C1_ALPHA | C1_LOWER;
inline constexpr uint16_t defined_digit_type = C1_DEFINED | C1_DIGIT;

static_assert(whitespace_mask == 0x0068 && separator_mask == 0x0078 && word_char_mask == 0x0104 &&
              tag_or_marker_mask == 0x8800);
static_assert(defined_letter_type == 0x0300 && defined_lower_letter_type == 0x0302 && defined_digit_type == 0x0204);

// Segment-marker codes, in start/end pairs.
enum Ttext_segments : uint8_t {
  ts_sentence_start = 14,
  ts_sentence_end = 15,
  ts_paragraph_start = 16,
  ts_paragraph_end = 17,
  ts_heading_start = 18,
  ts_heading_end = 19,
  ts_section_start = 20,
  ts_section_end = 21,
};
inline constexpr Ttext_segments ts_first_segment_marker = ts_sentence_start;
inline constexpr Ttext_segments ts_last_segment_marker = ts_section_end;

// The type word of a character carrying the given marker.
constexpr uint16_t SegmentMarkerType(Ttext_segments Segment) { return segment_marker_flag | Segment; }
// True when the type word carries a segment marker.
constexpr bool IsSegmentMarker(uint16_t Type) { return (Type & segment_marker_flag) != 0; }
// The marker code of a marker-carrying type word.
constexpr uint16_t SegmentMarkerCode(uint16_t Type) { return Type & segment_marker_code_mask; }

// ---- filling and adjusting a type array ----

// Fills Types for Length characters of Buffer (UTF-16 when IsUnicode, else 8-bit) with the platform's
// classification of InfoType (CT_CTYPE1) under Locale. Types must hold Length + 2 entries: the two after
// the last character are set to 0, and an empty buffer is never handed to the platform. True on success;
// on failure (nil Types or Buffer, a negative length, a platform refusal) the array holds zeros.
bool GetStringTypeExNT2000(bool IsUnicode, LCID Locale, uint32_t InfoType, const void* Buffer, int32_t Length,
                           uint16_t* Types);

// 7-bit text held as bytes, one a character, written out as UTF-16 into Text and classified into Types
// as GetStringTypeExNT2000 classifies it (CT_CTYPE1; the two entries after the last set to 0), in one
// pass. A zero byte is written, and classified, as a space, as the text decoders read it.
void WidenAndTypeSevenBit(const uint8_t* Bytes, int32_t Length, char16_t* Text, uint16_t* Types);

// Every U+200D (zero width joiner) among the first Len characters gets exactly defined_char_type.
void SetZeroWidthJoinersToDefined(const char16_t* Text, uint16_t* Types, int32_t Len);
// Every U+200C (zero width non-joiner) among the first Len characters gets exactly defined_letter_type.
void SetZeroWidthNonJoinersToDefinedAlpha(const char16_t* Text, uint16_t* Types, int32_t Len);

// Reclassifies word-internal "middle" characters (an apostrophe, say) as letters, or as digits beside a
// digit, when a letter or digit lies on each side (tag characters skipped over); a side whose Allow flag
// is set is not looked at. Uses the first CountOfMiddleChars characters of MiddleChars; the buffer is
// UTF-16 when IsUnicode, else 8-bit in the system code page.
void HandleMiddleChars(const void* Buffer, uint16_t* Types, std::u16string_view MiddleChars,
                       uint16_t CountOfMiddleChars, int32_t Len, bool IsUnicode, bool AllowMiddlesAtRight,
                       bool AllowMiddlesAtLeft);

// Makes a middle dot, '.', ',' (and a space when SpaceIsSeparator) between two digits a digit, so that
// "3,000.5" is one run of digits.
// The one middle character at i of a buffer of len type words, judged as HandleMiddleChars judges each:
// made a letter (or digit) when the looked-at sides have letters or digits. For callers that find the
// middle characters themselves, in the order HandleMiddleChars would take them.
void HandleMiddleCharAt(uint16_t* Types, int64_t i, int64_t Len, bool AllowMiddlesAtRight, bool AllowMiddlesAtLeft);

void HandleMiddleCharsInNumbers(bool IsUnicode, bool SpaceIsSeparator, const void* Buffer, uint16_t* Types,
                                int32_t Len);

// ---- 8-bit case tables ----

// A length-prefixed 8-bit string of at most 128 characters (one length byte, then the characters), as
// stored in the language settings. Position k of a lower-case table and of its upper-case partner form a
// pair; only characters above 'z' are looked up in them.
struct TANSILower_or_upperStr {
  uint8_t length = 0;
  char chars[128] = {};

  // The characters; a stored length above 128 is read as 128.
  std::string_view View() const { return {chars, length > 128 ? size_t{128} : size_t{length}}; }
  // Replaces the contents with s, cut to 128 characters.
  void Assign(std::string_view s);
};
static_assert(sizeof(TANSILower_or_upperStr) == 129);

// Builds the lower/upper pairs of the characters above 'z' of an 8-bit code page (CP_ACP: the system
// one): each lower-case letter whose upper-case form exists in the code page, in byte order.
void MakeANSICaseTables(uint32_t CodePage, TANSILower_or_upperStr& Lowers, TANSILower_or_upperStr& Uppers);

// Blanks out, in place, every word that has no capital: letters before a word's first capital become
// spaces ('a'..'z' arithmetically, characters above 'z' through Lowers/Uppers); a character at or below
// the space ends a word.
void CutLowercaseWords(char* Buffer, const TANSILower_or_upperStr& Lowers, const TANSILower_or_upperStr& Uppers,
                       int32_t Len);
// Upper-cases in place: 'a'..'z' arithmetically, characters above 'z' through the Lowers/Uppers pairs.
void CapitaliseABuffer(char* Buffer, const TANSILower_or_upperStr& Lowers, const TANSILower_or_upperStr& Uppers,
                       int32_t Len);

// ---- small tests ----

// True when a digit '0'..'9' occurs before the zero terminator (False for nil).
bool ContainsADigitA(const char* P);
bool ContainsADigitW(const char16_t* P);
// True exactly for #27, the parsed form of the '#' (number) wildcard.
constexpr bool IsHashSymbol(char16_t Ch) { return Ch == 27; }
// True for '#' and '{'.
constexpr bool IsHashOrBrace(char16_t Ch) { return Ch == u'#' || Ch == u'{'; }

}  // namespace kx8
