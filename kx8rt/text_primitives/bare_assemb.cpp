#include "kx8rt/text_primitives/bare_assemb.h"
#include "kx8rt/platform/little_endian.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kx8 {
namespace {

template <class T>
int64_t PatternLength(const T* p) {
  return static_cast<int64_t>(std::char_traits<T>::length(p));
}

#if defined(__SSE2__)
// One 16-byte block of code units: broadcast and equality for 8-bit and 16-bit units.
template <class T>
inline __m128i Broadcast(T ch) {
  if constexpr (sizeof(T) == 1) return _mm_set1_epi8(static_cast<char>(ch));
  else return _mm_set1_epi16(static_cast<short>(ch));
}
template <class T>
inline __m128i Equal(__m128i a, __m128i b) {
  if constexpr (sizeof(T) == 1) return _mm_cmpeq_epi8(a, b);
  else return _mm_cmpeq_epi16(a, b);
}
inline __m128i Load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
#endif

// Candidate test of both case forms at one pattern index.
template <class T>
inline bool EitherEquals(T t, const T* p1, const T* p2, int64_t k) {
  return t == p1[k] || t == p2[k];
}

template <class T>
const T* ScanFor(const T* buf, T ch, int64_t len) {
  int64_t i = 0;
#if defined(__SSE2__)
  constexpr int64_t lanes = 16 / sizeof(T);
  const __m128i c = Broadcast<T>(ch);
  for (; i + 2 * lanes <= len; i += 2 * lanes) {
    const unsigned m0 = static_cast<unsigned>(_mm_movemask_epi8(Equal<T>(Load(buf + i), c)));
    const unsigned m1 = static_cast<unsigned>(_mm_movemask_epi8(Equal<T>(Load(buf + i + lanes), c)));
    if ((m0 | m1) != 0) {
      const unsigned m = m0 | (m1 << 16);
      return buf + i + __builtin_ctz(m) / sizeof(T);
    }
  }
#endif
  for (; i < len; ++i)
    if (buf[i] == ch) return buf + i;
  return nullptr;
}

#if defined(__SSE2__)
// The first candidate of a byte mask (bit k for byte k of a 32-byte block at text offset i) that
// verify accepts, or -1. A 16-bit unit sets two adjacent bits; both are dropped together.
template <class T, class Verify>
int64_t FirstVerifiedCandidate(uint32_t mask, int64_t i, const Verify& verify) {
  while (mask != 0) {
    const int64_t p = i + __builtin_ctz(mask) / sizeof(T);
    if (verify(p)) return p;
    mask &= mask - 1;
    if constexpr (sizeof(T) == 2) mask &= mask - 1;
  }
  return -1;
}
#endif

// The candidate positions 0 .. L - m are tried in order and the first full match is returned. The wide
// loop tests the first and the last pattern unit at sixteen (or thirty-two) candidates at once and
// verifies the rest only where both agree, so an absent word costs little more than a memchr.
template <class T>
const T* FindExact(const T* text, int64_t len, const T* pat, int64_t m) {
  int64_t i = 0;
  const T first = pat[0];
  const T last = pat[m - 1];
  auto verify = [&](int64_t p) {
    return m <= 2 || std::memcmp(text + p + 1, pat + 1, static_cast<size_t>(m - 2) * sizeof(T)) == 0;
  };
#if defined(__SSE2__)
  constexpr int64_t lanes = 16 / sizeof(T);
  const __m128i f = Broadcast<T>(first);
  const __m128i l = Broadcast<T>(last);
  // Loads reach text[i + m - 1 + 2 * lanes - 1], which must lie below len.
  for (; i + m - 1 + 2 * lanes <= len; i += 2 * lanes) {
    const T* a = text + i;
    const T* b = text + i + m - 1;
    const unsigned m0 = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(Equal<T>(Load(a), f), Equal<T>(Load(b), l))));
    const unsigned m1 = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(Equal<T>(Load(a + lanes), f), Equal<T>(Load(b + lanes), l))));
    uint32_t mask = m0 | (m1 << 16);
    if (const int64_t p = FirstVerifiedCandidate<T>(mask, i, verify); p >= 0) return text + p;
  }
#endif
  for (; i + m <= len; ++i)
    if (text[i] == first && text[i + m - 1] == last && verify(i)) return text + i;
  return nullptr;
}

