#include "kx8rt/files/my_filestream.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "kx8rt/platform/format.h"
#include "kx8rt/platform/messages.h"

namespace kx8 {

namespace {

[[noreturn]] void ReadError(int64_t n, const char16_t* where) {
  throw EReadError(Format(KXFileReadError, {n, UnicodeString(where)}));
}

int32_t ReadCount32(TStream& stream) {
  uint8_t b[4];
  stream.ReadBuffer(b, 4);
  return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                              static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24);
}

bool WriteCount32(TStream& stream, int32_t n) {
  const uint32_t u = static_cast<uint32_t>(n);
  const uint8_t b[4] = {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
                        static_cast<uint8_t>(u >> 24)};
  return stream.Write(b, 4) == 4;
}

// True when the stream can still deliver bytes; a stream that cannot tell its size is trusted and
// left to fail on the read itself.
bool StreamHolds(TStream& stream, int64_t bytes) {
  try {
    return stream.Size() - stream.Position() >= bytes;
  } catch (const EStreamError&) {
    return true;
  }
}

// Code units arrive little-endian whatever the machine.
void ReadUnits(TStream& stream, char16_t* out, int32_t n) {
  stream.ReadBuffer(out, static_cast<int64_t>(n) * 2);
  if constexpr (std::endian::native == std::endian::big)
    for (int32_t i = 0; i < n; ++i) out[i] = static_cast<char16_t>((out[i] >> 8) | (out[i] << 8));
}

size_t WideLength(const char16_t* p) {
  size_t n = 0;
  if (p)
    while (p[n]) ++n;
  return n;
}

}  // namespace

TStreamText ReadUnknownLengthPointerMaxSize(TStream& stream, bool wide, int32_t maxSize) {
  TStreamText t;
  const int32_t n = ReadCount32(stream);
  if (n < 0 || n > maxSize) ReadError(n, u"ReadUnknownLengthPointer");
  if (n == 0) return t;
  if (!StreamHolds(stream, static_cast<int64_t>(n) * (wide ? 2 : 1))) ReadError(n, u"ReadUnknownLengthPointer");
  t.Length = n;
  if (wide) {
    t.W = std::make_unique<char16_t[]>(static_cast<size_t>(n) + 1);
    ReadUnits(stream, t.W.get(), n);
    t.W[n] = 0;
  } else {
    t.A = std::make_unique<char[]>(static_cast<size_t>(n) + 1);
    stream.ReadBuffer(t.A.get(), n);
    t.A[n] = 0;
  }
  return t;
}

TStreamText ReadUnknownLengthPointer(TStream& stream, bool wide) {
  return ReadUnknownLengthPointerMaxSize(stream, wide, 50000);
}

bool WriteKnownLengthPointer(TStream& stream, const void* p, bool wide, int32_t n) {
  if (!WriteCount32(stream, n)) return false;
  if (n < 1) return true;
  if (!p) return false;  // a count without text behind it cannot be honoured
  const int64_t bytes = static_cast<int64_t>(n) * (wide ? 2 : 1);
  if (bytes > INT32_MAX) return false;
  return stream.Write(p, static_cast<int32_t>(bytes)) == bytes;
}

bool WriteUnknownLengthPointer(TStream& stream, const void* p, bool wide) {
  const size_t n = !p ? 0 : wide ? WideLength(static_cast<const char16_t*>(p)) : std::strlen(static_cast<const char*>(p));
  if (n > INT32_MAX) return false;
  return WriteKnownLengthPointer(stream, p, wide, static_cast<int32_t>(n));
}

AnsiString ReadShortString(TStream& stream) {
  uint8_t n = 0;
  stream.ReadBuffer(&n, 1);
  AnsiString s(n, '\0');
  if (n > 0) stream.ReadBuffer(s.data(), n);
  return s;
}

bool WriteShortString(TStream& stream, const AnsiString& s) {
  const uint8_t n = static_cast<uint8_t>(s.size() > 255 ? 255 : s.size());
  stream.WriteBuffer(&n, 1);
  if (n > 0) stream.WriteBuffer(s.data(), n);
  return true;
}

std::unique_ptr<char16_t[]> StreamReadPchar(TStream& stream) {
  const int32_t n = ReadCount32(stream);
  if (n < 0 || !StreamHolds(stream, static_cast<int64_t>(n) * 2)) ReadError(n, u"StreamReadPchar");
  auto p = std::make_unique<char16_t[]>(static_cast<size_t>(n) + 1);
  ReadUnits(stream, p.get(), n);
  p[n] = 0;
  return p;
}

void StreamWritePchar(TStream& stream, const char16_t* p) {
  const size_t n = WideLength(p);
  if (n > INT32_MAX / 2) throw EWriteError(u"Stream write error");
  const int32_t n32 = static_cast<int32_t>(n);
  if (!WriteCount32(stream, n32)) throw EWriteError(u"Stream write error");
  if (n > 0) stream.WriteBuffer(p, static_cast<int64_t>(n) * 2);
}

std::unique_ptr<char[]> StreamReadPAnsichar(TStream& stream) {
  uint8_t b[2];
  stream.ReadBuffer(b, 2);
  const uint16_t n = static_cast<uint16_t>(b[0] | b[1] << 8);
  if (!StreamHolds(stream, n)) ReadError(n, u"StreamReadPAnsichar");
  auto p = std::make_unique<char[]>(static_cast<size_t>(n) + 1);
  if (n > 0) stream.ReadBuffer(p.get(), n);
  p[n] = 0;
  return p;
}

void StreamWritePAnsichar(TStream& stream, const char* p) {
  const size_t len = p ? std::strlen(p) : 0;
  // The count is 16 bits wide: a longer text is stored cut to 65535 bytes rather than with a count
  // that has wrapped round.
  const uint16_t n = static_cast<uint16_t>(len > 65535 ? 65535 : len);
  const uint8_t b[2] = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8)};
  stream.WriteBuffer(b, 2);
  if (n > 0) stream.WriteBuffer(p, n);
}

void TMyFileStream::WriteAShortString(const AnsiString& s) { WriteShortString(*this, s); }

}  // namespace kx8
