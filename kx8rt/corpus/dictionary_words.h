// Dictionary words of Chinese and Japanese: runs of Han, Hiragana and Katakana letters cut into the
// words of ICU's Chinese-Japanese dictionary, giving the same cuts as ICU's word break iterator but many
// times faster. The dictionary is read from ICU's data and turned into a trie that is walked one code
// unit at a time; a run is cut along the path of least cost through the words it holds. Making the trie
// takes longer than searching many a text, so it is made once for a user and ICU and kept in the user's
// cache folder (KX8_CACHE_DIR, else $XDG_CACHE_HOME/kx8, else ~/.cache/kx8; KX8_CACHE_DIR empty: not
// kept), where later processes map it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kx8rt/platform/large_buffers.h"

namespace kx8 {

// The library's cache folder: KX8_CACHE_DIR (empty: none), else $XDG_CACHE_HOME/kx8, else ~/.cache/kx8.
std::string UserCacheDir();

// What the cuts of this process depend on beyond the text: the dictionary's data, ICU's version and this
// build of the cutter, as one number (for keys of kept cuts).
uint64_t HanKanaCutMake();

// Whether c is a letter the Chinese-Japanese dictionary cuts: Han, Hiragana, Katakana, the prolonged
// sound marks and the halfwidth voicing marks (letters that ICU's dictionary break engine takes).
bool IsHanKanaChar(char32_t c);

class THanKanaDictionary;

// The word starts a cutter appends to: as many as a window has words, from the pool of huge pages (on
// some virtual machines the first touch of a fresh small page costs more than cutting its starts).
using TWordStartList = TPooledBuffer<int32_t>;

// A dictionary apart from the process's own, its trie kept in cacheDir (empty: not kept): mapped from
// there when a good one is there (fromCache), else made and written there.
std::shared_ptr<const THanKanaDictionary> LoadHanKanaDictionary(const std::string& cacheDir, bool* fromCache = nullptr);

// Cuts runs of Han and kana letters into dictionary words. Keeps its working arrays from run to run, so
// one is best kept for each thread; the dictionary behind it is shared.
class THanKanaCutter {
 public:
  THanKanaCutter();  // the first in the process loads the dictionary
  // With a dictionary of its own (LoadHanKanaDictionary), for tests of the cache.
  explicit THanKanaCutter(std::shared_ptr<const THanKanaDictionary> dictionary);
  ~THanKanaCutter();
  THanKanaCutter(const THanKanaCutter&) = delete;
  THanKanaCutter& operator=(const THanKanaCutter&) = delete;

  // Whether ICU's data holds the dictionary (without it every run is declined).
  bool available() const;

  // Takes a run [from, to) of the n characters of text made of Han, Hiragana and Katakana letters and
  // ASCII letters and digits (with apostrophes, full stops, commas and their like between them), to be
  // cut into words: each change between the two kinds begins a word, and so does such a middle
  // character and what follows it unless it stands between two ASCII letters (an apostrophe or a full
  // stop) or two digits, appended to starts at once; the Han and kana pieces are cut
  // into the dictionary's words by the next Cut. Returns false, taking nothing, when the run has no Han
  // or kana letter, or when it cannot give ICU's answer itself: the dictionary is missing, the run holds
  // any other character or one that NFKC would change (halfwidth Katakana, compatibility ideographs,
  // voicing marks), or a character of the dictionary's scripts touches the run on either side (ICU
  // would cut the longer run). The caller then asks ICU's break iterator.
  // The runs taken until Cut must all be of the same text.
  bool Add(const char16_t* text, int32_t n, int32_t from, int32_t to, TWordStartList& starts);
  // Takes at once, as Add would take each, the plain runs of the window text[0, n): runs of word
  // characters (word, a bit for each unit, 64 a word: (n + 63) / 64 words, the bits past n clear) whose
  // units are all unified ideographs, Hiragana, Katakana, the prolonged sound mark or ASCII letters and
  // digits, next to no unit of the ranges such letters lie in. Clears the bits of the runs it took in
  // high (as many words). Takes nothing where the processor lacks the vectors it needs.
  void AddPlainRuns(const char16_t* text, int32_t n, const uint64_t* word, uint64_t* high,
                    TWordStartList& starts);
  // Appends to starts the positions in the text where words begin inside the pieces taken since the
  // last Cut, in no particular order. The pieces are cut many at a time (Add cuts them itself when
  // many wait): most are short, and the look-ups of many run together.
  void Cut(TWordStartList& starts);
  // Add and Cut for one run (with nothing waiting from Add), its starts appended in ascending order.
  bool WordStarts(const char16_t* text, int32_t n, int32_t from, int32_t to, TWordStartList& starts);

  struct TCutWork;  // the pieces waiting and the arrays a cut works in

 private:
  const THanKanaDictionary* dictionary_;
  std::shared_ptr<const THanKanaDictionary> own_;
  std::unique_ptr<TCutWork> work_;
};

}  // namespace kx8
