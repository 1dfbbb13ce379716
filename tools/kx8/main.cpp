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
    "  concord [options] WORD PATH...   concordance of WORD in the files under each PATH (folders recursively)\n"
    "      WORD                search notation: alternatives a/b, * ? ^ #, ==Case==, <tags>, \"w context:=x[[L,R]]\"\n"
    "      --context N         characters of context on each side (default 40)\n"
    "      --case              match case exactly (default: ignore case)\n"
    "      --max N             stop after N hits (default: no limit)\n"
    "      --skip-punctuation  punctuation between the words of a phrase is skipped like space\n"
    "      --middle CHARS      characters kept inside words, as in don't (default: ' and \u2019)\n"
    "      --sort KEYS         sort on one to three of R1..R9, L1..L9, word, file (\"-KEY\" descending), e.g. R1,L1,file\n"
    "      --json              one JSON object a hit: file, pos, percent, word, sentence, paragraph, left, hit, right\n"
    "      --codepage N        code page of 8-bit texts (default: the system's, 1252)\n"
    "      --context-word W / --exclude-word W   keep hits with / without W within --span N words (default 5)\n"
    "      --search-file FILE  search for the requests in FILE (then every argument is a path)\n"
    "      --lemmas FILE       widen a head word or variant to all forms of its lemma\n"
    "      --stoplist FILE     drop hits that are stop words\n"
    "      --mask \"*.txt;*.xml\"   file masks, taken in order (default *)\n"
    "      -r                  sub-folders too\n"
    "      --zips              walk zip archives found in the folders (an archive PATH is always walked)\n"
    "      --exclude-dirs LIST folders never entered, e.g. \"temp;old\"\n"
    "      --exclude-ext LIST  extensions never taken, e.g. \".exe;.dll\"\n"
    "      --hidden            hidden files and folders too\n"
    "  files [options] PATH...          size, date and name of the texts chosen under each PATH\n"
    "      --sort name|date|size|ext   order of the list (default: as walked)\n"
    "      --json              one JSON array instead of lines\n"
    "      --kind              the kind of list file each is\n"
    "      (and the text-choice options of concord: --mask, -r, --zips, --exclude-dirs, --exclude-ext, --hidden)\n"
    "  convert [--codepage N] FILE...   rewrite each text as UTF-16 LE with signature (backup to .bak, date kept)\n"
    "  wordlist [--alpha] [--min-length N] [--json] PATH...\n"
    "                                   word list of the texts as one: rank, word, frequency, percentage\n"
    "  compare [--threshold PC] [--max-diff N] [--min-freq N] [--min-length N] [--json] A B\n"
    "                                   type and token differences and bag-of-words similarity of two texts\n"
    "  help, --help                     this text\n";

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "help") || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  try {
    struct Command { const char* name; int (*run)(int, char**); };
    static const Command commands[] = {
        {"concord", ConcordMain}, {"convert", ConvertMain}, {"wordlist", WordlistMain}, {"compare", CompareMain},
        {"files", FilesMain},
    };
    for (const auto& c : commands)
      if (!std::strcmp(argv[1], c.name)) return c.run(argc - 2, argv + 2);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kx8: %s\n", e.what());
    return 1;
  }
  std::fprintf(stderr, "kx8: unknown command '%s' (try kx8 --help)\n", argv[1]);
  return 2;
}
