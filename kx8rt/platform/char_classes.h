// Character-type classification with the classic type-1 bits, Unicode categories, case mapping and
// precomposed normalisation, on ICU.
// (Declarations agreed first so that the text primitives can be written against them; the
// implementation lives in char_classes.cpp.)
#pragma once

#include <cstdint>
#include <string_view>

#include "kx8rt/platform/locales.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// Type-1 classes, as the classic service reports them.
inline constexpr uint16_t C1_UPPER = 0x0001;
inline constexpr uint16_t C1_LOWER = 0x0002;
inline constexpr uint16_t C1_DIGIT = 0x0004;
inline constexpr uint16_t C1_SPACE = 0x0008;
inline constexpr uint16_t C1_PUNCT = 0x0010;
inline constexpr uint16_t C1_CNTRL = 0x0020;
inline constexpr uint16_t C1_BLANK = 0x0040;
inline constexpr uint16_t C1_XDIGIT = 0x0080;
inline constexpr uint16_t C1_ALPHA = 0x0100;
inline constexpr uint16_t C1_DEFINED = 0x0200;

// Information types of GetStringTypeEx*; only type 1 is provided.
inline constexpr uint32_t CT_CTYPE1 = 0x0001;

// Fills charType[0..cchSrc) with the type-1 word of each UTF-16 unit of src under Locale.
// False (nothing written) for a null pointer, cchSrc < 1, another info type or an unknown locale.
bool GetStringTypeExW(LCID Locale, uint32_t dwInfoType, const char16_t* src, int32_t cchSrc, uint16_t* charType);
// As GetStringTypeExW for 8-bit text, each byte read through the locale's 8-bit code page.
bool GetStringTypeExA(LCID Locale, uint32_t dwInfoType, const char* src, int32_t cchSrc, uint16_t* charType);

// The type-1 word of one code point, as GetStringTypeExW reports it. The rules, where the classic
// service and a plain reading of Unicode could differ:
// - letters of every script (L*) are alpha; Lu and characters with the Uppercase property are upper,
//   Ll and those with the Lowercase property lower (so U+00AA and U+00BA are lower), Lt is upper;
// - letter numbers (Nl, Roman numerals) are alpha, cased like letters;
// - combining marks (Mn, Mc, Me) are alpha, so that a word never breaks inside a combining sequence
//   (a decomposed e + U+0301, a Devanagari conjunct with its virama);
// - decimal digits of every script (Nd) are digit; other numbers (No) are punctuation, and digit too
//   when they have a digit value (superscript two); hex digit is 0-9, A-F, a-f and their full-width forms;
// - punctuation (P*) and symbols (S*) are punctuation;
// - space separators (Zs, U+0020 and U+00A0 among them) are space and blank; line and paragraph
//   separators space; TAB is space, blank and control; LF, VT, FF, CR and U+0085 space and control;
// - other controls (Cc) and format characters (Cf: U+200B-U+200F, U+FEFF...) are control, except the
//   soft hyphen U+00AD, which is punctuation; U+200C and U+200D are thus control here (the character-
//   class routines re-type them for word finding);
// - private-use characters, and surrogates that form a pair, are defined (a pair takes the type of its
//   supplementary character on both units); a lone surrogate and unassigned code points are 0.
uint16_t CharType1(char32_t c);
// The same, worked out for c alone from its properties (the first plane's table, which CharType1 reads,
// is made a range of characters at a time): slower; for checks.
uint16_t CharType1Of(char32_t c);

// ---- Unicode general categories (in the order of their two-letter names) ----
enum TUnicodeCategory : uint8_t {
  ucControl,             // Cc
  ucFormat,              // Cf
  ucUnassigned,          // Cn
  ucPrivateUse,          // Co
  ucSurrogate,           // Cs
  ucLowercaseLetter,     // Ll
  ucModifierLetter,      // Lm
  ucOtherLetter,         // Lo
  ucTitlecaseLetter,     // Lt
  ucUppercaseLetter,     // Lu
  ucCombiningMark,       // Mc
  ucEnclosingMark,       // Me
  ucNonSpacingMark,      // Mn
  ucDecimalNumber,       // Nd
  ucLetterNumber,        // Nl
  ucOtherNumber,         // No
  ucConnectPunctuation,  // Pc
  ucDashPunctuation,     // Pd
  ucClosePunctuation,    // Pe
  ucFinalPunctuation,    // Pf
  ucInitialPunctuation,  // Pi
  ucOtherPunctuation,    // Po
  ucOpenPunctuation,     // Ps
  ucCurrencySymbol,      // Sc
  ucModifierSymbol,      // Sk
  ucMathSymbol,          // Sm
  ucOtherSymbol,         // So
  ucLineSeparator,       // Zl
  ucParagraphSeparator,  // Zp
  ucSpaceSeparator       // Zs
};

