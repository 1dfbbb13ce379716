// The root object of the library's class hierarchy and the untyped pointer list built on it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "kx8rt/platform/strings.h"

namespace kx8 {

// Root of every class whose instances live in a list slot; deleting through it is always safe.
class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = default;
  TObject& operator=(const TObject&) = default;
  virtual ~TObject() = default;
};

// Two-pointer comparison for TList::Sort: negative, 0 or positive.
using TListSortCompare = int (*)(void* Item1, void* Item2);

// Raises EListError with "<message> (<index>)", the form of every list error.
[[noreturn]] void RaiseListError(const char16_t* message, int64_t index);

// A list of untyped pointers with 0-based indices. It never frees what its items point to:
// descendants that own their entries override Clear (and Delete) and clear in their own destructor.
class TList : public TObject {
 public:
  TList() = default;
  ~TList() override = default;

  // Number of items.
  int32_t Count() const { return static_cast<int32_t>(fItems.size()); }
  // Grows with nil items or drops items from the end; a negative count raises EListError.
  void SetCount(int32_t NewCount);
  // Room reserved for items; below Count raises EListError.
  int32_t Capacity() const { return static_cast<int32_t>(fItems.capacity()); }
  void SetCapacity(int32_t NewCapacity);

  // Appends Item and returns its index.
  int32_t Add(void* Item);
  // Inserts Item before Index (Index = Count appends).
  void Insert(int32_t Index, void* Item);
  // Removes item Index; the pointer itself is left alone.
  virtual void Delete(int32_t Index);
  // Removes every item and releases the capacity.
  virtual void Clear();

  // Item Index; an index outside 0..Count-1 raises EListError "List index out of bounds (%d)".
  void* Get(int32_t Index) const;
  void Put(int32_t Index, void* Item);
  void* operator[](int32_t Index) const { return Get(Index); }
  void* First() const { return Get(0); }
  void* Last() const { return Get(Count() - 1); }

  // Swaps two items.
  void Exchange(int32_t Index1, int32_t Index2);
  // Moves the item at CurIndex so that it ends at NewIndex.
  void Move(int32_t CurIndex, int32_t NewIndex);
  // Index of the first slot holding Item, or -1.
  int32_t IndexOf(const void* Item) const;
  // Deletes the first slot holding Item and returns its old index, or -1.
  int32_t Remove(const void* Item);
  // Like Remove, returning the pointer (nullptr when absent).
  void* Extract(void* Item);
  // Removes every nil slot, keeping the order of the others.
  void Pack();
  // Quick sort (not stable) with a two-pointer comparison; a null comparison raises EListError.
  void Sort(TListSortCompare Compare);

  // The items themselves, for fast scans.
  void* const* List() const { return fItems.data(); }

 protected:
  void CheckIndex(int32_t Index) const;

 private:
  std::vector<void*> fItems;
};

// A pointer list that owns its entries, objects of type T: Clear, Delete and the destructor free them,
// so that the lists of the suite that own their holders need not each write that out. Base is TList or
// a list derived from it.
template <typename T, typename Base = TList>
class TOwningList : public Base {
 public:
  using Base::Base;
  TOwningList() = default;
  ~TOwningList() override { FreeAll(); }
  TOwningList(const TOwningList&) = delete;
  TOwningList& operator=(const TOwningList&) = delete;

  // Frees every entry, then empties the list.
  void Clear() override {
    FreeAll();
    Base::Clear();
  }
  // Frees entry Index (EListError out of range), then removes its slot.
  void Delete(int32_t Index) override {
    T* item = static_cast<T*>(Base::Get(Index));
    Base::Delete(Index);
    delete item;
  }
  // Appends an object the list takes over; returns its index.
  int32_t AddOwned(std::unique_ptr<T> item) {
    const int32_t i = Base::Add(item.get());
    item.release();
    return i;
  }
  // The entry at Index (EListError out of range).
  T* Item(int32_t Index) const { return static_cast<T*>(Base::Get(Index)); }

 private:
  void FreeAll() {
    for (int32_t i = 0; i < Base::Count(); ++i) delete static_cast<T*>(Base::Get(i));
    Base::Clear();
  }
};

}  // namespace kx8
