// File-system services of the run-time layer on POSIX: folder searches with classic attributes, file
// tests, copy, move and delete, the temporary folder, and the path-name helpers built on "/".
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "kx8rt/platform/strings.h"

namespace kx8 {

// The path delimiter of this platform.
inline constexpr char16_t PathDelim = u'/';

// Classic attribute bits, derived from stat: read-only when the caller may not write the file, hidden
// when the name begins with ".", directory, system for anything neither a regular file nor a folder
// (FIFOs, sockets, devices, dangling links), archive for regular files.
inline constexpr int32_t faReadOnly = 0x01;
inline constexpr int32_t faHidden = 0x02;
inline constexpr int32_t faSysFile = 0x04;
inline constexpr int32_t faVolumeID = 0x08;
inline constexpr int32_t faDirectory = 0x10;
inline constexpr int32_t faArchive = 0x20;
inline constexpr int32_t faNormal = 0x80;
inline constexpr int32_t faAnyFile = 0x1FF;

// One entry found by FindFirst/FindNext.
struct TSearchRec {
  UnicodeString Name;  // the entry's name without its folder
  int64_t Size = 0;    // bytes (0 for folders)
  int32_t Attr = 0;    // faXXX bits
  int64_t Time = 0;    // last-write time, seconds since 1 January 1970 (UTC)
  dev_t Device = 0;    // identity of the entry (followed through links), for loop checks
  ino_t Inode = 0;
  // The search in progress; owned here, released by FindClose or when the record goes.
  struct Handle;
  std::shared_ptr<Handle> FindHandle;
};

// What a search returns: every entry, folders only (links to folders included), or everything but
// folders. The narrower kinds pass over, without examining them, the entries the folder listing itself
// names as the other kind, so that a walk examines each entry once, in the search that wants it.
enum TFindKind : uint8_t { fk_any, fk_folders, fk_files };

// Starts a search for Path: a folder, "/", and one pattern with "*" and "?" (no case). Entries with the
// hidden, system or directory bit are returned only when Attr asks for them, and only entries of the
// kind asked for. Returns 0 and fills F with the first match, or an errno value (ENOENT when nothing
// matches). The folder's names are read at once, so a search may start while another runs; the folder
// itself is held (one descriptor) until the last match is returned or FindClose, each match is
// examined (stat) when it is returned, and names gone by then are passed over.
int32_t FindFirst(const UnicodeString& Path, int32_t Attr, TSearchRec& F, TFindKind Kind = fk_any);
// The next match: 0, or ENOENT when there are no more.
int32_t FindNext(TSearchRec& F);
// Ends the search (safe to call twice).
void FindClose(TSearchRec& F);

// The classic attributes of a file or folder, -1 when it does not exist.
int32_t FileGetAttr(const UnicodeString& FileName);
// A date-time value (days since 30 December 1899, local time) of a time in seconds since 1970; false
// when the time cannot be converted.
bool UnixTimeToLocalDateTime(int64_t UnixTime, double& Result);

// True for an existing entry that is not a folder (links are followed).
bool FileExists(const UnicodeString& FileName);
// True for an existing folder.
bool DirectoryExists(const UnicodeString& Dir);
// Size in bytes, -1 when the file cannot be examined.
int64_t FileSizeByName(const UnicodeString& FileName);
// Deletes a file (not a folder); false when it could not be deleted.
bool DeleteFile(const UnicodeString& FileName);
// Renames or moves a file; false on failure. An existing NewName is replaced.
bool RenameFile(const UnicodeString& OldName, const UnicodeString& NewName);
// Copies a file with its bytes and modes; with FailIfExists an existing target makes it fail.
bool CopyFile(const UnicodeString& Source, const UnicodeString& Target, bool FailIfExists);
// Creates a folder and every missing folder above it; true when it exists afterwards.
bool ForceDirectories(const UnicodeString& Dir);
// Removes an empty folder.
bool RemoveDir(const UnicodeString& Dir);
// The temporary folder ($TMPDIR, else /tmp) with a trailing "/".
UnicodeString GetTempDirectory();

// Path names on "/": the part after the last "/"; up to and including it; from the last "." of the
// name part on (empty when none); FileName with its extension replaced by Ext.
UnicodeString ExtractFileName(const UnicodeString& FileName);
UnicodeString ExtractFilePath(const UnicodeString& FileName);
UnicodeString ExtractFileExt(const UnicodeString& FileName);
UnicodeString ChangeFileExt(const UnicodeString& FileName, const UnicodeString& Ext);
// S with one trailing "/" added when it does not already end in one; and without it.
UnicodeString IncludeTrailingPathDelimiter(const UnicodeString& S);
UnicodeString ExcludeTrailingPathDelimiter(const UnicodeString& S);

}  // namespace kx8
