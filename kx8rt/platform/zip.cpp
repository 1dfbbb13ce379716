#include "kx8rt/platform/zip.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>

#include "kx8rt/platform/datetime.h"

// The libzip functions called here, each looked up once.
#define KX8_ZIP_FUNCTIONS \
  KX8_ZIP_FUNCTION(zip_close) \
  KX8_ZIP_FUNCTION(zip_discard) \
  KX8_ZIP_FUNCTION(zip_error_fini) \
  KX8_ZIP_FUNCTION(zip_error_init_with_code) \
  KX8_ZIP_FUNCTION(zip_error_strerror) \
  KX8_ZIP_FUNCTION(zip_fclose) \
  KX8_ZIP_FUNCTION(zip_file_add) \
  KX8_ZIP_FUNCTION(zip_file_get_external_attributes) \
  KX8_ZIP_FUNCTION(zip_file_strerror) \
  KX8_ZIP_FUNCTION(zip_fopen_index) \
  KX8_ZIP_FUNCTION(zip_fread) \
  KX8_ZIP_FUNCTION(zip_get_archive_comment) \
  KX8_ZIP_FUNCTION(zip_get_name) \
  KX8_ZIP_FUNCTION(zip_get_num_entries) \
  KX8_ZIP_FUNCTION(zip_name_locate) \
  KX8_ZIP_FUNCTION(zip_open) \
  KX8_ZIP_FUNCTION(zip_set_archive_comment) \
  KX8_ZIP_FUNCTION(zip_source_file) \
  KX8_ZIP_FUNCTION(zip_source_free) \
  KX8_ZIP_FUNCTION(zip_stat_index) \
  KX8_ZIP_FUNCTION(zip_stat_init) \
  KX8_ZIP_FUNCTION(zip_strerror)

