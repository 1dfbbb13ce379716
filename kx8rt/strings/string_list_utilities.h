// String-list utility classes: a list that reports its line count while its text is set, a list of
// result lines naming files, the hit positions used to rewrite a text, random sampling, tab-separated
// fields of result lines with sorts by them, and lists to and from delimited strings.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "kx8rt/definitions/concordance_spans.h"  // TRightOrLeft
#include "kx8rt/platform/datetime.h"
#include "kx8rt/platform/object_list.h"
#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// Told a running line count (contagem).
using TTellCountEvent = std::function<void(int32_t contagem)>;

// A string list whose whole-text setter reports the line count at 255, 511, 767, ... and at the end.
class TNotifyStringlist : public TStringList {
 public:
  explicit TNotifyStringlist(TTellCountEvent aOnTellContagem = nullptr);
  TTellCountEvent OnTellContagem;
  // Replaces the lines by those of text, as the plain list does, reporting the count as it goes.
  void SetTextStr(const UnicodeString& text) override;
};

// Tab-separated result lines, one of whose fields names a file.
class TFilenamesStringlist : public TStringList {
 public:
  // The first tab field of line that names an existing file; empty when none does.
  static UnicodeString FilenameInLine(const UnicodeString& line);
  // False for an empty name, else whether the file exists (links followed).
  static bool IsAnExistingFilename(const UnicodeString& name);
  // Each line becomes its file name; lines naming no existing file are deleted.
  void ReduceToExistingFilenames();
};

// One hit in a text: its conversion and hit numbers, its 1-based character position and its length.
struct TInsertedTextRec {
  int32_t text_convert_num = 0;
  int32_t hit_number = 0;
  int32_t hit_place_in_chars = 0;
  int32_t exact_hit_len = 0;
};

// A TInsertedTextRec in a pointer-list slot.
class TInsertedTextHolder : public TObject {
 public:
  explicit TInsertedTextHolder(const TInsertedTextRec& rec) : data(rec) {}
  TInsertedTextRec data;
};

// Owned TInsertedTextHolders, one per hit, in ascending order of hit_place_in_chars.
class TInsertedTextPositionList : public TOwningList<TInsertedTextHolder, TList> {
 public:
  TInsertedTextPositionList() = default;
  TInsertedTextPositionList(const TInsertedTextPositionList&) = delete;
  TInsertedTextPositionList& operator=(const TInsertedTextPositionList&) = delete;
  // Appends a holder with a copy of rec; returns its index.
  int32_t AddOne(const TInsertedTextRec& rec);
  // Entry i's record (an all-zero record for a bad index).
  TInsertedTextRec GetOne(int32_t i) const;
  // Entry i's hit_place_in_chars (0 for a bad index).
  int32_t GetAHitStart(int32_t i) const;
};

enum TSamplePreference : uint8_t { ts_top_quarter, ts_middle_quarter, ts_bottom_quarter, ts_anywhere };

// text with new_ put in place of old at each listed hit (at_left: the position is where old begins;
// at_right: just after it ends). The result stops after the last replacement.
UnicodeString CopyStringsReplacing(const UnicodeString& text, const UnicodeString& old_, const UnicodeString& new_,
                                   const TInsertedTextPositionList& positions, TRightOrLeft side);

// Clears B and fills it with n distinct random lines of A from the preferred part of A, then sorts B.
// B stays empty when A has no more than n lines; more than 1000 misses end the sampling early.
void CopyRandomSampleFromStringlistAtoB(const TStringList& A, TStringList& B, int32_t n, TSamplePreference preference);
// Deletes random lines until at most n are left; returns the number left.
int32_t RandomReduceStringlist(TStringList& list, int32_t n);
// Seeds the generator the two routines above use (they otherwise seed it from the clock), so that a
// sample can be repeated.
void SetStringListRandomSeed(uint64_t seed);

