#include "kx8rt/corpus/text_delivery.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>
#include <thread>


#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/large_buffers.h"
#include "kx8rt/platform/processors.h"
#include "kx8rt/platform/zip.h"
#include "kx8rt/strings/tags.h"
#include "kx8rt/text_primitives/utf8_unit.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kx8 {

namespace {

constexpr size_t kHeadBytes = 64 * 1024;
constexpr size_t kMeasurePiece = 1 << 20;
// Windows of at least this many bytes are mapped rather than read (of text that is mostly 7-bit).
constexpr size_t kMapAtLeast = 128 * 1024;
// Whether UTF-8 text of these many bytes and UTF-16 units is mostly 7-bit: most of its windows are then
// handed on undecoded, and are looked at where the file is mapped (see ReadBytes' callers).
constexpr bool MostlySevenBit(int64_t units, int64_t bytes) { return units * 8 >= bytes * 7; }
constexpr int64_t kMapRegion = 8 << 20;
// The span of a file's mapping whose pages, passed over, are let go at once.
constexpr int64_t kLetGoSpan = 16 << 20;
// A text at least this long is measured by several threads when the caller has them.
constexpr int64_t kParallelMeasureBytes = 16 << 20;
// An entry that expands more than this many times and past kBombSize is taken for a decompression bomb.
constexpr int64_t kBombRatio = 100;
constexpr int64_t kBombSize = int64_t{64} << 20;

UnicodeString SystemReason(int err) { return Utf8ToUtf16(std::strerror(err)); }

bool StartsWith(const uint8_t* p, size_t n, const char* sig, size_t len) {
  return n >= len && std::memcmp(p, sig, len) == 0;
}

// Units of UTF-8 bytes that are well formed: one per character, two for those beyond the first plane.
int64_t Utf8Units(const uint8_t* p, size_t n) {
  // A 7-bit stretch is a unit a byte.
  const size_t ascii = SevenBitPrefix(p, n);
  int64_t units = static_cast<int64_t>(ascii);
  size_t i = ascii;
#if defined(__SSE2__)
  // Every byte but a continuation byte (0x80..0xBF) begins a character, and one from 0xF0 up takes two
  // units; sixteen bytes a step, counted in byte lanes and summed before a lane could overflow.
  // As signed bytes, 0x80..0xBF lie below -64 and 0xF0..0xFF above -17 (and below 0).
  const __m128i continuationLimit = _mm_set1_epi8(-64), fourLow = _mm_set1_epi8(-17);
  const __m128i zero = _mm_setzero_si128();
  while (i + 16 <= n) {
    __m128i lanes = zero;
    for (int step = 0; step < 127 && i + 16 <= n; ++step, i += 16) {  // at most two a byte a step
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      const __m128i continuation = _mm_cmplt_epi8(b, continuationLimit);
      const __m128i four = _mm_and_si128(_mm_cmpgt_epi8(b, fourLow), _mm_cmplt_epi8(b, zero));
      // Each byte adds one, less one for a continuation byte, plus one for a four-byte lead.
      lanes = _mm_add_epi8(lanes, _mm_sub_epi8(_mm_add_epi8(_mm_set1_epi8(1), continuation), four));
    }
    const __m128i sums = _mm_sad_epu8(lanes, zero);
    units += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
  }
#endif
  for (; i < n; ++i) units += ((p[i] & 0xC0) != 0x80) + (p[i] >= 0xF0);
  return units;
}

// The bytes of p..n that end on a character boundary: an unfinished sequence at the end is held back.
size_t CompleteUtf8(const uint8_t* p, size_t n) {
  size_t k = n;
  for (int back = 0; back < 3 && k > 0; ++back) {
    const uint8_t c = p[k - 1];
    if ((c & 0xC0) == 0x80) {
      --k;
      continue;
    }
    if (c >= 0xC0) {
      const size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
      return n - (k - 1) >= need ? n : k - 1;
    }
    return n;
  }
  return n;
}

// Whether every byte lies in 1..0x7F: 7-bit text without a zero byte, which no test of UTF-16 or of
// 8-bit encodings can take for anything else. One pass, for the most common text, instead of one for
// zero bytes, one for 8-bit ones and one to count the characters.
bool PlainSevenBit(const uint8_t* p, size_t n) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; i + 64 <= n; i += 64) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 32));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 48));
    // The top bits of any byte from 0x80, and a lane of the least byte that is zero where one is.
    const __m128i high = _mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d));
    const __m128i least = _mm_min_epu8(_mm_min_epu8(a, b), _mm_min_epu8(c, d));
    if (_mm_movemask_epi8(_mm_or_si128(high, _mm_cmpeq_epi8(least, zero))) != 0) return false;
  }
#endif
  for (; i < n; ++i)
    if (p[i] == 0 || p[i] >= 0x80) return false;
  return true;
}

// Bytes with no zero among them that are well-formed UTF-8 (7-bit text included) are 8-bit text: the
// statistical test of UTF-16, costly on every even-sized file, is kept for the rest.
bool LooksLikeEightBitText(const uint8_t* p, size_t n) {
  if (std::memchr(p, 0, n) != nullptr) return false;
  // The head may end inside a character.
  return IsValidUTF8(p, CompleteUtf8(p, n));
}

}  // namespace

bool IsMultiByteCodePage(uint16_t codepage) {
  switch (codepage) {
    case 932: case 936: case 949: case 950: case 1361: case 20932: case 50220: case 50221: case 50222:
    case 50225: case 50227: case 51932: case 51936: case 51949: case 52936: case 54936: case 65000:
      return true;
    default:
      return false;
  }
}

const char16_t* BinaryKindOfHead(const uint8_t* p, size_t n) {
  struct Signature {
    const char* bytes;
    size_t len;
    const char16_t* kind;
  };
  static const Signature kSignatures[] = {
      {"\x7F" "ELF", 4, u"an executable"},
      {"\x89PNG", 4, u"a PNG image"},
      {"GIF8", 4, u"a GIF image"},
      {"\xFF\xD8\xFF", 3, u"a JPEG image"},
      {"%PDF", 4, u"a PDF document"},
      {"\x1F\x8B", 2, u"gzip-compressed data"},
      {"BZh", 3, u"bzip2-compressed data"},
      {"\xFD" "7zXZ", 5, u"xz-compressed data"},
      {"7z\xBC\xAF", 4, u"a 7z archive"},
      {"\x28\xB5\x2F\xFD", 4, u"zstd-compressed data"},
      {"SQLite format 3", 15, u"a database"},
      {"\xCA\xFE\xBA\xBE", 4, u"a class file"},
      {"OggS", 4, u"audio"},
      {"RIFF", 4, u"audio or video"},
      {"ID3", 3, u"audio"},
      {"!<arch>\n", 8, u"an archive of objects"},
  };
  for (const auto& s : kSignatures)
    if (StartsWith(p, n, s.bytes, s.len)) return s.kind;
  return nullptr;
}

