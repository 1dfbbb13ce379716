// Files held in zip archives: naming them (archive path, "/", entry name), recognising archive names,
// reading entries as text, and zipping a series of files.
#pragma once

#include <cstdint>
#include <string>

#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/strings.h"
#include "kx8rt/platform/zip.h"

namespace kx8 {

// The marker that ends an archive's part of a full name ("/data/a.zip/ch1.txt"), compared in lower case.
inline const UnicodeString kZipExtSlash = u".zip/";

// Another marker a tool may set to end an archive name, consulted only when ".zip/" is absent; compared
// with case. Empty unless a tool sets it.
inline UnicodeString global_current_zip_ext_slash;

// The library's temporary folder, set by the calling tool; when empty, the system's temporary folder
// is used.
inline UnicodeString my_temp_path;

// The number after ".zip" in a numbered archive's extension (a.zip17 gives 17); -1 when there is none.
int32_t ZipFilePlusNumber(const UnicodeString& fname);
// True for ".zip" (any case) and the numbered forms ".zip2", ".zip17".
bool IsAZipFile(const UnicodeString& fname);
// True when fname is no plain file on disk and names a file within an archive (".zip/" or marker).
bool IsWithinAZipFile(const UnicodeString& fname, const UnicodeString& marker);
// The archive's own path of a full name (without the "/"); empty when the name has no archive part.
UnicodeString ZipFileFullFileName(const UnicodeString& fullname, const UnicodeString& marker);
// The entry's name within the archive; empty when the name has no archive part.
UnicodeString ZipFileWantedFileNameWithin(const UnicodeString& fullname, const UnicodeString& marker);

// An entry's bytes as text: by byte-order mark (UTF-8, UTF-16 LE or BE), else as UTF-8 when the bytes
// are valid UTF-8, else in the system 8-bit code page. A text file in an archive carries no other hint,
// and this is the order in which the suite's own text reading guesses.
UnicodeString ZipEntryBytesToText(const std::string& bytes);

// The text of entry n (counting from 1, as Number_Within_Zip does) of an archive; a missing or corrupt
// archive or an n out of range raises EZipError.
UnicodeString ContentsOfFileWithinZipFile(const UnicodeString& zipname, int32_t n);
// The text of the entry a full name ("/data/a.zip/ch1.txt") names, the marker being
// global_current_zip_ext_slash; raises EZipError when there is no such archive or entry.
UnicodeString ContentsOfFileWithinZipFile(const UnicodeString& fullname);

// Writes entry n (from 1) as UTF-16 LE text with signature to my_temp_path + "tempzip.txt" and returns
// that name; with n out of range nothing is written but the name is still returned.
UnicodeString OpenedAZipFileToTempDir(const UnicodeString& zipname, int32_t n);

// Makes the archive zipname from the files listed (one name a line), each stored by storePathMode;
// with deleteAfter the files are then deleted. Every file is checked readable before anything is
// touched: an unreadable one raises EFOpenError, and a failure while writing raises EZipError; in both
// cases no listed file is deleted. Returns true.
bool ZipASeriesOfFilesTo(const TStringList& list, const UnicodeString& zipname, TZipStorePathMode storePathMode,
                         bool deleteAfter);

}  // namespace kx8
