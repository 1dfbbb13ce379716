// The options every kx8 command that reads a corpus shares, bound to CLI11: text choice (masks,
// sub-folders, archives, exclusions, hidden files), the code page of 8-bit texts and the middle
// characters of the word rule.
#pragma once

#include <CLI/CLI.hpp>
#include <kx8rt/corpus/concordance.h>
#include <kx8rt/corpus/corpus_texts.h>
#include <kx8rt/corpus/corpus_words.h>
#include <kx8rt/platform/code_pages.h>
#include <kx8rt/platform/strings.h>

#include <string>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>

#include <kx8rt/platform/cpu_features.h>
#endif

namespace kx8tool {

struct CorpusCliOptions {
  std::string mask = "*", excludeDirs, excludeExts;
  bool recurse = false, zips = false, hidden = false;
  int codepage = 0;
  std::string middles = "'\xE2\x80\x99";
  std::string segment = "auto";

  void Add(CLI::App& app) {
    AddChoice(app);
    // Checked by CodepageOk, with the message every command gives for a code page it cannot use.
    app.add_option("--codepage", codepage, "code page of 8-bit texts that are not UTF-8 (default: the system's, 1252)");
    app.add_option("--middle", middles,
                   "characters kept inside words when letters stand on both sides (default: ' and \xE2\x80\x99)");
    app.add_option("--segment", segment,
                   "auto: cut runs of Chinese, Japanese, Thai, Lao, Khmer and Myanmar letters into dictionary words "
                   "(default); off: a word runs to the next space or punctuation")
        ->check(CLI::IsMember({"auto", "off"}));
  }
  // The text-choice options alone.
  void AddChoice(CLI::App& app) {
    app.add_option("--mask", mask, "file masks, taken in order, e.g. \"*.txt;*.xml\"")->capture_default_str();
    app.add_flag("-r,--recurse", recurse, "sub-folders too");
    app.add_flag("--zips", zips, "walk zip archives found in the folders (an archive PATH is always walked)");
    app.add_option("--exclude-dirs", excludeDirs, "folders never entered, e.g. \"temp;old\"");
    app.add_option("--exclude-ext", excludeExts, "extensions never taken, e.g. \".exe;.dll\"");
    app.add_flag("--hidden", hidden, "hidden files and folders too");
  }
  kx8::TCorpusTextChoice Choice() const {
    kx8::TCorpusTextChoice c;
    c.mask = kx8::Utf8ToUtf16(mask);
    c.recurse = recurse;
    c.zips = zips;
    c.exclude_dirs = kx8::Utf8ToUtf16(excludeDirs);
    c.exclude_exts = kx8::Utf8ToUtf16(excludeExts);
    c.hidden = hidden;
    return c;
  }
  kx8::TCorpusWordRule Rule() const {
    kx8::TCorpusWordRule r;
    r.middle_chars = kx8::Utf8ToUtf16(middles);
    r.segment = segment != "off";
    return r;
  }
  // The code page asked for, refused up front (with convert's message) when it is not available.
  bool CodepageOk(const char* command) const {
    if (codepage != 0 && !kx8::IsValidCodePage(static_cast<uint32_t>(codepage))) {
      std::fprintf(stderr, "kx8 %s: code page %d is not available\n", command, codepage);
      return false;
    }
    return true;
  }
  static std::vector<kx8::UnicodeString> Paths(const std::vector<std::string>& paths) {
    std::vector<kx8::UnicodeString> out;
    for (const auto& p : paths) out.push_back(kx8::NativeNameToUtf16(p));
    return out;
  }
};

// Parses a command's arguments (argv[-1] is the command's own name, which CLI11 passes over). False when
// the command is to end at once, with status set: 0 after --help, 2 after an error CLI11 has reported.
inline bool ParseCommandLine(CLI::App& app, int argc, char** argv, int& status) {
  try {
    app.parse(argc + 1, argv - 1);
    return true;
  } catch (const CLI::ParseError& e) {
    status = app.exit(e) == 0 ? 0 : 2;
    return false;
  }
}

// One key of a concordance sort: the file, or the n-th word left (-n) or right (n) of the hit (0: the hit).
struct SortKey {
  bool file = false;
  int32_t word = 0;
  bool ascending = true;
};

// "R1,L1,file" ("-KEY" descending) as one to three keys; false when the notation is not that.
inline bool ParseSortKeys(const std::string& spec, std::vector<SortKey>& keys) {
  keys.clear();
  size_t start = 0;
  while (start <= spec.size()) {
    const size_t comma = spec.find(',', start);
    std::string k = spec.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    SortKey key;
    if (!k.empty() && k[0] == '-') key.ascending = false, k.erase(0, 1);
    if (k == "file") key.file = true;
    else if (!kx8::ParseConcordanceKeyWord(kx8::Utf8ToUtf16(k), key.word)) return false;
    keys.push_back(key);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return !keys.empty() && keys.size() <= 3;
}

#if defined(__SSE2__) && defined(__GNUC__)
// Eight units from U+0800 up that are not surrogates (the letters and punctuation of Chinese, Japanese
// and Korean, Indic and Thai scripts), written as the 24 bytes of their UTF-8 at p; false, writing
// nothing, if any is another unit.
__attribute__((target("ssse3"))) inline bool ThreeByteUtf8(const char16_t* s, char* p) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
  // (Unsigned comparisons as signed ones of the units with their top bit turned over.)
  const __m128i x = _mm_xor_si128(v, _mm_set1_epi16(static_cast<int16_t>(0x8000)));
  const __m128i low = _mm_cmplt_epi16(x, _mm_set1_epi16(static_cast<int16_t>(0x0800 ^ 0x8000)));
  const __m128i surrogate = _mm_and_si128(_mm_cmpgt_epi16(x, _mm_set1_epi16(static_cast<int16_t>(0xD7FF ^ 0x8000))),
                                          _mm_cmplt_epi16(x, _mm_set1_epi16(static_cast<int16_t>(0xE000 ^ 0x8000))));
  if (_mm_movemask_epi8(_mm_or_si128(low, surrogate)) != 0) return false;
  const __m128i six = _mm_set1_epi16(0x3F), follow = _mm_set1_epi16(0x80);
  const __m128i lead = _mm_or_si128(_mm_srli_epi16(v, 12), _mm_set1_epi16(0xE0));
  const __m128i middle = _mm_or_si128(_mm_and_si128(_mm_srli_epi16(v, 6), six), follow);
  const __m128i last = _mm_or_si128(_mm_and_si128(v, six), follow);
  // a: the eight leads, then the eight middles; b: the eight lasts (twice). Byte k of the output is unit
  // k / 3's lead, middle or last by k % 3.
  const __m128i a = _mm_packus_epi16(lead, middle), b = _mm_packus_epi16(last, last);
  const __m128i firstA = _mm_setr_epi8(0, 8, -1, 1, 9, -1, 2, 10, -1, 3, 11, -1, 4, 12, -1, 5);
  const __m128i firstB = _mm_setr_epi8(-1, -1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1);
  const __m128i restA = _mm_setr_epi8(13, -1, 6, 14, -1, 7, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i restB = _mm_setr_epi8(-1, 5, -1, -1, 6, -1, -1, 7, -1, -1, -1, -1, -1, -1, -1, -1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p),
                   _mm_or_si128(_mm_shuffle_epi8(a, firstA), _mm_shuffle_epi8(b, firstB)));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16),
                   _mm_or_si128(_mm_shuffle_epi8(a, restA), _mm_shuffle_epi8(b, restB)));
  return true;
}
#endif

