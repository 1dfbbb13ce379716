#include "kx8rt/text_primitives/fileofchar.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "kx8rt/platform/exceptions.h"

namespace kx8 {

namespace {

[[noreturn]] void Fail(const UnicodeString& FileName, int err) {
  throw EInOutError(u"I/O error " + IntToStr(err) + u" on " + FileName + u": " + Utf8ToUtf16(std::strerror(err)), err);
}

void WriteAll(int fd, const UnicodeString& FileName, const uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      Fail(FileName, err);
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
}

}  // namespace

void AddToFileOfChar(const UnicodeString& FileName, const UnicodeString& S) {
  if (FileName.empty()) return;
  const std::string name = Utf16ToUtf8(FileName);
  bool created = true;
  int fd = ::open(name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0 && errno == EEXIST) {
    created = false;
    fd = ::open(name.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  }
  if (fd < 0) Fail(FileName, errno);
  if (created) {
    static const uint8_t bom[2] = {0xFF, 0xFE};
    WriteAll(fd, FileName, bom, 2);
  }
  if (!S.empty()) {
    std::string bytes(S.size() * 2, '\0');
    for (size_t i = 0; i < S.size(); ++i) {
      bytes[2 * i] = static_cast<char>(S[i] & 0xFF);
      bytes[2 * i + 1] = static_cast<char>(S[i] >> 8);
    }
    WriteAll(fd, FileName, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  if (::close(fd) != 0) Fail(FileName, errno);
}

}  // namespace kx8
