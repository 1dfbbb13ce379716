// The file routines: paths, folders and drives.
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

// ---- paths, folders and drives ----

int32_t PathDelimiterCount(const UnicodeString& path) {
  return static_cast<int32_t>(std::count(path.begin(), path.end(), u'/'));
}

UnicodeString NameUpToXPathDelimiters(const UnicodeString& path, int32_t n) {
  if (n < 1) return {};
  int32_t seen = 0;
  for (size_t i = 0; i < path.size(); ++i)
    if (path[i] == u'/' && ++seen == n) return path.substr(0, i);
  return {};
}

UnicodeString FileNameWithParentFolderOnly(const UnicodeString& fname) {
  const size_t last = fname.find_last_of(u'/');
  if (last == UnicodeString::npos || last == 0) return fname;
  const size_t prev = fname.find_last_of(u'/', last - 1);
  return prev == UnicodeString::npos ? fname : fname.substr(prev + 1);
}

UnicodeString CommonDrivePathElements(const UnicodeString& a, const UnicodeString& b) {
  const size_t n = std::min(a.size(), b.size());
  size_t lastDelim = UnicodeString::npos;
  for (size_t i = 0; i < n; ++i) {
    if (a[i] == u'/') lastDelim = i;
    if (ToLower(static_cast<char32_t>(a[i])) != ToLower(static_cast<char32_t>(b[i]))) break;
  }
  return lastDelim == UnicodeString::npos ? UnicodeString() : a.substr(0, lastDelim + 1);
}

std::unique_ptr<TStringList> ListOfAllFilesIn(const UnicodeString& folder, const UnicodeString& mask) {
  auto out = std::make_unique<TStringList>();
  UnicodeString base = folder;
  if (!base.empty() && base.back() == u'/') base.pop_back();
  std::error_code ec;
  std::vector<UnicodeString> names;
  for (const auto& e : fs::directory_iterator(N(base.empty() ? u"/" : base), ec)) {
    MyYieldProcess();
    const UnicodeString name = Utf8ToUtf16(e.path().filename().string());
    std::error_code ec2;
    if (name.empty() || name[0] == u'.' || !e.is_regular_file(ec2)) continue;  // hidden, folders, system
    if (PathMatchSpecW(name, mask)) names.push_back(base + u"/" + name);
  }
  std::sort(names.begin(), names.end());
  for (const auto& n : names) out->Add(n);
  return out;
}

void ListOfFilesAndDirs(const UnicodeString& folder, const UnicodeString& mask, bool recurse,
                        std::unique_ptr<TStringList>& dirs, std::unique_ptr<TStringList>& files) {
  dirs = std::make_unique<TStringList>();
  files = std::make_unique<TStringList>();
  CollectFiles(folder, mask, recurse, *dirs, *files);
}


UnicodeString DriveWithMostFreeSpace() {
  UnicodeString best;
  unsigned long long most = 0;
  for (const MountEntry& m : Mounts()) {
    if (!IsLocalDiskDevice(m) || IsRemovableMount(m.mount + "/")) continue;  // fixed disks only
    struct statvfs sv;
    if (::statvfs(m.mount.c_str(), &sv) != 0) continue;
    const unsigned long long freeBytes = static_cast<unsigned long long>(sv.f_bavail) * sv.f_frsize;
    if (best.empty() || freeBytes > most) {
      most = freeBytes;
      best = Utf8ToUtf16(m.mount == "/" ? m.mount : m.mount + "/");
    }
  }
  return best;
}

UnicodeString FileFilterWithinFilterText(const UnicodeString& s) {
  UnicodeString r = s;
  const size_t open = s.find(u'(');
  if (open != UnicodeString::npos) {
    const size_t close = s.find(u')', open + 1);
    if (close != UnicodeString::npos) r = s.substr(open + 1, close - open - 1);
  }
  r = Trim(r);
  return r.empty() ? UnicodeString(u"*.*") : r;
}

UnicodeString FormattedFNAsParameter(const UnicodeString& fname) {
  return IsFile(fname) ? u"\"" + fname + u"\"" : fname;
}

UnicodeString CleanedUpFilename(const UnicodeString& fname) {
  // Both slashes end the folder part: stored names may come from another system.
  const size_t cut = fname.find_last_of(u"/\\");
  const UnicodeString name = cut == UnicodeString::npos ? fname : fname.substr(cut + 1);
  static const std::u16string_view bad = u"\\/:|<>^+=?[]\"*";
  UnicodeString out;
  for (char16_t c : name)
    if (c >= 0x20 && bad.find(c) == std::u16string_view::npos) out += c;
  return out;
}