// The general category of a code point (a lone surrogate unit is ucSurrogate; beyond U+10FFFF, ucUnassigned).
TUnicodeCategory GetUnicodeCategory(char32_t c);

// The runtime's character tests, by general category: letter L*; digit Nd; upper Lu; lower Ll;
// punctuation P*; symbol S*; number N*; control Cc; separator Z*; white space is the Unicode
// White_Space property (TAB to CR, U+0085, U+00A0 and the Z* spaces).
bool IsLetter(char32_t c);
bool IsDigit(char32_t c);
bool IsLetterOrDigit(char32_t c);
bool IsUpper(char32_t c);
bool IsLower(char32_t c);
bool IsWhiteSpace(char32_t c);
bool IsPunctuation(char32_t c);
bool IsSymbol(char32_t c);
bool IsNumber(char32_t c);
bool IsControl(char32_t c);
bool IsSeparator(char32_t c);

// Simple (one-to-one) case mapping of a code point; characters without a mapping come back unchanged.
char32_t ToUpper(char32_t c);
char32_t ToLower(char32_t c);
char32_t ToTitle(char32_t c);
// Simple (one-to-one) case folding of a code point; characters without a folding come back unchanged.
char32_t FoldCase(char32_t c);

// The most members a case closure has (the Greek iota, theta and the Cyrillic te have four).
inline constexpr int32_t max_case_closure = 4;
// The code points that differ from c only in case, c first: what is reached from c by the simple upper,
// lower, title case and folding and by case-insensitive equality, over and over (σ ς Σ; ß ẞ; ǅ ǆ Ǆ;
// k K and the Kelvin sign). The set is closed under those mappings, so a text that is upper-cased or
// folded keeps its characters inside it. At most capacity are written; returns how many.
int32_t CaseClosureOf(char32_t c, char32_t* members, int32_t capacity);
// Simple case mapping of a string, locale-independent; the result has as many UTF-16 units as s
// (so the German sharp s stays as it is in upper case).
UnicodeString ToUpper(std::u16string_view s);
// Full Unicode upper-casing, locale-independent: one unit may become several (sharp s gives SS).
UnicodeString FullUpperCase(std::u16string_view s);
UnicodeString ToLower(std::u16string_view s);

// Upper- or lower-cases len units in place with the default locale's linguistic casing; returns len
// (0 for a null buffer).
uint32_t CharUpperBuffW(char16_t* buf, uint32_t len);
uint32_t CharLowerBuffW(char16_t* buf, uint32_t len);

// ---- normalisation ----

// Flags of FoldStringW.
inline constexpr uint32_t MAP_FOLDCZONE = 0x0010;         // compatibility-zone characters (U+F900 up) to their plain forms
inline constexpr uint32_t MAP_PRECOMPOSED = 0x0020;       // compose (NFC), never lengthening the text
inline constexpr uint32_t MAP_COMPOSITE = 0x0040;         // decompose (NFD)
inline constexpr uint32_t MAP_FOLDDIGITS = 0x0080;        // digits of every script to 0-9
inline constexpr uint32_t MAP_EXPAND_LIGATURES = 0x2000;  // ligatures (ae, oe, fi, ss...) to their letters

// The classic folding call: maps cchSrc units (-1: up to and with the NUL) into dst and returns the
// units written, or with cchDest 0 the size needed. 0 on failure, with the last platform error:
// ERROR_INVALID_PARAMETER (null or empty source, source and destination the same), ERROR_INVALID_FLAGS
// (no flag, an unknown one, or MAP_PRECOMPOSED, MAP_COMPOSITE and MAP_EXPAND_LIGATURES combined),
// ERROR_INSUFFICIENT_BUFFER. Lone surrogates pass through unchanged.
int32_t FoldStringW(uint32_t dwMapFlags, const char16_t* src, int32_t cchSrc, char16_t* dst, int32_t cchDest);

enum NORM_FORM : int32_t { NormalizationOther = 0, NormalizationC = 1, NormalizationD = 2, NormalizationKC = 5, NormalizationKD = 6 };

// The classic normalising call: as FoldStringW in its length rules; on failure it returns a value
// of at most 0: minus the 1-based position of a lone surrogate (ERROR_NO_UNICODE_TRANSLATION), minus the size
// needed (ERROR_INSUFFICIENT_BUFFER), or 0 (ERROR_INVALID_PARAMETER for an unknown form or bad buffers).
// An empty source gives 0 with ERROR_SUCCESS.
int32_t NormalizeString(NORM_FORM NormForm, const char16_t* src, int32_t cwSrcLength, char16_t* dst,
                        int32_t cwDstLength);
// True when the text is already in the form; false also on a lone surrogate (ERROR_NO_UNICODE_TRANSLATION).
bool IsNormalizedString(NORM_FORM NormForm, const char16_t* src, int32_t cwLength);
// NFC of s; text with a lone surrogate comes back unchanged.
UnicodeString NormalizedNFC(std::u16string_view s);

}  // namespace kx8
