#include "kx8rt/corpus/word_start_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "kx8rt/corpus/dictionary_words.h"
#include "kx8rt/corpus/lane_hash.h"
#include "kx8rt/platform/cpu_features.h"
#include "kx8rt/text_primitives/char_types.h"

namespace kx8 {

namespace {

namespace fs = std::filesystem;

constexpr uint64_t kMul = 0x9E3779B97F4A7C15u;

// An entry's file: this header, then a bit for each unit of the window, 64 a word.
struct TEntryHeader {
  char magic[8];
  uint64_t keyLow, keyHigh, units, runs, contentHash;
};
constexpr char kMagic[8] = {'K', 'X', '8', 'W', 'S', 'T', '0', '1'};
constexpr const char* kPackSuffix = ".kwp";
constexpr const char* kIndexSuffix = ".kwi";
// How many records of a pack's index wait before they are written (each write is a call), and the size
// below which entries gather to be written together.
constexpr size_t kBatchRecords = 64;
constexpr size_t kGatherBelow = 64 << 10;

uint64_t ContentHash(const uint64_t* bits, size_t words, const TWordStartKey& key) {
  return LaneHash64(bits, words * sizeof(uint64_t), key.low ^ key.high);
}

size_t WordsOf(int32_t n) { return static_cast<size_t>(n + 63) / 64; }

#if defined(__x86_64__) && defined(__GNUC__)
// Sets word_start_flag in the types whose bits are set, 32 units at a time (only those lanes are read
// and written: no bit is set past the window's end).
__attribute__((target("avx512f,avx512bw"))) void SetStarts512(uint16_t* types, int32_t n, const uint64_t* bits) {
  const __m512i flag = _mm512_set1_epi16(static_cast<int16_t>(word_start_flag));
  for (int32_t i = 0; i < n; i += 32) {
    const auto m = static_cast<__mmask32>(bits[i >> 6] >> (i & 63));
    if (m == 0) continue;
    const __m512i v = _mm512_maskz_loadu_epi16(m, types + i);
    _mm512_mask_storeu_epi16(types + i, m, _mm512_or_si512(v, flag));
  }
}
#endif

void SetStarts(uint16_t* types, int32_t n, const uint64_t* bits) {
#if defined(__x86_64__) && defined(__GNUC__)
  if (Global_UseWideVectors && Global_UseVectors512) {
    SetStarts512(types, n, bits);
    return;
  }
#endif
  const size_t words = WordsOf(n);
  for (size_t j = 0; j < words; ++j)
    for (uint64_t b = bits[j]; b != 0; b &= b - 1)
      types[j * 64 + static_cast<size_t>(__builtin_ctzll(b))] |= word_start_flag;
}

}  // namespace

TWordStartCache::TWordStartCache(std::string folder, uint64_t capBytes, int64_t minUnits, size_t maxPacks)
    : folder_(std::move(folder)), capBytes_(capBytes), minUnits_(minUnits), maxPacks_(std::max<size_t>(maxPacks, 2)) {}

TWordStartCache::~TWordStartCache() {
  Flush();
  for (const TPack& p : packs_)
    if (p.fd >= 0) ::close(p.fd);
  if (ownIndex_ >= 0) ::close(ownIndex_);
}

TWordStartCache& TWordStartCache::Process() {
  static TWordStartCache cache = [] {
    std::string folder = UserCacheDir();
    if (!folder.empty()) folder += "/words";
    uint64_t capMB = 512;
    if (const char* cap = std::getenv("KX8_WORD_CACHE_MB"); cap && *cap) {
      char* end = nullptr;
      const unsigned long long v = std::strtoull(cap, &end, 10);
      if (end && *end == '\0') capMB = std::min<unsigned long long>(v, 1ull << 30);  // (a petabyte: no overflow)
    }
    // A window with fewer letters to cut than this is cut again: its entry would cost about as much
    // to find and read as the cut (a call to read, some microseconds here; a thousand letters take
    // about six to cut).
    constexpr int64_t kMinUnits = 1024;
    return TWordStartCache(capMB == 0 ? std::string() : folder, capMB << 20, kMinUnits);
  }();
  return cache;
}

bool TWordStartCache::Wanted(int32_t n, int64_t units) const {
  // The hash reads the whole window at about 0.1 ns a unit; the cut costs some 5-7 ns a letter. A
  // window with one letter to cut in 32 units or more gains.
  return !folder_.empty() && capBytes_ > 0 && units >= minUnits_ && units * 32 >= n;
}

TWordStartKey TWordStartCache::KeyOf(const char16_t* text, int32_t n, const uint64_t* word, uint64_t salt) {
  TLaneHash h(salt ^ static_cast<uint64_t>(n));
  h.Add(text, static_cast<size_t>(n) * sizeof(char16_t));
  h.Add(word, WordsOf(n) * sizeof(uint64_t));
  return h.Key();
}

uint64_t TWordStartCache::QuickKeyOf(const char16_t* text, int32_t n, const uint64_t* word, uint64_t salt) {
  TLaneHash h(salt ^ static_cast<uint64_t>(n) ^ kMul);
  h.Add(word, WordsOf(n) * sizeof(uint64_t));
  char16_t units[64];
  for (int32_t k = 0; k < 64; ++k) units[k] = n > 0 ? text[static_cast<int64_t>(n) * k / 64] : 0;
  h.Add(units, sizeof units);
  return h.Key().low;
}

bool TWordStartCache::MayHave(uint64_t quick) {
  if (folder_.empty()) return false;
  std::lock_guard<std::mutex> g(mutex_);
  if (!loaded_) LoadIndexes();
  return quick_.count(quick) != 0;
}

void TWordStartCache::LoadIndexes() {
  loaded_ = true;
  std::error_code ec;
  for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    if (p.extension() != kIndexSuffix) continue;
    std::error_code e;
    const uint64_t bytes = it->file_size(e);
    // (A record half-appended by a writer at work is passed over.)
    if (e || bytes < sizeof(TIndexRecord)) continue;
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    std::vector<TIndexRecord> records(bytes / sizeof(TIndexRecord));
    const size_t whole = records.size() * sizeof(TIndexRecord);
    const bool read = ::pread(fd, records.data(), whole, 0) == static_cast<ssize_t>(whole);
    ::close(fd);
    if (!read) continue;
    const auto pack = static_cast<uint32_t>(packs_.size());
    packs_.push_back({p.stem().string()});
    for (const TIndexRecord& r : records) {
      places_.insert({{r.keyLow, r.keyHigh}, {pack, r.offset}});
      quick_.insert(r.quick);
    }
  }
}

