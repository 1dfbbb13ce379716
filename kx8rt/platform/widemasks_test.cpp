#include "kx8rt/platform/widemasks.h"

#include <gtest/gtest.h>

using namespace kx8;

namespace {

using Masks = std::vector<UnicodeString>;

TEST(Masks, BuildAMask) {
  Masks m{u"stale"};
  BuildAMask(m, u"*.txt;;*.htm");
  EXPECT_EQ(m, (Masks{u"*.txt", u"", u"*.htm"}));
  BuildAMask(m, u"  *.txt\r\n*.htm;  ");
  EXPECT_EQ(m, (Masks{u"*.txt", u"*.htm"}));
  BuildAMask(m, u";");
  EXPECT_EQ(m, (Masks{u""}));
  BuildAMask(m, u"");
  EXPECT_TRUE(m.empty());
}

TEST(Masks, MatchesMask) {
  struct Case { const char16_t* name; const char16_t* mask; bool match; } cases[] = {
      {u"", u"*", false},                {u"a.txt", u"*", true},          {u"a.txt", u"*.TXT", true},
      {u"A.TXT", u"*.txt", true},        {u"a.txt", u"*.htm", false},      {u"a.txt", u"*.htm;*.txt", true},
      {u"a.txt", u"*.htm; *.txt", true}, {u"a.txt", u"*.htm;;", false},    {u"a.tx", u"*.tx?", false},
      {u"a.txt", u"*.tx?", true},        {u"a.txtx", u"*.tx?", false},     {u"readme", u"*.*", true},
      {u"ÉTÉ.txt", u"été.*", true},       {u"abc", u"a*c", true},           {u"ac", u"a*c", true},
      {u"abcbc", u"a*bc", true},         {u"abcb", u"a*bc", false},        {u"a.txt", u"", false},
      {u"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", u"*a*a*a*a*a*a*a*a*a*a*a*c", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MatchesMask(c.name, c.mask), c.match) << Utf16ToUtf8(c.name) << " / " << Utf16ToUtf8(c.mask);
}

TEST(Masks, WhereInAMask) {
  Masks m;
  BuildAMask(m, u"*.txt;;*.htm");
  EXPECT_EQ(WhereInAMask(u"page.HTM", m), 2);
  EXPECT_EQ(WhereInAMask(u"a.txt", m), 0);
  EXPECT_EQ(WhereInAMask(u"a.doc", m), -1);
  EXPECT_EQ(WhereInAMask(u"", m), -1);
  EXPECT_EQ(WhereInAMask(u"a.doc", Masks{u"", u"*"}), 1);  // the empty mask is skipped
}

}  // namespace
