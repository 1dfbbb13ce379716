// Choosing texts: the folder walker TPeruseDir (file, folder and zip-entry masks, excluded folders and
// extensions, zip archives walked as folders), the list of found files TMySearchRecList and the folder
// with its files TFolderful, with their stream forms.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "kx8rt/containers/search_recs.h"
#include "kx8rt/platform/file_system.h"
#include "kx8rt/platform/object_list.h"
#include "kx8rt/platform/streams.h"
#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/strings.h"
#include "kx8rt/platform/zip.h"

namespace kx8 {

// The order a TMySearchRecList is in (stored as one byte).
enum TMySearchRecSort : uint8_t {
  sr_sort_none,
  sr_sort_by_name,
  sr_sort_by_date,
  sr_sort_by_size,
  sr_sort_by_attr,
  sr_sort_by_extension
};

// Events of the walker.
using TProcessingAFileEvent = std::function<void(const UnicodeString& FullFileName, const TMySearchRec& SR)>;
// True accepts the file (InAZip for an archive entry).
using TCheckFileAcceptableEvent = std::function<bool(const TMySearchRec& SR, bool InAZip)>;
using TFoundDirEvent = std::function<void(const UnicodeString& DirName)>;
using TMyDirProgressEvent = std::function<void(int32_t dirnum)>;
using TZipReadingEvent = std::function<void(int32_t num, int32_t out_of)>;
using TZipDoneReadingEvent = std::function<void(int32_t zips_handled)>;
using TZipStartReadingEvent = std::function<void(const UnicodeString& zipfilename)>;

// Found files, each in an owned TMySearchRecHolder; sortable and searchable.
class TMySearchRecList : public TOwningList<TMySearchRecHolder, TList> {
 public:
  TMySearchRecList() = default;
  TMySearchRecList(const TMySearchRecList&) = delete;
  TMySearchRecList& operator=(const TMySearchRecList&) = delete;

  // Appends a holder carrying rec; returns its index.
  int32_t AddRec(const TMySearchRec& rec);
  // The holder at i (EListError out of range).
  TMySearchRecHolder* Holder(int32_t i) const { return static_cast<TMySearchRecHolder*>(Get(i)); }
  // Index of the record with the same Size, DateTime and ShortName (with case); -1 when none. Binary
  // search in a sorted list, falling back to a linear search when keys tie.
  int32_t Find(const TMySearchRec& item) const;
  int32_t IndexOF(const TMySearchRec& item) const { return Find(item); }
  // A copy of entry i; an all-zero record with an empty name when i is out of range.
  TMySearchRec GetAMySearchRec(int32_t i) const;
  // Sorts ascending by the wanted key (nothing when the list is already in that order).
  void SetSort(TMySearchRecSort wanted);
  TMySearchRecSort CurrentSort() const { return fSort; }
  // Frees every entry and forgets the list's own state.
  void Clear() override;
  // Count, then each entry: DateTime, Size, Attr, Number_Within_Zip, 2 padding bytes, ShortName as a
  // counted string; little-endian. Failures of the stream raise.
  bool SaveToStream(TStream& stream) const;
  // Appends the entries of a stream written by SaveToStream. A short stream raises EReadError (entries
  // read so far stay); a negative count or name length raises the file read error.
  bool ReadFromStream(TStream& stream);

 private:
  TMySearchRecSort fSort = sr_sort_none;
};

class TPeruseDir;

// One folder and its files.
class TFolderful : public TObject {
 public:
  // ADirname gets a trailing "/" when it has none.
  explicit TFolderful(const UnicodeString& ADirname);
  ~TFolderful() override = default;

  TMySearchRecSort CurrentSort() const { return fSort; }
  // Sorts the list (when there is one) and remembers the order.
  void SetCurrentSort(TMySearchRecSort value);
  int32_t dirnum() const { return fdirnum; }
  void Setdirnum(int32_t v) { fdirnum = v; }
  int32_t Starts() const { return fstarts; }
  void SetStarts(int32_t v) { fstarts = v; }
  int32_t Ends() const { return fends; }
  void SetEnds(int32_t v) { fends = v; }
  const UnicodeString& DirName() const { return fDirname; }
  // Stores the value unchanged (no "/" is added).
  void SetDirName(const UnicodeString& v) { fDirname = v; }
  // The owned list; null after Clear.
  TMySearchRecList* ListOfFiles() const { return fThisList.get(); }
  int32_t Count() const { return fThisList ? fThisList->Count() : 0; }
  int32_t Files() const { return Count(); }
  bool Empty() const { return Count() == 0; }

