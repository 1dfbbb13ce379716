// System routines: the yield hook through which long loops give the calling tool's user interface a
// turn, waiting with a time-out, launch-failure messages, functions of other libraries, the user's
// name, locale case mapping and facts, number and text conversions, folder and drive checks, the
// low-disk-space and overwrite questions, unique names for batch output, and the program's date.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "kx8rt/platform/datetime.h"
#include "kx8rt/platform/format.h"
#include "kx8rt/platform/locales.h"
#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/strings.h"
#include "kx8rt/platform/yield.h"
#include "kx8rt/text_primitives/bare_assemb.h"

namespace kx8 {

// ---- yielding and waiting ----

// The hook itself (TYieldProcessProc, Global_YieldProcessProc, MyYieldProcess) lives in the platform
// layer so that routines below this one can yield too.

// Waits, yielding, until flag is false or more than maxSeconds whole seconds have passed; true when
// the wait gave up. A flag that is false at entry returns false at once. Only the yield hook (or
// another thread) can clear the flag.
bool WaitTillUntrue(bool& flag, int32_t maxSeconds);
// The same, asking func in place of reading a flag.
bool WaitTillUntrue(const std::function<bool()>& func, int32_t maxSeconds);

// ---- process-wide values ----

// A rectangle: left, top, right, bottom.
struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
};

// The user's default number and date formats. The platform's UserDefaultFormatSettings() builds the
// defaults; this is the process-wide copy taken at load that the routines below use and a tool may
// adjust (it cannot share the function's name).
inline TFormatSettings Global_UserDefaultFormatSettings = UserDefaultFormatSettings();

// The desktop work area. A library without windows on a system without a known desktop reports an
// empty rectangle; a tool that knows its screen may set it.
inline TRect Work_Area{};

// The last logical-drive mask read by ValidDrive (bit 0 = drive A). Here the single file tree under
// "/" stands for the system drive C, so the mask is 0 or bit 2.
inline uint32_t DriveBits = 0;

inline const UnicodeString CRLF = u"\r\n";
inline constexpr float mm_to_inch = 1.0f / 25.4f;
inline constexpr float inch_to_cm = 2.54f;
inline constexpr float inch_to_mm = 25.4f;
inline constexpr float inch_to_mm100 = 2540.0f;

// A string list that knows the language of its lines and whether it is saved as Unicode.
class TLanguageStringlist : public TStringList {
 public:
  explicit TLanguageStringlist(uint32_t ALanguage) : Language(ALanguage) {}
  // Locale identifier of the lines.
  uint32_t Language;
  // Save as UTF-16 (true) or in the 8-bit code page.
  bool SaveUnicode = true;
};

// ---- programs and libraries ----

// Reports a failed launch of name (code as a program-launch call returns it) in a message box with an
// empty title; codes of 32 and above mean success and show nothing. Returns code.
uint32_t CheckExec(uint32_t code, const UnicodeString& name);

// A function found in a dynamically loaded library. Hinst is this library's handle number for the
// loaded library (0 when it did not load); the system's own handles do not fit 32 bits.
struct Tlibrary_rec {
  void* FPointer = nullptr;
  uint32_t Hinst = 0;
};

// Loads the library (dlopen) and, when that works, looks the function up by name.
Tlibrary_rec FindLibraryFunction(const UnicodeString& libraryName, const UnicodeString& functionName);
// Unloads the record's library (true when the system reports success) and zeroes the record.
bool CloseLibraryFunction(Tlibrary_rec& rec);

// The signed-in user's login name; EOSError when the system cannot say.
UnicodeString Registry_Current_User();
// The upper-case letters of the user's name, in order.
UnicodeString Registry_Current_User_Initials();
// The system's text for the last error (errno), at most 255 characters.
UnicodeString GetLastErrorString();

// ---- case and locale ----

// Locale-specific linguistic case mapping of s (Turkish dotted and dotless i and the like).
UnicodeString Lowercase(LCID lcid, const UnicodeString& s);
UnicodeString Uppercase(LCID lcid, const UnicodeString& s);
// The same in place on a zero-terminated text; a null pointer is left alone.
void LowercaseIt(LCID lcid, char16_t* p);
void UppercaseIt(LCID lcid, char16_t* p);
// Locale-independent Unicode case mapping.
UnicodeString Lowercase(const UnicodeString& s);
UnicodeString Uppercase(const UnicodeString& s);

// c is "0".."9".
bool IsOrdinaryNumberChar(char16_t c);
// c is a Unicode decimal digit of any script.
bool IsADigitChar(char16_t c);

