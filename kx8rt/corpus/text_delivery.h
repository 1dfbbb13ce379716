// Delivering a corpus text as UTF-16, chunk by chunk: the text's bytes (a file, or an archive entry read
// piece by piece), its format and encoding recognised from its first bytes, binary files refused, and
// the bytes decoded straight into the caller's buffer with no round trip through other encodings.
#pragma once

#include <cstddef>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <memory>
#include <vector>

#include "kx8rt/corpus/corpus_texts.h"
#include "kx8rt/files/file_utils.h"
#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/large_buffers.h"
#include "kx8rt/platform/strings.h"
#include "kx8rt/platform/zip.h"

namespace kx8 {

// How a text's bytes become UTF-16.
enum TCorpusEncoding : uint8_t {
  ce_utf16le,    // two bytes a unit, low byte first
  ce_utf16be,    // two bytes a unit, high byte first
  ce_utf8,       // UTF-8 (7-bit text too)
  ce_ansi,       // an 8-bit code page, one byte a character
  ce_ansi_multi, // a code page of one or two bytes a character: read from the start only
  ce_document    // a word-processor document, whose text is taken whole
};

// What is known of a text once it has been opened.
struct TCorpusTextInfo {
  TKXFileFormat format = fc_Unknown;
  TCorpusEncoding encoding = ce_utf8;
  int32_t signature_bytes = 0;  // the byte-order mark or signature before the text
  int64_t size = 0;             // bytes of the file or entry
  uint16_t codepage = 0;        // of 8-bit text
  bool seekable = false;        // a plain file: any byte range can be read without the bytes before it
  int64_t units = -1;           // UTF-16 units of the whole text, once known (-1: not yet measured)
};

// Code pages that take two bytes for some characters.
bool IsMultiByteCodePage(uint16_t codepage);

// Whether the bytes at the start of a file say it is no text: executables, images, compressed data,
// documents of formats that are not read here. Returns the kind ("an executable", ...) or nullptr.
const char16_t* BinaryKindOfHead(const uint8_t* p, size_t n);

// One text opened for reading. A plain file is read with positioned reads (so several readers may share
// nothing but the name); an archive entry is read forward, and reopened to go back to its start.
class TCorpusTextSource {
 public:
  TCorpusTextSource();
  ~TCorpusTextSource();
  TCorpusTextSource(const TCorpusTextSource&) = delete;
  TCorpusTextSource& operator=(const TCorpusTextSource&) = delete;

  // Opens the text and recognises it from its first bytes. False, with note saying why, for a text that
  // cannot be read (the system's reason), is empty of text, or is no text (binary, a compound document,
  // an archive that is no word-processor document). codepage 0 is the system's 8-bit code page.
  [[nodiscard]] bool Open(const TCorpusText& text, uint16_t codepage, UnicodeString& note);
  // Opens one part of a plain file that PlanCorpusTextParts split, as its info says (the file's first
  // bytes were looked at there, and are not read again). False, with the system's reason, when the file
  // cannot be opened. A part of the file the source has open already (left open after the last part)
  // is read through the same file and mapping.
  [[nodiscard]] bool OpenPart(const TCorpusText& text, const TCorpusTextInfo& info, UnicodeString& note);
  // Lets the text go (its file, mapping or entry) while keeping the buffers for the next Open, for a
  // source that reads one text after another.
  void Close();
  // The caller is done with what it opened last: a text is let go (Close); a part's file is kept open
  // for the next part, which is mostly of the same file (the next Open, OpenPart of another file or
  // Close lets it go).
  void Done() {
    if (!fPart) Close();
  }
  // Calls Done on a source when it leaves scope, whatever way.
  class TDoneAtExit {
   public:
    explicit TDoneAtExit(TCorpusTextSource& source) : fSource(source) {}
    ~TDoneAtExit() { fSource.Done(); }
    TDoneAtExit(const TDoneAtExit&) = delete;
    TDoneAtExit& operator=(const TDoneAtExit&) = delete;

