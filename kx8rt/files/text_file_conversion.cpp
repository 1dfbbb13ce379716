#include "kx8rt/files/text_file_conversion.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/text_primitives/utf8_unit.h"

namespace kx8 {

namespace {

UnicodeString Reason(int err) { return Utf8ToUtf16(std::strerror(err)); }

struct BinarySignature {
  std::string_view bytes;
  const char16_t* what;
};

using namespace std::string_view_literals;

// Formats whose first bytes say what they are. Most of them also hold NUL bytes, but a compressed
// stream or a small image need not, and naming the format says more than "a NUL byte at 17".
const BinarySignature kBinarySignatures[] = {
    {"\x7F" "ELF"sv, u"an ELF executable"},
    {"\x89PNG\r\n\x1A\n"sv, u"a PNG image"},
    {"\x1F\x8B"sv, u"gzip-compressed data"},
    {"%PDF-"sv, u"a PDF document"},
    {"PK\x03\x04"sv, u"a zip archive"},
    {"PK\x05\x06"sv, u"a zip archive"},
    {"PK\x07\x08"sv, u"a zip archive"},
    {"\xD0\xCF\x11\xE0"sv, u"a compound document"},
    {"\xDB\xA5\x2D\x00"sv, u"an early word-processor file"},
    {"GIF87a"sv, u"a GIF image"},
    {"GIF89a"sv, u"a GIF image"},
    {"\xFF\xD8\xFF"sv, u"a JPEG image"},
    {"\xFD" "7zXZ\x00"sv, u"xz-compressed data"},
    {"7z\xBC\xAF\x27\x1C"sv, u"a 7z archive"},
    {"\x28\xB5\x2F\xFD"sv, u"zstd-compressed data"},
    {"BZh"sv, nullptr},  // bzip2 only with its block magic after the level digit; see below
    {"\xCF\xFA\xED\xFE"sv, u"a Mach-O executable"},
    {"\xCE\xFA\xED\xFE"sv, u"a Mach-O executable"},
    {"\x00" "asm"sv, u"a WebAssembly module"},
    {"SQLite format 3\x00"sv, u"an SQLite database"},
};

UnicodeString SignatureReason(const uint8_t* head, size_t n) {
  const std::string_view h(reinterpret_cast<const char*>(head), n);
  for (const BinarySignature& s : kBinarySignatures) {
    if (!h.starts_with(s.bytes)) continue;
    if (s.what) return UnicodeString(u"it is ") + s.what + u", not text";
    // "BZh" may begin a text; bzip2 data has the level digit and the block magic 31 41 59 26 53 59.
    if (n >= 10 && head[3] >= '1' && head[3] <= '9' && h.substr(4, 6) == "\x31\x41\x59\x26\x53\x59"sv)
      return u"it is bzip2-compressed data, not text";
  }
  return {};
}

// The first 64 KB decide signature-less UTF-16 in the reader as here.
constexpr size_t kHeadSample = 64 * 1024;

}  // namespace

UnicodeString NotTextReason(TStream& in) {
  const int64_t size = in.Size();
  in.SetPosition(0);
  if (size <= 0) return {};
  std::vector<uint8_t> head;
  int64_t zerosEven = 0, zerosOdd = 0, firstZero = -1, firstZeroUnit = -1;
  {
    std::vector<uint8_t> buf(256 * 1024);  // even, so that a unit never straddles two reads
    int64_t at = 0;
    while (at < size) {
      const int32_t want = static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(buf.size()), size - at));
      in.ReadBuffer(buf.data(), want);
      if (head.size() < kHeadSample)
        head.insert(head.end(), buf.begin(), buf.begin() + std::min<size_t>(kHeadSample - head.size(), static_cast<size_t>(want)));
      const uint8_t* b = buf.data();
      for (int32_t i = 0; i < want; ++i) {
        if (b[i] != 0) continue;
        if (firstZero < 0) firstZero = at + i;
        ((at + i) % 2 == 0 ? zerosEven : zerosOdd) += 1;
        if ((at + i) % 2 == 0 && i + 1 < want && b[i + 1] == 0 && firstZeroUnit < 0) firstZeroUnit = at + i;
      }
      at += want;
    }
  }
  in.SetPosition(0);

  UnicodeString why = SignatureReason(head.data(), head.size());
  if (!why.empty()) return why;
  const bool signedUtf16 = size >= 2 && ((head[0] == 0xFF && head[1] == 0xFE) || (head[0] == 0xFE && head[1] == 0xFF));
  const UnicodeString nulByte =
      u"it holds a NUL byte (at byte " + IntToStr(firstZero) + u"), which no text has: binary data or a damaged file";
  if (signedUtf16) {
    if (size % 2 != 0)
      return u"it is UTF-16 of an odd length (" + IntToStr(size) + u" bytes): its last byte belongs to no character";
    if (firstZeroUnit >= 0)
      return u"it is UTF-16 holding a NUL character (at byte " + IntToStr(firstZeroUnit) + u"), which no text has";
    return {};
  }
  if (firstZero < 0) return {};  // 8-bit text, or UTF-16 without a single zero byte
  // NUL bytes without a signature: text only when laid out as UTF-16, every zero the upper half of a
  // unit (U+0001 to U+00FF) and never a zero unit. Such text puts a zero in most units of its spaces,
  // line ends and digits; fewer than one unit in 64 is a stray NUL in 8-bit text, not UTF-16 layout.
  const int64_t units = size / 2;
  if (size % 2 != 0 || firstZeroUnit >= 0 || (zerosEven > 0 && zerosOdd > 0) || (zerosEven + zerosOdd) * 64 < units)
    return nulByte;
  if (zerosEven > 0)
    return u"it looks like UTF-16 big-endian text without a byte-order mark, which would be read the wrong way "
           u"round; add the mark FE FF first";
  // The converter must read it as UTF-16 too (it decides by the first 64 KB).
  const uint8_t* p = head.data();
  if (FileBufferType(p, static_cast<int32_t>(head.size())).fmt != fc_UTF16) return nulByte;
  return {};
}

