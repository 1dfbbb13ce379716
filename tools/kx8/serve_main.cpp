// kx8-serve: kx8 serve as a program of its own, which kx8 starts in its place. The web server links
// an HTTP library whose start-up (its TLS library's tables) would otherwise cost every kx8 command a
// few milliseconds, more than a small search takes.
#include <csignal>
#include <cstdio>
#include <exception>

#include "commands.h"

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  try {
    return ServeMain(argc - 1, argv + 1);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kx8 serve: %s\n", e.what());
    return 2;
  }
}
