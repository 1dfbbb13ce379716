#include "kx8rt/strings/tags.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "kx8rt/platform/zip.h"

using namespace kx8;

namespace {

TIgnore_tag Pairs(std::initializer_list<std::pair<char16_t, char16_t>> pairs) {
  TIgnore_tag t{};
  int k = 0;
  for (auto [on, off] : pairs) {
    t[tag_on][k] = on;
    t[tag_off][k++] = off;
  }
  return t;
}

TEST(IgnoreTags, NotationBothWays) {
  EXPECT_EQ(StringToIgnoreTag(u"<*>,[*]"), Pairs({{u'<', u'>'}, {u'[', u']'}}));
  EXPECT_EQ(IgnoreTagToString(StringToIgnoreTag(u"<*>,[*]")), u"<*>,[*]");
  EXPECT_EQ(StringToIgnoreTag(u""), TIgnore_tag{});
  EXPECT_EQ(StringToIgnoreTag(u" * "), TIgnore_tag{});
  EXPECT_EQ(StringToIgnoreTag(u"<>"), Pairs({{u'<', u'>'}}));
  EXPECT_EQ(StringToIgnoreTag(u" < * > , { * } "), Pairs({{u'<', u'>'}, {u'{', u'}'}}));
  EXPECT_EQ(StringToIgnoreTag(u"|"), Pairs({{u'|', u'|'}}));
  EXPECT_EQ(StringToIgnoreTag(u"<>,"), Pairs({{u'<', u'>'}}));  // a trailing comma adds nothing
  // Eight pairs: the first five fill slots 0-4, the last one wins slot 5.
  EXPECT_EQ(StringToIgnoreTag(u"<*>,[*],{*},(*),|*|,a*b,c*d,e*f"),
            Pairs({{u'<', u'>'}, {u'[', u']'}, {u'{', u'}'}, {u'(', u')'}, {u'|', u'|'}, {u'e', u'f'}}));
  // A slot with only one half in use is not written.
  TIgnore_tag half = Pairs({{u'<', u'>'}, {u'[', 0}, {u'{', u'}'}});
  EXPECT_EQ(IgnoreTagToString(half), u"<*>,{*}");
}

TEST(SingleTags, TestsAndBuilders) {
  EXPECT_EQ(SameTagButSwitchedOff(u"<head>"), u"</head>");
  EXPECT_EQ(SameTagButSwitchedOff(u"p>"), u"/p>");
  EXPECT_EQ(SameTagButSwitchedOff(u""), u"");
  EXPECT_TRUE(IsAnOffTag(u"</head>"));
  EXPECT_FALSE(IsAnOffTag(u"<head>"));
  EXPECT_FALSE(IsAnOffTag(u"<"));
  EXPECT_EQ(TagOnNumbered(u"<p>", 12), u"<p \"12\">");
  EXPECT_EQ(TagOnNumbered(u"p", 12), u"p");
  EXPECT_EQ(TagOnNumbered(u"", 12), u"");
  EXPECT_TRUE(IsAllUppercase(u""));
  EXPECT_TRUE(IsAllUppercase(u"HEAD 2, ÉTÉ!"));
  EXPECT_FALSE(IsAllUppercase(u"HEAd"));
  EXPECT_FALSE(IsAllUppercase(u"ÉTé"));
  EXPECT_TRUE(ContainsAPercent(u"<%x>"));
  EXPECT_TRUE(AngleBracketedSubstringInString(u"a<b>c"));
  EXPECT_FALSE(AngleBracketedSubstringInString(u"a>b<c"));
  EXPECT_EQ(AnyAngleBracketsToHTML(u"<a>&"), u"&lt;a&gt;&");
  EXPECT_EQ(BothSlashesExtractFilename(u"c:\\x/y\\z.txt"), u"z.txt");
  EXPECT_EQ(BothSlashesExtractFilename(u"plain"), u"plain");
  EXPECT_EQ(BothSlashesExtractFilename(u"dir/"), u"");
  EXPECT_EQ(AddToListWithSeparatorIfNeeded(u"", u"a", u", "), u"a");
  EXPECT_EQ(AddToListWithSeparatorIfNeeded(u"a", u"b", u", "), u"a, b");
}

TEST(SingleTags, Headings) {
  struct Case { const char16_t* line; const char16_t* ending; bool heading; } cases[] = {
      {u"Chapter 1", u"", true},           {u"It ended.", u"", false},       {u"Really?)]", u"", false},
      {u"Section (draft)", u"", true},     {u")]}", u"", false},             {u"", u"", false},
      {u"第一章", u"", true},               {u"结束了。", u"", false},          {u"Title:", u":", true},
      {u"Title", u":", false},             {u"x", u"long ending", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsAHeading(c.line, c.ending), c.heading) << Utf16ToUtf8(c.line);
}

TEST(SingleTags, Brackets) {
  EXPECT_EQ(BracketedWith(u"", u'[', u']'), u"[]");
  EXPECT_EQ(BracketedWith(u"[x", u'[', u']'), u"[x]");
  EXPECT_EQ(BracketedWith(u"x]", u'[', u']'), u"[x]");
  EXPECT_EQ(Angle_Bracketed(u"p"), u"<p>");
  EXPECT_EQ(Round_Bracketed(u"(p)"), u"(p)");
  EXPECT_EQ(UNBracketedWith(u"[x]", u'[', u']'), u"x");
  EXPECT_EQ(UNBracketedWith(u"[", u'[', u']'), u"");
  EXPECT_EQ(UNAngle_Bracketed(u"<p"), u"p");
  EXPECT_TRUE(IsAngleBracketed(u"<p>"));
  EXPECT_FALSE(IsAngleBracketed(u""));
  EXPECT_FALSE(IsRoundBracketed(u"("));
  EXPECT_TRUE(IsBracketed(u"|", u'|', u'|'));
  EXPECT_FALSE(IsBracketed(u"<P>", u'<', u'p'));  // exact characters
}

TEST(SingleTags, PalavraFromString) {
  struct Case { const char16_t* s; TPalavraStr expected; } cases[] = {
      {u"<b>word", {u"<b>", u"word", u""}},
      {u"word<b>", {u"", u"word", u"<b>"}},
      {u"wo<b>rd", {u"", u"word", u"<b>"}},
      {u"<b word", {u"", u"<b word", u""}},
      {u"word", {u"", u"word", u""}},
      {u"", {u"", u"", u""}},
      {u"a>b<c", {u"", u"a>b<c", u""}},
  };
  for (const auto& c : cases) EXPECT_EQ(PalavraFromString(c.s), c.expected) << Utf16ToUtf8(c.s);
}

TEST(TagScans, OpenWithoutCloseTagInText) {
  EXPECT_EQ(OpenWithoutCloseTagInText(u"", u"", u"<a>x</a><b>y", false, false, 10, nullptr), u"<b>");
  EXPECT_EQ(OpenWithoutCloseTagInText(u"", u"", u"<a>x<B>", false, true, 10, nullptr), u"<B>");
  EXPECT_EQ(OpenWithoutCloseTagInText(u"", u"", u"<a>x</a><b>y</b>", false, false, 10, nullptr), u"");
  EXPECT_EQ(OpenWithoutCloseTagInText(u"", u"", u"<%a>x<b>", true, false, 10, nullptr), u"<b>");
  EXPECT_EQ(OpenWithoutCloseTagInText(u"", u"", u"x <a", false, false, 10, nullptr), u"");
  // Tags with attributes count as open; the test sees position and context and may pass them over.
  std::vector<T2StringsAndIntegerRec> seen;
  const UnicodeString text = u"abcdef <s n=\"3\">one <q>two";
  const auto tag = OpenWithoutCloseTagInText(u"", u"", text, false, false, 4, [&](const T2StringsAndIntegerRec& r) {
    seen.push_back(r);
    return r.s1 == u"<q>";
  });
  EXPECT_EQ(tag, u"<q>");
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].s1, u"<s n=\"3\">");
  EXPECT_EQ(seen[0].Int, 8);
  EXPECT_EQ(seen[0].s2, u"def ");
  EXPECT_EQ(seen[1].Int, 21);
}

