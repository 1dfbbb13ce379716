#include "kx8rt/definitions/list_types.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kx8rt/files/logging_utilities.h"
#include "kx8rt/platform/file_system.h"
#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/zip.h"

namespace kx8 {
namespace {

namespace fs = std::filesystem;

class ListTypeFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kx8_list_types_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  UnicodeString Put(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                      static_cast<std::streamsize>(bytes.size()));
    return Utf8ToUtf16((dir / name).string());
  }
  static std::vector<uint8_t> Header(int32_t version, const AnsiString& type, size_t total) {
    TCheckSignature s;
    s.signature = version;
    s.SetTypeOfData(type);
    const auto b = s.ToBytes();
    std::vector<uint8_t> v(total, 0xAA);
    std::copy_n(b.begin(), std::min(total, b.size()), v.begin());
    return v;
  }
  fs::path dir;
};

TEST(ListTypeExtensions, FromFileExtension) {
  const struct {
    const char16_t* ext;
    TTamrindList want;
  } cases[] = {
      {u".LST", lt_word_list},           {u".txt", lt_aligner_plaintext_list},
      {u".srt", lt_aligner_plaintext_list}, {u".dcl", lt_detailed_consistency_list},
      {u".tok", lt_wordlist_index_list}, {u".markup", lt_wordlist_index_list},
      {u".base_index", lt_cogrid_list},  {u".ali", lt_aligner_list},
      {u".KDB", lt_KW_database_list},    {u".mut", lt_index_relationship_list},
      {u".xyz", lt_bol7},                {u"", lt_wordlist_index_list},  // the empty text is in every text
  };
  for (const auto& c : cases) EXPECT_EQ(ListTypeFromFileExt(c.ext), c.want) << Utf16ToUtf8(c.ext);
}

TEST(ListTypeExtensions, ToolFromFileExtension) {
  EXPECT_EQ(ToolTypeFromFileExt(u".LST"), tt_no_tool_at_all);  // a bare extension is not lower-cased
  EXPECT_EQ(ToolTypeFromFileExt(u"/data/A.LST"), tt_tallier);
  EXPECT_EQ(ToolTypeFromFileExt(u"x.base_index_cg"), tt_KXcogrid);
  EXPECT_EQ(ToolTypeFromFileExt(u"x.base_index"), tt_no_tool_at_all);
  EXPECT_EQ(ToolTypeFromFileExt(u"book.txt"), tt_twin_pane);
  EXPECT_EQ(ToolTypeFromFileExt(u"noext"), tt_no_tool_at_all);
}

TEST(ListTypeExtensions, DefaultsAndJoinedList) {
  EXPECT_EQ(KXFileExtensions(), u".lst;.kws;.kdb;.cnc;.ali;.tokens;.mut;.vwr;.base_pairs;.cgr;.types;.base_index_cg");
  EXPECT_EQ(DefaultExtFromToolType(tt_near_pairs), u".txt");
  EXPECT_EQ(DefaultExtFromToolType(tt_hub), u".dat");
  EXPECT_EQ(DotlessDefaultExtFromListType(lt_VIDA_timeline_list), u"kdb_tl");
  EXPECT_EQ(WithoutDotDefaultExt(u"."), u".");
  EXPECT_EQ(DefaultExtFromSaveASFormat(as_default_for_list, lt_concordance_list), u".cnc");
  EXPECT_EQ(DefaultExtFromSaveASFormat(as_Excel_spreadsheet, lt_concordance_list), u".xlsx");
}

