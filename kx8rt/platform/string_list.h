// The string list: lines of UTF-16 text, each with one slot for an object or a plain integer; an
// optional sorted mode with binary Find and a duplicates policy; locale-aware comparison; whole-text,
// delimited and name=value access; and loading and saving in an encoding found by byte-order mark.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "kx8rt/platform/encoding.h"
#include "kx8rt/platform/locales.h"
#include "kx8rt/platform/object_list.h"
#include "kx8rt/platform/streams.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// What a sorted list does with a line equal to one it holds: keep the old one only, add it, or raise.
enum TDuplicates : uint8_t { dupIgnore, dupAccept, dupError };

// Calls OnLine(UnicodeString&&) for each line of Text as the string list's SetTextStr splits it: with
// LineBreak CR LF a line ends at CR, LF or CR LF; otherwise at each LineBreak (an empty one does not
// split). Text after the last break is a last line, and the text ends at its first NUL.
template <class LineFn>
void ForEachTextLine(std::u16string_view Text, std::u16string_view LineBreak, LineFn&& OnLine) {
  Text = Text.substr(0, Text.find(u'\0'));
  size_t start = 0;
  if (LineBreak == u"\r\n") {
    for (size_t i = 0; i < Text.size(); ++i) {
      const char16_t c = Text[i];
      if (c != u'\r' && c != u'\n') continue;
      OnLine(UnicodeString(Text.substr(start, i - start)));
      if (c == u'\r' && i + 1 < Text.size() && Text[i + 1] == u'\n') ++i;
      start = i + 1;
    }
  } else if (!LineBreak.empty()) {
    for (size_t at = Text.find(LineBreak); at != std::u16string_view::npos; at = Text.find(LineBreak, start)) {
      OnLine(UnicodeString(Text.substr(start, at - start)));
      start = at + LineBreak.size();
    }
  }
  if (start < Text.size()) OnLine(UnicodeString(Text.substr(start)));
}

class TStringList;
// Comparison of lines Index1 and Index2 for CustomSort: negative, 0 or positive.
using TStringListSortCompare = int (*)(TStringList& List, int32_t Index1, int32_t Index2);
// An event that names the object raising it.
using TNotifyEvent = std::function<void(TObject& Sender)>;

// Lines with one slot each. A slot is empty, holds an object pointer or holds a plain integer.
// With OwnsObjects the list owns the objects in its slots and frees each exactly once: when its line is
// deleted or cleared, when the list is destroyed, and when PutObject or PutInteger replaces it. An
// owning list takes an object at the call that hands it over, so an object whose line is not added
// (a duplicate refused or ignored, a bad index) is freed at once. One object must not sit in two slots
// of an owning list. Index errors raise EListError "List index out of bounds (%d)".
class TStringList : public TObject {
 public:
  TStringList() = default;
  explicit TStringList(bool OwnsObjects) : fOwnsObjects(OwnsObjects) {}
  ~TStringList() override;
  TStringList(const TStringList&) = delete;
  TStringList& operator=(const TStringList&) = delete;

  // ---- lines and slots ----

  // Number of lines.
  int32_t Count() const { return static_cast<int32_t>(fList.size()); }
  int32_t Capacity() const { return static_cast<int32_t>(fList.capacity()); }
  // Reserves room for lines; below Count raises EListError.
  void SetCapacity(int32_t NewCapacity);

  // The text of line Index.
  virtual UnicodeString Get(int32_t Index) const;
  // Replaces the text of line Index; not allowed on a sorted list (EListError).
  virtual void Put(int32_t Index, const UnicodeString& S);
  UnicodeString Strings(int32_t Index) const { return Get(Index); }
  // The text stored in line Index, without a copy and without consulting an overridden Get; for
  // comparison routines of CustomSort, which run millions of times.
  const UnicodeString& StoredString(int32_t Index) const;
  UnicodeString operator[](int32_t Index) const { return Get(Index); }

  // The object in line Index's slot; nullptr when the slot is empty or holds an integer.
  virtual TObject* Objects(int32_t Index) const;
  // Puts an object in the slot (an owning list frees the object it replaces).
  virtual void PutObject(int32_t Index, TObject* AObject);
  // The integer in line Index's slot, 0 for an empty slot; a slot holding an object raises EInvalidCast.
  int64_t Integers(int32_t Index) const;
  // Puts a plain integer in the slot (an owning list frees the object it replaces).
  void PutInteger(int32_t Index, int64_t Value);
  // Whether line Index's slot holds an integer rather than an object or nothing.
  bool SlotHoldsInteger(int32_t Index) const;