TEST(TagScans, PrecedingContext) {
  EXPECT_EQ(PrecedingContext(u"abcdef", 3, 5), u"bcd");
  EXPECT_EQ(PrecedingContext(u"abcdef", 10, 3), u"ab");
  EXPECT_EQ(PrecedingContext(u"abcdef", 0, 3), u"");
  EXPECT_EQ(PrecedingContext(u"abcdef", 3, 1), u"");
}

TEST(TagScans, FindAndStudyString) {
  struct Hit { UnicodeString before, found, after; int32_t percent, pos; };
  std::vector<Hit> hits;
  auto collect = [&](const UnicodeString& b, const UnicodeString& f, const UnicodeString& a, int32_t pc, int32_t p) {
    hits.push_back({b, f, a, pc, p});
    return false;
  };
  EXPECT_EQ(FindAndStudyStringInText(u"aaaa", u"aa", collect, 1), 0);
  ASSERT_EQ(hits.size(), 3u);  // overlapping occurrences are all found
  EXPECT_EQ(hits[0].before, u"");
  EXPECT_EQ(hits[1].before, u"a");
  EXPECT_EQ(hits[1].after, u"a");
  EXPECT_EQ(hits[2].percent, 75);
  EXPECT_EQ(hits[2].after, u"");
  hits.clear();
  FindAndStudyStringInText(u"x y x y x", u"x", [&](auto&&... args) {
    collect(args...);
    return hits.size() == 2;
  }, 2);
  EXPECT_EQ(hits.size(), 2u);  // true stops the scan
}

