// Search items: a search planned as lists of parsed search words (the search words proper, context
// words, exclusion words and tag-context words), built from what the user typed, kept free of repeats,
// counted, and saved to and loaded from text files and streams; with holders for parsed words and hits.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "kx8rt/containers/checked_string_lists.h"
#include "kx8rt/containers/sortablelists.h"
#include "kx8rt/platform/locales.h"
#include "kx8rt/platform/object_list.h"
#include "kx8rt/platform/streams.h"
#include "kx8rt/platform/string_list.h"
#include "kx8rt/search/search_and_do_engine.h"
#include "kx8rt/search/search_parsing.h"
#include "kx8rt/strings/tags.h"

namespace kx8 {

// The 8-bit copy TypedInWord hands out; overwritten by the next such call.
inline AnsiString Global_TypedInWordAnsiBuffer;

// A copy of one parsed search word.
class TSWHolder : public TObject {
 public:
  explicit TSWHolder(const TSearch_word_format_rec& rec) : data(rec) {}
  TSearch_word_format_rec data;
};

// Owned TSWHolders.
class TSWList : public TOwningList<TSWHolder, TList> {
 public:
  TSWList() = default;
  TSWList(const TSWList&) = delete;
  TSWList& operator=(const TSWList&) = delete;
  TSWHolder* Holder(int32_t i) const { return static_cast<TSWHolder*>(Get(i)); }
};

// A copy of one hit.
class TSearchFoundHolder : public TObject {
 public:
  explicit TSearchFoundHolder(const TSearchFound_Rec& rec) : fData(rec) {}
  TSearchFound_Rec fData;
};

// The hit's byte offset from its buffer's start.
int64_t SearchFoundOffset(const TSearchFound_Rec& rec);

// Owned TSearchFoundHolders ordered by the hit's byte offset.
class TSearchFoundList : public TOwningList<TSearchFoundHolder, T3SortYieldingList> {
 public:
  TSearchFoundList() = default;
  TSearchFoundList(const TSearchFoundList&) = delete;
  TSearchFoundList& operator=(const TSearchFoundList&) = delete;
  // The offset compared against.
  int64_t base_int = 0;
  // Appends a holder with a copy of rec; returns its index.
  int32_t AddOne(const TSearchFound_Rec& rec);
  // base_int := the offset of the holder's record.
  void SetBase(void* item, int32_t sort_var) override;
  // 0 when the holder's offset equals base_int, -1 when greater, 1 when smaller.
  int32_t Compare(void* item) const;
  // Sorts by offset.
  void SortByOffset();
};

// One list of parsed search words.
class TBaseSearchItems {
 public:
  TBaseSearchItems();
  TBaseSearchItems(const TIgnore_tag& Aignore_tags, LCID AnLCID, bool aSplit_SWs_at_slashes);
  virtual ~TBaseSearchItems();
  TBaseSearchItems(const TBaseSearchItems&) = delete;
  TBaseSearchItems& operator=(const TBaseSearchItems&) = delete;

  std::unique_ptr<TSimpleSearchlist> fPlainSWS;
  int32_t fCurrentSearch = -1;
  int32_t fProcess_1_SpecificNumber = 0;
  std::unique_ptr<TSWList> fSearchTallier;
  LCID fLCID = LOCALE_DEFAULT_LCID;
  bool fSplitting_at_slashes = false;
  bool fFormatPreChecked = false;
  bool fFrom_a_file = false;
  TIgnore_tag ignore_tags{};

  // ---- adding ----
  // Parses the alternatives of Typed, last first, and returns for each the index of an item with the
  // same typed text (exact) or of a new item; alternatives that parse to nothing are skipped.
  virtual std::vector<int32_t> fAddedSearchWordsIndices(const UnicodeString& Typed);
  std::vector<int32_t> AddedSearchWords(const UnicodeString& Typed);
  // The same, setting Langnum of every item returned (a 16-bit argument).
  std::vector<int32_t> AddedSearchWords(const UnicodeString& Typed, int16_t aLangnum);
  // The same, setting n_to_find of every item returned (a 32-bit argument).
  std::vector<int32_t> AddedSearchWords(const UnicodeString& Typed, int32_t aNToFind);
  int32_t AddOneSW(const TSearch_word_format_rec& rec);
  int32_t EnsureContains(const TSearch_word_format_rec& rec);
  void AddSWs(const TBaseSearchItems& Other);
  // Adds Typed and moves the new items to the top, in the order returned.
  void InsertSearchWordsAtTop(const UnicodeString& Typed, std::vector<int32_t>& indices);