  // Appends S and returns its index. A sorted list inserts it in order: an equal line already there is
  // kept alone (dupIgnore, returning its index), refused (dupError) or joined by S after it (dupAccept).
  virtual int32_t Add(const UnicodeString& S);
  // As Add, with an object in the new line's slot.
  virtual int32_t AddObject(const UnicodeString& S, TObject* AObject);
  // As AddObject for an owning list, the ownership spelled out; a list that does not own its objects
  // raises EListError (and the object is freed).
  int32_t AddObject(const UnicodeString& S, std::unique_ptr<TObject> AObject);
  // As Add, with a plain integer in the new line's slot.
  int32_t AddInteger(const UnicodeString& S, int64_t Value);
  // Inserts S before Index (Index = Count appends); not allowed on a sorted list (EListError).
  virtual void Insert(int32_t Index, const UnicodeString& S);
  virtual void InsertObject(int32_t Index, const UnicodeString& S, TObject* AObject);
  void InsertInteger(int32_t Index, const UnicodeString& S, int64_t Value);
  // Removes line Index (an owning list frees its object).
  virtual void Delete(int32_t Index);
  // Removes every line (an owning list frees every object).
  virtual void Clear();
  // Swaps two lines with their slots; not allowed on a sorted list.
  void Exchange(int32_t Index1, int32_t Index2);
  // Moves line CurIndex with its slot so that it ends at NewIndex; not allowed on a sorted list.
  void Move(int32_t CurIndex, int32_t NewIndex);
  // Appends Source's lines and slots. An owning list refuses objects of another list (EListError),
  // since both would free them.
  void AddStrings(const TStringList& Source);
  // Replaces the lines and slots by Source's (settings are kept).
  void Assign(const TStringList& Source);

  // ---- searching and sorting ----

  // First line equal to S under CompareStrings, or -1: binary search when sorted, else linear through Get.
  virtual int32_t IndexOf(const UnicodeString& S) const;
  // First line whose slot holds AObject, or -1.
  int32_t IndexOfObject(const TObject* AObject) const;
  // First line whose slot holds the integer Value, or -1.
  int32_t IndexOfInteger(int64_t Value) const;
  // In a sorted list, a binary search: true when S is present, Index the first equal line or, when
  // absent, where S would go. In an unsorted list a linear search (Index = Count when absent).
  virtual bool Find(const UnicodeString& S, int32_t& Index) const;
  // Orders the lines with CompareStrings (quick sort, not stable); nothing to do when already Sorted.
  virtual void Sort();
  // Orders the lines with Compare (quick sort, not stable); a sorted list raises EListError.
  virtual void CustomSort(TStringListSortCompare Compare);
  // The order of two texts: the platform collation of Locale (case ignored unless CaseSensitive),
  // or ordinal (ASCII case folding) when UseLocale is off. Negative, 0 or positive.
  virtual int32_t CompareStrings(std::u16string_view S1, std::u16string_view S2) const;

  // Sorted mode keeps the lines in CompareStrings order; switching it on sorts.
  bool Sorted() const { return fSorted; }
  void SetSorted(bool Value);
  TDuplicates Duplicates() const { return fDuplicates; }
  void SetDuplicates(TDuplicates Value) { fDuplicates = Value; }
  // Off by default. Changing it re-sorts a sorted list.
  bool CaseSensitive() const { return fCaseSensitive; }
  void SetCaseSensitive(bool Value);
  // The locale whose collation orders the lines (LOCALE_DEFAULT_LCID by default).
  LCID Locale() const { return fLocale; }
  void SetLocale(LCID Value);
  bool UseLocale() const { return fUseLocale; }
  void SetUseLocale(bool Value);
  bool OwnsObjects() const { return fOwnsObjects; }
  void SetOwnsObjects(bool Value) { fOwnsObjects = Value; }

  // ---- whole text ----

  // Every line followed by LineBreak.
  UnicodeString Text() const { return GetTextStr(); }
  // Replaces the lines by those of Value (see SetTextStr).
  void SetText(const UnicodeString& Value) { SetTextStr(Value); }
  virtual UnicodeString GetTextStr() const;
  // Clears the list and adds the lines of Value through Add. With LineBreak CR LF (the default) a line
  // ends at CR, LF or CR LF; otherwise at each LineBreak. Text after the last break is a last line, and
  // the text ends at its first NUL.
  virtual void SetTextStr(const UnicodeString& Value);
  const UnicodeString& LineBreak() const { return fLineBreak; }
  void SetLineBreak(const UnicodeString& Value) { fLineBreak = Value; }

  // ---- delimited text and name=value lines ----

  char16_t Delimiter() const { return fDelimiter; }
  void SetDelimiter(char16_t Value) { fDelimiter = Value; }
  char16_t QuoteChar() const { return fQuoteChar; }
  void SetQuoteChar(char16_t Value) { fQuoteChar = Value; }
  // When on, only Delimiter separates items; when off (the default) spaces and controls do too.
  bool StrictDelimiter() const { return fStrictDelimiter; }
  void SetStrictDelimiter(bool Value) { fStrictDelimiter = Value; }
  // The lines joined by Delimiter, each quoted with QuoteChar when it holds the quote, the delimiter
  // or (unless StrictDelimiter) a character at or below the space.
  UnicodeString DelimitedText() const;
  // Replaces the lines by the items of Value (quoted items may hold delimiters; "" inside is a quote).
  void SetDelimitedText(const UnicodeString& Value);
  // DelimitedText with ',' and '"', not strict, whatever the list's own settings.
  UnicodeString CommaText() const;
  void SetCommaText(const UnicodeString& Value);

