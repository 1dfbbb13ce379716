#include "kx8rt/files/zip_utils.h"

#include <fcntl.h>
#include <unistd.h>

#include <vector>

#include "kx8rt/platform/encoding.h"
#include "kx8rt/platform/file_system.h"
#include "kx8rt/platform/streams.h"

namespace kx8 {

namespace {

// 1-based position of the last character of an archive's part of name (its "/"), 0 when none.
size_t ArchivePartEnd(const UnicodeString& name, const UnicodeString& marker) {
  const size_t p = LowerCase(name).find(kZipExtSlash);
  if (p != UnicodeString::npos) return p + kZipExtSlash.size();
  if (!marker.empty()) {
    const size_t q = name.find(marker);
    if (q != UnicodeString::npos) return q + marker.size();
  }
  return 0;
}

bool IsValidUtf8(const std::string& s) {
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) len = 2, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) len = 3, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) len = 4, cp = c & 0x07;
    else return false;
    if (i + len > n) return false;
    for (size_t k = 1; k < len; ++k) {
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = cp << 6 | (d & 0x3F);
    }
    if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
      return false;
    i += len;
  }
  return true;
}

// The reading routines of the classic component set its open mode to 2 before opening; here that is
// simply an existing archive opened read-only, which TZipArchive::Open always does.
void OpenForReading(TZipArchive& zip, const UnicodeString& zipname) { zip.Open(zipname); }

std::string EntryBytes(TZipArchive& zip, int32_t n) {
  if (n < 1 || n > zip.Count())
    throw EZipError(u"No entry " + IntToStr(n) + u" in archive '" + zip.FileName() + u"'");
  return zip.ExtractToString(n - 1);
}

}  // namespace

int32_t ZipFilePlusNumber(const UnicodeString& fname) {
  const UnicodeString ext = ExtractFileExt(fname);
  if (ext.size() <= 4) return -1;
  int64_t v = 0;
  for (size_t i = 4; i < ext.size(); ++i) {
    if (ext[i] < u'0' || ext[i] > u'9') return -1;
    v = v * 10 + (ext[i] - u'0');
    if (v > INT32_MAX) return -1;
  }
  return static_cast<int32_t>(v);
}

bool IsAZipFile(const UnicodeString& fname) {
  const UnicodeString ext = ExtractFileExt(fname);
  if (ext.size() < 4 || LowerCase(ext.substr(0, 4)) != u".zip") return false;
  return ext.size() == 4 || ZipFilePlusNumber(fname) >= 0;
}

bool IsWithinAZipFile(const UnicodeString& fname, const UnicodeString& marker) {
  if (FileExists(fname)) return false;
  if (LowerCase(fname).find(kZipExtSlash) != UnicodeString::npos) return true;
  return !marker.empty() && fname.find(marker) != UnicodeString::npos;
}

UnicodeString ZipFileFullFileName(const UnicodeString& fullname, const UnicodeString& marker) {
  const size_t end = ArchivePartEnd(fullname, marker);
  return end == 0 ? UnicodeString() : fullname.substr(0, end - 1);
}

UnicodeString ZipFileWantedFileNameWithin(const UnicodeString& fullname, const UnicodeString& marker) {
  const size_t end = ArchivePartEnd(fullname, marker);
  return end == 0 ? UnicodeString() : fullname.substr(end);
}

UnicodeString ZipEntryBytesToText(const std::string& bytes) {
  size_t bomLength = 0;
  if (auto enc = TEncoding::FromSignature(bytes, bomLength))
    return enc->GetString(std::string_view(bytes).substr(bomLength));
  if (IsValidUtf8(bytes)) return Utf8ToUtf16(bytes);
  return TEncoding::Default().GetString(bytes);
}

UnicodeString ContentsOfFileWithinZipFile(const UnicodeString& zipname, int32_t n) {
  TZipArchive zip;
  OpenForReading(zip, zipname);
  return ZipEntryBytesToText(EntryBytes(zip, n));
}

UnicodeString ContentsOfFileWithinZipFile(const UnicodeString& fullname) {
  const UnicodeString archive = ZipFileFullFileName(fullname, global_current_zip_ext_slash);
  const UnicodeString entry = ZipFileWantedFileNameWithin(fullname, global_current_zip_ext_slash);
  if (archive.empty()) throw EZipError(u"No archive named in '" + fullname + u"'");
  TZipArchive zip;
  OpenForReading(zip, archive);
  const int32_t i = zip.IndexOf(entry);
  if (i < 0) throw EZipError(u"No entry '" + entry + u"' in archive '" + archive + u"'");
  return ZipEntryBytesToText(zip.ExtractToString(i));
}

UnicodeString OpenedAZipFileToTempDir(const UnicodeString& zipname, int32_t n) {
  const UnicodeString dir = my_temp_path.empty() ? GetTempDirectory() : my_temp_path;
  const UnicodeString result = IncludeTrailingPathDelimiter(dir) + u"tempzip.txt";
  TZipArchive zip;
  OpenForReading(zip, zipname);
  if (n >= 1 && n <= zip.Count()) {
    TStringList lines;
    lines.SetText(ZipEntryBytesToText(zip.ExtractToString(n - 1)));
    lines.SaveToFile(result, TEncoding::Unicode());
  }
  return result;
}

bool ZipASeriesOfFilesTo(const TStringList& list, const UnicodeString& zipname, TZipStorePathMode storePathMode,
                         bool deleteAfter) {
  std::vector<UnicodeString> files;
  files.reserve(static_cast<size_t>(list.Count()));
  for (int32_t i = 0; i < list.Count(); ++i) {
    const UnicodeString f = list.Get(i);
    const int fd = ::open(Utf16ToUtf8(f).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !FileExists(f)) {
      if (fd >= 0) ::close(fd);
      throw EFOpenError(u"Cannot open file \"" + f + u"\" to add to '" + zipname + u"'");
    }
    ::close(fd);
    files.push_back(f);
  }
  if (FileExists(zipname)) DeleteFile(zipname);
  TZipArchive zip;
  // Any file that fails while the archive is written stops the whole series, so that deleteAfter
  // never removes a file that is not safely in the archive.
  zip.OnFileFailure = [](const UnicodeString&, const UnicodeString&, const UnicodeString&, TZipFailureAction& a) {
    a = zfa_abort;
  };
  zip.CreateArchive(zipname, files, storePathMode);
  if (deleteAfter)
    for (const UnicodeString& f : files) DeleteFile(f);
  return true;
}

}  // namespace kx8
