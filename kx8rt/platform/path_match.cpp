#include "kx8rt/platform/path_match.h"

#include <unicode/uchar.h>

namespace kx8 {

namespace {

inline UChar32 Fold(char16_t c) { return u_foldCase(c, U_FOLD_CASE_DEFAULT); }

// Greedy match with a single back-track point: linear in practice, never exponential.
bool MatchOne(std::u16string_view name, std::u16string_view pat) {
  if (pat == u"*.*") return true;  // the classic "all files", names without a dot included
  size_t n = 0, p = 0, starP = std::u16string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pat.size() && pat[p] == u'*') {
      starP = p++;
      starN = n;
    }
    else if (p < pat.size() && (pat[p] == u'?' || Fold(pat[p]) == Fold(name[n]))) {
      ++p;
      ++n;
    }
    else if (starP != std::u16string_view::npos) {
      p = starP + 1;
      n = ++starN;
    }
    else {
      return false;
    }
  }
  while (p < pat.size() && pat[p] == u'*') ++p;
  return p == pat.size();
}

}  // namespace

bool PathMatchSpecW(std::u16string_view fileName, std::u16string_view spec) {
  size_t start = 0;
  while (start <= spec.size()) {
    size_t end = spec.find(u';', start);
    if (end == std::u16string_view::npos) end = spec.size();
    std::u16string_view pat = spec.substr(start, end - start);
    while (!pat.empty() && pat.front() == u' ') pat.remove_prefix(1);
    if (!pat.empty() && MatchOne(fileName, pat)) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace kx8
