#include "kx8rt/text_primitives/utf8_unit.h"

#include <cstring>

#include "kx8rt/platform/yield.h"

namespace kx8 {

namespace {

constexpr uint8_t TrailingFor(int b) {
  return b < 0xC0 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : b < 0xF8 ? 3 : b < 0xFC ? 4 : 5;
}

struct TrailingTable {
  uint8_t v[256];
  constexpr TrailingTable() : v() {
    for (int b = 0; b < 256; ++b) v[b] = TrailingFor(b);
  }
};

constexpr TrailingTable kTrailing;

// Checks one sequence of n bytes (lead included) by the well-formedness table of UTF-8.
bool SequenceOK(const uint8_t* s, size_t n) {
  if (n < 1 || n > 4) return false;
  const uint8_t b0 = s[0];
  if (n == 1) return b0 < 0x80;
  if (b0 < 0xC2 || b0 > 0xF4) return false;
  const uint8_t b1 = s[1];
  uint8_t lo = 0x80, hi = 0xBF;
  if (b0 == 0xE0) lo = 0xA0;
  else if (b0 == 0xED) hi = 0x9F;  // surrogates are not characters
  else if (b0 == 0xF0) lo = 0x90;
  else if (b0 == 0xF4) hi = 0x8F;
  if (b1 < lo || b1 > hi) return false;
  for (size_t i = 2; i < n; ++i)
    if (s[i] < 0x80 || s[i] > 0xBF) return false;
  return true;
}

}  // namespace

const uint8_t UTF8TrailingBytes[256] = {
#define KX8_ROW(b) TrailingFor(b), TrailingFor(b + 1), TrailingFor(b + 2), TrailingFor(b + 3), \
                   TrailingFor(b + 4), TrailingFor(b + 5), TrailingFor(b + 6), TrailingFor(b + 7)
    KX8_ROW(0),   KX8_ROW(8),   KX8_ROW(16),  KX8_ROW(24),  KX8_ROW(32),  KX8_ROW(40),  KX8_ROW(48),  KX8_ROW(56),
    KX8_ROW(64),  KX8_ROW(72),  KX8_ROW(80),  KX8_ROW(88),  KX8_ROW(96),  KX8_ROW(104), KX8_ROW(112), KX8_ROW(120),
    KX8_ROW(128), KX8_ROW(136), KX8_ROW(144), KX8_ROW(152), KX8_ROW(160), KX8_ROW(168), KX8_ROW(176), KX8_ROW(184),
    KX8_ROW(192), KX8_ROW(200), KX8_ROW(208), KX8_ROW(216), KX8_ROW(224), KX8_ROW(232), KX8_ROW(240), KX8_ROW(248),
#undef KX8_ROW
};

bool IsUTF16LESigned(const uint8_t* P) { return P && P[0] == 0xFF && P[1] == 0xFE; }

bool IsUTF16BESigned(const uint8_t* P) { return P && P[0] == 0xFE && P[1] == 0xFF; }

bool IsUTF8SignatureA(const uint8_t* P) { return P && IsUTF8Signature(P[0], P[1], P[2]); }

bool IsUTF8SignatureW(const char16_t* P) {
  if (!P || P[0] == 0 || P[1] == 0) return false;
  // Bytes 0-2 of the buffer: both bytes of the first unit and the low byte of the second.
  return (P[0] & 0xFF) == 0xEF && (P[0] >> 8) == 0xBB && (P[1] & 0xFF) == 0xBF;
}

bool IsUTF8Signature(uint8_t b1, uint8_t b2, uint8_t b3) { return b1 == 0xEF && b2 == 0xBB && b3 == 0xBF; }

AnsiString UTF8SignatureAsUTF8String() { return AnsiString(UTF8_signature, 3); }

int32_t UTF8LengthInChars(std::string_view S) {
  const auto* p = reinterpret_cast<const uint8_t*>(S.data());
  const size_t n = S.size();
  int32_t chars = 0;
  size_t i = 0;
  while (i < n) {
    const uint8_t b = p[i];
    size_t len;
    if (b < 0x80) len = 1;
    else if ((b & 0xE0) == 0xC0) len = 2;
    else if ((b & 0xF0) == 0xE0) len = 3;
    else if ((b & 0xF8) == 0xF0) len = 4;
    else if ((b & 0xFC) == 0xF8) len = 5;
    else if ((b & 0xFE) == 0xFC) len = 6;
    else return static_cast<int32_t>(n);  // continuation byte where a lead belongs, FE or FF
    if (i + len > n) return static_cast<int32_t>(n);
    i += len;
    ++chars;
  }
  return chars;
}

bool CheckedUTF(std::string_view S, bool& IsPureASCII) {
  IsPureASCII = true;
  const auto* p = reinterpret_cast<const uint8_t*>(S.data());
  const size_t n = S.size();
  for (size_t i = 0; i < n; ++i) {
    MyYieldProcess();
    const size_t t = UTF8TrailingBytes[p[i]];
    if (i + t >= n) return false;
    if (!SequenceOK(p + i, t + 1)) return false;
    if (t > 0) {
      IsPureASCII = false;
      return true;
    }
  }
  return true;
}

bool IsValidUTF8(const uint8_t* p, size_t n) {
  size_t i = 0;
  while (i < n) {
    if (i + 16 <= n) {
      uint64_t a, b;
      std::memcpy(&a, p + i, 8);
      std::memcpy(&b, p + i + 8, 8);
      if (((a | b) & 0x8080808080808080ULL) == 0) {
        i += 16;
        continue;
      }
    }
    const uint8_t c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    const size_t t = kTrailing.v[c];
    if (t > 3 || i + t >= n || !SequenceOK(p + i, t + 1)) return false;
    i += t + 1;
  }
  return true;
}

}  // namespace kx8