namespace kx8 {

namespace fs = std::filesystem;

namespace {

// libzip, loaded when an archive is first opened or made rather than with every process: with the
// libraries it needs (its compression and encryption) it would add most of a millisecond to the start
// of every command, most of which never meet an archive.
struct ZipLibrary {
#define KX8_ZIP_FUNCTION(name) decltype(&::name) name = nullptr;
  KX8_ZIP_FUNCTIONS
#undef KX8_ZIP_FUNCTION
  std::string error;  // why it could not be loaded, else empty
};

const ZipLibrary& Lib() {
  static const ZipLibrary lib = [] {
    ZipLibrary l;
#if defined(KX8_LIBZIP_SONAME)
    const char* const names[] = {KX8_LIBZIP_SONAME, "libzip.so"};
#else
    const char* const names[] = {"libzip.so"};
#endif
    void* handle = nullptr;
    for (const char* name : names)
      if ((handle = ::dlopen(name, RTLD_NOW | RTLD_LOCAL)) != nullptr) break;
    if (!handle) {
      const char* why = ::dlerror();
      l.error = std::string("zip archives need libzip, which cannot be loaded: ") + (why ? why : "not found");
      return l;
    }
    bool all = true;
#define KX8_ZIP_FUNCTION(name)                                             \
  l.name = reinterpret_cast<decltype(&::name)>(::dlsym(handle, #name)); \
  all = all && l.name != nullptr;
    KX8_ZIP_FUNCTIONS
#undef KX8_ZIP_FUNCTION
    if (!all) l.error = "zip archives need libzip, and the one found lacks functions this library calls";
    // (Kept loaded for the life of the process.)
    return l;
  }();
  if (!lib.error.empty()) throw EZipError(Utf8ToUtf16(lib.error));
  return lib;
}

UnicodeString U(const char* s) { return Latin1ToUtf16(s ? s : ""); }

UnicodeString LibzipError(zip_t* za) { return Utf8ToUtf16(Lib().zip_strerror(za)); }

UnicodeString OpenErrorText(int code) {
  zip_error_t err;
  Lib().zip_error_init_with_code(&err, code);
  UnicodeString text = Utf8ToUtf16(Lib().zip_error_strerror(&err));
  Lib().zip_error_fini(&err);
  return text;
}

[[noreturn]] void Fail(const UnicodeString& what, const UnicodeString& fileName, const UnicodeString& reason) {
  throw EZipError(what + u" '" + fileName + u"': " + reason);
}

fs::path ToPath(const UnicodeString& s) { return fs::path(Utf16ToUtf8(s)); }

// Reads a whole entry; the declared size is only a hint, so a lying header cannot make us reserve much.
std::string ReadEntry(zip_t* za, zip_uint64_t index, const UnicodeString& archiveName) {
  zip_stat_t st;
  Lib().zip_stat_init(&st);
  if (Lib().zip_stat_index(za, index, 0, &st) != 0) Fail(u"Cannot read entry of", archiveName, LibzipError(za));
  std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> zf(Lib().zip_fopen_index(za, index, 0), Lib().zip_fclose);
  if (!zf) Fail(u"Cannot open entry of", archiveName, LibzipError(za));
  std::string out;
  if (st.valid & ZIP_STAT_SIZE) out.reserve(static_cast<size_t>(std::min<zip_uint64_t>(st.size, 1u << 24)));
  char buf[65536];
  for (;;) {
    const zip_int64_t n = Lib().zip_fread(zf.get(), buf, sizeof buf);
    if (n < 0) Fail(u"Damaged entry in", archiveName, Utf8ToUtf16(Lib().zip_file_strerror(zf.get())));
    if (n == 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

bool IsDosHost(zip_uint8_t opsys) {
  return opsys == ZIP_OPSYS_DOS || opsys == ZIP_OPSYS_WINDOWS_NTFS || opsys == ZIP_OPSYS_VFAT ||
         opsys == ZIP_OPSYS_OS_2;
}

}  // namespace

double ZipUnixTimeToDateTime(int64_t unixTime) {
  const time_t t = static_cast<time_t>(unixTime);
  struct tm tmv;
  TDateTime date = 0, time = 0;
  if (localtime_r(&t, &tmv) == nullptr || !TryEncodeDate(tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday, date) ||
      !TryEncodeTime(tmv.tm_hour, tmv.tm_min, std::min(tmv.tm_sec, 59), 0, time))
    return 0.0;  // outside the years the date-time value can hold
  return ComposeDateTime(date, time);
}

bool IsSafeZipEntryName(const UnicodeString& name) {
  if (name.empty()) return false;
  if (name[0] == u'/' || name[0] == u'\\') return false;
  if (name.size() >= 2 && name[1] == u':') return false;  // "C:..." would name another drive
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || name[i] == u'/' || name[i] == u'\\') {
      if (i - start == 2 && name[start] == u'.' && name[start + 1] == u'.') return false;
      start = i + 1;
    }
    else if (name[i] == 0) {
      return false;  // an embedded NUL would cut the name short on disk
    }
  }
  return true;
}

TZipArchive::~TZipArchive() { Close(); }

void TZipArchive::Open(const UnicodeString& fileName) {
  Close();
  const std::string path = Utf16ToNativeName(fileName);
  struct stat sb;
  if (::stat(path.c_str(), &sb) != 0) Fail(u"Cannot open archive", fileName, OpenErrorText(ZIP_ER_NOENT));
  // libzip takes an empty file for an empty archive; to a reader it is simply not an archive.
  if (S_ISREG(sb.st_mode) && sb.st_size == 0) Fail(u"Cannot open archive", fileName, OpenErrorText(ZIP_ER_NOZIP));
  int err = 0;
  zip_t* za = Lib().zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &err);
  if (!za) Fail(u"Cannot open archive", fileName, OpenErrorText(err));
  fArchive = za;
  fFileName = fileName;
}

void TZipArchive::Close() noexcept {
  if (fArchive) Lib().zip_discard(fArchive);
  fArchive = nullptr;
  fFileName.clear();
}

int32_t TZipArchive::Count() const noexcept {
  if (!fArchive) return 0;
  const zip_int64_t n = Lib().zip_get_num_entries(fArchive, 0);
  return n < 0 ? 0 : static_cast<int32_t>(std::min<zip_int64_t>(n, INT32_MAX));
}

void TZipArchive::CheckIndex(int32_t index) const {
  if (!fArchive) throw EZipError(u"No archive is open");
  if (index < 0 || index >= Count()) throw EListError(u"List index out of bounds (" + IntToStr(index) + u")");
}

UnicodeString TZipArchive::Name(int32_t index) const {
  CheckIndex(index);
  // ZIP_FL_ENC_GUESS: names without the UTF-8 flag are read as UTF-8 when valid, else as CP437.
  const char* name = Lib().zip_get_name(fArchive, static_cast<zip_uint64_t>(index), ZIP_FL_ENC_GUESS);
  if (!name) Fail(u"Cannot read entry name in", fFileName, LibzipError(fArchive));
  return Utf8ToUtf16(name);
}

int64_t TZipArchive::Size(int32_t index) const {
  CheckIndex(index);
  zip_stat_t st;
  Lib().zip_stat_init(&st);
  if (Lib().zip_stat_index(fArchive, static_cast<zip_uint64_t>(index), 0, &st) != 0)
    Fail(u"Cannot read entry of", fFileName, LibzipError(fArchive));
  return (st.valid & ZIP_STAT_SIZE) ? static_cast<int64_t>(std::min<zip_uint64_t>(st.size, INT64_MAX)) : 0;
}

double TZipArchive::DateTime(int32_t index) const {
  CheckIndex(index);
  zip_stat_t st;
  Lib().zip_stat_init(&st);
  if (Lib().zip_stat_index(fArchive, static_cast<zip_uint64_t>(index), 0, &st) != 0)
    Fail(u"Cannot read entry of", fFileName, LibzipError(fArchive));
  // libzip reads the stored DOS time as local wall-clock time; converting back in local time gives
  // the date and time the entry shows.
  return (st.valid & ZIP_STAT_MTIME) ? ZipUnixTimeToDateTime(static_cast<int64_t>(st.mtime)) : 0.0;
}

uint32_t TZipArchive::Attributes(int32_t index) const {
  const UnicodeString name = Name(index);
  zip_uint8_t opsys = 0;
  zip_uint32_t external = 0;
  if (Lib().zip_file_get_external_attributes(fArchive, static_cast<zip_uint64_t>(index), 0, &opsys, &external) != 0)
    Fail(u"Cannot read entry of", fFileName, LibzipError(fArchive));
  uint32_t attr = 0;
  const bool folderName = !name.empty() && (name.back() == u'/' || name.back() == u'\\');
  if (opsys == ZIP_OPSYS_UNIX && (external >> 16) != 0) {
    const mode_t mode = static_cast<mode_t>(external >> 16);
    if (S_ISDIR(mode)) attr |= zaDirectory;
    else if (S_ISREG(mode)) attr |= zaArchive;
    else attr |= zaSysFile;
    if ((mode & S_IWUSR) == 0) attr |= zaReadOnly;
    size_t base = name.find_last_of(u"/\\", folderName ? name.size() - 2 : UnicodeString::npos);
    base = base == UnicodeString::npos ? 0 : base + 1;
    if (base < name.size() && name[base] == u'.') attr |= zaHidden;
  }
  else if (IsDosHost(opsys) || opsys == ZIP_OPSYS_UNIX) {
    attr = external & 0x3F;
  }
  if (folderName) attr |= zaDirectory;
  return attr;
}

int32_t TZipArchive::IndexOf(const UnicodeString& name, bool caseSensitive) const {
  if (!fArchive) return -1;
  const zip_int64_t i =
      Lib().zip_name_locate(fArchive, Utf16ToUtf8(name).c_str(), (caseSensitive ? 0 : ZIP_FL_NOCASE) | ZIP_FL_ENC_GUESS);
  return i < 0 || i > INT32_MAX ? -1 : static_cast<int32_t>(i);
}

UnicodeString TZipArchive::Comment() const {
  if (!fArchive) return UnicodeString();
  int len = 0;
  const char* c = Lib().zip_get_archive_comment(fArchive, &len, ZIP_FL_ENC_GUESS);
  if (!c || len <= 0) return UnicodeString();
  return Utf8ToUtf16(std::string_view(c, static_cast<size_t>(len)));
}

std::string TZipArchive::ExtractToString(int32_t index) const {
  CheckIndex(index);
  return ReadEntry(fArchive, static_cast<zip_uint64_t>(index), fFileName);
}

int64_t TZipArchive::CompressedSize(int32_t index) const {
  CheckIndex(index);
  zip_stat_t st;
  Lib().zip_stat_init(&st);
  if (Lib().zip_stat_index(fArchive, static_cast<zip_uint64_t>(index), 0, &st) != 0)
    Fail(u"Cannot read entry of", fFileName, LibzipError(fArchive));
  return (st.valid & ZIP_STAT_COMP_SIZE) ? static_cast<int64_t>(st.comp_size) : 0;
}

TZipEntryReader::TZipEntryReader(const TZipArchive& archive, int32_t index) : fArchiveName(archive.FileName()) {
  archive.CheckIndex(index);
  fFile = Lib().zip_fopen_index(archive.fArchive, static_cast<zip_uint64_t>(index), 0);
  if (!fFile) Fail(u"Cannot open entry of", fArchiveName, LibzipError(archive.fArchive));
}

TZipEntryReader::~TZipEntryReader() {
  if (fFile) Lib().zip_fclose(fFile);
}

size_t TZipEntryReader::Read(void* buffer, size_t n) {
  const zip_int64_t got = Lib().zip_fread(fFile, buffer, n);
  if (got < 0) Fail(u"Damaged entry in", fArchiveName, Utf8ToUtf16(Lib().zip_file_strerror(fFile)));
  return static_cast<size_t>(got);
}

UnicodeString TZipArchive::ExtractToFolder(int32_t index, const UnicodeString& folder) const {
  const UnicodeString name = Name(index);
  if (!IsSafeZipEntryName(name)) Fail(u"Refused to extract entry", name, u"its name leads outside the folder");
  std::error_code ec;
  const fs::path root = ToPath(folder.empty() ? UnicodeString(u".") : folder);
  fs::create_directories(root, ec);
  const fs::path rootCanon = fs::weakly_canonical(root, ec);
  if (ec) Fail(u"Cannot use folder", folder, Utf8ToUtf16(ec.message()));
  UnicodeString rel = name;
  std::replace(rel.begin(), rel.end(), u'\\', u'/');
  const bool isFolder = rel.back() == u'/';
  const fs::path target = (rootCanon / ToPath(rel)).lexically_normal();
  // A folder already inside root may be a link that points elsewhere; resolve before writing.
  const fs::path parent = isFolder ? target : target.parent_path();
  fs::create_directories(parent, ec);
  if (ec) Fail(u"Cannot create folder for", name, Utf8ToUtf16(ec.message()));
  const fs::path parentCanon = fs::weakly_canonical(parent, ec);
  const auto rootStr = rootCanon.native(), parentStr = parentCanon.native();
  if (ec || parentStr.compare(0, rootStr.size(), rootStr) != 0 ||
      (parentStr.size() > rootStr.size() && rootStr.back() != '/' && parentStr[rootStr.size()] != '/'))
    Fail(u"Refused to extract entry", name, u"its folder lies outside the target folder");
  if (isFolder) return Utf8ToUtf16(target.string());

  const std::string bytes = ReadEntry(fArchive, static_cast<zip_uint64_t>(index), fFileName);
  const fs::path out = parentCanon / target.filename();
  if (fs::is_symlink(out, ec)) Fail(u"Refused to extract entry", name, u"a link of that name exists");
  {
    std::ofstream f(out, std::ios::binary | std::ios::trunc);
    if (!f) Fail(u"Cannot create file for", name, Utf8ToUtf16(std::strerror(errno)));
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f) Fail(u"Cannot write file for", name, Utf8ToUtf16(std::strerror(errno)));
  }
  zip_stat_t st;
  Lib().zip_stat_init(&st);
  if (Lib().zip_stat_index(fArchive, static_cast<zip_uint64_t>(index), 0, &st) == 0 && (st.valid & ZIP_STAT_MTIME)) {
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = st.mtime;
    times[0].tv_nsec = times[1].tv_nsec = 0;
    ::utimensat(AT_FDCWD, out.c_str(), times, 0);  // the entry's date is a courtesy; failure is harmless
  }
  return Utf8ToUtf16(out.string());
}

bool TZipArchive::ReportFailure(const UnicodeString& fileName, const UnicodeString& operation,
                                const UnicodeString& reason) const {
  TZipFailureAction action = zfa_skip;
  if (OnFileFailure) OnFileFailure(fileName, operation, reason, action);
  return action != zfa_abort;
}

int32_t TZipArchive::ExtractAllToFolder(const UnicodeString& folder) const {
  if (!fArchive) throw EZipError(u"No archive is open");
  int32_t written = 0;
  const int32_t n = Count();
  for (int32_t i = 0; i < n; ++i) {
    UnicodeString name;
    try {
      name = Name(i);
      ExtractToFolder(i, folder);
      if (name.back() != u'/' && name.back() != u'\\') ++written;
    } catch (const EZipError& e) {
      if (!ReportFailure(name, u"extract", e.Message())) Fail(u"Extraction stopped at", name, e.Message());
    }
  }
  return written;
}

int32_t TZipArchive::CreateArchive(const UnicodeString& archiveName, const std::vector<UnicodeString>& files,
                                   TZipStorePathMode mode, const UnicodeString& baseDir,
                                   const UnicodeString& comment) {
  Close();
  int err = 0;
  zip_t* za = Lib().zip_open(Utf16ToUtf8(archiveName).c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  if (!za) Fail(u"Cannot create archive", archiveName, OpenErrorText(err));
  std::unique_ptr<zip_t, void (*)(zip_t*)> guard(za, Lib().zip_discard);

  std::error_code ec;
  const fs::path base = fs::weakly_canonical(baseDir.empty() ? fs::current_path(ec) : ToPath(baseDir), ec);
  int32_t added = 0;
  for (const UnicodeString& file : files) {
    const fs::path p = fs::absolute(ToPath(file), ec).lexically_normal();
    std::string entry;
    UnicodeString reason;
    if (!fs::is_regular_file(p, ec)) {
      reason = u"not an existing file";
    }
    else {
      switch (mode) {
        case zsp_no_path: entry = p.filename().string(); break;
        case zsp_full_path: entry = p.relative_path().generic_string(); break;
        case zsp_relative_path: {
          const fs::path rel = fs::weakly_canonical(p, ec).lexically_relative(base);
          const std::string r = rel.generic_string();
          entry = (rel.empty() || r == ".." || r.rfind("../", 0) == 0) ? p.filename().string() : r;
          break;
        }
      }
      zip_source_t* src = Lib().zip_source_file(za, p.c_str(), 0, -1);
      if (!src) {
        reason = LibzipError(za);
      }
      else {
        const zip_int64_t idx = Lib().zip_file_add(za, entry.c_str(), src, ZIP_FL_ENC_UTF_8);
        if (idx < 0) {
          reason = LibzipError(za);
          Lib().zip_source_free(src);
        }
        else {
          ++added;
        }
      }
    }
    if (!reason.empty() && !ReportFailure(file, u"add", reason)) Fail(u"Archive not written", archiveName, reason);
  }
  const std::string commentBytes = Utf16ToUtf8(comment);
  if (commentBytes.size() > 0xFFFF) Fail(u"Cannot set the comment of", archiveName, U("comment too long"));
  // With no entries libzip writes no file at all; an empty archive (with its comment) still has to
  // exist afterwards, so its end record is written here.
  if (added == 0) {
    guard.reset();
    std::string eocd(22, '\0');
    eocd[0] = 'P'; eocd[1] = 'K'; eocd[2] = 5; eocd[3] = 6;
    eocd[20] = static_cast<char>(commentBytes.size() & 0xFF);
    eocd[21] = static_cast<char>(commentBytes.size() >> 8);
    std::ofstream f(ToPath(archiveName), std::ios::binary | std::ios::trunc);
    f.write(eocd.data(), 22);
    f.write(commentBytes.data(), static_cast<std::streamsize>(commentBytes.size()));
    if (!f) Fail(u"Cannot create archive", archiveName, Utf8ToUtf16(std::strerror(errno)));
    return 0;
  }
  if (!commentBytes.empty() &&
      Lib().zip_set_archive_comment(za, commentBytes.data(), static_cast<zip_uint16_t>(commentBytes.size())) != 0)
    Fail(u"Cannot set the comment of", archiveName, LibzipError(za));
  if (Lib().zip_close(za) != 0) Fail(u"Cannot write archive", archiveName, LibzipError(za));
  guard.release();
  return added;
}

}  // namespace kx8