std::vector<char16_t> AnsiTable(uint16_t codepage) {
  TCodePageDecoder decoder(codepage);
  std::vector<char16_t> table(256);
  UnicodeString out;
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    out.clear();
    decoder.Reset();
    decoder.Decode(&c, 1, true, out);
    table[static_cast<size_t>(b)] = out.empty() ? u'\uFFFD' : out[0];
  }
  table[0] = u' ';  // a zero byte inside a text stands for nothing; it must not end the buffer
  return table;
}

int64_t AlignToCharacter(TCorpusEncoding enc, const uint8_t* window, int64_t windowStart, int64_t at, int64_t end,
                         int32_t signatureBytes) {
  if (at < signatureBytes) return signatureBytes;
  switch (enc) {
    case ce_utf16le:
    case ce_utf16be:
      return ((at - signatureBytes) & 1) ? at + 1 : at;
    case ce_utf8:
      for (int k = 0; k < 3 && at < end && (window[at - windowStart] & 0xC0) == 0x80; ++k) ++at;
      return at;
    default:
      return at;
  }
}

size_t DecodeCorpusBytes(TCorpusEncoding enc, const char16_t* table, const uint8_t* p, size_t n, bool last,
                         char16_t* out, size_t& made) {
  // A zero unit or byte is read as a space, so that a buffer is zero-terminated only at its end.
  switch (enc) {
    case ce_utf16le:
    case ce_utf16be: {
      const size_t units = n / 2;
      const bool swap = enc == ce_utf16be;
      for (size_t k = 0; k < units; ++k) {
        const char16_t lo = p[2 * k], hi = p[2 * k + 1];
        const char16_t u = swap ? static_cast<char16_t>((lo << 8) | hi) : static_cast<char16_t>(lo | (hi << 8));
        out[k] = u == 0 ? u' ' : u;
      }
      made = units;
      // An odd last byte has no partner: it is dropped at the end, held back otherwise.
      return last ? n : units * 2;
    }
    case ce_ansi:
      for (size_t i = 0; i < n; ++i) out[i] = table[p[i]];
      made = n;
      return n;
    case ce_utf8: {
      bool bad = false, nonAscii = false;
      return DecodeUTF8Piece(p, n, last, false, u' ', out, made, bad, nonAscii);
    }
    default:
      made = 0;
      return n;
  }
}

// ---- the source ----

std::unique_ptr<TCorpusTextSource::ArchiveCache> TCorpusTextSource::NewArchiveCache() {
  return std::make_unique<ArchiveCache>();
}

// Bytes about to be read into: grown without being cleared first.
using TReadBytes = TLargeBuffer<uint8_t>;

struct TCorpusTextSource::Impl {
  int fd = -1;
  std::unique_ptr<ArchiveCache> ownCache;  // when the caller gave none
  ArchiveCache* cache = nullptr;
  std::unique_ptr<TZipEntryReader> entry;
  int64_t entryPos = 0;
  // A plain file read through memory is mapped whole once (address space only), and its pages are
  // brought in a region at a time and let go a stretch of regions at a time: with several searchers in
  // one process a mapping made or removed for every region holds the others up (each takes the
  // process's mappings for itself), while bringing pages in and letting them go within a mapping does
  // not; and each letting go interrupts the other processors (tens of microseconds on a virtual
  // machine), so it is done once for several regions. Memory stays bounded by kLetGoSpan and a region.
  void* whole = nullptr;
  size_t wholeBytes = 0;
  bool wholeTried = false;  // a whole mapping was tried for this text (and, when null, failed)
  void* map = nullptr;  // the region: within whole, or a mapping of its own where whole failed
  size_t mapBytes = 0;
  int64_t mapFrom = 0;  // the file offset of map
  int64_t keptFrom = 0, keptTo = 0;  // regions of whole passed over whose pages are yet to be let go
  TReadBytes head;  // an entry's first bytes, or a small file whole, as Open read them
  void LetGoKept() {
    if (whole && keptTo > keptFrom)
      ::madvise(static_cast<uint8_t*>(whole) + keptFrom, static_cast<size_t>(keptTo - keptFrom), MADV_DONTNEED);
    keptFrom = keptTo = 0;
  }
  // Passes the region over: its own mapping is removed; a region of whole joins the kept stretch,
  // which is let go once it spans kLetGoSpan (or when reading goes back before it).
  void PassRegionOver(int64_t nextFrom) {
    if (map && whole) {
      const int64_t to = mapFrom + static_cast<int64_t>(mapBytes);
      if (keptTo <= keptFrom) keptFrom = mapFrom, keptTo = to;
      keptFrom = std::min(keptFrom, mapFrom);
      keptTo = std::max(keptTo, to);
      if (keptTo - keptFrom >= kLetGoSpan || nextFrom < keptFrom) LetGoKept();
    } else if (map) {
      ::munmap(map, mapBytes);
    }
    map = nullptr;
    mapBytes = 0;
  }
  void UnmapWhole() {
    if (map && !whole) ::munmap(map, mapBytes);
    map = nullptr;
    mapBytes = 0;
    keptFrom = keptTo = 0;
    if (whole) ::munmap(whole, wholeBytes);
    whole = nullptr;
    wholeBytes = 0;
    wholeTried = false;
  }
  // Lets the text go, keeping the memory of head for the next one.
  void Release() {
    UnmapWhole();
    entry.reset();
    entryPos = 0;
    cache = nullptr;
    if (fd >= 0) ::close(fd);
    fd = -1;
    head.clear();
  }
  ~Impl() { Release(); }
};

TCorpusTextSource::TCorpusTextSource() = default;
TCorpusTextSource::~TCorpusTextSource() = default;

