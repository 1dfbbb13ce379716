// Heap-allocated NUL-terminated strings in both widths (8-bit and UTF-16) and tables of their routines
// indexed by a "wide" flag (false: 8-bit, true: UTF-16), so that code written once serves either width.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "kx8rt/platform/locales.h"
#include "kx8rt/platform/streams.h"

namespace kx8 {

// Flags handed to the locale comparisons below (the platform's comparison flags); 0 at start.
inline uint32_t my_default_sort = 0;
// What the "new" routines copy when given nothing (a nil pointer at start).
inline const char16_t* nowt = nullptr;

// A new copy of p (nil for nil); release it with DeletePAnsichar / DeletePChar.
char* MyNewPAnsichar(const char* p);
char16_t* MyNewPChar(const char16_t* p);
// A new string of the first n characters of p (fewer when p ends sooner); a copy of nowt when p is nil
// or n is 0. The 8-bit form copies nowt in the system code page.
char* CheckedNewLenPAnsichar(const char* p, uint32_t n);
char16_t* CheckedNewLenPchar(const char16_t* p, uint32_t n);
// Releases a string made by the routines of this unit (nil is fine).
void DeletePAnsichar(char* p);
void DeletePChar(char16_t* p);

// Code units before the first NUL (0 for nil).
uint32_t StrLenW(const char16_t* p);
uint32_t StrLenA(const char* p);

// Ordinal comparison: the difference of the first differing units (bytes unsigned); nil reads as "".
int32_t ComparePAnsichar(const char* a, const char* b);
int32_t ComparePchar(const char16_t* a, const char16_t* b);
// The platform's locale comparison under my_default_sort, minus 2: -1, 0 or 1; -2 when it fails
// (a nil string, an unknown locale).
int32_t CompareLCIDPAnsichar(LCID lcid, const char* a, const char* b);
int32_t CompareLCIDPchar(LCID lcid, const char16_t* a, const char16_t* b);
// Ordinal comparison of the words, then of the prefixes, then of the suffixes.
int32_t CompareWdPrefixSuffixPAnsichar(const char* wa, const char* wb, const char* pa, const char* pb,
                                       const char* sa, const char* sb);
int32_t CompareWdPrefixSuffixPchar(const char16_t* wa, const char16_t* wb, const char16_t* pa,
                                   const char16_t* pb, const char16_t* sa, const char16_t* sb);
// The same with the locale comparison.
int32_t CompareLCIDWdPrefixSuffixPAnsichar(LCID lcid, const char* wa, const char* wb, const char* pa,
                                           const char* pb, const char* sa, const char* sb);
int32_t CompareLCIDWdPrefixSuffixPchar(LCID lcid, const char16_t* wa, const char16_t* wb, const char16_t* pa,
                                       const char16_t* pb, const char16_t* sa, const char16_t* sb);
// 0 for a match, 1 otherwise (always 1 when p or q is nil): with any_digit, whether p holds a digit 0-9;
// else with at_start whether p begins with q; else with at_end whether p ends with q; else whether q
// occurs in p. An empty q matches. The locale is not used.
int32_t ComparePosPAnsichar(LCID lcid, const char* p, const char* q, bool any_digit, bool at_end, bool at_start);
int32_t ComparePosPchar(LCID lcid, const char16_t* p, const char16_t* q, bool any_digit, bool at_end,
                        bool at_start);

// Stream forms. UTF-16: a 32-bit length in code units, then the units. 8-bit: a 16-bit length, then the
// bytes; a longer string is refused (false, nothing written), since its length would not fit.
bool WritePAnsicharToStream(TStream& stream, const char* p);
bool WritePCharToStream(TStream& stream, const char16_t* p);
// Read a string in stream form into a new string; a negative length, or one longer than what is left in
// the stream, or a short read raises EReadError "file read error (%d) : %s".
char* ReadPAnsicharFromStream(TStream& stream);
char16_t* ReadPCharFromStream(TStream& stream);

// Width-free shapes of the routines, for the tables (pointers are strings of the table's width).
using TAllocFunct = void* (*)(uint32_t n);  // n characters and a NUL, all zero
using TLengthFunct = uint32_t (*)(const void* p);
using TNewFunct = void* (*)(const void* p);
using TCheckedNewLenFunct = void* (*)(const void* p, uint32_t n);
using TDeleteFunct = void (*)(void* p);
using TComparePosFunct = int32_t (*)(LCID lcid, const void* p, const void* q, bool any_digit, bool at_end,
                                     bool at_start);
using TCompareLCIDFunct = int32_t (*)(LCID lcid, const void* a, const void* b);
using TCompareLCIDWdPrefixSuffix = int32_t (*)(LCID lcid, const void* wa, const void* wb, const void* pa,
                                               const void* pb, const void* sa, const void* sb);
using TCompareWdPrefixSuffix = int32_t (*)(const void* wa, const void* wb, const void* pa, const void* pb,
                                           const void* sa, const void* sb);
using TCompareFunct = int32_t (*)(const void* a, const void* b);
using TStreamReadFunct = void* (*)(TStream& stream);
using TStreamWriteFunct = bool (*)(TStream& stream, const void* p);

// The tables, indexed by the wide flag: [false] 8-bit, [true] UTF-16.
extern const std::array<TAllocFunct, 2> Global_AllocFuncts;
extern const std::array<TLengthFunct, 2> Global_LengthFuncts;
extern const std::array<TNewFunct, 2> Global_NewFuncts;
extern const std::array<TCheckedNewLenFunct, 2> Global_CheckedNewLenFuncts;
extern const std::array<TDeleteFunct, 2> Global_DeleteFuncts;
extern const std::array<TComparePosFunct, 2> Global_ComparePosFuncts;
extern const std::array<TCompareLCIDFunct, 2> Global_CompareLCIDFuncts;
extern const std::array<TCompareLCIDWdPrefixSuffix, 2> Global_CompareLCIDWordPrefixSuffixs;
extern const std::array<TCompareWdPrefixSuffix, 2> Global_CompareWordPrefixSuffixs;
extern const std::array<TCompareFunct, 2> Global_CompareFuncts;
extern const std::array<TStreamReadFunct, 2> Global_StreamReadFuncts;
extern const std::array<TStreamWriteFunct, 2> Global_StreamWriteFuncts;

}  // namespace kx8