template <class T>
const T* FindEither(const T* text, int64_t len, const T* p1, const T* p2, int64_t m) {
  int64_t i = 0;
  auto verify = [&](int64_t p) {
    for (int64_t k = 1; k < m - 1; ++k)
      if (!EitherEquals(text[p + k], p1, p2, k)) return false;
    return true;
  };
#if defined(__SSE2__)
  constexpr int64_t lanes = 16 / sizeof(T);
  const __m128i f1 = Broadcast<T>(p1[0]), f2 = Broadcast<T>(p2[0]);
  const __m128i l1 = Broadcast<T>(p1[m - 1]), l2 = Broadcast<T>(p2[m - 1]);
  auto block = [&](const T* a, const T* b) {
    const __m128i va = Load(a), vb = Load(b);
    const __m128i hitA = _mm_or_si128(Equal<T>(va, f1), Equal<T>(va, f2));
    const __m128i hitB = _mm_or_si128(Equal<T>(vb, l1), Equal<T>(vb, l2));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(hitA, hitB)));
  };
  for (; i + m - 1 + 2 * lanes <= len; i += 2 * lanes) {
    const T* a = text + i;
    const T* b = text + i + m - 1;
    uint32_t mask = block(a, b) | (block(a + lanes, b + lanes) << 16);
    if (const int64_t p = FirstVerifiedCandidate<T>(mask, i, verify); p >= 0) return text + p;
  }
#endif
  for (; i + m <= len; ++i)
    if (EitherEquals(text[i], p1, p2, 0) && EitherEquals(text[i + m - 1], p1, p2, m - 1) && verify(i))
      return text + i;
  return nullptr;
}

template <class T>
const T* StrPos(const T* text, const T* pattern, int32_t textLen) {
  if (text == nullptr || pattern == nullptr || textLen < 1) return nullptr;
  const int64_t m = PatternLength(pattern);
  if (m == 0 || m > textLen) return nullptr;
  return FindExact(text, textLen, pattern, m);
}

template <class T>
const T* StrIPos(const T* text, const T* p1, const T* p2, int32_t textLen) {
  if (text == nullptr || p1 == nullptr || p2 == nullptr || textLen < 1) return nullptr;
  const int64_t m = PatternLength(p1);
  if (m == 0 || m != PatternLength(p2) || m > textLen) return nullptr;
  return FindEither(text, textLen, p1, p2, m);
}

template <class T>
int32_t CountOf(const T* buf, int32_t len, T ch) {
  if (buf == nullptr || len < 1) return 0;
  int32_t n = 0;
  for (int32_t i = 0; i < len; ++i) n += buf[i] == ch;
  return n;
}

template <class T>
void ReplaceAll(T* buf, T from, T to, int32_t len) {
  if (buf == nullptr || len < 1) return;
  for (int32_t i = 0; i < len; ++i)
    if (buf[i] == from) buf[i] = to;
}

template <class T>
void ControlsToSpace(T* buf, int32_t len) {
  if (buf == nullptr || len < 1) return;
  using U = std::make_unsigned_t<T>;
  for (int32_t i = 0; i < len; ++i)
    if (static_cast<U>(buf[i]) < 0x20) buf[i] = T(' ');
}

template <class T>
void CarriageReturnsToSpace(T* buf, int32_t len) {
  if (buf == nullptr || len < 1) return;
  for (int32_t i = 0; i < len; ++i) {
    if (buf[i] != T(13)) continue;
    buf[i] = T(' ');
    if (i + 1 < len && buf[i + 1] == T(10)) buf[++i] = T(' ');
  }
}

// Writes the terminator only inside the buffer, i.e. when it shrank.
template <class T>
int32_t Terminate(T* buf, int32_t newLen, int32_t len) {
  if (newLen < len) buf[newLen] = T(0);
  return newLen;
}

template <class T>
int32_t RemoveAll(T* buf, T ch, int32_t len) {
  if (buf == nullptr || len < 1) return 0;
  int32_t w = 0;
  for (int32_t r = 0; r < len; ++r)
    if (buf[r] != ch) buf[w++] = buf[r];
  return Terminate(buf, w, len);
}

template <class T>
bool Equal(const T* p1, const T* p2, int32_t len) {
  if (len < 1) return true;
  if (p1 == nullptr || p2 == nullptr) return false;
  return std::memcmp(p1, p2, static_cast<size_t>(len) * sizeof(T)) == 0;
}

template <class T>
int32_t HowFar(const T* p1, const T* p2, int32_t len) {
  if (p1 == nullptr || p2 == nullptr || len < 1) return 0;
  for (int32_t i = 0; i < len; ++i)
    if (p1[i] != p2[i]) return len - i - 1;
  return 0;
}

