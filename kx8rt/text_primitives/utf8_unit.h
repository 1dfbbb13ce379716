// Byte-order marks and UTF-8: recognising the signatures that start a text, counting and checking UTF-8
// text held in 8-bit strings.
#pragma once

#include <cstdint>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kx8rt/platform/strings.h"

namespace kx8 {

// The forms a text file may take.
enum TTextFileType : uint8_t { tf_UTF16LE, tf_UTF16BE, tf_UTF8, tf_Ansi, tf_ASCII };

// The UTF-8 signature, EF BB BF.
inline constexpr char UTF8_signature[3] = {'\xEF', '\xBB', '\xBF'};

// Continuation bytes that follow each lead byte (0 for 00..BF, 1 for C0..DF ... 5 for FC..FF).
extern const uint8_t UTF8TrailingBytes[256];

// True when the first unit is FF FE (little-endian signature); four bytes must be readable at P.
bool IsUTF16LESigned(const uint8_t* P);
// True when the first unit is FE FF (big-endian signature); four bytes must be readable at P.
bool IsUTF16BESigned(const uint8_t* P);
// True when P starts with EF BB BF (three bytes must be readable).
bool IsUTF8SignatureA(const uint8_t* P);
// True when the zero-terminated UTF-16 buffer holds at least two units and its first three bytes are
// EF BB BF (UTF-8 loaded into a UTF-16 buffer without conversion).
bool IsUTF8SignatureW(const char16_t* P);
// True when the three bytes are the UTF-8 signature.
bool IsUTF8Signature(uint8_t b1, uint8_t b2, uint8_t b3);
// The signature as a three-byte string.
AnsiString UTF8SignatureAsUTF8String();

// Characters in UTF-8 text S; the byte length when S is not well-formed by lead and length (a stray
// continuation byte, FE, FF, or a last character running past the end); 0 for empty S.
int32_t UTF8LengthInChars(std::string_view S);
// Whether S may be taken for UTF-8: true for pure ASCII (IsPureASCII stays true) and, on the strength of
// its first multi-byte character, when that character is well-formed (IsPureASCII false); false when the
// first non-ASCII sequence is malformed or cut off. Yields to the user interface once per byte examined.
bool CheckedUTF(std::string_view S, bool& IsPureASCII);

// How many of the first n bytes at p are 7-bit (sixty-four, then sixteen, at a time).
size_t SevenBitPrefix(const uint8_t* p, size_t n);
// Writes the n bytes at p, each below 0x80, to out as UTF-16 units, one a byte, a zero byte as a space
// (as the decoders read it).
void WidenBytes(const uint8_t* p, size_t n, char16_t* out);
#if defined(__SSE2__)
// The step of WidenBytes and of DecodeUTF8Piece's 7-bit runs: sixteen 7-bit bytes as sixteen units, a
// zero byte as zeroAs.
inline void WidenSixteenBytes(const uint8_t* p, char16_t* out, char16_t zeroAs = u' ') {
  const __m128i zero = _mm_setzero_si128(), zeroWord = _mm_set1_epi16(static_cast<int16_t>(zeroAs));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  __m128i lo = _mm_unpacklo_epi8(b, zero), hi = _mm_unpackhi_epi8(b, zero);
  lo = _mm_or_si128(lo, _mm_and_si128(_mm_cmpeq_epi16(lo, zero), zeroWord));
  hi = _mm_or_si128(hi, _mm_and_si128(_mm_cmpeq_epi16(hi, zero), zeroWord));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), lo);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), hi);
}
#endif
// A full check, for callers that must know: true when every byte of the n at p forms well-formed UTF-8.
// Scans 16 bytes at a time while they are ASCII.
bool IsValidUTF8(const uint8_t* p, size_t n);

// Decodes n bytes of UTF-8 at p into out (room for n units) as Utf8ToUtf16 does: ill-formed bytes become
// one U+FFFD for each maximal bad prefix, and a zero byte becomes zeroAs. Returns the bytes used, which
// stop short of a sequence that the end of the bytes cuts off unless last says nothing follows. strict
// stops at the first ill-formed sequence instead, setting bad: what IsValidUTF8 rejects. nonAscii is set
// on the first byte above 127. Runs of 7-bit bytes go sixteen at a time.
size_t DecodeUTF8Piece(const uint8_t* p, size_t n, bool last, bool strict, char16_t zeroAs, char16_t* out,
                       size_t& made, bool& bad, bool& nonAscii);

}  // namespace kx8
