// kx8 convert: rewrites each text file as UTF-16 LE with signature, keeping its date, after copying it
// to its ".bak". A backup made earlier in the same run is never overwritten: a second file that would
// need the same backup is left alone. The text is converted in chunks, read from the backup into the
// emptied original, so a file of any size takes the same small memory.
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "commands.h"
#include "kx8rt/files/file_utils.h"
#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/streams.h"

using namespace kx8;

namespace {

int Usage() {
  std::fprintf(stderr, "usage: kx8 convert [--codepage N] FILE...\n");
  return 2;
}

}  // namespace

int ConvertMain(int argc, char** argv) {
  uint16_t codepage = 0;
  std::vector<std::string> files;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--codepage") {
      int32_t cp;
      if (i + 1 >= argc || !TryStrToInt(Utf8ToUtf16(argv[i + 1]), cp) || cp <= 0 || cp > 65535) {
        std::fprintf(stderr, "kx8 convert: --codepage needs a code page number\n");
        return 2;
      }
      // Checked here, before any file is touched: a code page found missing halfway through a
      // conversion would leave an emptied file behind.
      if (!IsValidCodePage(static_cast<uint32_t>(cp))) {
        std::fprintf(stderr, "kx8 convert: code page %d is not available\n", cp);
        return 2;
      }
      codepage = static_cast<uint16_t>(cp);
      ++i;
    } else if (a == "-h" || a == "--help") {
      return Usage();
    } else if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "kx8 convert: unknown option %s\n", a.c_str());
      return 2;
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) return Usage();
  std::set<std::string> backupsMade;
  int failures = 0;
  for (const std::string& f : files) {
    const UnicodeString name = Utf8ToUtf16(f);
    struct stat st;
    bool text = false;
    try {
      if (::stat(f.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) throw EFOpenError(u"not a regular file");
      TFileStream in(name, fmOpenRead | fmShareDenyNone);
      text = StreamIsConvertibleText(in);
    } catch (const Exception&) {
      std::fprintf(stderr, "kx8 convert: %s: cannot read\n", f.c_str());
      ++failures;
      continue;
    }
    if (!text) {
      std::fprintf(stderr, "kx8 convert: %s: not a text file, skipped\n", f.c_str());
      continue;
    }
    const UnicodeString backup = BackupFileNameOf(name);
    const std::string backupName = Utf16ToUtf8(backup);
    if (backupsMade.count(backupName)) {
      std::fprintf(stderr, "kx8 convert: %s: its backup %s was made earlier in this run, skipped\n", f.c_str(),
                   backupName.c_str());
      ++failures;
      continue;
    }
    if (!CopyAFileWithBackup(name)) {
      std::fprintf(stderr, "kx8 convert: %s: cannot make the backup %s, not converted\n", f.c_str(), backupName.c_str());
      ++failures;
      continue;
    }
    backupsMade.insert(backupName);
    try {
      // The original is emptied in place (keeping its owner, modes and links) and filled from the backup.
      TFileStream source(backup, fmOpenRead | fmShareDenyNone);
      TFileStream target(name, fmCreate);
      TKXFileFormat fmt;
      if (!StreamedBytesToUTF16LE(source, target, codepage, fmt)) throw EInOutError(u"the backup is no text", 0);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "kx8 convert: %s: conversion failed (%s); the original is in %s\n", f.c_str(), e.what(),
                   backupName.c_str());
      ++failures;
      continue;
    }
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(AT_FDCWD, f.c_str(), times, 0);  // the converted text keeps the original's date
  }
  return failures ? 1 : 0;
}
