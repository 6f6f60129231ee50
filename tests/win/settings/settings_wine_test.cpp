// The settings store on the real profile functions: the 6-byte Unicode file in the
// per-user folder, migration, the integer and string rules on UTF-16 files, texts
// from the shipped text file, and the adapter list.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "win_test_support.h"
#include "common/Text.h"
#include "settings/KvAdapters.h"
#include "settings/KvParameters.h"
#include "settings/win/KvAdaptersWin.h"
#include "settings/win/KvProfileWin.h"
#include "settings/win/KvSystemWin.h"

namespace {

// The real system services, except that the program is a named file in a test folder
// and message boxes are recorded instead of shown.
class TestSystem : public CKvSystemWin {
 public:
  explicit TestSystem(const std::wstring& name) : m_sName(name) {
    m_sFolder = wintest::WinePath(ORVAQ_BINARY_DIR) + L"\\tests\\win\\settings\\prog";
    CreateDirectoryW((wintest::WinePath(ORVAQ_BINARY_DIR) + L"\\tests\\win\\settings").c_str(), nullptr);
    CreateDirectoryW(m_sFolder.c_str(), nullptr);
    DeleteFileW(SettingsFile().c_str());
    RemoveDirectoryW(SettingsFolder().c_str());
    DeleteFileW(BesideProgram().c_str());
  }
  std::wstring GetProgramPath() override { return m_sFolder + L"\\" + m_sName + L".exe"; }
  int ShowMessageBox(const std::wstring& text, const std::wstring&, unsigned) override {
    boxes.push_back(text);
    return IDOK;
  }
  void ExitProcessNow(int code) override { throw code; }
  // The shipped texts under this program's name.
  void CopyTexts() {
    const std::wstring test = GetModulePath(nullptr);
    CopyFileW((test.substr(0, test.find_last_of(L'\\')) + L"\\Orvaq.TXT").c_str(),
              (m_sFolder + L"\\" + m_sName + L".TXT").c_str(), FALSE);
  }
  std::wstring SettingsFolder() const { return wintest::LocalAppData() + L"\\" + m_sName; }
  std::wstring SettingsFile() const { return SettingsFolder() + L"\\" + m_sName + L".INI"; }
  std::wstring BesideProgram() const { return m_sFolder + L"\\" + m_sName + L".INI"; }
  std::vector<std::wstring> boxes;

 private:
  std::wstring m_sName, m_sFolder;
};

TEST(SettingsWine, FirstUseCreatesTheSixByteUnicodeFile) {
  TestSystem system(L"SetFirst");
  CKvProfileWin profile;
  CKvParameters params(profile, system);
  EXPECT_EQ(system.SettingsFile(), params.GetSettingsFilePath());
  EXPECT_EQ(std::string("\xFF\xFE\x0D\x00\x0A\x00", 6), wintest::ReadFileText(system.SettingsFile()));
  const std::wstring name = L"Cabinet \x3A9 r\xE9" L"ception";
  params.SetStationName(name);
  const std::string bytes = wintest::ReadFileText(system.SettingsFile());
  EXPECT_EQ(std::string("\xFF\xFE", 2), bytes.substr(0, 2));
  EXPECT_NE(std::string::npos, bytes.find(orvaq::ToUtf16Le(name)));
  EXPECT_EQ(name, params.GetStationName());
}

TEST(SettingsWine, FileBesideTheProgramIsMoved) {
  TestSystem system(L"SetMigrate");
  wintest::WriteFileText(system.BesideProgram(), "[SENSOR]\r\nDelayT4=42\r\n");
  CKvProfileWin profile;
  CKvParameters params(profile, system);
  EXPECT_EQ(42, params.GetDelayT4());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(system.BesideProgram().c_str()));
  EXPECT_EQ("[SENSOR]\r\nDelayT4=42\r\n", wintest::ReadFileText(system.SettingsFile()));
}

