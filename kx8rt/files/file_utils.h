// File-level routines: recognising a file's text format from its first bytes and delivering its text,
// a string list that loads such files, path placeholders, writes that keep a ".bak" copy, inserting
// text into files, deleting many files with confirmation, file dates, checksums, and path, folder and
// drive routines. Paths use "/"; a "drive" here is the mount point that holds a path.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "kx8rt/dates/juliandateroutines.h"
#include "kx8rt/platform/datetime.h"
#include "kx8rt/platform/streams.h"
#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// What the first bytes of a file say it is. fc_UTF16 is little-endian UTF-16.
enum TKXFileFormat : uint8_t {
  fc_Unknown, fc_ASCII, fc_ANSI, fc_UTF8, fc_UTF16, fc_early_Word, fc_Storage, fc_Zip, fc_UTF16_BigEndian
};

// A format with the signature skipped; all zero when nothing is known.
struct TKXFileFormatAndSignatureLen {
  TKXFileFormat fmt = fc_Unknown;
  bool UTF8_signed = false;
  int32_t signature_length = 0;
};
static_assert(sizeof(TKXFileFormatAndSignatureLen) == 8);

enum TKXFilestatus : uint8_t { fs_unknown, fs_exists, fs_moved };

// A volume's name and serial number.
struct TNameAndSerialNumber {
  char16_t nome[262] = {};
  uint32_t number = 0;
};

// Placeholders that keep stored file names valid when the user's folder or drive moves.
inline const UnicodeString same_file_const = u"$SAME_FILE";
inline const UnicodeString user_dir_const = u"$userdir";
inline const UnicodeString user_drive_const = u"$user_drive";

// ---- format detection and text reading ----

// The format of len bytes at p, by the first check that applies: short (< 4 bytes), FF FE, FE FF,
// compound document, early word-processor file, zip, signature-less UTF-16 by the statistical test,
// EF BB BF, then the bytes up to the first zero: ASCII, UTF-8 or 8-bit. p is moved past a signature.
TKXFileFormatAndSignatureLen FileBufferType(const uint8_t*& p, int32_t len);
// The format of a file's content; fc_Unknown on a read failure. Failing to open raises EFOpenError.
TKXFileFormat FileContentsFormat(const UnicodeString& fname);

// Receivers of delivered text: zero-terminated 8-bit or UTF-16 text, valid during the call.
using TAnsiTextProc = std::function<void(const char* text)>;
using TWideTextProc = std::function<void(const char16_t* text)>;
// Reads the whole stream, recognises its format (fmt) and hands its text to ansiProc or wideProc: 7-bit,
// UTF-8 and 8-bit text (8-bit in codepage) as UTF-16 when wantUnicode, else as 8-bit bytes (UTF-8
// re-encoded in the system code page); UTF-16 of either byte order always as little-endian UTF-16
// (fmt then fc_UTF16). Other formats and streams under 4 bytes deliver nothing.
void HandleTextFileReading(TStream& stream, const TAnsiTextProc& ansiProc, const TWideTextProc& wideProc,
                           bool wantUnicode, uint16_t codepage, TKXFileFormat& fmt);

// -1, 0 or 1 by the formats' order.
int32_t FileFormatComparison(TKXFileFormat a, TKXFileFormat b);
// True for either UTF-16.
bool TextFormatToWhetherUnicode(TKXFileFormat f);
// True when both are one of the two UTF-16 formats.
bool VariantFlavoursOfUTF16(TKXFileFormat a, TKXFileFormat b);
// Zero-terminated 8-bit text in codepage as UTF-16 (empty for null p).
UnicodeString ConvertedFromANSI(const char* p, uint16_t codepage);
// False under 4 bytes; true for a UTF-16 signature; else the statistical test of UTF-16 text.
bool StringIsInUnicode(const uint8_t* p, int32_t len);
// StringIsInUnicode over the whole file (false for a missing or empty file).
bool TextFileInUnicode(const UnicodeString& fname);
// The file's text as TPossiblyDodgyTextStringlist loads it, lines joined with CR LF; empty when the
// file does not exist.
UnicodeString TextFileContents(const UnicodeString& fname);

