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

// ---- format detection and text reading ----

namespace {

// The checks of FileBufferType that the first bytes decide: b holds the first min(len, 64 KB) bytes of
// len (at least 4). False when only the bytes up to the first zero can tell (ASCII, UTF-8 or 8-bit).
bool HeadFormat(const uint8_t* b, int64_t len, TKXFileFormatAndSignatureLen& r) {
  r = {};
  if (b[0] == 0xFF && b[1] == 0xFE) {
    r = {fc_UTF16, false, 2};
  } else if (b[0] == 0xFE && b[1] == 0xFF) {
    r = {fc_UTF16_BigEndian, false, 2};
  } else if (b[0] == 0xD0 && b[1] == 0xCF && b[2] == 0x11 && b[3] == 0xE0) {
    r.fmt = fc_Storage;
  } else if (b[0] == 0xDB && b[1] == 0xA5 && b[2] == 0x2D && b[3] == 0x00) {
    r.fmt = fc_early_Word;
  } else if (b[0] == 0x50 && b[1] == 0x4B && b[2] == 0x03 && b[3] == 0x04) {
    r.fmt = fc_Zip;
  } else if (len % 2 == 0 && IsTextUnicode(b, static_cast<int32_t>(std::min<int64_t>(len, kUnicodeSample)), nullptr)) {
    // The statistical test looks at the first 64 KB only: that decides as well as the whole would,
    // and keeps recognising a 100 MB file as cheap as a small one.
    r.fmt = fc_UTF16;
  } else if (IsUTF8Signature(b[0], b[1], b[2])) {
    r = {fc_UTF8, true, 3};
  } else {
    return false;
  }
  return true;
}

}  // namespace

TKXFileFormatAndSignatureLen FileBufferType(const uint8_t*& p, int32_t len) {
  TKXFileFormatAndSignatureLen r;
  if (!p || len < 4) return r;
  if (!HeadFormat(p, len, r)) r.fmt = ClassifyBytes(p, static_cast<size_t>(len));
  p += r.signature_length;
  return r;
}

TKXFileFormat FileContentsFormat(const UnicodeString& fname) {
  TFileStream f(fname, fmOpenRead | fmShareDenyNone);
  try {
    const std::string buf = ReadWholeStream(f);
    const auto* p = reinterpret_cast<const uint8_t*>(buf.data());
    return FileBufferType(p, static_cast<int32_t>(buf.size() - 2)).fmt;
  } catch (const Exception&) {
    return fc_Unknown;
  }
}

namespace {

// The stream's bytes held as UTF-16 code units, with at least four zero bytes after them: a UTF-16
// text is then handed on where it lies, not copied, and an 8-bit one is read through a byte view of the
// same storage. Whole corpus files come this way, so the block is a large-buffer one (reused from one
// file to the next) and is not zero-filled before the read.
TLargeBuffer<char16_t> ReadWholeStreamAsUnits(TStream& stream, size_t& byteCount) {
  const int64_t size = stream.Size();
  if (size > 0x7FFFFFF0LL) throw EReadError(u"Stream too large to read whole");
  stream.SetPosition(0);
  TLargeBuffer<char16_t> raw(static_cast<size_t>(std::max<int64_t>(size, 0)) / 2 + 3);
  const int64_t got = size > 0 ? stream.Read(raw.data(), static_cast<int32_t>(size)) : 0;
  byteCount = static_cast<size_t>(std::max<int64_t>(got, 0));
  // Zeros after the last byte read (an odd count leaves the second half of a unit to clear).
  std::fill(raw.begin() + static_cast<std::ptrdiff_t>((byteCount + 1) / 2), raw.end(), u'\0');
  if (byteCount % 2 != 0) reinterpret_cast<unsigned char*>(raw.data())[byteCount] = 0;
  return raw;
}

}  // namespace

