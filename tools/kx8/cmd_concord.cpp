// kx8 concord: key-word-in-context lines of a word in the files under each path.
#include <kx8rt/kx8rt.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "commands.h"

namespace fs = std::filesystem;
using namespace kx8;

namespace {

struct ConcordOptions {
  int context = 40;
  bool matchCase = false;
  long maxHits = -1;
  UnicodeString word;
  std::vector<std::string> paths;
};

// Reads a whole file as UTF-16: a UTF-16 byte-order mark is honoured, everything else is read as UTF-8.
bool ReadText(const fs::path& path, UnicodeString& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
    text.resize((bytes.size() - 2) / 2);
    for (size_t i = 0; i < text.size(); ++i)
      text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                      (static_cast<unsigned char>(bytes[3 + 2 * i]) << 8));
    return true;
  }
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  text = Utf8ToUtf16(bytes);
  return true;
}

bool IsWordChar(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'\'' ||
         c >= 0x00C0;
}

// Context with line breaks and tabs shown as spaces, so that each hit stays on one line.
std::string Flat(std::u16string_view s) {
  UnicodeString t(s);
  for (auto& c : t)
    if (c < 0x20) c = u' ';
  return Utf16ToUtf8(t);
}

int Concord(const ConcordOptions& o) {
  std::vector<fs::path> files;
  for (const auto& p : o.paths) {
    std::error_code ec;
    if (fs::is_directory(p, ec)) {
      for (auto it = fs::recursive_directory_iterator(p, fs::directory_options::skip_permission_denied, ec);
           it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) break;
        if (it->is_regular_file(ec)) files.push_back(it->path());
      }
    } else if (fs::is_regular_file(p, ec)) {
      files.push_back(p);
    } else {
      std::fprintf(stderr, "kx8: no such file or folder: %s\n", p.c_str());
      return 2;
    }
  }
  std::sort(files.begin(), files.end());

  const UnicodeString needle = o.matchCase ? o.word : UpperCase(o.word);
  long totalHits = 0, totalWords = 0, filesWithHits = 0;
  size_t totalChars = 0;
  for (const auto& file : files) {
    UnicodeString text;
    if (!ReadText(file, text)) {
      std::fprintf(stderr, "kx8: cannot read %s\n", file.c_str());
      continue;
    }
    totalChars += text.size();
    const UnicodeString hay = o.matchCase ? text : UpperCase(text);
    // Words counted as runs of word characters, lines as line feeds before the hit.
    long words = 0;
    for (size_t i = 0; i < text.size(); ++i)
      if (IsWordChar(text[i]) && (i == 0 || !IsWordChar(text[i - 1]))) ++words;
    totalWords += words;
    long hitsHere = 0, line = 1;
    size_t lineCountedTo = 0;
    for (size_t at = hay.find(needle); at != UnicodeString::npos; at = hay.find(needle, at + 1)) {
      const size_t end = at + needle.size();
      if ((at > 0 && IsWordChar(text[at - 1])) || (end < text.size() && IsWordChar(text[end]))) continue;
      line += std::count(text.begin() + lineCountedTo, text.begin() + at, u'\n');
      lineCountedTo = at;
      const size_t left = at > static_cast<size_t>(o.context) ? at - o.context : 0;
      std::string l = Flat(std::u16string_view(text).substr(left, at - left));
      std::string r = Flat(std::u16string_view(text).substr(end, o.context));
      std::printf("%s:%ld:%zu (%.0f%%)\t%*s[%s]%s\n", file.c_str(), line, at + 1,
                  text.empty() ? 0.0 : 100.0 * at / text.size(), o.context, l.c_str(),
                  Flat(std::u16string_view(text).substr(at, needle.size())).c_str(), r.c_str());
      ++hitsHere;
      if (o.maxHits >= 0 && totalHits + hitsHere >= o.maxHits) break;
    }
    if (hitsHere > 0) ++filesWithHits;
    totalHits += hitsHere;
    if (o.maxHits >= 0 && totalHits >= o.maxHits) break;
  }
  std::printf("\n%ld hits in %ld of %zu files; %zu characters, %ld words searched; %.2f hits per 1,000 words\n",
              totalHits, filesWithHits, files.size(), totalChars, totalWords,
              totalWords ? 1000.0 * totalHits / totalWords : 0.0);
  return 0;
}

}  // namespace

int ConcordMain(int argc, char** argv) {
  ConcordOptions o;
  std::vector<std::string> rest;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    auto number = [&](long& out) {
      int32_t v;
      if (i + 1 >= argc || !TryStrToInt(Utf8ToUtf16(argv[i + 1]), v) || v < 0) {
        std::fprintf(stderr, "kx8 concord: %s needs a number\n", a.c_str());
        return false;
      }
      out = v;
      ++i;
      return true;
    };
    long n;
    if (a == "--context") { if (!number(n)) return 2; o.context = static_cast<int>(n); }
    else if (a == "--max") { if (!number(n)) return 2; o.maxHits = n; }
    else if (a == "--case") o.matchCase = true;
    else if (a.size() > 1 && a[0] == '-') { std::fprintf(stderr, "kx8 concord: unknown option %s\n", a.c_str()); return 2; }
    else rest.push_back(a);
  }
  if (rest.size() < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  o.word = Utf8ToUtf16(rest[0]);
  o.paths.assign(rest.begin() + 1, rest.end());
  return Concord(o);
}
