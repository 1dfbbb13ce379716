// Base lists: entries that stream themselves, the owning pointer list that saves and loads them as a
// count followed by the entries, its sortable variant, and the list of short integer rows.
#pragma once

#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "kx8rt/platform/object_list.h"
#include "kx8rt/platform/streams.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// ---- process-wide values ----

// The longest string, in UTF-16 code units, that the one-argument ReadAString accepts.
inline int32_t global_string_safety_limit = 5000;
// The row width TMultiLongintHolder::ReadFromStream reads; TMultiLongintList sets it before loading.
inline int32_t global_temp_Longint = 0;
// The most entries a list will create while loading. A count read from a damaged stream must not make
// the list allocate billions of entries; a larger (or negative) count fails the load before any is made.
inline int32_t global_list_count_safety_limit = 50'000'000;

// How hard a tool wants its running operations to stop; the library itself neither reads nor writes it.
enum Tpanic_mode : uint8_t {
  panic_no_panic,     // carry on
  panic_stop_at_EOF,  // finish the current text, then stop
  panic_stop_asap,    // stop at the next chance, keeping what was done
  panic_abandon_all   // stop at once and throw away the results (the tool is closing)
};
// The stop state a tool sets from its yield hook and its loops test between items.
inline Tpanic_mode global_panic_state = panic_no_panic;

// ---- the string stream form ----

// Writes the length of s in UTF-16 code units (32-bit little-endian) and then the code units; true.
// An exception raised by the stream passes to the caller.
bool WriteAString(TStream& stream, const UnicodeString& s);
// Reads a string written by WriteAString. A stored length below 0 or above limit raises EReadError
// with the message _KXFileReadError ("file read error (<n>) : ReadAString"). A short read gives what
// arrived: the empty string when the length itself is short, else the complete units read.
UnicodeString ReadAString(TStream& stream, int32_t limit);
// The same with global_string_safety_limit as the limit.
UnicodeString ReadAString(TStream& stream);

// ---- entries ----

// An entry of the base lists; writes itself to and reads itself from a byte stream. The base
// transfers nothing and reports success.
class TUsefulBaseListObject : public TObject {
 public:
  TUsefulBaseListObject() = default;
  virtual bool ReadFromStream(TStream& stream);
  virtual bool SaveToStream(TStream& stream);
};

// A class reference for entries: makes a new zeroed entry and tells whether an object belongs to the
// class (or a descendant). Build one with ClassOf<T>().
struct TUsefulBaseListObjectClass {
  std::unique_ptr<TUsefulBaseListObject> (*Create)() = nullptr;
  bool (*IsInstance)(const TUsefulBaseListObject* object) = nullptr;
};

template <class T>
TUsefulBaseListObjectClass ClassOf() {
  static_assert(std::is_base_of_v<TUsefulBaseListObject, T>, "entries derive from TUsefulBaseListObject");
  return {[]() -> std::unique_ptr<TUsefulBaseListObject> { return std::make_unique<T>(); },
          [](const TUsefulBaseListObject* o) { return dynamic_cast<const T*>(o) != nullptr; }};
}

// ---- the owning base list ----

// A pointer list that owns its entries (TUsefulBaseListObject pointers; a slot may be nil for a
// while) and streams itself as a 32-bit count followed by the entries.
class TUsefulBaseList : public TList {
 public:
  explicit TUsefulBaseList(TUsefulBaseListObjectClass EntriesClass);
  ~TUsefulBaseList() override;
  TUsefulBaseList(const TUsefulBaseList&) = delete;
  TUsefulBaseList& operator=(const TUsefulBaseList&) = delete;

  // The class of the entries, used to make entries while loading and to check them while saving.
  TUsefulBaseListObjectClass EntriesClass;
  // The entry most recently created, checked or removed by the list's own routines; owns nothing.
  TUsefulBaseListObject* AnInstance = nullptr;

  // Takes ownership of entry and appends it; returns its index.
  int32_t AddEntry(std::unique_ptr<TUsefulBaseListObject> entry);
  // Entry i, or null for a nil slot or an index out of range.
  TUsefulBaseListObject* Entry(int32_t i) const;

  // 0 <= i < Count and slot i is not nil.
  bool IndexAssignedOK(int32_t i) const;
  // Compares entries i and j; the base answers -1 so that no two entries ever count as equal.
  virtual int32_t ComparedValues(int32_t i, int32_t j);
  // Frees entry i and sets its slot to nil (the slot stays) when IndexAssignedOK(i).
  virtual void FreeAndNilOne(int32_t i);
  // Frees the entries from the end down to index n, then packs out every nil slot of the list.
  void ReduceTo(int32_t n);
  // Frees every entry and empties the list.
  void Clear() override;
  // Frees entry Index and removes its slot.
  void Delete(int32_t Index) override;

  // Count (4 bytes), then every entry; false after a short write or a failed entry.
  virtual bool SaveToStream(TStream& stream);
  // Appends the entries of a stream written by SaveToStream; false after a short read.
  virtual bool ReadFromStream(TStream& stream);
  // Writes the first n entries; an entry not of EntriesClass (or a nil slot) raises EInvalidCast.
  bool SaveTheInstances(TStream& stream, int32_t n);
  // Creates, appends and reads n entries; after a failed read the rest are still made, zeroed.
  bool LoadTheInstances(TStream& stream, int32_t n);
  // Creates (or empties) the file and saves to it; errors opening it propagate.
  bool SaveToFile(const UnicodeString& name);
  // Opens the file read-only, others may read and write it, and loads from it; errors opening it propagate.
  bool LoadFromFile(const UnicodeString& name);

