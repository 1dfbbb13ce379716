// Strings of the run-time layer: UTF-16 and 8-bit string types with the classic helpers on
// 1-based positions, integer conversions and UTF-8/UTF-16 conversion.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace kx8 {

// UTF-16 text: every routine of the library takes and returns these.
using UnicodeString = std::u16string;
// Bytes in the system 8-bit code page (or UTF-8 where a routine says so).
using AnsiString = std::string;

// ---- UTF-8 and UTF-16 ----

// Decodes UTF-8; each malformed sequence becomes U+FFFD, so nothing is silently dropped.
UnicodeString Utf8ToUtf16(std::string_view utf8);
// Encodes UTF-16 as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);
// A file name as the system holds it (bytes, UTF-8 as a rule) in UTF-16, and back. Bytes that are no
// UTF-8 are kept as the lone surrogates U+DC80..U+DCFF, so that every name read from the system, or
// given on a command line, can be handed back to it unchanged.
UnicodeString NativeNameToUtf16(std::string_view bytes);
std::string Utf16ToNativeName(std::u16string_view name);
// Widens bytes one-to-one (Latin-1); for ASCII literals and tests, not for code-page text.
UnicodeString Latin1ToUtf16(std::string_view bytes);

// The number of code units before the first zero unit of a zero-terminated UTF-16 string (null: 0).
// Whole texts are measured this way, so it looks at eight units a time.
size_t WideStrLen(const char16_t* p);

// ---- 1-based position helpers (0 means "not found") ----

// Up to count characters from 1-based index; an index below 1 counts as 1, a copy stops at the end.
UnicodeString Copy(std::u16string_view s, int64_t index, int64_t count);
AnsiString Copy(std::string_view s, int64_t index, int64_t count);
// Everything from 1-based index to the end.
UnicodeString Copy(std::u16string_view s, int64_t index);
AnsiString Copy(std::string_view s, int64_t index);

// 1-based position of sub in s, 0 when absent or when sub is empty.
int32_t Pos(std::u16string_view sub, std::u16string_view s);
int32_t Pos(std::string_view sub, std::string_view s);
// As Pos, starting at 1-based offset; an offset below 1 or past the end gives 0.
int32_t PosEx(std::u16string_view sub, std::u16string_view s, int64_t offset = 1);
int32_t PosEx(std::string_view sub, std::string_view s, int64_t offset = 1);

// Removes count characters at 1-based index; an index outside the string changes nothing.
void Delete(UnicodeString& s, int64_t index, int64_t count);
void Delete(AnsiString& s, int64_t index, int64_t count);
// Inserts source before 1-based index; below 1 inserts at the start, past the end appends.
void Insert(std::u16string_view source, UnicodeString& s, int64_t index);
void Insert(std::string_view source, AnsiString& s, int64_t index);

// Trimming removes every character at or below the space (controls included), as the classic routines do.
UnicodeString Trim(std::u16string_view s);
UnicodeString TrimLeft(std::u16string_view s);
UnicodeString TrimRight(std::u16string_view s);
AnsiString Trim(std::string_view s);
AnsiString TrimLeft(std::string_view s);
AnsiString TrimRight(std::string_view s);

// Count copies of ch.
UnicodeString StringOfChar(char16_t ch, int64_t count);

// ASCII-only case mapping, as the classic UpperCase and LowerCase; locale casing lives in char_classes.h.
UnicodeString UpperCase(std::u16string_view s);
UnicodeString LowerCase(std::u16string_view s);
AnsiString UpperCase(std::string_view s);
AnsiString LowerCase(std::string_view s);

// Ordinal comparison by code unit: negative, 0 or positive.
int32_t CompareStr(std::u16string_view a, std::u16string_view b);
int32_t CompareStr(std::string_view a, std::string_view b);
// Ordinal comparison with ASCII letters folded to upper case.
int32_t CompareText(std::u16string_view a, std::u16string_view b);
int32_t CompareText(std::string_view a, std::string_view b);
bool SameText(std::u16string_view a, std::u16string_view b);
bool SameText(std::string_view a, std::string_view b);

enum TReplaceFlag : uint8_t { rfReplaceAll = 1, rfIgnoreCase = 2 };
// Replaces the first (or every, with rfReplaceAll) occurrence of from; rfIgnoreCase folds ASCII only.
UnicodeString StringReplace(std::u16string_view s, std::u16string_view from, std::u16string_view to,
                            unsigned flags);

// ---- integers ----

UnicodeString IntToStr(int64_t value);
// Upper-case hexadecimal, at least digits wide.
UnicodeString IntToHex(uint64_t value, int digits);

// Reads optional spaces, a sign, then decimal digits or hexadecimal after "$", "0x" or "x".
// Hexadecimal may fill the whole unsigned width (so "$FFFFFFFF" is -1); decimal must fit.
bool TryStrToInt(std::u16string_view s, int32_t& value);
bool TryStrToInt64(std::u16string_view s, int64_t& value);
// As TryStrToInt, raising EConvertError "'%s' is not a valid integer value" on bad text.
int32_t StrToInt(std::u16string_view s);
int64_t StrToInt64(std::u16string_view s);
int32_t StrToIntDef(std::u16string_view s, int32_t fallback);
int64_t StrToInt64Def(std::u16string_view s, int64_t fallback);

}  // namespace kx8
