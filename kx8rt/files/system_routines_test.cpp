#include "kx8rt/files/system_routines.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "kx8rt/platform/message_box.h"

namespace kx8 {
namespace {

namespace fs = std::filesystem;

// Installs a message-box hook that records the question and gives a fixed answer; restores on exit.
struct TScriptedBoxes {
  explicit TScriptedBoxes(int32_t answer) : saved(Global_MessageBoxHook) {
    Global_MessageBoxHook = [this, answer](const UnicodeString& t, const UnicodeString& c, uint32_t f) {
      texts.push_back(t);
      caption = c;
      flags = f;
      return answer;
    };
  }
  ~TScriptedBoxes() { Global_MessageBoxHook = saved; }
  TMessageBoxHook saved;
  std::vector<UnicodeString> texts;
  UnicodeString caption;
  uint32_t flags = 0xFFFF;
};

// A scratch folder per test.
class FolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kx8_sys_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  UnicodeString U(const fs::path& p) const { return Utf8ToUtf16(p.string()); }
  void Touch(const fs::path& p, const std::string& content = "x") { std::ofstream(p, std::ios::binary) << content; }
  fs::path dir;
};

TEST(YieldTest, NoHookDoesNothingAndHookIsCalled) {
  TYieldProcessProc saved = Global_YieldProcessProc;
  Global_YieldProcessProc = nullptr;
  MyYieldProcess();
  int calls = 0;
  Global_YieldProcessProc = [&] { ++calls; };
  MyYieldProcess();
  EXPECT_EQ(calls, 1);
  Global_YieldProcessProc = saved;
}

TEST(WaitTest, FalseFlagReturnsAtOnceWithoutYielding) {
  TYieldProcessProc saved = Global_YieldProcessProc;
  int calls = 0;
  Global_YieldProcessProc = [&] { ++calls; };
  bool flag = false;
  EXPECT_FALSE(WaitTillUntrue(flag, 5));
  EXPECT_FALSE(WaitTillUntrue([] { return false; }, 5));
  EXPECT_EQ(calls, 0);
  Global_YieldProcessProc = saved;
}

TEST(WaitTest, FlagClearedByTheYieldHookEndsTheWait) {
  TYieldProcessProc saved = Global_YieldProcessProc;
  bool flag = true;
  int calls = 0;
  Global_YieldProcessProc = [&] {
    if (++calls == 10) flag = false;
  };
  EXPECT_FALSE(WaitTillUntrue(flag, 5));
  EXPECT_EQ(calls % 4, 0);  // four yields a round
  EXPECT_GE(calls, 10);
  Global_YieldProcessProc = saved;
}

TEST(WaitTest, FlagThatNeverClearsTimesOutAfterMoreThanMaxSeconds) {
  bool flag = true;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(WaitTillUntrue(flag, 1));
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(took, 2.0);  // "more than 1 whole second" means 2 whole seconds have passed
  EXPECT_LT(took, 10.0);
}

TEST(CheckExecTest, EachCodeShowsItsMessage) {
  const struct { uint32_t code; const char16_t* text; } cases[] = {
      {0, u"Not enough memory to run a.xyz"},  {8, u"Not enough memory to run a.xyz"},
      {2, u"Can't access a.xyz"},              {3, u"Can't access a.xyz"},
      {5, u"Can't access a.xyz"},              {16, u"a.xyz already running"},
      {26, u"Sharing problem: a.xyz"},         {27, u"Can't handle files ending \".xyz\""},
      {31, u"Can't handle files ending \".xyz\""}, {11, u"Can't communicate with a.xyz"},
  };
  for (const auto& c : cases) {
    TScriptedBoxes boxes(IDOK);
    EXPECT_EQ(CheckExec(c.code, u"a.xyz"), c.code);
    ASSERT_EQ(boxes.texts.size(), 1u) << c.code;
    EXPECT_EQ(boxes.texts[0], c.text);
    EXPECT_EQ(boxes.caption, u"");
  }
  TScriptedBoxes boxes(IDOK);
  EXPECT_EQ(CheckExec(42, u"a.xyz"), 42u);
  EXPECT_EQ(CheckExec(32, u"a.xyz"), 32u);
  EXPECT_TRUE(boxes.texts.empty());
}

TEST(LibraryTest, FindsCallsAndClosesAFunction) {
  Tlibrary_rec rec = FindLibraryFunction(u"libm.so.6", u"cos");
  ASSERT_NE(rec.Hinst, 0u);
  ASSERT_NE(rec.FPointer, nullptr);
  auto fn = reinterpret_cast<double (*)(double)>(rec.FPointer);
  EXPECT_DOUBLE_EQ(fn(0.0), 1.0);
  EXPECT_TRUE(CloseLibraryFunction(rec));
  EXPECT_EQ(rec.Hinst, 0u);
  EXPECT_EQ(rec.FPointer, nullptr);
  EXPECT_FALSE(CloseLibraryFunction(rec));  // already closed

  Tlibrary_rec missingFn = FindLibraryFunction(u"libm.so.6", u"no_such_function_here");
  EXPECT_NE(missingFn.Hinst, 0u);
  EXPECT_EQ(missingFn.FPointer, nullptr);
  EXPECT_TRUE(CloseLibraryFunction(missingFn));
  Tlibrary_rec missingLib = FindLibraryFunction(u"libno_such_library_kx8.so", u"f");
  EXPECT_EQ(missingLib.Hinst, 0u);
  EXPECT_EQ(missingLib.FPointer, nullptr);
}

TEST(UserTest, NameAndInitials) {
  const UnicodeString name = Registry_Current_User();
  EXPECT_FALSE(name.empty());
  for (char16_t c : Registry_Current_User_Initials()) EXPECT_NE(name.find(c), UnicodeString::npos);
}

TEST(LocaleTest, CaseMappingByLocale) {
  EXPECT_EQ(Uppercase(0x041F, u"istanbul"), u"\u0130STANBUL");  // Turkish dotted capital I
  EXPECT_EQ(Uppercase(0x0409, u"istanbul"), u"ISTANBUL");
  EXPECT_EQ(Lowercase(0x041F, u"I"), u"\u0131");
  EXPECT_EQ(Lowercase(u"\u00C9COLE"), u"\u00E9cole");
  EXPECT_EQ(Uppercase(u"stra\u00DFe"), u"STRA\u00DFE");  // one unit for one
  char16_t buf[] = u"Iz";
  LowercaseIt(0x041F, buf);
  EXPECT_EQ(UnicodeString(buf), u"\u0131z");
  UppercaseIt(0x0409, buf);
  EXPECT_EQ(UnicodeString(buf), u"IZ");
  LowercaseIt(0x0409, nullptr);
}

TEST(LocaleTest, MeasurementsCodePagesAndDigits) {
  EXPECT_FALSE(UserDefaultMeasurements(0x0409));
  EXPECT_TRUE(UserDefaultMeasurements(0x0407));
  EXPECT_EQ(LCIDToCodePage(0x0409), 1252u);
  EXPECT_EQ(LCIDToCodePage(0x0419), 1251u);
  EXPECT_TRUE(IsOrdinaryNumberChar(u'7'));
  EXPECT_FALSE(IsOrdinaryNumberChar(u'\u0667'));
  EXPECT_TRUE(IsADigitChar(u'\u0667'));  // Arabic-Indic seven
  EXPECT_FALSE(IsADigitChar(u'x'));
}

TEST(NumbersTest, DecStrings) {
  EXPECT_EQ(IntToDecStr(1234567), u"1,234,567");
  EXPECT_EQ(IntToDecStr(16777217), u"16,777,216");
  EXPECT_EQ(IntToDecStr(int64_t{16777217}), u"16,777,216");
  EXPECT_EQ(IntToDecStr(-1000), u"-1,000");
  TFormatSettings german = UserDefaultFormatSettings();
  german.ThousandSeparator = u'.';
  german.DecimalSeparator = u',';
  EXPECT_EQ(IntToDecStr(1234567, german), u"1.234.567");
  EXPECT_EQ(RealToDecStr(0.5), u".50");
  EXPECT_EQ(RealToDecStr(1234.567), u"1,234.57");
  EXPECT_EQ(RealToDecStr(1234.5, german), u"1.234,50");
  EXPECT_EQ(Int64ToSingle(16777217), 16777216.0f);
}

TEST(NumbersTest, BooleanTexts) {
  EXPECT_EQ(BooleanToStr(true), u"true");
  EXPECT_EQ(BooleanToStr(false), u"false");
  EXPECT_TRUE(StrToBoolean(u"TRUE"));
  EXPECT_FALSE(StrToBoolean(u"yes"));
}

TEST(TextTest, AttributesAndAmpersands) {
  EXPECT_EQ(AttributesToStr(0x23), u"rah");
  EXPECT_EQ(AttributesToStr(0x3F), u"rashd");
  EXPECT_EQ(AttributesToStr(0), u"");
  const struct { const char16_t* in; const char16_t* out; } cases[] = {
      {u"&", u"&&"}, {u"a&b", u"a&&b"}, {u"&&x", u"&&&x"}, {u"a&&", u"a&&"},
      {u"x&", u"x&&"}, {u"", u""}, {u"plain", u"plain"},
  };
  for (const auto& c : cases) EXPECT_EQ(DoubleAnyAmpersands(c.in), c.out) << Utf16ToUtf8(c.in);
}

TEST(TextTest, ScanAndSwap) {
  const char16_t text[] = u"abcabc";
  EXPECT_EQ(StrLScanW(text, u'c', 6), text + 2);
  EXPECT_EQ(StrLScanW(text, u'c', 2), nullptr);
  EXPECT_EQ(StrLScanW(text, u'c', 0), text);
  EXPECT_EQ(StrLScanW(static_cast<const char16_t*>(nullptr), u'c', 3), nullptr);
  char16_t swap[] = {0x0041, 0x1234, 0x0100, 0};
  StrSwapByteOrder(swap);
  EXPECT_EQ(swap[0], 0x4100);
  EXPECT_EQ(swap[1], 0x3412);
  EXPECT_EQ(swap[2], 0x0001);
  StrSwapByteOrder(nullptr);
}

TEST(TextTest, SecondsOfTheDay) {
  EXPECT_EQ(TodaysTimeInSeconds(EncodeDate(2020, 1, 1) + EncodeTime(10, 0, 1, 0)), 36001);
  EXPECT_EQ(TodaysTimeInSeconds(0.5 / 86400.0), 0);  // half a second rounds to even
  EXPECT_EQ(TodaysTimeInSeconds(1.5 / 86400.0), 2);
  const int32_t s = SecondsElapsedSince(Now() - 25.0 / 24.0);
  EXPECT_GE(s, 3600);
  EXPECT_LE(s, 3602);
}

TEST_F(FolderTest, PathsAndChecks) {
  EXPECT_EQ(NormalisedPath(u"ab"), u"ab");
  EXPECT_EQ(NormalisedPath(U(dir / "x" / ".." / "y" / "")), U(dir / "y"));
  char16_t buffer[261];
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  NormalisedPathW(U(dir), buffer);
  EXPECT_EQ(UnicodeString(buffer), U(dir));
  EXPECT_EQ(buffer[260], u'\0');
  EXPECT_TRUE(FileNameHasWildCards(u"a*.txt"));
  EXPECT_TRUE(FileNameHasWildCards(u"a?.txt"));
  EXPECT_FALSE(FileNameHasWildCards(u"a.txt"));
  Touch(dir / "f.txt");
  EXPECT_TRUE(sIsADirectory(U(dir)));
  EXPECT_FALSE(sIsADirectory(U(dir / "f.txt")));
  EXPECT_FALSE(sIsADirectory(U(dir / "none")));
  EXPECT_FALSE(Fixed_Drive(U(dir / "none")));
  EXPECT_TRUE(ValidDrive('c'));
  EXPECT_TRUE(ValidDriveW(u'C'));
  EXPECT_EQ(DriveBits, 1u << 2);
  EXPECT_FALSE(ValidDrive('d'));
  EXPECT_FALSE(ValidDriveW(u'1'));
}

TEST_F(FolderTest, SubFoldersDepthFirstSkippingHiddenOnes) {
  for (const char* sub : {"b/b1", "a/a2/deep", "a/a1", ".hidden/inner", "c"}) fs::create_directories(dir / sub);
  Touch(dir / "a" / "file.txt");
  fs::create_directory_symlink(dir / "a", dir / "c" / "loop");
  auto list = ListOfSubFolders(U(dir) + u"/", true);
  std::vector<UnicodeString> got;
  for (int32_t i = 0; i < list->Count(); ++i) got.push_back(list->Get(i));
  const std::vector<UnicodeString> want = {U(dir) + u"/", U(dir / "a"), U(dir / "a" / "a1"), U(dir / "a" / "a2"),
                                           U(dir / "a" / "a2" / "deep"), U(dir / "b"), U(dir / "b" / "b1"),
                                           U(dir / "c")};
  EXPECT_EQ(got, want);
  EXPECT_EQ(ListOfSubFolders(U(dir), false)->Count(), 1);
  auto none = ListOfSubFolders(U(dir / "b" / "b1"), true);
  ASSERT_EQ(none->Count(), 1);
  EXPECT_EQ(none->Get(0), U(dir / "b" / "b1"));
}

TEST(LanguageStringlistTest, KeepsLanguageAndSavesUnicodeByDefault) {
  TLanguageStringlist list(0x0407);
  list.Add(u"Stra\u00DFe");
  EXPECT_EQ(list.Language, 0x0407u);
  EXPECT_TRUE(list.SaveUnicode);
  EXPECT_EQ(list.Count(), 1);
}

TEST_F(FolderTest, LittleDiskSpaceAsksAndFollowsTheAnswer) {
  EXPECT_FALSE(ProceedIfLittleDiskSpace(u"", 1));
  {
    TScriptedBoxes boxes(IDOK);
    EXPECT_TRUE(ProceedIfLittleDiskSpace(U(dir), 1));
    EXPECT_TRUE(ProceedIfLittleDiskSpace(U(dir / "no" / "such"), INT64_MAX));  // query fails: proceed
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_TRUE(ProceedIfLittleDiskSpace(U(dir), INT64_MAX));
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0].substr(0, 5), u"Only ");
    EXPECT_NE(boxes.texts[0].find(u"Mb space left on " + U(dir) + u" -- Proceed?"), UnicodeString::npos);
    EXPECT_EQ(boxes.caption, u"Confirmation");
    EXPECT_EQ(boxes.flags & MB_TYPEMASK, MB_OKCANCEL);
  }
  TScriptedBoxes boxes(IDCANCEL);
  EXPECT_FALSE(ProceedIfLittleDiskSpace(U(dir), INT64_MAX));
}

