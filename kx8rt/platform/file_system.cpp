#include "kx8rt/platform/file_system.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>

#include "kx8rt/platform/path_match.h"

namespace kx8 {

struct TSearchRec::Handle {
  struct Entry {
    std::string name;     // UTF-8, as the folder holds it
    unsigned char type;   // the listing's own DT_ type (DT_UNKNOWN where the file system gives none)
  };
  std::string dir;             // the folder, UTF-8, with a trailing "/"
  std::vector<Entry> entries;  // matching names, in byte order
  size_t next = 0;
  int32_t attr = 0;
  TFindKind kind = fk_any;
  // The folder, held while the search runs so that each entry is examined by its name alone rather
  // than by a path looked up from the root every time; -1 when it could not be held (too many open
  // files, say), and the full path is used.
  int dirFd = -1;
  uid_t uid = 0;
  gid_t gid = 0;

  Handle() = default;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { Release(); }
  void Release() {
    if (dirFd >= 0) ::close(dirFd);
    dirFd = -1;
  }
};

namespace {

// Names go to the system as the bytes they came from, UTF-8 or not.
std::string U8(const UnicodeString& s) { return Utf16ToNativeName(s); }

bool WritableBy(const struct stat& sb, uid_t uid, gid_t gid) {
  if (uid == 0) return true;
  if (sb.st_uid == uid) return (sb.st_mode & S_IWUSR) != 0;
  if (sb.st_gid == gid) return (sb.st_mode & S_IWGRP) != 0;
  return (sb.st_mode & S_IWOTH) != 0;
}

// The attributes of an entry examined by a process with the effective ids given.
int32_t AttrOf(const std::string& name, const struct stat& sb, uid_t uid, gid_t gid) {
  int32_t a = 0;
  if (S_ISDIR(sb.st_mode)) a |= faDirectory;
  else if (S_ISREG(sb.st_mode)) a |= faArchive;
  else a |= faSysFile;
  if (!WritableBy(sb, uid, gid)) a |= faReadOnly;
  if (!name.empty() && name[0] == '.') a |= faHidden;
  return a;
}

// stat following links; a link that leads nowhere is examined itself (and shows as a system entry).
// With a folder descriptor, path is a name in that folder.
bool StatEntry(int dirFd, const char* path, struct stat& sb) {
  if (::fstatat(dirFd, path, &sb, 0) == 0) return true;
  return ::fstatat(dirFd, path, &sb, AT_SYMLINK_NOFOLLOW) == 0;
}

// Whether the listing's type alone rules the entry out of a search of that kind. Links and entries of
// unknown type must be examined: a link may lead to a folder.
bool RuledOutByType(TFindKind kind, unsigned char type) {
  switch (kind) {
    case fk_folders: return type != DT_DIR && type != DT_LNK && type != DT_UNKNOWN;
    case fk_files: return type == DT_DIR;
    case fk_any: break;
  }
  return false;
}

// Sorts a folder's entries by name, byte by byte. Each name's first eight bytes, taken as one number
// (zeros past its end), order most pairs; the rest is compared only where those tie. A folder of ten
// thousand names sorts several times faster than by comparing the strings.
void SortByName(std::vector<TSearchRec::Handle::Entry>& entries) {
  const size_t n = entries.size();
  if (n < 2) return;
  struct Key {
    uint64_t head;
    uint32_t index;
  };
  std::vector<Key> keys(n);
  for (size_t i = 0; i < n; ++i) {
    const std::string& name = entries[i].name;
    uint64_t head = 0;
    for (size_t k = 0; k < 8; ++k) head = (head << 8) | (k < name.size() ? static_cast<unsigned char>(name[k]) : 0u);
    keys[i] = {head, static_cast<uint32_t>(i)};
  }
  std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
    if (a.head != b.head) return a.head < b.head;
    const std::string& x = entries[a.index].name;
    const std::string& y = entries[b.index].name;
    return x.size() > 8 && y.size() > 8 ? x.compare(8, std::string::npos, y, 8, std::string::npos) < 0 : x.size() < y.size();
  });
  // The entries put in that order where they are, a cycle of the permutation at a time, rather than
  // into a second list as large.
  for (size_t i = 0; i < n; ++i) {
    if (keys[i].index == i) continue;
    TSearchRec::Handle::Entry moving = std::move(entries[i]);
    size_t at = i;
    for (;;) {
      const size_t from = keys[at].index;
      keys[at].index = static_cast<uint32_t>(at);  // placed
      if (from == i) {
        entries[at] = std::move(moving);
        break;
      }
      entries[at] = std::move(entries[from]);
      at = from;
    }
  }
}