const uint8_t* TCorpusTextSource::MapAt(int64_t at, size_t n, int64_t until) {
  if (!fImpl || fImpl->fd < 0 || n == 0 || at < 0 || at + static_cast<int64_t>(n) > fInfo.size) return nullptr;
  Impl& im = *fImpl;
  // Reading goes forward, so a mapping covers several windows: one call maps what a few dozen would,
  // and memory stays bounded by the region, not the file.
  if (im.map && at >= im.mapFrom && at + static_cast<int64_t>(n) <= im.mapFrom + static_cast<int64_t>(im.mapBytes))
    return static_cast<const uint8_t*>(im.map) + (at - im.mapFrom);
  static const int64_t page = ::sysconf(_SC_PAGESIZE);
  const int64_t start = at / page * page;
  im.PassRegionOver(start);
  const auto bytes = std::max(static_cast<size_t>(at - start) + n,
                              static_cast<size_t>(std::min<int64_t>(kMapRegion, (until >= 0 ? std::min(until, fInfo.size) : fInfo.size) - start)));
  if (!im.wholeTried) {
    im.wholeTried = true;
    const auto size = static_cast<size_t>(fInfo.size);
    void* w = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, im.fd, 0);
    if (w != MAP_FAILED) {
      im.whole = w;
      im.wholeBytes = size;
    }
  }
  void* m;
  if (im.whole) {
    m = static_cast<uint8_t*>(im.whole) + start;
    // Brought in at once: the region is read whole straight away, and one call beats a fault a page.
    // (Where the system cannot, the pages come in as they are read.)
    const size_t inFile = std::min(bytes, im.wholeBytes - static_cast<size_t>(start));
    if (::madvise(m, inFile, MADV_POPULATE_READ) != 0 && errno == EFAULT) return nullptr;  // the file shrank
  } else {
    m = ::mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE | MAP_POPULATE, im.fd, static_cast<off_t>(start));
    if (m == MAP_FAILED) return nullptr;
  }
  im.map = m;
  im.mapBytes = bytes;
  im.mapFrom = start;
  return static_cast<const uint8_t*>(m) + (at - start);
}

const uint8_t* TCorpusTextSource::MappedAt(int64_t at, size_t n, size_t& available) const {
  available = 0;
  if (!fImpl || !fImpl->map || at < fImpl->mapFrom || at >= fImpl->mapFrom + static_cast<int64_t>(fImpl->mapBytes))
    return nullptr;
  const auto offset = static_cast<size_t>(at - fImpl->mapFrom);
  available = std::min(n, fImpl->mapBytes - offset);
  return static_cast<const uint8_t*>(fImpl->map) + offset;
}

const uint8_t* TCorpusTextSource::HeldAt(int64_t at, size_t n, size_t& available) const {
  available = 0;
  if (!fImpl || fText.InArchive() || fInfo.size <= 0 || at < 0 || static_cast<int64_t>(fImpl->head.size()) < fInfo.size ||
      at >= static_cast<int64_t>(fImpl->head.size()))
    return nullptr;
  available = std::min(n, fImpl->head.size() - static_cast<size_t>(at));
  return fImpl->head.data() + at;
}

size_t TCorpusTextSource::ReadAt(int64_t at, void* buffer, size_t n) {
  auto* out = static_cast<uint8_t*>(buffer);
  if (!fText.InArchive() && static_cast<int64_t>(fImpl->head.size()) >= fInfo.size && fInfo.size > 0 && at >= 0) {
    // A small file read whole when it was opened.
    size_t got = 0;
    if (const uint8_t* held = HeldAt(at, n, got)) std::memcpy(out, held, got);
    return got;
  }
  if (!fText.InArchive()) {
    size_t done = 0;
    while (done < n) {
      const ssize_t got = ::pread(fImpl->fd, out + done, n - done, static_cast<off_t>(at + int64_t(done)));
      if (got < 0) {
        if (errno == EINTR) continue;
        throw EReadError(u"cannot read " + fText.full_name + u": " + SystemReason(errno));
      }
      if (got == 0) break;
      done += static_cast<size_t>(got);
    }
    return done;
  }
  Impl& im = *fImpl;
  // An entry's first bytes, read when it was opened, are served again from memory rather than by
  // inflating the entry anew; what lies beyond them is read on from where the entry stands.
  if (at < static_cast<int64_t>(im.head.size()) && im.entry && im.entryPos == static_cast<int64_t>(im.head.size())) {
    const size_t fromHead = std::min(n, im.head.size() - static_cast<size_t>(at));
    std::memcpy(out, im.head.data() + at, fromHead);
    if (fromHead == n) return n;
    return fromHead + ReadAt(at + static_cast<int64_t>(fromHead), out + fromHead, n - fromHead);
  }
  if (!im.entry || at < im.entryPos) {
    im.entry.reset();
    im.entry = std::make_unique<TZipEntryReader>(im.cache->zip, fText.entry);
    im.entryPos = 0;
  }
  uint8_t skip[16384];
  while (im.entryPos < at) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(at - im.entryPos, sizeof skip));
    const size_t got = im.entry->Read(skip, want);
    if (got == 0) return 0;
    im.entryPos += static_cast<int64_t>(got);
  }
  size_t done = 0;
  while (done < n) {
    const size_t got = im.entry->Read(out + done, n - done);
    if (got == 0) break;
    done += got;
  }
  im.entryPos += static_cast<int64_t>(done);
  return done;
}

void TCorpusTextSource::Reset(const TCorpusText& text, const TCorpusTextInfo& info, UnicodeString& note) {
  Close();
  if (!fImpl) fImpl = std::make_unique<Impl>();
  fHeadSevenBit = false;
  fText = text;
  fInfo = info;
  note.clear();
  fReadFailed = false;
}

void TCorpusTextSource::Close() {
  fPart = false;
  if (fImpl) fImpl->Release();
  fDocument.clear();
  fHeld.reset();
}

bool TCorpusTextSource::OpenFile(UnicodeString& note) {
  fImpl->fd = ::open(Utf16ToNativeName(fText.full_name).c_str(), O_RDONLY | O_CLOEXEC);
  if (fImpl->fd >= 0) return true;
  note = SystemReason(errno);
  fReadFailed = true;
  return false;
}

bool TCorpusTextSource::OpenPart(const TCorpusText& text, const TCorpusTextInfo& info, UnicodeString& note) {
  // A searcher often takes several parts of one large file in turn: opening and mapping the file anew
  // for each (and removing the mapping after) held the other searchers up, each change of the process's
  // mappings being made under a lock they all take.
  if (fPart && fText.full_name == text.full_name && fText.size == text.size) {
    fInfo = info;
    note.clear();
    fReadFailed = false;
    return true;
  }
  Reset(text, info, note);
  fPart = OpenFile(note);
  return fPart;
}

