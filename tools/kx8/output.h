// Checked, buffered output for the kx8 commands: every write is checked, so that a full disk, a closed
// pipe or /dev/full ends the command with a message and exit status 2 instead of losing lines silently.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kx8tool {

// The exit status of a command whose input or output failed.
inline constexpr int kExitFailure = 2;

// Raised when output cannot be written; main prints it and exits with status 2.
struct OutputError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Writes v in decimal at p (20 characters at most), two digits at a time, and returns the end.
inline char* PutDecimal(char* p, long long v) {
  static const char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  unsigned long long u = static_cast<unsigned long long>(v);
  if (v < 0) {
    *p++ = '-';
    u = 0ULL - u;
  }
  int digits = 1;
  for (unsigned long long t = 10; digits < 20 && u >= t; t *= 10) ++digits;
  char* end = p + digits;
  char* q = end;
  while (u >= 100) {
    const auto r = static_cast<unsigned>(u % 100);
    u /= 100;
    *--q = kPairs[2 * r + 1];
    *--q = kPairs[2 * r];
  }
  if (u >= 10) {
    *--q = kPairs[2 * u + 1];
    *--q = kPairs[2 * u];
  } else {
    *--q = static_cast<char>('0' + u);
  }
  return end;
}

class Output {
 public:
  explicit Output(int fd = STDOUT_FILENO) : fFd(fd) { fBuf.reserve(kFlushAt + 4096); }
  ~Output() {
    try {
      Flush();
    } catch (...) {
      // Reported by the explicit Flush that every command makes before it returns.
    }
  }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void Put(std::string_view s) {
    fBuf.append(s);
    if (fBuf.size() >= kFlushAt) Flush();
  }
  void Put(char c) {
    fBuf.push_back(c);
    if (fBuf.size() >= kFlushAt) Flush();
  }
  // Decimal digits of v.
  void PutInt(long long v) {
    char b[24];
    Put(std::string_view(b, static_cast<size_t>(PutDecimal(b, v) - b)));
  }
  std::string& Buffer() { return fBuf; }
  // Flush for commands that go on after a failed write: false, with error set to the reason, on failure.
  bool TryFlush(std::string& error) {
    try {
      Flush();
      return true;
    } catch (const OutputError& e) {
      error = e.what();
      return false;
    }
  }
  void MaybeFlush() {
    if (fBuf.size() >= kFlushAt) Flush();
  }
  void Flush() {
    size_t done = 0;
    while (done < fBuf.size()) {
      const ssize_t n = ::write(fFd, fBuf.data() + done, fBuf.size() - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        const int err = errno;
        fBuf.clear();
        throw OutputError(std::string("cannot write the output: ") + std::strerror(err));
      }
      done += static_cast<size_t>(n);
    }
    fBuf.clear();
  }

 private:
  static constexpr size_t kFlushAt = 1 << 16;
  int fFd;
  std::string fBuf;
};

}  // namespace kx8tool
