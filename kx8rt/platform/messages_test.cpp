#include "kx8rt/platform/messages.h"

#include <gtest/gtest.h>

#include <set>

#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/format.h"

namespace kx8 {
namespace {

// Translations are process-wide; every test leaves the English catalogue behind.
class Messages : public ::testing::Test {
 protected:
  void TearDown() override { ResetMessageTexts(); }
};

TEST_F(Messages, ConstantsGiveTheirTextAndFillPlaceholders) {
  EXPECT_EQ(LoadMessage(KXYes), u"Yes");
  const UnicodeString no = KXNo;
  EXPECT_EQ(no, u"No");
  EXPECT_EQ(Format(KXXList, {u"word"}), u"word list");
  EXPECT_EQ(Format(KXFileReadError, {5, u"x.lst"}), u"file read error (5) : x.lst");
  EXPECT_EQ(MessageName(KXFileReadError), u"_KXFileReadError");
}

TEST_F(Messages, LookUpByFullNameOnly) {
  struct Case { const char16_t* name; const char16_t* want; };
  const Case cases[] = {{u"_KXYes", u"Yes"},   {u"_KXCancel", u"Cancel"}, {u"_KXOK", u"OK"},
                        {u"KXYes", u""},       {u"_kxyes", u""},          {u"", u""},
                        {u"_KXYesNo", u""}};
  for (const auto& c : cases) EXPECT_EQ(MessageByName(c.name), c.want) << Utf16ToUtf8(c.name);
  TKXMessage m{};
  ASSERT_TRUE(FindMessage(u"_KXXList", m));
  EXPECT_EQ(m.Index, KXXList.Index);
  EXPECT_FALSE(FindMessage(u"_KXNothing", m));
}

TEST_F(Messages, TranslationReplacesTheTextEverywhere) {
  EXPECT_TRUE(SetMessageText(u"_KXXList", u"Liste des %s"));
  EXPECT_EQ(Format(KXXList, {u"mots"}), u"Liste des mots");
  EXPECT_EQ(MessageByName(u"_KXXList"), u"Liste des %s");
  EXPECT_EQ(EnglishMessageText(KXXList), u"%s list");
  SetMessageText(KXYes, u"Oui");
  EXPECT_EQ(LoadMessage(KXYes), u"Oui");
  EXPECT_FALSE(SetMessageText(u"_KXNoSuchMessage", u"x"));
  ResetMessageTexts();
  EXPECT_EQ(LoadMessage(KXYes), u"Yes");
  EXPECT_EQ(Format(KXXList, {u"word"}), u"word list");
}

TEST_F(Messages, CatalogueNamesAreUniqueAndFindable) {
  ASSERT_GE(MessageCount(), 6u);
  std::set<std::u16string_view> names;
  for (size_t i = 0; i < MessageCount(); ++i) {
    const TKXMessage m = MessageAt(i);
    const std::u16string_view name = MessageName(m);
    EXPECT_EQ(name.substr(0, 3), u"_KX") << i;
    EXPECT_TRUE(names.insert(name).second) << Utf16ToUtf8(UnicodeString(name));
    TKXMessage found{};
    ASSERT_TRUE(FindMessage(name, found));
    EXPECT_EQ(found.Index, m.Index);
    EXPECT_FALSE(EnglishMessageText(m).empty());
  }
  EXPECT_THROW(MessageAt(MessageCount()), EListError);
}

}  // namespace
}  // namespace kx8
