#include "kx8rt/platform/streams.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "kx8rt/platform/exceptions.h"

namespace kx8 {

namespace {

[[noreturn]] void RaiseSeekError() { throw EStreamError(u"Stream seek error"); }

UnicodeString SystemReason(int err) { return Utf8ToUtf16(std::strerror(err)); }

}  // namespace

// ---- TStream ----

int64_t TStream::Size() const {
  auto* self = const_cast<TStream*>(this);
  const int64_t pos = self->Seek(0, soCurrent);
  const int64_t size = self->Seek(0, soEnd);
  self->Seek(pos, soBeginning);
  return size;
}

void TStream::SetSize(int64_t) { throw EStreamError(u"Stream cannot be resized"); }

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  auto* p = static_cast<uint8_t*>(Buffer);
  while (Count > 0) {
    const int32_t chunk = static_cast<int32_t>(std::min<int64_t>(Count, std::numeric_limits<int32_t>::max()));
    // A stream may hand over fewer bytes than asked while more follow; only nothing at all is short.
    const int32_t got = Read(p, chunk);
    if (got <= 0) throw EReadError(u"Stream read error");
    p += got;
    Count -= got;
  }
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  const auto* p = static_cast<const uint8_t*>(Buffer);
  while (Count > 0) {
    const int32_t chunk = static_cast<int32_t>(std::min<int64_t>(Count, std::numeric_limits<int32_t>::max()));
    const int32_t put = Write(p, chunk);
    if (put <= 0) throw EWriteError(u"Stream write error");
    p += put;
    Count -= put;
  }
}

int64_t TStream::CopyFrom(TStream& Source, int64_t Count) {
  if (Count == 0) {
    Source.SetPosition(0);
    Count = Source.Size();
  }
  if (Count < 0) return 0;
  constexpr int64_t kChunk = 64 * 1024;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min(Count, kChunk)));
  int64_t left = Count;
  while (left > 0) {
    const int64_t n = std::min(left, kChunk);
    Source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    left -= n;
  }
  return Count;
}

// ---- THandleStream ----

THandleStream::~THandleStream() {
  if (fHandle >= 0) ::close(fHandle);  // closing also releases the advisory lock
}

