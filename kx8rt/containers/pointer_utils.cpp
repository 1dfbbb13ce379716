#include "kx8rt/containers/pointer_utils.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/format.h"
#include "kx8rt/platform/messages.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

namespace {

template <class C>
size_t Length(const C* p) {
  return p ? std::char_traits<C>::length(p) : 0;
}

template <class C>
std::basic_string_view<C> View(const C* p) {
  return p ? std::basic_string_view<C>(p) : std::basic_string_view<C>();
}

// n characters and a NUL, all zero; new[] is what the Delete routines release.
template <class C>
C* Allocate(size_t n) {
  C* result = new C[n + 1];
  std::fill_n(result, n + 1, C(0));
  return result;
}

template <class C>
C* NewCopy(const C* p, size_t n) {
  C* result = Allocate<C>(n);
  std::copy_n(p, n, result);
  return result;
}

template <class C>
int32_t OrdinalCompare(const C* a, const C* b) {
  using U = std::make_unsigned_t<C>;
  const std::basic_string_view<C> x = View(a), y = View(b);
  const size_t n = std::min(x.size(), y.size());
  for (size_t i = 0; i < n; ++i)
    if (x[i] != y[i]) return static_cast<int32_t>(static_cast<U>(x[i])) - static_cast<int32_t>(static_cast<U>(y[i]));
  // The shorter string meets its NUL first, which is below any unit.
  if (x.size() == y.size()) return 0;
  return x.size() < y.size() ? -static_cast<int32_t>(static_cast<U>(y[n])) : static_cast<int32_t>(static_cast<U>(x[n]));
}

template <class C>
int32_t ComparePos(const C* p, const C* q, bool any_digit, bool at_end, bool at_start) {
  if (!p || !q) return 1;
  const std::basic_string_view<C> s(p), sub(q);
  if (any_digit) return std::any_of(s.begin(), s.end(), [](C c) { return c >= C('0') && c <= C('9'); }) ? 0 : 1;
  if (at_start) return s.substr(0, sub.size()) == sub ? 0 : 1;
  if (at_end) return s.size() >= sub.size() && s.substr(s.size() - sub.size()) == sub ? 0 : 1;
  return s.find(sub) != std::basic_string_view<C>::npos ? 0 : 1;
}

template <class Compare, class C>
int32_t WordPrefixSuffix(Compare compare, const C* wa, const C* wb, const C* pa, const C* pb, const C* sa,
                         const C* sb) {
  int32_t result = compare(wa, wb);
  if (result == 0) result = compare(pa, pb);
  if (result == 0) result = compare(sa, sb);
  return result;
}

[[noreturn]] void RaiseStreamStringError(int64_t length, const char16_t* where) {
  throw EReadError(Format(KXFileReadError, {length, where}));
}

// Reads length units after a length prefix, refusing lengths the stream cannot hold.
template <class C>
C* ReadUnits(TStream& stream, int64_t length, const char16_t* where) {
  if (length < 0 || length * static_cast<int64_t>(sizeof(C)) > stream.Size() - stream.Position())
    RaiseStreamStringError(length, where);
  std::unique_ptr<C[]> result(Allocate<C>(static_cast<size_t>(length)));
  const int32_t bytes = static_cast<int32_t>(length * static_cast<int64_t>(sizeof(C)));
  if (bytes > 0 && stream.Read(result.get(), bytes) != bytes) RaiseStreamStringError(length, where);
  if constexpr (sizeof(C) == 2) {
    for (int64_t i = 0; i < length; ++i) {
      const auto* b = reinterpret_cast<const uint8_t*>(result.get() + i);
      result[i] = static_cast<C>(b[0] | (b[1] << 8));  // the stream is little-endian whatever the host
    }
  }
  return result.release();
}

}  // namespace

char* MyNewPAnsichar(const char* p) { return p ? NewCopy(p, Length(p)) : nullptr; }
char16_t* MyNewPChar(const char16_t* p) { return p ? NewCopy(p, Length(p)) : nullptr; }

char* CheckedNewLenPAnsichar(const char* p, uint32_t n) {
  if (p && n != 0) return NewCopy(p, std::min<size_t>(n, Length(p)));
  if (!nowt) return nullptr;
  return MyNewPAnsichar(UnicodeToAnsi(nowt).c_str());
}

char16_t* CheckedNewLenPchar(const char16_t* p, uint32_t n) {
  if (p && n != 0) return NewCopy(p, std::min<size_t>(n, Length(p)));
  return MyNewPChar(nowt);
}

void DeletePAnsichar(char* p) { delete[] p; }
void DeletePChar(char16_t* p) { delete[] p; }

uint32_t StrLenW(const char16_t* p) { return static_cast<uint32_t>(WideStrLen(p)); }
uint32_t StrLenA(const char* p) { return static_cast<uint32_t>(Length(p)); }

