#include "kx8rt/platform/message_box.h"

#include <gtest/gtest.h>

namespace kx8 {
namespace {

// Restores the process-wide hook and log procedure after each test.
class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedHook = Global_MessageBoxHook;
    savedLog = Global_MessageBoxLogProc;
    Global_MessageBoxHook = nullptr;
    logged.clear();
    Global_MessageBoxLogProc = [](const UnicodeString& line) { logged.push_back(line); };
  }
  void TearDown() override {
    Global_MessageBoxHook = savedHook;
    Global_MessageBoxLogProc = savedLog;
  }
  TMessageBoxHook savedHook;
  TMessageBoxLogProc savedLog = nullptr;
  static inline std::vector<UnicodeString> logged;
};

TEST_F(MessageBoxTest, WithoutHookEveryButtonSetGetsItsSafeAnswer) {
  const struct { uint32_t flags; int32_t answer; } cases[] = {
      {MB_OK, IDOK},
      {MB_OKCANCEL | MB_ICONQUESTION, IDCANCEL},
      {MB_YESNO | MB_ICONWARNING, IDNO},
      {MB_YESNOCANCEL, IDCANCEL},
      {MB_RETRYCANCEL, IDCANCEL},
      {MB_ABORTRETRYIGNORE, IDABORT},
      {0x000E, IDCANCEL},  // unknown set
  };
  for (const auto& c : cases) EXPECT_EQ(MessageBoxW(u"q", u"", c.flags), c.answer) << c.flags;
  EXPECT_EQ(logged.size(), std::size(cases));
}

TEST_F(MessageBoxTest, DefaultAnswerLogsQuestionCaptionAndAnswer) {
  EXPECT_EQ(MessageBoxW(u"Delete x?", u"Confirmation", MB_YESNO), IDNO);
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0], u"message box \"Confirmation\": Delete x? -> No");
  ShowMessage(u"done");
  EXPECT_EQ(logged.back(), u"message box: done -> OK");
}

TEST_F(MessageBoxTest, InstalledHookIsAskedAndNothingIsLogged) {
  UnicodeString seenText, seenCaption;
  uint32_t seenFlags = 99;
  Global_MessageBoxHook = [&](const UnicodeString& t, const UnicodeString& c, uint32_t f) {
    seenText = t;
    seenCaption = c;
    seenFlags = f;
    return IDYES;
  };
  EXPECT_EQ(MessageBoxW(u"Overwrite?", u"Cap", MB_YESNO), IDYES);
  EXPECT_EQ(seenText, u"Overwrite?");
  EXPECT_EQ(seenCaption, u"Cap");
  EXPECT_EQ(seenFlags, MB_YESNO);
  EXPECT_TRUE(logged.empty());
}

}  // namespace
}  // namespace kx8