TEST(ListTypeNames, SignaturesAndDisplayNames) {
  EXPECT_EQ(ListSignature(lt_word_list), u"Word List");
  EXPECT_EQ(ListSignature(lt_notes), u"Notes");
  EXPECT_EQ(ListSignature(lt_aligner_plaintext_list), u" Text List");
  EXPECT_EQ(ListTypeAsString(lt_word_list), u"Word list");
  EXPECT_EQ(ListTypeAsString(lt_VIDA_timeline_list), u"VIDA Timeline List");
  EXPECT_EQ(ListTypeAsString(lt_conc_timeline_list), u"concordance Timeline List");
  EXPECT_EQ(ListTypeAsString(lt_KW_database_list), u"Salience Database");
  EXPECT_EQ(ListTypeAsString(lt_none_in_use), u"");
  EXPECT_EQ(ListTypeAsString(lt_sorting), u"Sort");
  EXPECT_EQ(list_signature32[ly_boll4], "ly_boll4");
  EXPECT_EQ(list_signature32[lt_sorting], "lt_bol8");
}

TEST(ListTypeNames, ToolsKindsGridsAndSets) {
  const tool_type saved = current_tool_var;
  current_tool_var = tt_kwicker;
  EXPECT_EQ(ToolTypeFromListType(lt_notes), tt_kwicker);
  EXPECT_EQ(ToolTypeFromListType(lt_bol7), tt_kwicker);
  current_tool_var = saved;
  EXPECT_EQ(ToolTypeFromListType(lt_cogrid_list), tt_KXcogrid);
  EXPECT_EQ(ListTypeToFileDataType(lt_KW_plot_list), graphic_data);
  EXPECT_EQ(ListTypeToFileDataType(lt_filename_list), text_data);
  EXPECT_EQ(ListTypeFromGridAlternatives(grid_kw_Clumps), lt_kw_clump_list);
  EXPECT_EQ(ListTypeFromGridAlternatives(grid_detailed_consist_relations), lt_word_list);
  EXPECT_EQ(ListTypeFromGridAlternatives(grid_kw_Clusters), lt_none_in_use);
  EXPECT_TRUE(SaveableListTypes.Contains(lt_KW_database_list));
  EXPECT_FALSE(LemmatisableListTypes.Contains(lt_KW_database_list));
  EXPECT_TRUE(MarkableListTypes.Contains(lt_kw_cluster_list));
  EXPECT_TRUE(IsOrIsLikeTallier(lt_word_list));
  EXPECT_FALSE(IsLikeTallier(lt_word_list));
}

TEST(ListSignatureHeader, WritesFiftySevenLittleEndianBytes) {
  TMemoryStream ms;
  TCheckSignature sig;
  sig.screen_res = 0x01020304;
  ASSERT_TRUE(DiskSignatureISOKForToolAndList(sig, tt_twin_pane, lt_concordance_list, ms, writing));
  ASSERT_EQ(ms.Size(), 57);
  const uint8_t* b = ms.Memory();
  EXPECT_EQ(b[0], 38);
  EXPECT_EQ(b[1] | b[2] | b[3], 0);
  EXPECT_EQ(b[4], 0x04);
  EXPECT_EQ(b[7], 0x01);
  EXPECT_EQ(b[16], 13);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 17), 13), "Concordance32");

  ms.SetPosition(0);
  TCheckSignature back;
  EXPECT_TRUE(DiskSignatureISOKForToolAndList(back, tt_twin_pane, lt_concordance_list, ms, reading));
  EXPECT_EQ(back.screen_res, 0x01020304);
  ms.SetPosition(0);
  EXPECT_FALSE(DiskSignatureISOKForToolAndList(back, tt_tallier, lt_concordance_list, ms, reading));
  ms.SetPosition(0);
  EXPECT_FALSE(DiskSignatureISOKForToolAndList(back, tt_twin_pane, lt_word_list, ms, reading));
  ms.SetSize(56);
  ms.SetPosition(0);
  EXPECT_FALSE(DiskSignatureISOKForToolAndList(back, tt_twin_pane, lt_concordance_list, ms, reading));
}

