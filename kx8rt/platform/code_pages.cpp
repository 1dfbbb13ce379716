#include "kx8rt/platform/code_pages.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <array>
#include <atomic>
#include <bitset>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/last_error.h"
#include "kx8rt/platform/locales.h"

namespace kx8 {

namespace {

std::atomic<uint32_t> gSystemCodePage{1252};

int32_t Fail(uint32_t code) {
  SetLastPlatformError(code);
  return 0;
}

// The aliases resolve to a real code page; 0 stays 0 when nothing answers.
uint32_t ResolveCodePage(uint32_t cp) {
  switch (cp) {
    case CP_ACP:
    case CP_THREAD_ACP:
      return gSystemCodePage.load(std::memory_order_relaxed);
    case CP_OEMCP:
      return GetOEMCP();
    case CP_MACCP:
      return 10000;
    default:
      return cp;
  }
}

bool IsUtfCodePage(uint32_t cp) { return cp == CP_UTF8 || cp == CP_UTF7; }

// ICU names to try for a code page number, most specific first.
std::vector<std::string> IcuNamesFor(uint32_t cp) {
  switch (cp) {
    case CP_UTF8: return {"UTF-8"};
    case CP_UTF7: return {"UTF-7"};
    case 20127: return {"US-ASCII"};
    case 20866: return {"KOI8-R"};
    case 21866: return {"KOI8-U"};
    case 10000: return {"macintosh"};
    case 51932: return {"EUC-JP"};
    case 51949: return {"EUC-KR"};
    case 50220: return {"ISO-2022-JP"};
    case 54936: return {"GB18030"};
    // UTF-16 and UTF-32 are not byte code pages for these calls.
    case 1200: case 1201: case 12000: case 12001: return {};
    default: break;
  }
  if (cp >= 28591 && cp <= 28605) return {"ISO-8859-" + std::to_string(cp - 28590)};
  return {"windows-" + std::to_string(cp), "ibm-" + std::to_string(cp)};
}

UConverter* OpenConverter(uint32_t cp) {
  for (const std::string& name : IcuNamesFor(cp)) {
    UErrorCode err = U_ZERO_ERROR;
    UConverter* cnv = ucnv_open(name.c_str(), &err);
    if (U_SUCCESS(err) && cnv) return cnv;
    if (cnv) ucnv_close(cnv);
  }
  return nullptr;
}

// ICU converters keep state, so each thread keeps its own, opened once per code page (a failed open is
// remembered too). ICU shares the mapping tables between them.
struct ThreadConverters {
  struct Slot {
    uint32_t cp;
    UConverter* cnv;
  };
  std::vector<Slot> slots;
  ThreadConverters() = default;
  ThreadConverters(const ThreadConverters&) = delete;
  ThreadConverters& operator=(const ThreadConverters&) = delete;
  ~ThreadConverters() {
    for (Slot& s : slots)
      if (s.cnv) ucnv_close(s.cnv);
  }
  UConverter* Get(uint32_t cp) {
    for (const Slot& s : slots)
      if (s.cp == cp) return s.cnv;
    slots.push_back({cp, OpenConverter(cp)});
    return slots.back().cnv;
  }
};

UConverter* ConverterFor(uint32_t resolvedCp) {
  thread_local ThreadConverters converters;
  return converters.Get(resolvedCp);
}

// What the 8-bit classification and conversion need of a code page, built once per code page.
struct CodePageInfo {
  bool singleByte = false;
  std::array<char16_t, 256> toUnicode{};
  std::bitset<256> defined;
  std::bitset<256> leadByte;
};

const CodePageInfo* InfoFor(uint32_t resolvedCp) {
  static std::mutex mutex;
  static std::unordered_map<uint32_t, std::unique_ptr<CodePageInfo>> cache;
  thread_local uint32_t lastCp = 0xFFFFFFFFu;
  thread_local const CodePageInfo* lastInfo = nullptr;
  if (resolvedCp == lastCp) return lastInfo;

  std::lock_guard<std::mutex> lock(mutex);
  auto it = cache.find(resolvedCp);
  if (it == cache.end()) {
    std::unique_ptr<CodePageInfo> info;
    if (UConverter* cnv = OpenConverter(resolvedCp)) {
      info = std::make_unique<CodePageInfo>();
      info->singleByte = ucnv_getMaxCharSize(cnv) == 1 && !IsUtfCodePage(resolvedCp);
      if (info->singleByte) {
        UErrorCode err = U_ZERO_ERROR;
        ucnv_setToUCallBack(cnv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
        for (int b = 0; b < 256; ++b) {
          const char byte = static_cast<char>(b);
          UChar out[4];
          err = U_ZERO_ERROR;
          ucnv_resetToUnicode(cnv);
          const int32_t n = ucnv_toUChars(cnv, out, 4, &byte, 1, &err);
          if (U_SUCCESS(err) && n == 1) {
            info->toUnicode[b] = out[0];
            info->defined[b] = true;
          } else if (b >= 0x80 && b <= 0x9F) {
            // Holes in the C1 range read as the C1 control of the same number, as the classic tables
            // have them (1252's 0x81, 0x8D, 0x8F, 0x90 and 0x9D).
            info->toUnicode[b] = static_cast<char16_t>(b);
            info->defined[b] = true;
          } else {
            info->toUnicode[b] = u'\uFFFD';
          }
        }
      } else {
        UErrorCode err = U_ZERO_ERROR;
        UBool starters[256];
        ucnv_getStarters(cnv, starters, &err);
        if (U_SUCCESS(err) && ucnv_getType(cnv) != UCNV_UTF8 && ucnv_getType(cnv) != UCNV_UTF7)
          for (int b = 0; b < 256; ++b) info->leadByte[b] = starters[b] != 0;
      }
      ucnv_close(cnv);
    }
    it = cache.emplace(resolvedCp, std::move(info)).first;
  }
  lastCp = resolvedCp;
  lastInfo = it->second.get();
  return lastInfo;
}

// ---- ICU callbacks ----

struct ToUContext {
  bool stopOnError;
  bool failed;
};

void ToUCallback(const void* context, UConverterToUnicodeArgs* args, const char*, int32_t,
                 UConverterCallbackReason reason, UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;
  auto* ctx = static_cast<ToUContext*>(const_cast<void*>(context));
  if (ctx->stopOnError) {
    ctx->failed = true;
    return;  // the error stays set and the conversion stops
  }
  *err = U_ZERO_ERROR;
  const UChar replacement = 0xFFFD;
  ucnv_cbToUWriteUChars(args, &replacement, 1, 0, err);
}

struct FromUContext {
  const char* substitute;
  int32_t substituteLength;
  bool reportUse;  // false for UTF-8, where U+FFFD stands in and no default character is involved
  bool stopOnError;
  bool failed;
  bool used;
};

void FromUCallback(const void* context, UConverterFromUnicodeArgs* args, const UChar*, int32_t, UChar32,
                   UConverterCallbackReason reason, UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;
  auto* ctx = static_cast<FromUContext*>(const_cast<void*>(context));
  if (ctx->stopOnError) {
    ctx->failed = true;
    return;
  }
  *err = U_ZERO_ERROR;
  ucnv_cbFromUWriteBytes(args, ctx->substitute, ctx->substituteLength, 0, err);
  if (ctx->reportUse) ctx->used = true;
}

// Composes base + mark sequences before conversion; what stays decomposed is handled as the
// WC_DISCARDNS / WC_DEFAULTCHAR / WC_SEPCHARS flag says. U+FFFF (unmappable everywhere) marks a
// sequence to be written as the default character.
std::u16string ComposedForConversion(const char16_t* src, int32_t len, uint32_t flags) {
  UErrorCode err = U_ZERO_ERROR;
  const UNormalizer2* nfc = unorm2_getNFCInstance(&err);
  std::u16string out(static_cast<size_t>(len) + 16, u'\0');
  int32_t n = unorm2_normalize(nfc, reinterpret_cast<const UChar*>(src), len, reinterpret_cast<UChar*>(out.data()),
                               static_cast<int32_t>(out.size()), &err);
  if (err == U_BUFFER_OVERFLOW_ERROR) {
    out.assign(static_cast<size_t>(n), u'\0');
    err = U_ZERO_ERROR;
    n = unorm2_normalize(nfc, reinterpret_cast<const UChar*>(src), len, reinterpret_cast<UChar*>(out.data()), n,
                         &err);
  }
  if (U_FAILURE(err)) return std::u16string(src, static_cast<size_t>(len));
  out.resize(static_cast<size_t>(n));
  if (!(flags & (WC_DISCARDNS | WC_DEFAULTCHAR))) return out;

  std::u16string result;
  result.reserve(out.size());
  for (size_t i = 0; i < out.size(); ++i) {
    const bool isMark = u_charType(out[i]) == U_NON_SPACING_MARK;
    if (!isMark) {
      result.push_back(out[i]);
      continue;
    }
    if (flags & WC_DEFAULTCHAR) {
      if (!result.empty() && result.back() != u'\uFFFF') result.back() = u'\uFFFF';
      else if (result.empty()) result.push_back(u'\uFFFF');
    }
    // WC_DISCARDNS: the mark is simply left out.
  }
  return result;
}

}  // namespace

uint32_t GetACP() { return gSystemCodePage.load(std::memory_order_relaxed); }

void SetSystemCodePage(uint32_t codePage) {
  const bool alias = codePage <= CP_THREAD_ACP;
  if (alias || !InfoFor(codePage))
    throw EEncodingError(u"Code page " + IntToStr(static_cast<int64_t>(codePage)) +
                         u" cannot be the system code page");
  gSystemCodePage.store(codePage, std::memory_order_relaxed);
}

uint32_t GetOEMCP() {
  const uint32_t oem = LCIDToOemCodePage(GetUserDefaultLCID());
  return oem ? oem : 437;
}

bool IsValidCodePage(uint32_t codePage) { return InfoFor(ResolveCodePage(codePage)) != nullptr; }

bool IsDBCSLeadByteEx(uint32_t codePage, uint8_t byte) {
  const CodePageInfo* info = InfoFor(ResolveCodePage(codePage));
  return info && info->leadByte[byte];
}

const char16_t* SingleByteToUnicodeTable(uint32_t codePage) {
  const CodePageInfo* info = InfoFor(ResolveCodePage(codePage));
  return info && info->singleByte ? info->toUnicode.data() : nullptr;
}

int32_t MultiByteToWideChar(uint32_t CodePage, uint32_t dwFlags, const char* src, int32_t cbSrc, char16_t* dst,
                            int32_t cchDst) {
  if (!src || cbSrc == 0 || cbSrc < -1 || cchDst < 0 || (cchDst > 0 && !dst)) return Fail(ERROR_INVALID_PARAMETER);
  const uint32_t cp = ResolveCodePage(CodePage);
  const uint32_t allowed = IsUtfCodePage(cp) ? MB_ERR_INVALID_CHARS : (MB_PRECOMPOSED | MB_ERR_INVALID_CHARS);
  if (dwFlags & ~allowed) return Fail(ERROR_INVALID_FLAGS);
  const CodePageInfo* info = InfoFor(cp);
  if (!info) return Fail(ERROR_INVALID_PARAMETER);
  const int32_t len = cbSrc == -1 ? static_cast<int32_t>(std::strlen(src)) + 1 : cbSrc;
  const bool strict = dwFlags & MB_ERR_INVALID_CHARS;

  if (info->singleByte) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(src);
    if (strict)
      for (int32_t i = 0; i < len; ++i)
        if (!info->defined[bytes[i]]) return Fail(ERROR_NO_UNICODE_TRANSLATION);
    if (cchDst == 0) return len;
    if (len > cchDst) return Fail(ERROR_INSUFFICIENT_BUFFER);
    for (int32_t i = 0; i < len; ++i) dst[i] = info->toUnicode[bytes[i]];
    return len;
  }

