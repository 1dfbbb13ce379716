// The search-and-do engine: owns one text buffer at a time (a zero-terminated chunk of a file, UTF-16 or
// 8-bit) with its character-type words, searches it for one parsed search word after another through
// the buffer matcher and hands every hit to the caller's found event, which does the real work.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "kx8rt/files/file_utils.h"
#include "kx8rt/platform/large_buffers.h"
#include "kx8rt/platform/locales.h"
#include "kx8rt/platform/strings.h"
#include "kx8rt/search/hit_finding.h"
#include "kx8rt/search/search_parsing.h"
#include "kx8rt/containers/search_types.h"

namespace kx8 {

// Byte offset from the buffer start at which searches begin (and restart, when a found event asks);
// 0 or less: the buffer start. Shared by every engine of a thread (one per thread, so that engines on
// several threads do not move each other's searches).
inline thread_local int32_t Global_LowestJumpTo = 0;

// Per segment-marker code 14..21 (element 0 = code 14), how many such markers the text has.
using TTagsFoundArray = std::array<int32_t, 8>;

// One hit, as the found event receives it.
struct TSearchFound_Rec {
  const void* start_of_text = nullptr;       // the buffer
  const void* where_hit_started = nullptr;   // first character of the hit
  float percent_of_file = 0;                 // where the hit lies in the whole file, 0..100
  int32_t hit_pos_in_wchar_kinds = 0;        // character index of the hit in the buffer
  int32_t FileBytePos = 0;                   // byte position of the buffer's start in the file
  int32_t exact_hit_len = 0;                 // characters the pattern itself matched
  int32_t hit_characters = 0;                // characters of the hit with any right extension
  int32_t search_number = 0;                 // the engine's current_search_number
  int32_t hit_pos_in_characters = 0;         // the same index as hit_pos_in_wchar_kinds
  TSearchStatsRec count_stats;               // chunk statistics at the hit; heading -1 outside headings
};

class TSearchAndDoEngine;
// Offered each hit; true when the hit counts towards the word's wanted number.
using TSearchFoundEvent = std::function<bool(TSearchAndDoEngine& Sender, const TSearchFound_Rec& SearchFound)>;
// Told the chunk statistics once a search is over.
using TWordCountEvent = std::function<void(TSearchAndDoEngine& Sender, const TSearchStatsRec& Word_count)>;

// A search word's share of a tool's summary.
struct TBreakdownRec {
  UnicodeString sw;
  int32_t found = 0;
  int32_t out_of = 0;
};
using Tarray_of_array_of_BreakdownRec = std::vector<std::vector<TBreakdownRec>>;
// The totals behind a tool's summary of a search.
struct TSummaryArrays {
  std::vector<int32_t> breakdown_totals;
  std::vector<int32_t> main_count;
  std::vector<float> cumulative_count;
  Tarray_of_array_of_BreakdownRec breakdown_values;
};

// Searches one buffer at a time for parsed search words. One thread; the found event and the yield hook
// may call Cancel or FoundEnough.
class TSearchAndDoEngine {
 public:
  // An engine for buffers in the locale AnLCID (its 8-bit code page is used for 8-bit buffers).
  explicit TSearchAndDoEngine(LCID AnLCID);
  virtual ~TSearchAndDoEngine() = default;
  TSearchAndDoEngine(const TSearchAndDoEngine&) = delete;
  TSearchAndDoEngine& operator=(const TSearchAndDoEngine&) = delete;

