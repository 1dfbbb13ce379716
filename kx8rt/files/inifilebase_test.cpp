#include "kx8rt/files/inifilebase.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "kx8rt/platform/exceptions.h"

namespace kx8 {
namespace {

namespace fs = std::filesystem;

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kx8_ini_" + std::to_string(::getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    savedTicks = MEMINI_include_checklistbox_checkeds;
  }
  void TearDown() override {
    MEMINI_include_checklistbox_checkeds = savedTicks;
    std::error_code ec;
    fs::permissions(dir, fs::perms::owner_all, ec);
    fs::remove_all(dir);
  }
  UnicodeString Name(const char* leaf) { return Utf8ToUtf16((dir / leaf).string()); }
  // The file's text, decoded from UTF-16 LE after checking the signature.
  std::u16string ReadUTF16(const UnicodeString& name) {
    std::ifstream f(Utf16ToUtf8(name), std::ios::binary);
    const std::string b(std::istreambuf_iterator<char>(f), {});
    EXPECT_GE(b.size(), 2u);
    EXPECT_EQ(b.substr(0, 2), "\xFF\xFE");
    std::u16string out;
    for (size_t i = 2; i + 1 < b.size(); i += 2)
      out += static_cast<char16_t>(static_cast<uint8_t>(b[i]) | static_cast<uint8_t>(b[i + 1]) << 8);
    return out;
  }
  fs::path dir;
  bool savedTicks = false;
};

const std::u16string kHeader =
    u"Automatically generated file. CAREFUL!!!\r\nA program from Quillmark created this settings file.\r\n"
    u"; Delete it if you want.\r\n; Modify it at your own risk!\r\n\r\n";

TEST_F(SettingsFileTest, HeaderOnceAndBackupOfThePreviousSave) {
  const UnicodeString name = Name("tool.ini");
  {
    TMyMemIniFile ini(name);
    EXPECT_FALSE(ini.SaveABackup());  // nothing on disk yet
    EXPECT_FALSE(fs::exists(dir / "tool.ini.Backup"));
    ini.WriteString(u"Main", u"word", u"caf\u00e9");
    ini.UpdateFile();
  }
  const std::u16string first = ReadUTF16(name);
  EXPECT_EQ(first, kHeader + u"[Main]\r\nword=caf\u00e9\r\n\r\n");
  EXPECT_FALSE(fs::exists(dir / "tool.ini.Backup"));
  {
    TMyMemIniFile ini(name);  // loading drops the header and comments
    EXPECT_EQ(ini.ReadString(u"main", u"WORD", u""), u"caf\u00e9");
    ini.WriteInteger(u"Main", u"count", 3);
    ini.UpdateFile();
  }
  EXPECT_EQ(ReadUTF16(name), kHeader + u"[Main]\r\nword=caf\u00e9\r\ncount=3\r\n\r\n");
  EXPECT_EQ(ReadUTF16(Name("tool.ini.Backup")), first);
  EXPECT_EQ(TMyMemIniFile(u"x/a.b/settings").BackupFileName(), u"x/a.b/settings.ini.Backup");
}

TEST_F(SettingsFileTest, FailedSaveKeepsTheEarlierText) {
  const UnicodeString name = Name("tool.ini");
  TMyMemIniFile ini(name);
  ini.WriteString(u"S", u"k", u"one");
  ini.UpdateFile();
  const std::u16string before = ReadUTF16(name);
  ini.WriteString(u"S", u"k", u"two");
  ::chmod(Utf16ToUtf8(name).c_str(), 0444);
  if (::geteuid() != 0) {  // root writes through permissions
    EXPECT_THROW(ini.UpdateFile(), EFCreateError);
    EXPECT_EQ(ReadUTF16(name), before);
  }
  TMyMemIniFile nowhere(Name("missing/tool.ini"));
  nowhere.WriteString(u"S", u"k", u"v");
  EXPECT_THROW(nowhere.UpdateFile(), EFCreateError);
}

