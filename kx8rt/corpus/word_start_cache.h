// Word starts found by cutting a window's Chinese, Japanese, Thai, Lao, Khmer or Myanmar runs, kept on
// disk so that a text searched again is not cut again: the cut costs more than the rest of a search of
// such text together, and a corpus is searched many times. An entry is found by a 128-bit hash of all the
// cut reads (the window's units and which of them are word characters) and of the dictionary and build
// that cut it, so an entry is used only for the very window it was made from: a text that changed, a
// different word rule or another build of the library simply finds nothing. Entries live in the words
// folder of the user's cache folder (see UserCacheDir), in packs: each process that keeps anything
// appends its entries to a pack of its own and their keys and places to the pack's index (making a
// file costs as much as cutting a window), and reads every pack's index when it first looks for an
// entry. Packs are let go whole, the least recently used first, past a cap (KX8_WORD_CACHE_MB, default
// 512; 0 keeps nothing).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "kx8rt/corpus/lane_hash.h"

namespace kx8 {

using TWordStartKey = THash128;

class TWordStartCache {
 public:
  // Entries in folder (empty: none kept), at most capBytes of them in at most maxPacks packs (each
  // pack's index is read when a process first looks), for windows with at least minUnits units of the
  // scripts that are cut.
  TWordStartCache(std::string folder, uint64_t capBytes, int64_t minUnits, size_t maxPacks = 256);
  ~TWordStartCache();
  TWordStartCache(const TWordStartCache&) = delete;
  TWordStartCache& operator=(const TWordStartCache&) = delete;
  // The process's: the words folder of UserCacheDir(), its cap from KX8_WORD_CACHE_MB.
  static TWordStartCache& Process();

  // Whether a window of n units, units of which are word characters from U+0E00 up, is worth keeping:
  // enough to cut that finding its entry (a hash of the window) costs little beside the cut.
  bool Wanted(int32_t n, int64_t units) const;
  // The key of the window text[0, n) whose word characters are the bits of word ((n + 63) / 64 words),
  // cut by the cutter whose make is salt.
  static TWordStartKey KeyOf(const char16_t* text, int32_t n, const uint64_t* word, uint64_t salt);
  // A key of the same window from its word characters and a few of its units only: cheap enough to
  // look for before the cut, leaving the hash of the whole window (which would push the dictionary
  // out of the caches) for a window that may be kept, or after the cut.
  static uint64_t QuickKeyOf(const char16_t* text, int32_t n, const uint64_t* word, uint64_t salt);
  // Whether an entry with that quick key may be kept (one looks up the key itself then).
  bool MayHave(uint64_t quick);
  // Sets word_start_flag in types where the entry of key says words begin, and the number of runs cut
  // in runs; false, touching nothing, when there is no sound entry of key for n units.
  bool Apply(const TWordStartKey& key, int32_t n, uint16_t* types, int32_t& runs);
  // Keeps the word starts of a window of n units (a bit a unit, 64 a word) and its number of runs,
  // under its key and quick key. A failure to write only means the window is cut again next time.
  void Keep(const TWordStartKey& key, uint64_t quick, int32_t n, const uint64_t* starts, int32_t runs);

  // Lets every pack in the folder go, this process's own too (the next window kept starts a new one).
  void Clear();

 private:
  struct TKeyHash {
    size_t operator()(const TWordStartKey& k) const { return static_cast<size_t>(k.low); }
  };
  struct TPlace {
    uint32_t pack;
    uint64_t offset;
  };
  // A record of a pack's index: an entry's key and where in the pack it begins.
  struct TIndexRecord {
    uint64_t keyLow, keyHigh, quick, offset;
  };
  struct TPack {
    std::string name;  // the pack's file, less its suffix (the index's is name + ".kwi")
    int fd = -1;       // opened when first read from (the own pack at once)
    bool touched = false;
  };
  // (All under mutex_.) Reads the indexes of the packs in the folder.
  void LoadIndexes();
  // Starts a pack of this process's own; false when the folder cannot take one.
  bool StartOwnPack();
  // Lets the least recently used packs of other processes go until the folder holds at most three
  // quarters of the cap and of the packs allowed.
  void Trim();
  void Forget(uint32_t pack);
  // Removes the pack of that name and its index (index first: a record never outlives its entry), and
  // forgets it; whether the pack was removed.
  bool RemovePack(const std::string& name);
  // Writes the own pack's gathered entries, then its records not yet written.
  void Flush();

  std::string folder_;
  uint64_t capBytes_;
  int64_t minUnits_;
  size_t maxPacks_;
  std::mutex mutex_;
  bool loaded_ = false, unwritable_ = false, counted_ = false;
  std::unordered_map<TWordStartKey, TPlace, TKeyHash> places_;
  std::unordered_set<uint64_t> quick_;  // the entries' quick keys (of entries let go too)
  std::vector<TPack> packs_;
  int64_t ownPack_ = -1;    // in packs_
  int ownerPid_ = 0;        // the process that made it
  int ownIndex_ = -1;       // the own pack's index, appended to
  uint64_t ownBytes_ = 0;   // the own pack's length, with what is gathered
  uint64_t written_ = 0;    // of it, written
  std::vector<uint64_t> gathered_;  // small entries, to be written together
  std::vector<TIndexRecord> pendingIndex_;  // the records of the own pack's entries not yet written
  uint64_t total_ = 0;      // the packs' bytes, as far as this process knows
};

}  // namespace kx8
