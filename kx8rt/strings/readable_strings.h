// Readable string encoding: the "{CHR(n)}" and "#" notation for characters that cannot be typed,
// fixed-width code strings, code-page conversion to 8-bit text, the shared zero-terminated copy
// buffers, line-end normalisation and small quoting helpers.
#pragma once

#include <cstdint>

#include "kx8rt/platform/locales.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// Signal characters that mark a hexadecimal "#" code, and the hexadecimal digits it may use.
inline constexpr char16_t HexSignalStr[] = u"Xx$Hh";
inline constexpr char16_t HexCharactersStr[] = u"0123456789ABCDEFabcdef";

// CR LF as 8-bit text.
inline const AnsiString Ansicrlf{"\r\n"};

// Shared buffers for handing a string to an interface that wants zero-terminated text: at most 255
// characters and a terminating zero. Each fill overwrites the previous one; one thread only.
inline char copyA[256];
inline char16_t copyW[256];

// Decodes the readable notation: brace forms "{CHR(9)}", "{CHR($41)}", "{CHR(x41)}", "{CHR(41h)}"
// first, then "#" forms ("#x41;", "#$41", "#65"). Undecodable text is left as it stands.
UnicodeString KXFormattedReadableStringToWorkString(const UnicodeString& s);

// Encodes every character whose code is below limit as "{CHR(code)}"; limit 32 covers the controls.
UnicodeString KXFormattedWorkStringToReadableString(const UnicodeString& s, int32_t limit);

// Brings a brace code ("x41", "41h", "65") into the form StrToInt reads ("$41", "$41", "65").
UnicodeString BracedNumberStrToDigitalformat(const UnicodeString& t);

// Each character as upper-case hexadecimal (at least two digits) followed by ",": "AB" -> "41,42,".
UnicodeString ToHexNumStr(const UnicodeString& s);
// Reads back ToHexNumStr's text for codes below 256; a pair that is not hexadecimal is skipped.
UnicodeString FromHexNumStr(const UnicodeString& t);
// Each character as exactly four upper-case hexadecimal digits: "A" -> "0041".
UnicodeString ToNumStr(const UnicodeString& s);
// Reads four-digit groups back; bad groups are skipped, a short trailing group is ignored.
UnicodeString FromNumStr(const UnicodeString& t);

// c as one UTF-16 unit, or "?" when c does not fit in 16 bits.
char16_t WideCharFromCardinal(uint32_t c);
// The same as a one-character string.
UnicodeString WideStringFromCardinal(uint32_t c);

// text (up to its zero) converted to codePage into at most as many bytes as it has UTF-16 units;
// a conversion needing more bytes is cut at the last whole character that fits. Empty for null text
// or a code page that cannot convert.
AnsiString ConvertedFromString(int32_t codePage, const char16_t* text);
// The same with the locale's default 8-bit code page (the system code page for a locale that has none).
AnsiString ConvertedFromString(LCID locale, const UnicodeString& text);
// The same with the system 8-bit code page.
AnsiString ConvertedFromString(const UnicodeString& text);

// Copies at most 255 bytes of s, zero-terminated, into copyA and returns copyA.
char* GetCopyOfAnsiEncodedAsAnsi(const AnsiString& s, uint32_t ignored);
// Copies at most 255 units of s, zero-terminated, into copyW and returns copyW.
char16_t* GetCopyOfSTringEncodedASUnicode(const UnicodeString& s, uint32_t ignored);
// Converts s to the locale's 8-bit code page and copies at most 255 bytes into copyA; returns copyA.
char* GetCopyOfSTringEncodedAsAnsi(const UnicodeString& s, LCID locale);

// Makes every line break CR LF (a lone LF or a lone CR); count receives the number of breaks mended.
// A CR at the very end stays alone.
UnicodeString UnixStringToWindowsStringW(int32_t& count, const UnicodeString& s);
AnsiString UnixStringToWindowsString(int32_t& count, const AnsiString& s);

// s trimmed of leading and trailing spaces and controls, inside double quotes.
UnicodeString DoubleQuotesAdded(const UnicodeString& s);
// s trimmed of leading and trailing spaces and controls, with every double quote removed.
UnicodeString DoubleQuotesRemoved(const UnicodeString& s);
// s with every space replaced by "_".
UnicodeString UnderscoredStr(const UnicodeString& s);
// The number right after the first "[" (0 when there is no "["); EConvertError when no digits follow.
int32_t IntegerInsideSquareBrackets(const UnicodeString& s);

}  // namespace kx8
