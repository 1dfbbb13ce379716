// The file routines: edits of files with backups beside them.
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

// ---- edits and backups ----

UnicodeString BackupFileNameOf(const UnicodeString& fname) { return ChangeExt(fname, u".bak"); }

bool CopyAFileWithBackup(const UnicodeString& fname) { return CopyFileOver(fname, BackupFileNameOf(fname)); }

bool DeleteFileKeepingBackup(const UnicodeString& fname) {
  // Without its backup the file is not deleted: nothing may be lost.
  if (!IsFile(fname) || !CopyAFileWithBackup(fname)) return false;
  return ::unlink(N(fname).c_str()) == 0;
}

bool EmptyFileKeepingBackup(const UnicodeString& fname) {
  if (!IsFile(fname) || !CopyAFileWithBackup(fname)) return false;
  try {
    WriteNewFile(fname, "\xFF\xFE");
  } catch (const Exception&) {
    return false;
  }
  return true;
}

bool InsertIntoFileW(const UnicodeString& fname, const UnicodeString& s, bool makeBackup, uint32_t pos) {
  // A backup that cannot be made stops the edit: the file is left as it was.
  if (makeBackup && IsFile(fname) && !CopyAFileWithBackup(fname)) return false;
  TKXPlainStringList list;
  list.LoadFromFile(fname, std::nullopt);  // a failure to load reaches the caller
  try {
    const UnicodeString t = list.Text();
    const size_t before = pos == 0 ? 0 : std::min<size_t>(pos - 1, t.size());
    list.SetText(t.substr(0, before) + s + t.substr(before));
    list.SaveToFile(fname, TEncoding::Unicode());
  } catch (const Exception&) {
    return false;
  }
  return true;
}

bool InsertIntoFileA(const UnicodeString& fname, const UnicodeString& s, bool makeBackup, uint32_t pos) {
  if (makeBackup && IsFile(fname) && !CopyAFileWithBackup(fname)) return false;
  TKXPlainStringList list;
  list.LoadFromFile(fname, std::nullopt);
  try {
    UnicodeString t = list.Text();
    Insert(s, t, static_cast<int64_t>(pos));
    list.SetText(t);
    list.SaveToFile(fname);  // the encoding it was loaded with
  } catch (const Exception&) {
    return false;
  }
  return true;
}

bool OKToDeleteFile(const UnicodeString& fname) {
  if (!IsFile(fname)) return false;
  if (MessageBoxW(Format(KXDeleteFileXQ, {fname}), LoadMessage(KXSureQ), MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
    return false;
  return ::unlink(N(fname).c_str()) == 0;
}


void DeleteAllFilesOn(const UnicodeString& folder, const UnicodeString& mask, const UnicodeString& backupFolder,
                      bool copyFirst, bool recurse, bool removeEmptyFolders) {
  // A drive root here is "/" or the mount point of a file system; only removable media may be emptied
  // from their root.
  std::string plain = N(folder);
  while (plain.size() > 1 && plain.back() == '/') plain.pop_back();
  const UnicodeString drive = ExtractFileDrive(folder);
  const bool atRoot = folder.size() < 4 || plain == "/" || (!drive.empty() && Utf8ToUtf16(plain) == drive);
  if (atRoot && !IsRemovableMount(plain + "/")) {
    MessageBoxW(u"Won't delete all files on " + folder, u"No Way!", MB_OK | MB_ICONWARNING);
    return;
  }
  TStringList dirs, files;
  CollectFiles(folder, mask, recurse, dirs, files);
  if (files.Count() == 0) return;
  const UnicodeString question = files.Count() == 1
                                     ? Format(KXDeleteThe1XFileInY, {mask, folder})
                                     : Format(KXDeleteAllXFilesInY, {files.Count(), mask, folder});
  if (MessageBoxW(question, LoadMessage(KXSureQ), MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return;
  for (int32_t i = 0; i < files.Count(); ++i) {
    MyYieldProcess();
    const UnicodeString f = files[i];
    if (copyFirst) {
      if (CopyFileOver(f, backupFolder + u"/" + NameOnly(f))) ::unlink(N(f).c_str());
    } else if (::unlink(N(f).c_str()) != 0) {
      RaiseLastOSError(errno, u"Deleting " + f);
    }
  }
  if (removeEmptyFolders)
    // Deepest first; a folder that is not empty is simply kept.
    for (int32_t i = dirs.Count() - 1; i >= 1; --i) static_cast<void>(RemovedEmptyFolder(dirs[i]));
}

void DeleteAllFilesOn(const UnicodeString& folder, const UnicodeString& mask) {
  DeleteAllFilesOn(folder, mask, u"", false, false, false);
}

bool TryToCopyFileToTEMP(const UnicodeString& fname) {
  if (!IsFile(fname)) return false;
  const fs::path src(N(fname));
  const fs::path dir = src.parent_path() / Utf16ToUtf8(LoadMessage(KXTempFolderName));
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) return false;
  fs::copy_file(src, dir / src.filename(), fs::copy_options::overwrite_existing, ec);
  return !ec;
}

}  // namespace kx8