bool TCorpusTextSource::Open(const TCorpusText& text, uint16_t codepage, UnicodeString& note) {
  Reset(text, TCorpusTextInfo{}, note);
  fInfo.codepage = codepage ? codepage : static_cast<uint16_t>(GetACP());
  if (text.held) {
    // Taken as it is, shared rather than copied; only a text holding zero units is copied, so that
    // they are read as spaces as in every other text.
    if (text.held->find(u'\0') == UnicodeString::npos) {
      fHeld = text.held;
    } else {
      fDocument = *text.held;
      for (auto& c : fDocument)
        if (c == 0) c = u' ';
    }
    fInfo.format = fc_UTF16, fInfo.encoding = ce_document;
    fInfo.units = static_cast<int64_t>(text.held->size());
    fInfo.size = fInfo.units * 2;
    return true;
  }
  try {
    if (text.InArchive()) {
      ArchiveCache* cache = fCache;
      if (!cache) {
        fImpl->ownCache = NewArchiveCache();
        cache = fImpl->ownCache.get();
      }
      if (!cache->zip.Active() || cache->name != text.archive) {
        cache->zip.Close();
        cache->name.clear();
        cache->zip.Open(text.archive);
        cache->name = text.archive;
      }
      fImpl->cache = cache;
      fInfo.size = cache->zip.Size(text.entry);
      const int64_t packed = cache->zip.CompressedSize(text.entry);
      if (fInfo.size > kBombSize && fInfo.size > kBombRatio * std::max<int64_t>(packed, 1)) {
        note = Format(u"not read: it would expand %d times, to %.0n bytes (taken for a decompression bomb)",
                      {static_cast<int32_t>(std::min<int64_t>(fInfo.size / std::max<int64_t>(packed, 1), INT32_MAX)),
                       static_cast<double>(fInfo.size)});
        return false;
      }
    } else {
      if (!OpenFile(note)) return false;
      // A small file the walk found and sized is read whole at once, asking one byte more than its size:
      // a read that comes back with just its size confirms it, without a look at the file's status. Any
      // other answer (the file changed meanwhile, or it is no plain file) is looked into as usual.
      if (text.size > 0 && text.size < static_cast<int64_t>(kHeadBytes)) {
        TReadBytes& whole = fImpl->head;
        whole.resize(static_cast<size_t>(text.size) + 1);
        ssize_t got;
        do got = ::pread(fImpl->fd, whole.data(), whole.size(), 0);
        while (got < 0 && errno == EINTR);
        if (got == text.size) {
          whole.resize(static_cast<size_t>(got));
          fInfo.size = text.size;
          fInfo.seekable = true;
        } else {
          whole.clear();
        }
      }
      if (fImpl->head.empty()) {
        struct stat st {};
        if (::fstat(fImpl->fd, &st) != 0) {
          note = SystemReason(errno);
          fReadFailed = true;
          return false;
        }
        if (!S_ISREG(st.st_mode)) {
          note = u"not a regular file";
          return false;
        }
        fInfo.size = static_cast<int64_t>(st.st_size);
        fInfo.seekable = true;
      }
    }
    if (fInfo.size == 0) {
      fInfo.units = 0;
      return true;
    }
    TReadBytes head;
    if (fImpl->head.empty()) {
      head.resize(static_cast<size_t>(std::min<int64_t>(fInfo.size, kHeadBytes)));
      const size_t got = ReadAt(0, head.data(), head.size());
      head.resize(got);
      // An entry's first bytes, and a small file whole, are kept: reading them again would inflate the
      // entry anew, or copy the file from the system a second time.
      if (text.InArchive() || static_cast<int64_t>(got) >= fInfo.size) fImpl->head = std::move(head);
    }
    const TReadBytes& kept = fImpl->head.empty() ? head : fImpl->head;
    const uint8_t* b = kept.data();
    const size_t n = kept.size();
    const bool whole = static_cast<int64_t>(n) >= fInfo.size;
    if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
      fInfo.format = fc_UTF16, fInfo.encoding = ce_utf16le, fInfo.signature_bytes = 2;
    } else if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
      fInfo.format = fc_UTF16_BigEndian, fInfo.encoding = ce_utf16be, fInfo.signature_bytes = 2;
    } else if (StartsWith(b, n, "\xD0\xCF\x11\xE0", 4)) {
      note = u"compound document, not text";
      return false;
    } else if (StartsWith(b, n, "\xDB\xA5\x2D\x00", 4)) {
      note = u"early word-processor file, not text";
      return false;
    } else if (StartsWith(b, n, "PK\x03\x04", 4)) {
      if (text.InArchive()) {
        note = u"an archive or document inside an archive, not read";
        return false;
      }
      fDocument = DOCXFileText(text.full_name);
      if (fDocument.empty()) {
        note = u"zip archive without a word-processor document";
        return false;
      }
      for (auto& c : fDocument)
        if (c == 0) c = u' ';
      fInfo.format = fc_Zip, fInfo.encoding = ce_document, fInfo.units = static_cast<int64_t>(fDocument.size());
      return true;
    } else if (const char16_t* kind = BinaryKindOfHead(b, n)) {
      note = UnicodeString(u"binary file (") + kind + u"), not text";
      return false;
    } else if (PlainSevenBit(b, n)) {
      // What the tests below decide for such bytes, at once: 8-bit text, 7-bit as far as read.
      fInfo.encoding = ce_utf8;
      fInfo.format = whole ? fc_ASCII : fc_UTF8;
      fHeadSevenBit = true;
    } else if (StartsWith(b, n, "\xEF\xBB\xBF", 3)) {
      fInfo.format = fc_UTF8, fInfo.encoding = ce_utf8, fInfo.signature_bytes = 3;
    } else if (n >= 4 && fInfo.size % 2 == 0 && !LooksLikeEightBitText(b, n) &&
               IsTextUnicode(b, static_cast<int32_t>(n), nullptr)) {
      // The statistical test of the first bytes decides as well as the whole would.
      fInfo.format = fc_UTF16, fInfo.encoding = ce_utf16le;
    } else if (std::memchr(b, 0, n) != nullptr) {
      // Zero bytes in a UTF-16 layout (text mostly of one alphabet: every other byte zero) are UTF-16
      // without its signature, which the statistical test can miss in mixed scripts; anywhere else
      // they make a binary file.
      size_t zeroEven = 0, zeroOdd = 0;
      for (size_t i = 0; i + 1 < n; i += 2) zeroEven += b[i] == 0, zeroOdd += b[i + 1] == 0;
      const size_t pairs = n / 2;
      if (fInfo.size % 2 == 0 && zeroOdd * 4 >= pairs && zeroEven * 50 <= pairs) {
        fInfo.format = fc_UTF16, fInfo.encoding = ce_utf16le;
      } else if (fInfo.size % 2 == 0 && zeroEven * 4 >= pairs && zeroOdd * 50 <= pairs) {
        fInfo.format = fc_UTF16_BigEndian, fInfo.encoding = ce_utf16be;
      } else {
        note = u"binary file (holds zero bytes), not text";
        return false;
      }
    } else {
      // 8-bit text: UTF-8 when every sequence is well formed, else the code page. A text read whole
      // here is decided now; a longer one is decided by Measure.
      fInfo.encoding = ce_utf8;
      fInfo.format = fc_UTF8;
      const size_t seven = SevenBitPrefix(b, n);
      fHeadSevenBit = seven == n;
      if (whole) {
        if (seven == n) fInfo.format = fc_ASCII;
        else if (!IsValidUTF8(b + seven, n - seven)) fInfo.format = fc_ANSI;
      }
    }
    if (fInfo.format == fc_ANSI) {
      if (!IsValidCodePage(fInfo.codepage)) throw EEncodingError(Format(u"code page %d is not available", {int32_t(fInfo.codepage)}));
      fInfo.encoding = IsMultiByteCodePage(fInfo.codepage) ? ce_ansi_multi : ce_ansi;
    }
    if (fInfo.encoding == ce_utf16le || fInfo.encoding == ce_utf16be) {
      fInfo.units = (fInfo.size - fInfo.signature_bytes) / 2;
    } else if (fInfo.format == fc_ASCII) {
      fInfo.units = static_cast<int64_t>(n);  // a unit a byte (a 7-bit text is read whole to be called so)
    } else if (whole && fInfo.encoding == ce_utf8) {
      fInfo.units = Utf8Units(b + fInfo.signature_bytes, n - static_cast<size_t>(fInfo.signature_bytes));
    } else if (fInfo.encoding == ce_ansi) {
      fInfo.units = fInfo.size;
    }
    if (!fInfo.seekable && fInfo.encoding != ce_document) fInfo.seekable = false;
  } catch (const std::exception& e) {
    note = Utf8ToUtf16(e.what());
    fReadFailed = true;
    return false;
  }
  return true;
}