// The bytes of a text file (any of the text formats above; 8-bit text in codepage, 0 meaning the system
// code page) as the bytes of a UTF-16 LE file with signature, which is what the tools write. False, with
// out empty, for formats that are no text (zip, compound and early word-processor files) and for fewer
// than 4 bytes of input that are not empty. fmt receives the format recognised.
[[nodiscard]] bool ConvertedBytesToUTF16LE(const uint8_t* data, size_t size, uint16_t codepage, std::string& out,
                             TKXFileFormat& fmt);

// Whether ConvertedBytesToUTF16LE and StreamedBytesToUTF16LE convert the stream: empty, or at least 4
// bytes that are not a zip, compound or early word-processor file. The stream is left at its start.
bool StreamIsConvertibleText(TStream& in);
// ConvertedBytesToUTF16LE for texts of any size: reads in (from its start) chunkBytes at a time and
// writes, at out's position, the same bytes as ConvertedBytesToUTF16LE of the whole would give (the
// signature once; characters and surrogate pairs split between chunks joined; 8-bit text to its first
// zero byte). out must be able to go back: 8-bit text is read as UTF-8 while it is that, and when a
// byte proves it is not, out is cut back to the signature and the text read again in codepage. False,
// writing nothing, when StreamIsConvertibleText is false; stream failures raise, and so does a code page
// that is not available (EEncodingError) when 8-bit text needs it.
[[nodiscard]] bool StreamedBytesToUTF16LE(TStream& in, TStream& out, uint16_t codepage, TKXFileFormat& fmt,
                            int32_t chunkBytes = 256 * 1024);

// The runtime's string list that also notes whether the file it loaded began with the UTF-8 signature.
class TPossiblyDodgyTextStringlist : public TStringList {
 public:
  bool SignedUTF8 = false;
  // Loads with encoding detection (signature, else the system 8-bit code page), noting SignedUTF8.
  void LoadFromFile(const UnicodeString& FileName);
  // Replaces the lines: with a CR LF line break every CR, LF or CR LF ends a line; otherwise the break.
  void SetTextStr(const UnicodeString& Value) override;
};

// Rewrites an existing file as UTF-16 LE with signature, keeping its last-write time; 8-bit text is
// read in codepage (0: the system code page). False when the file does not exist or cannot be rewritten.
[[nodiscard]] bool ConvertTextFileToUnicode(const UnicodeString& fname);
[[nodiscard]] bool ConvertTextFileToUnicode(const UnicodeString& fname, uint16_t codepage);
// Writes FF FE and s as UTF-16 LE to a new fname; false (no file) for an empty s or a failed write.
[[nodiscard]] bool SavedTextAsStream(const UnicodeString& s, const UnicodeString& fname);

// ---- edits and backups ("name.bak" beside the file, overwritten) ----

// The backup's name: the extension replaced by ".bak".
UnicodeString BackupFileNameOf(const UnicodeString& fname);
// Copies fname to its backup; false when that failed.
[[nodiscard]] bool CopyAFileWithBackup(const UnicodeString& fname);
// Backs up and deletes an existing file; false when it does not exist or could not be deleted.
[[nodiscard]] bool DeleteFileKeepingBackup(const UnicodeString& fname);
// Backs up an existing file and rewrites it as an empty UTF-16 LE file (the signature only).
[[nodiscard]] bool EmptyFileKeepingBackup(const UnicodeString& fname);
// Inserts s before character pos (1-based) of the file's text and saves it as UTF-16 LE with
// signature; a failure to load raises, other failures give false.
[[nodiscard]] bool InsertIntoFileW(const UnicodeString& fname, const UnicodeString& s, bool makeBackup, uint32_t pos);
// As InsertIntoFileW with the runtime's insertion, saved in the encoding the file was read in.
[[nodiscard]] bool InsertIntoFileA(const UnicodeString& fname, const UnicodeString& s, bool makeBackup, uint32_t pos);
// Asks (OK/Cancel through the message-box hook) and deletes an existing file on OK; true when deleted.
bool OKToDeleteFile(const UnicodeString& fname);
// Deletes every file matching mask in folder (and below when recurse) after one OK/Cancel question,
// copying each to backupFolder first when copyFirst (deleting only what was copied), then removing
// emptied sub-folders when removeEmptyFolders. Refuses with a warning on the root of a fixed drive.
void DeleteAllFilesOn(const UnicodeString& folder, const UnicodeString& mask, const UnicodeString& backupFolder,
                      bool copyFirst, bool recurse, bool removeEmptyFolders);
