// kx8: the command-line face of the run-time library. Each subcommand drives one family of the
// library's routines on real files, so that the library can be tried without writing a tool.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "commands.h"

const char* const kUsage =
    "usage: kx8 <command> [options] [arguments]\n"
    "\n"
    "commands:\n"
    "  concord [options] WORD PATH...   key-word-in-context lines of WORD in the texts under each PATH\n"
    "      WORD                search notation: alternatives a/b, * ? ^ #, ==Case==, <tags>, \"w context:=x[[L,R]]\"\n"
    "      --context N, --case, --max N, --sort KEYS, --json, --count, -j N, --context-word W, --exclude-word W,\n"
    "      --search-file FILE, --lemmas FILE, --stoplist FILE, --codepage N, --middle CHARS, and text choice:\n"
    "      --mask \"*.txt;*.xml\", -r, --zips, --exclude-dirs LIST, --exclude-ext LIST, --hidden\n"
    "      (kx8 concord --help explains each; exit status 0 found, 1 none, 2 an input or output failed)\n"
    "  files [options] PATH...          size, date and name of the texts chosen under each PATH\n"
    "      --sort name|date|size|ext   order of the list (default: as walked)\n"
    "      --json              one JSON array instead of lines\n"
    "      --kind              the kind of list file each is\n"
    "      (and the text-choice options of concord: --mask, -r, --zips, --exclude-dirs, --exclude-ext, --hidden)\n"
    "  convert [--codepage N] FILE...   rewrite each text as UTF-16 LE with signature (backup to .bak, date kept)\n"
    "  wordlist [--alpha] [--min-length N] [--json] [text choice, --codepage, --middle] PATH...\n"
    "                                   word list of the texts as one: rank, word, frequency, percentage\n"
    "  compare [--threshold PC] [--max-diff N] [--min-freq N] [--min-length N] [--json] [text choice] A B\n"
    "                                   type and token differences and bag-of-words similarity of two texts\n"
    "  collocates [--span L,R] [--min-freq N] [--measure M] [--threshold NAME=V] [--json] WORD PATH...\n"
    "                                   words within the span of each hit of WORD with MI, MI3, t, G2, logDice\n"
    "  clusters [--n 2..5] [--word W --position L|R|any] [--min-freq N] [--json] PATH...\n"
    "                                   n-grams of words with frequency and range (never across sentence ends)\n"
    "  keywords [--min-freq N] [--max-p P] [--json] TARGET... --reference REF...\n"
    "                                   positive and negative key words: G2, p, Log Ratio, %DIFF\n"
    "  dispersion [--json] WORD PATH... hits per text and per million words, Gries' DP and Juilland's D\n"
    "      (each takes the text-choice options, --codepage and --middle; exit status 0 found, 1 none, 2 failed)\n"
    "  serve [--port N] [--bind ADDR] [text choice, --codepage, --middle] PATH...\n"
    "                                   a concordance of the texts to look at in a browser: sorting, colours,\n"
    "                                   plots, word list; on 127.0.0.1:8024 unless told otherwise\n"
    "  help, --help                     this text\n";

namespace {

// kx8 serve runs as kx8-serve, the program beside this one (see serve_main.cpp), given the same
// arguments; it replaces this process, so that signals and the exit status are its own.
int StartServe(int argc, char** argv) {
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  std::string program = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string(argv[0]);
  const size_t slash = program.rfind('/');
  program = (slash == std::string::npos ? std::string() : program.substr(0, slash + 1)) + "kx8-serve";
  std::vector<char*> args{program.data()};
  for (int i = 2; i < argc; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  ::execv(program.c_str(), args.data());
  std::fprintf(stderr, "kx8 serve: cannot start %s: %s\n", program.c_str(), std::strerror(errno));
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // A closed pipe is reported as a write error (exit status 2), not a silent death by signal.
  std::signal(SIGPIPE, SIG_IGN);
  if (argc < 2 || !std::strcmp(argv[1], "help") || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  try {
    struct Command { const char* name; int (*run)(int, char**); };
    static const Command commands[] = {
        {"concord", ConcordMain}, {"convert", ConvertMain}, {"wordlist", WordlistMain}, {"compare", CompareMain},
        {"files", FilesMain}, {"collocates", CollocatesMain}, {"clusters", ClustersMain},
        {"keywords", KeywordsMain}, {"dispersion", DispersionMain},
    };
    if (!std::strcmp(argv[1], "serve")) return StartServe(argc, argv);
    for (const auto& c : commands)
      if (!std::strcmp(argv[1], c.name)) return c.run(argc - 2, argv + 2);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kx8: %s\n", e.what());
    return 2;
  }
  std::fprintf(stderr, "kx8: unknown command '%s' (try kx8 --help)\n", argv[1]);
  return 2;
}