bool TWordStartCache::StartOwnPack() {
  std::error_code ec;
  fs::create_directories(folder_, ec);
  if (ec) return false;
  // A name no other process or earlier pack of this one has.
  static uint32_t serial = 0;
  char name[64];
  std::snprintf(name, sizeof name, "%08x-%016llx-%u", static_cast<unsigned>(::getpid()),
                static_cast<unsigned long long>(std::chrono::system_clock::now().time_since_epoch().count()), serial++);
  const std::string base = folder_ + "/" + name;
  const int pack = ::open((base + kPackSuffix).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (pack < 0) return false;
  const int index = ::open((base + kIndexSuffix).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0644);
  if (index < 0) {
    ::close(pack);
    ::unlink((base + kPackSuffix).c_str());
    return false;
  }
  if (ownerPid_ == ::getpid()) {
    Flush();
  } else {  // (a forked process leaves its parent's entries and records to it)
    gathered_.clear();
    pendingIndex_.clear();
  }
  if (ownIndex_ >= 0) ::close(ownIndex_);  // (the pack before stays readable, and may now be let go)
  ownerPid_ = ::getpid();
  ownIndex_ = index;
  ownPack_ = static_cast<int64_t>(packs_.size());
  packs_.push_back({name, pack, true});
  ownBytes_ = written_ = 0;
  return true;
}

bool TWordStartCache::Apply(const TWordStartKey& key, int32_t n, uint16_t* types, int32_t& runs) {
  if (folder_.empty() || n <= 0) return false;
  const size_t words = WordsOf(n);
  const size_t bytes = sizeof(TEntryHeader) + words * sizeof(uint64_t);
  thread_local std::vector<uint64_t> buffer;
  buffer.resize(bytes / 8);
  static_assert(sizeof(TEntryHeader) % 8 == 0, "the bits follow the header word-aligned");
  {
    std::lock_guard<std::mutex> g(mutex_);
    if (!loaded_) LoadIndexes();
    const auto found = places_.find(key);
    if (found == places_.end()) return false;
    TPack& pack = packs_[found->second.pack];
    const uint64_t offset = found->second.offset;
    bool read = false;
    if (static_cast<int64_t>(found->second.pack) == ownPack_ && offset >= written_) {
      // (Kept by this process and gathered, not yet written.)
      read = offset - written_ + bytes <= gathered_.size() * 8;
      if (read)
        std::memcpy(buffer.data(), reinterpret_cast<const char*>(gathered_.data()) + (offset - written_), bytes);
    } else {
      if (pack.fd < 0) pack.fd = ::open((folder_ + "/" + pack.name + kPackSuffix).c_str(), O_RDONLY | O_CLOEXEC);
      // (Read under the lock: a pack let go by Trim is closed under it.)
      read = pack.fd >= 0 &&
             ::pread(pack.fd, buffer.data(), bytes, static_cast<off_t>(offset)) == static_cast<ssize_t>(bytes);
    }
    if (!read) {
      places_.erase(found);  // (its pack was let go by another process, or cut short)
      return false;
    }
    // Used now: among the last to be let go.
    if (!pack.touched && pack.fd >= 0) {
      ::futimens(pack.fd, nullptr);
      pack.touched = true;
    }
  }
  TEntryHeader h{};
  std::memcpy(&h, buffer.data(), sizeof h);
  const uint64_t* bits = buffer.data() + sizeof(TEntryHeader) / 8;
  // (No bit past the window's end: SetStarts writes where bits are set.)
  const uint64_t past = n % 64 == 0 ? 0 : ~uint64_t{0} << (n % 64);
  if (std::memcmp(h.magic, kMagic, sizeof kMagic) != 0 || h.keyLow != key.low || h.keyHigh != key.high ||
      h.units != static_cast<uint64_t>(n) || h.runs > static_cast<uint64_t>(n) || (bits[words - 1] & past) != 0 ||
      ContentHash(bits, words, key) != h.contentHash)
    return false;
  SetStarts(types, n, bits);
  runs = static_cast<int32_t>(h.runs);
  return true;
}

void TWordStartCache::Keep(const TWordStartKey& key, uint64_t quick, int32_t n, const uint64_t* starts, int32_t runs) {
  if (folder_.empty() || n <= 0) return;
  const size_t words = WordsOf(n);
  TEntryHeader h{};
  std::memcpy(h.magic, kMagic, sizeof kMagic);
  h.keyLow = key.low, h.keyHigh = key.high;
  h.units = static_cast<uint64_t>(n);
  h.runs = static_cast<uint64_t>(std::max(runs, 0));
  h.contentHash = ContentHash(starts, words, key);
  const uint64_t bytes = sizeof h + words * sizeof(uint64_t);
  std::lock_guard<std::mutex> g(mutex_);
  if (unwritable_) return;
  if (!loaded_) LoadIndexes();
  if (places_.count(key) != 0) return;
  // A pack grown to an eighth of the cap is closed to more, so that it can be let go in time; a process
  // forked from the one that made it (Python's workers are) starts its own, or both would write at once.
  if (ownPack_ < 0 || ownBytes_ >= capBytes_ / 8 || ownerPid_ != ::getpid()) {
    if (!StartOwnPack()) {
      unwritable_ = true;
      return;
    }
    // (Counts what the folder holds the first time; lets old packs go past the number allowed.)
    if (!counted_ || packs_.size() >= maxPacks_) Trim();
  }
  // A large entry is written at once (the kernel's copy costs less than gathering it here); small ones,
  // of small texts, gather and are written together (a call a window would cost as much as cutting it).
  // Records are written after their entries: a record never points at less than a whole entry.
  const uint64_t at = ownBytes_;
  if (bytes >= kGatherBelow) {
    Flush();
    const TPack& pack = packs_[static_cast<size_t>(ownPack_)];
    const iovec parts[2] = {{&h, sizeof h}, {const_cast<uint64_t*>(starts), words * sizeof(uint64_t)}};
    if (unwritable_ || ::pwritev(pack.fd, parts, 2, static_cast<off_t>(at)) != static_cast<ssize_t>(bytes)) {
      unwritable_ = true;  // (a disk full: nothing more is kept)
      return;
    }
    written_ = at + bytes;
  } else {
    const size_t end = gathered_.size();
    gathered_.resize(end + bytes / 8);
    std::memcpy(gathered_.data() + end, &h, sizeof h);
    std::memcpy(gathered_.data() + end + sizeof h / 8, starts, words * sizeof(uint64_t));
  }
  pendingIndex_.push_back({key.low, key.high, quick, at});
  places_.insert({key, {static_cast<uint32_t>(ownPack_), at}});
  quick_.insert(quick);
  ownBytes_ += bytes;
  total_ += bytes;
  if (pendingIndex_.size() >= kBatchRecords || gathered_.size() * 8 >= kGatherBelow) Flush();
  if (total_ > capBytes_) Trim();
}

void TWordStartCache::Flush() {
  if (ownIndex_ < 0 || ownerPid_ != ::getpid()) return;
  if (!gathered_.empty()) {
    const size_t bytes = gathered_.size() * 8;
    if (::pwrite(packs_[static_cast<size_t>(ownPack_)].fd, gathered_.data(), bytes, static_cast<off_t>(written_)) !=
        static_cast<ssize_t>(bytes))
      unwritable_ = true;  // (and the records of what was not written are not written either)
    written_ += bytes;
    gathered_.clear();
  }
  if (pendingIndex_.empty()) return;
  const size_t bytes = pendingIndex_.size() * sizeof(TIndexRecord);
  if (unwritable_ || ::write(ownIndex_, pendingIndex_.data(), bytes) != static_cast<ssize_t>(bytes)) unwritable_ = true;
  pendingIndex_.clear();
}

void TWordStartCache::Clear() {
  if (folder_.empty()) return;
  std::lock_guard<std::mutex> g(mutex_);
  for (uint32_t k = 0; k < packs_.size(); ++k) Forget(k);
  if (ownIndex_ >= 0) ::close(ownIndex_);
  ownIndex_ = -1, ownPack_ = -1, ownBytes_ = written_ = 0;
  gathered_.clear();
  pendingIndex_.clear();
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().extension() == kPackSuffix || it->path().extension() == kIndexSuffix)
      names.push_back(it->path().stem().string());
  for (const std::string& name : names) RemovePack(name);
  total_ = 0;
  quick_.clear();
  loaded_ = true;  // (nothing left to read)
}