void DeleteAllFilesOn(const UnicodeString& folder, const UnicodeString& mask);
// Copies a file into the folder "KX8_TEMP" under its own folder (created when needed); false on failure.
[[nodiscard]] bool TryToCopyFileToTEMP(const UnicodeString& fname);

// ---- placeholders ----

// Resolves "$userdir" and "$user_drive" in fname against userDir.
UnicodeString ConvertedFilenameFromUserDirFName(const UnicodeString& userDir, const UnicodeString& fname);
// Puts "$user_drive" in place of the running program's drive (toPlaceholder) or back.
UnicodeString ConvertedFilenameIfUserDrive(const UnicodeString& fname, bool toPlaceholder);
// Resolves fname's placeholders against userDir; with flag, a name without placeholders on the program's
// drive is also returned with "$user_drive" (for storing).
UnicodeString ConvertedUserFolderInFilename(const UnicodeString& userDir, const UnicodeString& fname, bool flag);
// As ConvertedUserFolderInFilename with the running program's folder as userDir.
UnicodeString ConvertedAppFolderInFilename(const UnicodeString& fname, bool flag);
// Replaces every line of list by ConvertedAppFolderInFilename of it where that differs.
void CheckUserDirConstFolder(TStringList& list, bool flag);
// The running program's folder, with a trailing "/".
UnicodeString ProgramFolder();

// ---- file dates ----

[[nodiscard]] bool SetFileDate(const UnicodeString& fname, TDateTime dt);
[[nodiscard]] bool SetFileDate(const UnicodeString& fname, const TYearMonthDay& ymd, int32_t hour);
[[nodiscard]] bool SetFileDate(const UnicodeString& fname, const TYearMonthDay& ymd);
[[nodiscard]] bool SetFileDate(const UnicodeString& fname, int32_t hour, int32_t day, int32_t month, int32_t year);
[[nodiscard]] bool SetFileDate(const UnicodeString& fname, int32_t day, int32_t month, int32_t year);
[[nodiscard]] bool SetFileDate(const UnicodeString& fname, const UnicodeString& day, const UnicodeString& month,
                 const UnicodeString& year);
// "dd/mm/yyyy" with any separators; other lengths give false.
[[nodiscard]] bool SetFileDate(const UnicodeString& fname, const UnicodeString& s);
// The file's last-write time (local); -1 when it does not exist.
TDateTime GetFileAge(const UnicodeString& fname);
[[nodiscard]] bool CopyDateOfFile(const UnicodeString& from, const UnicodeString& to);
[[nodiscard]] bool CopyFileRetainingDate(const UnicodeString& from, const UnicodeString& to, bool failIfExists = false);

using TGetFilesCount = std::function<int32_t(TObject* sender)>;
using TGetFilename = std::function<UnicodeString(TObject* sender, int32_t n)>;
using TTellFilenameDate = std::function<void(TObject* sender, int32_t n, double AJulianDate)>;

