#include "kx8rt/containers/base_lists.h"

#include <algorithm>

#include "kx8rt/containers/comparisons.h"
#include "kx8rt/containers/stream_fields.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/format.h"
#include "kx8rt/platform/messages.h"
#include "kx8rt/platform/yield.h"

namespace kx8 {

// ---- the string stream form ----

bool WriteAString(TStream& stream, const UnicodeString& s) {
  const int32_t n = s.size() > INT32_MAX ? INT32_MAX : static_cast<int32_t>(s.size());
  uint8_t head[4];
  PutLE32(head, static_cast<uint32_t>(n));
  stream.Write(head, 4);
  if (n > 0) {
    std::vector<uint8_t> bytes(static_cast<size_t>(n) * 2);
    for (int32_t k = 0; k < n; ++k) {
      bytes[2 * k] = static_cast<uint8_t>(s[k] & 0xFF);
      bytes[2 * k + 1] = static_cast<uint8_t>(s[k] >> 8);
    }
    // Written in pieces that each fit the stream's 32-bit byte count.
    size_t done = 0;
    while (done < bytes.size()) {
      const int32_t piece = static_cast<int32_t>(std::min<size_t>(bytes.size() - done, 1u << 30));
      if (stream.Write(bytes.data() + done, piece) <= 0) break;
      done += static_cast<size_t>(piece);
    }
  }
  return true;
}

UnicodeString ReadAString(TStream& stream, int32_t limit) {
  uint8_t head[4];
  // A stream that ends inside the length has no string to give.
  if (stream.Read(head, 4) != 4) return UnicodeString();
  const int32_t n = static_cast<int32_t>(GetLE32(head));
  if (n == 0) return UnicodeString();
  if (n < 0 || n > limit) throw EReadError(Format(KXFileReadError, {n, u"ReadAString"}));
  std::vector<uint8_t> bytes(static_cast<size_t>(n) * 2);
  const int32_t got = stream.Read(bytes.data(), static_cast<int32_t>(bytes.size()));
  // A short read keeps the complete units that arrived rather than inventing the rest.
  const size_t units = got > 0 ? static_cast<size_t>(got) / 2 : 0;
  UnicodeString s(units, u'\0');
  for (size_t k = 0; k < units; ++k)
    s[k] = static_cast<char16_t>(bytes[2 * k] | (bytes[2 * k + 1] << 8));
  return s;
}

UnicodeString ReadAString(TStream& stream) { return ReadAString(stream, global_string_safety_limit); }

// ---- entries ----

bool TUsefulBaseListObject::ReadFromStream(TStream&) { return true; }
bool TUsefulBaseListObject::SaveToStream(TStream&) { return true; }

// ---- the owning base list ----

namespace {
TUsefulBaseListObject* AsEntry(void* p) { return static_cast<TUsefulBaseListObject*>(p); }
}  // namespace

TUsefulBaseList::TUsefulBaseList(TUsefulBaseListObjectClass EntriesClass) : EntriesClass(EntriesClass) {}

TUsefulBaseList::~TUsefulBaseList() {
  for (int32_t i = Count() - 1; i >= 0; --i) FreeSlot(i);
  TList::Clear();
}

void TUsefulBaseList::FreeSlot(int32_t i) {
  TUsefulBaseListObject* entry = AsEntry(Get(i));
  Put(i, nullptr);
  if (AnInstance == entry) AnInstance = nullptr;
  delete entry;
}

int32_t TUsefulBaseList::AddEntry(std::unique_ptr<TUsefulBaseListObject> entry) {
  const int32_t index = Add(entry.get());
  entry.release();
  return index;
}

TUsefulBaseListObject* TUsefulBaseList::Entry(int32_t i) const {
  return (i >= 0 && i < Count()) ? AsEntry(Get(i)) : nullptr;
}

bool TUsefulBaseList::IndexAssignedOK(int32_t i) const { return i >= 0 && i < Count() && Get(i) != nullptr; }

int32_t TUsefulBaseList::ComparedValues(int32_t, int32_t) { return -1; }

// Every entry is freed through its virtual destructor, so the base can do what each descendant would.
void TUsefulBaseList::FreeAndNilOne(int32_t i) {
  if (IndexAssignedOK(i)) FreeSlot(i);
}

void TUsefulBaseList::ReduceTo(int32_t n) {
  for (int32_t i = Count() - 1; i >= n && i >= 0; --i)
    if (Get(i) != nullptr) FreeAndNilOne(i);
  Pack();
}

void TUsefulBaseList::Clear() {
  ReduceTo(0);
  Pack();
  TList::Clear();
}

void TUsefulBaseList::Delete(int32_t Index) {
  CheckIndex(Index);
  FreeSlot(Index);
  TList::Delete(Index);
}

bool TUsefulBaseList::ReadCount(TStream& stream, int32_t& count) {
  count = 0;
  return ReadInt32(stream, count);
}

namespace {
bool CountAcceptable(int32_t count) { return count >= 0 && count <= global_list_count_safety_limit; }
}  // namespace

bool TUsefulBaseList::SaveToStream(TStream& stream) {
  if (!WriteInt32(stream, Count())) return false;
  return SaveTheInstances(stream, Count());
}

bool TUsefulBaseList::ReadFromStream(TStream& stream) {
  int32_t count = 0;
  if (!ReadCount(stream, count) || !CountAcceptable(count)) return false;
  return LoadTheInstances(stream, count);
}

bool TUsefulBaseList::SaveTheInstances(TStream& stream, int32_t n) {
  bool ok = true;
  const int32_t last = std::min(n, Count());
  for (int32_t i = 0; i < last; ++i) {
    MyYieldProcess();
    TUsefulBaseListObject* entry = AsEntry(Get(i));
    if (!entry || !EntriesClass.IsInstance || !EntriesClass.IsInstance(entry))
      throw EInvalidCast(u"Invalid class typecast");
    AnInstance = entry;
    if (ok) ok = entry->SaveToStream(stream);
  }
  return ok;
}

bool TUsefulBaseList::LoadTheInstances(TStream& stream, int32_t n) {
  bool ok = true;
  if (!EntriesClass.Create) throw EInvalidCast(u"Invalid class typecast");
  for (int32_t k = 0; k < n; ++k) {
    MyYieldProcess();
    std::unique_ptr<TUsefulBaseListObject> entry = EntriesClass.Create();
    TUsefulBaseListObject* raw = entry.get();
    AddEntry(std::move(entry));
    AnInstance = raw;
    if (ok) ok = raw->ReadFromStream(stream);
  }
  return ok;
}

bool TUsefulBaseList::SaveToFile(const UnicodeString& name) {
  TFileStream file(name, fmCreate);
  return SaveToStream(file);
}

bool TUsefulBaseList::LoadFromFile(const UnicodeString& name) {
  TFileStream file(name, fmOpenRead | fmShareDenyNone);
  return ReadFromStream(file);
}

// ---- the sortable list ----

TUsefulBaseListSorts::TUsefulBaseListSorts(TUsefulBaseListObjectClass EntriesClass)
    : TUsefulBaseList(EntriesClass) {}

void TUsefulBaseListSorts::Clear() {
  TUsefulBaseList::Clear();
  sorted = false;
}

void TUsefulBaseListSorts::Sort(TListSortCompare compare) {
  TList::Sort(compare);
  sorted = true;
}

void TUsefulBaseListSorts::ReverseTheSort() {
  for (int32_t i = 0, j = Count() - 1; i < j; ++i, --j) Exchange(i, j);
}

void TUsefulBaseListSorts::RemoveDuplicates() {
  int32_t i = 0;
  while (i < Count()) {
    int32_t k = i;
    while (k + 1 < Count() && ComparedValues(i, k + 1) == 0) ++k;
    if (k > i) {
      for (int32_t j = i + 1; j <= k; ++j) {
        TUsefulBaseListObject* entry = AsEntry(Get(j));
        if (entry && EntriesClass.IsInstance && !EntriesClass.IsInstance(entry))
          throw EInvalidCast(u"Invalid class typecast");
        FreeAndNilOne(j);
      }
      i = k;
    }
    ++i;
  }
  Pack();
}

bool TUsefulBaseListSorts::SaveToStream(TStream& stream) {
  if (!WriteInt32(stream, Count())) return false;
  const uint8_t flag = sorted ? 1 : 0;
  if (stream.Write(&flag, 1) != 1) return false;
  return SaveTheInstances(stream, Count());
}

bool TUsefulBaseListSorts::ReadFromStream(TStream& stream) {
  int32_t count = 0;
  if (!ReadCount(stream, count)) return false;
  uint8_t flag = 0;
  if (stream.Read(&flag, 1) != 1) return false;
  sorted = flag != 0;
  if (!CountAcceptable(count)) return false;
  return LoadTheInstances(stream, count);
}

// ---- rows of integers ----

bool TMultiLongintHolder::SaveToStream(TStream& stream) {
  for (int32_t v : data.dados)
    if (!WriteInt32(stream, v)) return false;
  return true;
}

bool TMultiLongintHolder::ReadFromStream(TStream& stream) {
  data.dados.assign(static_cast<size_t>(std::clamp<int32_t>(global_temp_Longint, 0, tml_6)), 0);
  for (int32_t& v : data.dados)
    if (!ReadInt32(stream, v)) return false;
  return true;
}

TMultiLongintList::TMultiLongintList(TUsefulBaseListObjectClass EntriesClass, TMultiLongintSize size)
    : TUsefulBaseListSorts(EntriesClass), tamanho(size) {}

TMultiLongintList::TMultiLongintList(TMultiLongintSize size)
    : TMultiLongintList(ClassOf<TMultiLongintHolder>(), size) {}

namespace {

TMultiLongintHolder* AsRow(void* p) { return dynamic_cast<TMultiLongintHolder*>(static_cast<TUsefulBaseListObject*>(p)); }

TMultiLongintRec FreshRow(TMultiLongintSize width, const std::vector<int32_t>& values) {
  TMultiLongintRec rec;
  rec.dados.assign(width, 0);
  std::copy_n(values.begin(), std::min(values.size(), rec.dados.size()), rec.dados.begin());
  return rec;
}

// The keys of the running multi-key sort.
int sortKeyCount = 0;
TMultiLongintSize sortKeys[3] = {tml_0, tml_0, tml_0};

int32_t RowValue(void* p, TMultiLongintSize which) {
  const TMultiLongintHolder* row = AsRow(p);
  return (row && row->LengthOK(which)) ? row->data.dados[which] : kNoMultiLongintValue;
}

int CompareRowsOnKeys(void* a, void* b) {
  int32_t result = 0;
  for (int k = 0; k < sortKeyCount; ++k) {
    result = CompareLongints(RowValue(a, sortKeys[k]), RowValue(b, sortKeys[k]));
    if (result != 0) break;
  }
  return result;
}

}  // namespace

int32_t TMultiLongintList::AddOne(const std::vector<int32_t>& values) {
  return AddEntry(std::make_unique<TMultiLongintHolder>(FreshRow(tamanho, values)));
}

void TMultiLongintList::InsertOne(int32_t index, const std::vector<int32_t>& values) {
  auto entry = std::make_unique<TMultiLongintHolder>(FreshRow(tamanho, values));
  Insert(index, entry.get());
  entry.release();
}

bool TMultiLongintList::WithinRange(int32_t i, TMultiLongintSize which) const {
  if (!IndexAssignedOK(i)) return false;
  const TMultiLongintHolder* row = AsRow(Get(i));
  return row && row->LengthOK(which);
}

int32_t TMultiLongintList::GetAValue(int32_t i, TMultiLongintSize which) const {
  return WithinRange(i, which) ? AsRow(Get(i))->data.dados[which] : kNoMultiLongintValue;
}

void TMultiLongintList::SetAValue(int32_t i, TMultiLongintSize which, int32_t value) {
  if (WithinRange(i, which)) AsRow(Get(i))->data.dados[which] = value;
}

void TMultiLongintList::AddToOneFreq(int32_t i, int32_t amount, TMultiLongintSize which) {
  if (!WithinRange(i, which)) return;
  int32_t& v = AsRow(Get(i))->data.dados[which];
  v = static_cast<int32_t>(static_cast<uint32_t>(v) + static_cast<uint32_t>(amount));
}

int32_t TMultiLongintList::LongIndexOf(int32_t value, TMultiLongintSize which) const {
  for (int32_t i = 0; i < Count(); ++i)
    if (WithinRange(i, which) && AsRow(Get(i))->data.dados[which] == value) return i;
  return -1;
}

int32_t TMultiLongintList::TotalOf(TMultiLongintSize which) const {
  uint32_t total = 0;
  for (int32_t i = 0; i < Count(); ++i)
    if (WithinRange(i, which)) total += static_cast<uint32_t>(AsRow(Get(i))->data.dados[which]);
  return static_cast<int32_t>(total);
}

std::vector<int32_t> TMultiLongintList::ToArrayOfInteger(TMultiLongintSize which) const {
  std::vector<int32_t> out(static_cast<size_t>(Count()));
  for (int32_t k = 0; k < Count(); ++k) out[k] = GetAValue(k, which);
  return out;
}

void TMultiLongintList::SortOnKeys(int keyCount, TMultiLongintSize k1, TMultiLongintSize k2, TMultiLongintSize k3) {
  sortKeyCount = keyCount;
  sortKeys[0] = k1;
  sortKeys[1] = k2;
  sortKeys[2] = k3;
  Sort(&CompareRowsOnKeys);
}

void TMultiLongintList::SingleSort(TMultiLongintSize k1) { SortOnKeys(1, k1, k1, k1); }
void TMultiLongintList::DoubleSort(TMultiLongintSize k1, TMultiLongintSize k2) { SortOnKeys(2, k1, k2, k2); }
void TMultiLongintList::TripleSort(TMultiLongintSize k1, TMultiLongintSize k2, TMultiLongintSize k3) {
  SortOnKeys(3, k1, k2, k3);
}

void TMultiLongintList::FreeAndNilOne(int32_t i) {
  if (!IndexAssignedOK(i)) return;
  if (TMultiLongintHolder* row = AsRow(Get(i))) row->data.dados.clear();
  FreeSlot(i);
}

bool TMultiLongintList::ReadFromStream(TStream& stream) {
  global_temp_Longint = tamanho;
  return TUsefulBaseListSorts::ReadFromStream(stream);
}

}  // namespace kx8