inline uint16_t ReadLE16(const unsigned char* b) { return GetLE16(b); }
inline uint32_t ReadLE32(const unsigned char* b) { return GetLE32(b); }

}  // namespace

// ---- searching and positions ----

const char* FastStrScan(const char* Buffer, char Ch, int32_t Len) {
  if (Buffer == nullptr || Len < 1) return nullptr;
  return static_cast<const char*>(std::memchr(Buffer, static_cast<unsigned char>(Ch), static_cast<size_t>(Len)));
}

const char16_t* FastStrScanW(const char16_t* Buffer, char16_t Ch, int32_t Len) {
  if (Buffer == nullptr || Len < 1) return nullptr;
  return ScanFor(Buffer, Ch, Len);
}

const char* FastStrPos(const char* Text, const char* Pattern, int32_t TextLen) {
  return StrPos(Text, Pattern, TextLen);
}
const char16_t* FastStrPosW(const char16_t* Text, const char16_t* Pattern, int32_t TextLen) {
  return StrPos(Text, Pattern, TextLen);
}
const char* FastStrIPos(const char* Text, const char* Pattern1, const char* Pattern2, int32_t TextLen) {
  return StrIPos(Text, Pattern1, Pattern2, TextLen);
}
const char16_t* FastStrIPosW(const char16_t* Text, const char16_t* Pattern1, const char16_t* Pattern2,
                             int32_t TextLen) {
  return StrIPos(Text, Pattern1, Pattern2, TextLen);
}

int32_t StrScanIndex(std::u16string_view S, char16_t Ch, int32_t Start) {
  // A start before the string is read as its beginning rather than as "nothing found".
  const int64_t from = std::max<int64_t>(Start, 1);
  if (from > static_cast<int64_t>(S.size())) return 0;
  const size_t at = S.find(Ch, static_cast<size_t>(from - 1));
  return at == std::u16string_view::npos ? 0 : static_cast<int32_t>(at + 1);
}

int32_t PositionInIntegerArray(int32_t Value, const int32_t* Values, int32_t Count) {
  if (Values == nullptr) return -1;
  for (int32_t i = 0; i < Count; ++i)
    if (Values[i] == Value) return i;
  return -1;
}

int32_t PositionInArrayOfInteger(std::span<const int32_t> Values, int32_t Value) {
  for (size_t i = Values.size(); i-- > 0;)
    if (Values[i] == Value) return static_cast<int32_t>(i);
  return -1;
}

int32_t PositionInAscendingArrayOfInteger(std::span<const int32_t> Values, int32_t Value, bool& BeyondEnd) {
  if (Values.empty()) return -1;
  const auto v = static_cast<uint32_t>(Value);
  BeyondEnd = v > static_cast<uint32_t>(Values.back());
  if (BeyondEnd) return -1;
  for (size_t i = Values.size(); i-- > 0;) {
    const auto e = static_cast<uint32_t>(Values[i]);
    if (e == v) return static_cast<int32_t>(i);
    if (e < v) break;  // ascending: nothing equal further down
  }
  return -1;
}

int32_t ScanForInt(int32_t Value, const int32_t* Values, int32_t Count) {
  if (Values == nullptr) return Value;
  for (int32_t i = 0; i < Count; ++i)
    if (Values[i] == Value) return i + 1;
  return Value;
}

int32_t ScanForIntBigger(int32_t Value, const int32_t* Values, int32_t Count) {
  if (Values == nullptr) return 0;
  const auto v = static_cast<uint32_t>(Value);
  for (int32_t i = 0; i < Count; ++i)
    if (static_cast<uint32_t>(Values[i]) > v) return i + 1;
  return 0;
}

// ---- counting ----

int32_t Chr13sInPAnsichar(const char* Buffer, int32_t Len) { return CountOf(Buffer, Len, '\r'); }
int32_t Chr13sInPChar(const char16_t* Buffer, int32_t Len) { return WideChrsInPChar(Buffer, Len, u'\r'); }
int32_t WideChrsInPChar(const char16_t* Buffer, int32_t Len, char16_t Ch) { return CountOf(Buffer, Len, Ch); }

// ---- in-place replacement ----

