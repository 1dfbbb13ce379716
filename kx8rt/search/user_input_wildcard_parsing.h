// The user's search-word notation and the private alphabet it is translated into before a search:
// wildcard symbols, the retain list of quoted literal symbols, tag wildcards and tag on/off marks.
#pragma once

#include <array>
#include <cstdint>

#include "kx8rt/platform/strings.h"

namespace kx8 {

// An asterisk standing alone between spaces: exactly one whole word.
inline const UnicodeString any_word_symbol_char = u" * ";
// The any-string symbol.
inline const UnicodeString any_string_symbol_str = u"}}}";
// A line break at the start or end of a search word.
inline const UnicodeString crlf_symbol_string = u"/\\";

// The private alphabet of a parsed search word (these never occur in ordinary text).
inline constexpr char16_t sw_any_string_mark = 21;  // first character of "}}}"; no meaning to the matcher
inline constexpr char16_t sw_tag_end = 24;          // a closing tag marker in the pattern
inline constexpr char16_t sw_tag_start = 25;        // an opening tag marker: tag characters follow
inline constexpr char16_t sw_one_whole_word = 26;   // the "*" of " * "
inline constexpr char16_t sw_digit_run = 27;        // "#": one or more digits
inline constexpr char16_t sw_any_char = 28;         // "?": any one character
inline constexpr char16_t sw_any_run = 29;          // "*": any run of characters inside one word
inline constexpr char16_t sw_any_letter = 30;       // "^": any one letter
inline constexpr char16_t sw_not = 31;              // "~" inside tags: not

// Wildcards allowed inside tags and their codes.
enum tag_wildcards_type : uint8_t { not_type, any_letter_type, asterisk_type, question_type, hash_type };
enum tag_conversion_type : uint8_t { original_char, replacement_char };
inline constexpr std::array<std::array<char16_t, 2>, 5> tag_wildcards_converters = {{
    {u'~', 31}, {u'^', 30}, {u'*', 29}, {u'?', 28}, {u'#', 27},
}};

// The symbols that stay literal when typed between double quotes, in code order (base + k).
inline constexpr std::array<std::u16string_view, 11> retain_symbols = {
    u"^", u"/", u"*", u"==", u"?", u":\\", u"<", u">", u"#", u"}}}", u"/\\"};
// The base the search-word parser uses, so the retain codes are U+E000..U+E00A.
inline constexpr int32_t retain_code_base = 0xE000;

// Replaces the first character of every occurrence of Sym by Code (the rest of Sym stays); the search
// resumes one position after each occurrence. True when Sym occurred.
bool Parse_Translate(UnicodeString& S, const UnicodeString& Sym, char16_t Code);
// Replaces every occurrence of Quoted by the single character Code (a UTF-16 unit; else EConvertError).
void Parse_RetainOne(UnicodeString& S, int32_t Code, const UnicodeString& Quoted);
// Parse_RetainOne for each retain symbol k in quotes, with code Base + k.
void Parse_Retain(UnicodeString& S, int32_t Base);
// Replaces every character Code by Quoted without its surrounding spaces and double quotes.
void Parse_RestoreOne(UnicodeString& S, int32_t Code, const UnicodeString& Quoted);
// Parse_RestoreOne for the eleven retain symbols.
void Parse_Restore(UnicodeString& S, int32_t Base);
// Converts the first occurrence of each tag wildcard: a quoted one becomes the bare (literal)
// character, an unquoted one its code.
UnicodeString TagWildcardConverted(const UnicodeString& S);
// S with each "<" that has a ">" after it as sw_tag_start and the first ">" after it as sw_tag_end.
UnicodeString CleanToTagOnOff(const UnicodeString& S);

}  // namespace kx8