 protected:
  // Frees the entry of slot i without any virtual call (for the destructor).
  void FreeSlot(int32_t i);
  // Reads a count and checks it against global_list_count_safety_limit.
  static bool ReadCount(TStream& stream, int32_t& count);
};

// ---- the sortable list ----

// A base list that knows whether it is sorted, reverses and drops duplicates; its stream form adds
// the sorted flag as one byte after the count.
class TUsefulBaseListSorts : public TUsefulBaseList {
 public:
  explicit TUsefulBaseListSorts(TUsefulBaseListObjectClass EntriesClass);

  // True after Sort or a load that says so; false after construction and Clear.
  bool sorted = false;

  void Clear() override;
  // Quick sort (not stable) with a two-entry comparison; then sorted := true.
  void Sort(TListSortCompare compare);
  // Reverses the order of the entries; sorted is left as it was.
  void ReverseTheSort();
  // Keeps the first entry of each run of entries that compare equal (ComparedValues with the run's
  // first entry); meant for a sorted list.
  void RemoveDuplicates();

  bool SaveToStream(TStream& stream) override;
  bool ReadFromStream(TStream& stream) override;

 protected:
  // Left by the binary searches of descendants at the last entry examined; -1 for an empty list.
  int32_t nearest = -1;
};

// ---- rows of integers ----

// Row widths (as a count) and positions within a row (as "which").
enum TMultiLongintSize : uint8_t { tml_0, tml_1, tml_2, tml_3, tml_4, tml_5, tml_6 };

// A row of 32-bit integers.
struct TMultiLongintRec {
  std::vector<int32_t> dados;
};

// An entry holding one row; streams as the row's integers with no count of their own.
class TMultiLongintHolder : public TUsefulBaseListObject {
 public:
  TMultiLongintHolder() = default;
  // Takes the row (AddOne and InsertOne always hand over a fresh one).
  explicit TMultiLongintHolder(TMultiLongintRec rec) : data(std::move(rec)) {}
  TMultiLongintRec data;

  // which is a position within the row.
  bool LengthOK(TMultiLongintSize which) const { return static_cast<size_t>(which) < data.dados.size(); }
  // Writes every integer; stops after the first short write.
  bool SaveToStream(TStream& stream) override;
  // Makes the row global_temp_Longint long (zeroed) and reads that many integers, stopping after the
  // first short read.
  bool ReadFromStream(TStream& stream) override;
};

// The "no value" answer of reads out of range.
inline constexpr int32_t kNoMultiLongintValue = -999999;

// A sortable list of rows of tamanho integers, with look-up, totals and sorts on up to three positions.
class TMultiLongintList : public TUsefulBaseListSorts {
 public:
  TMultiLongintList(TUsefulBaseListObjectClass EntriesClass, TMultiLongintSize size);
  explicit TMultiLongintList(TMultiLongintSize size);

  // Appends a row of tamanho integers: the first values, the rest 0. Returns its index.
  int32_t AddOne(const std::vector<int32_t>& values);
  // The same, inserted before index.
  void InsertOne(int32_t index, const std::vector<int32_t>& values);
  // Entry i exists and its row reaches position which.
  bool WithinRange(int32_t i, TMultiLongintSize which) const;
  // The value, or -999999 out of range.
  int32_t GetAValue(int32_t i, TMultiLongintSize which) const;
  // Stores the value; nothing out of range.
  void SetAValue(int32_t i, TMultiLongintSize which, int32_t value);
  // Adds amount (wrapping); nothing out of range.
  void AddToOneFreq(int32_t i, int32_t amount, TMultiLongintSize which);
  void IncOne(int32_t i, TMultiLongintSize which) { AddToOneFreq(i, 1, which); }
  // Lowest index holding value at position which; -1 if none. A linear scan.
  int32_t LongIndexOf(int32_t value, TMultiLongintSize which) const;
  // Sum (wrapping) of position which over all entries; rows too short for it count nothing.
  int32_t TotalOf(TMultiLongintSize which) const;
  // Element k = GetAValue(k, which).
  std::vector<int32_t> ToArrayOfInteger(TMultiLongintSize which) const;
  // Ascending on position k1, ties broken by k2, then k3 (signed); then sorted := true.
  void SingleSort(TMultiLongintSize k1);
  void DoubleSort(TMultiLongintSize k1, TMultiLongintSize k2);
  void TripleSort(TMultiLongintSize k1, TMultiLongintSize k2, TMultiLongintSize k3);

  void FreeAndNilOne(int32_t i) override;
  // Sets global_temp_Longint to tamanho, then loads.
  bool ReadFromStream(TStream& stream) override;

  TMultiLongintSize Width() const { return tamanho; }

 protected:
  TMultiLongintSize tamanho;

 private:
  void SortOnKeys(int keyCount, TMultiLongintSize k1, TMultiLongintSize k2, TMultiLongintSize k3);
};

}  // namespace kx8
