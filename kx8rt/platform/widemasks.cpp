#include "kx8rt/platform/widemasks.h"

#include "kx8rt/platform/path_match.h"

namespace kx8 {

void BuildAMask(std::vector<UnicodeString>& Masks, const UnicodeString& MaskText) {
  Masks.clear();
  UnicodeString t = StringReplace(Trim(MaskText), u"\r\n", u";", rfReplaceAll);
  size_t start = 0;
  for (size_t p = t.find(u';'); p != UnicodeString::npos; p = t.find(u';', start)) {
    Masks.push_back(t.substr(start, p - start));
    start = p + 1;
  }
  if (start < t.size()) Masks.push_back(t.substr(start));
}

bool MatchesMask(const UnicodeString& S, const UnicodeString& Mask) {
  return !S.empty() && PathMatchSpecW(S, Mask);
}

int32_t WhereInAMask(const UnicodeString& S, const std::vector<UnicodeString>& Masks) {
  for (size_t i = 0; i < Masks.size(); ++i)
    if (!Masks[i].empty() && MatchesMask(S, Masks[i])) return static_cast<int32_t>(i);
  return -1;
}

}  // namespace kx8