// Tells the tool the date of each of its files from a list file of "name<TAB>date" lines.
class TFileDateUpdater : public TObject {
 public:
  TFileDateUpdater(TGetFilesCount AOnGetFilesCount, TGetFilename AOnGetAFile, TTellFilenameDate AOnTellAFileDate)
      : fOnGetFilesCount(std::move(AOnGetFilesCount)),
        fOnGetAFile(std::move(AOnGetAFile)),
        fOnTellAFileDate(std::move(AOnTellAFileDate)) {}
  const TGetFilesCount& OnGetNumberOfFiles() const { return fOnGetFilesCount; }
  void SetOnGetNumberOfFiles(TGetFilesCount v) { fOnGetFilesCount = std::move(v); }
  const TGetFilename& OnGetAFilename() const { return fOnGetAFile; }
  void SetOnGetAFilename(TGetFilename v) { fOnGetAFile = std::move(v); }
  const TTellFilenameDate& OnTellAFileDate() const { return fOnTellAFileDate; }
  void SetOnTellAFileDate(TTellFilenameDate v) { fOnTellAFileDate = std::move(v); }
  // For each file, looks up its name without folder, its full name, then its name without folder and
  // extension, and tells the Julian date (offset added) of the first found.
  void HandleAFileList(const UnicodeString& FilenameWithList);

 private:
  TGetFilesCount fOnGetFilesCount;
  TGetFilename fOnGetAFile;
  TTellFilenameDate fOnTellAFileDate;
};

// A read-only file stream that sums what passes through it as 32-bit little-endian words.
class TMyCheckSumFileStream : public TFileStream {
 public:
  explicit TMyCheckSumFileStream(const UnicodeString& FileName);
  int32_t Read(void* Buffer, int32_t Count) override;
  uint32_t Checksum() const { return fChecksum; }

 private:
  uint32_t fChecksum = 0;
  uint32_t fPending = 0;
  int fPendingBytes = 0;
};

// Sum modulo 2^32 of the file's whole 32-bit little-endian words; 0 when it does not exist.
uint32_t CheckSumOfAFile(const UnicodeString& fname);

// ---- paths, folders and drives ----

int32_t PathDelimiterCount(const UnicodeString& path);
// The text before the n-th delimiter; empty when there are fewer.
UnicodeString NameUpToXPathDelimiters(const UnicodeString& path, int32_t n);
// The file name with only its immediate folder in front.
UnicodeString FileNameWithParentFolderOnly(const UnicodeString& fname);
// The common start of a and b (ignoring case) up to and including its last delimiter.
UnicodeString CommonDrivePathElements(const UnicodeString& a, const UnicodeString& b);
// Full names of the files matching mask directly in folder (no hidden, system or dot files).
std::unique_ptr<TStringList> ListOfAllFilesIn(const UnicodeString& folder, const UnicodeString& mask);
// The folders (folder itself with "/" first, then, when recurse, every one below) and the files
// matching mask in each.
void ListOfFilesAndDirs(const UnicodeString& folder, const UnicodeString& mask, bool recurse,
                        std::unique_ptr<TStringList>& dirs, std::unique_ptr<TStringList>& files);
// The mount point (with "/") of the real local file system with the most free space.
UnicodeString DriveWithMostFreeSpace();
// The text in the first "(...)" of a file-dialog filter, trimmed; "*.*" when empty.
UnicodeString FileFilterWithinFilterText(const UnicodeString& s);
// The name in double quotes when the file exists.
UnicodeString FormattedFNAsParameter(const UnicodeString& fname);
// The file-name part with \/:|<>^+=?[]"* and control characters removed.
UnicodeString CleanedUpFilename(const UnicodeString& fname);
// existing (extension changed to ext) when that file exists, else suggested with ext.
UnicodeString FileNameFromSuggestedOrExisting(const UnicodeString& existing, const UnicodeString& suggested,
                                              const UnicodeString& ext);