TCorpusTextSource::TUtf8Measure TCorpusTextSource::MeasureUtf8Range(int64_t from, int64_t to, bool mustValidate,
                                                                    bool mapped) {
  TUtf8Measure m;
  // (A large buffer: its pages come in one call, and the block is kept for the next measure, where a
  // fresh megabyte would be faulted in page by page, some microseconds each on a virtual machine.)
  TLargeBuffer<uint8_t> buf;
  size_t carry = 0;
  for (int64_t at = from;;) {
    // A plain file is looked at where it lies (when this is the one thread reading it); pieces then
    // carry nothing over, as a piece that ends inside a character is measured to its last whole one and
    // the rest is looked at again. Read pieces carry the end of an unfinished character over.
    const size_t want = static_cast<size_t>(std::min<int64_t>(kMeasurePiece, std::max<int64_t>(to - at, 0)));
    const uint8_t* map = mapped && carry == 0 && want > 0 ? MapAt(at, want, to) : nullptr;
    if (!map && buf.empty()) buf.resize(kMeasurePiece + 4);
    const size_t got = map ? want : ReadAt(at, buf.data() + carry, want);
    const size_t n = carry + got;
    const uint8_t* p = map ? map : buf.data();
    size_t complete = got == 0 ? n : CompleteUtf8(p, n);
    if (map && at + static_cast<int64_t>(got) >= to) complete = n;
    if (map && complete == 0) complete = n;  // never stands still
    at += static_cast<int64_t>(map ? complete : got);
    // Long runs of 7-bit text are passed over a block at a time.
    const size_t i = SevenBitPrefix(p, complete);
    if (i < complete) {
      m.nonAscii = true;  // the prefix stopped on an 8-bit byte
      if (mustValidate && m.valid && !IsValidUTF8(p + i, complete - i)) m.valid = false;
    }
    m.units += static_cast<int64_t>(i) + Utf8Units(p + i, complete - i);
    if (!m.valid) break;
    if (map) {
      if (at >= to) break;
      // Text that is not mostly 7-bit is read, not mapped, when its windows are (see ReadBytes): the rest
      // is measured by reads too, so that its pages are not faulted in through the mapping for nothing.
      if (!MostlySevenBit(m.units, at - from)) mapped = false;
      continue;
    }
    carry = n - complete;
    if (carry) std::memmove(buf.data(), buf.data() + complete, carry);
    if (got == 0) break;
  }
  return m;
}

