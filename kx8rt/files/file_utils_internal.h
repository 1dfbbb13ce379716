// What the file routines' source files share: small helpers of their own, not part of the library's
// interface (this header is not installed).
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>
#include <string>
#include <string_view>

#include "kx8rt/files/file_utils.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/file_system.h"
#include "kx8rt/platform/path_match.h"
#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/streams.h"
#include "kx8rt/text_primitives/utf8_unit.h"

namespace kx8::file_utils_detail {

namespace fs = std::filesystem;


// Names go to the system as the bytes they came from.
inline std::string N(const UnicodeString& s) { return Utf16ToNativeName(s); }

inline bool IsFile(const UnicodeString& name) {
  struct stat st;
  return !name.empty() && ::stat(N(name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

inline bool IsFolder(const UnicodeString& name) {
  struct stat st;
  return !name.empty() && ::stat(N(name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

inline bool CopyFileOver(const UnicodeString& from, const UnicodeString& to) {
  std::error_code ec;
  fs::copy_file(N(from), N(to), fs::copy_options::overwrite_existing, ec);
  return !ec;
}

inline UnicodeString NameOnly(const UnicodeString& path) {
  const size_t s = path.find_last_of(u'/');
  return s == UnicodeString::npos ? path : path.substr(s + 1);
}

inline UnicodeString ChangeExt(const UnicodeString& path, const UnicodeString& ext) {
  const size_t s = path.find_last_of(u'/');
  const size_t d = path.find_last_of(u'.');
  const bool has = d != UnicodeString::npos && (s == UnicodeString::npos || d > s);
  return (has ? path.substr(0, d) : path) + ext;
}

// The whole of a stream from its start, with two zero bytes after it (a zero UTF-16 unit).
inline std::string ReadWholeStream(TStream& stream) {
  std::string buf;
  const int64_t size = stream.Size();
  if (size > 0x7FFFFFF0LL) throw EReadError(u"Stream too large to read whole");
  stream.SetPosition(0);
  buf.resize(static_cast<size_t>(std::max<int64_t>(size, 0)) + 2);
  const int64_t got = size > 0 ? stream.Read(buf.data(), static_cast<int32_t>(size)) : 0;
  buf.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
  buf.append(2, '\0');
  return buf;
}

inline constexpr int32_t kUnicodeSample = 64 * 1024;

// Classifies the bytes up to the first zero byte.
inline TKXFileFormat ClassifyBytes(const uint8_t* p, size_t n) {
  const auto* z = static_cast<const uint8_t*>(std::memchr(p, 0, n));
  if (z) n = static_cast<size_t>(z - p);
  size_t i = 0;
  while (i < n && p[i] < 0x80) ++i;
  if (i == n) return fc_ASCII;
  return IsValidUTF8(p + i, n - i) ? fc_UTF8 : fc_ANSI;
}

inline void SwapUnits(char16_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) p[i] = static_cast<char16_t>((p[i] >> 8) | (p[i] << 8));
}

// Writes bytes to a new file, raising the stream's error on failure.
inline void WriteNewFile(const UnicodeString& fname, std::string_view bytes) {
  TFileStream f(fname, fmCreate);
  f.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

inline std::string UTF16LEBytes(std::u16string_view s, bool signature) {
  const size_t head = signature ? 2 : 0;
  std::string out(head + s.size() * 2, '\0');
  if (signature) out[0] = '\xFF', out[1] = '\xFE';
  if constexpr (std::endian::native == std::endian::little) {
    if (!s.empty()) std::memcpy(out.data() + head, s.data(), s.size() * 2);
  } else {
    for (size_t i = 0; i < s.size(); ++i) {
      out[head + 2 * i] = static_cast<char>(s[i] & 0xFF);
      out[head + 2 * i + 1] = static_cast<char>(s[i] >> 8);
    }
  }
  return out;
}


// Mount points of removable media by the usual places they are mounted on this system.
inline bool IsRemovableMount(const std::string& mount) {
  return mount.rfind("/media/", 0) == 0 || mount.rfind("/run/media/", 0) == 0 || mount.rfind("/mnt/", 0) == 0;
}

inline void CollectFiles(const UnicodeString& folder, const UnicodeString& mask, bool recurse, TStringList& dirs,
                  TStringList& files) {
  UnicodeString base = folder;
  if (base.empty() || base.back() != u'/') base += u'/';
  dirs.Add(base);
  std::error_code ec;
  std::vector<UnicodeString> subs;
  for (const auto& e : fs::directory_iterator(N(base), ec)) {
    const UnicodeString name = Utf8ToUtf16(e.path().filename().string());
    std::error_code ec2;
    if (e.is_directory(ec2) && !e.is_symlink(ec2)) {
      if (recurse) subs.push_back(base + name);
    } else if (e.is_regular_file(ec2) && PathMatchSpecW(name, mask)) {
      files.Add(base + name);
    }
  }
  std::sort(subs.begin(), subs.end());
  for (const auto& s : subs) CollectFiles(s, mask, recurse, dirs, files);
}

struct MountEntry {
  std::string device, mount, type;
};

inline std::vector<MountEntry> Mounts() {
  std::vector<MountEntry> out;
  std::ifstream f("/proc/mounts");
  MountEntry m;
  std::string rest;
  while (f >> m.device >> m.mount >> m.type && std::getline(f, rest)) out.push_back(m);
  return out;
}

inline bool IsNetworkType(const std::string& t) {
  return t == "nfs" || t == "nfs4" || t == "cifs" || t == "smb3" || t == "smbfs" || t == "9p" || t == "fuse.sshfs" ||
         t == "afs" || t == "ceph";
}

inline bool IsLocalDiskDevice(const MountEntry& m) { return m.device.rfind("/dev/", 0) == 0; }

// The mounted file system holding path (the longest mount point above it), if any.
inline std::optional<MountEntry> MountHolding(const std::string& path) {
  std::optional<MountEntry> best;
  for (const MountEntry& m : Mounts()) {
    const std::string& mp = m.mount;
    const bool under = path == mp || (path.rfind(mp, 0) == 0 && (mp == "/" || path[mp.size()] == '/'));
    if (under && (!best || mp.size() >= best->mount.size())) best = m;
  }
  return best;
}

}  // namespace kx8::file_utils_detail
