// A list of chosen files that stores each folder once: one line per file (its name without folder)
// with a record of its date, size and folder number, and the folders in order of first use.
#pragma once

#include <cstdint>
#include <memory>

#include "kx8rt/containers/checked_string_lists.h"
#include "kx8rt/containers/search_recs.h"

namespace kx8 {

// A checked string list whose slots hold owned TMySimpleSearchRecHolders; a line's text is the
// holder's ShortName.
class TMySimpleSearchRecHolderStringlist : public TIndexCheckStringlist {
 public:
  TMySimpleSearchRecHolderStringlist() : TIndexCheckStringlist(true) {}
  // The ShortName of line i; empty for a bad index.
  UnicodeString Get(int32_t i) const override;
  // A copy of line i's record; all zero for a bad index.
  TMySimpleSearchRec GetASimpleSearchRec(int32_t i) const;
  // Line i's folder_number; 0 for a bad index.
  int32_t GetAFolderNumber(int32_t i) const;
  // Adds a line for rec, its text rec.ShortName; returns its index.
  int32_t AddRec(const TMySimpleSearchRec& rec);
  // Frees holder i and empties its slot.
  void FreeAndNilOne(int32_t i) override;
  // The holder of line i, or null.
  TMySimpleSearchRecHolder* HolderAt(int32_t i) const;
};

// Chosen files with their folders stored once.
class TFolderEfficientFileStringlist {
 public:
  TFolderEfficientFileStringlist();
  // One line per file.
  std::unique_ptr<TMySimpleSearchRecHolderStringlist> files;
  // Each folder path once, with its trailing separator, in order of first use.
  std::unique_ptr<TStringList> folders;
  // Whether short names compare without regard to case when sorting by folder or name.
  bool case_insensitive = false;
  TMySimpleSearchRecSort sort_1 = ss_none;
  TMySimpleSearchRecSort sort_2 = ss_none;

  // Splits fullname into folder (with its separator) and name; adds a zeroed record for it.
  int32_t AddOne(const UnicodeString& fullname);
  int32_t Add(const UnicodeString& fullname) { return AddOne(fullname); }
  // Adds the caller's record under folder (found or appended).
  int32_t AddOne(const UnicodeString& folder, const TMySimpleSearchRec& rec);
  // Adds the record under an existing folder index (stored as its folder_number).
  int32_t AddOne(int32_t folder_index, const TMySimpleSearchRec& rec);
  int32_t Count() const { return files->Count(); }
  // Removes file line i (folders are kept).
  void Delete(int32_t i);
  // Empties both lists.
  void Clear();
  TMySimpleSearchRec GetASimpleSearchRec(int32_t i) const { return files->GetASimpleSearchRec(i); }
  // Folder (separator ensured) + ShortName; the ShortName alone when the folder number is unknown;
  // empty for a bad index.
  UnicodeString GetFullFilename(int32_t i) const;
  // A new list (the caller's) of every full name in order.
  std::unique_ptr<TStringList> GetAsStringlist() const;
  // -1 when fullname's folder is unknown; else the first line with its name (the file list's IndexOf).
  int32_t IndexOfFullName(const UnicodeString& fullname) const;
  int32_t IndexOfShortName(const UnicodeString& name) const { return files->IndexOf(name); }
  // Renames entry i: both the line's text and its record's ShortName become the file-name part of
  // name, so that the entry reads back the new name; the folder is left as it was (a rename within
  // its folder, which is what callers renaming a chosen file want). A bad index is ignored.
  void SetFullFilename(int32_t i, const UnicodeString& name);
  // Sorts files by sort1 then sort2 (ss_none: no sort at all); descending reverses afterwards.
  void DoASort(TMySimpleSearchRecSort sort1, TMySimpleSearchRecSort sort2, bool ascending);

 private:
  int32_t FolderIndex(const UnicodeString& folder);
};

}  // namespace kx8