void HandleTextFileReading(TStream& stream, const TAnsiTextProc& ansiProc, const TWideTextProc& wideProc,
                           bool wantUnicode, uint16_t codepage, TKXFileFormat& fmt) {
  fmt = fc_Unknown;
  if (stream.Size() < 4) return;
  size_t byteCount = 0;
  TLargeBuffer<char16_t> raw = ReadWholeStreamAsUnits(stream, byteCount);
  const auto len = static_cast<int32_t>(byteCount);
  if (len < 4) return;
  const auto* start = reinterpret_cast<const uint8_t*>(raw.data());
  const uint8_t* p = start;
  const TKXFileFormatAndSignatureLen t = FileBufferType(p, len);
  fmt = t.fmt;
  const size_t skip = static_cast<size_t>(p - start);
  const char* text = reinterpret_cast<const char*>(start) + skip;  // zero-terminated by the bytes after the data
  const std::string_view bytes(text, static_cast<size_t>(len) - skip);
  switch (fmt) {
    case fc_ASCII:
    case fc_UTF8:
      if (wantUnicode) {
        if (wideProc) wideProc(Utf8ToUtf16(bytes.substr(0, std::strlen(text))).c_str());
      } else if (ansiProc) {
        if (fmt == fc_ASCII) ansiProc(text);
        else ansiProc(UnicodeToAnsi(Utf8ToUtf16(bytes.substr(0, std::strlen(text)))).c_str());
      }
      break;
    case fc_ANSI:
      if (wantUnicode) {
        if (wideProc) wideProc(ConvertedFromANSI(text, codepage).c_str());
      } else if (ansiProc) {
        ansiProc(text);
      }
      break;
    case fc_UTF16:
    case fc_UTF16_BigEndian: {
      // An odd last byte has no unit; the units end at the first zero one.
      const size_t units = bytes.size() / 2;
      UnicodeString shifted;
      char16_t* w = raw.data() + skip / 2;
      if (skip % 2 != 0) {  // a signature of odd length would leave the units between two code units
        shifted.resize(units);
        std::memcpy(shifted.data(), text, units * 2);
        w = shifted.data();
      }
      w[units] = 0;
      if (fmt == fc_UTF16_BigEndian) {
        SwapUnits(w, units);
        fmt = fc_UTF16;
      }
      if (wideProc) wideProc(w);
      break;
    }
    default:
      break;
  }
}

int32_t FileFormatComparison(TKXFileFormat a, TKXFileFormat b) { return a < b ? -1 : a > b ? 1 : 0; }

bool TextFormatToWhetherUnicode(TKXFileFormat f) { return f == fc_UTF16 || f == fc_UTF16_BigEndian; }

bool VariantFlavoursOfUTF16(TKXFileFormat a, TKXFileFormat b) {
  return TextFormatToWhetherUnicode(a) && TextFormatToWhetherUnicode(b);
}

UnicodeString ConvertedFromANSI(const char* p, uint16_t codepage) {
  if (!p) return {};
  // Through UTF-8 as the classic route does; the result is the same as a direct conversion.
  const UnicodeString w = AnsiToUnicode(p, codepage);
  return Utf8ToUtf16(Utf16ToUtf8(w));
}

bool StringIsInUnicode(const uint8_t* p, int32_t len) {
  if (!p || len < 4) return false;
  if ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF)) return true;
  return IsTextUnicode(p, len, nullptr);
}

bool TextFileInUnicode(const UnicodeString& fname) {
  if (!IsFile(fname)) return false;
  try {
    TFileStream f(fname, fmOpenRead | fmShareDenyNone);
    const std::string buf = ReadWholeStream(f);
    return StringIsInUnicode(reinterpret_cast<const uint8_t*>(buf.data()), static_cast<int32_t>(buf.size() - 2));
  } catch (const Exception&) {
    return false;
  }
}

UnicodeString TextFileContents(const UnicodeString& fname) {
  if (!IsFile(fname)) return {};
  TPossiblyDodgyTextStringlist list;
  list.LoadFromFile(fname);
  UnicodeString out;
  for (int32_t i = 0; i < list.Count(); ++i) {
    if (i) out += u"\r\n";
    out += list.StoredString(i);
  }
  return out;
}

bool ConvertedBytesToUTF16LE(const uint8_t* data, size_t size, uint16_t codepage, std::string& out,
                             TKXFileFormat& fmt) {
  out.clear();
  fmt = fc_Unknown;
  if (size == 0) {
    out = "\xFF\xFE";
    return true;
  }
  if (!data || size < 4 || size > 0x7FFFFFF0u) return false;
  const uint8_t* p = data;
  fmt = FileBufferType(p, static_cast<int32_t>(size)).fmt;
  const size_t rest = size - static_cast<size_t>(p - data);
  UnicodeString w;
  switch (fmt) {
    case fc_ASCII:
    case fc_UTF8:
    case fc_ANSI: {
      // As the reader delivers it: the text ends at the first zero byte.
      const auto* z = static_cast<const uint8_t*>(std::memchr(p, 0, rest));
      const std::string_view bytes(reinterpret_cast<const char*>(p), z ? static_cast<size_t>(z - p) : rest);
      w = fmt == fc_ANSI ? AnsiToUnicode(bytes, codepage ? codepage : GetACP()) : Utf8ToUtf16(bytes);
      break;
    }
    case fc_UTF16:
    case fc_UTF16_BigEndian:
      w.resize(rest / 2);
      std::memcpy(w.data(), p, w.size() * 2);
      if (fmt == fc_UTF16_BigEndian) SwapUnits(w.data(), w.size());
      break;
    default:
      return false;
  }
  out = UTF16LEBytes(w, true);
  return true;
}