  char16_t NameValueSeparator() const { return fNameValueSeparator; }
  void SetNameValueSeparator(char16_t Value) { fNameValueSeparator = Value; }
  // The text before the first separator of line Index; empty when it has none.
  UnicodeString Names(int32_t Index) const;
  // The text after the first separator of line Index; empty when it has none.
  UnicodeString ValueFromIndex(int32_t Index) const;
  void SetValueFromIndex(int32_t Index, const UnicodeString& Value);
  // The value of the first line named Name (compared with CompareStrings); empty when none.
  UnicodeString Values(const UnicodeString& Name) const;
  // Sets Name's value, adding a line when needed; an empty Value deletes the line.
  void SetValue(const UnicodeString& Name, const UnicodeString& Value);
  // Index of the first line named Name, or -1.
  int32_t IndexOfName(const UnicodeString& Name) const;

  // ---- updates and events ----

  // Holds back OnChanging and OnChange until the matching EndUpdate; calls nest.
  void BeginUpdate();
  void EndUpdate();
  int32_t UpdateCount() const { return fUpdateCount; }
  TNotifyEvent OnChanging;  // before a change, outside updates
  TNotifyEvent OnChange;    // after a change, outside updates, and at the last EndUpdate

  // ---- loading and saving ----

  // Replaces the lines by the text of the rest of Stream. Without an encoding the byte-order mark
  // decides (UTF-8, UTF-16 LE or BE, the mark skipped); without one, DefaultEncoding, or the system
  // 8-bit code page when that is cleared. With an encoding, a matching mark at the start is skipped.
  virtual void LoadFromStream(TStream& Stream);
  virtual void LoadFromStream(TStream& Stream, const std::optional<TEncoding>& Encoding);
  void LoadFromFile(const UnicodeString& FileName);
  void LoadFromFile(const UnicodeString& FileName, const std::optional<TEncoding>& Encoding);
  // Writes Text in Encoding, or else in the encoding of the last load, or else DefaultEncoding, or
  // else the system code page; the encoding's signature comes first when it has one and WriteBOM is on.
  virtual void SaveToStream(TStream& Stream) const;
  virtual void SaveToStream(TStream& Stream, const std::optional<TEncoding>& Encoding) const;
  // Creates (or replaces) the file.
  void SaveToFile(const UnicodeString& FileName) const;
  void SaveToFile(const UnicodeString& FileName, const std::optional<TEncoding>& Encoding) const;
  // The encoding of the last load; nullopt before any load.
  const std::optional<TEncoding>& Encoding() const { return fEncoding; }
  // The encoding for text without a byte-order mark: the system 8-bit code page unless changed.
  const std::optional<TEncoding>& DefaultEncoding() const { return fDefaultEncoding; }
  void SetDefaultEncoding(const std::optional<TEncoding>& Value) { fDefaultEncoding = Value; }
  // Whether saving writes the encoding's signature (on by default).
  bool WriteBOM() const { return fWriteBOM; }
  void SetWriteBOM(bool Value) { fWriteBOM = Value; }

 protected:
  // Called around every change; they raise OnChanging and OnChange when no update is open.
  virtual void Changing();
  virtual void Changed();
  // Raises EListError "List index out of bounds (%d)" unless 0 <= Index < Count.
  void CheckIndex(int32_t Index) const;
  // Swaps two lines without checks or events, for sorts.
  void ExchangeItems(int32_t Index1, int32_t Index2) { std::swap(fList[Index1], fList[Index2]); }

 private:
  struct TStringItem {
    UnicodeString fString;
    TObject* fObject = nullptr;
    int64_t fInteger = 0;
    bool fIsInteger = false;
  };

  void InsertItem(int32_t Index, const UnicodeString& S, TObject* AObject, int64_t Integer, bool IsInteger);
  int32_t AddItem(const UnicodeString& S, TObject* AObject, int64_t Integer, bool IsInteger);
  void ReplaceSlot(int32_t Index, TObject* AObject, int64_t Integer, bool IsInteger);
  void SortItems();
  void CheckNotSorted() const;
  void FreeObjects(std::vector<TStringItem>& items) const;

  std::vector<TStringItem> fList;
  bool fSorted = false;
  TDuplicates fDuplicates = dupIgnore;
  bool fCaseSensitive = false;
  bool fUseLocale = true;
  bool fOwnsObjects = false;
  bool fStrictDelimiter = false;
  bool fWriteBOM = true;
  LCID fLocale = LOCALE_DEFAULT_LCID;
  UnicodeString fLineBreak = u"\r\n";
  char16_t fDelimiter = u',';
  char16_t fQuoteChar = u'"';
  char16_t fNameValueSeparator = u'=';
  int32_t fUpdateCount = 0;
  std::optional<TEncoding> fEncoding;
  std::optional<TEncoding> fDefaultEncoding = TEncoding::Default();
};

}  // namespace kx8
