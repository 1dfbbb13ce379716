#include "kx8rt/files/system_routines.h"

#include <dlfcn.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <thread>
#include <vector>

#include "kx8rt/files/logging_utilities.h"
#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/message_box.h"
#include "kx8rt/platform/messages.h"

namespace kx8 {

namespace fs = std::filesystem;

namespace {

std::string ToPath(const UnicodeString& s) { return Utf16ToUtf8(s); }

// Start of the file-name part of a path (after its last delimiter).
size_t NameStart(const UnicodeString& path) {
  const size_t slash = path.find_last_of(u"/\\");
  return slash == UnicodeString::npos ? 0 : slash + 1;
}

// Position of the extension's "." within the name part, or npos.
size_t ExtensionDot(const UnicodeString& path) {
  const size_t dot = path.rfind(u'.');
  return (dot == UnicodeString::npos || dot < NameStart(path)) ? UnicodeString::npos : dot;
}

UnicodeString ExtractExtension(const UnicodeString& path) {
  const size_t dot = ExtensionDot(path);
  return dot == UnicodeString::npos ? UnicodeString() : path.substr(dot);
}

bool FileExists(const UnicodeString& name) {
  std::error_code ec;
  return !name.empty() && fs::exists(fs::path(ToPath(name)), ec);
}

int32_t batchFileNumber = 0;

// Handles of the libraries loaded by FindLibraryFunction; a record's Hinst is its slot + 1.
std::vector<void*>& LoadedLibraries() {
  static std::vector<void*> handles;
  return handles;
}

// At unload: the yield hook is cleared and the end of the run is logged.
struct TSystemRoutinesUnload {
  // Touching the log state first makes it outlive this object, so the last line can still be written.
  TSystemRoutinesUnload() { (void)GetLogFilename(); }
  ~TSystemRoutinesUnload() {
    Global_YieldProcessProc = nullptr;
    if (global_keeping_log) AddToLogFile(u"quit myKpSmall");
  }
};
TSystemRoutinesUnload systemRoutinesUnload;

}  // namespace

// ---- yielding and waiting ----

bool WaitTillUntrue(const std::function<bool()>& func, int32_t maxSeconds) {
  if (!func || !func()) return false;
  const auto start = std::chrono::steady_clock::now();
  bool timedOut = false;
  do {
    for (int k = 0; k < 4; ++k) MyYieldProcess();
    // A short nap per round, so that a wait with no hook to serve does not keep a core busy.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const auto whole = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
    timedOut = whole.count() > maxSeconds;
  } while (func() && !timedOut);
  return timedOut;
}

bool WaitTillUntrue(bool& flag, int32_t maxSeconds) {
  return WaitTillUntrue(std::function<bool()>([&flag] { return flag; }), maxSeconds);
}

// ---- programs and libraries ----

uint32_t CheckExec(uint32_t code, const UnicodeString& name) {
  if (code >= 32) return code;
  UnicodeString text;
  switch (code) {
    case 0:
    case 8: text = u"Not enough memory to run " + name; break;
    case 2:
    case 3:
    case 5: text = u"Can't access " + name; break;
    case 16: text = name + u" already running"; break;
    case 26: text = u"Sharing problem: " + name; break;
    case 27:
    case 31: text = u"Can't handle files ending \"" + ExtractExtension(name) + u"\""; break;
    default: text = u"Can't communicate with " + name; break;
  }
  MessageBoxW(text, UnicodeString(), MB_OK | MB_ICONERROR);
  return code;
}

Tlibrary_rec FindLibraryFunction(const UnicodeString& libraryName, const UnicodeString& functionName) {
  Tlibrary_rec rec;
  if (libraryName.empty()) return rec;
  void* handle = ::dlopen(ToPath(libraryName).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return rec;
  auto& handles = LoadedLibraries();
  auto freeSlot = std::find(handles.begin(), handles.end(), nullptr);
  if (freeSlot == handles.end()) freeSlot = handles.insert(handles.end(), nullptr);
  *freeSlot = handle;
  rec.Hinst = static_cast<uint32_t>(freeSlot - handles.begin()) + 1;
  if (!functionName.empty()) rec.FPointer = ::dlsym(handle, ToPath(functionName).c_str());
  return rec;
}

bool CloseLibraryFunction(Tlibrary_rec& rec) {
  bool ok = false;
  auto& handles = LoadedLibraries();
  if (rec.Hinst > 0 && rec.Hinst <= handles.size() && handles[rec.Hinst - 1]) {
    ok = ::dlclose(handles[rec.Hinst - 1]) == 0;
    handles[rec.Hinst - 1] = nullptr;
  }
  rec = Tlibrary_rec{};
  return ok;
}

UnicodeString Registry_Current_User() {
  errno = 0;
  if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name && *pw->pw_name)
    return Utf8ToUtf16(pw->pw_name);
  const int err = errno;
  // Containers often run under a user id without an account entry; the login environment still names it.
  for (const char* var : {"USER", "LOGNAME"})
    if (const char* v = std::getenv(var); v && *v) return Utf8ToUtf16(v);
  RaiseLastOSError(err ? err : ENOENT, u"the user's name");
}

UnicodeString Registry_Current_User_Initials() {
  UnicodeString initials;
  for (char16_t c : Registry_Current_User())
    if (IsUpper(c)) initials += c;
  return initials;
}

UnicodeString GetLastErrorString() {
  const int err = errno;
  UnicodeString text = Utf8ToUtf16(std::strerror(err));
  if (text.size() > 255) text.resize(255);
  return text;
}

// ---- case and locale ----

UnicodeString Lowercase(LCID lcid, const UnicodeString& s) { return LocaleLowerCase(lcid, s); }
UnicodeString Uppercase(LCID lcid, const UnicodeString& s) { return LocaleUpperCase(lcid, s); }

namespace {
void MapInPlace(LCID lcid, uint32_t flags, char16_t* p) {
  if (!p) return;
  const size_t len = std::char_traits<char16_t>::length(p);
  if (len == 0 || len > INT32_MAX) return;
  LCMapStringW(lcid, flags | LCMAP_LINGUISTIC_CASING, p, static_cast<int32_t>(len), p, static_cast<int32_t>(len));
}
}  // namespace

void LowercaseIt(LCID lcid, char16_t* p) { MapInPlace(lcid, LCMAP_LOWERCASE, p); }
void UppercaseIt(LCID lcid, char16_t* p) { MapInPlace(lcid, LCMAP_UPPERCASE, p); }
UnicodeString Lowercase(const UnicodeString& s) { return ToLower(s); }
UnicodeString Uppercase(const UnicodeString& s) { return ToUpper(s); }

bool IsOrdinaryNumberChar(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsADigitChar(char16_t c) { return IsDigit(c); }

bool UserDefaultMeasurements(LCID lcid) { return GetLocaleInfoString(lcid, LOCALE_IMEASURE) != u"1"; }

uint32_t LCIDToCodePage(LCID lcid) {
  // A Unicode-only locale answers "0", which every conversion routine reads as the system code page.
  int32_t cp = 0;
  if (TryStrToInt(GetLocaleInfoString(lcid, LOCALE_IDEFAULTANSICODEPAGE), cp) && cp >= 0)
    return static_cast<uint32_t>(cp);
  return GetACP();
}

// ---- numbers and text ----

UnicodeString BooleanToStr(bool b) { return b ? LoadMessage(KXTrue) : LoadMessage(KXFalse); }
bool StrToBoolean(const UnicodeString& s) { return AnsiSameText(s, LoadMessage(KXTrue)); }

UnicodeString IntToDecStr(int32_t i, const TFormatSettings& settings) {
  return Format(u"%0.n", {static_cast<double>(static_cast<float>(i))}, settings);
}

UnicodeString IntToDecStr(int64_t i, const TFormatSettings& settings) {
  return Format(u"%0.n", {static_cast<double>(static_cast<float>(i))}, settings);
}

UnicodeString RealToDecStr(double x, const TFormatSettings& settings) {
  return FormatFloat(u"####,.00", x, settings);
}

float Int64ToSingle(int64_t i) { return static_cast<float>(i); }

UnicodeString AttributesToStr(uint32_t attr) {
  static constexpr struct { uint32_t bit; char16_t letter; } kLetters[] = {
      {0x01, u'r'}, {0x20, u'a'}, {0x04, u's'}, {0x02, u'h'}, {0x10, u'd'}};
  UnicodeString out;
  for (const auto& l : kLetters)
    if (attr & l.bit) out += l.letter;
  return out;
}

UnicodeString DoubleAnyAmpersands(const UnicodeString& s) {
  UnicodeString out;
  out.reserve(s.size() + 4);
  const size_t n = s.size();
  for (size_t i = 0; i < n; ++i) {
    out += s[i];
    if (s[i] != u'&') continue;
    if (i + 1 < n) {
      if (s[i + 1] != u'&') out += u'&';
    } else if (i == 0 || s[i - 1] != u'&') {
      out += u'&';
    }
  }
  return out;
}

const char16_t* StrLScanW(const char16_t* p, char16_t c, size_t n) {
  if (!p || n == 0) return p;
  for (size_t i = 0; i < n; ++i)
    if (p[i] == c) return p + i;
  return nullptr;
}

char16_t* StrLScanW(char16_t* p, char16_t c, size_t n) {
  return const_cast<char16_t*>(StrLScanW(static_cast<const char16_t*>(p), c, n));
}

namespace {
double Frac(double x) { return x - std::trunc(x); }
// Round to nearest with ties to even (the default rounding mode), kept within 32 bits.
int32_t RoundEven(double x) {
  const double r = std::nearbyint(x);
  if (!(r >= INT32_MIN && r <= INT32_MAX)) return 0;
  return static_cast<int32_t>(r);
}
}  // namespace

int32_t SecondsElapsedSince(TDateTime dt) { return RoundEven(Frac(Now() - dt) * SecsPerDay); }
int32_t TodaysTimeInSeconds(TDateTime dt) { return RoundEven(Frac(dt) * SecsPerDay); }

// ---- files, folders and drives ----

UnicodeString NormalisedPath(const UnicodeString& path) {
  if (path.size() <= 3) return path;
  std::error_code ec;
  fs::path full = fs::absolute(fs::path(ToPath(path)), ec);
  if (ec) return path;
  std::string text = full.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return Utf8ToUtf16(text);
}

void NormalisedPathW(const UnicodeString& path, char16_t* buffer) {
  if (!buffer) return;
  std::fill(buffer, buffer + 261, u'\0');
  const UnicodeString full = NormalisedPath(path);
  std::copy_n(full.begin(), std::min<size_t>(full.size(), 260), buffer);
}

namespace {
void AddSubFolders(const fs::path& folder, TStringList& list) {
  std::error_code ec;
  std::vector<fs::path> subs;
  for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end; !ec && it != end;
       it.increment(ec)) {
    const fs::path& p = it->path();
    const std::string name = p.filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code e2;
    if (it->is_symlink(e2) || !it->is_directory(e2)) continue;
    subs.push_back(p);
  }
  std::sort(subs.begin(), subs.end());
  for (const fs::path& sub : subs) {
    MyYieldProcess();
    list.Add(Utf8ToUtf16(sub.string()));
    AddSubFolders(sub, list);
  }
}
}  // namespace

std::unique_ptr<TStringList> ListOfSubFolders(const UnicodeString& folder, bool recurse) {
  auto list = std::make_unique<TStringList>();
  list->Add(folder);
  if (recurse && !folder.empty()) {
    std::string start = ToPath(folder);
    while (start.size() > 1 && start.back() == '/') start.pop_back();
    AddSubFolders(fs::path(start), *list);
  }
  return list;
}

bool FileNameHasWildCards(const UnicodeString& name) {
  return name.find_first_of(u"*?") != UnicodeString::npos;
}

bool sIsADirectory(const UnicodeString& path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(fs::path(ToPath(path)), ec);
}

bool Fixed_Drive(const UnicodeString& root) {
  struct statfs info {};
  if (root.empty() || ::statfs(ToPath(root).c_str(), &info) != 0) return false;
  // Network file systems count as remote drives; everything else is a fixed disk here.
  switch (static_cast<unsigned long>(info.f_type)) {
    case 0x6969UL:      // NFS
    case 0x517BUL:      // SMB
    case 0xFF534D42UL:  // CIFS
    case 0xFE534D42UL:  // SMB2
    case 0x564C:        // NCP
    case 0x47504653UL:  // GPFS
    case 0x00C36400UL:  // Ceph
      return false;
    default:
      return true;
  }
}

bool ValidDriveW(char16_t letter) {
  struct statvfs info {};
  const bool rootOK = ::statvfs("/", &info) == 0;
  DriveBits = rootOK ? (1u << 2) : 0u;
  if (letter >= u'a' && letter <= u'z') letter = static_cast<char16_t>(letter - u'a' + u'A');
  if (letter < u'A' || letter > u'Z') return false;
  return (DriveBits & (1u << (letter - u'A'))) != 0 && info.f_blocks > 0;
}

bool ValidDrive(char letter) { return ValidDriveW(static_cast<char16_t>(static_cast<unsigned char>(letter))); }

bool ProceedIfLittleDiskSpace(const UnicodeString& path, int64_t bytesWanted) {
  if (path.empty()) return false;
  struct statvfs info {};
  if (::statvfs(ToPath(path).c_str(), &info) != 0) return true;
  const uint64_t forUser = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
  const uint64_t total = static_cast<uint64_t>(info.f_bfree) * info.f_frsize;
  const uint64_t larger = std::max(forUser, total);
  if (bytesWanted < 0 || larger >= static_cast<uint64_t>(bytesWanted)) return true;
  const int64_t megabytes = static_cast<int64_t>(larger / 1048576);
  const UnicodeString question = Format(KXOnlyMbSpaceOnDriveDProceed, {megabytes, path});
  return MessageBoxW(question, LoadMessage(KXConfirmation), MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
}

bool CheckedForOverWrite(const UnicodeString& fname) {
  if (!FileExists(fname)) return true;
  const UnicodeString question = Format(KXOverwriteXWithBackupQ, {fname});
  if (MessageBoxW(question, LoadMessage(KXConfirmation), MB_YESNO | MB_ICONQUESTION) != IDYES) return false;
  const size_t dot = ExtensionDot(fname);
  const UnicodeString backup = (dot == UnicodeString::npos ? fname : fname.substr(0, dot)) + u".bak";
  std::error_code ec;
  fs::copy_file(fs::path(ToPath(fname)), fs::path(ToPath(backup)), fs::copy_options::overwrite_existing, ec);
  // The user agreed to an overwrite with a backup; without the backup the answer is no.
  if (ec) {
    AddToLogFile(u"CheckedForOverWrite: no backup of " + fname + u": " + Utf8ToUtf16(ec.message()));
    return false;
  }
  return true;
}

bool ForcedToBeNewFile(UnicodeString& fname) {
  // A name without an extension gets none: a trailing "." would name a different file on this system,
  // whereas the classic platform ignores it.
  const UnicodeString ext = ExtractExtension(fname);
  while (FileExists(fname)) {
    MyYieldProcess();
    if (!ext.empty()) fname.resize(fname.size() - ext.size());
    ++batchFileNumber;
    UnicodeString number = IntToStr(batchFileNumber);
    if (number.size() < 3) number.insert(0, 3 - number.size(), u'0');
    fname += u"_" + number + ext;
  }
  return true;
}

void SetBatchFileStartNumberTo(int32_t n) { batchFileNumber = std::max(n, 0); }
int32_t GetBatchFileStartNumber() { return batchFileNumber; }

TDateTime Compilation_DateTime() {
  struct stat st {};
  if (::stat("/proc/self/exe", &st) != 0) return 0;
  std::tm local{};
  const time_t secs = st.st_mtim.tv_sec;
  if (!::localtime_r(&secs, &local)) return 0;
  TDateTime date = 0, time = 0;
  if (!TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, date)) return 0;
  TryEncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59),
                static_cast<int32_t>(st.st_mtim.tv_nsec / 1000000), time);
  return ComposeDateTime(date, time);
}

UnicodeString Compilation_Date() { return DateToStr(Compilation_DateTime(), Global_UserDefaultFormatSettings); }
UnicodeString Compilation_DateAndTime() {
  return DateTimeToStr(Compilation_DateTime(), Global_UserDefaultFormatSettings);
}
UnicodeString Compilation_Year() {
  return FormatDateTime(u"yyyy", Compilation_DateTime(), Global_UserDefaultFormatSettings);
}

}  // namespace kx8
