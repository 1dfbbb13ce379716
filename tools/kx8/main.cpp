// kx8: the command-line face of the run-time library. Each subcommand drives one family of the
// library's routines on real files, so that the library can be tried without writing a tool.
#include <cstdio>
#include <cstring>
#include <exception>

#include "commands.h"

const char* const kUsage =
    "usage: kx8 <command> [options] [arguments]\n"
    "\n"
    "commands:\n"
    "  concord [options] WORD PATH...   concordance of WORD in the files under each PATH\n"
    "      --context N   characters of context on each side (default 40)\n"
    "      --case        match case exactly (default: ignore case)\n"
    "      --max N       stop after N hits (default: no limit)\n"
    "  help, --help                     this text\n";

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "help") || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  try {
    if (!std::strcmp(argv[1], "concord")) return ConcordMain(argc - 2, argv + 2);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kx8: %s\n", e.what());
    return 1;
  }
  std::fprintf(stderr, "kx8: unknown command '%s' (try kx8 --help)\n", argv[1]);
  return 2;
}