   private:
    TCorpusTextSource& fSource;
  };
  const TCorpusTextInfo& Info() const { return fInfo; }
  // After a failed Open: the text could not be read (rather than being no text).
  bool ReadFailed() const { return fReadFailed; }
  const TCorpusText& Text() const { return fText; }

  // Up to n bytes from byte offset at (any offset for a plain file; for an entry, at must not go back
  // before what was read last, which reopens it). Returns fewer only at the end. Raises kx8::Exception
  // (with the system's reason) on a read error.
  size_t ReadAt(int64_t at, void* buffer, size_t n);
  // Where the bytes from at lie in memory when the text is a small file read whole as it was opened (no
  // copy needed), with in available how many of up to n there are; null otherwise.
  const uint8_t* HeldAt(int64_t at, size_t n, size_t& available) const;
  // The bytes [at, at + n) of a plain file mapped into memory (valid until the next MapAt or Open), or
  // nullptr where mapping is not possible (an entry, a file that shrank); the caller then reads.
  // A mapping may cover more than asked for, up to `until` (a byte offset; -1: the file's end), and is
  // then served again for what lies inside it.
  const uint8_t* MapAt(int64_t at, size_t n, int64_t until = -1);
  // Where the bytes from at lie in the mapping MapAt made last, with in available how many of up to n
  // it holds; null when it does not hold at. Maps nothing.
  const uint8_t* MappedAt(int64_t at, size_t n, size_t& available) const;

  // Reads the whole text once to learn what its first bytes cannot tell: whether 8-bit text without a
  // signature is UTF-8 throughout or is in the code page, and how many UTF-16 units the text has.
  // Sets Info().encoding, format and units. A large plain file in 8-bit text is read by up to `threads`
  // threads at once, each over its own stretch.
  void Measure(int32_t threads = 1);

  // Whether the text may be read as 7-bit text before that is known: 8-bit text without a signature in a
  // plain file whose first bytes are 7-bit, with a one-byte code page (for text that is not UTF-8) that
  // reads 7-bit bytes as themselves. Reading it so (TCorpusWindowReader::PresumeSevenBit) spares the
  // pass of Measure over the whole text before the first window.
  bool SevenBitPresumable() const;
  // Info() as it is when the text is 7-bit throughout: format fc_ASCII, a unit a byte.
  TCorpusTextInfo SevenBitPresumedInfo() const;
  // Measure for a text whose bytes before sevenBitTo are known to be 7-bit: only the rest is read.
  void MeasureAfterSevenBit(int64_t sevenBitTo);

  // A word-processor document's whole text, or a text held in memory (ce_document only).
  const UnicodeString& DocumentText() const { return fHeld ? *fHeld : fDocument; }

  // Maps archives kept open between texts, so that the entries of one archive do not each open it anew.
  // Shared by the sources of one thread.
  struct ArchiveCache {
    UnicodeString name;
    TZipArchive zip;
  };
  void SetArchiveCache(ArchiveCache* cache) { fCache = cache; }
  static std::unique_ptr<ArchiveCache> NewArchiveCache();

 private:
  // What measuring a stretch of 8-bit text found.
  struct TUtf8Measure {
    int64_t units = 0;
    bool nonAscii = false;
    bool valid = true;  // every sequence well formed (as far as it was looked at)
  };
  // Measures the bytes [from, to), which begin on a character; through MapAt when mapped (one thread
  // only), else with positioned reads, which several threads may make at once.
  TUtf8Measure MeasureUtf8Range(int64_t from, int64_t to, bool mustValidate, bool mapped);
  // Takes what measuring the text from the point where unitsBefore units lie behind found: UTF-8 (its
  // format decided when the whole was validated) or, when not well formed, the code page.
  void TakeUtf8Measure(const TUtf8Measure& m, int64_t unitsBefore, bool validated);
  // What Open and OpenPart begin with: the source forgets its last text; and opening the file itself.
  void Reset(const TCorpusText& text, const TCorpusTextInfo& info, UnicodeString& note);
  bool OpenFile(UnicodeString& note);