bool TWordStartCache::RemovePack(const std::string& name) {
  std::error_code e;
  fs::remove(folder_ + "/" + name + kIndexSuffix, e);
  const bool removed = fs::remove(folder_ + "/" + name + kPackSuffix, e);
  for (uint32_t k = 0; k < packs_.size(); ++k)
    if (packs_[k].name == name) Forget(k);
  return removed;
}

void TWordStartCache::Forget(uint32_t pack) {
  TPack& p = packs_[pack];
  if (p.fd >= 0) ::close(p.fd);
  p.fd = -1;
  p.name.clear();
  std::erase_if(places_, [pack](const auto& e) { return e.second.pack == pack; });
}

void TWordStartCache::Trim() {
  struct TFile {
    fs::file_time_type used;
    uint64_t bytes;
    std::string name;
  };
  std::vector<TFile> files;
  uint64_t total = 0;
  const std::string own = ownPack_ >= 0 ? packs_[static_cast<size_t>(ownPack_)].name : std::string();
  std::error_code ec;
  for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    std::error_code e;
    const std::string name = p.stem().string();
    if (p.extension() == kIndexSuffix) {
      // An index whose pack is gone (let go by another process between its two removals).
      if (!fs::exists(folder_ + "/" + name + kPackSuffix, e) && !e) fs::remove(p, e);
      continue;
    }
    if (p.extension() != kPackSuffix) continue;
    const auto used = fs::last_write_time(p, e);
    const uint64_t bytes = e ? 0 : it->file_size(e);
    if (e) continue;
    total += bytes;
    if (name != own) files.push_back({used, bytes, name});
  }
  size_t packs = files.size() + (own.empty() ? 0 : 1);
  if (total > capBytes_ || packs > maxPacks_) {
    std::sort(files.begin(), files.end(), [](const TFile& a, const TFile& b) { return a.used < b.used; });
    for (const TFile& f : files) {
      if (total <= capBytes_ / 4 * 3 && packs <= maxPacks_ / 4 * 3) break;
      if (RemovePack(f.name)) total -= f.bytes, --packs;
    }
  }
  total_ = total;
  counted_ = true;
}

}  // namespace kx8
