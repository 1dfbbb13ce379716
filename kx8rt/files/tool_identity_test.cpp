#include "kx8rt/files/tool_identity.h"

#include <gtest/gtest.h>

namespace kx8 {
namespace {

TEST(ToolName, DisplayNamesInOrdinalOrder) {
  const struct { tool_type tool; const char16_t* name; } cases[] = {
      {tt_tallier, u"Tallier"},           {tt_kwicker, u"Kwicker"},
      {tt_salience, u"Salience"},         {tt_Letterrun, u"Letterrun"},
      {tt_KXcogrid, u"KXCogrid"},         {tt_twin_pane, u"Twin Pane"},
      {tt_spare_tool, u"Spare Tool"},     {tt_near_pairs, u"Near Pairs"},
      {tt_file_kit, u"File Kit"},         {tt_glyph_profiler, u"Glyph Profiler"},
      {tt_locale_picker, u"Locale Picker"}, {tt_call_tool, u"KX8 General API DLL"},
      {tt_page_viewer, u"Page Viewer"},   {tt_corpus_auditor, u"Corpus Auditor"},
      {tt_update_probe, u"Tamrind update probe"}, {tt_text_recoder, u"Text Recoder"},
      {tt_hub, u"Tamrind"},               {tt_no_tool_at_all, u""},
  };
  int expectedOrdinal = 0;
  for (const auto& c : cases) {
    EXPECT_EQ(static_cast<int>(c.tool), expectedOrdinal++);
    EXPECT_EQ(Tool_Name(c.tool), c.name) << static_cast<int>(c.tool);
  }
  EXPECT_EQ(Tool_Name(static_cast<tool_type>(200)), u"");
}

TEST(GetShortToolFilename, BlanksBecomeUnderscoresAndVersionIsAppended) {
  EXPECT_EQ(GetShortToolFilename(tt_kwicker), u"Kwicker8.exe");
  EXPECT_EQ(GetShortToolFilename(tt_near_pairs), u"Near_Pairs8.exe");
  EXPECT_EQ(GetShortToolFilename(tt_call_tool), u"KX8_General_API_DLL8.dll");
  EXPECT_EQ(GetShortToolFilename(tt_update_probe), u"Tamrind_update_probe8.exe");
  EXPECT_EQ(GetShortToolFilename(tt_no_tool_at_all), u"");
  EXPECT_EQ(GetShortToolFilename(static_cast<tool_type>(99)), u"");
}

TEST(ToolFromExecutableName, MatchesIgnoringCase) {
  EXPECT_EQ(ToolFromExecutableName(u"KWICKER8.EXE"), tt_kwicker);
  EXPECT_EQ(ToolFromExecutableName(u"kwicker8.exe"), tt_kwicker);
  EXPECT_EQ(ToolFromExecutableName(u"near_pairs8.EXE"), tt_near_pairs);
  EXPECT_EQ(ToolFromExecutableName(u"Tamrind8.exe"), tt_hub);
  EXPECT_EQ(ToolFromExecutableName(u"kx8_general_api_dll8.dll"), tt_call_tool);
  EXPECT_EQ(ToolFromExecutableName(u"Spare_Tool8.exe"), tt_spare_tool);
}

TEST(ToolFromExecutableName, RenamedOrEmptyIsNoTool) {
  EXPECT_EQ(ToolFromExecutableName(u"Kwicker7.exe"), tt_no_tool_at_all);
  EXPECT_EQ(ToolFromExecutableName(u"Kwicker8.exe.bak"), tt_no_tool_at_all);
  EXPECT_EQ(ToolFromExecutableName(u"Near Pairs8.exe"), tt_no_tool_at_all);
  EXPECT_EQ(ToolFromExecutableName(u""), tt_no_tool_at_all);
}

TEST(SetCurrentTool, TestProgramIsNoTool) {
  const tool_type saved = current_tool_var;
  current_tool_var = tt_kwicker;
  SetCurrentTool();
  EXPECT_EQ(current_tool_var, tt_no_tool_at_all);
  current_tool_var = saved;
}

TEST(GetFullToolFilename, RunningFolderPlusShortName) {
  const UnicodeString exe = RunningExecutablePath();
  ASSERT_FALSE(exe.empty());
  const UnicodeString folder = exe.substr(0, exe.rfind(u'/') + 1);
  EXPECT_EQ(GetFullToolFilename(tt_kwicker), folder + u"Kwicker8.exe");
  EXPECT_EQ(GetFullToolFilename(tt_no_tool_at_all), folder);
  EXPECT_NE(exe.find(u"kx8rt_files_tests"), UnicodeString::npos);
}

}  // namespace
}  // namespace kx8
