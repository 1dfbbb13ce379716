#include "kx8rt/strings/repeated_chunks.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "kx8rt/platform/exceptions.h"

namespace kx8 {
namespace {

TEST(StringlistWithListOfOccurrences, AddsPairsPerFile) {
  TStringlistWithListOfOccurrences l;
  EXPECT_EQ(l.AddOrIncOneByFreq(u"x", 3, 2), 0);
  EXPECT_EQ(l.AddOrIncOneByFreq(u"X", 3, 2), 0);  // case ignored
  ASSERT_EQ(l.Count(), 1);
  const TListOfOccurrences* occ = l.GetAListOfOccurrences(0);
  ASSERT_EQ(occ->Count(), 1);
  EXPECT_EQ(occ->GetAValue(0).long0, 3);
  EXPECT_EQ(occ->GetAValue(0).long1, 4);
  EXPECT_EQ(l.Repeateds(), 0);
  l.AddOrIncOneByFreq(u"x", 5, 1);
  EXPECT_EQ(l.Repeateds(), 1);
  EXPECT_EQ(l.GetAListOfOccurrences(1), nullptr);
  EXPECT_EQ(l.GetAListOfOccurrences(-1), nullptr);
}

TEST(StringlistWithListOfOccurrences, SortsAndOwningDelete) {
  TStringlistWithListOfOccurrences l;
  l.AddOrIncOneByFreq(u"b", 2, 5);
  l.AddOrIncOneByFreq(u"a", 1, 3);
  l.AddOrIncOneByFreq(u"a", 4, 2);  // total 5, equal to b's
  l.AddOrIncOneByFreq(u"c", 0, 9);
  l.SortAllOccurrencesFreqDescending();
  EXPECT_EQ(l[0], u"c");
  EXPECT_EQ(l[1], u"b");  // equal totals: descending ordinal order of the lines
  EXPECT_EQ(l[2], u"a");
  l.SortAllOccurrencesFileAscending();
  EXPECT_EQ(l[0], u"c");
  EXPECT_EQ(l[1], u"a");
  EXPECT_EQ(l[2], u"b");
  l.Delete(0);  // frees the line's list; ASan would report a leak or a double free
  EXPECT_EQ(l.Count(), 2);
  l.Clear();
  EXPECT_EQ(l.Count(), 0);
}

const UnicodeString kSentence = u"This is a repeated test sentence.";

UnicodeString ThreeTimes() {
  return u"Intro line here.\r\n" + kSentence + u" Something else entirely.\r\n" + kSentence + u"\r\nAnd " +
         kSentence + u"\r\n";
}

TEST(RepeatedChunks, SentenceFoundThriceRecordedOnceByMinHits) {
  for (int32_t minHits : {2, 4}) {
    TRepeatedChunks rc;
    rc.SetSettings(false, 0, minHits, 0, nullptr, nullptr, nullptr);
    rc.processing = true;
    const int32_t added = rc.AddedToRepeatedSentencesInTxt(7, ThreeTimes());
    const int32_t at = rc.chunks_list->IndexOf(kSentence);
    if (minHits == 2) {
      EXPECT_EQ(added, 1);
      ASSERT_EQ(rc.chunks_list->Count(), 1);
      ASSERT_GE(at, 0);
      const TListOfOccurrences* occ = rc.chunks_list->GetAListOfOccurrences(at);
      ASSERT_EQ(occ->Count(), 1);
      EXPECT_EQ(occ->GetAValue(0).long0, 7);
      EXPECT_EQ(occ->GetAValue(0).long1, 3);
    } else {
      EXPECT_EQ(added, 0);
      EXPECT_EQ(at, -1);
    }
  }
}

TEST(RepeatedChunks, EverySentenceIsCountedWhereverItOccurs) {
  // A text of many sentences, some repeated, some found again only inside longer ones or overlapping
  // themselves, some shorter than the runs the detector groups places by: each sentence's count must be
  // that of a plain search through the whole text, overlaps included.
  UnicodeString text;
  for (int k = 0; k < 400; ++k) {
    const int n = k % 23;
    if (k % 5 == 0) text += u"Here we go again number " + UnicodeString(1, static_cast<char16_t>(u'A' + n % 3)) + u".";
    else if (k % 7 == 0) text += u"Yes. And so it said Yes.";
    else if (k % 11 == 0) text += u"Tiny.";
    else if (k % 13 == 0) text += u"Aaaaaaaaaa. Aaaaaaaaaaa.";
    else text += u"Sentence " + UnicodeString(1, static_cast<char16_t>(u'a' + n)) + u" of round " +
                 UnicodeString(1, static_cast<char16_t>(u'0' + k % 10)) + UnicodeString(1, static_cast<char16_t>(u'0' + k / 10 % 10)) + u" here.";
    text += k % 3 == 0 ? u"\r\n" : u" ";
  }
  text += u"\r\n";
  const auto plainCount = [&](const UnicodeString& s) {
    int32_t hits = 0;
    for (size_t at = text.find(s); at != UnicodeString::npos; at = text.find(s, at + 1)) ++hits;
    return hits;
  };
  std::map<UnicodeString, int32_t> repeated;
  for (const int32_t minHits : {1, 2}) {
    TRepeatedChunks rc;
    rc.SetSettings(false, 0, minHits, 0, nullptr, nullptr, nullptr);
    rc.processing = true;
    rc.AddedToRepeatedSentencesInTxt(3, text);
    std::map<UnicodeString, int32_t> kept;
    for (int32_t i = 0; i < rc.chunks_list->Count(); ++i) {
      const UnicodeString s = rc.chunks_list->Get(i);
      const int32_t hits = rc.chunks_list->GetAListOfOccurrences(i)->GetAValue(0).long1;
      EXPECT_EQ(hits, plainCount(s)) << Utf16ToUtf8(s);
      if (minHits == 1 && hits >= 2) repeated[s] = hits;
      if (minHits == 2) kept[s] = hits;
    }
    if (minHits == 2) {
      EXPECT_EQ(kept, repeated);
    }
  }
  EXPECT_GT(repeated.size(), 5u);
  EXPECT_EQ(repeated[u"Aaaaaaaaaa."], plainCount(u"Aaaaaaaaaa."));  // found inside the longer one too
}

TEST(RepeatedChunks, StopFromProgressEndsTheTextAfterTheSentence) {
  // Over 100000 characters, so that progress is reported per sentence.
  UnicodeString text;
  int n = 0;
  while (text.size() < 101000) text += u"Sentence number " + IntToStr(n++) + u" is here and repeated.\r\n";
  text += text;
  TRepeatedChunks rc;
  int calls = 0;
  rc.SetSettings(false, 0, 2, 0,
                 [&](int32_t) {
                   if (++calls == 3) rc.Stop();
                   return true;
                 },
                 nullptr, nullptr);
  rc.processing = true;
  EXPECT_EQ(rc.AddedToRepeatedSentencesInTxt(0, text), 3);
  EXPECT_EQ(calls, 3);
  EXPECT_FALSE(rc.processing);
}

TEST(RepeatedChunks, MissingChunkListRaises) {
  TRepeatedChunks rc;
  rc.chunks_list.reset();
  EXPECT_THROW(rc.AddToRepeatedSentencesInTxt(0, 1), Exception);
  EXPECT_THROW(rc.AddedToRepeatedSentencesInTxt(0, u"A b.\r\n"), Exception);
  rc.Clear();
}

class RepeatedChunkFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("kx8_repeated_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  UnicodeString Write(const char* name, const std::string& utf8) {
    std::ofstream(dir / name, std::ios::binary) << utf8;
    return Utf8ToUtf16((dir / name).string());
  }
  std::filesystem::path dir;
};

TEST_F(RepeatedChunkFiles, FilesLoadedAndCountedAcrossTheCorpus) {
  const std::string body = "<p>This is a repeated test sentence.</p>\r\nThis is a repeated test sentence.\r\n";
  const UnicodeString a = Write("a.txt", body), b = Write("b.txt", body + "Other words here now.\r\n");
  TRepeatedChunks rc;
  std::vector<int32_t> overall, totals;
  rc.SetSettings(false, 50, 2, 0, nullptr, [&](int32_t p) { overall.push_back(p); return true; },
                 [&](int32_t t) { totals.push_back(t); });
  EXPECT_EQ(rc.LoadATextFile(Write("c.txt", "")) , 0);
  rc.Clear();
  const UnicodeString before = u"kept";
  rc.txt = before;
  EXPECT_EQ(rc.LoadATextFile(Utf8ToUtf16((dir / "missing.txt").string())), -1);
  EXPECT_EQ(rc.txt, before);
  for (const UnicodeString& f : {a, b}) {
    const int32_t num = rc.LoadATextFile(f);
    ASSERT_GE(num, 0);
    rc.AddToRepeatedSentencesInTxt(num, 2);
  }
  EXPECT_EQ(overall, (std::vector<int32_t>{0, 50}));
  EXPECT_EQ(totals, (std::vector<int32_t>{1, 1}));
  rc.SortDescendingFreq();
  EXPECT_EQ(rc.chunks_list->Repeateds(), 1);
  EXPECT_EQ(rc.GetAFilename(1), b);
  EXPECT_EQ(rc.GetAFilename(2), u"");
  rc.Clear();
  EXPECT_EQ(rc.chunks_list->Count(), 0);
  EXPECT_EQ(rc.txt.empty(), false);
}

TEST(RepeatedXCharChunks, BlockFourTimes) {
  UnicodeString block;
  for (int k = 0; block.size() < 200; ++k) block += static_cast<char16_t>(u'a' + k % 26);
  const UnicodeString text = block + block + block + block;
  auto r = RepeatedXCharChunks(200, 1, 100, text, nullptr);
  ASSERT_EQ(r->Count(), 1);
  EXPECT_EQ(r->GetOne(0).long0, 6);
  EXPECT_EQ(r->GetOne(0).long1, 201);
  // The minimum frequency filters only a result of two lines or more.
  EXPECT_EQ(RepeatedXCharChunks(200, 7, 100, text, nullptr)->Count(), 1);
  UnicodeString other;
  for (int k = 0; other.size() < 200; ++k) other += static_cast<char16_t>(u'0' + k % 10);
  const UnicodeString mixed = text + other + other;  // a second line, found once
  auto two = RepeatedXCharChunks(200, 2, 100, mixed, nullptr);
  ASSERT_EQ(two->Count(), 1);
  EXPECT_EQ(two->GetOne(0).long0, 6);
  EXPECT_EQ(RepeatedXCharChunks(200, 1, 100, mixed, nullptr)->Count(), 2);
  EXPECT_EQ(RepeatedXCharChunks(50, 1, 100, text, nullptr)->Count(), 0);  // chunks of 50 are never counted
  EXPECT_EQ(RepeatedXCharChunks(0, 1, 100, text, nullptr)->Count(), 0);
  EXPECT_EQ(RepeatedXCharChunks(200, 1, 100, u"", nullptr)->Count(), 0);
  int last = -1;
  RepeatedXCharChunks(200, 1, 100, text, [&](int32_t p) { last = p; return true; });
  EXPECT_EQ(last, 75);
  // With maxChunks 1 each chunk stops at its first repeat once one repeating line is held: 2 + 1 + 1.
  EXPECT_EQ(RepeatedXCharChunks(200, 1, 1, text, nullptr)->GetOne(0).long0, 4);
}

}  // namespace
}  // namespace kx8