#if defined(__x86_64__) && defined(__GNUC__)
// Sixteen units of any kind but surrogates, written as their UTF-8 at p (control characters as spaces),
// 64 bytes stored of which the count returned are theirs; -1, writing nothing, if any is a surrogate.
// Each unit's one to three bytes are made in its 32-bit lane and the lanes' bytes compressed together,
// so that text mixing scripts, punctuation and ASCII costs no branch a unit.
__attribute__((target("avx512f,avx512bw,avx512vbmi2"))) inline int SixteenUnitsUtf8(const char16_t* s, char* p) {
  // (The zero-masked forms throughout: the plain ones start from an undefined vector, which GCC 12
  // warns of when they are inlined here.)
  constexpr __mmask16 all = 0xFFFF;
  __m512i c = _mm512_maskz_cvtepu16_epi32(all, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s)));
  if (_mm512_cmplt_epu32_mask(_mm512_sub_epi32(c, _mm512_set1_epi32(0xD800)), _mm512_set1_epi32(0x800)) != 0) return -1;
  c = _mm512_maskz_max_epu32(all, c, _mm512_set1_epi32(0x20));  // (control characters are spaces)
  const __mmask16 one = _mm512_cmplt_epu32_mask(c, _mm512_set1_epi32(0x80));
  const __mmask16 two = _mm512_cmplt_epu32_mask(c, _mm512_set1_epi32(0x800)) & ~one;
  const __m512i six = _mm512_set1_epi32(0x3F), follow = _mm512_set1_epi32(0x80);
  const __m512i last = _mm512_or_si512(_mm512_and_si512(c, six), follow);
  const __m512i middle = _mm512_or_si512(_mm512_and_si512(_mm512_maskz_srli_epi32(all, c, 6), six), follow);
  // Bytes in memory order, the first in the lane's low byte.
  const __m512i lead3 = _mm512_or_si512(_mm512_maskz_srli_epi32(all, c, 12), _mm512_set1_epi32(0xE0));
  const __m512i lead2 = _mm512_or_si512(_mm512_maskz_srli_epi32(all, c, 6), _mm512_set1_epi32(0xC0));
  __m512i bytes = _mm512_or_si512(
      lead3, _mm512_or_si512(_mm512_maskz_slli_epi32(all, middle, 8), _mm512_maskz_slli_epi32(all, last, 16)));
  bytes = _mm512_mask_mov_epi32(bytes, two, _mm512_or_si512(lead2, _mm512_maskz_slli_epi32(all, last, 8)));
  bytes = _mm512_mask_mov_epi32(bytes, one, c);
  __m512i used = _mm512_set1_epi32(0x00FFFFFF);
  used = _mm512_mask_mov_epi32(used, two, _mm512_set1_epi32(0x0000FFFF));
  used = _mm512_mask_mov_epi32(used, one, _mm512_set1_epi32(0x000000FF));
  const __mmask64 keep = _mm512_movepi8_mask(used);
  _mm512_storeu_si512(p, _mm512_maskz_compress_epi8(keep, bytes));
  return __builtin_popcountll(keep);
}
#endif