TEST(ListSignatureHeader, DiskFileType) {
  TCheckSignature s;
  EXPECT_EQ(DiskFileType(s), lt_none_in_use);  // empty text is the signature of "none in use"
  s.SetTypeOfData("Salience Database (v. 2)32");
  EXPECT_EQ(DiskFileType(s), lt_KW_database_list);
  s.SetTypeOfData("lt_bol8");
  EXPECT_EQ(DiskFileType(s), lt_none_in_use);
  s.SetTypeOfData("word list32");
  EXPECT_EQ(DiskFileType(s), lt_none_in_use);  // case counts
  s.type_of_data[0] = 200;  // a corrupt length reads as 40 characters, never past the field
  EXPECT_EQ(s.TypeOfData().size(), 40u);
}

TEST_F(ListTypeFiles, ThirtyTwoBitTestsNeedFiftyEightBytes) {
  TKX_MainFile_rec rec;
  rec.filename = Put("57.lst", Header(37, "Word List32", 57));
  EXPECT_FALSE(IsATamrind32BitFileForTool(rec, tt_tallier));
  EXPECT_EQ(rec.ListType, lt_none_in_use);
  rec.filename = Put("58.lst", Header(37, "Word List32", 58));
  EXPECT_TRUE(IsATamrind32BitFileForTool(rec, tt_tallier));
  EXPECT_EQ(rec.ListType, lt_word_list);
  EXPECT_FALSE(IsATamrind32BitFileForTool(rec, tt_kwicker));  // 36 is not 37
  EXPECT_EQ(WhichToolsTamrind32BitFile(rec), tt_tallier);
  rec.filename = Put("twin.ali", Header(38, "Aligner List32", 100));
  EXPECT_EQ(WhichToolsTamrind32BitFile(rec), tt_twin_pane);
  EXPECT_EQ(rec.ListType, lt_aligner_list);
  // An unknown type text still counts: it reads as "none in use", which is below ordinal 42.
  rec.filename = Put("odd.lst", Header(37, "lt_bol8", 100));
  EXPECT_EQ(WhichToolsTamrind32BitFile(rec), tt_tallier);
  EXPECT_EQ(rec.ListType, lt_none_in_use);
  rec.filename = Put("alien.lst", Header(12345, "Word List32", 100));
  EXPECT_EQ(WhichToolsTamrind32BitFile(rec), tt_no_tool_at_all);
  rec.filename = Utf8ToUtf16((dir / "missing.lst").string());
  EXPECT_FALSE(IsATamrind32BitFileForTool(rec, tt_tallier));
  EXPECT_EQ(WhichToolsTamrind32BitFile(rec), tt_no_tool_at_all);
}

TEST_F(ListTypeFiles, EarlierVersions) {
  const tool_type saved = current_tool_var;
  current_tool_var = tt_tallier;
  TKX_MainFile_rec rec;
  rec.filename = Put("old.lst", Header(35, "Word List32", 80));
  EXPECT_TRUE(WasATamrind32BitFile(rec));
  EXPECT_EQ(rec.ListType, lt_word_list);
  rec.filename = Put("now.lst", Header(37, "Statistics List32", 80));
  EXPECT_FALSE(WasATamrind32BitFile(rec));
  EXPECT_EQ(rec.ListType, lt_statistics_list);  // set although the answer is no
  rec.filename = Put("ancient.lst", Header(34, "Word List32", 80));
  EXPECT_FALSE(WasATamrind32BitFile(rec));
  EXPECT_EQ(rec.ListType, lt_none_in_use);
  current_tool_var = saved;
}

TEST_F(ListTypeFiles, SixteenBitNames) {
  std::vector<uint8_t> b(42, 0);
  const std::string name = "Concordancer";
  b[0] = static_cast<uint8_t>(name.size());
  b[1] = 0;  // the name then starts at byte 2
  std::copy(name.begin(), name.end(), b.begin() + 2);
  TKX_MainFile_rec rec;
  rec.filename = Put("old16.cnc", b);
  EXPECT_TRUE(IsAnOldTamrindFile(rec));
  EXPECT_EQ(rec.ListType, lt_concordance_list);
  b[0] = 4;  // cut to "Conc": no such name
  rec.filename = Put("cut.cnc", b);
  EXPECT_FALSE(IsAnOldTamrindFile(rec));
  b[0] = static_cast<uint8_t>(name.size());
  b.resize(41);
  rec.filename = Put("short.cnc", b);
  EXPECT_FALSE(IsAnOldTamrindFile(rec));
}