  struct Impl;
  std::unique_ptr<Impl> fImpl;
  TCorpusText fText;
  TCorpusTextInfo fInfo;
  UnicodeString fDocument;
  std::shared_ptr<const UnicodeString> fHeld;
  ArchiveCache* fCache = nullptr;
  bool fReadFailed = false;
  bool fHeadSevenBit = false;  // the first bytes of 8-bit text are 7-bit
  bool fPart = false;  // the file open is a plain file opened for a part (OpenPart)
};

// Decodes bytes of a text in enc into out, which has room for n units (n + 1 for UTF-16 of an odd count is
// never needed: an odd last byte is dropped). The bytes must begin at a character's start; last says
// whether the text ends with them. Returns the bytes used, which stop before a character the end cuts
// off unless last. made receives the units written. A zero unit is written as a space, so that the result
// can be handed on zero-terminated. ce_ansi needs table (from AnsiTable); ce_ansi_multi and
// ce_document are not decoded here.
size_t DecodeCorpusBytes(TCorpusEncoding enc, const char16_t* table, const uint8_t* p, size_t n, bool last,
                         char16_t* out, size_t& made);

// The 256 characters of a one-byte code page, for DecodeCorpusBytes; raises EEncodingError when the code
// page is not available.
std::vector<char16_t> AnsiTable(uint16_t codepage);

// The first byte offset at or after at (and before end) where a character of enc can begin; window holds
// the text's bytes from offset windowStart (at least up to end).
int64_t AlignToCharacter(TCorpusEncoding enc, const uint8_t* window, int64_t windowStart, int64_t at, int64_t end,
                         int32_t signatureBytes);

// A piece of work over a corpus: a whole text, or one byte range of a large plain file that several
// workers share (its encoding measured once, beforehand, so that each part can be decoded alone).
struct TCorpusTextPart {
  size_t text = 0;           // index of the text
  int32_t part = 0, parts = 1;
  int64_t from = -1, to = 0; // owned bytes of a part; from < 0 for a whole text
  TCorpusTextInfo info;      // as measured, for parts
  // The text was not measured: info is SevenBitPresumedInfo(), and the part's reader must settle the
  // text (TCorpusWindowReader::PresumeSevenBit) where it meets a window that is not 7-bit.
  bool seven_bit_presumed = false;
};

// The parts of a run: a plain file larger than twice partBytes, in UTF-8, UTF-16 or a one-byte code
// page, is split into parts of partBytes (twice that for UTF-16); every other text is one part. A text
// that cannot be opened or measured here is left whole, for its reader to report. With presumeSevenBit,
// a text that SevenBitPresumable() is split unmeasured (seven_bit_presumed).
std::vector<TCorpusTextPart> PlanCorpusTextParts(const std::vector<TCorpusText>& texts, uint16_t codepage,
                                                 int64_t partBytes, int32_t workers = 1, bool presumeSevenBit = false);
// The parts of one text, the index-th of its run, appended to parts (for texts planned as a walk finds them).
void PlanCorpusTextParts(const TCorpusText& text, size_t index, uint16_t codepage, int64_t partBytes, int32_t workers,
                         bool presumeSevenBit, std::vector<TCorpusTextPart>& parts);

// What is known of an opened text for reading one of its parts: the planner's measure for a byte range,
// else the source's own, measured now when the first bytes could not tell.
TCorpusTextInfo InfoForPart(TCorpusTextSource& source, const TCorpusTextPart& part);

// One window of a text as the chunk reader hands it on: the characters from some way before the part the
// window owns to some way after it, zero-terminated; the text's last window ends with an added line
// break (no hit may start on a buffer's last character, and the text's last word must end).
struct TCorpusWindow {
  const char16_t* text = nullptr;
  int32_t length = 0;        // units, the added line break included
  int32_t own_from = 0;      // the owned units [own_from, own_to): each unit of the text is owned once
  int32_t own_to = 0;
  bool text_start = false;   // the window's owned part begins the text
  bool text_end = false;
  // A window of 7-bit text handed on undecoded (see TCorpusWindowReader::SetUndecodedSevenBit): its
  // length units as bytes, one a unit (a zero byte stands for the space it is read as). text then holds
  // only the units Widen has written (and the zero after the last); a consumer widens what it reads.
  const uint8_t* seven_bit = nullptr;
  // The bytes the reader hands on next, where they already lie in memory (mapped): a consumer that
  // passes over the window's bytes may ask for these as it goes, so that the next window's first look
  // finds them near rather than in main memory. Null when there are none or they are yet to be read.
  const uint8_t* ahead = nullptr;
  int32_t ahead_length = 0;
  // Writes the units [from, to) (clamped to the window) of an undecoded window into text; nothing for
  // a decoded one.
  void Widen(int32_t from, int32_t to) const;
};

// Reads a text window by window: each window owns chunkUnits units (about that many for UTF-8) and
// carries marginUnits units (at least) of the text on each side of them, so that whatever starts in the
// owned part is whole in the window. Reused from text to text, so that its buffers are allocated once.
class TCorpusWindowReader {
 public:
  // Every window of the text, or of the owned bytes [fromByte, toByte) of a plain file (fromByte < 0:
  // the whole text); stops early when stop becomes true. A word-processor document, a text in a
  // multi-byte code page and a text of its own (given) are read from whole units. Raises
  // kx8::Exception on read errors.
  void ForEach(TCorpusTextSource& source, const TCorpusTextInfo& info, int64_t fromByte, int64_t toByte,
               int32_t chunkUnits, int32_t marginUnits, const std::atomic<bool>* stop,
               const std::function<void(const TCorpusWindow&)>& onWindow);
  // Whether windows of 7-bit UTF-8 text are handed on undecoded (TCorpusWindow::seven_bit), for a
  // consumer that looks at most of a window's characters only as bytes. Off until set.
  void SetUndecodedSevenBit(bool on) { fUndecoded = on; }
  // Reads the next ForEach's text (given with SevenBitPresumedInfo) as 7-bit, looking at each window
  // as it comes: at the first that is not, settle(the offset before which every byte is 7-bit) returns
  // the text's real info (UTF-8 or a one-byte code page), by which the rest is read.
  void PresumeSevenBit(std::function<TCorpusTextInfo(int64_t)> settle) { fSettle = std::move(settle); }
  // Up to where the text being read has been seen to be 7-bit (a byte offset), while presumed so.
  int64_t SevenBitTo() const { return fSevenBitTo; }
  // The real info of the text being read while it is presumed 7-bit, as the consumer measured it
  // (TCorpusTextSource::MeasureAfterSevenBit from SevenBitTo()): the windows after this one are read by it.
  void SettledAs(const TCorpusTextInfo& info) { fSettledInfo = info; }
  // The same over units held whole.
  void ForEachOfUnits(std::u16string_view whole, int32_t chunkUnits, int32_t marginUnits, const std::atomic<bool>* stop,
                      const std::function<void(const TCorpusWindow&)>& onWindow);

 private:
  // The bytes [W0, W1) of the text: where the source holds them (a small file read whole, or a large
  // one mapped, when mapLarge), else read into fBytes.
  const uint8_t* ReadBytes(TCorpusTextSource& source, int64_t W0, int64_t W1, bool mapLarge);
  void Reserve(size_t units);
  // (From the pool of huge pages: on some virtual machines the first touch of a fresh small page costs
  // more than decoding the units it holds.)
  TPooledBuffer<char16_t> fWindow;
  TPooledBuffer<uint8_t> fBytes;
  std::vector<uint8_t> fLastBytes;  // an undecoded last window, with its closing line break
  bool fUndecoded = false;
  std::function<TCorpusTextInfo(int64_t)> fSettle;
  std::optional<TCorpusTextInfo> fSettledInfo;
  int64_t fSevenBitTo = 0;
  int64_t fBytesFrom = 0, fBytesTo = 0;
  bool fMapped = false;  // the last window's bytes lay where the source holds them (mapped, or read whole), not in fBytes
  int64_t fMapUntil = -1;  // where the text or part being read ends, with its margin
  std::vector<char16_t> fTable;
  uint16_t fTableCodepage = 0;
  UnicodeString fWhole;
};

}  // namespace kx8