  // Collects this folder's files with the walker's HandleAllFilesIn.
  bool FillList(TPeruseDir& walker);
  // Frees the list, leaving none.
  void Clear() { fThisList.reset(); }

  // Sort byte, starts, ends, dirnum, folder name, then the list. True when done; stream failures raise.
  bool SaveToStream(TStream& stream) const;
  bool SaveToFile(TStream& stream) const { return SaveToStream(stream); }
  // Reads what SaveToStream wrote, replacing the list (which is not re-sorted).
  bool ReadFromStream(TStream& stream);
  bool ReadFromFile(TStream& stream) { return ReadFromStream(stream); }

  // Entry accessors; an index out of range gives the empty name, -1 for the size, false, or an
  // all-zero record.
  UnicodeString fGetAShortName(int32_t i) const;
  UnicodeString fGetAFullname(int32_t i) const;
  TMySearchRec fGetASearchRec(int32_t i) const;
  TMySimpleSearchRec fGetASimpleSearchRec(int32_t i) const;
  int32_t GetAFileSize(int32_t i) const;
  bool fGetIsZipfile(int32_t i) const;
  // Renames file i on disk to newFullName and keeps its new file name; raises EInOutError "cannot
  // rename <old name>" when the rename fails. Nothing happens for an index out of range.
  void fSetAFullName(int32_t i, const UnicodeString& newFullName);

 private:
  bool InRange(int32_t i) const { return fThisList && i >= 0 && i < fThisList->Count(); }

  TMySearchRecSort fSort = sr_sort_none;
  int32_t fdirnum = 0;
  int32_t fstarts = 0;
  int32_t fends = 0;
  std::unique_ptr<TMySearchRecList> fThisList;
  UnicodeString fDirname;
};

// What a folder walk takes, by name: the readable form of TPeruseDir's long constructor.
struct TPeruseDirOptions {
  UnicodeString file_mask = u"*";      // ";"-separated file masks, taken in order
  UnicodeString dir_mask = u"*";       // masks of the sub-folders walked
  UnicodeString zip_mask = u"*";       // masks an archive entry's name must match
  UnicodeString excluded_dirs;         // folders never entered
  UnicodeString excluded_exts;         // extensions (".exe") never collected
  bool reject_resource_forks = true;   // "._" files of another system are no texts
  bool zips = false;                   // run the zip pass over archives found in folders
  bool zips_as_files = false;          // list archives as plain files too
  bool system_files = false;           // accept entries that are neither files nor folders
  bool hidden_files = false;
  bool hidden_folders = false;
};

// The folder walker.
class TPeruseDir : public TObject {
 public:
  // The walker of a set of options.
  explicit TPeruseDir(const TPeruseDirOptions& o)
      : TPeruseDir(o.file_mask, o.dir_mask, o.zip_mask, o.excluded_dirs, o.excluded_exts, o.reject_resource_forks,
                   o.zips, o.zips_as_files, o.system_files, o.hidden_files, o.hidden_folders) {}
  // filemask: ";"-separated file masks, taken in order; dirmask: masks of the sub-folders walked;
  // zipmask: masks an archive entry's name must match; excluded_dirs_mask: folders never entered
  // (each made "*/name"); excluded_exts: extensions (".exe") never collected. The Booleans: reject "._"
  // files, run the zip pass, list archives as plain files too, accept system files, hidden files,
  // hidden folders.
  TPeruseDir(const UnicodeString& filemask, const UnicodeString& dirmask, const UnicodeString& zipmask,
             const UnicodeString& excluded_dirs_mask, const UnicodeString& excluded_exts, bool ACheckingMACOS_files,
             bool zips_too, bool aTreatZipsLikeAnyOtherFile, bool AAcceptSystemFiles, bool AAcceptHiddenFiles,
             bool AAcceptHiddenFolders);