// Fills F from the next name of its search that still exists and passes the kind and attribute filters
// (the listing's types were applied when the names were read).
int32_t Advance(TSearchRec& F) {
  TSearchRec::Handle* h = F.FindHandle.get();
  if (!h) return ENOENT;
  while (h->next < h->entries.size()) {
    const std::string& name = h->entries[h->next++].name;
    struct stat sb;
    if (!(h->dirFd >= 0 ? StatEntry(h->dirFd, name.c_str(), sb) : StatEntry(AT_FDCWD, (h->dir + name).c_str(), sb)))
      continue;
    const int32_t a = AttrOf(name, sb, h->uid, h->gid);
    if (h->kind != fk_any && ((a & faDirectory) != 0) != (h->kind == fk_folders)) continue;
    // Classic filter: hidden, system and folder entries only when asked for.
    if ((a & (faHidden | faSysFile | faDirectory)) & ~h->attr) continue;
    F.Name = NativeNameToUtf16(name);
    F.Attr = a;
    F.Size = S_ISDIR(sb.st_mode) ? 0 : static_cast<int64_t>(sb.st_size);
    F.Time = static_cast<int64_t>(sb.st_mtime);
    F.Device = sb.st_dev;
    F.Inode = sb.st_ino;
    return 0;
  }
  h->Release();  // nothing more to examine
  return ENOENT;
}

}  // namespace

int32_t FindFirst(const UnicodeString& Path, int32_t Attr, TSearchRec& F, TFindKind Kind) {
  FindClose(F);
  const size_t slash = Path.rfind(u'/');
  const UnicodeString dir = slash == UnicodeString::npos ? UnicodeString(u"./") : Path.substr(0, slash + 1);
  const UnicodeString pattern = slash == UnicodeString::npos ? Path : Path.substr(slash + 1);
  auto h = std::make_shared<TSearchRec::Handle>();
  h->dir = U8(dir);
  h->attr = Attr;
  h->kind = Kind;
  h->uid = ::geteuid();
  h->gid = ::getegid();
  DIR* d = ::opendir(h->dir.c_str());
  if (!d) return errno ? errno : ENOENT;
  // Room for about as many names as the folder's size suggests (some sixteen bytes or more a name on
  // the usual file systems), so that a large folder's list is not moved to new memory as it grows.
  struct stat folder;
  if (::fstat(::dirfd(d), &folder) == 0 && folder.st_size > 0)
    h->entries.reserve(static_cast<size_t>(std::min<off_t>(folder.st_size / 16, off_t{1} << 20)));
  const bool all = pattern == u"*" || pattern == u"*.*";
  // "." and ".." are not reported: no caller of this layer wants them.
  while (const dirent* e = ::readdir(d)) {
    const char* n = e->d_name;
    if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
    if (RuledOutByType(Kind, e->d_type)) continue;
    if (!all && !PathMatchSpecW(NativeNameToUtf16(n), pattern)) continue;
    h->entries.push_back({n, e->d_type});
  }
  if (!h->entries.empty()) h->dirFd = ::fcntl(::dirfd(d), F_DUPFD_CLOEXEC, 0);
  ::closedir(d);
  // Names in byte order rather than the order the file system happens to keep, so that every walk of
  // the same folder reports the same order on every machine.
  SortByName(h->entries);
  F.FindHandle = std::move(h);
  const int32_t r = Advance(F);
  if (r != 0) FindClose(F);
  return r;
}

int32_t FindNext(TSearchRec& F) { return Advance(F); }

void FindClose(TSearchRec& F) { F.FindHandle.reset(); }

int32_t FileGetAttr(const UnicodeString& FileName) {
  const std::string p = U8(FileName);
  struct stat sb;
  if (p.empty() || !StatEntry(AT_FDCWD, p.c_str(), sb)) return -1;
  return AttrOf(U8(ExtractFileName(ExcludeTrailingPathDelimiter(FileName))), sb, ::geteuid(), ::getegid());
}

bool UnixTimeToLocalDateTime(int64_t UnixTime, double& Result) {
  const time_t t = static_cast<time_t>(UnixTime);
  struct tm tmv;
  if (localtime_r(&t, &tmv) == nullptr) return false;
  // Days from 1 January 1970 to the local calendar date, then the classic 1899 epoch.
  int64_t y = tmv.tm_year + 1900LL;
  const unsigned m = static_cast<unsigned>(tmv.tm_mon + 1), d = static_cast<unsigned>(tmv.tm_mday);
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const int64_t days = era * 146097 + static_cast<int64_t>(doe) - 719468 + 25569;
  Result = static_cast<double>(days) + (tmv.tm_hour * 3600.0 + tmv.tm_min * 60.0 + tmv.tm_sec) / 86400.0;
  return true;
}