TEST(SettingsWine, ValuesReadByTheWindowsRules) {
  TestSystem system(L"SetRules");
  CKvProfileWin profile;
  CKvParameters params(profile, system);
  const std::wstring file = params.GetSettingsFilePath();
  struct Row { const wchar_t* stored; int expected; };
  const Row rows[] = {{L"-3", -3}, {L"12abc", 12}, {L"4294967295", -1}, {L"3000000000", -1294967296},
                      {L"0x10", 16}, {L"+7", 7}, {L"", 99}};
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    const std::wstring v = rows[i].stored;
    ASSERT_TRUE(profile.WriteString(file, L"T", L"K", &v)) << "row " << i;
    EXPECT_EQ(rows[i].expected, profile.ReadInt(file, L"T", L"K", 99)) << "row " << i;
  }
  EXPECT_EQ(L"", ReadProfileString(profile, file, L"T", L"K", L"def"));  // present but empty
  const std::wstring longValue(3000, L'\xE9');
  profile.WriteString(file, L"T", L"Long", &longValue);
  EXPECT_EQ(longValue, ReadProfileString(profile, file, L"T", L"Long", L""));
  EXPECT_EQ(std::wstring(9, L'\xE9'), profile.ReadString(file, L"T", L"Long", L"", 10));
  params.SetStoredCommandLine(L"/doctor x");
  EXPECT_EQ(L"/doctor x", params.GetStoredCommandLine());
  params.DeleteStoredCommandLine();
  EXPECT_EQ(std::string::npos, wintest::ReadFileText(file).find(orvaq::ToUtf16Le(L"CommandLine")));
  EXPECT_EQ(L"fallback", ReadProfileString(profile, file, L"KVW", L"CommandLine", L"fallback"));
}

TEST(SettingsWine, ImagesFolderFromTheCommandLineAndItsFallback) {
  TestSystem system(L"SetImages");
  CKvProfileWin profile;
  CKvParameters params(profile, system);
  const std::wstring folder = wintest::WinePath(ORVAQ_BINARY_DIR) + L"\\tests\\win\\settings\\images";
  RemoveDirectoryW(folder.c_str());
  params.m_sCmdImagePath = folder;
  EXPECT_EQ(folder, params.GetImagesPath());
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((folder + L"\\test.fil").c_str()));
  params.m_sCmdImagePath = L"Q:\\no\\such\\drive";
  const std::wstring fallback = params.GetImagesPath();
  wchar_t documents[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_COMMON_DOCUMENTS, nullptr, SHGFP_TYPE_CURRENT, documents);
  EXPECT_EQ(std::wstring(documents) + L"\\SetImages", fallback);
  EXPECT_EQ(1u, system.boxes.size());  // #810, once
  params.GetImagesPath();
  EXPECT_EQ(1u, system.boxes.size());
  EXPECT_EQ(wintest::LocalAppData() + L"\\Logs KVW", params.GetLogFolder());
}

// A folder named "test.fil" inside a folder makes its write test fail, whoever runs it.
void MakeUnwritable(const std::wstring& folder) {
  CreateDirectoryW(folder.c_str(), nullptr);
  DeleteFileW((folder + L"\\test.fil").c_str());
  CreateDirectoryW((folder + L"\\test.fil").c_str(), nullptr);
}

TEST(SettingsWine, UnwritableFoldersWarnOnceThenEndWithCode1) {
  TestSystem system(L"SetUnwritable");
  system.CopyTexts();
  CKvProfileWin profile;
  CKvParameters params(profile, system);
  params.SetLanguage(L"409");
  const std::wstring folder = wintest::WinePath(ORVAQ_BINARY_DIR) + L"\\tests\\win\\settings\\readonly";
  MakeUnwritable(folder);
  wchar_t documents[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_COMMON_DOCUMENTS, nullptr, SHGFP_TYPE_CURRENT, documents);
  const std::wstring defaultFolder = std::wstring(documents) + L"\\SetUnwritable";
  RemoveDirectoryW((defaultFolder + L"\\test.fil").c_str());
  params.m_sCmdImagePath = folder;
  EXPECT_EQ(defaultFolder, params.GetImagesPath());
  ASSERT_EQ(1u, system.boxes.size());  // #812 with both folders
  EXPECT_NE(std::wstring::npos, system.boxes[0].find(folder));
  EXPECT_NE(std::wstring::npos, system.boxes[0].find(defaultFolder));
  MakeUnwritable(defaultFolder);
  int code = 0;
  try {
    params.GetImagesPath();
  } catch (int c) {
    code = c;
  }
  EXPECT_EQ(1, code);
  ASSERT_EQ(2u, system.boxes.size());  // #812 not again; #811 with the default folder
  EXPECT_NE(std::wstring::npos, system.boxes[1].find(defaultFolder));
  RemoveDirectoryW((defaultFolder + L"\\test.fil").c_str());
}