void ReplaceCharacterBySpaceA(char* Buffer, char Ch, int32_t Len) { ReplaceAll(Buffer, Ch, ' ', Len); }
void ReplaceCharacterBySpaceW(char16_t* Buffer, char16_t Ch, int32_t Len) { ReplaceAll(Buffer, Ch, u' ', Len); }
void ReplaceChar1ByChar2(char16_t* Buffer, char16_t From, char16_t To, int32_t Len) {
  ReplaceAll(Buffer, From, To, Len);
}
void ReplaceChar1ByChar2W(char16_t* Buffer, char16_t From, char16_t To, int32_t Len) {
  ReplaceAll(Buffer, From, To, Len);
}
void ReplaceControlCharsBySpaceA(char* Buffer, int32_t Len) { ControlsToSpace(Buffer, Len); }
void ReplaceControlCharsBySpaceW(char16_t* Buffer, int32_t Len) { ControlsToSpace(Buffer, Len); }
void ReplaceCarriageReturnsBySpaceA(char* Buffer, int32_t Len) { CarriageReturnsToSpace(Buffer, Len); }
void ReplaceCarriageReturnsBySpaceW(char16_t* Buffer, int32_t Len) { CarriageReturnsToSpace(Buffer, Len); }
void ReplaceTabsBySpace(char* Buffer, int32_t Len) { ReplaceAll(Buffer, '\t', ' ', Len); }

void BlankOutSomeBytesA(char* Buffer, int32_t Count) {
  if (Buffer != nullptr && Count > 0) std::memset(Buffer, ' ', static_cast<size_t>(Count));
}
void BlankOutSomeBytesW(char16_t* Buffer, int32_t Count) {
  if (Buffer != nullptr && Count > 0) std::fill_n(Buffer, Count, u' ');
}
void ZeroSomeBytesW(char16_t* Buffer, int32_t Count) {
  if (Buffer != nullptr && Count > 0) std::fill_n(Buffer, Count, u'\0');
}
void FillWChar(char16_t* Buffer, int32_t ByteCount, char16_t Ch) {
  if (Buffer != nullptr && ByteCount >= 2) std::fill_n(Buffer, ByteCount / 2, Ch);
}

void StrSwapByteOrder(char16_t* P) {
  if (P == nullptr) return;
  for (; *P != 0; ++P) *P = static_cast<char16_t>((*P >> 8) | (*P << 8));
}

void Swap2Strings(char16_t* Buffer, int32_t Len1, int32_t Len2) {
  if (Buffer == nullptr || Len1 < 1 || Len2 < 1 || Buffer[0] == 0) return;
  const int64_t n = int64_t{Len1} + Len2;
  // The rotation splits into gcd(n, Len2) cycles; each unit is carried once to (i + Len2) mod n.
  const int64_t cycles = std::gcd(n, int64_t{Len2});
  for (int64_t start = 0; start < cycles; ++start) {
    char16_t carried = Buffer[start];
    int64_t i = start;
    do {
      i += Len2;
      if (i >= n) i -= n;
      std::swap(carried, Buffer[i]);
    } while (i != start);
  }
}

// Occurrences are taken left to right without overlapping: after a replacement the scan goes on behind
// the replaced stretch, so the new text is never searched again. The buffer keeps its length: a
// replacement shorter than the found text is padded with spaces, a longer one is cut to the found length.
int32_t SearchAndReplaceFastW(char16_t* Text, const char16_t* Find, const char16_t* Replace, int32_t TextLen,
                              int32_t FindLen) {
  if (Text == nullptr || Find == nullptr || Replace == nullptr || TextLen < 1 || FindLen < 1 || FindLen > TextLen)
    return 0;
  const int64_t replaceLen = std::min<int64_t>(PatternLength(Replace), FindLen);
  int32_t count = 0;
  int64_t at = 0;
  while (at + FindLen <= TextLen) {
    const char16_t* hit = FindExact<char16_t>(Text + at, TextLen - at, Find, FindLen);
    if (hit == nullptr) break;
    char16_t* dst = Text + (hit - Text);
    std::copy_n(Replace, replaceLen, dst);
    std::fill(dst + replaceLen, dst + FindLen, u' ');
    ++count;
    at = (hit - Text) + FindLen;
  }
  return count;
}

// ---- compacting ----

int32_t RemoveCharA(char* Buffer, char Ch, int32_t Len) { return RemoveAll(Buffer, Ch, Len); }
int32_t RemoveCharW(char16_t* Buffer, char16_t Ch, int32_t Len) { return RemoveAll(Buffer, Ch, Len); }

int32_t CutDoubleCRLFsW(char16_t* Buffer, int32_t Len) {
  if (Buffer == nullptr || Len < 1) return 0;
  auto crlfAt = [&](int32_t r) { return r + 1 < Len && Buffer[r] == u'\r' && Buffer[r + 1] == u'\n'; };
  int32_t w = 0, r = 0;
  while (r < Len) {
    if (crlfAt(r)) {
      Buffer[w++] = u'\r';
      Buffer[w++] = u'\n';
      r += 2;
      while (crlfAt(r)) r += 2;
    } else {
      Buffer[w++] = Buffer[r++];
    }
  }
  return Terminate(Buffer, w, Len);
}

