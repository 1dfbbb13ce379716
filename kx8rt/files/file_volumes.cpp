// The file routines: further folder, file and volume routines.
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

// ---- further folder, file and volume routines ----

namespace {

int FilesInFolderOrder(TStringList& list, int32_t i, int32_t j) {
  const UnicodeString& a = list.StoredString(i);
  const UnicodeString& b = list.StoredString(j);
  // Past the last "/" starts the name; a name without a folder has an empty folder part.
  const size_t na = a.find_last_of(u'/') + 1, nb = b.find_last_of(u'/') + 1;
  const std::u16string_view va(a), vb(b);
  const int32_t byFolder = list.CompareStrings(va.substr(0, na), vb.substr(0, nb));
  if (byFolder != 0) return byFolder;
  return list.CompareStrings(va.substr(na), vb.substr(nb));
}

// The path made absolute with ".", ".." and links resolved as far as it exists, without a trailing "/"
// (except for the root); empty for an empty path.
std::string Resolved(const UnicodeString& path) {
  if (path.empty()) return {};
  std::error_code ec;
  std::string r = fs::weakly_canonical(fs::absolute(N(path), ec), ec).string();
  if (ec) r = N(path);
  while (r.size() > 1 && r.back() == '/') r.pop_back();
  return r;
}

// The name of the link in /dev/disk/<by> that leads to device, with the "\x20"-style escapes decoded.
std::string DiskLinkTo(const std::string& device, const char* by) {
  std::error_code ec;
  const fs::path dev = fs::canonical(device, ec);
  if (ec) return {};
  for (const auto& e : fs::directory_iterator(fs::path("/dev/disk") / by, ec)) {
    std::error_code ec2;
    if (fs::canonical(e.path(), ec2) != dev || ec2) continue;
    const std::string raw = e.path().filename().string();
    std::string out;
    for (size_t i = 0; i < raw.size(); ++i) {
      const auto hex = [&](size_t k) { return std::isxdigit(static_cast<unsigned char>(raw[k])) != 0; };
      if (raw[i] == '\\' && i + 3 < raw.size() && raw[i + 1] == 'x' && hex(i + 2) && hex(i + 3)) {
        out += static_cast<char>(std::stoi(raw.substr(i + 2, 2), nullptr, 16));
        i += 3;
      } else {
        out += raw[i];
      }
    }
    return out;
  }
  return {};
}

}  // namespace

void SortListOfFiles(TStringList& list) {
  if (list.Sorted()) list.SetSorted(false);
  list.CustomSort(FilesInFolderOrder);
}

UnicodeString NewSubFolderFrom(const UnicodeString& folder, const UnicodeString& name) {
  if (folder.empty() || name.empty() || name.find(u'/') != UnicodeString::npos || name == u"." || name == u"..")
    return {};
  const UnicodeString base = IncludeTrailingPathDelimiter(folder) + name;
  // mkdir itself decides what is new, so two callers cannot be handed the same folder.
  for (int32_t n = 1; n < 10000; ++n) {
    const UnicodeString candidate = n == 1 ? base : base + u"_" + IntToStr(n);
    if (::mkdir(N(candidate).c_str(), 0777) == 0) return candidate + u"/";
    if (errno != EEXIST) return {};
  }
  return {};
}

bool CopyOrMoveAFileRetainingDirStructure(const UnicodeString& fname, const UnicodeString& fromRoot,
                                          const UnicodeString& toRoot, bool move) {
  if (!IsFile(fname) || fromRoot.empty() || toRoot.empty()) return false;
  const UnicodeString root = IncludeTrailingPathDelimiter(fromRoot);
  if (fname.size() <= root.size() || fname.compare(0, root.size(), root) != 0) return false;
  const UnicodeString rel = fname.substr(root.size());
  // A ".." step would carry the file out of toRoot.
  if (rel.rfind(u"../", 0) == 0 || rel.find(u"/../") != UnicodeString::npos) return false;
  const UnicodeString target = IncludeTrailingPathDelimiter(toRoot) + rel;
  struct stat st;
  if (::lstat(N(target).c_str(), &st) == 0) return false;  // never overwritten
  if (!ForceDirectories(ExtractFilePath(target))) return false;
  if (move) {
    if (::rename(N(fname).c_str(), N(target).c_str()) == 0) return true;
    if (errno != EXDEV) return false;
    // Another file system: copy, then delete the original only once the copy is complete.
    return CopyFileRetainingDate(fname, target, true) && DeleteFile(fname);
  }
  return CopyFileRetainingDate(fname, target, true);
}

bool FolderProposedIsOriginalFolder(const UnicodeString& proposed, const UnicodeString& original) {
  if (proposed.empty() || original.empty()) return false;
  struct stat a, b;
  if (::stat(N(proposed).c_str(), &a) == 0 && ::stat(N(original).c_str(), &b) == 0)
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
  return Resolved(proposed) == Resolved(original);
}