void TCorpusTextSource::Measure(int32_t threads) {
  if (fInfo.units >= 0 && fInfo.format != fc_UTF8) return;
  if (fInfo.units >= 0 && fInfo.format == fc_UTF8 && fInfo.signature_bytes > 0) return;
  if (fInfo.units >= 0 && fInfo.format == fc_UTF8 && fInfo.size <= static_cast<int64_t>(kHeadBytes)) return;
  if (fInfo.encoding == ce_ansi_multi) {
    std::vector<uint8_t> buf(kMeasurePiece + 4);
    TCodePageDecoder decoder(fInfo.codepage);
    UnicodeString out;
    int64_t units = 0;
    for (int64_t at = 0;;) {
      const size_t got = ReadAt(at, buf.data(), kMeasurePiece);
      out.clear();
      decoder.Decode(reinterpret_cast<const char*>(buf.data()), got, got == 0, out);
      units += static_cast<int64_t>(out.size());
      if (got == 0) break;
      at += static_cast<int64_t>(got);
    }
    fInfo.units = units;
    return;
  }
  // UTF-8 (with or without signature): count the units, and without a signature check that every
  // sequence is well formed; a zero byte counts as a character (it is read as a space). A large plain
  // file is measured by several threads at once when asked, each over its own stretch.
  const bool mustValidate = fInfo.signature_bytes == 0;
  TUtf8Measure m;
  const int64_t body = fInfo.size - fInfo.signature_bytes;
  if (threads > 1 && fInfo.seekable && !fText.InArchive() && body >= kParallelMeasureBytes) {
    const auto n = static_cast<int32_t>(std::min<int64_t>(threads, body / (kParallelMeasureBytes / 2)));
    std::vector<int64_t> edges(static_cast<size_t>(n) + 1);
    edges[0] = fInfo.signature_bytes;
    edges[static_cast<size_t>(n)] = fInfo.size;
    for (int32_t k = 1; k < n; ++k) {
      // Each stretch begins on a character: continuation bytes go with the stretch before.
      int64_t e = fInfo.signature_bytes + body * k / n;
      uint8_t look[4];
      const size_t got = ReadAt(e, look, sizeof look);
      for (size_t j = 0; j < got && (look[j] & 0xC0) == 0x80; ++j) ++e;
      edges[static_cast<size_t>(k)] = std::max(e, edges[static_cast<size_t>(k) - 1]);
    }
    std::vector<TUtf8Measure> parts(static_cast<size_t>(n));
    std::vector<std::exception_ptr> errors(static_cast<size_t>(n));
    {
      // Each stretch's reader begins on a processor of its own (see TWorkerThread).
      TWorkerPool pool;
      for (int32_t k = 0; k < n; ++k)
        pool.Start(ProcessorBesides(-1, k), [&, k] {
          try {
            parts[static_cast<size_t>(k)] =
                MeasureUtf8Range(edges[static_cast<size_t>(k)], edges[static_cast<size_t>(k) + 1], mustValidate, false);
          } catch (...) {
            errors[static_cast<size_t>(k)] = std::current_exception();
          }
        });
      pool.StopAndJoin();
    }
    for (const auto& e : errors)
      if (e) std::rethrow_exception(e);
    for (const TUtf8Measure& part : parts) {
      m.units += part.units;
      m.nonAscii |= part.nonAscii;
      m.valid &= part.valid;
    }
  } else {
    m = MeasureUtf8Range(fInfo.signature_bytes, fInfo.size, mustValidate, true);
  }
  TakeUtf8Measure(m, 0, mustValidate);
}

void TCorpusTextSource::TakeUtf8Measure(const TUtf8Measure& m, int64_t unitsBefore, bool validated) {
  if (!m.valid) {
    if (!IsValidCodePage(fInfo.codepage)) throw EEncodingError(Format(u"code page %d is not available", {int32_t(fInfo.codepage)}));
    fInfo.format = fc_ANSI;
    fInfo.encoding = IsMultiByteCodePage(fInfo.codepage) ? ce_ansi_multi : ce_ansi;
    if (fInfo.encoding == ce_ansi) {
      fInfo.units = fInfo.size;
    } else {
      fInfo.units = -1;
      Measure();
    }
    return;
  }
  if (validated) fInfo.format = m.nonAscii ? fc_UTF8 : fc_ASCII;
  fInfo.units = unitsBefore + m.units;
}

namespace {

// Whether a one-byte code page reads every 7-bit byte as that character, as the ones in use do (a text
// read as 7-bit before it is known to be may turn out to be in the code page). Asked once a code page.
bool SevenBitAsItself(uint16_t codepage) {
  static std::mutex lock;
  static std::map<uint16_t, bool> known;
  std::lock_guard<std::mutex> g(lock);
  if (auto it = known.find(codepage); it != known.end()) return it->second;
  bool same = false;
  try {
    if (IsValidCodePage(codepage) && !IsMultiByteCodePage(codepage)) {
      const std::vector<char16_t> table = AnsiTable(codepage);
      same = table.size() >= 128;
      for (char16_t c = 1; same && c < 128; ++c) same = table[c] == c;  // (a zero byte is a space in every reading)
    }
  } catch (const std::exception&) {
    same = false;
  }
  known[codepage] = same;
  return same;
}

}  // namespace

bool TCorpusTextSource::SevenBitPresumable() const {
  return fHeadSevenBit && fInfo.units < 0 && fInfo.encoding == ce_utf8 && fInfo.signature_bytes == 0 &&
         fInfo.seekable && !fText.InArchive() && SevenBitAsItself(fInfo.codepage);
}

TCorpusTextInfo TCorpusTextSource::SevenBitPresumedInfo() const {
  TCorpusTextInfo info = fInfo;
  info.format = fc_ASCII;
  info.units = info.size - info.signature_bytes;
  return info;
}

void TCorpusTextSource::MeasureAfterSevenBit(int64_t sevenBitTo) {
  sevenBitTo = std::clamp<int64_t>(sevenBitTo, fInfo.signature_bytes, fInfo.size);
  TakeUtf8Measure(MeasureUtf8Range(sevenBitTo, fInfo.size, true, true), sevenBitTo - fInfo.signature_bytes, true);
}

// ---- planning ----

std::vector<TCorpusTextPart> PlanCorpusTextParts(const std::vector<TCorpusText>& texts, uint16_t codepage,
                                                 int64_t partBytes, int32_t workers, bool presumeSevenBit) {
  std::vector<TCorpusTextPart> parts;
  for (size_t i = 0; i < texts.size(); ++i) PlanCorpusTextParts(texts[i], i, codepage, partBytes, workers, presumeSevenBit, parts);
  return parts;
}

void PlanCorpusTextParts(const TCorpusText& t, size_t index, uint16_t codepage, int64_t partBytes, int32_t workers,
                         bool presumeSevenBit, std::vector<TCorpusTextPart>& parts) {
  TCorpusTextPart whole;
  whole.text = index;
  if (!t.InArchive() && !t.held && t.size > 2 * partBytes) {
    TCorpusTextSource source;
    UnicodeString note;
    if (source.Open(t, codepage, note)) {
      try {
        const bool presumed = presumeSevenBit && source.SevenBitPresumable();
        if (!presumed) source.Measure(workers);
        const TCorpusTextInfo info = presumed ? source.SevenBitPresumedInfo() : source.Info();
        if (info.encoding == ce_utf8 || info.encoding == ce_ansi || info.encoding == ce_utf16le ||
            info.encoding == ce_utf16be) {
          const int64_t step = partBytes * (info.encoding == ce_utf8 || info.encoding == ce_ansi ? 1 : 2);
          const int64_t first = info.signature_bytes;
          const int64_t count = std::max<int64_t>(1, (info.size - first + step - 1) / step);
          for (int64_t k = 0; k < count; ++k) {
            TCorpusTextPart part = whole;
            part.part = static_cast<int32_t>(k);
            part.parts = static_cast<int32_t>(count);
            part.from = first + k * step;
            part.to = std::min(info.size, first + (k + 1) * step);
            part.info = info;
            part.seven_bit_presumed = presumed;
            parts.push_back(part);
          }
          return;
        }
      } catch (const std::exception&) {
        // Left whole: the worker reading it reports the problem.
      }
    }
  }
  parts.push_back(whole);
}

