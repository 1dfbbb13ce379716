// Repeated material in texts: the sentences that recur in each of a set of files, with the files and
// frequencies of each, and the fixed-length chunks of one text that recur later in it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "kx8rt/containers/folder_efficient_file_list.h"
#include "kx8rt/containers/typed_lists.h"
#include "kx8rt/platform/object_list.h"
#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// Progress in percent; the answer is not consulted.
using TProgressChangedFunct = std::function<bool(int32_t percent)>;
// A running count.
using TTellCountEvent = std::function<void(int32_t contagem)>;

// (file number, frequency in that file) pairs of one string, one pair per file.
class TListOfOccurrences : public T2LongintList {
 public:
  // The total of the frequencies over all files.
  int64_t TotalFrequency() const;
};

// A string list whose every line owns a TListOfOccurrences; compared without regard to case.
class TStringlistWithListOfOccurrences : public TStringList {
 public:
  TStringlistWithListOfOccurrences() : TStringList(true) {}
  ~TStringlistWithListOfOccurrences() override;
  // Finds (or adds) chunk's line and adds freq to its pair for file_number (or appends the pair);
  // the line's index.
  int32_t AddOrIncOneByFreq(const UnicodeString& chunk, int32_t file_number, int32_t freq);
  // The line's list, or null out of range.
  TListOfOccurrences* GetAListOfOccurrences(int32_t index) const;
  // The number of lines found in more than one file.
  int32_t Repeateds() const;
  // Summed frequency descending, then the line in descending ordinal order.
  void SortAllOccurrencesFreqDescending();
  // The first pair's file number ascending, then the line in descending ordinal order.
  void SortAllOccurrencesFileAscending();
  // Frees the line's list, then deletes the line.
  void Delete(int32_t index) override;
  // Deletes every line from the last to the first.
  void Clear() override;
};

// Collects, file by file, the sentences that occur at least min_hits times in a text.
class TRepeatedChunks : public TObject {
 public:
  TRepeatedChunks();
  ~TRepeatedChunks() override;
  TRepeatedChunks(const TRepeatedChunks&) = delete;
  TRepeatedChunks& operator=(const TRepeatedChunks&) = delete;

  bool processing = false;  // cleared by Stop, which ends the current text's loop
  bool include_unterminated_sentences = false;
  int32_t min_sentence_length = 0;
  int32_t min_hits = 0;
  int32_t tag_span = 0;  // the widest "<...>" removed when loading a text
  TProgressChangedFunct this_reporting;
  TProgressChangedFunct overall_reporting;
  TTellCountEvent running_total_reporting;
  UnicodeString txt;  // the markup-free text of the file last loaded
  // An index for the caller's display. This class only creates and clears it; what it holds (say,
  // the order in which the caller shows chunks_list's lines) is the caller's.
  std::unique_ptr<T1LongintList> display_index;
  // The loaded file names in load order; a file's index here is its file number.
  std::unique_ptr<TFolderEfficientFileStringlist> fnames;
  std::unique_ptr<TStringlistWithListOfOccurrences> chunks_list;

  // Stores the seven settings.
  void SetSettings(bool ainclude_unterminated_sentences, int32_t atag_span, int32_t amin_hits, int32_t amin_sent_len,
                   TProgressChangedFunct athis, TProgressChangedFunct aoverall, TTellCountEvent arunning_total);
  // Loads the file's markup-free text into txt and returns its file number; -1 (nothing changed)
  // when it does not exist.
  int32_t LoadATextFile(const UnicodeString& filename);
  // Reports overall progress, records txt's repeated sentences for file_number, reports the total.
  void AddToRepeatedSentencesInTxt(int32_t file_number, int32_t total_files);
  // Records every distinct sentence of tagless that occurs at least min_hits times in it; returns the
  // number of new distinct sentences in chunks_list.
  int32_t AddedToRepeatedSentencesInTxt(int32_t file_number, const UnicodeString& tagless);
  // The file name, or empty.
  UnicodeString GetAFilename(int32_t index) const;
  void SortDescendingFreq() { chunks_list->SortAllOccurrencesFreqDescending(); }
  void SortAScendingFilenumbers() { chunks_list->SortAllOccurrencesFileAscending(); }
  // Ends the current text after the sentence being examined.
  void Stop() { processing = false; }
  // Empties the three lists; settings and txt stay.
  void Clear();
};

// Cuts text into chunkLen-character chunks and counts, for each chunk longer than 100 characters
// after trimming, its later occurrences (long0) and the position of the first (long1). Stops looking
// once maxChunks lines of which maxChunks repeat are held; drops lines with long0 below minFreq.
std::unique_ptr<TStringListWith2LongintRec> RepeatedXCharChunks(int32_t chunkLen, int32_t minFreq, int32_t maxChunks,
                                                               const UnicodeString& text,
                                                               const TProgressChangedFunct& progress);

}  // namespace kx8