bool FileExists(const UnicodeString& FileName) {
  struct stat sb;
  const std::string p = U8(FileName);
  return !p.empty() && ::stat(p.c_str(), &sb) == 0 && !S_ISDIR(sb.st_mode);
}

bool DirectoryExists(const UnicodeString& Dir) {
  struct stat sb;
  const std::string p = U8(Dir);
  return !p.empty() && ::stat(p.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode);
}

int64_t FileSizeByName(const UnicodeString& FileName) {
  struct stat sb;
  const std::string p = U8(FileName);
  if (p.empty() || ::stat(p.c_str(), &sb) != 0) return -1;
  return static_cast<int64_t>(sb.st_size);
}

bool DeleteFile(const UnicodeString& FileName) {
  const std::string p = U8(FileName);
  struct stat sb;
  if (p.empty() || ::lstat(p.c_str(), &sb) != 0 || S_ISDIR(sb.st_mode)) return false;
  return ::unlink(p.c_str()) == 0;
}

bool RenameFile(const UnicodeString& OldName, const UnicodeString& NewName) {
  const std::string a = U8(OldName), b = U8(NewName);
  return !a.empty() && !b.empty() && ::rename(a.c_str(), b.c_str()) == 0;
}

bool CopyFile(const UnicodeString& Source, const UnicodeString& Target, bool FailIfExists) {
  const std::string s = U8(Source), t = U8(Target);
  if (s.empty() || t.empty()) return false;
  const int in = ::open(s.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat sb;
  if (::fstat(in, &sb) != 0 || S_ISDIR(sb.st_mode)) {
    ::close(in);
    return false;
  }
  // Written beside the target and renamed over it, so that a failed copy never leaves half a file.
  const std::string tmp = t + ".kx8copy";
  const int out = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, sb.st_mode & 07777);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = true;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    if (n == 0) break;
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(out, buf + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        ok = false;
        break;
      }
      done += w;
    }
    if (!ok) break;
  }
  ::close(in);
  if (::close(out) != 0) ok = false;
  if (ok && FailIfExists) {
    // link() refuses an existing name, which makes the test and the placing one step.
    ok = ::link(tmp.c_str(), t.c_str()) == 0;
    ::unlink(tmp.c_str());
    return ok;
  }
  if (ok) ok = ::rename(tmp.c_str(), t.c_str()) == 0;
  if (!ok) ::unlink(tmp.c_str());
  return ok;
}

bool ForceDirectories(const UnicodeString& Dir) {
  std::string p = U8(ExcludeTrailingPathDelimiter(Dir));
  if (p.empty()) return false;
  for (size_t i = 1; i <= p.size(); ++i) {
    if (i == p.size() || p[i] == '/') {
      const std::string part = p.substr(0, i);
      if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
  }
  return DirectoryExists(Dir);
}

bool RemoveDir(const UnicodeString& Dir) {
  const std::string p = U8(Dir);
  return !p.empty() && ::rmdir(p.c_str()) == 0;
}

UnicodeString GetTempDirectory() {
  const char* t = std::getenv("TMPDIR");
  UnicodeString d = (t && *t) ? Utf8ToUtf16(t) : UnicodeString(u"/tmp");
  return IncludeTrailingPathDelimiter(d);
}

UnicodeString ExtractFileName(const UnicodeString& FileName) {
  const size_t p = FileName.rfind(PathDelim);
  return p == UnicodeString::npos ? FileName : FileName.substr(p + 1);
}

UnicodeString ExtractFilePath(const UnicodeString& FileName) {
  const size_t p = FileName.rfind(PathDelim);
  return p == UnicodeString::npos ? UnicodeString() : FileName.substr(0, p + 1);
}

UnicodeString ExtractFileExt(const UnicodeString& FileName) {
  const size_t p = FileName.find_last_of(u"./");
  if (p == UnicodeString::npos || FileName[p] != u'.') return UnicodeString();
  return FileName.substr(p);
}

UnicodeString ChangeFileExt(const UnicodeString& FileName, const UnicodeString& Ext) {
  const size_t p = FileName.find_last_of(u"./");
  if (p == UnicodeString::npos || FileName[p] != u'.') return FileName + Ext;
  return FileName.substr(0, p) + Ext;
}

UnicodeString IncludeTrailingPathDelimiter(const UnicodeString& S) {
  if (!S.empty() && S.back() == PathDelim) return S;
  return S + PathDelim;
}

UnicodeString ExcludeTrailingPathDelimiter(const UnicodeString& S) {
  if (S.size() > 1 && S.back() == PathDelim) return S.substr(0, S.size() - 1);
  return S;
}

}  // namespace kx8
