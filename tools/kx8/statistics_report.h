// What the corpus-statistics commands (collocates, clusters, keywords, dispersion) share: texts skipped
// and paths that failed told on standard error, the exit status they lead to, and numbers as text.
#pragma once

#include <kx8rt/corpus/corpus_statistics.h>
#include <kx8rt/platform/strings.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "columns.h"

namespace kx8tool {

// Reports of one run; Failed() is true once an input could not be read (exit status 2).
class StatisticsReport {
 public:
  explicit StatisticsReport(const char* command) : fCommand(command) {}
  kx8::TCorpusStatisticsTextEvent TextEvent() {
    return [this](const kx8::TCorpusStatisticsText& t) {
      if (t.read) return;
      fFailed |= t.unreadable;
      std::fprintf(stderr, "kx8 %s: skipped %s: %s\n", fCommand, kx8::Utf16ToNativeName(t.name).c_str(),
                   kx8::Utf16ToUtf8(t.skipped_because).c_str());
    };
  }
  kx8::TCorpusProblemEvent ProblemEvent() {
    return [this](const kx8::UnicodeString& p, const kx8::UnicodeString& why) {
      fFailed = true;
      std::fprintf(stderr, "kx8 %s: %s: %s\n", fCommand, kx8::Utf16ToNativeName(p).c_str(), kx8::Utf16ToUtf8(why).c_str());
    };
  }
  bool Failed() const { return fFailed; }
  const char* Command() const { return fCommand; }

 private:
  const char* fCommand;
  bool fFailed = false;
};

// A number with a fixed count of decimals, for the text tables.
inline std::string Fixed(double v, int decimals) {
  char b[64];
  std::snprintf(b, sizeof b, "%.*f", decimals, std::isfinite(v) ? v : 0.0);
  return b;
}

// A p-value as it reads best: fixed for the usual range, scientific once it is tiny.
inline std::string PValue(double p) {
  char b[64];
  if (p >= 0.0001) std::snprintf(b, sizeof b, "%.4f", p);
  else std::snprintf(b, sizeof b, "%.2e", p);
  return b;
}

// A word for a table column `width` columns wide, in UTF-8: cut to at most 400 bytes on a character's
// boundary (the JSON keeps it whole), then filled with spaces to the width by the columns its characters
// take, so that the columns after it line up in any script. A wider word runs on, as printf's would.
inline std::string Cell(const kx8::UnicodeString& w, int width) {
  const std::u16string_view v = w;
  const uint8_t* const table = UnitColumnsTable().data();
  size_t cut = 0, bytes = 0;
  int columns = 0;
  while (cut < v.size()) {
    size_t units = 1;
    const int width = ColumnsAt(table, v, cut, units);
    const char16_t c = v[cut];
    const size_t need = units == 2 ? 4 : c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
    if (bytes + need > 400) break;
    bytes += need;
    columns += width;
    cut += units;
  }
  std::string s = kx8::Utf16ToUtf8(cut == w.size() ? w : w.substr(0, cut));
  if (columns < width) s.append(static_cast<size_t>(width - columns), ' ');
  return s;
}

}  // namespace kx8tool
