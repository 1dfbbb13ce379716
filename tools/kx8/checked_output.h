// Standard output with every write checked, for subcommands whose output must not be lost silently: a
// full disk, /dev/full or a closed pipe ends the command with a message and exit status 2.
#pragma once

#include <cstdarg>

namespace kx8tool {

// The exit status of a subcommand whose output or input failed.
inline constexpr int kExitFailure = 2;

class CheckedStdout {
 public:
  // Ignores SIGPIPE, so that a reader going away is a write error to report rather than a silent end.
  CheckedStdout();
  // printf to stdout; after a failure nothing more is written.
  void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Puts(const char* text);
  // Flushes; true when everything written so far reached its destination.
  bool Flush();
  bool Failed() const { return fError != 0; }
  // Says on stderr that the output of command failed, with the system's reason; returns kExitFailure.
  int Report(const char* command) const;

 private:
  void Check(int result);
  int fError = 0;
};

}  // namespace kx8tool