UnicodeString NumberedBackupFileNameOf(const UnicodeString& fname, int32_t n) {
  return n <= 1 ? fname + u".bak" : fname + u"." + IntToStr(n) + u".bak";
}

namespace {

// A descriptor closed on every way out.
struct Fd {
  int fd = -1;
  explicit Fd(int f) : fd(f) {}
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Release() {
    const int f = fd;
    fd = -1;
    return f;
  }
};

// Streams over the original and the temporary that keep the system's reason of a failed transfer,
// which the stream layer reduces to a short count.
class TReasonedSource : public THandleStream {
 public:
  explicit TReasonedSource(int fd) : THandleStream(fd) {}
  int32_t Read(void* Buffer, int32_t Count) override {
    auto* p = static_cast<uint8_t*>(Buffer);
    int32_t done = 0;
    while (done < Count) {
      const ssize_t n = ::read(fHandle, p + done, static_cast<size_t>(Count - done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        Error = errno;
        break;
      }
      if (n == 0) break;
      done += static_cast<int32_t>(n);
    }
    return done;
  }
  int Error = 0;
};

class TReasonedTarget : public THandleStream {
 public:
  explicit TReasonedTarget(int fd) : THandleStream(fd) {}
  int32_t Write(const void* Buffer, int32_t Count) override {
    const auto* p = static_cast<const uint8_t*>(Buffer);
    int32_t done = 0;
    while (done < Count) {
      const ssize_t n = ::write(fHandle, p + done, static_cast<size_t>(Count - done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        Error = n < 0 ? errno : ENOSPC;
        break;
      }
      done += static_cast<int32_t>(n);
    }
    return done;
  }
  int Error = 0;
};

bool SyncFolder(const std::string& dir) {
  Fd d(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return d.fd >= 0 && ::fsync(d.fd) == 0;
}

// Copies what fd holds into a new file called to (created exclusively), flushed to the disk, with the
// original's modes and times. 0 or the errno of the failure (EEXIST: the name is taken).
int CopyToNewFile(int fd, const struct stat& st, const std::string& to) {
  Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777));
  if (out.fd < 0) return errno;
  std::vector<char> buf(256 * 1024);
  int err = 0;
  for (off_t at = 0; err == 0;) {
    const ssize_t n = ::pread(fd, buf.data(), buf.size(), at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) err = errno;
    if (n <= 0) break;
    for (ssize_t done = 0; done < n && err == 0;) {
      const ssize_t w = ::write(out.fd, buf.data() + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) err = w < 0 ? errno : ENOSPC;
      else done += w;
    }
    at += n;
  }
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (err == 0 && ::futimens(out.fd, times) != 0) err = errno;
  if (err == 0 && ::fsync(out.fd) != 0) err = errno;
  if (err == 0 && ::close(out.Release()) != 0) err = errno;
  if (err != 0) ::unlink(to.c_str());  // created by this call, so never an earlier backup
  return err;
}

// Keeps the original under the first free backup name: a second name of the same file where the file
// system allows it (nothing copied, and the backup is the original itself, dates and all), else a copy.
// Neither link() nor an exclusive create ever replaces an existing file. Returns 0 or the errno.
int MakeBackup(const std::string& path, int fd, const struct stat& st, std::string& backup, bool& linked) {
  const UnicodeString name = Utf8ToUtf16(path);
  bool copy = false;
  for (int32_t n = 1; n <= 9999; ++n) {
    backup = Utf16ToUtf8(NumberedBackupFileNameOf(name, n));
    if (!copy) {
      if (::link(path.c_str(), backup.c_str()) == 0) {
        linked = true;
        return 0;
      }
      if (errno == EEXIST) continue;
      if (errno != EPERM && errno != EXDEV && errno != ENOTSUP && errno != EMLINK && errno != ENOSYS) return errno;
      copy = true;  // a file system without hard links
    }
    const int err = CopyToNewFile(fd, st, backup);
    if (err != EEXIST) {
      linked = false;
      return err;
    }
  }
  return EEXIST;
}

// Files of 1 to 3 bytes say too little for the format detection, which leaves them alone; they are
// UTF-8 when they are that, else 8-bit text in the code page.
void ConvertTiny(TStream& in, TStream& out, uint16_t codepage, TKXFileFormat& fmt) {
  std::string b(static_cast<size_t>(in.Size()), '\0');
  in.SetPosition(0);
  in.ReadBuffer(b.data(), static_cast<int64_t>(b.size()));
  const auto* p = reinterpret_cast<const uint8_t*>(b.data());
  bool ascii = true;
  for (char c : b) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  UnicodeString w;
  if (IsValidUTF8(p, b.size())) {
    fmt = ascii ? fc_ASCII : fc_UTF8;
    w = Utf8ToUtf16(b);
  } else {
    fmt = fc_ANSI;
    w = AnsiToUnicode(b, codepage ? codepage : GetACP());
  }
  std::string bytes("\xFF\xFE", 2);
  for (char16_t u : w) bytes += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
  out.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

}  // namespace

TConvertReport ConvertTextFileKeepingBackup(const UnicodeString& fname, uint16_t codepage) {
  TConvertReport r;
  auto fail = [&r](TConvertOutcome o, UnicodeString why) {
    r.Outcome = o;
    r.Reason = std::move(why);
    return r;
  };
  // The real file: through a link, the link stays and its target is converted beside itself.
  char* real = ::realpath(Utf16ToUtf8(fname).c_str(), nullptr);
  if (!real) return fail(co_unreadable, Reason(errno));
  const std::string path = real;
  std::free(real);
  const size_t slash = path.rfind('/');
  const std::string dir = slash == 0 ? "/" : path.substr(0, slash);
  const std::string temp = path.substr(0, slash + 1) + "." + path.substr(slash + 1) + ".kx8-converting";

  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fail(co_unreadable, Reason(errno));
  TReasonedSource in(fd);  // owns fd; closing it releases the lock
  struct stat st;
  if (::fstat(fd, &st) != 0) return fail(co_unreadable, Reason(errno));
  if (!S_ISREG(st.st_mode)) return fail(co_unreadable, u"not a regular file");
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return fail(co_in_use, u"another conversion of this file is running");
    return fail(co_unreadable, u"cannot lock it: " + Reason(errno));
  }
  // Locked, but perhaps after another conversion replaced the file under its name: that one did the work.
  struct stat now;
  if (::stat(path.c_str(), &now) != 0 || now.st_dev != st.st_dev || now.st_ino != st.st_ino)
    return fail(co_in_use, u"another conversion replaced it meanwhile");