TEST(TagScans, FindAndStudyChunks) {
  std::vector<std::pair<UnicodeString, int32_t>> chunks;
  auto study = [&](const UnicodeString& before, const UnicodeString& chunk, int32_t, int32_t p) {
    chunks.push_back({before + u"|" + chunk, p});
    return false;
  };
  FindAndStudyStringInText(u"ab[c]d[e[f]g]h[", u"[", u"]", study, 2);
  ASSERT_EQ(chunks.size(), 2u);
  EXPECT_EQ(chunks[0].first, u"ab|[c]");
  EXPECT_EQ(chunks[1].first, u"]d|[e[f]");  // the next chunk is looked for after the closer
  EXPECT_EQ(chunks[1].second, 7);
}

TEST(TagScans, NumberOfTagsWithinChunk) {
  EXPECT_EQ(NumberOfTagsWithinChunk(u"<a>b<c>d<e>", 1), 2);
  EXPECT_EQ(NumberOfTagsWithinChunk(u"<a>b<c>d<e>"), 3);
  EXPECT_EQ(NumberOfTagsWithinChunk(u"<a b<c>"), 1);
  EXPECT_EQ(NumberOfTagsWithinChunk(u"a > b < c"), 0);
  EXPECT_EQ(NumberOfTagsWithinChunk(u""), 0);
}

TEST(TagValues, SimpleAndExtracted) {
  bool found = false;
  EXPECT_EQ(SimpleTagValue(u"title", u"<title>Hi</title>", found), u"Hi");
  EXPECT_TRUE(found);
  EXPECT_EQ(SimpleTagValue(u"title", u"</title>Hi<title>", found), u"");
  EXPECT_FALSE(found);
  EXPECT_EQ(SimpleTagValue(u"Title", u"<title>Hi</title>", found), u"");
  EXPECT_FALSE(found);
  EXPECT_EQ(TrimmedSimpleTagValue(u"t", u"<t> \tHi \r\n</t>", found), u"Hi");
  EXPECT_TRUE(found);
  EXPECT_EQ(ExtractMarkupDataFromText(u"x[[abc]]y", u"[[", u"]]"), u"abc");
  EXPECT_EQ(ExtractMarkupDataFromText(u"x[[abc", u"[[", u"]]"), u"");
  EXPECT_EQ(ExtractMarkupDataFromText(u"]]x[[abc", u"[[", u"]]"), u"");
}

TEST(Markup, WithoutMarkupAndMarkupOnly) {
  EXPECT_EQ(WithoutMarkup(u"a<b>c", 10), u"ac");
  EXPECT_EQ(WithoutMarkup(u"a<bcdefgh>c", 3), u"a<bcdefgh>c");
  EXPECT_EQ(WithoutMarkup(u"a<b", 5), u"a");
  EXPECT_EQ(WithoutMarkup(u"a<bcdefgh", 3), u"a<bcdefgh");
  EXPECT_EQ(WithoutMarkup(u"a<b>c", 0), u"a<b>c");
  EXPECT_EQ(WithoutMarkup(u"x>y<p>z</p>", 5), u"x>yz");  // a stray closer stays
  EXPECT_EQ(WithoutMarkup(u"[a]b[c]", u'[', u']', 2), u"b");
  EXPECT_EQ(MarkupWithoutText(u"x<a>y</a>z"), u"<a></a>");
  EXPECT_EQ(MarkupWithoutText(u"<a<b>c>"), u"<a<b>");
  EXPECT_EQ(MarkupWithoutText(u"x<a"), u"");
  EXPECT_EQ(MarkupWithoutText(u"{a}b{c", u'{', u'}'), u"{a}");
  EXPECT_EQ(ParaDivHeadingEndToCRLF(u"a</P>b</div>c</HEAD>d"), u"a\r\nb\r\nc\r\nd");
}

