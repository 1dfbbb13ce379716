// Fast buffer primitives: scanning, counting, in-place replacing and compacting, comparing and
// checksumming of raw 8-bit ("A") and UTF-16 ("W") character buffers.
//
// Every routine takes a caller-owned buffer and an explicit length in characters (bytes for "A",
// UTF-16 units for "W") unless it says the buffer is zero-terminated. None allocates (except the one
// that returns a new string), none raises; a nil pointer or a length below 1 makes a routine do nothing
// and return its not-found value. Offsets are 0-based unless a 1-based string position is stated.
#pragma once

#include <cstdint>
#include <span>

#include "kx8rt/platform/strings.h"

namespace kx8 {

// ---- searching and positions ----

// First occurrence of Ch among the first Len characters; nil when absent.
const char* FastStrScan(const char* Buffer, char Ch, int32_t Len);
const char16_t* FastStrScanW(const char16_t* Buffer, char16_t Ch, int32_t Len);

// First occurrence of the zero-terminated Pattern in the first TextLen characters of Text; nil when
// either pointer is nil, TextLen < 1, the pattern is empty or longer than the text.
const char* FastStrPos(const char* Text, const char* Pattern, int32_t TextLen);
const char16_t* FastStrPosW(const char16_t* Text, const char16_t* Pattern, int32_t TextLen);

// First position where every text character equals the character at the same index of Pattern1 or of
// Pattern2 (the caller's two case forms of one zero-terminated pattern); nil when a pointer is nil, the
// patterns are empty or differ in length, or the text is shorter than the pattern.
const char* FastStrIPos(const char* Text, const char* Pattern1, const char* Pattern2, int32_t TextLen);
const char16_t* FastStrIPosW(const char16_t* Text, const char16_t* Pattern1, const char16_t* Pattern2,
                             int32_t TextLen);

// Writable-buffer forms of the searches above.
inline char* FastStrScan(char* Buffer, char Ch, int32_t Len) {
  return const_cast<char*>(FastStrScan(static_cast<const char*>(Buffer), Ch, Len));
}
inline char16_t* FastStrScanW(char16_t* Buffer, char16_t Ch, int32_t Len) {
  return const_cast<char16_t*>(FastStrScanW(static_cast<const char16_t*>(Buffer), Ch, Len));
}
inline char* FastStrPos(char* Text, const char* Pattern, int32_t TextLen) {
  return const_cast<char*>(FastStrPos(static_cast<const char*>(Text), Pattern, TextLen));
}
inline char16_t* FastStrPosW(char16_t* Text, const char16_t* Pattern, int32_t TextLen) {
  return const_cast<char16_t*>(FastStrPosW(static_cast<const char16_t*>(Text), Pattern, TextLen));
}
inline char* FastStrIPos(char* Text, const char* Pattern1, const char* Pattern2, int32_t TextLen) {
  return const_cast<char*>(FastStrIPos(static_cast<const char*>(Text), Pattern1, Pattern2, TextLen));
}
inline char16_t* FastStrIPosW(char16_t* Text, const char16_t* Pattern1, const char16_t* Pattern2, int32_t TextLen) {
  return const_cast<char16_t*>(FastStrIPosW(static_cast<const char16_t*>(Text), Pattern1, Pattern2, TextLen));
}

// 1-based index of the first Ch in S at or after 1-based Start (a Start below 1 counts as 1); 0 when
// none or Start lies beyond the end.
int32_t StrScanIndex(std::u16string_view S, char16_t Ch, int32_t Start);

// 0-based index of the first entry equal to Value among Count integers; -1 when none.
int32_t PositionInIntegerArray(int32_t Value, const int32_t* Values, int32_t Count);
// 0-based index of the LAST entry equal to Value (searched from the end); -1 when none or empty.
int32_t PositionInArrayOfInteger(std::span<const int32_t> Values, int32_t Value);
// As PositionInArrayOfInteger on an array ascending by unsigned value. When Value is greater (unsigned)
// than the last entry, returns -1 at once with BeyondEnd True; otherwise BeyondEnd is False. An empty
// array gives -1 and leaves BeyondEnd as it was.
int32_t PositionInAscendingArrayOfInteger(std::span<const int32_t> Values, int32_t Value, bool& BeyondEnd);
// 1-based position of the first entry equal to Value; when it is absent (or Count < 1) Value itself is
// returned, so a caller tells a position from "absent" only by comparing with the value sought.
int32_t ScanForInt(int32_t Value, const int32_t* Values, int32_t Count);
// 1-based position of the first entry greater (unsigned) than Value; 0 when none.
int32_t ScanForIntBigger(int32_t Value, const int32_t* Values, int32_t Count);

// ---- counting ----

// Carriage returns (#13) in the first Len bytes.
int32_t Chr13sInPAnsichar(const char* Buffer, int32_t Len);
// Carriage returns (#13) in the first Len UTF-16 units.
int32_t Chr13sInPChar(const char16_t* Buffer, int32_t Len);
// Occurrences of Ch in the first Len UTF-16 units.
int32_t WideChrsInPChar(const char16_t* Buffer, int32_t Len, char16_t Ch);

// ---- in-place replacement (the buffer keeps its length) ----

// Every Ch becomes a space.
void ReplaceCharacterBySpaceA(char* Buffer, char Ch, int32_t Len);
void ReplaceCharacterBySpaceW(char16_t* Buffer, char16_t Ch, int32_t Len);
// Every From becomes To (two entry points, one behaviour).
void ReplaceChar1ByChar2(char16_t* Buffer, char16_t From, char16_t To, int32_t Len);
void ReplaceChar1ByChar2W(char16_t* Buffer, char16_t From, char16_t To, int32_t Len);
// Every character below 0x20 becomes a space (bytes compared unsigned).
void ReplaceControlCharsBySpaceA(char* Buffer, int32_t Len);
void ReplaceControlCharsBySpaceW(char16_t* Buffer, int32_t Len);
// Every #13 becomes a space, and so does a #10 directly after it; a lone #10 stays.
void ReplaceCarriageReturnsBySpaceA(char* Buffer, int32_t Len);
void ReplaceCarriageReturnsBySpaceW(char16_t* Buffer, int32_t Len);
// Every tab (#9) becomes a space.
void ReplaceTabsBySpace(char* Buffer, int32_t Len);
// Count bytes / UTF-16 units set to space; nothing when Count < 1.
void BlankOutSomeBytesA(char* Buffer, int32_t Count);
void BlankOutSomeBytesW(char16_t* Buffer, int32_t Count);
// Count UTF-16 units set to 0; nothing when Count < 1.
void ZeroSomeBytesW(char16_t* Buffer, int32_t Count);
// ByteCount div 2 UTF-16 units set to Ch.
void FillWChar(char16_t* Buffer, int32_t ByteCount, char16_t Ch);
// Exchanges the two bytes of every unit before the zero terminator.
void StrSwapByteOrder(char16_t* P);
// Rotates a buffer holding a string of Len1 units followed by one of Len2 units so that the second comes
// first, moving each unit once along its cycle; a buffer whose first unit is 0 is left untouched.
void Swap2Strings(char16_t* Buffer, int32_t Len1, int32_t Len2);
// Overwrites in place each occurrence of the first FindLen units of Find by the zero-terminated Replace;
// returns the number of occurrences replaced. (Overlaps and short replacements: see the definition.)
int32_t SearchAndReplaceFastW(char16_t* Text, const char16_t* Find, const char16_t* Replace, int32_t TextLen,
                              int32_t FindLen);

// ---- compacting (the buffer shrinks) ----
// The routines that "write a terminating 0" write it at the new end when the buffer did shrink; a
// buffer that kept its length is not written past its last character. Each returns the new length.

// Deletes every Ch; terminating 0.
int32_t RemoveCharA(char* Buffer, char Ch, int32_t Len);
int32_t RemoveCharW(char16_t* Buffer, char16_t Ch, int32_t Len);
// Reduces every run of two or more consecutive CR LF pairs to one pair; terminating 0 when shortened.
int32_t CutDoubleCRLFsW(char16_t* Buffer, int32_t Len);
// Deletes every #10 byte and returns the new length; writes no terminator.
int32_t LengthConvertedToUnix(char* Buffer, int32_t Len);
// Reduces every run of spaces (U+0020) to one space; terminating 0; returns the new length in units.
int32_t RemoveRedundantSpaceW(char16_t* Buffer, int32_t Len);
// Deletes every stretch from an Open character through the next Close character; an Open with no Close
// after it is deleted alone. Terminating 0.
int32_t ClearBetweenChars(char* Buffer, char Open, char Close, int32_t Len);
// As ClearBetweenChars, the Close sought only within MaxSpan characters counted from the Open (which
// counts); a found stretch is deleted (Remove) or overwritten with as many spaces. Terminating 0.
int32_t CleanBetweenChars(char* Buffer, char Open, char Close, int32_t Len, int32_t MaxSpan, bool Remove);
// S with every tab replaced by exactly N spaces (no tab stops); a negative N counts as 0.
UnicodeString ExpandTabbedWideString(std::u16string_view S, int32_t N);

// ---- comparing ----

// True when the first Len units are equal; True for Len < 1, False when a pointer is nil otherwise.
bool EqualContentsA(const char* P1, const char* P2, int32_t Len);
bool EqualContentsW(const char16_t* P1, const char16_t* P2, int32_t Len);
// Units left after the first differing unit among the first Len; 0 when all are equal or the first
// difference is the last unit.
int32_t HowFarEqualContentsA(const char* P1, const char* P2, int32_t Len);
int32_t HowFarEqualContentsW(const char16_t* P1, const char16_t* P2, int32_t Len);

// ---- checksums and signatures ----

// Sum of Count little-endian 16-bit units modulo 65536.
uint16_t My2Checksum(const void* P, int32_t Count);
// Sum of the ByteCount div 4 little-endian 32-bit words modulo 2^32; 0 when ByteCount < 4.
uint32_t My4Checksum(const void* P, int32_t ByteCount);
// P when its first 16-bit unit read little-endian is 0xFFFE (a big-endian byte-order mark), else nil.
const void* UnicodeByteReversed(const void* P);
// P when its first 16-bit unit read little-endian is 0xFEFF or 0xFFFE, else nil.
const void* UnicodeSigned(const void* P);

}  // namespace kx8