namespace {


void WriteUnitsLE(TStream& out, const char16_t* units, size_t n) {
  if (n == 0) return;
  if constexpr (std::endian::native == std::endian::little) {
    out.WriteBuffer(units, static_cast<int64_t>(n * 2));
  } else {
    std::string bytes(n * 2, '\0');
    for (size_t i = 0; i < n; ++i) {
      bytes[2 * i] = static_cast<char>(units[i] & 0xFF);
      bytes[2 * i + 1] = static_cast<char>(units[i] >> 8);
    }
    out.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
}

constexpr size_t kStopReading = SIZE_MAX;

// Reads in from its position to its end in pieces of up to chunk bytes after the carry that the last
// step left, handing each to step(bytes, n, last), which returns the bytes it used (the rest is
// carried) or kStopReading. With stopAtZero the text ends before its first zero byte.
template <typename Step>
void ForEachPiece(TStream& in, size_t chunk, size_t maxCarry, bool stopAtZero, Step&& step) {
  std::vector<uint8_t> buf(chunk + maxCarry);
  size_t carry = 0;
  for (bool last = false; !last;) {
    const int32_t got = in.Read(buf.data() + carry, static_cast<int32_t>(chunk));
    if (got < 0) throw EReadError(u"Stream read error");
    size_t n = carry + static_cast<size_t>(got);
    last = got == 0;
    if (stopAtZero && got > 0) {
      if (const void* z = std::memchr(buf.data() + carry, 0, static_cast<size_t>(got))) {
        n = static_cast<size_t>(static_cast<const uint8_t*>(z) - buf.data());
        last = true;
      }
    }
    const size_t used = step(buf.data(), n, last);
    if (used == kStopReading) return;
    carry = n - used;
    if (carry > maxCarry) throw EReadError(u"Stream read error");  // a step that cannot go on
    if (carry) std::memmove(buf.data(), buf.data() + used, carry);
  }
}

}  // namespace

bool StreamIsConvertibleText(TStream& in) {
  const int64_t size = in.Size();
  in.SetPosition(0);
  if (size == 0) return true;
  if (size < 4) return false;
  uint8_t b[4];
  in.ReadBuffer(b, 4);
  in.SetPosition(0);
  // The formats that are no text are known by their first four bytes alone (and none of them begins
  // as a UTF-16 signature does).
  return !(b[0] == 0xD0 && b[1] == 0xCF && b[2] == 0x11 && b[3] == 0xE0) &&
         !(b[0] == 0xDB && b[1] == 0xA5 && b[2] == 0x2D && b[3] == 0x00) &&
         !(b[0] == 0x50 && b[1] == 0x4B && b[2] == 0x03 && b[3] == 0x04);
}

bool StreamedBytesToUTF16LE(TStream& in, TStream& out, uint16_t codepage, TKXFileFormat& fmt, int32_t chunkBytes) {
  fmt = fc_Unknown;
  const size_t chunk = static_cast<size_t>(std::max(chunkBytes, 1));
  const int64_t size = in.Size();
  static const char kSignature[2] = {'\xFF', '\xFE'};
  if (size == 0) {
    out.WriteBuffer(kSignature, 2);
    return true;
  }
  if (size < 4) return false;

  std::vector<uint8_t> head(static_cast<size_t>(std::min<int64_t>(size, kUnicodeSample)));
  in.SetPosition(0);
  in.ReadBuffer(head.data(), static_cast<int64_t>(head.size()));
  TKXFileFormatAndSignatureLen r;
  const bool decided = HeadFormat(head.data(), size, r);
  if (decided) {
    fmt = r.fmt;
    if (fmt != fc_UTF16 && fmt != fc_UTF16_BigEndian && fmt != fc_UTF8) return false;
  }
  head = std::vector<uint8_t>();
  const int64_t outStart = out.Position();
  out.WriteBuffer(kSignature, 2);
  in.SetPosition(r.signature_length);
  std::vector<char16_t> units(chunk + 4);

  if (fmt == fc_UTF16 || fmt == fc_UTF16_BigEndian) {
    // Unit by unit: a surrogate pair split between pieces is rejoined as the units are written in
    // order; an odd byte waits for its partner, and a last odd byte has none.
    const bool swap = fmt == fc_UTF16_BigEndian;
    ForEachPiece(in, chunk, 1, false, [&](const uint8_t* b, size_t n, bool) {
      const size_t k = n / 2;
      for (size_t i = 0; i < k; ++i) {
        const char16_t lo = b[2 * i], hi = b[2 * i + 1];
        units[i] = swap ? static_cast<char16_t>((lo << 8) | hi) : static_cast<char16_t>(lo | (hi << 8));
      }
      WriteUnitsLE(out, units.data(), k);
      return k * 2;
    });
    return true;
  }

  // 8-bit text: UTF-8 after its signature as it stands; without one, UTF-8 as long as every sequence
  // is well formed (7-bit text being the case with none), otherwise 8-bit text in the code page.
  const bool signedUtf8 = decided;
  bool bad = false, nonAscii = false;
  ForEachPiece(in, chunk, 3, true, [&](const uint8_t* b, size_t n, bool last) -> size_t {
    size_t made = 0;
    const size_t used = DecodeUTF8Piece(b, n, last, !signedUtf8, 0, units.data(), made, bad, nonAscii);
    if (bad) return kStopReading;  // the text goes again from its start, as 8-bit text
    WriteUnitsLE(out, units.data(), made);
    return used;
  });
  if (signedUtf8) return true;
  if (!bad) {
    fmt = nonAscii ? fc_UTF8 : fc_ASCII;
    return true;
  }
  fmt = fc_ANSI;
  out.SetSize(outStart + 2);
  out.SetPosition(outStart + 2);
  in.SetPosition(0);
  TCodePageDecoder decoder(codepage ? codepage : GetACP());
  UnicodeString text;
  ForEachPiece(in, chunk, 0, true, [&](const uint8_t* b, size_t n, bool last) {
    text.clear();
    decoder.Decode(reinterpret_cast<const char*>(b), n, last, text);
    WriteUnitsLE(out, text.data(), text.size());
    return n;
  });
  return true;
}

void TPossiblyDodgyTextStringlist::LoadFromFile(const UnicodeString& FileName) {
  TFileStream f(FileName, fmOpenRead | fmShareDenyNone);
  SignedUTF8 = false;
  if (f.Size() > 2) {
    uint8_t head[3] = {0, 0, 0};
    f.ReadBuffer(head, 3);
    SignedUTF8 = IsUTF8Signature(head[0], head[1], head[2]);
  }
  f.SetPosition(0);
  LoadFromStream(f);
}

void TPossiblyDodgyTextStringlist::SetTextStr(const UnicodeString& Value) {
  BeginUpdate();
  try {
    Clear();
    if (!Value.empty()) ForEachTextLine(Value, LineBreak(), [this](UnicodeString&& line) { Add(line); });
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

bool ConvertTextFileToUnicode(const UnicodeString& fname) { return ConvertTextFileToUnicode(fname, 0); }

bool ConvertTextFileToUnicode(const UnicodeString& fname, uint16_t codepage) {
  if (!IsFile(fname)) return false;
  struct stat st;
  if (::stat(N(fname).c_str(), &st) != 0) return false;
  try {
    TKXPlainStringList list;
    list.LoadFromFile(fname, std::nullopt);
    // 8-bit text is read again in the code page asked for, and 8-bit text that is really UTF-8 as UTF-8.
    if (list.Encoding() && list.Encoding()->Kind() == ekAnsi && codepage != 0) {
      TKXPlainStringList again;
      again.LoadFromFile(fname, TEncoding::ANSI(codepage));
      list.Assign(again);
      list.SetText(again.Text());
    }
    {
      TFileStream in(fname, fmOpenRead | fmShareDenyNone);
      const std::string buf = ReadWholeStream(in);
      const auto* p = reinterpret_cast<const uint8_t*>(buf.data());
      const TKXFileFormat fmt = FileBufferType(p, static_cast<int32_t>(buf.size() - 2)).fmt;
      if (fmt == fc_UTF8 && !(list.Encoding() && list.Encoding()->Kind() == ekUTF8))
        list.SetText(Utf8ToUtf16(std::string_view(buf.data(), buf.size() - 2)));
    }
    list.SaveToFile(fname, TEncoding::Unicode());
  } catch (const Exception&) {
    return false;
  }
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  return ::utimensat(AT_FDCWD, N(fname).c_str(), times, 0) == 0;
}

bool SavedTextAsStream(const UnicodeString& s, const UnicodeString& fname) {
  if (s.empty()) return false;
  try {
    WriteNewFile(fname, UTF16LEBytes(s, true));
  } catch (const Exception&) {
    return false;
  }
  return true;
}

}  // namespace kx8
