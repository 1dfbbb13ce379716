#include "kx8rt/containers/search_types.h"

#include <algorithm>

namespace kx8 {

TMySearchFlags FlagsFromSW(UnicodeString& S) {
  TMySearchFlags flags{myLeftBounded, myRightBounded};
  if (S.empty()) return flags;
  switch (S[0]) {
    case u'*':
      S.erase(0, 1);
      flags.Exclude(myLeftBounded);
      break;
    case u'=':
      // "==" alone or "===" would be one pair read twice: case notation needs two separate pairs.
      if (S.size() >= 4 && S.compare(0, 2, u"==") == 0 && S.compare(S.size() - 2, 2, u"==") == 0) {
        S = S.substr(2, S.size() - 4);
        flags.Include(myCaseIsSensitive);
      }
      break;
    case u'~':
      S.erase(0, 1);
      flags.Include(mySW_To_Avoid);
      break;
    default:
      break;
  }
  if (!S.empty() && S.back() == u'*') {
    S.pop_back();
    flags.Exclude(myRightBounded);
  }
  return flags;
}

UnicodeString SWStringPlusFlags(const UnicodeString& S, TMySearchFlags Flags) {
  UnicodeString r = S;
  if (!Flags.Contains(myLeftBounded)) r.insert(r.begin(), u'*');
  if (!Flags.Contains(myRightBounded)) r.push_back(u'*');
  if (Flags.Contains(myCaseIsSensitive)) r = u"==" + r + u"==";
  return r;
}

Tsearch_word32 StringToSearch_word_type32(const UnicodeString& S) {
  Tsearch_word32 w{};
  std::copy_n(S.begin(), std::min<size_t>(S.size(), w.size() - 1), w.begin());
  return w;
}

UnicodeString Search_word_type32ToString(const Tsearch_word32& P) {
  const auto end = std::find(P.begin(), P.end(), u'\0');
  return UnicodeString(P.begin(), end);
}

}  // namespace kx8
