// The concordance of a corpus: every hit of a search word in the chosen texts with its position, its
// word, sentence and paragraph numbers and its context, found by the search-and-do engine. Texts are
// read and decoded chunk by chunk (a few MB at a time, chunks overlapping so that a hit and its context
// across a chunk edge are found once and whole), so memory stays bounded by the chunk, not the text.
// Several workers may search at once (one engine each); hits still reach the caller in text order, on
// the caller's thread, exactly as one worker finds them.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "kx8rt/corpus/corpus_texts.h"
#include "kx8rt/corpus/corpus_words.h"
#include "kx8rt/files/file_utils.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// What to search for and how.
struct TConcordanceOptions {
  UnicodeString search_word;                  // the search notation: alternatives a/b, wildcards, ==Case==, tags, a context clause
  UnicodeString search_file;                  // search requests, one a line (added to search_word)
  std::vector<UnicodeString> context_words;   // keep a hit only when one of these is within span words
  std::vector<UnicodeString> exclusion_words; // drop a hit when one of these is within span words
  int32_t span = 5;                           // words each side for context and exclusion words
  UnicodeString lemma_file;                   // widen a head word or variant to all forms of its lemma
  UnicodeString stop_file;                    // drop hits that are stop words
  bool case_sensitive = false;
  int64_t max_hits = -1;                      // the first max_hits hits in the corpus's order; -1: all
  TCorpusWordRule word_rule;                  // middle characters (tags are marked when a search word holds one)
  bool skip_punctuation = false;              // punctuation between the words of a phrase is passed over
  uint16_t codepage = 0;                      // of 8-bit texts; 0: the system's
  int32_t context_chars = 40;                 // characters of context each side (at most 10,000)
  std::vector<int32_t> key_words;             // words wanted with each hit: -n is the n-th left, n the n-th right (1..9), 0 the hit
  TCorpusTextChoice choice;                   // which texts under the paths
  int32_t workers = 1;                        // searches at once; 0: the machine's cores
  // Chunking: UTF-16 units a chunk owns, and units of overlap each side (0: enough for a hit, its
  // context and the words the options look at, with room to spare; what reaches further is cut at
  // the overlap's edge).
  int32_t chunk_units = 1 << 18;
  int32_t margin_units = 0;
  // Windows of 7-bit text searched for single words that begin with plain characters are typed only
  // round the places where a word's beginning stands, and counted from their characters (same results;
  // off to compare).
  bool sparse_plain_text = true;
  // A plain file whose first bytes are 7-bit is read as 7-bit at once, and measured only if a window is
  // not (or its hits cannot wait for its end), instead of being measured first (same results; off to
  // compare).
  bool presume_seven_bit = true;
};

// One hit, as the caller is told it. The views are valid during the call only.
struct TConcordanceHit {
  int32_t text = 0;              // index of the text in Texts()
  int64_t pos = 0;               // 0-based UTF-16 position of the hit in its text
  int32_t length = 0;            // UTF-16 units of the hit
  double percent = 0;            // where in the text it lies, 0..100
  int64_t word = 0, sentence = 0, paragraph = 0;  // 1-based numbers of the hit's word, sentence, paragraph
  int32_t search_number = 0;     // which of the search words found it
  std::u16string_view left, node, right;
  std::vector<std::u16string_view> keys;  // the key_words asked for, upper-cased, in their order
};

// What became of one text, told after its hits (or instead of them).
struct TConcordanceTextSummary {
  int32_t text = 0;
  bool searched = false;
  UnicodeString skipped_because;  // why it was not searched
  bool unreadable = false;        // it could not be read (rather than being no text)
  TKXFileFormat format = fc_Unknown;
  int64_t characters = 0;         // UTF-16 units searched
  int64_t words = 0;              // words under the word rule
  int64_t hits = 0;
};

// Totals of a run.
struct TConcordanceTotals {
  int64_t hits = 0;
  int64_t texts = 0, texts_searched = 0, texts_with_hits = 0, texts_skipped = 0;
  int64_t characters = 0, words = 0;
  int64_t problems = 0;  // paths that could not be walked or read
  bool stopped = false;  // ended early by max_hits or Cancel
};

using TConcordanceHitEvent = std::function<void(const TConcordanceHit&)>;
using TConcordanceTextEvent = std::function<void(const TConcordanceTextSummary&)>;

// A concordancer for one set of options: the search words are parsed (and the lemma, stop and search
// files read) when it is made, so that a bad notation or a missing file is known before any text is.
class TConcordancer {
 public:
  // Raises kx8::Exception with a message for the user when the options cannot be searched with:
  // nothing to search for, an unreadable search, lemma or stop file, a code page that is not available.
  explicit TConcordancer(TConcordanceOptions options);
  ~TConcordancer();
  TConcordancer(const TConcordancer&) = delete;
  TConcordancer& operator=(const TConcordancer&) = delete;

  // Chooses the texts under the paths (problems go to onProblem) and searches them as the walk finds
  // them, calling onHit for each hit in text order, onText after each text and onProblem where the walk
  // met the problem, all on this thread.
  TConcordanceTotals Run(const std::vector<UnicodeString>& paths, const TConcordanceHitEvent& onHit,
                         const TConcordanceTextEvent& onText, const TCorpusProblemEvent& onProblem);
  // The same over texts already chosen.
  TConcordanceTotals RunTexts(std::vector<TCorpusText> texts, const TConcordanceHitEvent& onHit,
                              const TConcordanceTextEvent& onText);

  // The texts of the current (or last) run: during a run, those up to the one being told of. (A deque:
  // a run over many files adds to it text by text, and a vector would move them all, into new memory,
  // each time it grew.)
  const std::deque<TCorpusText>& Texts() const { return fTexts; }
  const TConcordanceOptions& Options() const { return fOptions; }
  // Asks a running search to stop soon; safe from any thread (a web view's cancel button).
  void Cancel() {
    fCancelAsked.store(true);
    fCancelled.store(true);
  }
  // Texts whose search has been finished so far in the current run (for progress, from any thread).
  int64_t TextsDone() const { return fTextsDone.load(); }

  struct Plan;  // the parsed search, shared read-only by the workers

 private:
  TConcordanceOptions fOptions;
  std::unique_ptr<Plan> fPlan;
  std::deque<TCorpusText> fTexts;
  std::atomic<bool> fCancelled{false};   // no more searching (Cancel, or max_hits reached)
  std::atomic<bool> fCancelAsked{false};  // Cancel: no more walking either
  std::atomic<int64_t> fTextsDone{0};

  // Where a run's texts come from: handed to the second event a batch at a time, problems to the first.
  using TextFeed = std::function<void(const TCorpusProblemEvent&, const TCorpusTextsEvent&)>;
  TConcordanceTotals RunFeed(const TextFeed& feed, const TConcordanceHitEvent& onHit,
                             const TConcordanceTextEvent& onText, const TCorpusProblemEvent& onProblem);
};

// A sort key word as --sort names them: "R1".."R9", "L1".."L9", "word" (the hit); 0 for the hit, n for
// the n-th right, -n for the n-th left; false for anything else.
bool ParseConcordanceKeyWord(std::u16string_view name, int32_t& key);

}  // namespace kx8