TCorpusTextInfo InfoForPart(TCorpusTextSource& source, const TCorpusTextPart& part) {
  if (part.parts > 1) return part.info;
  if (source.Info().units < 0) source.Measure();
  return source.Info();
}

// ---- windows ----

void TCorpusWindow::Widen(int32_t from, int32_t to) const {
  if (!seven_bit) return;
  from = std::max(from, 0);
  to = std::min(to, length);
  // text is the reader's own buffer, handed on read-only; its units are written here and nowhere else.
  if (to > from) WidenBytes(seven_bit + from, static_cast<size_t>(to - from), const_cast<char16_t*>(text) + from);
}

void TCorpusWindowReader::Reserve(size_t units) {
  if (fWindow.size() < units) fWindow.resize(units);
}

const uint8_t* TCorpusWindowReader::ReadBytes(TCorpusTextSource& source, int64_t W0, int64_t W1, bool mapLarge) {
  const auto need = static_cast<size_t>(W1 - W0);
  // A small file read whole when it was opened is looked at where it lies (most texts of a corpus of
  // many files): no copy of its bytes.
  size_t held = 0;
  if (const uint8_t* bytes = source.HeldAt(W0, need, held)) {
    fBytesFrom = W0;
    fBytesTo = W0 + static_cast<int64_t>(held);
    fMapped = true;
    return bytes;
  }
  if (mapLarge && source.Info().seekable && need >= kMapAtLeast) {
    // A large window of a plain file is looked at where it lies: no copy of its bytes. Small ones are
    // read: mapping and unmapping a page or two costs more, and with several workers every unmapping
    // interrupts the other processors.
    if (const uint8_t* mapped = source.MapAt(W0, need, fMapUntil)) {
      fBytesFrom = W0;
      fBytesTo = W1;
      fMapped = true;
      return mapped;
    }
  }
  if (fMapped) fBytesFrom = fBytesTo = 0;  // what is in fBytes is not the last window
  fMapped = false;
  if (fBytes.size() < need) fBytes.resize(need);
  if (W0 >= fBytesFrom && W0 < fBytesTo && fBytesTo <= W1) {
    // The overlap with the last window is kept: an archive entry is then read forward only.
    const auto kept = static_cast<size_t>(fBytesTo - W0);
    std::memmove(fBytes.data(), fBytes.data() + (W0 - fBytesFrom), kept);
    const size_t got = source.ReadAt(fBytesTo, fBytes.data() + kept, need - kept);
    fBytesFrom = W0;
    fBytesTo = W0 + static_cast<int64_t>(kept + got);
  } else {
    const size_t got = source.ReadAt(W0, fBytes.data(), need);
    fBytesFrom = W0;
    fBytesTo = W0 + static_cast<int64_t>(got);
  }
  return fBytes.data();
}

void TCorpusWindowReader::ForEachOfUnits(std::u16string_view whole, int32_t chunkUnits, int32_t marginUnits,
                                         const std::atomic<bool>* stop,
                                         const std::function<void(const TCorpusWindow&)>& onWindow) {
  const auto total = static_cast<int64_t>(whole.size());
  const int64_t S = std::max(chunkUnits, 1), M = std::max(marginUnits, 0);
  int64_t own0 = 0;
  do {
    if (stop && stop->load(std::memory_order_relaxed)) return;
    const int64_t own1 = std::min(total, own0 + S);
    const int64_t w0 = std::max<int64_t>(0, own0 - M), w1 = std::min(total, own1 + M);
    const bool atEnd = w1 == total;
    Reserve(static_cast<size_t>(w1 - w0) + 2);
    std::copy(whole.begin() + w0, whole.begin() + w1, fWindow.data());
    auto n = static_cast<int32_t>(w1 - w0);
    if (atEnd) fWindow[static_cast<size_t>(n++)] = u'\n';
    fWindow[static_cast<size_t>(n)] = 0;
    TCorpusWindow w;
    w.text = fWindow.data();
    w.length = n;
    w.own_from = static_cast<int32_t>(own0 - w0);
    w.own_to = static_cast<int32_t>(own1 - w0);
    w.text_start = own0 == 0;
    w.text_end = own1 == total;
    onWindow(w);
    own0 = own1;
  } while (own0 < total);
}

