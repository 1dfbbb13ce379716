// The file routines: placeholders for the user's and the program's folders in stored file names.
#include "kx8rt/files/file_utils.h"
#include "kx8rt/files/file_utils_internal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "kx8rt/files/system_routines.h"
#include "kx8rt/text_primitives/bare_assemb.h"
#include "kx8rt/platform/file_system.h"
#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/large_buffers.h"
#include "kx8rt/platform/message_box.h"
#include "kx8rt/platform/messages.h"
#include "kx8rt/platform/path_match.h"
#include "kx8rt/text_primitives/unicode_string_conversion.h"
#include "kx8rt/text_primitives/utf8_unit.h"

namespace kx8 {

namespace fs = std::filesystem;
using namespace file_utils_detail;

// ---- placeholders ----

UnicodeString ProgramFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return u"./";
  return Utf8ToUtf16(exe.parent_path().string()) + u"/";
}

UnicodeString ConvertedFilenameFromUserDirFName(const UnicodeString& userDir, const UnicodeString& fname) {
  size_t at = fname.find(user_dir_const);
  if (at != UnicodeString::npos) {
    UnicodeString dir = userDir;
    if (dir.empty() || dir.back() != u'/') dir += u'/';
    const size_t rest = at + user_dir_const.size() + 1;  // the delimiter after the placeholder
    return dir + (rest < fname.size() ? fname.substr(rest) : UnicodeString());
  }
  at = fname.find(user_drive_const);
  if (at != UnicodeString::npos) {
    const UnicodeString rest = fname.substr(at + user_drive_const.size());
    const UnicodeString drive = ExtractFileDrive(userDir);
    return !rest.empty() && rest[0] == u'/' ? drive + rest : drive + u"/" + rest;
  }
  return fname;
}

UnicodeString ConvertedFilenameIfUserDrive(const UnicodeString& fname, bool toPlaceholder) {
  const UnicodeString progDrive = ExtractFileDrive(ProgramFolder());
  if (toPlaceholder) {
    if (fname.empty() || fname[0] != u'/') return fname;
    const UnicodeString d = ExtractFileDrive(fname);
    if (SameText(d, progDrive) && fname.compare(0, d.size(), d) == 0) return user_drive_const + fname.substr(d.size());
    return fname;
  }
  if (fname.compare(0, user_drive_const.size(), user_drive_const) == 0)
    return progDrive + fname.substr(user_drive_const.size());
  return fname;
}

UnicodeString ConvertedUserFolderInFilename(const UnicodeString& userDir, const UnicodeString& fname, bool flag) {
  const UnicodeString resolved = ConvertedFilenameFromUserDirFName(userDir, fname);
  // The flag asks for the storable form: a plain name on the program's drive gets the drive placeholder.
  if (flag && resolved == fname) return ConvertedFilenameIfUserDrive(fname, true);
  return resolved;
}

UnicodeString ConvertedAppFolderInFilename(const UnicodeString& fname, bool flag) {
  return ConvertedUserFolderInFilename(ProgramFolder(), fname, flag);
}

void CheckUserDirConstFolder(TStringList& list, bool flag) {
  for (int32_t i = 0; i < list.Count(); ++i) {
    const UnicodeString s = list[i];
    const UnicodeString c = ConvertedAppFolderInFilename(s, flag);
    if (c != s) list.Put(i, c);
  }
}

}  // namespace kx8