  // ---- properties ----
  int32_t BufferLength() const { return fBuffer_Characters; }
  // Characters the searches consider; never more than the buffer holds (a larger value is cut).
  void SetBufferLength(int32_t Value);
  bool Cancelled() const { return fCancelled; }
  const UnicodeString& Filename() const { return fFilename; }
  bool SkipPunctuation() const { return fSkipPunctuation; }
  void SetSkipPunctuation(bool Value) { fSkipPunctuation = Value; }
  const UnicodeString& ReplaceText() const { return fReplace_text; }
  void SetReplaceText(const UnicodeString& Value) { fReplace_text = Value; }
  const TSearchFoundEvent& SearchFoundEvent() const { return fSearchFoundEvent; }
  void SetSearchFoundEvent(TSearchFoundEvent Value) { fSearchFoundEvent = std::move(Value); }
  LCID TheLCID() const { return fLCID; }
  // A new locale and its code page.
  void SetLCID(LCID AnLCID);
  // Hits reported since the engine was made.
  int32_t HitsFound() const { return fHits_found; }
  // A buffer and a found event have been given.
  bool Ready() const { return fReady; }
  // The first type word of the buffer and the entry after the last character.
  uint16_t* BufferDetailsStart() const { return fBufferDetailsStart; }
  uint16_t* BufferDetailsEnd() const { return fBufferDetailsEnd; }

  // ---- a buffer ----

  // Takes a zero-terminated buffer (nil: none) in BufferFormat: fc_UTF16 is UTF-16, anything else
  // 8-bit. Counts it up to the terminator and classifies every character under the locale.
  void SetABuffer(const void* AStartOfText);
  // The same for a buffer whose length is known (it need not be zero-terminated at that length).
  void SetABuffer(const void* AStartOfText, int32_t length);
  void SetABuffer(const void* AStartOfText, TKXFileFormat aFormat);
  // Everything a chunk of a concordanced file needs; ABufferDetails and ABufferDetailsEnd are accepted
  // and not used (they are derived from the buffer). ABuffer_Characters, when above zero, is the
  // buffer's length, which then is not looked for.
  void PrepareForConcordancing(const UnicodeString& AFilename, const void* AStartOfText, const uint16_t* ABufferDetails,
                               const uint16_t* ABufferDetailsEnd, int32_t AComplete_file_Size,
                               int32_t ABuffer_Characters, int32_t ABufferStartPosInFile, bool ABufferGotConverted,
                               bool ASkipPunctuation, TSearchFoundEvent ASearchFoundEvent,
                               TWordCountEvent AWordCountEvent);
  // The lighter preparation of a first chunk.
  void PrepareFirst(const void* ABuffer, int32_t AComplete_file_Size, int32_t ABufferStartPosInFile,
                    TSearchFoundEvent ASearchFoundEvent, TWordCountEvent AWordCountEvent);
  // After one yield, makes the language's allowable middle characters (the first ten of
  // wide_allowables) letters where they stand inside words of the buffer.
  void HandleAllowables(const UnicodeString& wide_allowables, bool allow_middles_at_right, bool allow_middles_at_left);
  // Copies the eight marker counts (codes 14..21) at anArrayOfTagsFound; nil clears them.
  void SetArrayOfTagsFound(const int32_t* anArrayOfTagsFound);

  void ClearChunkTextStats() { ThisFileChunk_Stats = TSearchStatsRec{}; }
  // Off: the matcher counts nothing and each hit's count_stats is left as it stands (cleared), for a
  // caller that counts the buffer's words, sentences and paragraphs itself; the search is then faster.
  void SetCountingInMatcher(bool Value) { fCountInMatcher = Value; }
  // Off: a buffer handed over is not classified; its type array (BufferDetails) is only sized (what it
  // held before stays), for a caller that classifies the stretches it searches itself.
  void SetClassifyingBuffer(bool Value) { fClassifyBuffer = Value; }
  void ClearCancel() { fCancelled = false; }
  // Ends the running search after the current hit; gives the user interface one turn.
  void Cancel();
  // Ends the running search after the current hit.
  void FoundEnough() { fChega = true; }

  // Searches the buffer for item, offering each hit to the found event, until the item's n_to_find hits
  // are accepted, the buffer ends, or FoundEnough or Cancel is called. False (nothing searched) when
  // the engine is not ready or item is nil or empty. An 8-bit buffer re-codes item's copies into the
  // code page once (copies_converted); a case-sensitive item gets its case copies set to the word.
  bool SearchAndDo(TSearch_word_format_rec* item);
  // The same, copying item_num into each hit's search_number.
  bool SearchAndDo(TSearch_word_format_rec* item, int32_t item_num);

