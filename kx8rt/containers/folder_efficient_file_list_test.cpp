#include "kx8rt/containers/folder_efficient_file_list.h"

#include <gtest/gtest.h>

namespace kx8 {
namespace {

std::vector<UnicodeString> Names(const TFolderEfficientFileStringlist& l) {
  std::vector<UnicodeString> v;
  for (int32_t i = 0; i < l.Count(); ++i) v.push_back(l.files->Get(i));
  return v;
}

TEST(FolderEfficientFileStringlist, FoldersOnceAndFullNames) {
  TFolderEfficientFileStringlist l;
  EXPECT_EQ(l.AddOne(u"/a/x.txt"), 0);
  EXPECT_EQ(l.Add(u"/b/y.txt"), 1);
  l.AddOne(u"/a/z.txt");
  EXPECT_EQ(l.folders->Count(), 2);
  EXPECT_EQ(l.files->GetAFolderNumber(0), 0);
  EXPECT_EQ(l.files->GetAFolderNumber(1), 1);
  EXPECT_EQ(l.GetFullFilename(0), u"/a/x.txt");
  EXPECT_EQ(l.GetFullFilename(1), u"/b/y.txt");
  EXPECT_EQ(l.GetFullFilename(3), u"");
  TMySimpleSearchRec r{};
  r.ShortName = u"w.txt";
  r.Size = 5;
  EXPECT_EQ(l.AddOne(u"C:\\docs", r), 3);  // a folder given without its separator
  EXPECT_EQ(l.GetFullFilename(3), u"C:\\docs/w.txt");
  r.ShortName = u"lost.txt";
  l.AddOne(17, r);  // an unknown folder number: the short name alone
  EXPECT_EQ(l.GetFullFilename(4), u"lost.txt");
  EXPECT_EQ(l.IndexOfFullName(u"/b/y.txt"), 1);
  EXPECT_EQ(l.IndexOfFullName(u"/c/y.txt"), -1);
  EXPECT_EQ(l.IndexOfShortName(u"Z.TXT"), 2);  // the runtime list ignores case by default
  EXPECT_EQ(l.GetAsStringlist()->Get(2), u"/a/z.txt");
  EXPECT_EQ(l.files->GetASimpleSearchRec(-1).ShortName, u"");
  EXPECT_EQ(l.files->GetAFolderNumber(99), 0);
  l.SetFullFilename(0, u"/elsewhere/renamed.txt");
  EXPECT_EQ(l.GetFullFilename(0), u"/a/renamed.txt");
  l.SetFullFilename(42, u"x");
  l.Delete(1);
  EXPECT_EQ(l.Count(), 4);
  EXPECT_EQ(l.folders->Count(), 3);  // folders are kept until Clear
  l.Clear();
  EXPECT_EQ(l.Count(), 0);
  EXPECT_EQ(l.folders->Count(), 0);
}

TEST(FolderEfficientFileStringlist, Sorts) {
  TFolderEfficientFileStringlist l;
  auto add = [&](const char16_t* folder, const char16_t* name, int32_t size, double date) {
    TMySimpleSearchRec r{};
    r.ShortName = name;
    r.Size = size;
    r.DateTime = date;
    l.AddOne(UnicodeString(folder), r);
  };
  add(u"/z/", u"b", 30, 3);
  add(u"/a/", u"C", 10, 1);
  add(u"/z/", u"a", 10, 2);
  add(u"/a/", u"A", 20, 2);
  l.DoASort(ss_size, ss_size, true);  // size only
  EXPECT_EQ(l.files->GetASimpleSearchRec(3).Size, 30);
  l.DoASort(ss_size, ss_shortname, false);
  EXPECT_EQ(Names(l), (std::vector<UnicodeString>{u"b", u"A", u"a", u"C"}));
  l.DoASort(ss_folder, ss_shortname, true);  // folders in order of first use, names case-sensitive
  EXPECT_EQ(Names(l), (std::vector<UnicodeString>{u"a", u"b", u"A", u"C"}));
  l.case_insensitive = true;
  l.DoASort(ss_shortname, ss_date, true);
  EXPECT_EQ(Names(l), (std::vector<UnicodeString>{u"a", u"A", u"b", u"C"}));
  EXPECT_TRUE(l.files->IsSorted);
  const auto before = Names(l);
  l.DoASort(ss_none, ss_date, false);  // changes nothing
  EXPECT_EQ(Names(l), before);
  EXPECT_EQ(l.sort_2, ss_date);
  l.DoASort(ss_date, ss_shortname, true);  // date primary: names stay case-sensitive
  EXPECT_EQ(Names(l), (std::vector<UnicodeString>{u"C", u"A", u"a", u"b"}));
}

}  // namespace
}  // namespace kx8
