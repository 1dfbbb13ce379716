// The counts of a window of 7-bit text taken straight from its characters, without a type array: the
// same word starts, words, sentence ends and paragraph ends that classifying the window, applying the
// word rule (without tags) and CountCorpusUnits give. A search that classifies only around its
// candidates counts the rest of the window this way.
#pragma once

#include <cstdint>
#include <vector>

#include "kx8rt/corpus/corpus_words.h"

namespace kx8 {

// How the word rule tells 7-bit characters apart: breaks are white space and controls (the type
// array's whitespace mask); letters and digits by their table classes.
constexpr bool IsAsciiBreak(char16_t c) { return c <= 0x20 || c == 0x7F; }
constexpr bool IsAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
constexpr bool IsAsciiAlnum(char16_t c) { return IsAsciiDigit(c) || ((c | 0x20) >= u'a' && (c | 0x20) <= u'z'); }

// The 7-bit units one place of a search word's beginning accepts (one to four).
struct TUnitPlace {
  char16_t units[4] = {};
  int count = 0;
};

class TAsciiWindowCounts {
 public:
  // Whether the processor has what Take needs (256-bit vectors); without it the type array serves.
  static bool Available();
  // Appends to out the positions i in [from, to) of text where each of the places (one to four) holds
  // one of its units: text[i + p] is one of places[p]'s (a place past the text's end holds none); stops
  // and returns false once out would hold more than most.
  static bool FindUnits(const char16_t* text, int32_t n, int32_t from, int32_t to, const TUnitPlace* places,
                        int placeCount, std::vector<int32_t>& out, size_t most);
  // The same over 7-bit text held as bytes, one a unit.
  static bool FindUnits(const uint8_t* text, int32_t n, int32_t from, int32_t to, const TUnitPlace* places,
                        int placeCount, std::vector<int32_t>& out, size_t most);

  // Takes the n units of text, every one below 0x80, with the rule's middle characters (those at or
  // above 0x80 cannot occur and are passed over). Keeps its arrays from window to window.
  void Take(const char16_t* text, int32_t n, const UnicodeString& middleChars);
  // The same from bytes, one a unit. The ahead_length bytes at ahead (mapped memory, or null) are asked
  // for from memory meanwhile, a cache line a block: they are what the caller reads next.
  void Take(const uint8_t* text, int32_t n, const UnicodeString& middleChars, const uint8_t* ahead = nullptr,
            int32_t ahead_length = 0);

  // What [from, to) holds, as CountCorpusUnits counts it over the classified window.
  TCorpusCounts Count(int32_t from, int32_t to) const;

  // Whether the character at i is a break (white space or a control character).
  bool BreakAt(int32_t i) const { return (breaks_[static_cast<size_t>(i) >> 6] >> (i & 63)) & 1; }
  // Whether the character at i belongs to a word as the rule has it: a letter or digit, a middle
  // character between two of them, a number's separator between two digits. False outside the window.
  bool WordAt(int32_t i) const {
    return Bit(alnum_, i) || (Bit(middles_, i) && Bit(alnum_, i - 1) && Bit(alnum_, i + 1)) ||
           (Bit(separators_, i) && Bit(digits_, i - 1) && Bit(digits_, i + 1));
  }
  // The sentence and paragraph ends the rule marks in the whole window.
  int32_t SentenceEnds() const { return sentenceCount_; }
  int32_t ParagraphEnds() const { return paragraphCount_; }

 private:
  template <typename Unit>
  void TakeUnits(const Unit* text, int32_t n, const UnicodeString& middleChars, const uint8_t* ahead,
                 int32_t aheadLength);
  bool Bit(const std::vector<uint64_t>& v, int32_t i) const {
    return i >= 0 && i < n_ && ((v[static_cast<size_t>(i) >> 6] >> (i & 63)) & 1);
  }

  int32_t n_ = 0;
  std::vector<uint64_t> breaks_, wordStarts_, breakStarts_;
  // Working masks; once Take is done newlines_ holds the paragraph ends.
  std::vector<uint64_t> alnum_, digits_, middles_, separators_, terminators_, newlines_, blanks_, looked_;
  // The sentence rule's classes (lower case, terminators' company, white space), the gaps between
  // letters and digits that a sentence may end in, and the sentence ends.
  std::vector<uint64_t> lower_, potential_, space_, gaps_, sentences_;
  int32_t sentenceCount_ = 0;
  int32_t paragraphCount_ = 0;
  // The classes of the 7-bit units for the middle characters it was made for (refilled when they change).
  alignas(64) uint8_t classTable_[128] = {};
  char16_t tableMiddles_[10] = {};
  int tableMiddleCount_ = -1;
};

}  // namespace kx8