  // ---- state the tools and found events read and set ----

  // Set by the found event to make the search restart at Global_LowestJumpTo bytes from the buffer start
  // (a restart never goes back to or before the hit just reported, so that a search always ends).
  bool fLowestJumpToChanged = false;
  // The buffer is a UTF-16 conversion of an 8-bit file: percentages are halved.
  bool BufferGotConverted = false;
  // Character-type words: one per character and two spare; callers may add tag and marker flags.
  // (From the pool of huge pages, which gives a whole text's array as a large buffer and a window's from
  // huge pages the process keeps: on some virtual machines the first touch of a fresh small page costs
  // more than classifying the units it holds.)
  TPooledBuffer<uint16_t> BufferDetails;
  TKXFileFormat BufferFormat = fc_Unknown;
  // Running statistics of this chunk.
  TSearchStatsRec ThisFileChunk_Stats;
  // The 8-bit code page of the locale.
  uint32_t Codepage = 0;
  int32_t current_search_row = 0;
  int32_t current_search_number = 0;
  // True for an engine working beside a main one (it logs less).
  bool IsAdditionalEngine = false;
  TTagsFoundArray Arr_OfTextMarkersFound{};
  int32_t FileBytePos = 0;

 protected:
  TWordCountEvent fWordCountEvent;
  TSearchFoundEvent fSearchFoundEvent;
  uint16_t* fBufferDetailsStart = nullptr;
  uint16_t* fBufferDetailsEnd = nullptr;
  int32_t fHits_found = 0;
  int32_t fComplete_file_size = 0;
  int32_t fBuffer_Characters = 0;
  const void* fStartOfText = nullptr;
  bool fChega = false;
  bool fSkipPunctuation = false;
  bool fCountInMatcher = true;
  bool fClassifyBuffer = true;
  bool fSkipAnyTags = false;
  bool fCancelled = false;
  bool fReady = false;
  UnicodeString fReplace_text;
  LCID fLCID = 0;
  UnicodeString fFilename;

  bool IsUnicodeBuffer() const { return BufferFormat == fc_UTF16; }
  int32_t CharSize() const { return IsUnicodeBuffer() ? 2 : 1; }
  // Up to n characters of the buffer from index at, as UTF-16.
  UnicodeString BufferTextAt(int64_t at, int32_t n) const;

 private:
  // Characters a buffer may hold without the counts overflowing.
  int32_t fBufferCapacity = 0;
  void LogSeeking(const TSearch_word_format_rec& item) const;
  void LogHit(int64_t hitIdx, int64_t idx, int64_t remaining, float percent) const;
};

// An engine used beside a main one (for context words); it does not log what it seeks.
class TAdditionalSearchAndDoEngine : public TSearchAndDoEngine {
 public:
  explicit TAdditionalSearchAndDoEngine(LCID AnLCID);
  // The exact word gap the caller wants between the context word and the search word.
  int32_t context_exact_gap_required = 0;
  void SetContext_exact_gap_required(int32_t Value) { context_exact_gap_required = Value; }
};

// The word-list tool's quick question: does a word occur in the buffer at all, tags read as plain text?
class TWLSearchAndDo : public TSearchAndDoEngine {
 public:
  using TSearchAndDoEngine::TSearchAndDoEngine;

  UnicodeString lo_copy;
  UnicodeString title_copy;
  UnicodeString search_text;  // the upper-case copy (the word itself when case-sensitive)
  UnicodeString case_closure;  // the copies' case-closure table, set with them
  TMySearchFlags flags;

  // Stores the word's copies: upper, lower and title case, or the word three times when AFlags say
  // case-sensitive.
  void SetSearchWord(const UnicodeString& aSearchWord, TMySearchFlags AFlags);
  // True when the word occurs in the buffer (a trailing asterisk code is not matched itself); the
  // buffer's own type words are left alone.
  bool QuickSearchFoundIgnoringTags();

 private:
  std::vector<uint16_t> fBufferPWChar;
};

}  // namespace kx8
