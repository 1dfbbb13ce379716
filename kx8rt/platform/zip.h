// The zip component of the run-time layer, on libzip: read an archive's entries (name, size, date,
// attributes), extract them to memory or to a folder, read its comment, and write new archives.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/strings.h"

struct zip;       // libzip's archive handle, kept out of the public headers
struct zip_file;  // and its open-entry handle

namespace kx8 {

// How much of each file's path a new archive stores as the entry name.
enum TZipStorePathMode : uint8_t {
  zsp_no_path,        // the file name only
  zsp_relative_path,  // the path below the base folder (the name only for files outside it)
  zsp_full_path       // the whole path without its leading "/"
};

// What to do after a per-file failure was reported.
enum TZipFailureAction : uint8_t {
  zfa_skip,  // leave this file out and go on with the others
  zfa_abort  // stop the whole operation with EZipError
};

// Per-file failure report: the file (or entry) name, the operation ("add", "extract"), a short reason;
// the handler may change action, which starts as zfa_skip.
using TZipFileFailureEvent = std::function<void(const UnicodeString& fileName, const UnicodeString& operation,
                                                const UnicodeString& reason, TZipFailureAction& action)>;

// One archive, opened by name for reading, or written anew with CreateArchive. Entry indices are 0-based;
// an index out of range raises EListError, a missing or corrupt archive or entry raises EZipError.
class TZipArchive {
 public:
  // Attribute bits reported by Attributes(), the file system's classic values.
  static constexpr uint32_t zaReadOnly = 0x01;
  static constexpr uint32_t zaHidden = 0x02;
  static constexpr uint32_t zaSysFile = 0x04;
  static constexpr uint32_t zaDirectory = 0x10;
  static constexpr uint32_t zaArchive = 0x20;

  TZipArchive() = default;
  ~TZipArchive();
  TZipArchive(const TZipArchive&) = delete;
  TZipArchive& operator=(const TZipArchive&) = delete;

  // Opens an existing archive read-only, closing any earlier one; raises EZipError when the file is
  // missing or is not a readable archive.
  void Open(const UnicodeString& fileName);
  // Closes the archive (nothing is written); safe to call when nothing is open.
  void Close() noexcept;
  // Whether an archive is open, and its name (empty when none is).
  bool Active() const noexcept { return fArchive != nullptr; }
  const UnicodeString& FileName() const noexcept { return fFileName; }

  // Number of entries, 0 when no archive is open.
  int32_t Count() const noexcept;
  // The entry's stored name (folders keep their trailing "/").
  UnicodeString Name(int32_t index) const;
  // Uncompressed size in bytes.
  int64_t Size(int32_t index) const;
  // Modification time as a date-time (days since 30 December 1899, fraction = time of day, local time).
  double DateTime(int32_t index) const;
  // The zaXXX bits of the entry, from its stored DOS or Unix attributes.
  uint32_t Attributes(int32_t index) const;
  // Index of the entry called name (ASCII letters compared without case unless caseSensitive); -1 when absent.
  int32_t IndexOf(const UnicodeString& name, bool caseSensitive = false) const;
  // The archive comment (empty when there is none).
  UnicodeString Comment() const;

  // The entry's bytes; raises EZipError on a damaged entry (bad data, checksum mismatch).
  std::string ExtractToString(int32_t index) const;
  // Compressed size in bytes (what the entry takes in the archive).
  int64_t CompressedSize(int32_t index) const;
  // Writes the entry below folder, creating the folders its name names; raises EZipError when the name
  // would lead outside folder (absolute, a drive, or a ".." part) or when writing fails.
  // Returns the full path written.
  UnicodeString ExtractToFolder(int32_t index, const UnicodeString& folder) const;
  // Extracts every entry below folder; an entry that cannot be extracted (unsafe name, damaged data) is
  // reported through OnFileFailure and skipped, or stops everything when the handler says zfa_abort.
  // Returns the number of entries written.
  int32_t ExtractAllToFolder(const UnicodeString& folder) const;

  // Writes a new archive called archiveName (replacing any file of that name) from files, naming each
  // entry by mode (relative names are taken below baseDir, the current folder when empty), with
  // comment as the archive comment. A file that cannot be added is reported through OnFileFailure.
  // Returns the number of files stored; raises EZipError when the archive itself cannot be written.
  int32_t CreateArchive(const UnicodeString& archiveName, const std::vector<UnicodeString>& files,
                        TZipStorePathMode mode, const UnicodeString& baseDir = UnicodeString(),
                        const UnicodeString& comment = UnicodeString());

  // Per-file failure event; when unassigned, failing files are skipped.
  TZipFileFailureEvent OnFileFailure;

 private:
  void CheckIndex(int32_t index) const;
  bool ReportFailure(const UnicodeString& fileName, const UnicodeString& operation,
                     const UnicodeString& reason) const;  // true = go on

  zip* fArchive = nullptr;
  UnicodeString fFileName;
  friend class TZipEntryReader;
};

// Reads one entry of an open archive piece by piece, so that an entry of any size is read in bounded
// memory. The archive must stay open while the reader is; one reader at a time per archive object.
class TZipEntryReader {
 public:
  // Opens the entry; raises EListError for a bad index and EZipError when it cannot be opened.
  TZipEntryReader(const TZipArchive& archive, int32_t index);
  ~TZipEntryReader();
  TZipEntryReader(const TZipEntryReader&) = delete;
  TZipEntryReader& operator=(const TZipEntryReader&) = delete;
  // Up to n bytes into buffer; 0 at the end; raises EZipError on damaged data.
  size_t Read(void* buffer, size_t n);

 private:
  zip_file* fFile = nullptr;
  UnicodeString fArchiveName;
};

// The date-time value (days since 30 December 1899) of a time_t, in local time.
double ZipUnixTimeToDateTime(int64_t unixTime);

// True when an entry name stays inside the folder it is extracted to: not empty, not absolute, no
// drive letter and no ".." part ("/" and "\" both count as separators).
bool IsSafeZipEntryName(const UnicodeString& name);

}  // namespace kx8