UnicodeString FileNameFromSuggestedOrExisting(const UnicodeString& existing, const UnicodeString& suggested,
                                              const UnicodeString& ext) {
  const UnicodeString e = ChangeExt(existing, ext);
  return IsFile(e) ? e : ChangeExt(suggested, ext);
}

bool IsDirectoryWriteable(const UnicodeString& dir) {
  UnicodeString d = dir;
  if (d.empty() || d.back() != u'/') d += u'/';
  const std::string name = N(d + u"chk.tmp");
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(name.c_str());  // the system cannot delete on close here, so it is removed at once
  return true;
}

bool ReadOnlyFileW(const UnicodeString& fname) {
  return IsFile(fname) && ::access(N(fname).c_str(), W_OK) != 0;
}

bool ReadOnlyFolderW(const UnicodeString& folder) {
  return IsFolder(folder) && ::access(N(folder).c_str(), W_OK) != 0;
}

bool FolderIsEmpty(const UnicodeString& folder) {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(N(folder), ec)) {
    const std::string name = e.path().filename().string();
    if (!name.empty() && name[0] != '.') return false;
  }
  return true;
}

bool RemovedEmptyFolder(const UnicodeString& folder) {
  if (!IsFolder(folder)) return true;
  std::error_code ec;
  if (!fs::is_empty(N(folder), ec) || ec) return true;
  return ::rmdir(N(folder).c_str()) == 0;
}

bool IsNetworkPath(const UnicodeString& path) {
  if (path.size() >= 2 && (path.compare(0, 2, u"//") == 0 || path.compare(0, 2, u"\\\\") == 0)) return true;
  const std::optional<MountEntry> m = MountHolding(N(path));
  return m && IsNetworkType(m->type);
}

bool DriveAndFileExist(const UnicodeString& path) { return IsFile(path); }
bool DriveAndFolderExist(const UnicodeString& path) { return IsFolder(path); }

bool DriveAndFileExist(const UnicodeString& path, bool defaultAnswer, bool probe) {
  if (IsNetworkPath(path) && !probe) return defaultAnswer;
  return IsFile(path);
}

bool DriveAndFolderExist(const UnicodeString& path, bool defaultAnswer, bool probe) {
  if (IsNetworkPath(path) && !probe) return defaultAnswer;
  return IsFolder(path);
}

TKXFilestatus GetFileStatusOfAFile(const UnicodeString& fname, bool probeNetwork) {
  if (IsNetworkPath(fname) && !probeNetwork) return fs_unknown;
  return IsFile(fname) ? fs_exists : fs_moved;
}

int64_t FileSize(const UnicodeString& fname) {
  struct stat st;
  if (!IsFile(fname) || ::stat(N(fname).c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

UnicodeString ExtractFileDrive(const UnicodeString& path) {
  if (path.empty()) return {};
  // The mount point of the deepest existing folder on the way: where st_dev changes going up.
  std::error_code ec;
  fs::path p = fs::absolute(N(path), ec);
  while (!p.empty() && !fs::exists(p, ec) && p != p.root_path()) p = p.parent_path();
  struct stat st;
  if (::stat(p.c_str(), &st) != 0) return {};
  while (p != p.root_path()) {
    struct stat up;
    const fs::path parent = p.parent_path();
    if (::stat(parent.c_str(), &up) != 0 || up.st_dev != st.st_dev) break;
    p = parent;
  }
  const std::string s = p.string();
  return s == "/" ? UnicodeString() : Utf8ToUtf16(s);
}

uint32_t VolumeSerialNumber(const UnicodeString& drive) {
  struct statvfs sv;
  if (::statvfs(N(drive.empty() ? u"/" : drive).c_str(), &sv) != 0) return 0;
  return static_cast<uint32_t>(sv.f_fsid);
}

UnicodeString VolumeSerialNumberStr(const UnicodeString& drive) {
  const uint32_t n = VolumeSerialNumber(drive);
  return IntToHex(n >> 16, 4) + u"-" + IntToHex(n & 0xFFFF, 4);
}

TNameAndSerialNumber DiskVolumeNameAndSerialNo(const UnicodeString& drive) {
  TNameAndSerialNumber r;
  r.number = VolumeSerialNumber(drive);
  const std::string mount = drive.empty() ? std::string("/") : N(ExtractFileDrive(drive).empty() ? u"/" : ExtractFileDrive(drive));
  for (const MountEntry& m : Mounts())
    if (m.mount == mount) {
      const UnicodeString name = Utf8ToUtf16(m.device);
      std::copy_n(name.begin(), std::min<size_t>(name.size(), 261), r.nome);
    }
  return r;
}

UnicodeString GetLongPathNameW(const UnicodeString& path) {
  std::error_code ec;
  const fs::path p = fs::weakly_canonical(N(path), ec);
  return ec ? path : Utf8ToUtf16(p.string());
}

}  // namespace kx8
