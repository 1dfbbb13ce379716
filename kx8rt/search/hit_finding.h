// Hit finding in buffers: the matcher under every search. It scans a text buffer with its
// character-type words for one parsed search word and keeps the running text statistics (words,
// sentences, paragraphs, headings, sections), calling the section-end procedures as markers pass.
//
// Wildcards: "?" is one character or none and "^" one letter or none, so that "colou?r" finds both
// "colour" and "color"; every "?" or "^" of a run reads the same way, so "paque??" finds "paque",
// "paquet" and "paquets" and "^^^" every word of one to three letters. "*" is any run inside a word.
// None of them takes in whitespace, and a hit is never empty: a pattern of wildcards alone must match
// at least one character.
//
// Case: NewFindWantedInBuffer compares a character with the upper, lower and title copies at its
// place. NewFindWantedInBufferWithClosure, which the search-and-do engine uses, compares it with a
// table of every unit of the place's case closure, so that σ, ς and Σ, ß and ẞ, or ǅ, ǆ and Ǆ match
// one another whichever of them the user typed; it is still at most four comparisons a character.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

namespace kx8 {

// The text units the statistics count.
enum Ttext_stats : uint8_t { word_stats, sentence_stats, paragraph_stats, heading_stats, section_stats };
inline constexpr int text_stats_count = section_stats + 1;

// Running statistics of a buffer, indexed by Ttext_stats.
struct TSearchStatsRec {
  // word_stats: words passed so far; others: number of the current sentence, paragraph, heading, section.
  std::array<int32_t, text_stats_count> number{};
  // Word position inside the current sentence .. section (the word_stats element is not used).
  std::array<int32_t, text_stats_count> position{};
  // Set to the positions by the matcher; callers may later put unit lengths here.
  std::array<int32_t, text_stats_count> out_of{};
};

// Told that a unit ended: its number and the word position reached in it.
using THandleTextSectionProc = std::function<void(int32_t aNumber, int32_t aEnds_at)>;

// Section-end procedures the matcher calls as end (or, when ends are not marked, start) markers pass.
// Each does nothing until a tool assigns its own; an empty function is skipped.
inline THandleTextSectionProc HandleSentenceEndProc = [](int32_t, int32_t) {};
inline THandleTextSectionProc HandleParagraphEndProc = [](int32_t, int32_t) {};
inline THandleTextSectionProc HandleHeadingEndProc = [](int32_t, int32_t) {};
inline THandleTextSectionProc HandleSectionEndProc = [](int32_t, int32_t) {};

// Whether the scan is inside a heading; carried from one call (and buffer chunk) to the next. One per
// thread, so that a tool may run one engine on each of several threads.
inline thread_local bool Global_in_heading = false;
// Statistics of the whole file being searched, for tools that sum chunk statistics.
inline TSearchStatsRec Global_OneFilesStats;
// Clears Global_OneFilesStats and Global_in_heading before a new file.
void ClearGlobalOneTextStats();

// Scans Count characters from Text (UTF-16 units when IsUnicode, else bytes) for the pattern and returns
// the first hit, or nullptr. Types is the type word of the character at Text, TypesStart the first type
// word of the buffer (the left neighbour of a hit is looked at only after it), and no type word at or
// beyond TypesEnd is read (pass the address of the buffer's last spare entry). The three patterns are
// index-aligned case copies of PatternLength units (for an 8-bit buffer they hold code-page byte
// values). HitLength receives the hit including a right extension when RightBounded is false,
// ExactLength what the pattern itself matched. Stats and InHeading are updated for every character
// the scan passes, up to and including the hit start. SkipAnyTags is accepted and not used.
const void* NewFindWantedInBuffer(const void* Text, int32_t Count, const uint16_t* Types, const uint16_t* TypesStart,
                                  const uint16_t* TypesEnd, const char16_t* UpperPattern, const char16_t* LowerPattern,
                                  const char16_t* TitlePattern, uint16_t PatternLength, bool CaseSensitive,
                                  bool LeftBounded, bool RightBounded, bool IsUnicode, bool SkipPunctuation,
                                  bool SkipAnyTags, uint16_t& HitLength, uint16_t& ExactLength, TSearchStatsRec& Stats,
                                  bool& InHeading, bool SentenceEndsMarked, bool ParagraphEndsMarked,
                                  bool HeadingEndsMarked, bool SectionEndsMarked);

// As NewFindWantedInBuffer, with the case copies replaced by a case-closure table: Pattern is the lower
// copy (codes included) and CaseClosure holds max_case_closure units for each of its PatternLength
// places, the first being the pattern's own (CaseClosureTable of the search-word parsing). A null
// table, or CaseSensitive, matches the pattern's units only.
const void* NewFindWantedInBufferWithClosure(const void* Text, int32_t Count, const uint16_t* Types,
                                             const uint16_t* TypesStart, const uint16_t* TypesEnd,
                                             const char16_t* Pattern, const char16_t* CaseClosure,
                                             uint16_t PatternLength, bool CaseSensitive, bool LeftBounded,
                                             bool RightBounded, bool IsUnicode, bool SkipPunctuation,
                                             uint16_t& HitLength, uint16_t& ExactLength, TSearchStatsRec& Stats,
                                             bool& InHeading, bool SentenceEndsMarked, bool ParagraphEndsMarked,
                                             bool HeadingEndsMarked, bool SectionEndsMarked);

// As NewFindWantedInBufferWithClosure, counting nothing: for callers that count words, sentences and
// paragraphs themselves, over the same type words. Markers are passed over like any other type; the
// scan then reads type words only where a match is tried (and in blocks where a tag could matter).
const void* NewFindWantedInBufferUncounted(const void* Text, int32_t Count, const uint16_t* Types,
                                           const uint16_t* TypesStart, const uint16_t* TypesEnd,
                                           const char16_t* Pattern, const char16_t* CaseClosure,
                                           uint16_t PatternLength, bool CaseSensitive, bool LeftBounded,
                                           bool RightBounded, bool IsUnicode, bool SkipPunctuation,
                                           uint16_t& HitLength, uint16_t& ExactLength);

// One search of a buffer for one pattern, with its settings by name: the readable form of the
// matcher's long argument list (NewFindWantedInBufferWithClosure underneath).
struct TFindRequest {
  const void* text = nullptr;             // where the scan starts
  int32_t count = 0;                      // characters to scan
  const uint16_t* types = nullptr;        // type word of the character at text
  const uint16_t* types_start = nullptr;  // first type word of the buffer
  const uint16_t* types_end = nullptr;    // no type word at or beyond this is read
  const char16_t* pattern = nullptr;      // the lower copy, codes included
  const char16_t* case_closure = nullptr; // max_case_closure units a place, or null
  uint16_t pattern_length = 0;
  bool case_sensitive = false;
  bool left_bounded = true;
  bool right_bounded = true;
  bool is_unicode = true;
  bool skip_punctuation = false;
  bool sentence_ends_marked = false, paragraph_ends_marked = false;
  bool heading_ends_marked = false, section_ends_marked = false;
};

// Where the pattern was found (null: nowhere) and how long the hit is.
struct TFindResult {
  const void* hit = nullptr;
  uint16_t hit_length = 0;    // with a right extension when not right-bounded
  uint16_t exact_length = 0;  // what the pattern itself matched
};

// Runs the request; stats and inHeading are updated as NewFindWantedInBuffer updates them.
inline TFindResult FindWanted(const TFindRequest& r, TSearchStatsRec& stats, bool& inHeading) {
  TFindResult f;
  f.hit = NewFindWantedInBufferWithClosure(r.text, r.count, r.types, r.types_start, r.types_end, r.pattern,
                                           r.case_closure, r.pattern_length, r.case_sensitive, r.left_bounded,
                                           r.right_bounded, r.is_unicode, r.skip_punctuation, f.hit_length,
                                           f.exact_length, stats, inHeading, r.sentence_ends_marked,
                                           r.paragraph_ends_marked, r.heading_ends_marked, r.section_ends_marked);
  return f;
}

}  // namespace kx8
