// Checked and searchable string lists: the base string list of the suite (index checks, a sorted
// flag, owned objects), the line-filtering list, the pointer-list counterpart, the string list that
// saves itself in binary form, and the list of simple search requests read from typing or a file.
#pragma once

#include <cstdint>
#include <memory>

#include "kx8rt/containers/search_context.h"
#include "kx8rt/platform/object_list.h"
#include "kx8rt/platform/streams.h"
#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/strings.h"
#include "kx8rt/containers/search_types.h"  // FlagsFromSW, SWStringPlusFlags

namespace kx8 {

// The base of every string list in the suite: index checks, a sorted flag kept apart from the
// runtime's Sorted mode, and a hook for descendants that own their objects.
class TIndexCheckStringlist : public TStringList {
 public:
  using TStringList::TStringList;
  // True after CustomSort, false after Clear.
  bool IsSorted = false;
  // 0 <= i < Count (the object slot is not examined).
  bool IndexAssignedOK(int32_t i) const { return i >= 0 && i < Count(); }
  // IsSorted := false, the objects released (ReduceTo(0)), then every line removed.
  void Clear() override;
  // Releases the objects of lines n..Count-1 through FreeAndNilOne; the lines stay.
  void ReduceTo(int32_t n);
  // Switches the runtime's Sorted mode off, sorts with compare and sets IsSorted.
  void CustomSort(TStringListSortCompare compare) override;
  // Reverses the order of the lines with their slots; IsSorted is left as it was.
  void ReverseTheSort();
  // Frees object i and empties its slot in descendants that own their objects; nothing here.
  virtual void FreeAndNilOne(int32_t i);
};

// A checked list that filters (and may rewrite) each line as whole text is assigned.
class TBaseAcceptableCheckStringlist : public TIndexCheckStringlist {
 public:
  using TIndexCheckStringlist::TIndexCheckStringlist;
  // Clears the list and adds every line of text (empty lines included) that AcceptableString accepts,
  // as it left it. With the CR LF break, lines end at CR, LF or CR LF and the text at its first NUL.
  void SetTextStr(const UnicodeString& text) override;
  // Whether s is to be added; descendants may change s. True here.
  virtual bool AcceptableString(UnicodeString& s);
};

// The pointer-list counterpart of TIndexCheckStringlist.
class TIndexCheckList : public TList {
 public:
  // 0 <= i < Count.
  bool IndexAssignedOK(int32_t i) const { return i >= 0 && i < Count(); }
};

// A checked string list saved as a 32-bit count and, per line, an optional 32-bit object value and
// the line in the string stream form.
class TMySaveStringList : public TIndexCheckStringlist {
 public:
  explicit TMySaveStringList(bool save_objects_too = false) : save_Objects_too(save_objects_too) {}
  // Whether each line's slot, read as a 32-bit integer, is saved and loaded with the line.
  bool save_Objects_too;
  // Writes the binary form. Stream errors pass to the caller.
  void SaveToStream(TStream& stream) const override;
  // Appends the lines of the binary form. A string length below 0 or above global_string_safety_limit,
  // or a stream that ends inside a line, raises EReadError (_KXFileReadError); the lines read before
  // it stay. An empty stream adds nothing; a negative count reads nothing.
  void LoadFromStream(TStream& stream) override;
  using TStringList::LoadFromStream;
  using TStringList::SaveToStream;
};

// Numbers the simple-search callers keep with the list (the list itself does not read them).
struct TSimpleSearchSettings {
  int32_t default_contextword_span = 0;
  int32_t markup_search_span = 0;
};
// (60, 200).
TSimpleSearchSettings DefaultSimpleSearchSettings();

// Trim of the text before the first "="; empty when s has no "=".
UnicodeString KeyOfKeyPlusValue(const UnicodeString& s);
// The integer after the first "=" (trimmed); 0 when there is no "=" or it is not an integer.
int32_t ValueOfKeyPlusValue(const UnicodeString& s);

// A list of simple search requests (owned TSearchContextHolders): a search word with its flags, up to
// two context words and a few numbers, read from typed text or a file.
class TSimpleSearchlist : public TOwningList<TSearchContextHolder, TIndexCheckList> {
 public:
  explicit TSimpleSearchlist(const TSimpleSearchSettings& settings = DefaultSimpleSearchSettings());
  TSimpleSearchlist(const TSimpleSearchlist&) = delete;
  TSimpleSearchlist& operator=(const TSimpleSearchlist&) = delete;
  TSimpleSearchSettings Settings;
  // Rewrites the lines of a file before they are parsed; nothing here.
  virtual void PreParseTheList(TStringList& list);
  // Rewrites one request before it is cut up; s unchanged here.
  virtual UnicodeString PreParseAString(const UnicodeString& s);
  // Appends a holder with a copy of rec; returns its index.
  int32_t AddOne(const TSearchContextRec& rec);
  // Appends a copy of every entry of other, in order.
  void AddAll(const TSimpleSearchlist& other);
  // A copy of entry i; an all-zero record for a bad index.
  TSearchContextRec GetASearchRec(int32_t i) const;
  // Entry i's search word with its flag notation written back; empty for a bad index.
  UnicodeString GetATypedInSW(int32_t i) const;
  // The first entry whose search word equals s exactly; -1.
  int32_t IndexOfSimpleSearchRecSeek(const UnicodeString& s) const;
  // The search words joined with separator.
  UnicodeString AsText(const UnicodeString& separator) const;
  // Clear, then read the text file (encoding by byte-order mark) and load its lines; false (list
  // empty) when the file does not exist.
  bool LoadFromFile(const UnicodeString& filename, bool keyed);
  // Appends the requests of each line: lines are trimmed; empty ones and ";" or "//" comments are
  // skipped; the rest is cut at " -> " and at commas, each piece being one request.
  void LoadFromAStringlist(const TStringList& list, bool keyed);
  // Appends the one request s holds: "word=n", or TAB fields word, context word 1, context word 2,
  // context span, other words required, number wanted. Nothing when it has no main word.
  void LoadFromAString(const UnicodeString& s, bool keyed);
};

}  // namespace kx8