  // Collects the accepted files of one folder (no recursion) into the list, which may be null: the zip
  // pass first, then each file-mask piece in order. True when at least one plain file was accepted; any
  // failure (an archive that cannot be opened included) ends the walk with false, keeping what was
  // collected.
  bool HandleAllFilesIn(const UnicodeString& dirname, TMySearchRecList* ASearchRecList);
  // Walks the sub-folders below folder depth-first, raising OnFoundDir (without a trailing "/") for each
  // before its own sub-folders; collects no files.
  void ProcessAllSubDirectories(const UnicodeString& folder);

  // True when the name begins with "._".
  static bool IsDot_UnderscoreFile(const UnicodeString& name);
  // True when the exclusion list is not empty and path matches one of its masks.
  bool IsExcludedFolder(const UnicodeString& path) const;
  // True when the extension list is not empty and name's extension (dot included) is in it.
  bool HasExcludedExtension(const UnicodeString& name) const;
  // Whether a found entry passes the hidden test (for a folder or a file).
  bool PassesHiddenFileFolderTest(const TSearchRec& sr, bool isFolder) const;
  // True when name is longer than four characters and ends in ZipExtension (no case).
  bool fIsAZipfile(const UnicodeString& name) const;
  // Adds the accepted entries of folder + zipname to the list (which may be null).
  void AddAZip(TMySearchRecList* list, const UnicodeString& folder, const UnicodeString& zipname);
  // Puts "*/" before each excluded folder that does not start with it.
  void EnsureExcludedFoldersHavePathmarks();
  // The zip component's per-file failure event: raises OnZipProblem and leaves action as it is.
  void ZipSkipped(const UnicodeString& fileName, const UnicodeString& operation, const UnicodeString& reason,
                  TZipFailureAction& action);

  const UnicodeString& ZipExtension() const { return fZipExtension; }
  void SetZipExtension(const UnicodeString& v) { fZipExtension = v; }
  int32_t TotalFilesInZips() const { return ftotal_files_in_zips; }
  int32_t ZipsExamined() const { return fzips_examined; }
  int32_t SubDirsFound() const { return fsubdir_counter; }
  bool CheckingMACOSFiles() const { return fCheckingMACOS_files; }
  void SetCheckingMACOSFiles(bool v) { fCheckingMACOS_files = v; }
  const std::vector<UnicodeString>& DirExcludeMasks() const { return fDirExcludeMasks; }

  TZipStartReadingEvent OnZipStartReading;
  TCheckFileAcceptableEvent OnCheckFileAcceptable;
  TFoundDirEvent OnFoundDir;
  TZipReadingEvent OnZipReading;
  TZipDoneReadingEvent OnDoneZipReading;
  TNotifyEvent OnZipProblem;
  // What the walk had to pass over, each with its path and the reason: a folder that cannot be read
  // (the system's reason), a path longer than the system allows, an archive that cannot be read or
  // whose entries past 32,767 are left out, a failure that ended HandleAllFilesIn. A folder is
  // reported once however often it is met.
  std::function<void(const UnicodeString& path, const UnicodeString& reason)> OnProblem;
  // Told, while HandleAllFilesIn lists a folder, each time its list holds listed_batch records, so that
  // a caller may take them (and empty the list) before a large folder has been listed to its end.
  std::function<void(TMySearchRecList& list)> OnListed;
  int32_t listed_batch = 0;

 private:
  struct DirId {
    dev_t dev;
    ino_t ino;
  };
  void WalkSubDirs(const UnicodeString& pattern, size_t maskIndex, std::vector<DirId>& ancestors);
  // Logs a problem and raises OnProblem.
  void Problem(const UnicodeString& path, const UnicodeString& reason);
  // A folder search that failed for another reason than finding nothing; reported once per folder.
  void FolderProblem(const UnicodeString& folder, int32_t error);

  UnicodeString fFilemaskStr;
  UnicodeString fZipExtension;
  std::vector<UnicodeString> fZipMasks;
  std::vector<UnicodeString> fDirExcludeMasks;
  std::vector<UnicodeString> fExtExcludeMasks;
  std::vector<UnicodeString> fDirmasks;
  int32_t ftotal_files_in_zips = 0;
  int32_t fzips_examined = 0;
  int32_t fsubdir_counter = 0;
  bool fCheckingMACOS_files;
  bool fTreatZipsLikeAnyOtherFile;
  bool fAcceptSystemFiles;
  bool fAcceptHiddenFiles;
  bool fAcceptHiddenFolders;
  bool fExamineZips;
  std::set<UnicodeString> fFoldersReported;
};

}  // namespace kx8
