// Every key of the settings file at its default, at its limits and just outside them,
// and the settings-file location, creation and migration.
#include <gtest/gtest.h>

#include <functional>

#include "settings/KvMemoryProfile.h"
#include "settings/KvParameters.h"
#include "tests/host/settings/fake_system.h"

namespace {

const wchar_t kIni[] = L"C:\\users\\doc\\AppData\\Local\\Orvaq\\Orvaq.INI";

struct Fixture {
  FakeSystem sys;
  CKvMemoryProfile profile;
  CKvParameters params{profile, sys};
  void Set(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    const std::wstring v = value;
    profile.WriteString(kIni, section, key, &v);
  }
};

using Reader = std::function<double(CKvParameters&)>;

struct KeyRow {
  const wchar_t* section;
  const wchar_t* key;
  const wchar_t* stored;  // null: the key is absent
  Reader read;
  double expected;
};

#define INT_READER(fn) [](CKvParameters& p) { return static_cast<double>(p.fn()); }

TEST(KeyTable, DefaultsAndLimits) {
  const KeyRow rows[] = {
      {L"DEBUG", L"LoggerType", nullptr, INT_READER(GetLoggerType), 2},
      {L"DEBUG", L"LoggerType", L"7", INT_READER(GetLoggerType), 7},
      {L"SENSOR", L"AcqWay", nullptr, INT_READER(GetAcqWay), 0},
      {L"SENSOR", L"AcqWay", L"3", INT_READER(GetAcqWay), 3},
      {L"SENSOR", L"AcqGamma", nullptr, INT_READER(GetAcqGamma), 0},
      {L"SENSOR", L"AcqLuminosity", L"-40", INT_READER(GetAcqLuminosity), -40},
      {L"SENSOR", L"AcqContrast", nullptr, INT_READER(GetAcqContrast), 0},
      {L"SENSOR", L"AcqFilter", L"300", INT_READER(GetAcqFilter), 300},
      {L"SENSOR", L"AcqFilterLevel", nullptr, INT_READER(GetAcqFilterLevel), 0},
      {L"SENSOR", L"ShowImagePreview", nullptr, INT_READER(GetShowImagePreview), 0},
      {L"SENSOR", L"ShowImagePreview", L"5", INT_READER(GetShowImagePreview), 1},
      {L"TWAIN", L"AcqMultiImages", nullptr, INT_READER(GetAcqMultiImages), 0},
      {L"TWAIN", L"AdvancedDenoising", nullptr, INT_READER(GetAdvancedDenoising), 0},
      {L"SENSOR", L"LUMEQ2Color", nullptr, INT_READER(GetLUMEQ2Color), 0},
      {L"SENSOR", L"LUMEQ2Color", L"0", INT_READER(GetLUMEQ2Color), 0},
      {L"SENSOR", L"LUMEQ2Color", L"15", INT_READER(GetLUMEQ2Color), 15},
      {L"SENSOR", L"LUMEQ2Color", L"16", INT_READER(GetLUMEQ2Color), 0},
      {L"SENSOR", L"LUMEQ2Color", L"-1", INT_READER(GetLUMEQ2Color), 0},
      {L"SENSOR", L"StationNumber", nullptr, INT_READER(GetStationNumber), 0},
      {L"SENSOR", L"StationNumber", L"10", INT_READER(GetStationNumber), 10},
      {L"SENSOR", L"StationNumber", L"11", INT_READER(GetStationNumber), 0},
      {L"SENSOR", L"StationNumber", L"-1", INT_READER(GetStationNumber), 0},
      {L"SENSOR", L"ReservationDuration", nullptr, INT_READER(GetReservationDuration), 0},
      {L"SENSOR", L"ReservationDuration", L"999", INT_READER(GetReservationDuration), 999},
      {L"SENSOR", L"ReservationDuration", L"1000", INT_READER(GetReservationDuration), 999},
      {L"SENSOR", L"ReservationDuration", L"-1", INT_READER(GetReservationDuration), 0},
      {L"COMM", L"HTTPTimeOut", nullptr, INT_READER(GetHTTPTimeOut), 1500},
      {L"COMM", L"HTTPTimeOut", L"-5", INT_READER(GetHTTPTimeOut), -5},
      {L"SENSOR", L"LUMEQ2Simulated", nullptr, INT_READER(GetLUMEQ2Simulated), 0},
      {L"SENSOR", L"LUMEQ2Simulated", L"1", INT_READER(GetLUMEQ2Simulated), 1},
      {L"SENSOR", L"AcquisitionQuality", nullptr, INT_READER(GetAcquisitionQuality), 0},
      {L"SENSOR", L"AcquisitionQuality", L"-3", INT_READER(GetAcquisitionQuality), 0},
      {L"SENSOR", L"AcquisitionQuality", L"1", INT_READER(GetAcquisitionQuality), 1},
      {L"SENSOR", L"AcquisitionQuality", L"2", INT_READER(GetAcquisitionQuality), 2},
      {L"SENSOR", L"AcquisitionQuality", L"3", INT_READER(GetAcquisitionQuality), 2},
      {L"SENSOR", L"AcquisitionQuality", L"5", INT_READER(GetAcquisitionQuality), 2},
      {L"SENSOR", L"AcquisitionQuality", L"9", INT_READER(GetAcquisitionQuality), 2},
      {L"SENSOR", L"AcquisitionQuality", L"10", INT_READER(GetAcquisitionQuality), 10},
      {L"SENSOR", L"AcquisitionQuality", L"12", INT_READER(GetAcquisitionQuality), 10},
      {L"SENSOR", L"DelayT4", nullptr, INT_READER(GetDelayT4), 10},
      {L"SENSOR", L"DelayT4", L"300", INT_READER(GetDelayT4), 300},
      {L"SENSOR", L"DelayT4", L"301", INT_READER(GetDelayT4), 300},
      {L"SENSOR", L"DelayT4", L"-1", INT_READER(GetDelayT4), 0},
      {L"SENSOR", L"ValeurEtirement", nullptr, INT_READER(GetValeurEtirement), 57000},
      {L"SENSOR", L"HorizontalCorrection", nullptr, INT_READER(GetHorizontalCorrection), 1},
      {L"SENSOR", L"HorizontalCorrection", L"0", INT_READER(GetHorizontalCorrection), 0},
      {L"SENSOR", L"HorizontalCorrectionType", nullptr, INT_READER(GetHorizontalCorrectionType), 0},
      {L"SENSOR", L"HorizontalCorrectionType", L"65537", INT_READER(GetHorizontalCorrectionType), 1},
      {L"SENSOR", L"HorizontalCorrectionType", L"65535", INT_READER(GetHorizontalCorrectionType), -1},
      {L"SENSOR", L"HorizontalCorrectionFactor", nullptr, INT_READER(GetHorizontalCorrectionFactor), 0},
      {L"SENSOR", L"HorizontalCorrectionFactor", L"2.5", INT_READER(GetHorizontalCorrectionFactor), 2.5},
      {L"SENSOR", L"HorizontalCorrectionFactor", L"1000", INT_READER(GetHorizontalCorrectionFactor), 1000},
      {L"SENSOR", L"HorizontalCorrectionFactor", L"1000.5", INT_READER(GetHorizontalCorrectionFactor), 0},
      {L"SENSOR", L"HorizontalCorrectionFactor", L"-0.5", INT_READER(GetHorizontalCorrectionFactor), 0},
      {L"SENSOR", L"HorizontalCorrectionFactor", L"abc", INT_READER(GetHorizontalCorrectionFactor), 0},
      {L"SENSOR", L"HorizontalCorrectionFactor", L"1e999", INT_READER(GetHorizontalCorrectionFactor), 1},
      {L"SENSOR", L"HorizontalEpsilonCorrection", nullptr, INT_READER(GetHorizontalEpsilonCorrection), 0.1},
      {L"SENSOR", L"HorizontalEpsilonCorrection", L"", INT_READER(GetHorizontalEpsilonCorrection), 0},
      {L"SENSOR", L"HorizontalEpsilonCorrection", L"0.25", INT_READER(GetHorizontalEpsilonCorrection), 0.25},
      {L"SENSOR", L"HorizontalEpsilonCorrection", L"-1", INT_READER(GetHorizontalEpsilonCorrection), 0},
      {L"SENSOR", L"HorizontalOffsetCorrection", nullptr, INT_READER(GetHorizontalOffsetCorrection), 0},
      {L"SENSOR", L"HorizontalOffsetCorrection", L"-12", INT_READER(GetHorizontalOffsetCorrection), -12},
      {L"SENSOR", L"StoreIntermediateImages", nullptr, INT_READER(GetStoreIntermediateImages), 0},
      {L"SENSOR", L"IgnoreMire", nullptr, INT_READER(GetIgnoreMire), 0},  // language 40C
      {L"SENSOR", L"IgnoreMire", L"1", INT_READER(GetIgnoreMire), 1},
      {L"SENSOR", L"DemoMode", nullptr, INT_READER(GetDemoMode), 0},
      {L"SENSOR", L"AcquisitionUseT4", nullptr, INT_READER(GetAcquisitionUseT4), 0},
      {L"SENSOR", L"AcquisitionUseT4", L"2", INT_READER(GetAcquisitionUseT4), 2},
      {L"SENSOR", L"AcquisitionUseT4", L"3", INT_READER(GetAcquisitionUseT4), 2},
      {L"SENSOR", L"AcquisitionUseT4", L"-1", INT_READER(GetAcquisitionUseT4), 0},
      {L"_TEST_", L"BatchLastImage", nullptr, INT_READER(GetBatchLastImage), 1},
      {L"_TEST_", L"BatchLastImage", L"0", INT_READER(GetBatchLastImage), 1},
      {L"_TEST_", L"BatchLastImage", L"1", INT_READER(GetBatchLastImage), 1},
      {L"_TEST_", L"BatchLastImage", L"999", INT_READER(GetBatchLastImage), 999},
      {L"_TEST_", L"BatchLastImage", L"1000", INT_READER(GetBatchLastImage), 999},
      {L"_TEST_", L"BatchLastImage", L"5000", INT_READER(GetBatchLastImage), 999},
      {L"SENSOR", L"StationNumber", L"12abc", INT_READER(GetStationNumber), 0},
      {L"SENSOR", L"StationNumber", L"7abc", INT_READER(GetStationNumber), 7},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    Fixture f;
    if (rows[i].stored) f.Set(rows[i].section, rows[i].key, rows[i].stored);
    EXPECT_DOUBLE_EQ(rows[i].expected, rows[i].read(f.params))
        << "row " << i << " " << orvaq::ToUtf8(rows[i].key);
  }
}

TEST(KeyTable, StringKeysAndTheirDefaults) {
  Fixture f;
  EXPECT_EQ(L"", f.params.GetStoredCommandLine());
  EXPECT_EQ(L"lumeq2", f.params.GetLUMEQ2Name());
  EXPECT_EQ(L"", f.params.GetLUMEQ2FiltreSerial());
  EXPECT_EQ(L"", f.params.GetLUMEQ2Serial());
  EXPECT_EQ(L"", f.params.GetAdapterName());
  EXPECT_EQ(L"", f.params.GetAdapterIPAddress());
  EXPECT_EQ(L"RECEPTION-PC", f.params.GetStationName());  // empty: the computer's name
  f.params.SetStationName(L"Salle 2");
  EXPECT_EQ(L"Salle 2", f.params.GetStationName());
  const std::wstring huge(5000, L'\x3A9');  // huge value outside Latin-1
  f.Set(L"SENSOR", L"LUMEQ2Serial", huge.c_str());
  EXPECT_EQ(huge, f.params.GetLUMEQ2Serial());
}

TEST(KeyTable, ComputerNameIsCutTo256) {
  Fixture f;
  f.sys.computerName = std::wstring(300, L'N');
  EXPECT_EQ(256u, f.params.GetStationName().size());
}

TEST(KeyTable, CrossKeyRules) {
  Fixture f;
  f.Set(L"SENSOR", L"AcquisitionUseT4", L"1");
  f.Set(L"TWAIN", L"AcqMultiImages", L"1");
  EXPECT_EQ(0, f.params.GetAcquisitionUseT4());   // multi-image mode wins
  EXPECT_FALSE(f.params.IsMultiImageMode());      // only with /twain
  f.params.m_bTwain = true;
  EXPECT_TRUE(f.params.IsMultiImageMode());
  f.Set(L"SENSOR", L"AcquisitionQuality", L"10");
  EXPECT_EQ(0, f.params.GetAcquisitionQuality());
  f.Set(L"SENSOR", L"IgnoreMire", L"0");
  EXPECT_TRUE(f.params.GetIgnoreMire());
}

TEST(KeyTable, IgnoreMireDefaultFollowsTheLanguage) {
  Fixture f;
  f.params.SetLanguage(L"407");
  EXPECT_TRUE(f.params.GetIgnoreMire());
  f.params.SetLanguage(L"40C");
  EXPECT_FALSE(f.params.GetIgnoreMire());
}

TEST(KeyTable, WritersApplyTheirLimits) {
  struct Row { std::function<void(CKvParameters&)> write; const wchar_t* section; const wchar_t* key; int stored; };
  const Row rows[] = {
      {[](CKvParameters& p) { p.SetStationNumber(11); }, L"SENSOR", L"StationNumber", 0},
      {[](CKvParameters& p) { p.SetStationNumber(10); }, L"SENSOR", L"StationNumber", 10},
      {[](CKvParameters& p) { p.SetReservationDuration(1200); }, L"SENSOR", L"ReservationDuration", 999},
      {[](CKvParameters& p) { p.SetDelayT4(-4); }, L"SENSOR", L"DelayT4", 0},
      {[](CKvParameters& p) { p.SetAcquisitionUseT4(7); }, L"SENSOR", L"AcquisitionUseT4", 2},
      {[](CKvParameters& p) { p.SetAcquisitionQuality(6); }, L"SENSOR", L"AcquisitionQuality", 2},
      {[](CKvParameters& p) { p.m_bTwain = true; p.SetAcquisitionQuality(10); }, L"SENSOR", L"AcquisitionQuality", 0},
      {[](CKvParameters& p) { p.SetAcqWay(3); }, L"SENSOR", L"AcqWay", 3},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    Fixture f;
    rows[i].write(f.params);
    EXPECT_EQ(rows[i].stored, f.profile.ReadInt(kIni, rows[i].section, rows[i].key, -999)) << "row " << i;
  }
}

TEST(KeyTable, StoredCommandLineIsFlushedAndDeleted) {
  Fixture f;
  f.params.SetStoredCommandLine(L"/doctor \"Dr Who\"");
  EXPECT_EQ(1, f.profile.FlushCount());
  EXPECT_EQ(L"/doctor \"Dr Who\"", f.params.GetStoredCommandLine());
  f.params.DeleteStoredCommandLine();
  EXPECT_EQ(2, f.profile.FlushCount());
  EXPECT_FALSE(f.profile.HasKey(kIni, L"KVW", L"CommandLine"));
  f.Set(L"KVW", L"RestartingLine", L"x");
  f.params.RemoveRestartingLine();
  EXPECT_FALSE(f.profile.HasKey(kIni, L"KVW", L"RestartingLine"));
}

TEST(KeyTable, WindowPlacementRoundTripAndLengthCheck) {
  Fixture f;
  EXPECT_EQ(0, f.params.ReadWindowPlacement().length);
  KvWindowPlacement p;
  p.length = 44; p.showCmd = 1; p.rcNormalPositionLeft = 10; p.rcNormalPositionTop = 20;
  p.rcNormalPositionRight = 250; p.rcNormalPositionBottom = 110; p.ptMinPositionX = -1;
  f.params.WriteWindowPlacement(p);
  const std::wstring text = f.profile.ToText(kIni);
  EXPECT_NE(std::wstring::npos, text.find(
      L"[WPlacement-CONTROL]\r\nlength=44\r\nflags=0\r\nshowCmd=1\r\nptMinPosition.x=-1\r\n"
      L"ptMinPosition.y=0\r\nptMaxPosition.x=0\r\nptMaxPosition.y=0\r\nrcNormalPosition.top=20\r\n"
      L"rcNormalPosition.left=10\r\nrcNormalPosition.bottom=110\r\nrcNormalPosition.right=250\r\n"));
  const KvWindowPlacement back = f.params.ReadWindowPlacement();
  EXPECT_EQ(44, back.length);
  EXPECT_EQ(250, back.rcNormalPositionRight);
  EXPECT_EQ(-1, back.ptMinPositionX);
  f.Set(L"WPlacement-CONTROL", L"length", L"40");
  const KvWindowPlacement bad = f.params.ReadWindowPlacement();
  EXPECT_EQ(0, bad.length);
  EXPECT_EQ(0, bad.rcNormalPositionRight);
}

TEST(SettingsFile, FirstStartCreatesTheUnicodeFile) {
  Fixture f;
  EXPECT_EQ(kIni, f.params.GetSettingsFilePath());
  EXPECT_TRUE(f.sys.DirectoryExists(L"C:\\users\\doc\\AppData\\Local\\Orvaq"));
  EXPECT_EQ(std::string("\xFF\xFE\x0D\x00\x0A\x00", 6), f.sys.fileBytes[FakeSystem::Key(kIni)]);
  EXPECT_TRUE(f.sys.moves.empty());
}

TEST(SettingsFile, FileBesideTheProgramIsMoved) {
  Fixture f;
  f.sys.files.insert(FakeSystem::Key(L"C:\\Program Files\\Orvaq\\Orvaq.INI"));
  EXPECT_EQ(kIni, f.params.GetSettingsFilePath());
  ASSERT_EQ(1u, f.sys.moves.size());
  EXPECT_EQ(L"C:\\Program Files\\Orvaq\\Orvaq.INI", f.sys.moves[0].first);
  EXPECT_FALSE(f.sys.FileExists(L"C:\\Program Files\\Orvaq\\Orvaq.INI"));
  EXPECT_TRUE(f.sys.fileBytes.empty());  // moved, not created
}

TEST(SettingsFile, ExistingFileIsKeptAndPathCached) {
  Fixture f;
  f.sys.files.insert(FakeSystem::Key(kIni));
  f.sys.files.insert(FakeSystem::Key(L"C:\\Program Files\\Orvaq\\Orvaq.INI"));
  EXPECT_EQ(kIni, f.params.GetSettingsFilePath());
  EXPECT_TRUE(f.sys.moves.empty());
  f.sys.localAppData = L"D:\\elsewhere";
  EXPECT_EQ(kIni, f.params.GetSettingsFilePath());
}

TEST(SettingsFile, NamedAfterTheProgramAndBesideItWithoutAppData) {
  Fixture f;
  f.sys.programPath = L"Z:\\tmp\\prog.dir\\OrvaqT1.exe";
  f.sys.hasLocalAppData = false;
  EXPECT_EQ(L"Z:\\tmp\\prog.dir\\OrvaqT1.INI", f.params.GetSettingsFilePath());
  EXPECT_EQ(L"Z:\\tmp\\prog.dir\\OrvaqT1.TXT", f.params.GetTextFilePath());
}

TEST(SettingsFile, UncreatableFolderReadsDefaults) {
  Fixture f;
  f.sys.uncreatable.insert(FakeSystem::Key(L"C:\\users\\doc\\AppData\\Local\\Orvaq"));
  f.profile.SetReadOnly(true);  // what the profile functions do without the folder
  f.params.SetAcqWay(2);
  EXPECT_EQ(0, f.params.GetAcqWay());
  EXPECT_EQ(2, f.params.GetLoggerType());
}

}  // namespace
