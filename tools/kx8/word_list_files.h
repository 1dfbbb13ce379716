// Shared by kx8 wordlist and kx8 compare: the texts under a path read as one text, and JSON strings.
#pragma once

#include <kx8rt/platform/strings.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kx8tool {

// A whole file as UTF-16: a UTF-16 byte-order mark (either order) is honoured, a UTF-8 one skipped,
// and everything else read as UTF-8 (as kx8 concord reads files).
inline bool ReadTextFile(const std::filesystem::path& path, kx8::UnicodeString& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
    const bool little = byte(0) == 0xFF;
    text.resize((bytes.size() - 2) / 2);
    for (size_t i = 0; i < text.size(); ++i) {
      const unsigned a = byte(2 + 2 * i), b = byte(3 + 2 * i);
      text[i] = static_cast<char16_t>(little ? (a | (b << 8)) : ((a << 8) | b));
    }
    return true;
  }
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  text = kx8::Utf8ToUtf16(bytes);
  return true;
}

// Every regular file under path (path itself when it is a file), sorted; false when path is neither.
inline bool FilesUnder(const std::string& path, std::vector<std::filesystem::path>& files) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    for (auto it = fs::recursive_directory_iterator(path, fs::directory_options::skip_permission_denied, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
      if (ec) break;
      if (it->is_regular_file(ec)) files.push_back(it->path());
    }
  } else if (fs::is_regular_file(path, ec)) {
    files.push_back(path);
  } else {
    return false;
  }
  std::sort(files.begin(), files.end());
  return true;
}

// The texts of the files under paths joined by line breaks, so that no word runs across two files.
// Reports unreadable paths on stderr as prefix: ...; false when a path does not exist.
inline bool ReadTexts(const std::vector<std::string>& paths, const char* prefix, kx8::UnicodeString& all,
                      size_t& fileCount) {
  std::vector<std::filesystem::path> files;
  for (const auto& p : paths) {
    if (!FilesUnder(p, files)) {
      std::fprintf(stderr, "%s: no such file or folder: %s\n", prefix, p.c_str());
      return false;
    }
  }
  fileCount = 0;
  for (const auto& f : files) {
    kx8::UnicodeString text;
    if (!ReadTextFile(f, text)) {
      std::fprintf(stderr, "%s: cannot read %s\n", prefix, f.c_str());
      continue;
    }
    if (!all.empty()) all += u'\n';
    all += text;
    ++fileCount;
  }
  return true;
}

// s as a JSON string literal.
inline std::string JsonString(std::u16string_view s) {
  std::string out = "\"";
  for (const char c : kx8::Utf16ToUtf8(s)) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
          out += buf;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

// Reads the number after option argv[i] into out (at least minimum); false, with a message, otherwise.
inline bool OptionNumber(int argc, char** argv, int& i, const char* prefix, int32_t minimum, int32_t& out) {
  int32_t v = 0;
  if (i + 1 >= argc || !kx8::TryStrToInt(kx8::Utf8ToUtf16(argv[i + 1]), v) || v < minimum) {
    std::fprintf(stderr, "%s: %s needs a number of at least %d\n", prefix, argv[i], minimum);
    return false;
  }
  out = v;
  ++i;
  return true;
}

}  // namespace kx8tool
