// Lemma, match, stop and relation lists: the word lists a user supplies to steer the tools, read from
// their plain-text files, held by one holder object and asked simple questions by linear search.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// The kind of list an operation works on.
enum TLemmaMatchStopRelOptions : uint8_t { as_lemma, as_match, as_stop, as_relation };

// Head words, each with its variants (word forms).
class TMyLemmalist {
 public:
  explicit TMyLemmalist(bool case_sensitive = false);
  // True when the loaded text contained '<' anywhere.
  bool check_for_affixes = false;
  // The head words in the order added.
  std::unique_ptr<TStringList> headwords;
  // Every variant, grouped by head word in head-word order; each slot holds the integer k+1 for head
  // word k.
  std::unique_ptr<TStringList> variants;
  // Adds head word with the variants of variant_text: each piece between commas unchanged (spaces
  // kept, an empty piece kept), and the text after the last comma when it is not empty.
  void AddALine(const UnicodeString& head_word, const UnicodeString& variant_text);
  // Empties both lists and clears check_for_affixes.
  void Clear();
};

// The words of a match, stop or relation list.
class TMatchStopList {
 public:
  explicit TMatchStopList(bool case_sensitive = false);
  virtual ~TMatchStopList() = default;
  bool check_for_affixes = false;
  // The words in load order (duplicates and empty words kept).
  std::unique_ptr<TStringList> words;
  // Empties the list and clears check_for_affixes.
  void Clear();
  // Word i; empty when i is at or above the count; a negative i raises EListError.
  UnicodeString GetAWord(int32_t i) const;
};

class TMyMatchlist : public TMatchStopList {
 public:
  using TMatchStopList::TMatchStopList;
};
class TMyStoplist : public TMatchStopList {
 public:
  using TMatchStopList::TMatchStopList;
};
class TMyRelationlist : public TMatchStopList {
 public:
  using TMatchStopList::TMatchStopList;
};

// One list of each kind, created empty and case-insensitive, owned by the holder.
//
// After FreeUpList(which) the holder has no list of that kind. Rather than leave later calls undefined,
// every question about a freed kind answers as an empty list would (-1, "", 0, false), clearing it
// does nothing, and loading it creates a fresh list, so the kind can be used again.
class TLemMatchStopRelHolder {
 public:
  TLemMatchStopRelHolder();
  std::unique_ptr<TMyMatchlist> Matchlist;
  std::unique_ptr<TMyLemmalist> LemmaList;
  std::unique_ptr<TMyRelationlist> RelationList;
  std::unique_ptr<TMyStoplist> StopList;

  // Loads one list from its file (upper-cased unless case_sensitive, lines sorted, then parsed);
  // true when it holds at least one word. A missing file empties the list and gives false; a file
  // that exists but cannot be read raises the runtime's file error, the list already emptied.
  bool StartUpAndLoadList(const UnicodeString& filename, TLemmaMatchStopRelOptions which, bool case_sensitive);
  // The same for the lemma list: true when at least one head word was loaded.
  bool StartUpAndLoadLemmaList(const UnicodeString& filename, bool case_sensitive);
  // Empties that list and clears its check_for_affixes.
  void ClearAList(TLemmaMatchStopRelOptions which);
  // Releases that list altogether (see the class comment for what later calls do).
  void FreeUpList(TLemmaMatchStopRelOptions which);
  // FreeUpList for lemma, match, stop and relation lists in turn. The holder itself stays; its owner
  // destroys it (as the tools do after calling this).
  void Free();

  // The first head word (lemma) or word (others) equal to word under the list's comparison; -1.
  int32_t IndexOfWordInList(const UnicodeString& word, TLemmaMatchStopRelOptions which) const;
  // The first variant equal to word; -1.
  int32_t IndexOfLemmaVariant(const UnicodeString& word) const;
  // The variants of the first head word equal to headword, joined with ","; empty when none.
  UnicodeString GetLemmalistVariantsOf(const char16_t* headword) const;
  // Variant i's head word and the variant; both empty when i is not below the variant count.
  std::pair<UnicodeString, UnicodeString> GetLemmalistVariantWithHeadword(int32_t i) const;
  // Head word i; empty when i is not below the count.
  UnicodeString GetLemmalistHeadWord(int32_t i) const;
  UnicodeString GetMatchlistWord(int32_t i) const;
  UnicodeString GetStoplistWord(int32_t i) const;
  UnicodeString GetRelationlistWord(int32_t i) const;
  int32_t GetLemmaHeadWordCount() const;
  int32_t GetLemmaVariantCount() const;
  // Head words for as_lemma, words otherwise.
  int32_t GetWordCount(TLemmaMatchStopRelOptions which) const;
  bool GetLemmaMatchRelationStoplistCheckAffixes(TLemmaMatchStopRelOptions which) const;
  // Whether any piece of s cut at single spaces is a stop-list word.
  bool AnyStoplistWordsFoundinString(const UnicodeString& s) const;

 private:
  TMatchStopList* WordList(TLemmaMatchStopRelOptions which) const;
};

// ---- settings records the tools keep for these lists ----

enum TWhileAfterOnRequest : uint8_t { p_while_computing, p_after_computing, p_on_request, p_anyway };
enum Tmatch_basis : uint8_t { file_based, template_based };
enum Tmatch_action : uint8_t {
  matches_match_now,
  matches_delete_matches,
  matches_delete_non_matches,
  matches_copy_to_set_column,
  matches_remove_match_marking
};
enum Trelation_action : uint8_t { relation_use_match, relation_use_non_match };

// A NUL-terminated text of at most 50 UTF-16 units.
using fiftywidechar = std::array<char16_t, 51>;
// s in the field, cut to 50 units, zero-filled.
fiftywidechar StringToFiftyWideChar(const UnicodeString& s);
// The field's text up to its first NUL (or all 51 units).
UnicodeString FiftyWideCharToString(const fiftywidechar& f);
// The caption of a match action ("find matches and mark them", ...).
UnicodeString MatchActionCaption(Tmatch_action action);

// Stored little-endian byte for byte as laid out (the library runs on little-endian machines only).
struct TLemmaListSettingsRec {
  TWhileAfterOnRequest lemmatise_when = p_while_computing;
  bool case_sensitive = false;
};
static_assert(sizeof(TLemmaListSettingsRec) == 2);

struct TStoplistSettingsRec {
  bool StoplistOnSWToo = false;
  bool spare_ContinuousStopListProcessing = false;
  bool spare_SubtractWordLengths = false;
  bool case_sensitive = false;
};
static_assert(sizeof(TStoplistSettingsRec) == 4);

struct TMatchListSettingsRec {
  Tmatch_basis matchbasis = file_based;
  Tmatch_action action = matches_match_now;
  fiftywidechar template_{};  // "template" is a C++ keyword
  bool case_sensitive = false;
  uint8_t padding = 0;
};
static_assert(sizeof(TMatchListSettingsRec) == 106);
static_assert(offsetof(TMatchListSettingsRec, template_) == 2);
static_assert(offsetof(TMatchListSettingsRec, case_sensitive) == 104);

}  // namespace kx8