TEST(TextFiles, GetTextFromFileByMarkOrCodePage) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("kx8text_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  struct Case { const char* name; std::string bytes; const char16_t* text; } cases[] = {
      {"utf8.txt", "\xEF\xBB\xBF" "caf\xC3\xA9\nline 2", u"café\r\nline 2\r\n"},
      {"le.txt", std::string("\xFF\xFE\xE9\x00\r\x00\n\x00x\x00", 10), u"é\r\nx\r\n"},
      {"be.txt", std::string("\xFE\xFF\x00\xE9\x00\r", 6), u"é\r\n"},
      {"ansi.txt", "caf\xE9 \x80\r\r\n<b>x</b>\r\n", u"café €\r\n\r\n<b>x</b>\r\n"},
      {"empty.txt", "", u""},
  };
  for (const auto& c : cases) {
    std::ofstream(dir / c.name, std::ios::binary) << c.bytes;
    EXPECT_EQ(GetTextFromFile(Utf8ToUtf16((dir / c.name).string())), c.text) << c.name;
  }
  EXPECT_EQ(MarkupFreeTextFromAFile(Utf8ToUtf16((dir / "ansi.txt").string()), 10), u"café €\r\n\r\nx\r\n");
  EXPECT_EQ(GetTextFromFile(Utf8ToUtf16((dir / "missing.txt").string())), u"");
  EXPECT_EQ(MarkupFreeTextFromAFile(Utf8ToUtf16((dir / "missing.txt").string()), 10), u"");
  fs::remove_all(dir);
}

TEST(WordProcessor, DocumentPart) {
  EXPECT_EQ(DOCXTextFromDocumentPart(u"<w:p><w:r><w:t>Hello</w:t></w:r><w:r><w:t xml:space=\"preserve\"> world"
                                     u"</w:t></w:r></w:p><w:p/>"),
            u"Hello world\r\n");
  // A block whose fallback lies outside it is left alone rather than looping.
  EXPECT_EQ(DOCXTextFromDocumentPart(u"<mc:AlternateContent></mc:AlternateContent><mc:Fallback>"
                                     u"<mc:AlternateContent></mc:Fallback><w:p><w:r><w:t>x</w:t></w:r></w:p>"),
            u"x\r\n");
  EXPECT_EQ(DOCXTextFromDocumentPart(u"<w:p><w:t>no end"), u"");
  EXPECT_EQ(DOCXTextFromDocumentPart(u"<w:p"), u"");
}

TEST(WordProcessor, SampleDocument) {
  EXPECT_EQ(DOCXFileText(Utf8ToUtf16(KX8_TESTDATA_DIR "/sample.docx")),
            u"Hello bold world &amp; café\r\n\r\nFallback text\r\nSecondparagraph.\r\n");
}

TEST(WordProcessor, MissingDamagedOrPartless) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("kx8docx_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  EXPECT_EQ(DOCXFileText(Utf8ToUtf16((dir / "none.docx").string())), u"");
  std::ofstream(dir / "bad.docx") << "not a zip";
  EXPECT_EQ(DOCXFileText(Utf8ToUtf16((dir / "bad.docx").string())), u"");
  std::ofstream(dir / "other.xml") << "<w:p><w:t>x</w:t></w:p>";
  TZipArchive z;
  z.CreateArchive(Utf8ToUtf16((dir / "nodoc.docx").string()), {Utf8ToUtf16((dir / "other.xml").string())},
                  zsp_no_path);
  EXPECT_EQ(DOCXFileText(Utf8ToUtf16((dir / "nodoc.docx").string())), u"");
  fs::remove_all(dir);
}

}  // namespace