// Text as one output line: control characters become spaces, so that each hit stays on its line.
// Written through a pointer into room made at once (three bytes a unit at most, and room for a last
// vector's store), not byte by byte.
inline void AppendFlatUtf8(std::string& out, std::u16string_view s) {
#if defined(__SSE2__) && defined(__GNUC__)
  // (The processors with 256-bit vectors all have the byte shuffles.)
  const bool shuffles = kx8::Global_UseWideVectors;
  const bool wide = shuffles && kx8::Global_UseVectors512;
#endif
  const size_t n = s.size();
  const size_t old = out.size();
  out.resize(old + 3 * n + 64);
  char* const start = out.data() + old;
  char* p = start;
  size_t i = 0;
  while (i < n) {
#if defined(__SSE2__)
    // Eight 7-bit characters at a time, the common case of most corpora.
    if (i + 8 <= n) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + i));
      const __m128i zero = _mm_setzero_si128();
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<int16_t>(0xFF80))), zero)) == 0xFFFF) {
        const __m128i control = _mm_cmplt_epi16(v, _mm_set1_epi16(0x20));
        const __m128i flat = _mm_or_si128(_mm_andnot_si128(control, v), _mm_and_si128(control, _mm_set1_epi16(0x20)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(flat, flat));
        p += 8;
        i += 8;
        continue;
      }
      // (Pure 7-bit text is quicker eight units at a time as above; text of mixed kinds, sixteen at a
      // time here.)
      if (wide && i + 16 <= n) {
        const int bytes = SixteenUnitsUtf8(s.data() + i, p);
        if (bytes >= 0) {
          p += bytes;
          i += 16;
          continue;
        }
      }
      if (shuffles && ThreeByteUtf8(s.data() + i, p)) {
        p += 24;
        i += 8;
        continue;
      }
    }
#endif
    const char16_t c = s[i];
    if (c < 0x80) {
      *p++ = c < 0x20 ? ' ' : static_cast<char>(c);
      ++i;
    } else if (c < 0x800) {
      *p++ = static_cast<char>(0xC0 | (c >> 6));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
      ++i;
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      // Four bytes for the two units of the pair: within the room made.
      const char32_t cp = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(s[i + 1]) - 0xDC00);
      *p++ = static_cast<char>(0xF0 | (cp >> 18));
      *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (cp & 0x3F));
      i += 2;
    } else {
      const char32_t cp = (c >= 0xD800 && c <= 0xDFFF) ? 0xFFFD : c;  // a lone surrogate
      *p++ = static_cast<char>(0xE0 | (cp >> 12));
      *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (cp & 0x3F));
      ++i;
    }
  }
  out.resize(old + static_cast<size_t>(p - start));
}

}  // namespace kx8tool
