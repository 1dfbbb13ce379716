// kx8 convert: rewrites each text file as UTF-16 LE with signature, keeping its date, after keeping the
// original under a backup name no earlier backup holds ("a.txt.bak", else "a.txt.2.bak", ...). The new
// text replaces the original in one rename, so that a kill, a full disk or a second convert running at
// the same time never leaves less than the whole original or the whole new text under the name.
//
// Exit status: 0 when every file named was converted (or was UTF-16 LE with signature already); 1 when some were refused (no text, being
// converted by another run) and nothing failed; 2 when a file could not be read (the others are still
// converted) or when anything could not be written (the run stops there, the file in hand unchanged).
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "output.h"
#include "commands.h"
#include "kx8rt/files/text_file_conversion.h"
#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/file_system.h"

using namespace kx8;

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: kx8 convert [--codepage N] FILE...\n"
               "  Rewrites each text as UTF-16 LE with signature, keeping its date. The original is kept as\n"
               "  FILE.bak (FILE.2.bak, ... when that exists: no backup is ever overwritten). Files that are\n"
               "  no text (binary signatures, NUL bytes) are refused.\n");
  return kx8tool::kExitFailure;
}

std::string FormatName(TKXFileFormat f, uint16_t codepage) {
  switch (f) {
    case fc_ASCII: return "7-bit text";
    case fc_UTF8: return "UTF-8";
    case fc_ANSI: return "8-bit text in code page " + std::to_string(codepage ? codepage : GetACP());
    case fc_UTF16: return "UTF-16 little-endian";
    case fc_UTF16_BigEndian: return "UTF-16 big-endian";
    default: return "an empty file";
  }
}

// The backup as the user would name it: beside the name given, unless that name is a link (whose
// target, converted where it lies, has its backup beside it).
std::string ShownBackup(const std::string& given, const UnicodeString& backup) {
  struct stat l;
  if (::lstat(given.c_str(), &l) == 0 && S_ISLNK(l.st_mode)) return Utf16ToUtf8(backup);
  return Utf16ToUtf8(ExtractFilePath(Utf8ToUtf16(given)) + ExtractFileName(backup));
}

}  // namespace

int ConvertMain(int argc, char** argv) {
  kx8tool::Output out;
  std::string outputError;
  auto report = [&] {
    std::fprintf(stderr, "kx8 convert: %s\n", outputError.c_str());
    return kx8tool::kExitFailure;
  };
  uint16_t codepage = 0;
  std::vector<std::string> files;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--codepage") {
      int32_t cp;
      if (i + 1 >= argc || !TryStrToInt(Utf8ToUtf16(argv[i + 1]), cp) || cp <= 0 || cp > 65535) {
        std::fprintf(stderr, "kx8 convert: --codepage needs a code page number\n");
        return kx8tool::kExitFailure;
      }
      // Checked before any file is touched, so that a run never stops halfway for it.
      if (!IsValidCodePage(static_cast<uint32_t>(cp))) {
        std::fprintf(stderr, "kx8 convert: code page %d is not available\n", cp);
        return kx8tool::kExitFailure;
      }
      codepage = static_cast<uint16_t>(cp);
      ++i;
    } else if (a == "-h" || a == "--help") {
      return Usage();
    } else if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "kx8 convert: unknown option %s\n", a.c_str());
      return kx8tool::kExitFailure;
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) return Usage();

  // Every name is looked at before any file is converted: a conversion gives the file a new identity,
  // so a second name of it ("./a.txt", a link) could only be recognised beforehand.
  std::vector<std::pair<std::string, int>> todo;  // name, errno of stat (0 when it is there)
  std::map<std::pair<dev_t, ino_t>, std::string> firstName;
  int status = 0;
  for (const std::string& f : files) {
    struct stat st;
    if (::stat(f.c_str(), &st) != 0) {
      todo.emplace_back(f, errno);
      continue;
    }
    const auto [it, isNew] = firstName.emplace(std::make_pair(st.st_dev, st.st_ino), f);
    if (!isNew) {
      std::fprintf(stderr, "kx8 convert: %s: the same file as %s, converted once\n", f.c_str(), it->second.c_str());
      continue;
    }
    todo.emplace_back(f, 0);
  }

  for (const auto& [f, statError] : todo) {
    if (statError) {
      std::fprintf(stderr, "kx8 convert: %s: cannot read: %s\n", f.c_str(), std::strerror(statError));
      status = 2;
      continue;
    }
    const TConvertReport r = ConvertTextFileKeepingBackup(Utf8ToUtf16(f), codepage);
    for (const UnicodeString& note : r.Notes) std::fprintf(stderr, "kx8 convert: %s: %s\n", f.c_str(), Utf16ToUtf8(note).c_str());
    const std::string why = Utf16ToUtf8(r.Reason);
    switch (r.Outcome) {
      case co_converted:
        out.Put(f + ": converted from " + FormatName(r.Format, codepage) + "; the original is kept as " +
                ShownBackup(f, r.BackupName) + "\n");
        if (!out.TryFlush(outputError)) {
          // The file is converted all the same; where its original went must not be lost with the output.
          std::fprintf(stderr, "kx8 convert: %s: converted, the original kept as %s\n", f.c_str(),
                       ShownBackup(f, r.BackupName).c_str());
          return report();
        }
        break;
      case co_already:
        out.Put(f + ": UTF-16 LE with signature already, left as it is\n");
        if (!out.TryFlush(outputError)) return report();
        break;
      case co_not_text:
      case co_in_use:
        std::fprintf(stderr, "kx8 convert: %s: not converted: %s\n", f.c_str(), why.c_str());
        if (status == 0) status = 1;
        break;
      case co_unreadable:
        std::fprintf(stderr, "kx8 convert: %s: cannot read: %s\n", f.c_str(), why.c_str());
        status = 2;
        break;
      case co_not_written:
        // A write that failed here fails for the files after it too (a full disk, mostly): stop.
        std::fprintf(stderr, "kx8 convert: %s: not converted, the original is unchanged: %s\n", f.c_str(), why.c_str());
        return kx8tool::kExitFailure;
    }
  }
  if (!out.TryFlush(outputError)) return report();
  return status;
}
