#include "checked_output.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace kx8tool {

CheckedStdout::CheckedStdout() { std::signal(SIGPIPE, SIG_IGN); }

void CheckedStdout::Check(int result) {
  // A buffered write fails only when the buffer is flushed, so ferror is asked as well as the result.
  if (fError == 0 && (result < 0 || std::ferror(stdout))) fError = errno ? errno : EIO;
}

void CheckedStdout::Printf(const char* format, ...) {
  if (fError) return;
  std::va_list args;
  va_start(args, format);
  errno = 0;
  const int r = std::vprintf(format, args);
  va_end(args);
  Check(r);
}

void CheckedStdout::Puts(const char* text) {
  if (fError) return;
  errno = 0;
  Check(std::fputs(text, stdout));
}

bool CheckedStdout::Flush() {
  if (fError) return false;
  errno = 0;
  Check(std::fflush(stdout));
  return fError == 0;
}

int CheckedStdout::Report(const char* command) const {
  std::fprintf(stderr, "kx8 %s: cannot write the output: %s\n", command, std::strerror(fError ? fError : EIO));
  return kExitFailure;
}

}  // namespace kx8tool
