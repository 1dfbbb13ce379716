#include "kx8rt/files/logging_utilities.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "kx8rt/platform/message_box.h"

namespace kx8 {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// UTF-16 LE bytes of an ASCII text, with the signature in front when asked.
std::string Utf16LE(std::string_view ascii, bool signature) {
  std::string out = signature ? std::string("\xFF\xFE", 2) : std::string();
  for (char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

// Each test gets its own folder and leaves the process-wide log state as it found it.
class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kx8_log_" + std::to_string(::getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    savedKeeping = global_keeping_log;
    savedName = GetLogFilename();
    savedTool = current_tool_var;
    logPath = dir / "run.log";
    SetLogFilename(Utf8ToUtf16(logPath.string()));
    current_tool_var = tt_tallier;
  }
  void TearDown() override {
    global_keeping_log = savedKeeping;
    global_log_writing = false;
    SetLogFilename(savedName);
    current_tool_var = savedTool;
    fs::remove_all(dir);
  }
  fs::path dir, logPath;
  bool savedKeeping = false;
  UnicodeString savedName;
  tool_type savedTool = tt_no_tool_at_all;
};

TEST_F(LogTest, NothingIsCreatedWhileLoggingIsOff) {
  global_keeping_log = false;
  AddToLogFile(u"a");
  AddToLogFile(u"b", false);
  AddToDetailLogFile(Utf8ToUtf16((dir / "detail.log").string()), u"c");
  StartNewLogSection(u"5.2");
  EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(LogTest, FirstWriteHasSignatureTagTextAndLineBreak) {
  global_keeping_log = true;
  AddToLogFile(u"hello");
  EXPECT_EQ(ReadBytes(logPath), Utf16LE("(T): hello\r\n", true));
  AddToLogFile(u"again");
  EXPECT_EQ(ReadBytes(logPath), Utf16LE("(T): hello\r\n(T): again\r\n", true));
}

TEST_F(LogTest, TextWithoutLineBreakIsContinuedWithTheNextTagInTheMiddle) {
  global_keeping_log = true;
  current_tool_var = tt_kwicker;
  AddToLogFile(u"s", false);
  AddToLogFile(u"t");
  EXPECT_EQ(ReadBytes(logPath), Utf16LE("(KW): s(KW): t\r\n", true));
}

TEST_F(LogTest, ToolTags) {
  const struct { tool_type tool; const char16_t* tag; } cases[] = {
      {tt_tallier, u"(T): "},        {tt_kwicker, u"(KW): "},     {tt_salience, u"(S): "},
      {tt_Letterrun, u"(LRN): "},    {tt_KXcogrid, u"(GRD): "},   {tt_twin_pane, u"(TP): "},
      {tt_spare_tool, u"(SP): "},    {tt_near_pairs, u"(NP): "},  {tt_file_kit, u"(FK): "},
      {tt_glyph_profiler, u"(GP): "}, {tt_locale_picker, u"(LP): "}, {tt_call_tool, u"(CT): "},
      {tt_page_viewer, u"(PV): "},   {tt_corpus_auditor, u"(AUD): "}, {tt_update_probe, u"(?\?)"},
      {tt_text_recoder, u"(TR): "},  {tt_hub, u"(KX8): "},        {tt_no_tool_at_all, u"(?\?)"},
      {static_cast<tool_type>(200), u"(?\?)"},
  };
  for (const auto& c : cases) EXPECT_EQ(LogToolTag(c.tool), c.tag) << int(c.tool);
}

TEST_F(LogTest, TextsArrivingDuringAWriteGoOutFirstWithTheNextWrite) {
  global_keeping_log = true;
  AddToLogFile(u"first");
  global_log_writing = true;  // as if a write were in progress and these calls re-entered it
  AddToLogFile(u"p1");
  AddToLogFile(u"p2", false);
  global_log_writing = false;
  ASSERT_EQ(PendingLogTexts().size(), 2u);
  EXPECT_EQ(ReadBytes(logPath), Utf16LE("(T): first\r\n", true));
  AddToLogFile(u"next");
  EXPECT_TRUE(PendingLogTexts().empty());
  EXPECT_EQ(ReadBytes(logPath), Utf16LE("(T): first\r\np1\r\n\r\np2\r\n\r\n(T): next\r\n", true));
}

TEST_F(LogTest, PendingTextsAreFlushedOnceAsOneText) {
  global_keeping_log = true;
  global_log_writing = true;
  AddToLogFile(u"a", false);
  AddToLogFile(u"b", false);
  global_log_writing = false;
  FlushPendingLogTexts();
  EXPECT_EQ(ReadBytes(logPath), Utf16LE("(T): a\r\nb\r\n", true));
  FlushPendingLogTexts();  // nothing left
  EXPECT_EQ(ReadBytes(logPath), Utf16LE("(T): a\r\nb\r\n", true));
}

TEST_F(LogTest, UnwritableLogSwitchesLoggingOffAtTheFirstWrite) {
  global_keeping_log = true;
  SetLogFilename(Utf8ToUtf16((dir / "no_such_folder" / "x.log").string()));
  AddToLogFile(u"lost");
  EXPECT_FALSE(global_keeping_log);
  EXPECT_FALSE(global_log_writing);
  EXPECT_FALSE(fs::exists(dir / "no_such_folder"));
  // A folder in the file's place fails the same way.
  global_keeping_log = true;
  AddToDetailLogFile(Utf8ToUtf16(dir.string()), u"x");
  EXPECT_FALSE(global_keeping_log);
}

TEST_F(LogTest, EmptyLogNameWritesNothingAndKeepsLoggingOn) {
  global_keeping_log = true;
  SetLogFilename(u"");
  AddToLogFile(u"x");
  EXPECT_TRUE(global_keeping_log);
  EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(LogTest, DetailLogGetsTagTextAndLineBreak) {
  global_keeping_log = true;
  current_tool_var = tt_hub;
  const fs::path detail = dir / "detail.log";
  AddToDetailLogFile(Utf8ToUtf16(detail.string()), u"d");
  EXPECT_EQ(ReadBytes(detail), Utf16LE("(KX8): d\r\n", true));
  EXPECT_FALSE(fs::exists(logPath));
}

TEST_F(LogTest, NewSectionWritesThreeTaggedEntries) {
  global_keeping_log = true;
  StartNewLogSection(u"5.2");
  const std::string bytes = ReadBytes(logPath);
  const std::string head = Utf16LE("(T): **********\r\n(T): Compilation 5.2. (T): LOG STARTED at ", true);
  ASSERT_GE(bytes.size(), head.size());
  EXPECT_EQ(bytes.substr(0, head.size()), head);
  EXPECT_EQ(bytes.substr(bytes.size() - 4), Utf16LE("\r\n", false));
  // Without a compilation text there is no middle entry.
  fs::remove(logPath);
  StartNewLogSection();
  const std::string head2 = Utf16LE("(T): **********\r\n(T): LOG STARTED at ", true);
  EXPECT_EQ(ReadBytes(logPath).substr(0, head2.size()), head2);
}

TEST_F(LogTest, ClearLogFileDeletesOnlyAnExistingFile) {
  global_keeping_log = true;
  AddToLogFile(u"x");
  ASSERT_TRUE(fs::exists(logPath));
  ClearLogFile();
  EXPECT_FALSE(fs::exists(logPath));
  ClearLogFile();  // missing: nothing happens
  ClearLogFile(u"");
  fs::create_directory(dir / "sub");
  ClearLogFile(Utf8ToUtf16((dir / "sub").string()));
  EXPECT_TRUE(fs::is_directory(dir / "sub"));
}

TEST_F(LogTest, UnansweredMessageBoxIsLogged) {
  global_keeping_log = true;
  TMessageBoxHook saved = Global_MessageBoxHook;
  Global_MessageBoxHook = nullptr;
  EXPECT_EQ(MessageBoxW(u"Go?", u"", MB_OKCANCEL), IDCANCEL);
  Global_MessageBoxHook = saved;
  EXPECT_EQ(ReadBytes(logPath), Utf16LE("(T): message box: Go? -> Cancel\r\n", true));
}

}  // namespace
}  // namespace kx8
