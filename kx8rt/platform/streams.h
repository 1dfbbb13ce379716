// Byte streams: the abstract stream, files opened by name with a mode and sharing flags, and streams
// held in memory (raw bytes, text in an encoding, a byte vector).
#pragma once

#include <cstdint>
#include <string>

#include "kx8rt/platform/encoding.h"
#include "kx8rt/platform/object_list.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// Where a seek offset counts from.
enum TSeekOrigin : uint16_t { soBeginning = 0, soCurrent = 1, soEnd = 2 };
inline constexpr TSeekOrigin soFromBeginning = soBeginning;
inline constexpr TSeekOrigin soFromCurrent = soCurrent;
inline constexpr TSeekOrigin soFromEnd = soEnd;

// A sequence of bytes with a position. Read and Write move the position and return the number of
// bytes actually transferred (0 for a count below 1); ReadBuffer and WriteBuffer insist on all of them.
class TStream : public TObject {
 public:
  // Reads up to Count bytes into Buffer; fewer at the end of the data or on an I/O failure.
  virtual int32_t Read(void* Buffer, int32_t Count) = 0;
  // Writes up to Count bytes from Buffer; fewer when the medium refuses them.
  virtual int32_t Write(const void* Buffer, int32_t Count) = 0;
  // Moves the position and returns the new one; a resulting negative position raises EStreamError.
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;

  // The current position (a seek by 0 from the current place, which changes nothing).
  int64_t Position() const { return const_cast<TStream*>(this)->Seek(0, soCurrent); }
  void SetPosition(int64_t Pos) { Seek(Pos, soBeginning); }
  // Number of bytes in the stream.
  virtual int64_t Size() const;
  // Cuts or extends the stream; streams that cannot be resized raise EStreamError.
  virtual void SetSize(int64_t NewSize);

  // Reads exactly Count bytes (gathering partial reads) or raises EReadError "Stream read error".
  void ReadBuffer(void* Buffer, int64_t Count);
  // Writes exactly Count bytes or raises EWriteError "Stream write error".
  void WriteBuffer(const void* Buffer, int64_t Count);
  // Copies Count bytes from Source's position into this stream; Count 0 copies the whole of Source
  // from its start, a negative Count nothing. Returns the number of bytes copied; a short source raises
  // EReadError.
  int64_t CopyFrom(TStream& Source, int64_t Count);
};

// Open modes: one access mode, optionally or-ed with one sharing flag. fmCreate makes (or empties) the
// file and opens it for reading and writing.
inline constexpr uint16_t fmCreate = 0xFF00;
inline constexpr uint16_t fmOpenRead = 0x0000;
inline constexpr uint16_t fmOpenWrite = 0x0001;
inline constexpr uint16_t fmOpenReadWrite = 0x0002;
// Sharing flags. The platform has no mandatory sharing modes, so they are advisory whole-file locks
// (flock) honoured by every stream of this library, in this and other processes:
// fmShareExclusive and fmShareDenyRead take an exclusive lock, fmShareDenyWrite a shared lock, and
// fmShareCompat (0) and fmShareDenyNone take none. A lock that cannot be had at once fails the open.
// fmCreate without a sharing flag locks exclusively while the file is written.
inline constexpr uint16_t fmShareCompat = 0x0000;
inline constexpr uint16_t fmShareExclusive = 0x0010;
inline constexpr uint16_t fmShareDenyWrite = 0x0020;
inline constexpr uint16_t fmShareDenyRead = 0x0030;
inline constexpr uint16_t fmShareDenyNone = 0x0040;

// A stream on an operating-system file descriptor that it owns and closes.
class THandleStream : public TStream {
 public:
  explicit THandleStream(int Handle) : fHandle(Handle) {}
  ~THandleStream() override;
  THandleStream(const THandleStream&) = delete;
  THandleStream& operator=(const THandleStream&) = delete;

  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() const override;
  // Truncates or extends (with zeros); the position is kept unless it lay past the new end.
  void SetSize(int64_t NewSize) override;
  // The file descriptor.
  int Handle() const { return fHandle; }

 protected:
  int fHandle;
};

// A file opened by name. A file that cannot be opened raises EFOpenError "Cannot open file "%s". %s",
// one that cannot be created EFCreateError "Cannot create file "%s". %s", with the system's reason.
class TFileStream : public THandleStream {
 public:
  TFileStream(const UnicodeString& FileName, uint16_t Mode);
  // The name the stream was opened with.
  const UnicodeString& FileName() const { return fFileName; }

 private:
  UnicodeString fFileName;
};

// A stream over bytes held in memory, growing as it is written. Writing past the end after a seek
// fills the gap with zeros.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;

  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() const override { return static_cast<int64_t>(fData.size()); }
  // Cuts or extends with zeros; the position is kept (it may lie past the end).
  void SetSize(int64_t NewSize) override;

  // The bytes themselves (Size() of them); valid until the next write or resize.
  uint8_t* Memory() { return fData.data(); }
  const uint8_t* Memory() const { return fData.data(); }
  // Empties the stream and sets the position to 0.
  void Clear();
  // Replaces the content with the rest of Stream from its position; the position becomes 0.
  void LoadFromStream(TStream& Stream);
  // Writes the whole content to Stream.
  void SaveToStream(TStream& Stream) const;
  // Replaces the content with the file's bytes; the position becomes 0.
  void LoadFromFile(const UnicodeString& FileName);
  // Creates (or replaces) the file with the content.
  void SaveToFile(const UnicodeString& FileName) const;

 protected:
  TBytes fData;
  int64_t fPosition = 0;
};

// A memory stream on a byte vector, handed in and read back whole.
class TBytesStream : public TMemoryStream {
 public:
  TBytesStream() = default;
  explicit TBytesStream(TBytes Bytes) { fData = std::move(Bytes); }
  // The bytes, exactly Size() of them.
  const TBytes& Bytes() const { return fData; }
};

// A memory stream of text in an encoding (by default the system 8-bit code page).
class TStringStream : public TBytesStream {
 public:
  explicit TStringStream(const TEncoding& Encoding = TEncoding::Default()) : fEncoding(Encoding) {}
  // The text encoded (without a signature); the position starts at 0.
  explicit TStringStream(std::u16string_view Text, const TEncoding& Encoding = TEncoding::Default());
  // Raw bytes taken as they are, to be read as text in Encoding.
  explicit TStringStream(const TBytes& Bytes, const TEncoding& Encoding = TEncoding::Default());

  // The whole content decoded with the stream's encoding.
  UnicodeString DataString() const;
  // Encodes Text and writes it at the position.
  void WriteString(std::u16string_view Text);
  // Reads up to Count bytes from the position and decodes them.
  UnicodeString ReadString(int32_t Count);
  const TEncoding& Encoding() const { return fEncoding; }

 private:
  TEncoding fEncoding;
};

}  // namespace kx8