int32_t THandleStream::Read(void* Buffer, int32_t Count) {
  auto* p = static_cast<uint8_t*>(Buffer);
  int32_t done = 0;
  while (done < Count) {
    const ssize_t n = ::read(fHandle, p + done, static_cast<size_t>(Count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // end of file, or a failure: both are a short transfer
    done += static_cast<int32_t>(n);
  }
  return done;
}

int32_t THandleStream::Write(const void* Buffer, int32_t Count) {
  const auto* p = static_cast<const uint8_t*>(Buffer);
  int32_t done = 0;
  while (done < Count) {
    const ssize_t n = ::write(fHandle, p + done, static_cast<size_t>(Count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<int32_t>(n);
  }
  return done;
}

int64_t THandleStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int whence = SEEK_SET;
  if (Origin == soCurrent) whence = SEEK_CUR;
  else if (Origin == soEnd) whence = SEEK_END;
  else if (Origin != soBeginning) RaiseSeekError();
  const off_t r = ::lseek(fHandle, static_cast<off_t>(Offset), whence);
  if (r < 0) RaiseSeekError();
  return static_cast<int64_t>(r);
}

int64_t THandleStream::Size() const {
  struct stat st {};
  if (::fstat(fHandle, &st) != 0) return 0;
  return static_cast<int64_t>(st.st_size);
}

void THandleStream::SetSize(int64_t NewSize) {
  if (NewSize < 0) throw EStreamError(u"Stream size out of bounds (" + IntToStr(NewSize) + u")");
  const int64_t pos = Position();
  if (::ftruncate(fHandle, static_cast<off_t>(NewSize)) != 0) {
    const int err = errno;
    throw EStreamError(u"Cannot resize the file: " + SystemReason(err));
  }
  if (pos > NewSize) Seek(NewSize, soBeginning);
}

// ---- TFileStream ----

namespace {

// Opens the file and takes the advisory lock the sharing flag asks for; -1 with errno on failure.
int OpenLocked(const std::string& path, uint16_t mode, bool create) {
  int flags = O_CLOEXEC;
  if (create) {
    // Not O_TRUNC: a file another stream has locked must not be emptied before the lock is refused.
    flags |= O_RDWR | O_CREAT;
  } else {
    switch (mode & 0x0003) {
      case fmOpenRead: flags |= O_RDONLY; break;
      case fmOpenWrite: flags |= O_WRONLY; break;
      case fmOpenReadWrite: flags |= O_RDWR; break;
      default: errno = EINVAL; return -1;
    }
  }
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return -1;
  }
  int lock = 0;
  switch (mode & 0x00F0) {
    case fmShareExclusive:
    case fmShareDenyRead: lock = LOCK_EX; break;
    case fmShareDenyWrite: lock = LOCK_SH; break;
    case fmShareCompat: lock = create ? LOCK_EX : 0; break;
    case fmShareDenyNone: lock = 0; break;
    default: ::close(fd); errno = EINVAL; return -1;
  }
  if (lock != 0) {
    int r;
    do r = ::flock(fd, lock | LOCK_NB);
    while (r != 0 && errno == EINTR);
    if (r != 0) {
      const int err = errno;
      ::close(fd);
      errno = err;
      return -1;
    }
  }
  if (create && ::ftruncate(fd, 0) != 0) {
    const int err = errno;
    ::close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

int OpenOrRaise(const UnicodeString& FileName, uint16_t Mode) {
  const bool create = (Mode & 0xFF00) == fmCreate;
  int fd = -1;
  if (FileName.find(u'\0') != UnicodeString::npos) errno = EINVAL;  // the system would see a shorter name
  else fd = OpenLocked(Utf16ToNativeName(FileName), Mode, create);
  if (fd >= 0) return fd;
  const int err = errno;
  UnicodeString reason = SystemReason(err);
  if (err == EWOULDBLOCK) reason = u"The file is locked by another stream.";
  if (create) throw EFCreateError(u"Cannot create file \"" + FileName + u"\". " + reason);
  throw EFOpenError(u"Cannot open file \"" + FileName + u"\". " + reason);
}

}  // namespace

TFileStream::TFileStream(const UnicodeString& FileName, uint16_t Mode)
    : THandleStream(OpenOrRaise(FileName, Mode)), fFileName(FileName) {}

// ---- TMemoryStream ----

int32_t TMemoryStream::Read(void* Buffer, int32_t Count) {
  const int64_t size = Size();
  if (Count <= 0 || fPosition >= size) return 0;
  const int32_t n = static_cast<int32_t>(std::min<int64_t>(Count, size - fPosition));
  std::memcpy(Buffer, fData.data() + fPosition, static_cast<size_t>(n));
  fPosition += n;
  return n;
}

int32_t TMemoryStream::Write(const void* Buffer, int32_t Count) {
  if (Count <= 0 || fPosition > std::numeric_limits<int64_t>::max() - Count) return 0;
  const int64_t end = fPosition + Count;
  if (end > Size()) {
    try {
      fData.resize(static_cast<size_t>(end));
    } catch (const std::exception&) {
      return 0;  // no memory for the bytes: a short write, which WriteBuffer reports
    }
  }
  std::memcpy(fData.data() + fPosition, Buffer, static_cast<size_t>(Count));
  fPosition = end;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t base = 0;
  if (Origin == soCurrent) base = fPosition;
  else if (Origin == soEnd) base = Size();
  else if (Origin != soBeginning) RaiseSeekError();
  if ((Offset < 0 && base + Offset < 0) || (Offset > 0 && base > std::numeric_limits<int64_t>::max() - Offset))
    RaiseSeekError();
  fPosition = base + Offset;
  return fPosition;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  if (NewSize < 0) throw EStreamError(u"Stream size out of bounds (" + IntToStr(NewSize) + u")");
  fData.resize(static_cast<size_t>(NewSize));
}

void TMemoryStream::Clear() {
  TBytes().swap(fData);
  fPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& Stream) {
  const int64_t left = std::max<int64_t>(0, Stream.Size() - Stream.Position());
  TBytes data(static_cast<size_t>(left));
  Stream.ReadBuffer(data.data(), left);
  fData.swap(data);
  fPosition = 0;
}

void TMemoryStream::SaveToStream(TStream& Stream) const { Stream.WriteBuffer(fData.data(), Size()); }

void TMemoryStream::LoadFromFile(const UnicodeString& FileName) {
  TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(f);
}

void TMemoryStream::SaveToFile(const UnicodeString& FileName) const {
  TFileStream f(FileName, fmCreate);
  SaveToStream(f);
}

// ---- TStringStream ----

TStringStream::TStringStream(std::u16string_view Text, const TEncoding& Encoding) : fEncoding(Encoding) {
  const std::string bytes = fEncoding.GetBytes(Text);
  fData.assign(bytes.begin(), bytes.end());
}

TStringStream::TStringStream(const TBytes& Bytes, const TEncoding& Encoding) : TBytesStream(Bytes), fEncoding(Encoding) {}

UnicodeString TStringStream::DataString() const {
  return fEncoding.GetString(std::string_view(reinterpret_cast<const char*>(fData.data()), fData.size()));
}

void TStringStream::WriteString(std::u16string_view Text) {
  const std::string bytes = fEncoding.GetBytes(Text);
  WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

UnicodeString TStringStream::ReadString(int32_t Count) {
  const int64_t left = std::max<int64_t>(0, Size() - fPosition);
  const int64_t n = std::clamp<int64_t>(Count, 0, left);
  const UnicodeString s =
      fEncoding.GetString(std::string_view(reinterpret_cast<const char*>(fData.data() + fPosition), static_cast<size_t>(n)));
  fPosition += n;
  return s;
}

}  // namespace kx8
