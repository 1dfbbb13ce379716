// Text cleaning and case: space stripping and trimming, title casing, output case, case-insensitive
// positions, character stripping, reversal and file-name cleaning. Search relies on their exact rules.
#pragma once

#include <cstdint>
#include <string_view>

#include "kx8rt/platform/locales.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// How a tool shows words in its results.
enum TOutput_results_case : uint8_t { upper_case_output, title_case_output, lower_case_output, as_it_comes_output };

// Characters that may not stand in a file name made from a word; AcceptableFilename replaces them.
inline constexpr std::u16string_view InvalidFilenameChars = u"\"'*./:<>?\\|";

// s with every run of two or more spaces (U+0020 only) reduced to one; tabs and other white space stay.
UnicodeString StrippedDoubleSpaces(const UnicodeString& s);

// s without leading and trailing Unicode white space; other control characters stay.
UnicodeString WideTrimSpaceOnly(const UnicodeString& s);

// s lower-cased with the first letter of each word (or of the first word only) upper-cased; a letter
// counts as first when it starts s or follows a space or control character.
UnicodeString TitleCasedString(const UnicodeString& s, bool firstOnly);
// Only the first word capitalised.
UnicodeString TitleCasedString(const UnicodeString& s);

// s in the case a tool's output asks for (title case capitalises every word).
UnicodeString OutputConvertedStr(TOutput_results_case outputCase, const UnicodeString& s);

// Lower- or upper-cases a zero-terminated buffer in place with the locale's linguistic casing, one
// character for one; isUnicode says whether it holds UTF-16 or 8-bit text in the locale's code page.
// Returns the buffer (null for a null buffer).
void* WinLowerCased(LCID locale, void* buffer, bool isUnicode);
void* WinUpperCased(LCID locale, void* buffer, bool isUnicode);
// Upper-cases the buffer as WinUpperCased does; returns the characters mapped, terminating zero
// included, or 0 when the buffer is null or the text cannot be mapped in place.
int32_t Capitalise(LCID locale, void* buffer, bool isUnicode);

// Position (1-based) of sub in s upper-cased; sub must already be upper case. 0 when absent.
int32_t CaseInsensitiveUpperedPos(const UnicodeString& sub, const UnicodeString& s);
// Position of sub in s ignoring case.
int32_t CaseInsensitivePos(const UnicodeString& sub, const UnicodeString& s);
// As CaseInsensitiveUpperedPos, searching from 1-based offset.
int32_t CaseInsensitiveUpperedPosEx(const UnicodeString& sub, const UnicodeString& s, int32_t offset);

// s without any occurrence of c.
UnicodeString StrippedOfChar(const UnicodeString& s, char16_t c);
// s without commas.
UnicodeString StrippedOfCommas(const UnicodeString& s);

// s with its UTF-16 units in reverse order.
UnicodeString BackwardsStr(const UnicodeString& s);

// s fit to be a file name: "<" becomes "(", ">" becomes ")", every other InvalidFilenameChars
// character (the dot too) becomes "_".
UnicodeString AcceptableFilename(const UnicodeString& s);

}  // namespace kx8