int32_t ComparePAnsichar(const char* a, const char* b) { return OrdinalCompare(a, b); }
int32_t ComparePchar(const char16_t* a, const char16_t* b) { return OrdinalCompare(a, b); }

int32_t CompareLCIDPAnsichar(LCID lcid, const char* a, const char* b) {
  if (!a || !b) return -2;
  return CompareStringA(lcid, my_default_sort, a, -1, b, -1) - 2;
}

int32_t CompareLCIDPchar(LCID lcid, const char16_t* a, const char16_t* b) {
  if (!a || !b) return -2;
  return CompareStringW(lcid, my_default_sort, a, -1, b, -1) - 2;
}

int32_t CompareWdPrefixSuffixPAnsichar(const char* wa, const char* wb, const char* pa, const char* pb, const char* sa,
                                       const char* sb) {
  return WordPrefixSuffix(ComparePAnsichar, wa, wb, pa, pb, sa, sb);
}

int32_t CompareWdPrefixSuffixPchar(const char16_t* wa, const char16_t* wb, const char16_t* pa, const char16_t* pb,
                                   const char16_t* sa, const char16_t* sb) {
  return WordPrefixSuffix(ComparePchar, wa, wb, pa, pb, sa, sb);
}

int32_t CompareLCIDWdPrefixSuffixPAnsichar(LCID lcid, const char* wa, const char* wb, const char* pa, const char* pb,
                                           const char* sa, const char* sb) {
  return WordPrefixSuffix([lcid](const char* a, const char* b) { return CompareLCIDPAnsichar(lcid, a, b); }, wa,
                          wb, pa, pb, sa, sb);
}

int32_t CompareLCIDWdPrefixSuffixPchar(LCID lcid, const char16_t* wa, const char16_t* wb, const char16_t* pa,
                                       const char16_t* pb, const char16_t* sa, const char16_t* sb) {
  return WordPrefixSuffix([lcid](const char16_t* a, const char16_t* b) { return CompareLCIDPchar(lcid, a, b); },
                          wa, wb, pa, pb, sa, sb);
}

int32_t ComparePosPAnsichar(LCID, const char* p, const char* q, bool any_digit, bool at_end, bool at_start) {
  return ComparePos(p, q, any_digit, at_end, at_start);
}

int32_t ComparePosPchar(LCID, const char16_t* p, const char16_t* q, bool any_digit, bool at_end, bool at_start) {
  return ComparePos(p, q, any_digit, at_end, at_start);
}

bool WritePAnsicharToStream(TStream& stream, const char* p) {
  const size_t n = Length(p);
  if (n > 0xFFFF) return false;
  const uint8_t prefix[2] = {static_cast<uint8_t>(n & 0xFF), static_cast<uint8_t>(n >> 8)};
  if (stream.Write(prefix, 2) != 2) return false;
  return n == 0 || stream.Write(p, static_cast<int32_t>(n)) == static_cast<int32_t>(n);
}

