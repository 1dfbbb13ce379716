// The file routines: file dates.
#include "kx8rt/files/file_utils.h"
#include "kx8rt/files/file_utils_internal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "kx8rt/files/system_routines.h"
#include "kx8rt/text_primitives/bare_assemb.h"
#include "kx8rt/platform/file_system.h"
#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/large_buffers.h"
#include "kx8rt/platform/message_box.h"
#include "kx8rt/platform/messages.h"
#include "kx8rt/platform/path_match.h"
#include "kx8rt/text_primitives/unicode_string_conversion.h"
#include "kx8rt/text_primitives/utf8_unit.h"

namespace kx8 {

namespace fs = std::filesystem;
using namespace file_utils_detail;

// ---- file dates ----

bool SetFileDate(const UnicodeString& fname, TDateTime dt) {
  uint16_t y, mo, d, h, mi, s, ms;
  DecodeDate(dt, y, mo, d);
  if (y == 0 || fname.empty()) return false;
  DecodeTime(dt, h, mi, s, ms);
  struct tm tm {};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  tm.tm_isdst = -1;  // local time, as the tools show dates
  const time_t t = ::mktime(&tm);
  if (t == static_cast<time_t>(-1) && !(y == 1969 && mo == 12 && d == 31)) return false;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = t;
  times[1].tv_nsec = static_cast<long>(ms) * 1000000L;
  return ::utimensat(AT_FDCWD, N(fname).c_str(), times, 0) == 0;
}

bool SetFileDate(const UnicodeString& fname, const TYearMonthDay& ymd, int32_t hour) {
  TDateTime d, t;
  if (!TryEncodeDate(ymd.year, ymd.month, ymd.day, d) || !TryEncodeTime(hour, 0, 0, 0, t)) return false;
  return SetFileDate(fname, d + t);
}

bool SetFileDate(const UnicodeString& fname, const TYearMonthDay& ymd) { return SetFileDate(fname, ymd, 12); }

bool SetFileDate(const UnicodeString& fname, int32_t hour, int32_t day, int32_t month, int32_t year) {
  return SetFileDate(fname, TYearMonthDay{year, month, day}, hour);
}

bool SetFileDate(const UnicodeString& fname, int32_t day, int32_t month, int32_t year) {
  return SetFileDate(fname, 12, day, month, year);
}

bool SetFileDate(const UnicodeString& fname, const UnicodeString& day, const UnicodeString& month,
                 const UnicodeString& year) {
  int32_t d, m, y;
  if (!TryStrToInt(day, d) || !TryStrToInt(month, m) || !TryStrToInt(year, y)) return false;
  return SetFileDate(fname, d, m, y);
}

bool SetFileDate(const UnicodeString& fname, const UnicodeString& s) {
  if (s.size() != 10) return false;
  return SetFileDate(fname, s.substr(0, 2), s.substr(3, 2), s.substr(6, 4));
}

TDateTime GetFileAge(const UnicodeString& fname) {
  struct stat st;
  if (fname.empty() || ::stat(N(fname).c_str(), &st) != 0) return -1;
  struct tm tm {};
  const time_t t = st.st_mtim.tv_sec;
  if (!::localtime_r(&t, &tm)) return -1;
  TDateTime d, tod;
  if (!TryEncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, d)) return -1;
  TryEncodeTime(tm.tm_hour, tm.tm_min, std::min(tm.tm_sec, 59), static_cast<int32_t>(st.st_mtim.tv_nsec / 1000000), tod);
  return ComposeDateTime(d, tod);
}

bool CopyDateOfFile(const UnicodeString& from, const UnicodeString& to) {
  struct stat st;
  if (!IsFile(from) || !IsFile(to) || ::stat(N(from).c_str(), &st) != 0) return false;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1] = st.st_mtim;
  return ::utimensat(AT_FDCWD, N(to).c_str(), times, 0) == 0;
}

bool CopyFileRetainingDate(const UnicodeString& from, const UnicodeString& to, bool failIfExists) {
  if (!IsFile(from)) return false;
  if (failIfExists && fs::exists(N(to))) return false;
  if (!CopyFileOver(from, to)) return false;
  return CopyDateOfFile(from, to);
}

void TFileDateUpdater::HandleAFileList(const UnicodeString& FilenameWithList) {
  if (!IsFile(FilenameWithList) || !fOnGetFilesCount || !fOnGetAFile || !fOnTellAFileDate) return;
  TPossiblyDodgyTextStringlist list;
  list.LoadFromFile(FilenameWithList);
  list.SetNameValueSeparator(u'\t');
  const int32_t n = fOnGetFilesCount(this);
  for (int32_t i = 0; i < n; ++i) {
    MyYieldProcess();
    const UnicodeString f = fOnGetAFile(this, i);
    const UnicodeString bare = NameOnly(f);
    const UnicodeString keys[3] = {bare, f, ChangeExt(bare, u"")};
    for (const UnicodeString& k : keys) {
      const int32_t at = k.empty() ? -1 : list.IndexOfName(k);
      if (at < 0) continue;
      fOnTellAFileDate(this, i, UserStrDateAndTimeParsed(list.ValueFromIndex(at)));
      break;
    }
  }
}

TMyCheckSumFileStream::TMyCheckSumFileStream(const UnicodeString& FileName)
    : TFileStream(FileName, fmOpenRead | fmShareDenyNone) {}

int32_t TMyCheckSumFileStream::Read(void* Buffer, int32_t Count) {
  const int32_t got = TFileStream::Read(Buffer, Count);
  const auto* p = static_cast<const uint8_t*>(Buffer);
  int32_t i = 0;
  // Bytes left over from the last read complete a little-endian word first; whole words then go
  // through the buffer checksum, and a tail of fewer than four bytes waits for the next read.
  for (; i < got && fPendingBytes > 0; ++i) {
    fPending |= static_cast<uint32_t>(p[i]) << (8 * fPendingBytes);
    if (++fPendingBytes == 4) {
      fChecksum += fPending;
      fPending = 0;
      fPendingBytes = 0;
    }
  }
  const int32_t whole = (got - i) / 4 * 4;
  if (whole > 0) fChecksum += My4Checksum(p + i, whole);
  for (i += whole; i < got; ++i) fPending |= static_cast<uint32_t>(p[i]) << (8 * fPendingBytes++);
  return got;
}

uint32_t CheckSumOfAFile(const UnicodeString& fname) {
  if (!IsFile(fname)) return 0;
  TMyCheckSumFileStream f(fname);
  char buf[65536];
  while (f.Read(buf, sizeof buf) > 0) {
  }
  return f.Checksum();
}

}  // namespace kx8
