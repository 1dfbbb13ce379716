#include "kx8rt/platform/object_list.h"

#include <algorithm>

#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/quick_sort.h"

namespace kx8 {

void RaiseListError(const char16_t* message, int64_t index) {
  throw EListError(UnicodeString(message) + u" (" + IntToStr(index) + u")");
}

void TList::CheckIndex(int32_t Index) const {
  if (Index < 0 || Index >= Count()) RaiseListError(u"List index out of bounds", Index);
}

void TList::SetCount(int32_t NewCount) {
  if (NewCount < 0) RaiseListError(u"List count out of bounds", NewCount);
  fItems.resize(static_cast<size_t>(NewCount), nullptr);
}

void TList::SetCapacity(int32_t NewCapacity) {
  if (NewCapacity < Count()) RaiseListError(u"List capacity out of bounds", NewCapacity);
  if (static_cast<size_t>(NewCapacity) > fItems.capacity()) {
    fItems.reserve(static_cast<size_t>(NewCapacity));
  } else {
    // shrink_to_fit is only a request; copy into an exact vector when asked to shrink.
    std::vector<void*> exact;
    exact.reserve(static_cast<size_t>(NewCapacity));
    exact.assign(fItems.begin(), fItems.end());
    fItems.swap(exact);
  }
}

int32_t TList::Add(void* Item) {
  fItems.push_back(Item);
  return Count() - 1;
}

void TList::Insert(int32_t Index, void* Item) {
  if (Index < 0 || Index > Count()) RaiseListError(u"List index out of bounds", Index);
  fItems.insert(fItems.begin() + Index, Item);
}

void TList::Delete(int32_t Index) {
  CheckIndex(Index);
  fItems.erase(fItems.begin() + Index);
}

void TList::Clear() {
  std::vector<void*>().swap(fItems);
}

void* TList::Get(int32_t Index) const {
  CheckIndex(Index);
  return fItems[static_cast<size_t>(Index)];
}

void TList::Put(int32_t Index, void* Item) {
  CheckIndex(Index);
  fItems[static_cast<size_t>(Index)] = Item;
}

void TList::Exchange(int32_t Index1, int32_t Index2) {
  CheckIndex(Index1);
  CheckIndex(Index2);
  std::swap(fItems[static_cast<size_t>(Index1)], fItems[static_cast<size_t>(Index2)]);
}

void TList::Move(int32_t CurIndex, int32_t NewIndex) {
  CheckIndex(CurIndex);
  CheckIndex(NewIndex);
  if (CurIndex == NewIndex) return;
  auto first = fItems.begin();
  if (CurIndex < NewIndex)
    std::rotate(first + CurIndex, first + CurIndex + 1, first + NewIndex + 1);
  else
    std::rotate(first + NewIndex, first + CurIndex, first + CurIndex + 1);
}

int32_t TList::IndexOf(const void* Item) const {
  auto it = std::find(fItems.begin(), fItems.end(), Item);
  return it == fItems.end() ? -1 : static_cast<int32_t>(it - fItems.begin());
}

int32_t TList::Remove(const void* Item) {
  int32_t i = IndexOf(Item);
  if (i >= 0) Delete(i);
  return i;
}

void* TList::Extract(void* Item) {
  return Remove(Item) >= 0 ? Item : nullptr;
}

void TList::Pack() {
  fItems.erase(std::remove(fItems.begin(), fItems.end(), nullptr), fItems.end());
}

void TList::Sort(TListSortCompare Compare) {
  if (Compare == nullptr) throw EListError(u"No comparison given for the sort");
  void** items = fItems.data();
  QuickSortIndexed(
      0, static_cast<int64_t>(fItems.size()) - 1, [&](int64_t a, int64_t b) { return Compare(items[a], items[b]); },
      [&](int64_t a, int64_t b) { std::swap(items[a], items[b]); });
}

}  // namespace kx8