  UConverter* cnv = ConverterFor(cp);
  if (!cnv) return Fail(ERROR_INVALID_PARAMETER);
  ToUContext ctx{strict, false};
  UErrorCode err = U_ZERO_ERROR;
  ucnv_resetToUnicode(cnv);
  ucnv_setToUCallBack(cnv, ToUCallback, &ctx, nullptr, nullptr, &err);
  const char* s = src;
  const char* end = src + len;
  int64_t total = 0;
  if (cchDst == 0) {
    UChar chunk[1024];
    for (;;) {
      UChar* t = chunk;
      err = U_ZERO_ERROR;
      ucnv_toUnicode(cnv, &t, chunk + 1024, &s, end, nullptr, true, &err);
      total += t - chunk;
      if (err != U_BUFFER_OVERFLOW_ERROR) break;
    }
  } else {
    UChar* t = reinterpret_cast<UChar*>(dst);
    ucnv_toUnicode(cnv, &t, t + cchDst, &s, end, nullptr, true, &err);
    total = t - reinterpret_cast<UChar*>(dst);
    if (err == U_BUFFER_OVERFLOW_ERROR) return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  if (ctx.failed) return Fail(ERROR_NO_UNICODE_TRANSLATION);
  if (U_FAILURE(err) || total > INT32_MAX) return Fail(ERROR_INVALID_PARAMETER);
  return static_cast<int32_t>(total);
}

int32_t WideCharToMultiByte(uint32_t CodePage, uint32_t dwFlags, const char16_t* src, int32_t cchSrc, char* dst,
                            int32_t cbDst, const char* defaultChar, bool* usedDefaultChar) {
  if (!src || cchSrc == 0 || cchSrc < -1 || cbDst < 0 || (cbDst > 0 && !dst)) return Fail(ERROR_INVALID_PARAMETER);
  const uint32_t cp = ResolveCodePage(CodePage);
  const bool utf = IsUtfCodePage(cp);
  if (utf) {
    if (dwFlags & ~(cp == CP_UTF8 ? WC_ERR_INVALID_CHARS : 0u)) return Fail(ERROR_INVALID_FLAGS);
    if (defaultChar || usedDefaultChar) return Fail(ERROR_INVALID_PARAMETER);
  } else if (dwFlags & ~(WC_COMPOSITECHECK | WC_DISCARDNS | WC_SEPCHARS | WC_DEFAULTCHAR | WC_NO_BEST_FIT_CHARS)) {
    return Fail(ERROR_INVALID_FLAGS);
  }
  UConverter* cnv = ConverterFor(cp);
  if (!cnv) return Fail(ERROR_INVALID_PARAMETER);
  const int32_t len = cchSrc == -1 ? u_strlen(reinterpret_cast<const UChar*>(src)) + 1 : cchSrc;
  if (usedDefaultChar) *usedDefaultChar = false;

  std::u16string composed;
  const char16_t* text = src;
  int32_t textLen = len;
  if (!utf && (dwFlags & WC_COMPOSITECHECK)) {
    composed = ComposedForConversion(src, len, dwFlags);
    text = composed.data();
    textLen = static_cast<int32_t>(composed.size());
  }

  FromUContext ctx{};
  if (cp == CP_UTF8) {
    ctx.substitute = "\xEF\xBF\xBD";
    ctx.substituteLength = 3;
  } else if (utf) {
    ctx.substitute = "+//0-";  // U+FFFD in UTF-7
    ctx.substituteLength = 5;
  } else {
    ctx.substitute = defaultChar ? defaultChar : "?";
    ctx.substituteLength = 1;
    ctx.reportUse = true;
  }
  ctx.stopOnError = (dwFlags & WC_ERR_INVALID_CHARS) != 0;

  UErrorCode err = U_ZERO_ERROR;
  ucnv_resetFromUnicode(cnv);
  ucnv_setFallback(cnv, !utf && !(dwFlags & WC_NO_BEST_FIT_CHARS));
  ucnv_setFromUCallBack(cnv, FromUCallback, &ctx, nullptr, nullptr, &err);
  const UChar* s = reinterpret_cast<const UChar*>(text);
  const UChar* end = s + textLen;
  int64_t total = 0;
  if (cbDst == 0) {
    char chunk[2048];
    for (;;) {
      char* t = chunk;
      err = U_ZERO_ERROR;
      ucnv_fromUnicode(cnv, &t, chunk + sizeof chunk, &s, end, nullptr, true, &err);
      total += t - chunk;
      if (err != U_BUFFER_OVERFLOW_ERROR) break;
    }
  } else {
    char* t = dst;
    ucnv_fromUnicode(cnv, &t, dst + cbDst, &s, end, nullptr, true, &err);
    total = t - dst;
    if (err == U_BUFFER_OVERFLOW_ERROR) return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  if (ctx.failed) return Fail(ERROR_NO_UNICODE_TRANSLATION);
  if (U_FAILURE(err) || total > INT32_MAX) return Fail(ERROR_INVALID_PARAMETER);
  if (usedDefaultChar) *usedDefaultChar = ctx.used;
  return static_cast<int32_t>(total);
}

UnicodeString AnsiToUnicode(std::string_view bytes, uint32_t codePage) {
  if (!IsValidCodePage(codePage))
    throw EEncodingError(u"Unknown code page " + IntToStr(static_cast<int64_t>(codePage)));
  if (bytes.empty()) return {};
  if (bytes.size() > static_cast<size_t>(INT32_MAX)) throw EEncodingError(u"Text too long to convert");
  const auto n = static_cast<int32_t>(bytes.size());
  const int32_t need = MultiByteToWideChar(codePage, 0, bytes.data(), n, nullptr, 0);
  if (need <= 0) throw EEncodingError(u"Text cannot be read in code page " + IntToStr(static_cast<int64_t>(codePage)));
  UnicodeString out(static_cast<size_t>(need), u'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), n, out.data(), need);
  return out;
}

// ---- piecewise decoding ----

struct TCodePageDecoder::State {
  const char16_t* table = nullptr;  // single-byte code pages: a table lookup a byte, nothing held
  UConverter* cnv = nullptr;        // the others: a converter of our own, which holds split characters
  ToUContext context{false, false};
  uint32_t codePage = 0;
  ~State() {
    if (cnv) ucnv_close(cnv);
  }
};

TCodePageDecoder::TCodePageDecoder(uint32_t codePage) : fState(std::make_unique<State>()) {
  const uint32_t cp = ResolveCodePage(codePage);
  const CodePageInfo* info = InfoFor(cp);
  if (!info) throw EEncodingError(u"Unknown code page " + IntToStr(static_cast<int64_t>(codePage)));
  fState->codePage = cp;
  if (info->singleByte) {
    fState->table = info->toUnicode.data();
    return;
  }
  fState->cnv = OpenConverter(cp);
  if (!fState->cnv) throw EEncodingError(u"Unknown code page " + IntToStr(static_cast<int64_t>(codePage)));
  // The same handling of bad bytes as MultiByteToWideChar without flags: one U+FFFD each.
  UErrorCode err = U_ZERO_ERROR;
  ucnv_setToUCallBack(fState->cnv, ToUCallback, &fState->context, nullptr, nullptr, &err);
}

TCodePageDecoder::~TCodePageDecoder() = default;

void TCodePageDecoder::Reset() {
  if (fState->cnv) ucnv_resetToUnicode(fState->cnv);
}

void TCodePageDecoder::Decode(const char* bytes, size_t n, bool last, UnicodeString& out) {
  if (fState->table) {
    const size_t at = out.size();
    out.resize(at + n);
    char16_t* d = out.data() + at;
    const auto* b = reinterpret_cast<const uint8_t*>(bytes);
    for (size_t i = 0; i < n; ++i) d[i] = fState->table[b[i]];
    return;
  }
  const char* s = n ? bytes : "";
  const char* end = s + n;
  // A byte gives at most one unit, except where a converter gives back bytes it held: room for those.
  size_t at = out.size();
  out.resize(at + n + 16);
  for (;;) {
    UChar* t = reinterpret_cast<UChar*>(out.data() + at);
    UChar* const tEnd = reinterpret_cast<UChar*>(out.data() + out.size());
    UErrorCode err = U_ZERO_ERROR;
    ucnv_toUnicode(fState->cnv, &t, tEnd, &s, end, nullptr, last, &err);
    at = static_cast<size_t>(reinterpret_cast<char16_t*>(t) - out.data());
    if (err == U_BUFFER_OVERFLOW_ERROR) {
      out.resize(out.size() + static_cast<size_t>(end - s) + 16);
      continue;
    }
    if (U_FAILURE(err))
      throw EEncodingError(u"Text cannot be read in code page " + IntToStr(static_cast<int64_t>(fState->codePage)));
    break;
  }
  out.resize(at);
  if (last) ucnv_resetToUnicode(fState->cnv);
}

AnsiString UnicodeToAnsi(std::u16string_view text, uint32_t codePage) {
  if (!IsValidCodePage(codePage))
    throw EEncodingError(u"Unknown code page " + IntToStr(static_cast<int64_t>(codePage)));
  if (text.empty()) return {};
  if (text.size() > static_cast<size_t>(INT32_MAX)) throw EEncodingError(u"Text too long to convert");
  const auto n = static_cast<int32_t>(text.size());
  const int32_t need = WideCharToMultiByte(codePage, 0, text.data(), n, nullptr, 0, nullptr, nullptr);
  if (need <= 0) throw EEncodingError(u"Text cannot be written in code page " + IntToStr(static_cast<int64_t>(codePage)));
  AnsiString out(static_cast<size_t>(need), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), n, out.data(), need, nullptr, nullptr);
  return out;
}

// ---- is this buffer UTF-16? ----

bool IsTextUnicode(const void* lpv, int32_t iSize, int32_t* lpiResult) {
  const int32_t tests = lpiResult ? *lpiResult : 0xFFFF;
  if (!lpv || iSize < 2) {
    if (lpiResult) *lpiResult = 0;
    return false;
  }
  const auto* b = static_cast<const uint8_t*>(lpv);
  int32_t found = 0;
  if (iSize & 1) found |= IS_TEXT_UNICODE_ODD_LENGTH;
  if (b[0] == 0xFF && b[1] == 0xFE) found |= IS_TEXT_UNICODE_SIGNATURE;
  if (b[0] == 0xFE && b[1] == 0xFF) found |= IS_TEXT_UNICODE_REVERSE_SIGNATURE;

  const int32_t units = iSize / 2;
  std::bitset<256> highs, lows;
  int32_t highZero = 0, lowZero = 0, implausible = 0;
  bool anyZeroByte = false;
  for (int32_t i = (found & (IS_TEXT_UNICODE_SIGNATURE | IS_TEXT_UNICODE_REVERSE_SIGNATURE)) ? 1 : 0; i < units;
       ++i) {
    const uint8_t lo = b[2 * i], hi = b[2 * i + 1];
    const char16_t u = static_cast<char16_t>(lo | (hi << 8));
    const bool last = i == units - 1;
    highs[hi] = true;
    lows[lo] = true;
    if (hi == 0) ++highZero;
    if (lo == 0) ++lowZero;
    if (lo == 0 || hi == 0) anyZeroByte = true;
    switch (u) {
      case 0x0009: case 0x000A: case 0x000D: case 0x0020: case 0x3000:
        found |= IS_TEXT_UNICODE_CONTROLS;
        break;
      case 0x0900: case 0x0A00: case 0x0D00: case 0x2000: case 0x0030:
        found |= IS_TEXT_UNICODE_REVERSE_CONTROLS;
        break;
      // A reversed signature or CR LF read as one unit betray 8-bit or big-endian text.
      case 0xFFFE: case 0xFFFF: case 0x0A0D: case 0x0D0A:
        found |= IS_TEXT_UNICODE_ILLEGAL_CHARS;
        break;
      default:
        break;
    }
    // Plausibility: NULs inside the text, other C0 controls, unassigned code points and lone surrogates.
    if (u == 0) {
      if (!last) ++implausible;
    } else if (u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D && u != 0x0C && u != 0x1A) {
      ++implausible;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      const bool leadOk = u <= 0xDBFF && !last && (b[2 * i + 3] & 0xFC) == 0xDC;
      const bool trailOk = u >= 0xDC00 && i > 0 && (b[2 * i - 1] & 0xFC) == 0xD8;
      if (!leadOk && !trailOk) ++implausible;
    } else if (u_charType(u) == U_UNASSIGNED) {
      ++implausible;
    }
  }
  if (anyZeroByte) found |= IS_TEXT_UNICODE_NULL_BYTES;
  if (implausible * 16 > units) found |= IS_TEXT_UNICODE_ILLEGAL_CHARS;
  const int32_t counted = units - ((found & (IS_TEXT_UNICODE_SIGNATURE | IS_TEXT_UNICODE_REVERSE_SIGNATURE)) ? 1 : 0);
  if (counted > 0) {
    if (highZero == counted && lowZero == 0) found |= IS_TEXT_UNICODE_ASCII16;
    if (lowZero == counted && highZero == 0) found |= IS_TEXT_UNICODE_REVERSE_ASCII16;
    // Text in one or a few scripts repeats a few high bytes under many low bytes.
    const auto dh = static_cast<int32_t>(highs.count()), dl = static_cast<int32_t>(lows.count());
    if (highZero * 2 >= counted + 1 || (dl >= 8 && dh * 3 <= dl)) found |= IS_TEXT_UNICODE_STATISTICS;
    if (lowZero * 2 >= counted + 1 || (dh >= 8 && dl * 3 <= dh)) found |= IS_TEXT_UNICODE_REVERSE_STATISTICS;
  }

  const int32_t fired = found & tests;
  if (lpiResult) *lpiResult = fired;
  if (fired & IS_TEXT_UNICODE_SIGNATURE) return true;
  const bool positive = (fired & IS_TEXT_UNICODE_UNICODE_MASK) != 0;
  const bool negative = (fired & (IS_TEXT_UNICODE_NOT_UNICODE_MASK | IS_TEXT_UNICODE_REVERSE_MASK)) != 0;
  return positive && !negative;
}

}  // namespace kx8