TEST_F(SettingsFileTest, GarbageFilesLoadWhatTheyCan) {
  const UnicodeString name = Name("junk.ini");
  {
    std::ofstream f(Utf16ToUtf8(name), std::ios::binary);
    f << "junk=1\n\x01\x02\xFF\n[ok]\n  a = b \n;c=d\nnoequals\n[]\n[bad\nz=9\n";
  }
  TMyMemIniFile ini(name);
  EXPECT_FALSE(ini.ValueExists(u"", u"junk"));
  EXPECT_EQ(ini.ReadString(u"ok", u"a ", u"?"), u" b");
  EXPECT_FALSE(ini.ValueExists(u"ok", u"c"));
  EXPECT_EQ(ini.ReadString(u"", u"z", u"?"), u"9");  // "[]" is a section with an empty name
  EXPECT_EQ(ini.ReadInteger(u"ok", u"a ", -7), -7);
  TStringList lines;
  ini.ReadSectionValues(u"ok", lines);
  ASSERT_EQ(lines.Count(), 2);
  EXPECT_EQ(lines[1], u"noequals");
  ini.ReadSectionValues(u"", lines);
  ASSERT_EQ(lines.Count(), 2);
  EXPECT_EQ(lines[0], u"[bad");
}

TEST_F(SettingsFileTest, Colours) {
  TMyMemIniFile ini(Name("c.ini"));
  struct Case { const char16_t* text; TColor want; };
  const Case cases[] = {
      {u"255.0.0", 255},         {u"0.128.1", 0x018000},  {u"#clBlue", clBlue},
      {u"clBtnFace", clBtnFace}, {u"$00123456", 0x123456}, {u"#$000000FF", clRed},
      {u"12.x.3", clGreen},      {u"1.2", clGreen},        {u"300.0.0", 44},
      {u"65280", clLime},
  };
  for (const Case& c : cases) {
    ini.WriteString(u"c", u"v", c.text);
    EXPECT_EQ(ini.ReadColor(u"c", u"v", clGreen), c.want) << Utf16ToUtf8(c.text);
  }
  EXPECT_EQ(ini.ReadColor(u"c", u"absent", clTeal), clTeal);
  ini.WriteString(u"c", u"v", u"not a colour");
  EXPECT_THROW(ini.ReadColor(u"c", u"v", clGreen), EConvertError);
  ini.WriteColor(u"c", u"named", clRed);
  ini.WriteColor(u"c", u"hex", 0x123456);
  EXPECT_EQ(ini.ReadString(u"c", u"named", u""), u"clRed");
  EXPECT_EQ(ini.ReadString(u"c", u"hex", u""), u"$00123456");
  EXPECT_EQ(ini.ReadColor(u"c", u"hex", clBlack), 0x123456);
}

TEST_F(SettingsFileTest, MultiStrings) {
  TMyMemIniFile ini(Name("m.ini"));
  TStringList five;
  for (const char16_t* s : {u"a.txt", u"b.txt", u"c=d", u"d", u"e"}) five.Add(s);
  ini.WriteString(u"recent files", u"[v9]", u"old");
  ini.WriteMultiString(u"recent files", five, 2);
  TStringList keys;
  ini.ReadSection(u"recent files", keys);
  ASSERT_EQ(keys.Count(), 2);
  EXPECT_EQ(keys[0], u"[v0]");
  EXPECT_EQ(keys[1], u"[v1]");

  five.PutInteger(1, 7);
  ini.WriteMultiString(u"recent files", five);  // ticks not kept: every key is "[v"
  ini.ReadSection(u"recent files", keys);
  EXPECT_EQ(keys.Count(), 5);
  EXPECT_EQ(keys[1], u"[v1]");

  MEMINI_include_checklistbox_checkeds = true;
  ini.WriteMultiString(u"recent files", five);
  EXPECT_EQ(ini.ReadString(u"recent files", u"[c1]", u""), u"b.txt");
  TStringList back;
  back.Add(u"stale");
  ini.ReadMultiString(u"recent files", back);
  ASSERT_EQ(back.Count(), 5);
  EXPECT_EQ(back[2], u"c=d");
  EXPECT_EQ(back.Integers(1), 1);
  EXPECT_EQ(back.Integers(0), 0);

  // An older form ends the section with a count line.
  ini.WriteString(u"old", u"[v0]", u"x");
  ini.WriteString(u"old", u"[v1]", u"y");
  ini.WriteString(u"old", u"i", u"5");
  ini.ReadMultiString(u"old", back);
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back[1], u"y");
  back.Add(u"kept");
  ini.ReadMultiString(u"no such section", back);
  EXPECT_EQ(back.Count(), 3);
}

}  // namespace
}  // namespace kx8