TEST(SettingsWine, TextsFromTheShippedFile) {
  struct Row { const wchar_t* language; int id; const wchar_t* expected; };
  const Row rows[] = {
      {L"409", 1006, L"Close"}, {L"40C", 1006, L"Fermer"}, {L"407", 1006, L"Schlie\xDF" L"en"},
      {L"40C", 1100, L"Param\xE8tres d'Orvaq"}, {L"411", 1006, L"Close"}, {L"40C", 123456, L""},
  };
  // the shipped file sits beside the test program in the bin folder
  class BinSystem : public CKvSystemWin {
   public:
    std::wstring GetProgramPath() override {
      std::wstring p = CKvSystemWin::GetProgramPath();
      return p.substr(0, p.find_last_of(L'\\')) + L"\\Orvaq.exe";
    }
  } system;
  CKvProfileWin profile;
  CKvParameters params(profile, system);
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    params.SetLanguage(rows[i].language);
    EXPECT_EQ(rows[i].expected, params.GetText(rows[i].id)) << "row " << i;
  }
  params.SetLanguage(L"409");
  EXPECT_NE(std::wstring::npos, params.GetText(810).find(L"\n"));  // escapes replaced
}

TEST(SettingsWine, PendingPlatesFolderBesideTheSettingsAndItsListing) {
  TestSystem system(L"PendingProbe");
  CKvProfileWin profile;
  CKvParameters params(profile, system);
  const std::wstring folder = params.GetPendingPlatesFolder();
  EXPECT_EQ(folder, system.SettingsFolder() + L"\\Plaques en attente");
  ASSERT_TRUE(system.DirectoryExists(folder));
  for (const wchar_t* name : {L"A.PLQ", L"b.plq", L"C.PLQT", L"D.BIN"})
    ASSERT_TRUE(system.WriteNewFile(folder + L"\\" + name, "x"));
  std::vector<std::wstring> names;
  ASSERT_TRUE(system.ListFiles(folder, L".PLQ", names));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"A.PLQ", L"b.plq"}));  // never the temporary ".PLQT"
  EXPECT_TRUE(system.FlushFile(folder + L"\\D.BIN"));
  EXPECT_FALSE(system.FlushFile(folder + L"\\missing.BIN"));
  EXPECT_FALSE(system.ListFiles(folder + L"\\missing", L".PLQ", names));
  for (const wchar_t* name : {L"A.PLQ", L"b.plq", L"C.PLQT", L"D.BIN"}) DeleteFileW((folder + L"\\" + name).c_str());
}

TEST(SettingsWine, AdapterListKeepsOnlyEthernetAdaptersThatAreUp) {
  CKvAdaptersWin source;
  std::vector<KvAdapter> all;
  ASSERT_TRUE(source.EnumerateAdapters(all));
  for (const KvAdapter& a : UsableAdapters(all)) {
    EXPECT_EQ(1, a.operStatus);
    EXPECT_EQ(6u, a.interfaceType);
    std::wstring mac, addresses;
    EXPECT_TRUE(LookupAdapter(all, a.description, addresses, mac));
    if (!a.hardwareAddress.empty()) {
      EXPECT_EQ(a.hardwareAddress.size() * 3 - 1, mac.size());
    }
  }
  for (const KvAdapter& a : all)
    if (a.interfaceType == 24) {
      std::wstring mac, addresses;
      EXPECT_FALSE(LookupAdapter(all, a.description, addresses, mac));  // loopback is never offered
    }
}

}  // namespace