int32_t LengthConvertedToUnix(char* Buffer, int32_t Len) {
  if (Buffer == nullptr || Len < 1) return 0;
  int32_t w = 0;
  for (int32_t r = 0; r < Len; ++r)
    if (Buffer[r] != '\n') Buffer[w++] = Buffer[r];
  return w;
}

int32_t RemoveRedundantSpaceW(char16_t* Buffer, int32_t Len) {
  if (Buffer == nullptr || Len < 1) return 0;
  int32_t w = 0;
  for (int32_t r = 0; r < Len; ++r)
    if (Buffer[r] != u' ' || w == 0 || Buffer[w - 1] != u' ') Buffer[w++] = Buffer[r];
  return Terminate(Buffer, w, Len);
}

int32_t ClearBetweenChars(char* Buffer, char Open, char Close, int32_t Len) {
  return CleanBetweenChars(Buffer, Open, Close, Len, Len, true);
}

int32_t CleanBetweenChars(char* Buffer, char Open, char Close, int32_t Len, int32_t MaxSpan, bool Remove) {
  if (Buffer == nullptr || Len < 1) return 0;
  int32_t w = 0, r = 0;
  while (r < Len) {
    if (Buffer[r] != Open) {
      Buffer[w++] = Buffer[r++];
      continue;
    }
    // The reach counts the open character itself, so the close may lie at most reach - 1 further on.
    const int32_t reach = std::min(Len - r, MaxSpan);
    const void* close =
        reach > 1 ? std::memchr(Buffer + r + 1, static_cast<unsigned char>(Close), static_cast<size_t>(reach - 1))
                  : nullptr;
    if (close == nullptr) {
      ++r;  // the open character goes, the text after it stays
      continue;
    }
    const int32_t end = static_cast<int32_t>(static_cast<const char*>(close) - Buffer) + 1;
    if (!Remove)
      while (r < end) {
        Buffer[w++] = ' ';
        ++r;
      }
    r = end;
  }
  return Terminate(Buffer, w, Len);
}

UnicodeString ExpandTabbedWideString(std::u16string_view S, int32_t N) {
  const size_t width = N > 0 ? static_cast<size_t>(N) : 0;
  const size_t tabs = static_cast<size_t>(std::count(S.begin(), S.end(), u'\t'));
  UnicodeString out;
  out.reserve(S.size() - tabs + tabs * width);
  for (char16_t c : S) {
    if (c == u'\t') out.append(width, u' ');
    else out.push_back(c);
  }
  return out;
}

// ---- comparing ----

bool EqualContentsA(const char* P1, const char* P2, int32_t Len) { return Equal(P1, P2, Len); }
bool EqualContentsW(const char16_t* P1, const char16_t* P2, int32_t Len) { return Equal(P1, P2, Len); }
int32_t HowFarEqualContentsA(const char* P1, const char* P2, int32_t Len) { return HowFar(P1, P2, Len); }
int32_t HowFarEqualContentsW(const char16_t* P1, const char16_t* P2, int32_t Len) { return HowFar(P1, P2, Len); }

// ---- checksums and signatures ----

uint16_t My2Checksum(const void* P, int32_t Count) {
  if (P == nullptr || Count < 1) return 0;
  const auto* b = static_cast<const unsigned char*>(P);
  uint16_t sum = 0;
  for (int32_t i = 0; i < Count; ++i) sum = static_cast<uint16_t>(sum + ReadLE16(b + 2 * int64_t{i}));
  return sum;
}

uint32_t My4Checksum(const void* P, int32_t ByteCount) {
  if (P == nullptr || ByteCount < 4) return 0;
  const auto* b = static_cast<const unsigned char*>(P);
  uint32_t sum = 0;
  for (int32_t i = 0; i < ByteCount / 4; ++i) sum += ReadLE32(b + 4 * int64_t{i});
  return sum;
}

const void* UnicodeByteReversed(const void* P) {
  if (P == nullptr) return nullptr;
  return ReadLE16(static_cast<const unsigned char*>(P)) == 0xFFFE ? P : nullptr;
}

const void* UnicodeSigned(const void* P) {
  if (P == nullptr) return nullptr;
  const uint16_t u = ReadLE16(static_cast<const unsigned char*>(P));
  return u == 0xFEFF || u == 0xFFFE ? P : nullptr;
}

}  // namespace kx8