  try {
    UnicodeString why = NotTextReason(in);
    if (in.Error) return fail(co_unreadable, Reason(in.Error));
    if (!why.empty()) return fail(co_not_text, std::move(why));
    // The same bytes again would only add a backup of the converted text.
    uint8_t sig[2] = {0, 0};
    if (st.st_size >= 2 && ::pread(fd, sig, 2, 0) == 2 && sig[0] == 0xFF && sig[1] == 0xFE) {
      r.Format = fc_UTF16;
      return fail(co_already, u"it is UTF-16 little-endian with signature already");
    }
  } catch (const EReadError&) {
    return fail(co_unreadable, in.Error ? Reason(in.Error) : UnicodeString(u"it ended before its size"));
  }

  // The temporary's exclusive creation is the second guard against a conversion running beside this
  // one. While this process holds the lock of the file the name holds, a temporary can only be left
  // over from a conversion that was stopped before its rename; it holds nothing of value.
  int tfd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (tfd < 0 && errno == EEXIST) {
    ::unlink(temp.c_str());
    r.Notes.push_back(u"removed the unfinished " + Utf8ToUtf16(temp) + u" of a conversion that was stopped");
    tfd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  }
  if (tfd < 0) return fail(co_not_written, u"cannot create " + Utf8ToUtf16(temp) + u": " + Reason(errno));
  TReasonedTarget out(tfd);
  bool keepTemp = false;
  struct Cleanup {
    const std::string& name;
    bool& keep;
    ~Cleanup() {
      if (!keep) ::unlink(name.c_str());
    }
  } cleanup{temp, keepTemp};
  auto notWritten = [&](int err) { return fail(co_not_written, u"cannot write " + Utf8ToUtf16(temp) + u": " + Reason(err)); };