TEST_F(ListTypeFiles, BatchArchives) {
  const UnicodeString member = Put("one.cnc", Header(36, "Concordance32", 80));
  TKX_MainFile_rec rec;
  rec.filename = Utf8ToUtf16((dir / "batch.zip").string());
  TZipArchive z;
  z.CreateArchive(rec.filename, {member}, zsp_no_path, UnicodeString(), u"Tamrin Batch file .cnc");
  rec.Number_within_Zipfile = 9;
  EXPECT_TRUE(IsABatchZipFileForListType(rec));
  EXPECT_EQ(rec.ListType, lt_concordance_list);
  EXPECT_EQ(rec.Number_within_Zipfile, 0);
  z.CreateArchive(rec.filename, {member}, zsp_no_path, UnicodeString(), u"Tamrin Batch file ");
  EXPECT_FALSE(IsABatchZipFileForListType(rec));  // nothing after the marker
  z.CreateArchive(rec.filename, {member}, zsp_no_path, UnicodeString(), u"Tamrin Batch file .lst");
  EXPECT_TRUE(IsABatchZipFileForListType(rec));
  EXPECT_EQ(rec.ListType, lt_word_list);
  rec.filename = Put("fake.zip", {'P', 'K', 3, 4, 0, 0});
  EXPECT_FALSE(IsABatchZipFileForListType(rec));
  EXPECT_EQ(rec.ListType, lt_none_in_use);
}

TEST_F(ListTypeFiles, IndexFamilyBackupAndDeletion) {
  const UnicodeString base = Utf8ToUtf16((dir / "corpus.tokens").string());
  Put("corpus.types", {1, 2, 3});
  Put("corpus.stats", {4});
  Put("corpus.types_bak", {9});
  TryToBackupIndexFiles(base);
  EXPECT_EQ(FileSizeByName(Utf8ToUtf16((dir / "corpus.types_bak").string())), 3);  // overwritten
  EXPECT_TRUE(FileExists(Utf8ToUtf16((dir / "corpus.stats_bak").string())));
  EXPECT_FALSE(FileExists(Utf8ToUtf16((dir / "corpus.tokens_bak").string())));
  TryToDeleteIndexFiles(base);
  EXPECT_FALSE(FileExists(Utf8ToUtf16((dir / "corpus.types").string())));
  EXPECT_FALSE(FileExists(Utf8ToUtf16((dir / "corpus.stats").string())));
  EXPECT_TRUE(FileExists(Utf8ToUtf16((dir / "corpus.types_bak").string())));
}

TEST_F(ListTypeFiles, IndexFamilyWorkIsLogged) {
  const UnicodeString log = Utf8ToUtf16((dir / "run.log").string());
  const UnicodeString savedName = GetLogFilename();
  const bool savedKeeping = global_keeping_log;
  SetLogFilename(log);
  global_keeping_log = true;
  Put("c.types", {1});
  TryToBackupIndexFiles(Utf8ToUtf16((dir / "c.tokens").string()));
  TryToDeleteIndexFiles(Utf8ToUtf16((dir / "c.tokens").string()));
  global_keeping_log = savedKeeping;
  SetLogFilename(savedName);
  TStringList lines;
  lines.LoadFromFile(log);
  const UnicodeString text = lines.Text();
  EXPECT_NE(text.find(u"Trying to backup index files for "), UnicodeString::npos);
  EXPECT_NE(text.find(u"Trying to copy "), UnicodeString::npos);
  EXPECT_NE(text.find(u"Trying to delete "), UnicodeString::npos);
  EXPECT_EQ(text.find(u".stats"), UnicodeString::npos);  // only files that exist are named
}

}  // namespace
}  // namespace kx8