  // ---- finding and reading (bad indices give neutral values) ----
  int32_t Count() const { return fSearchTallier->Count(); }
  // The first item whose typed text equals rec's; -1 when none or its Langnum differs.
  int32_t IndexOf(const TSearch_word_format_rec& rec) const;
  int32_t TypeInIndexOf(const UnicodeString& S, bool CaseSensitive = true) const;
  TSearch_word_format_rec* GetPtr(int32_t i) const;
  TSearch_word_format_rec GetSWR(int32_t i) const;
  void PutSWR(int32_t i, const TSearch_word_format_rec& rec);
  TMySearchFlags GetAFlag(int32_t i) const;
  void SetAFlag(int32_t i, TMySearchFlags flags);
  int32_t GetHitsFound(int32_t i) const;
  int32_t GetNToFind(int32_t i) const;
  int32_t GetSpacesInSW(int32_t i) const;
  int16_t GetLanguage(int32_t i) const;
  bool GetSearchFound(int32_t i) const;
  void SetSearchFound(int32_t i, bool b);
  // These three need a valid index (a bad one raises EListError).
  void SetHitsFound(int32_t i, int32_t n);
  void SetNToFind(int32_t i, int32_t n);
  void SetLanguage(int32_t i, int16_t n);
  void IncrementHits(int32_t i);
  void ClearHits();
  void SetHits(const std::vector<int32_t>& hits);
  int64_t TotalHits() const;
  void ClearOne(int32_t i);
  void Clear();
  void MoveToTop(int32_t i);
  // Item i's typed text: UTF-16 (pointing into the item) or, when Unicode is false, an 8-bit copy in
  // Global_TypedInWordAnsiBuffer. nullptr for a bad index.
  const void* TypedInWord(int32_t i, bool Unicode) const;
  std::unique_ptr<TStringList> TypedInWordsAsStringlist() const;
  std::vector<TSearch_word_format_rec> CopyOfArrayOFSWItems(const std::vector<int32_t>& indices) const;
  // Typed texts joined with "/"; Limited: the first ten, with "etc. " in front when there are more.
  UnicodeString AllTypedSearchWordsAsOne(bool Limited) const;
  std::unique_ptr<TStringList> TypeInParts(const UnicodeString& S) const;
  int32_t SearchesPlannedCount() const;
  TSimpleSearchlist& ComputePlainSearchWords();
  void SetProcess1SpecificNumber(int32_t n) { fProcess_1_SpecificNumber = n; }

  // ---- files and streams ----
  // The typed texts, one a line, UTF-16 LE with its mark and CR LF; false on a write error.
  bool SaveToFile(const UnicodeString& FileName) const;
  // Clears, then adds every non-empty line; true (and fFrom_a_file) when an item resulted.
  bool LoadFromFile(const UnicodeString& FileName, int32_t aNToFind);
  // Count, then per item "typed TAB hits TAB Langnum" in the string stream form.
  bool SaveToStream(TStream& Stream) const;
  // Adds the items of such a stream; false on a broken stream, keeping what was added.
  bool ReadFromStream(TStream& Stream);

 protected:
  TSWHolder* HolderAt(int32_t i) const;
};

class TContextWordItems;

// The search words proper.
class TSearchWordItems : public TBaseSearchItems {
 public:
  using TBaseSearchItems::TBaseSearchItems;
  ~TSearchWordItems() override;
  std::unique_ptr<TSearchAndDoEngine> ftempEngine;
  std::unique_ptr<TContextWordItems> ftempCWItems;
  int32_t ColunaPraProcura = 0;
  bool HasAnyContextWords = false;
  // Adds nothing (empty result) when Typed is already an item; otherwise as the base, then makes the
  // context-word items and an engine when the first item has a file-based context word.
  std::vector<int32_t> fAddedSearchWordsIndices(const UnicodeString& Typed) override;
  // Item i's has_file_based_context_word; sets HasAnyContextWords when true.
  bool GetHasContextWord(int32_t i);
};

// Context words that must occur near a hit.
class TContextWordItems : public TBaseSearchItems {
 public:
  using TBaseSearchItems::TBaseSearchItems;
  int32_t sought_context_word_pos = 0;
  bool require_one_context_word_position = false;
  bool require_all_context_words = false;
};

// Words whose presence near a hit excludes it.
class TExclusionWordItems : public TBaseSearchItems {
 public:
  using TBaseSearchItems::TBaseSearchItems;
};

// Tag-context words.
class TTagContextWordItems : public TBaseSearchItems {
 public:
  using TBaseSearchItems::TBaseSearchItems;
};

}  // namespace kx8