// False when the locale measures in U.S. units, true (metric) otherwise or when it cannot be read.
bool UserDefaultMeasurements(LCID lcid);
// The locale's default 8-bit code page; the system's current one when the locale gives no number.
uint32_t LCIDToCodePage(LCID lcid);

// ---- numbers and text ----

// The catalogue texts for true and false; StrToBoolean is true when s is the true text, ignoring case.
UnicodeString BooleanToStr(bool b);
bool StrToBoolean(const UnicodeString& s);

// The value with thousands separators and no decimals. It passes through a 32-bit float first, so
// values above 16777216 print rounded to the float's precision (16777217 gives 16,777,216).
UnicodeString IntToDecStr(int32_t i, const TFormatSettings& settings = Global_UserDefaultFormatSettings);
UnicodeString IntToDecStr(int64_t i, const TFormatSettings& settings = Global_UserDefaultFormatSettings);
// The value with thousands separators and exactly two decimals; below 1 no digit precedes the
// decimal separator (0.5 gives ".50").
UnicodeString RealToDecStr(double x, const TFormatSettings& settings = Global_UserDefaultFormatSettings);
float Int64ToSingle(int64_t i);

// Letters for the attribute bits, in this order: r read-only (1), a archive (32), s system (4),
// h hidden (2), d directory (16).
UnicodeString AttributesToStr(uint32_t attr);
// Doubles every "&" not followed by another "&", and a final "&" unless one precedes it, so that a
// text shows its ampersands literally in a menu or label.
UnicodeString DoubleAnyAmpersands(const UnicodeString& s);

// The first c within the first n characters of p, or null; p itself when p is null or n is 0.
const char16_t* StrLScanW(const char16_t* p, char16_t c, size_t n);
char16_t* StrLScanW(char16_t* p, char16_t c, size_t n);
// StrSwapByteOrder is one of the buffer primitives (text_primitives/bare_assemb.h).

// The seconds of the day part of (now - dt), rounded to nearest, ties to even (25 hours ago gives 3600).
int32_t SecondsElapsedSince(TDateTime dt);
// Seconds since midnight of dt, rounded likewise.
int32_t TodaysTimeInSeconds(TDateTime dt);

// ---- files, folders and drives ----

// For paths longer than 3 characters, the full (absolute, "." and ".." resolved) path without a
// trailing delimiter; shorter paths unchanged. No drive mapping exists here, so no network form.
UnicodeString NormalisedPath(const UnicodeString& path);
// The same into buffer, which must hold 261 units: zero-filled first, at most 260 characters copied.
void NormalisedPathW(const UnicodeString& path, char16_t* buffer);

// A new list: first folder itself, unchanged; with recurse, then every sub-folder below it as a full
// path, depth-first, each before its own sub-folders, siblings in name order. Hidden folders (a name
// beginning with ".") are skipped with all below them, and so are links to folders, which could loop.
// Names keep their case: this system's file names are case-sensitive, so a lower-cased path could
// name nothing.
std::unique_ptr<TStringList> ListOfSubFolders(const UnicodeString& folder, bool recurse);

// The name holds "*" or "?".
bool FileNameHasWildCards(const UnicodeString& name);
// The path exists and is a folder.
bool sIsADirectory(const UnicodeString& path);
// The path's file system is a local one (not a network share); false when it does not exist.
bool Fixed_Drive(const UnicodeString& root);
// The upper-cased letter names a drive of the logical-drive mask (here only C, the tree under "/")
// and the drive reports a size. The mask read is left in DriveBits.
bool ValidDrive(char letter);
bool ValidDriveW(char16_t letter);

// False for an empty path; otherwise true unless the free space of path's file system is known and
// below bytesWanted, in which case the user is asked (OK/Cancel) and the answer decides.
bool ProceedIfLittleDiskSpace(const UnicodeString& path, int64_t bytesWanted);
// True when fname does not exist; otherwise asks whether to overwrite it and on Yes copies it to the
// same name with ".bak" first. False on No, and when the backup cannot be made.
bool CheckedForOverWrite(const UnicodeString& fname);
// Changes fname, while a file of that name exists, to name_NNN.ext with the batch file number
// counting up (report.txt -> report_001.txt -> report_001_002.txt); always true.
bool ForcedToBeNewFile(UnicodeString& fname);
// Sets the batch file number to max(n, 0).
void SetBatchFileStartNumberTo(int32_t n);
int32_t GetBatchFileStartNumber();

// The last-write time of the running program's file (0 when it cannot be read).
TDateTime Compilation_DateTime();
// That time as a date, a date and time, and a four-digit year, in Global_UserDefaultFormatSettings.
UnicodeString Compilation_Date();
UnicodeString Compilation_DateAndTime();
UnicodeString Compilation_Year();

}  // namespace kx8