// ---- tab fields of result lines ----
// The text before the first c; empty when s has no c.
UnicodeString PreXCharOf(char16_t c, const UnicodeString& s);
// The text after the first c; empty when s has no c.
UnicodeString AfterXCharOf(char16_t c, const UnicodeString& s);
// Field 0: the text before the first tab (empty when s has no tab).
UnicodeString PreTabPart(const UnicodeString& s);
UnicodeString PreTabPathAndFilenameOf(const UnicodeString& s);
// The file-name part (after the last "/" or "\") of PreTabPart.
UnicodeString PreTabFilenameOf(const UnicodeString& s);
// Field n: the text after the n-th tab up to the next tab or the end; empty with fewer than n tabs.
UnicodeString AfterTabPart(const UnicodeString& s, int32_t n = 1);
// Field n as an integer (through DigitsOnlyOf); -1 when that fails.
int32_t AfterTabIntegerOf(const UnicodeString& s, int32_t n);
// Field n as a float in the default number format; -1.0 when that fails.
float AfterTabFloatOf(const UnicodeString& s, int32_t n);
// Field n as a stored date ("yyyy/mm/dd", optionally " hh:nn:ss"); the current date and time when that fails.
TDateTime AfterTabDateOf(const UnicodeString& s, int32_t n);
// s itself when it reads as an integer; otherwise only its digits 0 to 9.
UnicodeString DigitsOnlyOf(const UnicodeString& s);
// s1 + tab + s2, or s2 alone when s1 is empty.
UnicodeString AddWithTab(const UnicodeString& s1, const UnicodeString& s2);
// The first line whose PreTabPathAndFilenameOf equals name exactly; -1.
int32_t IndexOfPreTabFnameOnly(const TStringList& list, const UnicodeString& name);

// ---- sorting by a tab field (turned round by global_descending_sort) ----
// Sets global_descending_sort and custom-sorts list with compare.
void SetSortDescendingAndSort(bool descending, TStringList& list, TStringListSortCompare compare);
int StringListCompareStringsStrAfter1Tab(TStringList& List, int32_t Index1, int32_t Index2);
int StringListCompareStringsStrAfter2Tabs(TStringList& List, int32_t Index1, int32_t Index2);
int StringListCompareStringsStrAfter3Tabs(TStringList& List, int32_t Index1, int32_t Index2);
int StringListCompareStringsStrAfter4Tabs(TStringList& List, int32_t Index1, int32_t Index2);
int StringListCompareStringsIntegerAfter1Tab(TStringList& List, int32_t Index1, int32_t Index2);
int StringListCompareStringsIntegerAfter2Tabs(TStringList& List, int32_t Index1, int32_t Index2);
int StringListCompareStringsIntegerAfter3Tabs(TStringList& List, int32_t Index1, int32_t Index2);
int StringListCompareStringsIntegerAfter4Tabs(TStringList& List, int32_t Index1, int32_t Index2);
int StringListCompareStringsFloatAfter1Tab(TStringList& List, int32_t Index1, int32_t Index2);
int StringListCompareStringsFloatAfter2Tabs(TStringList& List, int32_t Index1, int32_t Index2);
int StringListCompareStringsFloatAfter3Tabs(TStringList& List, int32_t Index1, int32_t Index2);
int StringListCompareStringsFloatAfter4Tabs(TStringList& List, int32_t Index1, int32_t Index2);
int StringListCompareStringsDateAfter1Tab(TStringList& List, int32_t Index1, int32_t Index2);
int StringListCompareStringsDateAfter2Tabs(TStringList& List, int32_t Index1, int32_t Index2);
int StringListCompareStringsDateAfter3Tabs(TStringList& List, int32_t Index1, int32_t Index2);
int StringListCompareStringsDateAfter4Tabs(TStringList& List, int32_t Index1, int32_t Index2);
// By the upper-cased file name before the first tab.
int StringListCompareStringsFilenamePreTab(TStringList& List, int32_t Index1, int32_t Index2);

// ---- lists and delimited strings ----
// The non-empty lines from index first on, joined by separator; once maxLength is reached the rest is
// shown as " etc.".
UnicodeString StringListToString(char16_t separator, const TStringList& list, int32_t first, int32_t maxLength);
UnicodeString StringListToString(char16_t separator, const TStringList& list);
// Clears list and fills it with the fields of s: double quotes group (and are dropped), separator
// ends a field. Returns the number of lines, negated when a quote was left open.
int32_t StringToStringList(char16_t separator, const UnicodeString& s, TStringList& list);
// A new list (the caller's) of the pieces of s cut at every separator, empty pieces included; an LF
// after the separator is passed over, and with a separator up to U+0020 pieces are trimmed.
std::unique_ptr<TStringList> StringListFromString(char16_t separator, const UnicodeString& s);
// The same with CR as the separator.
std::unique_ptr<TStringList> StringListFromString(const UnicodeString& s);
// The same pieces as an array.
std::vector<UnicodeString> StringArrayFromString(char16_t separator, const UnicodeString& s);

}  // namespace kx8
