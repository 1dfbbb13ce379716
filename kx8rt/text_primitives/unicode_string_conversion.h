// Conversions of 8-bit and UTF-8 text into UTF-16 strings, precomposed normalisation, and the decoding
// of characters written by number.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "kx8rt/platform/locales.h"
#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// Len bytes at P in CodePage as UTF-16 (as many units as the conversion gives); empty for a null P,
// a Len below 1 or an unknown code page.
UnicodeString AnsiConvertedToString(int32_t CodePage, const char* P, int32_t Len);
// The zero-terminated P in the 8-bit code page of the locale AnLCID.
UnicodeString AnsiConvertedToString(uint32_t AnLCID, const char* P);
// The zero-terminated P in the system 8-bit code page.
UnicodeString AnsiConvertedToString(const char* P);

// Bytes in the encoding their byte-order mark names (UTF-8 when there is none), mark skipped; when that
// decoding fails, the bytes read as 7-bit ASCII (others become "?"). Empty bytes give an empty string.
UnicodeString ConvertedStringToUnicode(const std::vector<uint8_t>& Bytes);
// The same over the bytes of a UTF-8 string, and of a zero-terminated 8-bit text (null gives empty).
UnicodeString ConvertedStringToUnicode(std::string_view S);
UnicodeString ConvertedStringToUnicode(const char* P);

// The string list with no default encoding forced: loading uses a byte-order mark when there is one and
// the system 8-bit code page otherwise; saving keeps the encoding the list was loaded with.
class TKXPlainStringList : public TStringList {
 public:
  TKXPlainStringList() { SetDefaultEncoding(std::nullopt); }
};

// When List was loaded in an encoding other than UTF-16, its text is turned back into those bytes and
// read again as signed or UTF-8 text; true when such a conversion took place.
bool ConvertedStringlistToUnicode(TStringList& List);

// S with every decomposed sequence replaced by its precomposed character (never longer than S). An
// invalid parameter, short buffer or bad flag raises EOSError; other failures give S unchanged.
UnicodeString EnsurePrecomposed(const UnicodeString& S);

// Decodes in place every "{CHR(n)}" (any case; n decimal or "$" hexadecimal) and then every "#"
// followed by decimal digits into the character of that code (low 16 bits). Returns the code of the
// last character decoded, -1 when none was. Notations whose number does not read stay as they are.
int32_t MyFormatValidNumberStr(UnicodeString& S);

}  // namespace kx8
