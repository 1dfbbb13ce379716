// The small stream encodings of the suite's list files: counted texts (wide and 8-bit), short 8-bit
// strings and zero-terminated texts, and the file stream that writes short strings.
#pragma once

#include <cstdint>
#include <memory>

#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/streams.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// A text read by the counted-pointer readers: nil (no text), or Length units followed by a zero, held
// in W when read wide and in A when read as 8-bit.
struct TStreamText {
  std::unique_ptr<char16_t[]> W;
  std::unique_ptr<char[]> A;
  int32_t Length = 0;
  bool IsNil() const { return !W && !A; }
};

// Reads a signed 32-bit count n and n units (UTF-16 when wide, bytes otherwise). A count below 0 or
// above maxSize raises EReadError "file read error (n) : ReadUnknownLengthPointer"; 0 gives nil.
TStreamText ReadUnknownLengthPointerMaxSize(TStream& stream, bool wide, int32_t maxSize);
// The same with the limit 50000.
TStreamText ReadUnknownLengthPointer(TStream& stream, bool wide);
// Writes n as signed 32-bit, then (n > 0) n units from p; true when everything was written.
bool WriteKnownLengthPointer(TStream& stream, const void* p, bool wide, int32_t n);
// WriteKnownLengthPointer with the length of p up to its terminator (0 for nil).
bool WriteUnknownLengthPointer(TStream& stream, const void* p, bool wide);

// Reads one length byte and that many bytes.
AnsiString ReadShortString(TStream& stream);
// Writes one length byte and the bytes of s; always true. A string longer than 255 bytes is cut to
// its first 255 (the length byte cannot say more, and a cut string keeps the stream readable).
bool WriteShortString(TStream& stream, const AnsiString& s);

// Zero-terminated wide text as a signed 32-bit count of code units and the units. The reader always
// returns a text (count 0 gives an empty one); a negative count, or one the rest of the stream cannot
// hold, raises EReadError before anything is allocated.
std::unique_ptr<char16_t[]> StreamReadPchar(TStream& stream);
void StreamWritePchar(TStream& stream, const char16_t* p);
// Zero-terminated 8-bit text as an unsigned 16-bit count of bytes and the bytes; the writer stores at
// most 65535 bytes.
std::unique_ptr<char[]> StreamReadPAnsichar(TStream& stream);
void StreamWritePAnsichar(TStream& stream, const char* p);

// The file stream of the list files, which also writes short strings.
class TMyFileStream : public TFileStream {
 public:
  using TFileStream::TFileStream;
  // WriteShortString on this stream.
  void WriteAShortString(const AnsiString& s);
};

}  // namespace kx8