bool WritePCharToStream(TStream& stream, const char16_t* p) {
  const size_t n = Length(p);
  if (n > 0x3FFFFFFF) return false;
  const uint32_t length = static_cast<uint32_t>(n);
  const uint8_t prefix[4] = {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                             static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 24)};
  if (stream.Write(prefix, 4) != 4) return false;
  std::string bytes(n * 2, '\0');
  for (size_t i = 0; i < n; ++i) {
    bytes[2 * i] = static_cast<char>(p[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(p[i] >> 8);
  }
  return n == 0 || stream.Write(bytes.data(), static_cast<int32_t>(bytes.size())) == static_cast<int32_t>(bytes.size());
}

char* ReadPAnsicharFromStream(TStream& stream) {
  uint8_t prefix[2] = {};
  if (stream.Read(prefix, 2) != 2) RaiseStreamStringError(-1, u"ReadPAnsichar");
  return ReadUnits<char>(stream, prefix[0] | (prefix[1] << 8), u"ReadPAnsichar");
}

char16_t* ReadPCharFromStream(TStream& stream) {
  uint8_t prefix[4] = {};
  if (stream.Read(prefix, 4) != 4) RaiseStreamStringError(-1, u"ReadPChar");
  const int32_t length =
      static_cast<int32_t>(prefix[0] | (prefix[1] << 8) | (prefix[2] << 16) | (static_cast<uint32_t>(prefix[3]) << 24));
  return ReadUnits<char16_t>(stream, length, u"ReadPChar");
}

// ---- the tables ----

namespace {

template <class C>
const C* As(const void* p) {
  return static_cast<const C*>(p);
}

void* AllocA(uint32_t n) { return Allocate<char>(n); }
void* AllocW(uint32_t n) { return Allocate<char16_t>(n); }
uint32_t LengthA(const void* p) { return StrLenA(As<char>(p)); }
uint32_t LengthW(const void* p) { return StrLenW(As<char16_t>(p)); }
void* NewA(const void* p) { return MyNewPAnsichar(As<char>(p)); }
void* NewW(const void* p) { return MyNewPChar(As<char16_t>(p)); }
void* CheckedA(const void* p, uint32_t n) { return CheckedNewLenPAnsichar(As<char>(p), n); }
void* CheckedW(const void* p, uint32_t n) { return CheckedNewLenPchar(As<char16_t>(p), n); }
void DeleteA(void* p) { DeletePAnsichar(static_cast<char*>(p)); }
void DeleteW(void* p) { DeletePChar(static_cast<char16_t*>(p)); }
int32_t PosA(LCID l, const void* p, const void* q, bool d, bool e, bool s) {
  return ComparePosPAnsichar(l, As<char>(p), As<char>(q), d, e, s);
}
int32_t PosW(LCID l, const void* p, const void* q, bool d, bool e, bool s) {
  return ComparePosPchar(l, As<char16_t>(p), As<char16_t>(q), d, e, s);
}
int32_t LcidA(LCID l, const void* a, const void* b) { return CompareLCIDPAnsichar(l, As<char>(a), As<char>(b)); }
int32_t LcidW(LCID l, const void* a, const void* b) { return CompareLCIDPchar(l, As<char16_t>(a), As<char16_t>(b)); }
int32_t LcidWdA(LCID l, const void* wa, const void* wb, const void* pa, const void* pb, const void* sa,
                const void* sb) {
  return CompareLCIDWdPrefixSuffixPAnsichar(l, As<char>(wa), As<char>(wb), As<char>(pa), As<char>(pb),
                                            As<char>(sa), As<char>(sb));
}
int32_t LcidWdW(LCID l, const void* wa, const void* wb, const void* pa, const void* pb, const void* sa,
                const void* sb) {
  return CompareLCIDWdPrefixSuffixPchar(l, As<char16_t>(wa), As<char16_t>(wb), As<char16_t>(pa), As<char16_t>(pb),
                                        As<char16_t>(sa), As<char16_t>(sb));
}
int32_t WdA(const void* wa, const void* wb, const void* pa, const void* pb, const void* sa, const void* sb) {
  return CompareWdPrefixSuffixPAnsichar(As<char>(wa), As<char>(wb), As<char>(pa), As<char>(pb), As<char>(sa),
                                        As<char>(sb));
}
int32_t WdW(const void* wa, const void* wb, const void* pa, const void* pb, const void* sa, const void* sb) {
  return CompareWdPrefixSuffixPchar(As<char16_t>(wa), As<char16_t>(wb), As<char16_t>(pa), As<char16_t>(pb),
                                    As<char16_t>(sa), As<char16_t>(sb));
}
int32_t CmpA(const void* a, const void* b) { return ComparePAnsichar(As<char>(a), As<char>(b)); }
int32_t CmpW(const void* a, const void* b) { return ComparePchar(As<char16_t>(a), As<char16_t>(b)); }
void* ReadA(TStream& s) { return ReadPAnsicharFromStream(s); }
void* ReadW(TStream& s) { return ReadPCharFromStream(s); }
bool WriteA(TStream& s, const void* p) { return WritePAnsicharToStream(s, As<char>(p)); }
bool WriteW(TStream& s, const void* p) { return WritePCharToStream(s, As<char16_t>(p)); }

}  // namespace

const std::array<TAllocFunct, 2> Global_AllocFuncts = {AllocA, AllocW};
const std::array<TLengthFunct, 2> Global_LengthFuncts = {LengthA, LengthW};
const std::array<TNewFunct, 2> Global_NewFuncts = {NewA, NewW};
const std::array<TCheckedNewLenFunct, 2> Global_CheckedNewLenFuncts = {CheckedA, CheckedW};
const std::array<TDeleteFunct, 2> Global_DeleteFuncts = {DeleteA, DeleteW};
const std::array<TComparePosFunct, 2> Global_ComparePosFuncts = {PosA, PosW};
const std::array<TCompareLCIDFunct, 2> Global_CompareLCIDFuncts = {LcidA, LcidW};
const std::array<TCompareLCIDWdPrefixSuffix, 2> Global_CompareLCIDWordPrefixSuffixs = {LcidWdA, LcidWdW};
const std::array<TCompareWdPrefixSuffix, 2> Global_CompareWordPrefixSuffixs = {WdA, WdW};
const std::array<TCompareFunct, 2> Global_CompareFuncts = {CmpA, CmpW};
const std::array<TStreamReadFunct, 2> Global_StreamReadFuncts = {ReadA, ReadW};
const std::array<TStreamWriteFunct, 2> Global_StreamWriteFuncts = {WriteA, WriteW};

}  // namespace kx8