UnicodeString FolderWithPattern(const UnicodeString& folder, const UnicodeString& pattern) {
  UnicodeString p = pattern;
  while (!p.empty() && p.front() == u'/') p.erase(0, 1);
  return IncludeTrailingPathDelimiter(folder) + (p.empty() ? UnicodeString(u"*") : p);
}

bool FoldersFromSameHead(const UnicodeString& a, const UnicodeString& b) {
  const std::string x = Resolved(a), y = Resolved(b);
  if (x.empty() || y.empty()) return false;
  const auto below = [](const std::string& head, const std::string& p) {
    return p == head || head == "/" || (p.rfind(head, 0) == 0 && p[head.size()] == '/');
  };
  return below(x, y) || below(y, x);
}

int32_t RemoveAllEmptyFolders(const UnicodeString& folder) {
  if (!IsFolder(folder)) return 0;
  const auto dirs = ListOfSubFolders(folder, true);
  int32_t removed = 0;
  // The list has each folder before those below it, so backwards the deepest come first.
  for (int32_t i = dirs->Count() - 1; i >= 1; --i) {
    MyYieldProcess();
    const UnicodeString d = (*dirs)[i];
    static_cast<void>(RemovedEmptyFolder(d));  // a folder that is not empty is kept
    if (!IsFolder(d)) ++removed;
  }
  return removed;
}

UnicodeString RemoveDotsFromFilename(const UnicodeString& fname) {
  const size_t slash = fname.find_last_of(u'/');
  const size_t start = slash == UnicodeString::npos ? 0 : slash + 1;
  size_t ext = fname.find_last_of(u'.');
  if (ext == UnicodeString::npos || ext < start) ext = fname.size();
  UnicodeString out = fname.substr(0, start);
  for (size_t i = start; i < ext; ++i)
    if (fname[i] != u'.') out += fname[i];
  return out + fname.substr(ext);
}

int32_t NumberOfDrives() {
  std::vector<std::string> seen;
  for (const MountEntry& m : Mounts())
    if (IsLocalDiskDevice(m) && std::find(seen.begin(), seen.end(), m.mount) == seen.end()) seen.push_back(m.mount);
  return static_cast<int32_t>(seen.size());
}

int32_t NumberOfNetworkDrives() { return AllNetworkDrives()->Count(); }

std::unique_ptr<TStringList> AllNetworkDrives() {
  auto out = std::make_unique<TStringList>();
  for (const MountEntry& m : Mounts())
    if (IsNetworkType(m.type)) out->Add(Utf8ToUtf16(m.mount) + u"=" + Utf8ToUtf16(m.device));
  return out;
}

UnicodeString VolumeID(const UnicodeString& path) {
  const std::optional<MountEntry> m = MountHolding(Resolved(path));
  if (!m) return {};
  if (IsLocalDiskDevice(*m)) {
    for (const char* by : {"by-label", "by-uuid"}) {
      const std::string id = DiskLinkTo(m->device, by);
      if (!id.empty()) return Utf8ToUtf16(id);
    }
  }
  return Utf8ToUtf16(m->device);
}

UnicodeString NetworkVolume(const UnicodeString& path) {
  if (path.size() > 2 && (path.compare(0, 2, u"//") == 0 || path.compare(0, 2, u"\\\\") == 0)) {
    // "//host/share/..." names its volume by its first two parts.
    size_t end = path.find_first_of(u"/\\", 2);
    if (end != UnicodeString::npos) end = path.find_first_of(u"/\\", end + 1);
    UnicodeString v = path.substr(0, end);
    std::replace(v.begin(), v.end(), u'\\', u'/');
    return v;
  }
  const std::optional<MountEntry> m = MountHolding(Resolved(path));
  return m && IsNetworkType(m->type) ? Utf8ToUtf16(m->device) : UnicodeString();
}

std::unique_ptr<TStringList> ListOfAllFilesMatchingExt(const UnicodeString& folder, const UnicodeString& ext,
                                                       bool recurse) {
  const UnicodeString want = !ext.empty() && ext[0] != u'.' ? u"." + ext : ext;
  std::unique_ptr<TStringList> dirs, files;
  ListOfFilesAndDirs(folder, u"*", recurse, dirs, files);
  auto out = std::make_unique<TStringList>();
  for (int32_t i = 0; i < files->Count(); ++i) {
    MyYieldProcess();
    const UnicodeString f = (*files)[i];
    const UnicodeString name = NameOnly(f);
    if (name.empty() || name[0] == u'.') continue;
    if (SameText(ExtractFileExt(name), want)) out->Add(f);
  }
  SortListOfFiles(*out);  // a folder's entries come in no set order from the system
  return out;
}

}  // namespace kx8
