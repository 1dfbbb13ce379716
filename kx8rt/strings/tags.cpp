#include "kx8rt/strings/tags.h"

#include <sys/stat.h>

#include <algorithm>

#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/zip.h"
#include "kx8rt/platform/char_classes.h"
#include "kx8rt/strings/sentences.h"

namespace kx8 {

namespace {

inline int32_t Len(const UnicodeString& s) { return static_cast<int32_t>(s.size()); }
inline char16_t At(const UnicodeString& s, int32_t i) { return s[static_cast<size_t>(i - 1)]; }

}  // namespace

// ---- ignore-tag notation ----

TIgnore_tag StringToIgnoreTag(const UnicodeString& s) {
  TIgnore_tag tags{};
  UnicodeString t;
  t.reserve(s.size());
  for (char16_t c : s)
    if (c != u'*' && c > 32) t.push_back(c);
  if (t.empty()) return tags;
  int32_t k = 0, start = 1, pos = 1;
  for (;;) {
    pos = PosEx(u",", t, pos);
    if (pos == 1) pos = 2;
    if (pos > 1) {
      tags[tag_on][k] = At(t, start);
      tags[tag_off][k] = At(t, pos - 1);
      if (k < 5) ++k;
      ++pos;
      start = pos;
    }
    else {
      if (start <= Len(t)) {  // a trailing comma leaves no last piece
        tags[tag_on][k] = At(t, start);
        tags[tag_off][k] = t.back();
      }
      break;
    }
  }
  return tags;
}

UnicodeString IgnoreTagToString(const TIgnore_tag& tags) {
  UnicodeString out;
  for (int k = 0; k < 6; ++k) {
    if (tags[tag_on][k] == 0 || tags[tag_off][k] == 0) continue;
    if (!out.empty()) out += u',';
    out += tags[tag_on][k];
    out += u'*';
    out += tags[tag_off][k];
  }
  return out;
}

// ---- single tags ----

bool IsAnOffTag(const UnicodeString& s) { return s.size() >= 2 && s[0] == u'<' && s[1] == u'/'; }

bool ContainsAPercent(const UnicodeString& s) { return s.find(u'%') != UnicodeString::npos; }

bool IsAllUppercase(const UnicodeString& s) {
  return std::none_of(s.begin(), s.end(), [](char16_t c) { return IsLower(c); });
}

bool AngleBracketedSubstringInString(const UnicodeString& s) {
  const size_t p = s.find(u'<');
  return p != UnicodeString::npos && s.find(u'>', p + 1) != UnicodeString::npos;
}

bool IsAHeading(const UnicodeString& line, const UnicodeString& ending) {
  if (!ending.empty())
    return line.size() >= ending.size() && line.compare(line.size() - ending.size(), ending.size(), ending) == 0;
  size_t n = line.size();
  while (n > 0 && (line[n - 1] == u')' || line[n - 1] == u']' || line[n - 1] == u'}')) --n;
  if (n == 0) return false;
  return !IsPotentialSentenceTerminator(line[n - 1]);
}

UnicodeString SameTagButSwitchedOff(const UnicodeString& tag) {
  if (tag.empty()) return tag;
  TTwoStringHalves halves;
  if (tag[0] == u'<') {
    halves.before = u"<";
    halves.after = tag.substr(1);
  }
  else {
    halves.after = tag;
  }
  return halves.before + u"/" + halves.after;
}

TPalavraStr PalavraFromString(const UnicodeString& s) {
  TPalavraStr r;
  const int32_t p = Pos(u"<", s);
  const int32_t q = p > 0 ? PosEx(u">", s, p + 1) : 0;
  if (p == 1) {
    r[dgso_prefix] = Copy(s, 1, q);
    r[dgso_main] = q > 0 ? Copy(s, q + 1) : s;
  }
  else if (q > 0 && q == Len(s)) {
    r[dgso_main] = Copy(s, 1, p - 1);
    r[dgso_suffix] = Copy(s, p);
  }
  else if (q > 0) {
    r[dgso_main] = Copy(s, 1, p - 1) + Copy(s, q + 1);
    r[dgso_suffix] = Copy(s, p, q - p + 1);
  }
  else {
    r[dgso_main] = s;
  }
  return r;
}

UnicodeString TagOnNumbered(const UnicodeString& tag, int32_t n) {
  if (tag.empty() || tag.back() != u'>') return tag;
  return tag.substr(0, tag.size() - 1) + u" \"" + IntToStr(n) + u"\">";
}

UnicodeString BracketedWith(const UnicodeString& s, char16_t open, char16_t close) {
  UnicodeString r = s;
  if (r.empty() || r.front() != open) r.insert(r.begin(), open);
  // An empty s has become just the opener, which gets its closer whatever it is.
  if (s.empty() || r.back() != close) r.push_back(close);
  return r;
}

UnicodeString UNBracketedWith(const UnicodeString& s, char16_t open, char16_t close) {
  UnicodeString r = s;
  if (!r.empty() && r.front() == open) r.erase(0, 1);
  if (!r.empty() && r.back() == close) r.pop_back();
  return r;
}

bool IsBracketed(const UnicodeString& s, char16_t open, char16_t close) {
  return !s.empty() && s.front() == open && s.back() == close;
}

UnicodeString Angle_Bracketed(const UnicodeString& s) { return BracketedWith(s, u'<', u'>'); }
UnicodeString Round_Bracketed(const UnicodeString& s) { return BracketedWith(s, u'(', u')'); }
UnicodeString UNAngle_Bracketed(const UnicodeString& s) { return UNBracketedWith(s, u'<', u'>'); }
bool IsAngleBracketed(const UnicodeString& s) { return IsBracketed(s, u'<', u'>'); }
bool IsRoundBracketed(const UnicodeString& s) { return IsBracketed(s, u'(', u')'); }

UnicodeString AnyAngleBracketsToHTML(const UnicodeString& s) {
  UnicodeString r;
  r.reserve(s.size());
  for (char16_t c : s) {
    if (c == u'<') r += u"&lt;";
    else if (c == u'>') r += u"&gt;";
    else r += c;
  }
  return r;
}

// ---- scans with call-backs ----

UnicodeString OpenWithoutCloseTagInText(const UnicodeString& /*unused1*/, const UnicodeString& /*unused2*/,
                                        const UnicodeString& text, bool skipPercentTags, bool onlyUpperCaseTags,
                                        int32_t contextLength, const TOpenTagTestEvent& test) {
  int32_t start = 1;
  for (;;) {
    const int32_t p = PosEx(u"<", text, start);
    if (p == 0) return UnicodeString();
    start = p + 1;
    const int32_t q = PosEx(u">", text, p);
    if (q == 0) continue;
    const UnicodeString tag = Copy(text, p, q - p + 1);
    if (IsAnOffTag(tag)) continue;
    if (onlyUpperCaseTags && !IsAllUppercase(Copy(tag, 2, Len(tag) - 2))) continue;
    if (skipPercentTags && ContainsAPercent(tag)) continue;
    if (Pos(SameTagButSwitchedOff(tag), text) > 0) continue;
    if (!test) return tag;
    T2StringsAndIntegerRec rec;
    rec.s1 = tag;
    rec.s2 = PrecedingContext(text, contextLength, p);
    rec.Int = p;
    if (test(rec)) return tag;
  }
}

UnicodeString PrecedingContext(const UnicodeString& s, int32_t n, int32_t p) {
  if (n <= 0) return UnicodeString();
  return Copy(s, std::max<int64_t>(1, int64_t{p} - n), std::min<int64_t>(n, int64_t{p} - 1));
}

int32_t FindAndStudyStringInText(const UnicodeString& text, const UnicodeString& sought,
                                 const TStringStudyEvent& study, int32_t n) {
  const int64_t len = Len(text);
  for (int32_t start = 1;;) {
    const int32_t p = PosEx(sought, text, start);
    if (p == 0) break;
    start = p + 1;
    const auto percent = static_cast<int32_t>(int64_t{p} * 100 / len);
    const UnicodeString before = PrecedingContext(text, n, p);
    const UnicodeString after = Copy(text, int64_t{p} + Len(sought), n);
    if (study && study(before, sought, after, percent, p)) break;
  }
  return 0;
}

int32_t FindAndStudyStringInText(const UnicodeString& text, const UnicodeString& opener, const UnicodeString& closer,
                                 const TChunkStudyEvent& study, int32_t n) {
  for (int32_t start = 1;;) {
    const int32_t p = PosEx(opener, text, start);
    if (p == 0) break;
    start = p + 1;
    int32_t q = PosEx(closer, text, p);  // the closer is looked for from the opener itself
    if (q == 0) continue;
    q += Len(closer);
    start = q;
    const auto percent = static_cast<int32_t>(int64_t{p} * 100 / Len(text));
    if (study && study(PrecedingContext(text, n, p), Copy(text, p, q - p), percent, p)) break;
  }
  return 0;
}

int32_t FindAndStudyStringInText(const UnicodeString& text, const UnicodeString& opener, const UnicodeString& closer,
                                 int32_t limit, TChunkCountRoutine countRoutine) {
  int32_t count = 0;
  for (int32_t start = 1;;) {
    const int32_t p = PosEx(opener, text, start);
    if (p == 0) break;
    start = p + Len(opener);
    int32_t q = PosEx(closer, text, p);
    if (q == 0) continue;
    q += Len(closer);
    start = q;
    ++count;
    TStringAndIntegerRec rec;
    rec.s = Copy(text, p, q - p);
    rec.i = count;
    if (countRoutine && countRoutine(rec, limit)) break;
  }
  return count;
}

namespace {
bool CountExceedsLimit(const TStringAndIntegerRec& rec, int32_t limit) { return rec.i > limit; }
}  // namespace

int32_t NumberOfTagsWithinChunk(const UnicodeString& s, int32_t limit) {
  return FindAndStudyStringInText(s, u"<", u">", limit, &CountExceedsLimit);
}

int32_t NumberOfTagsWithinChunk(const UnicodeString& s) { return NumberOfTagsWithinChunk(s, 2147483647); }

// ---- tag values ----

UnicodeString SimpleTagValue(const UnicodeString& tagName, const UnicodeString& text, bool& found) {
  const UnicodeString open = u"<" + tagName + u">", close = u"</" + tagName + u">";
  const int32_t p = Pos(open, text), q = Pos(close, text);
  found = p > 0 && q > p;
  if (!found) return UnicodeString();
  return Copy(text, p + Len(open), q - p - Len(open));
}

UnicodeString TrimmedSimpleTagValue(const UnicodeString& tagName, const UnicodeString& text, bool& found) {
  return Trim(SimpleTagValue(tagName, text, found));
}

UnicodeString ExtractMarkupDataFromText(const UnicodeString& text, const UnicodeString& opener,
                                        const UnicodeString& closer) {
  const int32_t p = Pos(opener, text);
  if (p == 0) return UnicodeString();
  const int32_t q = PosEx(closer, text, p);
  if (q == 0) return UnicodeString();
  return Copy(text, int64_t{p} + Len(opener), int64_t{q} - p - Len(opener));
}

// ---- markup removal ----

UnicodeString WithoutMarkup(const UnicodeString& s, char16_t open, char16_t close, int32_t maxGap) {
  if (maxGap <= 0) return s;
  UnicodeString out;
  out.reserve(s.size());
  const size_t L = s.size();
  bool inMarkup = false;
  for (size_t i = 0; i < L; ++i) {
    if (s[i] == open) {
      const size_t k = i;
      while (i < L && s[i] != close) ++i;
      if (i - k > static_cast<size_t>(maxGap)) i = k;  // too long to be markup: the opener is text
      else inMarkup = true;
      if (i == L) break;  // an opener with no closer: the rest is markup
    }
    if (!inMarkup) out.push_back(s[i]);
    if (s[i] == close) inMarkup = false;
  }
  return out;
}

UnicodeString WithoutMarkup(const UnicodeString& s, int32_t maxGap) { return WithoutMarkup(s, u'<', u'>', maxGap); }

UnicodeString MarkupWithoutText(const UnicodeString& s, char16_t open, char16_t close) {
  UnicodeString out;
  for (size_t p = s.find(open); p != UnicodeString::npos;) {
    const size_t q = s.find(close, p);
    if (q == UnicodeString::npos) break;
    out.append(s, p, q - p + 1);
    p = s.find(open, q + 1);
  }
  return out;
}

UnicodeString MarkupWithoutText(const UnicodeString& s) { return MarkupWithoutText(s, u'<', u'>'); }

UnicodeString ParaDivHeadingEndToCRLF(const UnicodeString& s) {
  UnicodeString r = StringReplace(s, u"</p>", u"\r\n", rfReplaceAll | rfIgnoreCase);
  r = StringReplace(r, u"</div>", u"\r\n", rfReplaceAll | rfIgnoreCase);
  return StringReplace(r, u"</head>", u"\r\n", rfReplaceAll | rfIgnoreCase);
}

// ---- word-processor documents ----

namespace {

// True when the character after a "<w:p" or "<w:t" at p shows another element ("<w:pPr", "<w:tab/>").
bool IsOtherElement(const UnicodeString& t, int32_t p) {
  const int32_t next = p + 4;
  if (next >= Len(t)) return false;  // nothing, or only the text's last character, follows
  const char16_t c = At(t, next);
  return c != u' ' && c != u'>';
}

void AppendTextRuns(const UnicodeString& body, UnicodeString& out) {
  for (int32_t s = 1;;) {
    const int32_t p = PosEx(u"<w:t", body, s);
    if (p == 0) return;
    if (IsOtherElement(body, p)) {
      s = p + 1;
      continue;
    }
    const int32_t q = PosEx(u">", body, p);
    if (q == 0) return;
    const int32_t e = PosEx(u"</w:t>", body, q + 1);
    if (e > 0) out += Copy(body, q + 1, e - q - 1);
    s = q + 1;
  }
}

// Each alternate-content block keeps only its fallback. A block whose fallback does not lie inside it
// ends the step, so that a damaged document can neither loop nor grow.
void KeepFallbacks(UnicodeString& t) {
  for (;;) {
    const int32_t a = Pos(u"<mc:AlternateContent>", t);
    if (a == 0) return;
    const int32_t b = PosEx(u"</mc:AlternateContent>", t, a);
    const int32_t f = PosEx(u"<mc:Fallback>", t, a);
    const int32_t g = f > 0 ? PosEx(u"</mc:Fallback>", t, f) : 0;
    if (b == 0 || f == 0 || g == 0 || g > b) return;
    const UnicodeString taken = Copy(t, f, g - f);
    Delete(t, a, b - a);
    Insert(taken, t, a);
  }
}

}  // namespace

UnicodeString DOCXTextFromDocumentPart(const UnicodeString& part) {
  UnicodeString t = part;
  KeepFallbacks(t);
  UnicodeString out;
  for (int32_t start = 1;;) {
    const int32_t p = PosEx(u"<w:p", t, start);
    if (p == 0) break;
    if (IsOtherElement(t, p)) {
      start = p + 1;
      continue;
    }
    const int32_t q = PosEx(u">", t, p);
    if (q == 0) {
      start = p + 1;
      continue;
    }
    if (At(t, q - 1) == u'/') {  // <w:p/>: an empty paragraph
      start = q + 1;
      continue;
    }
    const int32_t e = PosEx(u"</w:p>", t, q + 1);
    if (e == 0) {
      start = q + 1;
      continue;
    }
    AppendTextRuns(Copy(t, q + 1, e - q - 1), out);
    out += u"\r\n";
    start = e;
  }
  return out;
}

UnicodeString DOCXFileText(const UnicodeString& fileName) {
  struct stat sb;
  if (::stat(Utf16ToUtf8(fileName).c_str(), &sb) != 0 || !S_ISREG(sb.st_mode)) return UnicodeString();
  std::string bytes;
  try {
    TZipArchive zip;
    zip.Open(fileName);
    int32_t wanted = -1;
    for (int32_t i = 0; i < zip.Count() && wanted < 0; ++i) {
      const UnicodeString name = zip.Name(i);
      const size_t slash = name.find_last_of(u"/\\");
      if (SameText(slash == UnicodeString::npos ? name : name.substr(slash + 1), u"Document.xml")) wanted = i;
    }
    if (wanted < 0) return UnicodeString();
    bytes = zip.ExtractToString(wanted);
  } catch (const EZipError&) {
    return UnicodeString();  // a damaged document has no text to give, like a missing one
  }
  if (bytes.empty()) return UnicodeString();
  // Word-processor XML is UTF-8 (the markers searched for are ASCII either way); a byte-order mark is dropped.
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  return DOCXTextFromDocumentPart(Utf8ToUtf16(bytes));
}

UnicodeString BothSlashesExtractFilename(const UnicodeString& path) {
  const size_t p = path.find_last_of(u"/\\");
  return p == UnicodeString::npos ? path : path.substr(p + 1);
}

UnicodeString AddToListWithSeparatorIfNeeded(const UnicodeString& list, const UnicodeString& item,
                                             const UnicodeString& separator) {
  return list.empty() ? item : list + separator + item;
}

}  // namespace kx8
