#include "kx8rt/files/perusedir.h"
#include "kx8rt/platform/little_endian.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "kx8rt/containers/base_lists.h"
#include "kx8rt/files/logging_utilities.h"
#include "kx8rt/platform/format.h"
#include "kx8rt/platform/messages.h"
#include "kx8rt/platform/yield.h"
#include "kx8rt/platform/widemasks.h"

namespace kx8 {

namespace {

constexpr double kDate1970 = 25569.0;  // 1 January 1970 as a date-time value

void Log(const UnicodeString& s) {
  if (global_keeping_log) AddToLogFile(s);
}

// Formats only when the log is kept: the walk calls this for every file.
void LogF(const char16_t* fmt, std::initializer_list<TVarRec> args) {
  if (global_keeping_log) AddToLogFile(Format(fmt, args));
}

// Names compare without case, folding only the ASCII letters.
int CompareNames(std::u16string_view a, std::u16string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x + 32);
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y + 32);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

template <typename T>
int Cmp(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

int CompareByKey(TMySearchRecSort key, const TMySearchRec& a, const TMySearchRec& b) {
  switch (key) {
    case sr_sort_by_name: return CompareNames(a.ShortName, b.ShortName);
    case sr_sort_by_date: return Cmp(a.DateTime, b.DateTime);
    case sr_sort_by_size: return Cmp(WholeSize(a), WholeSize(b));
    case sr_sort_by_attr: return Cmp(a.Attr, b.Attr);
    case sr_sort_by_extension: return CompareNames(ExtractFileExt(a.ShortName), ExtractFileExt(b.ShortName));
    case sr_sort_none: return 0;
  }
  return 0;
}

bool SameRec(const TMySearchRec& a, const TMySearchRec& b) {
  return a.Size == b.Size && a.DateTime == b.DateTime && a.ShortName == b.ShortName;
}

[[noreturn]] void BadCount(int32_t n, const char16_t* where) {
  throw EReadError(Format(KXFileReadError, {n, UnicodeString(where)}));
}

int32_t ReadInt32(TStream& stream) {
  uint8_t b[4];
  stream.ReadBuffer(b, 4);
  return static_cast<int32_t>(GetLE(b, 4));
}

void WriteInt32(TStream& stream, int32_t v) {
  uint8_t b[4];
  PutLE(b, static_cast<uint32_t>(v), 4);
  stream.WriteBuffer(b, 4);
}

// The counted string of the folder-list streams, read strictly: the string form of the base lists, but a
// stream that ends early raises its read error instead of giving part of a name.
UnicodeString ReadCountedName(TStream& stream) {
  const int32_t n = ReadInt32(stream);
  if (n < 0 || n > global_string_safety_limit) BadCount(n, u"ReadAString");
  UnicodeString s(static_cast<size_t>(n), u'\0');
  if (n == 0) return s;
  uint8_t buf[512];
  for (int32_t done = 0; done < n;) {
    const int32_t k = std::min<int32_t>(n - done, 256);
    stream.ReadBuffer(buf, k * 2);
    for (int32_t j = 0; j < k; ++j) s[static_cast<size_t>(done + j)] = static_cast<char16_t>(buf[2 * j] | buf[2 * j + 1] << 8);
    done += k;
  }
  return s;
}

}  // namespace

// ---- TMySearchRecList ----


int32_t TMySearchRecList::AddRec(const TMySearchRec& rec) {
  auto h = std::make_unique<TMySearchRecHolder>(rec);
  const int32_t i = Add(h.get());
  h.release();
  return i;
}

void TMySearchRecList::Clear() {
  TOwningList::Clear();
  fSort = sr_sort_none;
}


TMySearchRec TMySearchRecList::GetAMySearchRec(int32_t i) const {
  if (i < 0 || i >= Count() || !List()[i]) return TMySearchRec{};
  return Holder(i)->data;
}

int32_t TMySearchRecList::Find(const TMySearchRec& item) const {
  auto linear = [&]() -> int32_t {
    for (int32_t i = 0; i < Count(); ++i)
      if (List()[i] && SameRec(Holder(i)->data, item)) return i;
    return -1;
  };
  if (fSort == sr_sort_none) return linear();
  int32_t lo = 0, hi = Count() - 1;
  while (lo <= hi) {
    const int32_t mid = lo + (hi - lo) / 2;
    MyYieldProcess();
    if (!List()[mid]) return linear();
    const TMySearchRec& m = Holder(mid)->data;
    const int c = CompareByKey(fSort, m, item);
    if (c == 0 && SameRec(m, item)) return mid;
    if (c < 0) {
      lo = mid + 1;
    } else {
      if (c == 0) return linear();  // same key, another file: equal keys may sit on either side
      hi = mid - 1;
    }
  }
  return -1;
}

void TMySearchRecList::SetSort(TMySearchRecSort wanted) {
  if (wanted == fSort) return;
  fSort = wanted;
  if (wanted == sr_sort_none) return;
  std::vector<TMySearchRecHolder*> items;
  items.reserve(static_cast<size_t>(Count()));
  for (int32_t i = 0; i < Count(); ++i) items.push_back(static_cast<TMySearchRecHolder*>(List()[i]));
  // A null slot sorts last; the order of equal keys is not kept, as with every list sort here.
  std::sort(items.begin(), items.end(), [wanted](const TMySearchRecHolder* a, const TMySearchRecHolder* b) {
    if (!a || !b) return a && !b;
    return CompareByKey(wanted, a->data, b->data) < 0;
  });
  for (int32_t i = 0; i < Count(); ++i) Put(i, items[static_cast<size_t>(i)]);
}

bool TMySearchRecList::SaveToStream(TStream& stream) const {
  WriteInt32(stream, Count());
  for (int32_t i = 0; i < Count(); ++i) {
    const TMySearchRec r = GetAMySearchRec(i);
    uint8_t b[20] = {};
    uint64_t bits;
    std::memcpy(&bits, &r.DateTime, 8);
    PutLE(b, bits, 8);
    PutLE(b + 8, static_cast<uint32_t>(r.Size), 4);
    PutLE(b + 12, static_cast<uint32_t>(r.Attr), 4);
    PutLE(b + 16, static_cast<uint16_t>(r.Number_Within_Zip), 2);
    stream.WriteBuffer(b, 20);
    WriteAString(stream, r.ShortName);
  }
  return true;
}

bool TMySearchRecList::ReadFromStream(TStream& stream) {
  const int32_t n = ReadInt32(stream);
  if (n < 0) BadCount(n, u"TMySearchRecList.ReadFromStream");
  // Entries are appended one by one, so a count larger than the stream holds allocates nothing ahead.
  for (int32_t i = 0; i < n; ++i) {
    MyYieldProcess();
    uint8_t b[20];
    stream.ReadBuffer(b, 20);
    TMySearchRec r;
    const uint64_t bits = GetLE(b, 8);
    std::memcpy(&r.DateTime, &bits, 8);
    r.Size = static_cast<int32_t>(GetLE(b + 8, 4));
    r.Attr = static_cast<int32_t>(GetLE(b + 12, 4));
    r.Number_Within_Zip = static_cast<int16_t>(GetLE(b + 16, 2));
    r.ShortName = ReadCountedName(stream);
    AddRec(r);
  }
  return true;
}

// ---- TFolderful ----

TFolderful::TFolderful(const UnicodeString& ADirname)
    : fThisList(std::make_unique<TMySearchRecList>()), fDirname(IncludeTrailingPathDelimiter(ADirname)) {}

void TFolderful::SetCurrentSort(TMySearchRecSort value) {
  if (fThisList) fThisList->SetSort(value);
  fSort = value;
}

bool TFolderful::FillList(TPeruseDir& walker) {
  if (!fThisList) fThisList = std::make_unique<TMySearchRecList>();
  return walker.HandleAllFilesIn(fDirname, fThisList.get());
}

bool TFolderful::SaveToStream(TStream& stream) const {
  const uint8_t s = static_cast<uint8_t>(fSort);
  stream.WriteBuffer(&s, 1);
  WriteInt32(stream, fstarts);
  WriteInt32(stream, fends);
  WriteInt32(stream, fdirnum);
  WriteAString(stream, fDirname);
  if (fThisList) return fThisList->SaveToStream(stream);
  WriteInt32(stream, 0);  // a released list saves as an empty one
  return true;
}

bool TFolderful::ReadFromStream(TStream& stream) {
  uint8_t s = 0;
  stream.ReadBuffer(&s, 1);
  // An unknown order byte reads as "no order" rather than as a value the enumeration lacks.
  fSort = s <= sr_sort_by_extension ? static_cast<TMySearchRecSort>(s) : sr_sort_none;
  fstarts = ReadInt32(stream);
  fends = ReadInt32(stream);
  fdirnum = ReadInt32(stream);
  fDirname = ReadCountedName(stream);
  if (!fThisList) fThisList = std::make_unique<TMySearchRecList>();
  fThisList->Clear();
  return fThisList->ReadFromStream(stream);
}

UnicodeString TFolderful::fGetAShortName(int32_t i) const {
  return InRange(i) ? fThisList->GetAMySearchRec(i).ShortName : UnicodeString();
}

UnicodeString TFolderful::fGetAFullname(int32_t i) const {
  return InRange(i) ? fDirname + fThisList->GetAMySearchRec(i).ShortName : UnicodeString();
}

TMySearchRec TFolderful::fGetASearchRec(int32_t i) const {
  return InRange(i) ? fThisList->GetAMySearchRec(i) : TMySearchRec{};
}

TMySimpleSearchRec TFolderful::fGetASimpleSearchRec(int32_t i) const {
  TMySimpleSearchRec s{};
  if (!InRange(i)) return s;
  const TMySearchRec r = fThisList->GetAMySearchRec(i);
  s.DateTime = r.DateTime;
  s.Size = r.Size;
  s.folder_number = 0;
  s.ShortName = r.ShortName;
  return s;
}

int32_t TFolderful::GetAFileSize(int32_t i) const { return InRange(i) ? fThisList->GetAMySearchRec(i).Size : -1; }

bool TFolderful::fGetIsZipfile(int32_t i) const {
  return InRange(i) && fThisList->GetAMySearchRec(i).Number_Within_Zip > 0;
}

void TFolderful::fSetAFullName(int32_t i, const UnicodeString& newFullName) {
  if (!InRange(i) || !fThisList->List()[i]) return;
  const UnicodeString old = fGetAFullname(i);
  if (!RenameFile(old, newFullName)) throw EInOutError(Format(KXCannotRename, {old}), errno);
  fThisList->Holder(i)->data.ShortName = ExtractFileName(newFullName);
}

// ---- TPeruseDir ----

TPeruseDir::TPeruseDir(const UnicodeString& filemask, const UnicodeString& dirmask, const UnicodeString& zipmask,
                       const UnicodeString& excluded_dirs_mask, const UnicodeString& excluded_exts,
                       bool ACheckingMACOS_files, bool zips_too, bool aTreatZipsLikeAnyOtherFile,
                       bool AAcceptSystemFiles, bool AAcceptHiddenFiles, bool AAcceptHiddenFolders)
    : fFilemaskStr(filemask),
      fCheckingMACOS_files(ACheckingMACOS_files),
      fTreatZipsLikeAnyOtherFile(aTreatZipsLikeAnyOtherFile),
      fAcceptSystemFiles(AAcceptSystemFiles),
      fAcceptHiddenFiles(AAcceptHiddenFiles),
      fAcceptHiddenFolders(AAcceptHiddenFolders),
      fExamineZips(zips_too) {
  BuildAMask(fExtExcludeMasks, excluded_exts);
  BuildAMask(fDirExcludeMasks, excluded_dirs_mask);
  EnsureExcludedFoldersHavePathmarks();
  BuildAMask(fDirmasks, dirmask);
  BuildAMask(fZipMasks, zipmask);
  fZipExtension = u".zip";
}

void TPeruseDir::EnsureExcludedFoldersHavePathmarks() {
  for (UnicodeString& m : fDirExcludeMasks)
    if (m.compare(0, 2, u"*/") != 0) m.insert(0, u"*/");
}

bool TPeruseDir::IsDot_UnderscoreFile(const UnicodeString& name) { return name.compare(0, 2, u"._") == 0; }

bool TPeruseDir::IsExcludedFolder(const UnicodeString& path) const {
  return !fDirExcludeMasks.empty() && WhereInAMask(path, fDirExcludeMasks) >= 0;
}

bool TPeruseDir::HasExcludedExtension(const UnicodeString& name) const {
  if (fExtExcludeMasks.empty()) return false;
  // The last "." of the whole name, as a zip entry's inner folders may hold dots of their own.
  const UnicodeString ext = ExtractFileExt(name);
  return WhereInAMask(ext, fExtExcludeMasks) >= 0;
}

bool TPeruseDir::PassesHiddenFileFolderTest(const TSearchRec& sr, bool isFolder) const {
  if ((sr.Attr & faHidden) == 0) return true;
  return isFolder ? fAcceptHiddenFolders : fAcceptHiddenFiles;
}

bool TPeruseDir::fIsAZipfile(const UnicodeString& name) const {
  // Compared without allocating: this runs for every file of a walk.
  const size_t n = fZipExtension.size();
  if (name.size() <= 4 || n > name.size()) return false;
  for (size_t i = 0; i < n; ++i) {
    char16_t a = name[name.size() - n + i], b = fZipExtension[i];
    if (a >= u'A' && a <= u'Z') a = static_cast<char16_t>(a + 32);
    if (b >= u'A' && b <= u'Z') b = static_cast<char16_t>(b + 32);
    if (a != b) return false;
  }
  return true;
}

void TPeruseDir::ZipSkipped(const UnicodeString& fileName, const UnicodeString& operation, const UnicodeString& reason,
                            TZipFailureAction&) {
  if (OnZipProblem) OnZipProblem(*this);
  Problem(fileName, operation + u": " + reason);
}

void TPeruseDir::Problem(const UnicodeString& path, const UnicodeString& reason) {
  Log(u"problem: " + path + u": " + reason);
  if (OnProblem) OnProblem(path, reason);
}

void TPeruseDir::FolderProblem(const UnicodeString& folder, int32_t error) {
  // Nothing found is no problem; a missing folder looks the same to the search and is none either.
  if (error == 0 || error == ENOENT) return;
  const UnicodeString f = ExcludeTrailingPathDelimiter(folder);
  if (!fFoldersReported.insert(f).second) return;
  if (error == ENAMETOOLONG)
    Problem(f, u"the path is longer than the system allows (" + IntToStr(PATH_MAX) + u" bytes)");
  else
    Problem(f, Utf8ToUtf16(std::strerror(error)));
}

void TPeruseDir::AddAZip(TMySearchRecList* list, const UnicodeString& folder, const UnicodeString& zipname) {
  TZipArchive zip;  // closed and freed on every way out, failures included
  zip.OnFileFailure = [this](const UnicodeString& f, const UnicodeString& op, const UnicodeString& why,
                             TZipFailureAction& action) { ZipSkipped(f, op, why, action); };
  const UnicodeString archive = IncludeTrailingPathDelimiter(folder) + zipname;
  zip.Open(archive);
  if (OnZipStartReading) OnZipStartReading(archive);
  ++fzips_examined;
  const int32_t count = zip.Count();
  bool reportedTooMany = false;
  int32_t leftOut = 0;
  for (int32_t i = 0; i < count; ++i) {
    MyYieldProcess();
    if (OnZipReading) OnZipReading(i, count);
    const UnicodeString name = zip.Name(i);
    // Folder entries ("d/") hold no text; entry names keep their inner folders ("d/e.txt").
    if (name.empty() || name.back() == u'/') continue;
    if (WhereInAMask(name, fZipMasks) < 0 || HasExcludedExtension(name)) continue;
    if (i + 1 > INT16_MAX) {
      // Number_Within_Zip cannot number entries past 32767, and a wrong number would read another
      // entry later; such entries are left out and the tool told once through OnZipProblem.
      if (!reportedTooMany) {
        reportedTooMany = true;
        Log(u"too many entries in " + archive + u": entries past 32767 left out");
        if (OnZipProblem) OnZipProblem(*this);
      }
      ++leftOut;
      continue;
    }
    ++ftotal_files_in_zips;
    TMySearchRec r;
    r.ShortName = archive + u"/" + name;
    r.DateTime = zip.DateTime(i);
    // Uncompressed size, which is what a reader of the entry gets.
    const int64_t size = zip.Size(i);
    r.Size = static_cast<int32_t>(static_cast<uint32_t>(size));
    r.Size64 = size;
    r.Attr = static_cast<int32_t>(zip.Attributes(i));
    r.Number_Within_Zip = static_cast<int16_t>(i + 1);
    const bool ok = !OnCheckFileAcceptable || OnCheckFileAcceptable(r, true);
    if (ok && list) list->AddRec(r);
  }
  if (leftOut > 0)
    Problem(archive, IntToStr(leftOut) + u" of its " + IntToStr(count) +
                         u" entries are left out: entries past the 32,767th cannot be numbered");
  if (OnDoneZipReading) OnDoneZipReading(fzips_examined);
}

bool TPeruseDir::HandleAllFilesIn(const UnicodeString& dirname, TMySearchRecList* ASearchRecList) {
  bool result = false;
  UnicodeString where = dirname;  // what a failure is reported against
  try {
    const UnicodeString mask = fFilemaskStr;
    LogF(u"searching %s for %s", {dirname, mask});
    const UnicodeString folder = IncludeTrailingPathDelimiter(dirname);

    if (fExamineZips) {
      const size_t dot = mask.find(u'.');
      const UnicodeString stem = dot == UnicodeString::npos ? UnicodeString(u"*") : mask.substr(0, dot);
      TSearchRec sr;
      int32_t rc = FindFirst(folder + stem + fZipExtension, faAnyFile, sr, fk_files);
      FolderProblem(folder, rc);
      while (rc == 0 && global_panic_state == panic_no_panic) {
        where = folder + sr.Name;
        try {
          AddAZip(ASearchRecList, folder, sr.Name);
        } catch (const EZipError& e) {
          // A damaged or unreadable archive is reported and passed over: the folder's other texts and
          // archives are still walked.
          Problem(where, Utf8ToUtf16(e.what()));
        }
        where = dirname;
        MyYieldProcess();
        rc = FindNext(sr);
      }
      FindClose(sr);
    }
    // A path the system cannot open by name is of no use to the caller; it is reported, not listed.
    // Names are short next to the limit, so the exact length is measured only near it.
    const size_t folderBytes = Utf16ToUtf8(folder).size();

    size_t start = 0;
    while (start <= mask.size()) {
      size_t end = mask.find(u';', start);
      if (end == UnicodeString::npos) end = mask.size();
      const UnicodeString piece = mask.substr(start, end - start);
      start = end + 1;
      TSearchRec sr;
      // Files only: the sub-folder walk looks at the folders, so that each entry is examined once.
      int32_t rc = FindFirst(folder + piece, faAnyFile, sr, fk_files);
      if (rc != 0) {
        FolderProblem(folder, rc);
        continue;
      }
      if (global_panic_state >= panic_stop_asap) {
        Log(u"processing stopped");
        FindClose(sr);
        continue;
      }
      for (; rc == 0 && global_panic_state < panic_stop_asap; rc = FindNext(sr)) {
        const bool ignored = (!fAcceptSystemFiles && (sr.Attr & ~faSysFile) == 0) ||
                             !PassesHiddenFileFolderTest(sr, false) ||
                             (fCheckingMACOS_files && IsDot_UnderscoreFile(sr.Name));
        if (ignored) {
          LogF(u"ignoring %s (%d)", {sr.Name, sr.Attr});
          continue;
        }
        LogF(u"\tfound %s", {sr.Name});
        if (HasExcludedExtension(sr.Name) || (!fTreatZipsLikeAnyOtherFile && fIsAZipfile(sr.Name))) {
          MyYieldProcess();
          continue;
        }
        if (folderBytes + 3 * sr.Name.size() >= PATH_MAX && folderBytes + Utf16ToUtf8(sr.Name).size() >= PATH_MAX) {
          Problem(folder + sr.Name, u"the path is longer than the system allows (" + IntToStr(PATH_MAX) + u" bytes)");
          continue;
        }
        TMySearchRec r;
        r.Size = static_cast<int32_t>(static_cast<uint32_t>(sr.Size));
        r.Size64 = sr.Size;
        r.Attr = sr.Attr;
        r.Number_Within_Zip = 0;
        r.ShortName = sr.Name;
        if (!UnixTimeToLocalDateTime(sr.Time, r.DateTime)) r.DateTime = kDate1970;
        if (OnCheckFileAcceptable && !OnCheckFileAcceptable(r, false)) {
          LogF(u"ignoring %s (%d)", {sr.Name, sr.Attr});
          continue;
        }
        result = true;
        if (ASearchRecList) {
          ASearchRecList->AddRec(r);
          if (OnListed && listed_batch > 0 && ASearchRecList->Count() >= listed_batch) OnListed(*ASearchRecList);
        }
        MyYieldProcess();
      }
      FindClose(sr);
    }
  } catch (const std::exception& e) {
    // The walk of this folder ends here (what was collected stays); the caller is told, not only the log.
    Problem(where, Utf8ToUtf16(e.what()) + (where == dirname ? u"" : u"; the rest of the folder was not walked"));
    return false;
  }
  return result;
}

void TPeruseDir::ProcessAllSubDirectories(const UnicodeString& folder) {
  std::vector<DirId> ancestors;
  struct stat sb;
  if (::stat(Utf16ToUtf8(folder).c_str(), &sb) == 0) ancestors.push_back({sb.st_dev, sb.st_ino});
  for (size_t i = 0; i < fDirmasks.size(); ++i)
    WalkSubDirs(IncludeTrailingPathDelimiter(folder) + fDirmasks[i], i, ancestors);
}

// The mask test is made on the found folder's name (which the search itself already matched), rather
// than on the whole search pattern: a user's folder mask "a*" then means folders whose names begin
// with "a" at every level. A folder that is, through a link, one of its own ancestors is not entered
// again, so a walk always ends.
void TPeruseDir::WalkSubDirs(const UnicodeString& pattern, size_t maskIndex, std::vector<DirId>& ancestors) {
  MyYieldProcess();
  const UnicodeString base = ExtractFilePath(pattern);
  TSearchRec sr;
  // Folders only: the files of each folder are examined by the file search, not here as well.
  if (const int32_t rc = FindFirst(pattern, faAnyFile, sr, fk_folders); rc != 0) {
    FolderProblem(base, rc);
    return;
  }
  // The match in hand is always finished (its descent included); the state is tested before the next.
  do {
    MyYieldProcess();
    if ((sr.Attr & faDirectory) == 0 || (!sr.Name.empty() && sr.Name[0] == u'.')) continue;
    if (!PassesHiddenFileFolderTest(sr, true) || global_panic_state >= panic_stop_asap) continue;
    if (!MatchesMask(sr.Name, fDirmasks[maskIndex])) continue;
    const UnicodeString path = base + sr.Name;
    if (IsExcludedFolder(path)) continue;
    const bool loop = std::any_of(ancestors.begin(), ancestors.end(),
                                  [&](const DirId& d) { return d.dev == sr.Device && d.ino == sr.Inode; });
    if (loop) {
      Log(u"not entering " + path + u": it leads back to a folder above it");
      continue;
    }
    ++fsubdir_counter;
    if (OnFoundDir) OnFoundDir(path);
    MyYieldProcess();
    if (global_panic_state < panic_stop_asap) {
      ancestors.push_back({sr.Device, sr.Inode});
      WalkSubDirs(path + u"/" + fDirmasks[maskIndex], maskIndex, ancestors);
      ancestors.pop_back();
    }
  } while (global_panic_state == panic_no_panic && FindNext(sr) == 0);
  FindClose(sr);
}

}  // namespace kx8