  try {
    if (st.st_size > 0 && st.st_size < 4) {
      ConvertTiny(in, out, codepage, r.Format);
    } else if (!StreamedBytesToUTF16LE(in, out, codepage, r.Format)) {
      return fail(co_not_text, u"its format is no text");
    }
  } catch (const EWriteError&) {
    return notWritten(out.Error ? out.Error : EIO);
  } catch (const EReadError&) {
    return fail(co_unreadable, in.Error ? Reason(in.Error) : UnicodeString(u"it ended before its size"));
  } catch (const Exception& e) {
    if (out.Error) return notWritten(out.Error);
    return fail(co_not_written, e.Message());
  }
  // A short read looks like the end of the file to the converter; the reason tells them apart.
  if (in.Error) return fail(co_unreadable, Reason(in.Error));
  struct stat after;
  if (::fstat(fd, &after) != 0 || after.st_size != st.st_size || after.st_mtim.tv_sec != st.st_mtim.tv_sec ||
      after.st_mtim.tv_nsec != st.st_mtim.tv_nsec)
    return fail(co_not_written, u"it changed while it was being converted; run the conversion again");

  // The new file takes the original's place in full: modes, owner where allowed, and dates.
  if (::fchmod(tfd, st.st_mode & 07777) != 0) return notWritten(errno);
  if (::fchown(tfd, st.st_uid, st.st_gid) != 0 && ::fchown(tfd, static_cast<uid_t>(-1), st.st_gid) != 0)
    r.Notes.push_back(u"the converted file belongs to you, not to the original's owner");
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (::futimens(tfd, times) != 0) return notWritten(errno);
  if (::fsync(tfd) != 0) return notWritten(errno);

  std::string backup;
  bool linked = false;
  if (const int err = MakeBackup(path, fd, st, backup, linked))
    return fail(co_not_written, u"cannot keep a backup beside it: " + Reason(err));
  // The backup's name must be on the disk before the original's name is given to the new text.
  SyncFolder(dir);
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int err = errno;
    if (linked) ::unlink(backup.c_str());  // only a second name of the untouched original
    return fail(co_not_written, u"cannot put the converted text in its place: " + Reason(err));
  }
  keepTemp = true;  // it is the file now
  SyncFolder(dir);
  r.Outcome = co_converted;
  r.BackupName = Utf8ToUtf16(backup);
  if (st.st_nlink > 1)
    r.Notes.push_back(IntToStr(static_cast<int64_t>(st.st_nlink - 1)) +
                      (st.st_nlink == 2 ? u" other name of this file keeps" : u" other names of this file keep") +
                      u" the original text");
  return r;
}

}  // namespace kx8