// True when "chk.tmp" could be created in dir (and it is removed again).
bool IsDirectoryWriteable(const UnicodeString& dir);
bool ReadOnlyFileW(const UnicodeString& fname);
bool ReadOnlyFolderW(const UnicodeString& folder);
// True unless the folder holds an entry not beginning with ".".
bool FolderIsEmpty(const UnicodeString& folder);
// Removes an existing empty folder (reporting success); true in every other case.
[[nodiscard]] bool RemovedEmptyFolder(const UnicodeString& folder);
bool DriveAndFileExist(const UnicodeString& path);
bool DriveAndFolderExist(const UnicodeString& path);
// For a network path ("//host/..." or on a network mount): defaultAnswer unless probe.
bool DriveAndFileExist(const UnicodeString& path, bool defaultAnswer, bool probe);
bool DriveAndFolderExist(const UnicodeString& path, bool defaultAnswer, bool probe);
TKXFilestatus GetFileStatusOfAFile(const UnicodeString& fname, bool probeNetwork);
// -1 when the file does not exist.
int64_t FileSize(const UnicodeString& fname);
// True when path is on a network file system (or is a "//host" name).
bool IsNetworkPath(const UnicodeString& path);
// The mount point holding path (no trailing "/"; empty for the root file system).
UnicodeString ExtractFileDrive(const UnicodeString& path);
// The file system's identifier as two groups of four hexadecimal digits ("1A2B-3C4D").
UnicodeString VolumeSerialNumberStr(const UnicodeString& drive);
uint32_t VolumeSerialNumber(const UnicodeString& drive);
// The mount point's device name and serial number.
TNameAndSerialNumber DiskVolumeNameAndSerialNo(const UnicodeString& drive);
// The path with every "." and ".." resolved and symbolic links followed, as far as it exists.
UnicodeString GetLongPathNameW(const UnicodeString& path);

// ---- further folder, file and volume routines ----

// Orders a list of full file names by folder, then by name within the folder, so each folder's files
// come together (comparisons as the list's CompareStrings); a sorted list is switched to unsorted first.
void SortListOfFiles(TStringList& list);
// Creates a new sub-folder name under folder, or name_2, name_3, ... when that exists already; the new
// folder's path with "/", empty when it could not be made.
UnicodeString NewSubFolderFrom(const UnicodeString& folder, const UnicodeString& name);
// Copies (or moves) fname, which lies below fromRoot, to the same relative place below toRoot, creating
// the folders on the way and keeping its date; false when fname is missing or not below fromRoot, when
// the target exists (it is never overwritten) or the copy fails.
[[nodiscard]] bool CopyOrMoveAFileRetainingDirStructure(const UnicodeString& fname, const UnicodeString& fromRoot,
                                          const UnicodeString& toRoot, bool move);
// True when proposed names the same folder as original (delimiters, "." and ".." and links resolved),
// so that output meant for elsewhere would land among the originals.
bool FolderProposedIsOriginalFolder(const UnicodeString& proposed, const UnicodeString& original);
// The search path of pattern in folder: folder, one "/", pattern ("*" when empty).
UnicodeString FolderWithPattern(const UnicodeString& folder, const UnicodeString& pattern);
// True when one folder is the other or lies below it (walking both would meet files twice).
bool FoldersFromSameHead(const UnicodeString& a, const UnicodeString& b);
// Removes every empty folder below folder, deepest first, so folders holding only empty folders go too;
// folder itself stays. Folders holding any file are kept. The number removed.
int32_t RemoveAllEmptyFolders(const UnicodeString& folder);
// The name with every "." of the file-name part removed except the one starting its extension
// ("a.b/v1.2.txt" gives "a.b/v12.txt"); the folder part is unchanged.
UnicodeString RemoveDotsFromFilename(const UnicodeString& fname);
// The number of local disk file systems mounted (the drives of this system).
int32_t NumberOfDrives();
// The number of network file systems mounted.
int32_t NumberOfNetworkDrives();
// One line per network mount, "mount point=remote source" (as Names and Values), in mount order.
std::unique_ptr<TStringList> AllNetworkDrives();
// A stable identity of the volume holding path: its label, else its UUID, else its device name;
// empty when path's file system cannot be found.
UnicodeString VolumeID(const UnicodeString& path);
// The remote source ("//host/share", "host:/export") of the network volume holding path; empty for a
// local path.
UnicodeString NetworkVolume(const UnicodeString& path);
// Full names of the files in folder (below it too when recurse) whose extension is ext, case ignored,
// with or without its "." (empty: files without one); dot files skipped; in SortListOfFiles order.
std::unique_ptr<TStringList> ListOfAllFilesMatchingExt(const UnicodeString& folder, const UnicodeString& ext,
                                                       bool recurse);

}  // namespace kx8
