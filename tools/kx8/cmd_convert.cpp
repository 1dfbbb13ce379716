// kx8 convert: rewrites each text file as UTF-16 LE with signature, keeping its date, after copying it
// to its ".bak". A backup made earlier in the same run is never overwritten: a second file that would
// need the same backup is left alone.
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "commands.h"
#include "kx8rt/files/file_utils.h"

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
    std::ifstream in(f, std::ios::binary);
    struct stat st;
    if (!in || ::stat(f.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      std::fprintf(stderr, "kx8 convert: %s: cannot read\n", f.c_str());
      ++failures;
      continue;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    std::string out;
    TKXFileFormat fmt;
    if (!ConvertedBytesToUTF16LE(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), codepage, out, fmt)) {
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
    {
      std::ofstream o(f, std::ios::binary | std::ios::trunc);
      o.write(out.data(), static_cast<std::streamsize>(out.size()));
      if (!o.flush()) {
        std::fprintf(stderr, "kx8 convert: %s: write failed (%s); the original is in %s\n", f.c_str(),
                     std::strerror(errno), backupName.c_str());
        ++failures;
        continue;
      }
    }
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(AT_FDCWD, f.c_str(), times, 0);  // the converted text keeps the original's date
  }
  return failures ? 1 : 0;
}
