// The corpus pipeline's word rule, shared by every command: how a chunk of text is classified before it
// is searched or its words counted. A word is a run of letters and digits; combining marks and joiners
// belong to the word they sit in; the middle characters (by default the apostrophes ' and ’) join
// the letters on each side ("don't", "l'installation"); '.', ',' and the middle dot between digits
// join them ("3,000.5"). Sentence ends and paragraph ends are marked in the same forward pass.
#pragma once

#include <cstdint>
#include <vector>

#include "kx8rt/platform/strings.h"

namespace kx8 {

// The middle characters every command uses unless told otherwise.
inline const char16_t* const kCorpusDefaultMiddleChars = u"'\u2019";

// How a chunk is classified.
struct TCorpusWordRule {
  UnicodeString middle_chars = kCorpusDefaultMiddleChars;  // at most ten are used
  bool mark_tags = false;  // characters from "<" to ">" are tag characters (for search words with tags)
  // Runs of Han, Hiragana, Katakana, Thai, Lao, Khmer and Myanmar letters are cut into the words of the
  // language's dictionary; text without such runs is not touched.
  bool segment = true;
};

// What the marking pass found.
struct TCorpusMarks {
  int32_t sentence_ends = 0;
  int32_t paragraph_ends = 0;
};

// Whether every one of the n units of text is below 0x80.
bool IsSevenBitText(const char16_t* text, int32_t n);

// Whether a character belongs to a script written without spaces between words.
bool IsUnspacedScriptChar(char32_t c);

class TWordStartCache;

// Marks, with word_start_flag, where dictionary words begin inside the runs of letters that hold
// characters of scripts written without spaces. Returns the number of runs cut. A window with much to
// cut is looked up in the process's cache of cut windows first, and kept there after (see
// word_start_cache.h); the second form uses the cache given.
int32_t SegmentUnspacedRuns(const char16_t* text, uint16_t* types, int32_t n);
int32_t SegmentUnspacedRuns(const char16_t* text, uint16_t* types, int32_t n, TWordStartCache& cache);
// What the cut's results depend on beyond the window: the dictionary, ICU and this build of the cut
// (the salt of the cache's keys).
uint64_t WordCutMake();

// Applies the word rule to n characters whose type words (one per character, plus two spare) hold their
// plain classification: joiners, middle characters, number separators, then sentence ends (the first
// white space after a '.', '!' or '?' that is followed, past any non-letters, by a character that is
// not lower case, and not straight by a digit) and paragraph ends (a line break after a blank line)
// as segment markers, then tags when asked.
TCorpusMarks ApplyCorpusWordRule(const char16_t* text, uint16_t* types, int32_t n, const TCorpusWordRule& rule);

// Whether a type word is a word character under the rule (a letter or digit outside tags and markers).
constexpr bool IsCorpusWordChar(uint16_t t) { return (t & 0x8800) == 0 && (t & 0x0104) != 0; }
// Whether a word begins at the character of type t whose left neighbour has type before.
constexpr bool IsCorpusWordStart(uint16_t before, uint16_t t) {
  return IsCorpusWordChar(t) && (!IsCorpusWordChar(before) || (t & 0x0400) != 0);
}


// Classifies n characters of a window (zero-terminated at n) into types (grown as needed, two spare
// entries) and applies the word rule.
TCorpusMarks ClassifyCorpusWindow(const char16_t* text, int32_t n, std::vector<uint16_t>& types,
                                  const TCorpusWordRule& rule);

// Calls onWord(start, length) for each word beginning in [from, to) of a classified window of n
// characters (a word already running at from is the part before's; a word may run on past to), and
// onMarker(index) for each segment marker (sentence or paragraph end) passed between words there.
template <typename Word, typename Marker>
void ForEachCorpusWordIn(const uint16_t* types, int32_t n, int32_t from, int32_t to, Word&& onWord, Marker&& onMarker) {
  int32_t i = from;
  if (i > 0)
    while (i < to && IsCorpusWordChar(types[i]) && !IsCorpusWordStart(types[i - 1], types[i])) ++i;
  while (i < to) {
    const uint16_t t = types[i];
    if (!IsCorpusWordChar(t)) {
      if (t & 0x8000) onMarker(i);
      ++i;
      continue;
    }
    const int32_t s = i++;
    while (i < n && IsCorpusWordChar(types[i]) && (types[i] & 0x0400) == 0) ++i;
    onWord(s, i - s);
  }
}

// What [from, to) of a classified chunk holds, counted in one pass.
struct TCorpusCounts {
  int64_t break_starts = 0;    // places where a break (white space, tag, marker) is followed by no break:
                               // the word starts the matcher's statistics count
  int64_t words = 0;           // words beginning there (a word running in from before from is not)
  int64_t sentence_ends = 0;   // sentence-end markers
  int64_t paragraph_ends = 0;  // paragraph-end markers
};
inline TCorpusCounts& operator+=(TCorpusCounts& a, const TCorpusCounts& b) {
  a.break_starts += b.break_starts;
  a.words += b.words;
  a.sentence_ends += b.sentence_ends;
  a.paragraph_ends += b.paragraph_ends;
  return a;
}
// types[to] must be readable (the spare entry at a chunk's end will do); so must every entry below
// readable when it is given (beyond to + 1), which lets the count read whole blocks past to.
TCorpusCounts CountCorpusUnits(const uint16_t* types, int32_t from, int32_t to, int32_t readable = 0);

}  // namespace kx8