TEST_F(FolderTest, OverwriteQuestionMakesABackupOnYes) {
  EXPECT_TRUE(CheckedForOverWrite(U(dir / "new.txt")));
  Touch(dir / "old.txt", "keep me");
  {
    TScriptedBoxes boxes(IDNO);
    EXPECT_FALSE(CheckedForOverWrite(U(dir / "old.txt")));
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], u"Overwrite " + U(dir / "old.txt") + u" (with backup)?");
    EXPECT_FALSE(fs::exists(dir / "old.bak"));
  }
  Touch(dir / "old.bak", "stale");
  TScriptedBoxes boxes(IDYES);
  EXPECT_TRUE(CheckedForOverWrite(U(dir / "old.txt")));
  std::ifstream in(dir / "old.bak");
  std::string content;
  std::getline(in, content);
  EXPECT_EQ(content, "keep me");
}

TEST_F(FolderTest, OverwriteWithoutAHookIsRefused) {
  TMessageBoxHook saved = Global_MessageBoxHook;
  Global_MessageBoxHook = nullptr;
  Touch(dir / "old.txt");
  EXPECT_FALSE(CheckedForOverWrite(U(dir / "old.txt")));
  Global_MessageBoxHook = saved;
}

TEST_F(FolderTest, ForcedToBeNewFileNumbering) {
  const int32_t saved = GetBatchFileStartNumber();
  SetBatchFileStartNumberTo(-5);
  EXPECT_EQ(GetBatchFileStartNumber(), 0);

  UnicodeString name = U(dir / "fresh.txt");
  EXPECT_TRUE(ForcedToBeNewFile(name));
  EXPECT_EQ(name, U(dir / "fresh.txt"));

  Touch(dir / "report.txt");
  name = U(dir / "report.txt");
  EXPECT_TRUE(ForcedToBeNewFile(name));
  EXPECT_EQ(name, U(dir / "report_001.txt"));
  EXPECT_EQ(GetBatchFileStartNumber(), 1);

  SetBatchFileStartNumberTo(0);
  Touch(dir / "report_001.txt");
  name = U(dir / "report.txt");
  ForcedToBeNewFile(name);
  EXPECT_EQ(name, U(dir / "report_001_002.txt"));

  SetBatchFileStartNumberTo(999);  // the number keeps growing past three digits
  Touch(dir / "plain");
  name = U(dir / "plain");
  ForcedToBeNewFile(name);
  EXPECT_EQ(name, U(dir / "plain_1000"));
  SetBatchFileStartNumberTo(saved);
}

TEST(CompilationTest, DateOfTheRunningProgram) {
  const TDateTime dt = Compilation_DateTime();
  EXPECT_GT(dt, EncodeDate(2000, 1, 1));
  EXPECT_LE(dt, Now() + 1.0 / 24);
  EXPECT_EQ(Compilation_Year(), FormatDateTime(u"yyyy", dt));
  EXPECT_EQ(Compilation_Date(), DateToStr(dt, Global_UserDefaultFormatSettings));
  EXPECT_EQ(Compilation_DateAndTime().substr(0, Compilation_Date().size()), Compilation_Date());
}

TEST(ConstantsTest, UnitsAndLineBreak) {
  EXPECT_EQ(CRLF, u"\r\n");
  EXPECT_NEAR(mm_to_inch, 0.03937008f, 1e-7);
  EXPECT_FLOAT_EQ(inch_to_mm * mm_to_inch, 1.0f);
}

}  // namespace
}  // namespace kx8
