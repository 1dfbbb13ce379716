#include "kx8rt/corpus/corpus_file_text.h"

#include <functional>

#include "kx8rt/files/file_utils.h"
#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/file_system.h"
#include "kx8rt/platform/streams.h"
#include "kx8rt/strings/tags.h"

namespace kx8 {

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
  if (!FileExists(fname)) {
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

}  // namespace kx8