void TCorpusWindowReader::ForEach(TCorpusTextSource& source, const TCorpusTextInfo& given, int64_t fromByte,
                                  int64_t toByte, int32_t chunkUnits, int32_t marginUnits, const std::atomic<bool>* stop,
                                  const std::function<void(const TCorpusWindow&)>& onWindow) {
  // A presumption holds for this text only.
  std::function<TCorpusTextInfo(int64_t)> settle = std::move(fSettle);
  fSettle = nullptr;
  fSettledInfo.reset();
  TCorpusTextInfo info = given;
  fSevenBitTo = 0;
  if (info.encoding == ce_document) {
    ForEachOfUnits(source.DocumentText(), chunkUnits, marginUnits, stop, onWindow);
    return;
  }
  if (info.encoding == ce_ansi_multi) {
    fWhole.clear();
    std::vector<char> bytes(1 << 20);
    TCodePageDecoder decoder(info.codepage);
    for (int64_t at = 0;;) {
      const size_t got = source.ReadAt(at, bytes.data(), bytes.size());
      decoder.Decode(bytes.data(), got, got == 0, fWhole);
      if (got == 0) break;
      at += static_cast<int64_t>(got);
    }
    for (auto& c : fWhole)
      if (c == 0) c = u' ';
    ForEachOfUnits(fWhole, chunkUnits, marginUnits, stop, onWindow);
    return;
  }
  const int64_t size = info.size;
  const int32_t sig = info.signature_bytes;
  const bool wide = info.encoding == ce_utf16le || info.encoding == ce_utf16be;
  const int64_t S = int64_t{std::max(chunkUnits, 1)} * (wide ? 2 : 1);
  const int64_t M = int64_t{std::max(marginUnits, 0)} * (wide ? 2 : info.encoding == ce_utf8 ? 3 : 1);
  // The table of a one-byte code page, made when the text (or, once settled, its rest) is in one.
  auto tableFor = [&](const TCorpusTextInfo& i) {
    if (i.encoding == ce_ansi && (fTable.empty() || fTableCodepage != i.codepage)) {
      fTable = AnsiTable(i.codepage);
      fTableCodepage = i.codepage;
    }
  };
  tableFor(info);
  const int64_t from = fromByte >= 0 ? fromByte : sig;
  const int64_t to = fromByte >= 0 ? toByte : size;
  if (to <= from) {
    // An empty text: one window holding its closing break, so that it is counted as read.
    Reserve(2);
    fWindow[0] = u'\n';
    fWindow[1] = 0;
    TCorpusWindow w;
    w.text = fWindow.data();
    w.length = 1;
    w.text_start = w.text_end = true;
    onWindow(w);
    return;
  }
  fBytesFrom = fBytesTo = 0;
  fMapped = false;
  fMapUntil = std::min(size, to + M);
  // (A part that runs past the end, of a file shorter now than when its parts were made, ends there.)
  for (int64_t B = from; B < to && B < size;) {
    if (stop && stop->load(std::memory_order_relaxed)) return;
    const int64_t E = std::min(to, B + S);
    const int64_t W0 = std::max<int64_t>(sig, B - M), W1 = std::min(size, E + M);
    // Windows of text that is mostly 7-bit are looked at where the file is mapped: most are handed on
    // undecoded, and a copy would cost more than the look. Others are decoded whole, and are read into
    // the reader's own buffer, which stays in the caches from window to window: the first look at a
    // mapped page costs a fault in the page tables (on virtual machines that shadow them, several
    // microseconds), where a read copies from the kernel's own mapping of the file. (A fully Chinese
    // text is searched by one worker in two thirds of the time so.)
    const bool mostlySevenBit = info.encoding == ce_utf8 &&
                                (info.format == fc_ASCII || info.units < 0 || MostlySevenBit(info.units, size - sig));
    const uint8_t* bytes = ReadBytes(source, W0, W1, mostlySevenBit);
    const int64_t w1 = std::min(W1, fBytesTo);  // shorter when the file shrank meanwhile
    if (settle && fSettledInfo) {
      // Settled by the consumer: the rest is read as measured (7-bit still needs no look).
      info = *fSettledInfo;
      settle = nullptr;
      tableFor(info);
    }
    if (settle) {
      // Read as 7-bit until a window is not: then the text's real encoding rules from here on (the bytes
      // before were read alike in any of them).
      const auto seven = static_cast<int64_t>(SevenBitPrefix(bytes, static_cast<size_t>(w1 - W0)));
      fSevenBitTo = W0 + seven;
      if (seven < w1 - W0) {
        info = settle(fSevenBitTo);
        settle = nullptr;
        if (info.format == fc_ASCII) info.format = fc_UTF8;  // this window is not 7-bit, whatever was measured
        // (A presumable text is UTF-8 or in a one-byte code page; only a file replaced meanwhile is not.)
        if (info.encoding != ce_utf8 && info.encoding != ce_ansi)
          throw EEncodingError(u"the encoding of " + source.Text().full_name + u" changed while it was read");
        tableFor(info);
      }
    }
    const bool textEnd = w1 >= size || w1 < W1;
    // Character starts of the window, of the owned part and of what follows it.
    const int64_t a0 = W0 == sig ? W0 : AlignToCharacter(info.encoding, bytes, W0, W0, w1, sig);
    const int64_t b0 = std::max(a0, B == sig ? B : AlignToCharacter(info.encoding, bytes, W0, std::min(B, w1), w1, sig));
    const int64_t e0 = std::max(b0, E >= size || w1 < W1 ? w1 : AlignToCharacter(info.encoding, bytes, W0, std::min(E, w1), w1, sig));
    Reserve(static_cast<size_t>(w1 - a0) + 4);
    auto at = [&](int64_t off) { return bytes + (off - W0); };
    // Text measured or read whole as 7-bit needs no look; other UTF-8 text is looked at window by window.
    if (fUndecoded && info.encoding == ce_utf8 &&
        (info.format == fc_ASCII || SevenBitPrefix(at(a0), static_cast<size_t>(w1 - a0)) == static_cast<size_t>(w1 - a0))) {
      // 7-bit text: a unit a byte, so the window's edges are those of the bytes, and its units are
      // written only where the consumer reads them. A last window gets its closing line break in a copy.
      TCorpusWindow w;
      auto n = static_cast<int32_t>(w1 - a0);
      w.seven_bit = at(a0);
      if (textEnd) {
        fLastBytes.assign(at(a0), at(w1));
        fLastBytes.push_back('\n');
        w.seven_bit = fLastBytes.data();
        fWindow[static_cast<size_t>(n)] = u'\n';
        ++n;
      }
      fWindow[static_cast<size_t>(n)] = 0;
      w.text = fWindow.data();
      w.length = n;
      w.own_from = static_cast<int32_t>(b0 - a0);
      w.own_to = static_cast<int32_t>(e0 - a0);
      w.text_start = B == sig;
      w.text_end = textEnd && E >= to;
      // What the next window adds, when it is already mapped (a part's windows but its last).
      size_t ahead = 0;
      if (!textEnd && E < to && fMapped) w.ahead = source.MappedAt(w1, static_cast<size_t>(std::min(to - E, S)), ahead);
      w.ahead_length = static_cast<int32_t>(ahead);
      onWindow(w);
      if (w1 < W1 && E < to) return;
      B = E;
      continue;
    }
    size_t madeL = 0, madeO = 0, madeR = 0;
    const char16_t* table = fTable.empty() ? nullptr : fTable.data();
    DecodeCorpusBytes(info.encoding, table, at(a0), static_cast<size_t>(b0 - a0), false, fWindow.data(), madeL);
    DecodeCorpusBytes(info.encoding, table, at(b0), static_cast<size_t>(e0 - b0), textEnd && e0 == w1,
                      fWindow.data() + madeL, madeO);
    DecodeCorpusBytes(info.encoding, table, at(e0), static_cast<size_t>(w1 - e0), textEnd,
                      fWindow.data() + madeL + madeO, madeR);
    auto n = static_cast<int32_t>(madeL + madeO + madeR);
    if (textEnd) fWindow[static_cast<size_t>(n++)] = u'\n';
    fWindow[static_cast<size_t>(n)] = 0;
    TCorpusWindow w;
    w.text = fWindow.data();
    w.length = n;
    w.own_from = static_cast<int32_t>(madeL);
    w.own_to = static_cast<int32_t>(madeL + madeO);
    w.text_start = B == sig;
    w.text_end = textEnd && E >= to;
    onWindow(w);
    if (w1 < W1 && E < to) return;  // the file ended early
    B = E;
  }
}

}  // namespace kx8
