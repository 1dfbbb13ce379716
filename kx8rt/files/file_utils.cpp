#include "kx8rt/files/file_utils.h"

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
#include "kx8rt/strings/tags.h"
#include "kx8rt/text_primitives/unicode_string_conversion.h"
#include "kx8rt/text_primitives/utf8_unit.h"

namespace kx8 {

namespace fs = std::filesystem;

namespace {

std::string N(const UnicodeString& s) { return Utf16ToUtf8(s); }

bool IsFile(const UnicodeString& name) {
  struct stat st;
  return !name.empty() && ::stat(N(name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const UnicodeString& name) {
  struct stat st;
  return !name.empty() && ::stat(N(name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CopyFileOver(const UnicodeString& from, const UnicodeString& to) {
  std::error_code ec;
  fs::copy_file(N(from), N(to), fs::copy_options::overwrite_existing, ec);
  return !ec;
}

UnicodeString NameOnly(const UnicodeString& path) {
  const size_t s = path.find_last_of(u'/');
  return s == UnicodeString::npos ? path : path.substr(s + 1);
}

UnicodeString ChangeExt(const UnicodeString& path, const UnicodeString& ext) {
  const size_t s = path.find_last_of(u'/');
  const size_t d = path.find_last_of(u'.');
  const bool has = d != UnicodeString::npos && (s == UnicodeString::npos || d > s);
  return (has ? path.substr(0, d) : path) + ext;
}

// The whole of a stream from its start, with two zero bytes after it (a zero UTF-16 unit).
std::string ReadWholeStream(TStream& stream) {
  std::string buf;
  const int64_t size = stream.Size();
  if (size > 0x7FFFFFF0LL) throw EReadError(u"Stream too large to read whole");
  stream.SetPosition(0);
  buf.resize(static_cast<size_t>(std::max<int64_t>(size, 0)) + 2);
  const int64_t got = size > 0 ? stream.Read(buf.data(), static_cast<int32_t>(size)) : 0;
  buf.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
  buf.append(2, '\0');
  return buf;
}

constexpr int32_t kUnicodeSample = 64 * 1024;

// Classifies the bytes up to the first zero byte.
TKXFileFormat ClassifyBytes(const uint8_t* p, size_t n) {
  const auto* z = static_cast<const uint8_t*>(std::memchr(p, 0, n));
  if (z) n = static_cast<size_t>(z - p);
  size_t i = 0;
  while (i < n && p[i] < 0x80) ++i;
  if (i == n) return fc_ASCII;
  return IsValidUTF8(p + i, n - i) ? fc_UTF8 : fc_ANSI;
}

void SwapUnits(char16_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) p[i] = static_cast<char16_t>((p[i] >> 8) | (p[i] << 8));
}

// Writes bytes to a new file, raising the stream's error on failure.
void WriteNewFile(const UnicodeString& fname, std::string_view bytes) {
  TFileStream f(fname, fmCreate);
  f.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

std::string UTF16LEBytes(std::u16string_view s, bool signature) {
  const size_t head = signature ? 2 : 0;
  std::string out(head + s.size() * 2, '\0');
  if (signature) out[0] = '\xFF', out[1] = '\xFE';
  if constexpr (std::endian::native == std::endian::little) {
    if (!s.empty()) std::memcpy(out.data() + head, s.data(), s.size() * 2);
  } else {
    for (size_t i = 0; i < s.size(); ++i) {
      out[head + 2 * i] = static_cast<char>(s[i] & 0xFF);
      out[head + 2 * i + 1] = static_cast<char>(s[i] >> 8);
    }
  }
  return out;
}

}  // namespace

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

namespace {

// What the corpus readers share once a stream has been read: the verdict on the format found.
bool CorpusTextVerdict(TKXFileFormat fmt, int64_t size, const std::function<UnicodeString()>& documentText,
                       int32_t maxTagGap, UnicodeString& text, UnicodeString& note) {
  if (fmt == fc_Zip) {
    text = documentText ? documentText() : UnicodeString();
    if (text.empty()) {
      note = u"zip archive without a word-processor document";
      return false;
    }
  } else if (fmt == fc_Unknown && size < 4) {
    return true;  // too short to tell: an empty (or all but empty) text
  } else if (!TextFormatToWhetherUnicode(fmt) && fmt != fc_ASCII && fmt != fc_UTF8 && fmt != fc_ANSI) {
    note = fmt == fc_Storage ? u"compound document, not text" : fmt == fc_early_Word ? u"early word-processor file, not text"
                                                                                  : u"not a text file";
    return false;
  }
  if (maxTagGap > 0) text = WithoutMarkup(text, maxTagGap);
  return true;
}

}  // namespace

bool CorpusFileText(const UnicodeString& fname, uint16_t codepage, int32_t maxTagGap, UnicodeString& text,
                    UnicodeString& note) {
  text.clear();
  note.clear();
  if (!IsFile(fname)) {
    note = u"no such file";
    return false;
  }
  TKXFileFormat fmt = fc_Unknown;
  try {
    TFileStream f(fname, fmOpenRead | fmShareDenyNone);
    HandleTextFileReading(f, nullptr, [&](const char16_t* w) { text = w; }, true,
                          codepage ? codepage : static_cast<uint16_t>(GetACP()), fmt);
  } catch (const Exception& e) {
    note = e.Message();
    return false;
  }
  return CorpusTextVerdict(fmt, FileSize(fname), [&] { return DOCXFileText(fname); }, maxTagGap, text, note);
}

bool CorpusBufferText(const uint8_t* data, size_t size, uint16_t codepage, int32_t maxTagGap, UnicodeString& text,
                      UnicodeString& note) {
  text.clear();
  note.clear();
  if (size > 0x7FFFFFF0u) {
    note = u"too large for one text";
    return false;
  }
  TKXFileFormat fmt = fc_Unknown;
  try {
    TMemoryStream m;
    if (size > 0) m.WriteBuffer(data, static_cast<int32_t>(size));
    m.Seek(0, soBeginning);
    HandleTextFileReading(m, nullptr, [&](const char16_t* w) { text = w; }, true,
                          codepage ? codepage : static_cast<uint16_t>(GetACP()), fmt);
  } catch (const Exception& e) {
    note = e.Message();
    return false;
  }
  // A document inside an archive would need a second archive open; it is reported, not read.
  return CorpusTextVerdict(fmt, static_cast<int64_t>(size), nullptr, maxTagGap, text, note);
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

// Decodes n bytes of UTF-8 at p into out (room for n units) as Utf8ToUtf16 does: ill-formed bytes become
// one U+FFFD for each maximal bad prefix. Returns the bytes used, which stop short of a sequence that
// the end of the bytes cuts off unless last says nothing follows. strict stops at the first ill-formed
// sequence instead, setting bad: what IsValidUTF8 rejects. nonAscii is set on the first byte above 127.
size_t DecodeUtf8Piece(const uint8_t* p, size_t n, bool last, bool strict, char16_t* out, size_t& made, bool& bad,
                       bool& nonAscii) {
  size_t i = 0, o = 0;
  while (i < n) {
    if (i + 8 <= n) {
      uint64_t w;
      std::memcpy(&w, p + i, 8);
      if ((w & 0x8080808080808080ULL) == 0) {
        for (int k = 0; k < 8; ++k) out[o + k] = p[i + k];
        i += 8;
        o += 8;
        continue;
      }
    }
    const uint8_t c = p[i];
    if (c < 0x80) {
      out[o++] = c;
      ++i;
      continue;
    }
    nonAscii = true;
    int extra;
    char32_t cp, minimum;
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1, cp = c & 0x1F, minimum = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2, cp = c & 0x0F, minimum = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3, cp = c & 0x07, minimum = 0x10000;
    } else {
      if (strict) {
        bad = true;
        break;
      }
      out[o++] = 0xFFFD;
      ++i;
      continue;
    }
    size_t j = i + 1;
    int got = 0;
    while (got < extra && j < n && (p[j] & 0xC0) == 0x80) {
      cp = (cp << 6) | (p[j] & 0x3F);
      ++j;
      ++got;
    }
    if (got < extra && j == n && !last) break;  // the rest of the character comes with the next piece
    if (got < extra || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      if (strict) {
        bad = true;
        break;
      }
      out[o++] = 0xFFFD;
      i = j;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out[o++] = static_cast<char16_t>(0xD800 + (cp >> 10));
      out[o++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out[o++] = static_cast<char16_t>(cp);
    }
    i = j;
  }
  made = o;
  return i;
}

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
    const size_t used = DecodeUtf8Piece(b, n, last, !signedUtf8, units.data(), made, bad, nonAscii);
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

// ---- edits and backups ----

UnicodeString BackupFileNameOf(const UnicodeString& fname) { return ChangeExt(fname, u".bak"); }

bool CopyAFileWithBackup(const UnicodeString& fname) { return CopyFileOver(fname, BackupFileNameOf(fname)); }

bool DeleteFileKeepingBackup(const UnicodeString& fname) {
  if (!IsFile(fname)) return false;
  CopyAFileWithBackup(fname);
  return ::unlink(N(fname).c_str()) == 0;
}

bool EmptyFileKeepingBackup(const UnicodeString& fname) {
  if (!IsFile(fname)) return false;
  CopyAFileWithBackup(fname);
  try {
    WriteNewFile(fname, "\xFF\xFE");
  } catch (const Exception&) {
    return false;
  }
  return true;
}

bool InsertIntoFileW(const UnicodeString& fname, const UnicodeString& s, bool makeBackup, uint32_t pos) {
  if (makeBackup) CopyAFileWithBackup(fname);
  TKXPlainStringList list;
  list.LoadFromFile(fname, std::nullopt);  // a failure to load reaches the caller
  try {
    const UnicodeString t = list.Text();
    const size_t before = pos == 0 ? 0 : std::min<size_t>(pos - 1, t.size());
    list.SetText(t.substr(0, before) + s + t.substr(before));
    list.SaveToFile(fname, TEncoding::Unicode());
  } catch (const Exception&) {
    return false;
  }
  return true;
}

bool InsertIntoFileA(const UnicodeString& fname, const UnicodeString& s, bool makeBackup, uint32_t pos) {
  if (makeBackup) CopyAFileWithBackup(fname);
  TKXPlainStringList list;
  list.LoadFromFile(fname, std::nullopt);
  try {
    UnicodeString t = list.Text();
    Insert(s, t, static_cast<int64_t>(pos));
    list.SetText(t);
    list.SaveToFile(fname);  // the encoding it was loaded with
  } catch (const Exception&) {
    return false;
  }
  return true;
}

bool OKToDeleteFile(const UnicodeString& fname) {
  if (!IsFile(fname)) return false;
  if (MessageBoxW(Format(KXDeleteFileXQ, {fname}), LoadMessage(KXSureQ), MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
    return false;
  return ::unlink(N(fname).c_str()) == 0;
}

namespace {

// Mount points of removable media by the usual places they are mounted on this system.
bool IsRemovableMount(const std::string& mount) {
  return mount.rfind("/media/", 0) == 0 || mount.rfind("/run/media/", 0) == 0 || mount.rfind("/mnt/", 0) == 0;
}

void CollectFiles(const UnicodeString& folder, const UnicodeString& mask, bool recurse, TStringList& dirs,
                  TStringList& files) {
  UnicodeString base = folder;
  if (base.empty() || base.back() != u'/') base += u'/';
  dirs.Add(base);
  std::error_code ec;
  std::vector<UnicodeString> subs;
  for (const auto& e : fs::directory_iterator(N(base), ec)) {
    const UnicodeString name = Utf8ToUtf16(e.path().filename().string());
    std::error_code ec2;
    if (e.is_directory(ec2) && !e.is_symlink(ec2)) {
      if (recurse) subs.push_back(base + name);
    } else if (e.is_regular_file(ec2) && PathMatchSpecW(name, mask)) {
      files.Add(base + name);
    }
  }
  std::sort(subs.begin(), subs.end());
  for (const auto& s : subs) CollectFiles(s, mask, recurse, dirs, files);
}

}  // namespace

void DeleteAllFilesOn(const UnicodeString& folder, const UnicodeString& mask, const UnicodeString& backupFolder,
                      bool copyFirst, bool recurse, bool removeEmptyFolders) {
  // A drive root here is "/" or the mount point of a file system; only removable media may be emptied
  // from their root.
  std::string plain = N(folder);
  while (plain.size() > 1 && plain.back() == '/') plain.pop_back();
  const UnicodeString drive = ExtractFileDrive(folder);
  const bool atRoot = folder.size() < 4 || plain == "/" || (!drive.empty() && Utf8ToUtf16(plain) == drive);
  if (atRoot && !IsRemovableMount(plain + "/")) {
    MessageBoxW(u"Won't delete all files on " + folder, u"No Way!", MB_OK | MB_ICONWARNING);
    return;
  }
  TStringList dirs, files;
  CollectFiles(folder, mask, recurse, dirs, files);
  if (files.Count() == 0) return;
  const UnicodeString question = files.Count() == 1
                                     ? Format(KXDeleteThe1XFileInY, {mask, folder})
                                     : Format(KXDeleteAllXFilesInY, {files.Count(), mask, folder});
  if (MessageBoxW(question, LoadMessage(KXSureQ), MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return;
  for (int32_t i = 0; i < files.Count(); ++i) {
    MyYieldProcess();
    const UnicodeString f = files[i];
    if (copyFirst) {
      if (CopyFileOver(f, backupFolder + u"/" + NameOnly(f))) ::unlink(N(f).c_str());
    } else if (::unlink(N(f).c_str()) != 0) {
      RaiseLastOSError(errno, u"Deleting " + f);
    }
  }
  if (removeEmptyFolders)
    for (int32_t i = dirs.Count() - 1; i >= 1; --i) RemovedEmptyFolder(dirs[i]);  // deepest first
}

void DeleteAllFilesOn(const UnicodeString& folder, const UnicodeString& mask) {
  DeleteAllFilesOn(folder, mask, u"", false, false, false);
}

bool TryToCopyFileToTEMP(const UnicodeString& fname) {
  if (!IsFile(fname)) return false;
  const fs::path src(N(fname));
  const fs::path dir = src.parent_path() / Utf16ToUtf8(LoadMessage(KXTempFolderName));
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) return false;
  fs::copy_file(src, dir / src.filename(), fs::copy_options::overwrite_existing, ec);
  return !ec;
}

// ---- placeholders ----

UnicodeString ProgramFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return u"./";
  return Utf8ToUtf16(exe.parent_path().string()) + u"/";
}

UnicodeString ConvertedFilenameFromUserDirFName(const UnicodeString& userDir, const UnicodeString& fname) {
  size_t at = fname.find(user_dir_const);
  if (at != UnicodeString::npos) {
    UnicodeString dir = userDir;
    if (dir.empty() || dir.back() != u'/') dir += u'/';
    const size_t rest = at + user_dir_const.size() + 1;  // the delimiter after the placeholder
    return dir + (rest < fname.size() ? fname.substr(rest) : UnicodeString());
  }
  at = fname.find(user_drive_const);
  if (at != UnicodeString::npos) {
    const UnicodeString rest = fname.substr(at + user_drive_const.size());
    const UnicodeString drive = ExtractFileDrive(userDir);
    return !rest.empty() && rest[0] == u'/' ? drive + rest : drive + u"/" + rest;
  }
  return fname;
}

UnicodeString ConvertedFilenameIfUserDrive(const UnicodeString& fname, bool toPlaceholder) {
  const UnicodeString progDrive = ExtractFileDrive(ProgramFolder());
  if (toPlaceholder) {
    if (fname.empty() || fname[0] != u'/') return fname;
    const UnicodeString d = ExtractFileDrive(fname);
    if (SameText(d, progDrive) && fname.compare(0, d.size(), d) == 0) return user_drive_const + fname.substr(d.size());
    return fname;
  }
  if (fname.compare(0, user_drive_const.size(), user_drive_const) == 0)
    return progDrive + fname.substr(user_drive_const.size());
  return fname;
}

UnicodeString ConvertedUserFolderInFilename(const UnicodeString& userDir, const UnicodeString& fname, bool flag) {
  const UnicodeString resolved = ConvertedFilenameFromUserDirFName(userDir, fname);
  // The flag asks for the storable form: a plain name on the program's drive gets the drive placeholder.
  if (flag && resolved == fname) return ConvertedFilenameIfUserDrive(fname, true);
  return resolved;
}

UnicodeString ConvertedAppFolderInFilename(const UnicodeString& fname, bool flag) {
  return ConvertedUserFolderInFilename(ProgramFolder(), fname, flag);
}

void CheckUserDirConstFolder(TStringList& list, bool flag) {
  for (int32_t i = 0; i < list.Count(); ++i) {
    const UnicodeString s = list[i];
    const UnicodeString c = ConvertedAppFolderInFilename(s, flag);
    if (c != s) list.Put(i, c);
  }
}

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

// ---- paths, folders and drives ----

int32_t PathDelimiterCount(const UnicodeString& path) {
  return static_cast<int32_t>(std::count(path.begin(), path.end(), u'/'));
}

UnicodeString NameUpToXPathDelimiters(const UnicodeString& path, int32_t n) {
  if (n < 1) return {};
  int32_t seen = 0;
  for (size_t i = 0; i < path.size(); ++i)
    if (path[i] == u'/' && ++seen == n) return path.substr(0, i);
  return {};
}

UnicodeString FileNameWithParentFolderOnly(const UnicodeString& fname) {
  const size_t last = fname.find_last_of(u'/');
  if (last == UnicodeString::npos || last == 0) return fname;
  const size_t prev = fname.find_last_of(u'/', last - 1);
  return prev == UnicodeString::npos ? fname : fname.substr(prev + 1);
}

UnicodeString CommonDrivePathElements(const UnicodeString& a, const UnicodeString& b) {
  const size_t n = std::min(a.size(), b.size());
  size_t lastDelim = UnicodeString::npos;
  for (size_t i = 0; i < n; ++i) {
    if (a[i] == u'/') lastDelim = i;
    if (ToLower(static_cast<char32_t>(a[i])) != ToLower(static_cast<char32_t>(b[i]))) break;
  }
  return lastDelim == UnicodeString::npos ? UnicodeString() : a.substr(0, lastDelim + 1);
}

std::unique_ptr<TStringList> ListOfAllFilesIn(const UnicodeString& folder, const UnicodeString& mask) {
  auto out = std::make_unique<TStringList>();
  UnicodeString base = folder;
  if (!base.empty() && base.back() == u'/') base.pop_back();
  std::error_code ec;
  std::vector<UnicodeString> names;
  for (const auto& e : fs::directory_iterator(N(base.empty() ? u"/" : base), ec)) {
    MyYieldProcess();
    const UnicodeString name = Utf8ToUtf16(e.path().filename().string());
    std::error_code ec2;
    if (name.empty() || name[0] == u'.' || !e.is_regular_file(ec2)) continue;  // hidden, folders, system
    if (PathMatchSpecW(name, mask)) names.push_back(base + u"/" + name);
  }
  std::sort(names.begin(), names.end());
  for (const auto& n : names) out->Add(n);
  return out;
}

void ListOfFilesAndDirs(const UnicodeString& folder, const UnicodeString& mask, bool recurse,
                        std::unique_ptr<TStringList>& dirs, std::unique_ptr<TStringList>& files) {
  dirs = std::make_unique<TStringList>();
  files = std::make_unique<TStringList>();
  CollectFiles(folder, mask, recurse, *dirs, *files);
}

namespace {

struct MountEntry {
  std::string device, mount, type;
};

std::vector<MountEntry> Mounts() {
  std::vector<MountEntry> out;
  std::ifstream f("/proc/mounts");
  MountEntry m;
  std::string rest;
  while (f >> m.device >> m.mount >> m.type && std::getline(f, rest)) out.push_back(m);
  return out;
}

bool IsNetworkType(const std::string& t) {
  return t == "nfs" || t == "nfs4" || t == "cifs" || t == "smb3" || t == "smbfs" || t == "9p" || t == "fuse.sshfs" ||
         t == "afs" || t == "ceph";
}

bool IsLocalDiskDevice(const MountEntry& m) { return m.device.rfind("/dev/", 0) == 0; }

// The mounted file system holding path (the longest mount point above it), if any.
std::optional<MountEntry> MountHolding(const std::string& path) {
  std::optional<MountEntry> best;
  for (const MountEntry& m : Mounts()) {
    const std::string& mp = m.mount;
    const bool under = path == mp || (path.rfind(mp, 0) == 0 && (mp == "/" || path[mp.size()] == '/'));
    if (under && (!best || mp.size() >= best->mount.size())) best = m;
  }
  return best;
}

}  // namespace

UnicodeString DriveWithMostFreeSpace() {
  UnicodeString best;
  unsigned long long most = 0;
  for (const MountEntry& m : Mounts()) {
    if (!IsLocalDiskDevice(m) || IsRemovableMount(m.mount + "/")) continue;  // fixed disks only
    struct statvfs sv;
    if (::statvfs(m.mount.c_str(), &sv) != 0) continue;
    const unsigned long long freeBytes = static_cast<unsigned long long>(sv.f_bavail) * sv.f_frsize;
    if (best.empty() || freeBytes > most) {
      most = freeBytes;
      best = Utf8ToUtf16(m.mount == "/" ? m.mount : m.mount + "/");
    }
  }
  return best;
}

UnicodeString FileFilterWithinFilterText(const UnicodeString& s) {
  UnicodeString r = s;
  const size_t open = s.find(u'(');
  if (open != UnicodeString::npos) {
    const size_t close = s.find(u')', open + 1);
    if (close != UnicodeString::npos) r = s.substr(open + 1, close - open - 1);
  }
  r = Trim(r);
  return r.empty() ? UnicodeString(u"*.*") : r;
}

UnicodeString FormattedFNAsParameter(const UnicodeString& fname) {
  return IsFile(fname) ? u"\"" + fname + u"\"" : fname;
}

UnicodeString CleanedUpFilename(const UnicodeString& fname) {
  // Both slashes end the folder part: stored names may come from another system.
  const size_t cut = fname.find_last_of(u"/\\");
  const UnicodeString name = cut == UnicodeString::npos ? fname : fname.substr(cut + 1);
  static const std::u16string_view bad = u"\\/:|<>^+=?[]\"*";
  UnicodeString out;
  for (char16_t c : name)
    if (c >= 0x20 && bad.find(c) == std::u16string_view::npos) out += c;
  return out;
}

UnicodeString FileNameFromSuggestedOrExisting(const UnicodeString& existing, const UnicodeString& suggested,
                                              const UnicodeString& ext) {
  const UnicodeString e = ChangeExt(existing, ext);
  return IsFile(e) ? e : ChangeExt(suggested, ext);
}

bool IsDirectoryWriteable(const UnicodeString& dir) {
  UnicodeString d = dir;
  if (d.empty() || d.back() != u'/') d += u'/';
  const std::string name = N(d + u"chk.tmp");
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(name.c_str());  // the system cannot delete on close here, so it is removed at once
  return true;
}

bool ReadOnlyFileW(const UnicodeString& fname) {
  return IsFile(fname) && ::access(N(fname).c_str(), W_OK) != 0;
}

bool ReadOnlyFolderW(const UnicodeString& folder) {
  return IsFolder(folder) && ::access(N(folder).c_str(), W_OK) != 0;
}

bool FolderIsEmpty(const UnicodeString& folder) {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(N(folder), ec)) {
    const std::string name = e.path().filename().string();
    if (!name.empty() && name[0] != '.') return false;
  }
  return true;
}

bool RemovedEmptyFolder(const UnicodeString& folder) {
  if (!IsFolder(folder)) return true;
  std::error_code ec;
  if (!fs::is_empty(N(folder), ec) || ec) return true;
  return ::rmdir(N(folder).c_str()) == 0;
}

bool IsNetworkPath(const UnicodeString& path) {
  if (path.size() >= 2 && (path.compare(0, 2, u"//") == 0 || path.compare(0, 2, u"\\\\") == 0)) return true;
  const std::optional<MountEntry> m = MountHolding(N(path));
  return m && IsNetworkType(m->type);
}

bool DriveAndFileExist(const UnicodeString& path) { return IsFile(path); }
bool DriveAndFolderExist(const UnicodeString& path) { return IsFolder(path); }

bool DriveAndFileExist(const UnicodeString& path, bool defaultAnswer, bool probe) {
  if (IsNetworkPath(path) && !probe) return defaultAnswer;
  return IsFile(path);
}

bool DriveAndFolderExist(const UnicodeString& path, bool defaultAnswer, bool probe) {
  if (IsNetworkPath(path) && !probe) return defaultAnswer;
  return IsFolder(path);
}

TKXFilestatus GetFileStatusOfAFile(const UnicodeString& fname, bool probeNetwork) {
  if (IsNetworkPath(fname) && !probeNetwork) return fs_unknown;
  return IsFile(fname) ? fs_exists : fs_moved;
}

int64_t FileSize(const UnicodeString& fname) {
  struct stat st;
  if (!IsFile(fname) || ::stat(N(fname).c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

UnicodeString ExtractFileDrive(const UnicodeString& path) {
  if (path.empty()) return {};
  // The mount point of the deepest existing folder on the way: where st_dev changes going up.
  std::error_code ec;
  fs::path p = fs::absolute(N(path), ec);
  while (!p.empty() && !fs::exists(p, ec) && p != p.root_path()) p = p.parent_path();
  struct stat st;
  if (::stat(p.c_str(), &st) != 0) return {};
  while (p != p.root_path()) {
    struct stat up;
    const fs::path parent = p.parent_path();
    if (::stat(parent.c_str(), &up) != 0 || up.st_dev != st.st_dev) break;
    p = parent;
  }
  const std::string s = p.string();
  return s == "/" ? UnicodeString() : Utf8ToUtf16(s);
}

uint32_t VolumeSerialNumber(const UnicodeString& drive) {
  struct statvfs sv;
  if (::statvfs(N(drive.empty() ? u"/" : drive).c_str(), &sv) != 0) return 0;
  return static_cast<uint32_t>(sv.f_fsid);
}

UnicodeString VolumeSerialNumberStr(const UnicodeString& drive) {
  const uint32_t n = VolumeSerialNumber(drive);
  return IntToHex(n >> 16, 4) + u"-" + IntToHex(n & 0xFFFF, 4);
}

TNameAndSerialNumber DiskVolumeNameAndSerialNo(const UnicodeString& drive) {
  TNameAndSerialNumber r;
  r.number = VolumeSerialNumber(drive);
  const std::string mount = drive.empty() ? std::string("/") : N(ExtractFileDrive(drive).empty() ? u"/" : ExtractFileDrive(drive));
  for (const MountEntry& m : Mounts())
    if (m.mount == mount) {
      const UnicodeString name = Utf8ToUtf16(m.device);
      std::copy_n(name.begin(), std::min<size_t>(name.size(), 261), r.nome);
    }
  return r;
}

UnicodeString GetLongPathNameW(const UnicodeString& path) {
  std::error_code ec;
  const fs::path p = fs::weakly_canonical(N(path), ec);
  return ec ? path : Utf8ToUtf16(p.string());
}

// ---- further folder, file and volume routines ----

namespace {

int FilesInFolderOrder(TStringList& list, int32_t i, int32_t j) {
  const UnicodeString& a = list.StoredString(i);
  const UnicodeString& b = list.StoredString(j);
  // Past the last "/" starts the name; a name without a folder has an empty folder part.
  const size_t na = a.find_last_of(u'/') + 1, nb = b.find_last_of(u'/') + 1;
  const std::u16string_view va(a), vb(b);
  const int32_t byFolder = list.CompareStrings(va.substr(0, na), vb.substr(0, nb));
  if (byFolder != 0) return byFolder;
  return list.CompareStrings(va.substr(na), vb.substr(nb));
}

// The path made absolute with ".", ".." and links resolved as far as it exists, without a trailing "/"
// (except for the root); empty for an empty path.
std::string Resolved(const UnicodeString& path) {
  if (path.empty()) return {};
  std::error_code ec;
  std::string r = fs::weakly_canonical(fs::absolute(N(path), ec), ec).string();
  if (ec) r = N(path);
  while (r.size() > 1 && r.back() == '/') r.pop_back();
  return r;
}

// The name of the link in /dev/disk/<by> that leads to device, with the "\x20"-style escapes decoded.
std::string DiskLinkTo(const std::string& device, const char* by) {
  std::error_code ec;
  const fs::path dev = fs::canonical(device, ec);
  if (ec) return {};
  for (const auto& e : fs::directory_iterator(fs::path("/dev/disk") / by, ec)) {
    std::error_code ec2;
    if (fs::canonical(e.path(), ec2) != dev || ec2) continue;
    const std::string raw = e.path().filename().string();
    std::string out;
    for (size_t i = 0; i < raw.size(); ++i) {
      const auto hex = [&](size_t k) { return std::isxdigit(static_cast<unsigned char>(raw[k])) != 0; };
      if (raw[i] == '\\' && i + 3 < raw.size() && raw[i + 1] == 'x' && hex(i + 2) && hex(i + 3)) {
        out += static_cast<char>(std::stoi(raw.substr(i + 2, 2), nullptr, 16));
        i += 3;
      } else {
        out += raw[i];
      }
    }
    return out;
  }
  return {};
}

}  // namespace

void SortListOfFiles(TStringList& list) {
  if (list.Sorted()) list.SetSorted(false);
  list.CustomSort(FilesInFolderOrder);
}

UnicodeString NewSubFolderFrom(const UnicodeString& folder, const UnicodeString& name) {
  if (folder.empty() || name.empty() || name.find(u'/') != UnicodeString::npos || name == u"." || name == u"..")
    return {};
  const UnicodeString base = IncludeTrailingPathDelimiter(folder) + name;
  // mkdir itself decides what is new, so two callers cannot be handed the same folder.
  for (int32_t n = 1; n < 10000; ++n) {
    const UnicodeString candidate = n == 1 ? base : base + u"_" + IntToStr(n);
    if (::mkdir(N(candidate).c_str(), 0777) == 0) return candidate + u"/";
    if (errno != EEXIST) return {};
  }
  return {};
}

bool CopyOrMoveAFileRetainingDirStructure(const UnicodeString& fname, const UnicodeString& fromRoot,
                                          const UnicodeString& toRoot, bool move) {
  if (!IsFile(fname) || fromRoot.empty() || toRoot.empty()) return false;
  const UnicodeString root = IncludeTrailingPathDelimiter(fromRoot);
  if (fname.size() <= root.size() || fname.compare(0, root.size(), root) != 0) return false;
  const UnicodeString rel = fname.substr(root.size());
  // A ".." step would carry the file out of toRoot.
  if (rel.rfind(u"../", 0) == 0 || rel.find(u"/../") != UnicodeString::npos) return false;
  const UnicodeString target = IncludeTrailingPathDelimiter(toRoot) + rel;
  struct stat st;
  if (::lstat(N(target).c_str(), &st) == 0) return false;  // never overwritten
  if (!ForceDirectories(ExtractFilePath(target))) return false;
  if (move) {
    if (::rename(N(fname).c_str(), N(target).c_str()) == 0) return true;
    if (errno != EXDEV) return false;
    // Another file system: copy, then delete the original only once the copy is complete.
    return CopyFileRetainingDate(fname, target, true) && DeleteFile(fname);
  }
  return CopyFileRetainingDate(fname, target, true);
}

bool FolderProposedIsOriginalFolder(const UnicodeString& proposed, const UnicodeString& original) {
  if (proposed.empty() || original.empty()) return false;
  struct stat a, b;
  if (::stat(N(proposed).c_str(), &a) == 0 && ::stat(N(original).c_str(), &b) == 0)
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
  return Resolved(proposed) == Resolved(original);
}

UnicodeString FolderWithPattern(const UnicodeString& folder, const UnicodeString& pattern) {
  UnicodeString p = pattern;
  while (!p.empty() && p.front() == u'/') p.erase(0, 1);
  return IncludeTrailingPathDelimiter(folder) + (p.empty() ? UnicodeString(u"*") : p);
}

bool FoldersFromSameHead(const UnicodeString& a, const UnicodeString& b) {
  const std::string x = Resolved(a), y = Resolved(b);
  if (x.empty() || y.empty()) return false;
  const auto below = [](const std::string& head, const std::string& p) {
    return p == head || head == "/" || (p.rfind(head, 0) == 0 && p[head.size()] == '/');
  };
  return below(x, y) || below(y, x);
}

int32_t RemoveAllEmptyFolders(const UnicodeString& folder) {
  if (!IsFolder(folder)) return 0;
  const auto dirs = ListOfSubFolders(folder, true);
  int32_t removed = 0;
  // The list has each folder before those below it, so backwards the deepest come first.
  for (int32_t i = dirs->Count() - 1; i >= 1; --i) {
    MyYieldProcess();
    const UnicodeString d = (*dirs)[i];
    RemovedEmptyFolder(d);
    if (!IsFolder(d)) ++removed;
  }
  return removed;
}

UnicodeString RemoveDotsFromFilename(const UnicodeString& fname) {
  const size_t slash = fname.find_last_of(u'/');
  const size_t start = slash == UnicodeString::npos ? 0 : slash + 1;
  size_t ext = fname.find_last_of(u'.');
  if (ext == UnicodeString::npos || ext < start) ext = fname.size();
  UnicodeString out = fname.substr(0, start);
  for (size_t i = start; i < ext; ++i)
    if (fname[i] != u'.') out += fname[i];
  return out + fname.substr(ext);
}

int32_t NumberOfDrives() {
  std::vector<std::string> seen;
  for (const MountEntry& m : Mounts())
    if (IsLocalDiskDevice(m) && std::find(seen.begin(), seen.end(), m.mount) == seen.end()) seen.push_back(m.mount);
  return static_cast<int32_t>(seen.size());
}

int32_t NumberOfNetworkDrives() { return AllNetworkDrives()->Count(); }

std::unique_ptr<TStringList> AllNetworkDrives() {
  auto out = std::make_unique<TStringList>();
  for (const MountEntry& m : Mounts())
    if (IsNetworkType(m.type)) out->Add(Utf8ToUtf16(m.mount) + u"=" + Utf8ToUtf16(m.device));
  return out;
}

UnicodeString VolumeID(const UnicodeString& path) {
  const std::optional<MountEntry> m = MountHolding(Resolved(path));
  if (!m) return {};
  if (IsLocalDiskDevice(*m)) {
    for (const char* by : {"by-label", "by-uuid"}) {
      const std::string id = DiskLinkTo(m->device, by);
      if (!id.empty()) return Utf8ToUtf16(id);
    }
  }
  return Utf8ToUtf16(m->device);
}

UnicodeString NetworkVolume(const UnicodeString& path) {
  if (path.size() > 2 && (path.compare(0, 2, u"//") == 0 || path.compare(0, 2, u"\\\\") == 0)) {
    // "//host/share/..." names its volume by its first two parts.
    size_t end = path.find_first_of(u"/\\", 2);
    if (end != UnicodeString::npos) end = path.find_first_of(u"/\\", end + 1);
    UnicodeString v = path.substr(0, end);
    std::replace(v.begin(), v.end(), u'\\', u'/');
    return v;
  }
  const std::optional<MountEntry> m = MountHolding(Resolved(path));
  return m && IsNetworkType(m->type) ? Utf8ToUtf16(m->device) : UnicodeString();
}

std::unique_ptr<TStringList> ListOfAllFilesMatchingExt(const UnicodeString& folder, const UnicodeString& ext,
                                                       bool recurse) {
  const UnicodeString want = !ext.empty() && ext[0] != u'.' ? u"." + ext : ext;
  std::unique_ptr<TStringList> dirs, files;
  ListOfFilesAndDirs(folder, u"*", recurse, dirs, files);
  auto out = std::make_unique<TStringList>();
  for (int32_t i = 0; i < files->Count(); ++i) {
    MyYieldProcess();
    const UnicodeString f = (*files)[i];
    const UnicodeString name = NameOnly(f);
    if (name.empty() || name[0] == u'.') continue;
    if (SameText(ExtractFileExt(name), want)) out->Add(f);
  }
  SortListOfFiles(*out);  // a folder's entries come in no set order from the system
  return out;
}

}  // namespace kx8
