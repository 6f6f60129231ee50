// The images-folder decisions: settings folder, command-line folder, the once-only
// warnings #810 and #812, the end on #811, and the log folder.
#include <gtest/gtest.h>

#include "settings/KvMemoryProfile.h"
#include "settings/KvParameters.h"
#include "tests/host/settings/fake_system.h"

namespace {

const wchar_t kIni[] = L"C:\\users\\doc\\AppData\\Local\\Orvaq\\Orvaq.INI";
const wchar_t kTxt[] = L"C:\\Program Files\\Orvaq\\Orvaq.TXT";
const wchar_t kDefault[] = L"C:\\users\\Public\\Documents\\Orvaq";

struct Fixture {
  FakeSystem sys;
  CKvMemoryProfile profile;
  CKvParameters params{profile, sys};
  Fixture() {
    profile.LoadText(kTxt, L"[409]\n1000=Orvaq\n810=Folder %s unusable, using %s\n"
                           L"811=No writable folder %s\n812=Folder %s not writable, using %s\n");
    params.SetLanguage(L"409");
  }
};

TEST(ImagesFolder, SettingsFolderIsCreatedAndTested) {
  Fixture f;
  EXPECT_EQ(std::wstring(kDefault) + L"\\", f.params.GetImagesPath());
  EXPECT_TRUE(f.sys.FileExists(std::wstring(kDefault) + L"\\test.fil"));
  EXPECT_TRUE(f.sys.boxes.empty());
}

TEST(ImagesFolder, SettingsValueGetsATrailingBackslash) {
  Fixture f;
  const std::wstring v = L"D:\\Radios";
  f.profile.WriteString(kIni, L"SENSOR", L"ImagesPath", &v);
  EXPECT_EQ(L"D:\\Radios\\", f.params.GetImagesPath());
  EXPECT_TRUE(f.sys.DirectoryExists(L"D:\\Radios"));
  f.params.SetImagesPath(L"E:\\Autre");
  EXPECT_EQ(L"E:\\Autre\\", f.params.GetImagesPath());
  EXPECT_EQ(L"E:\\Autre", f.profile.ReadString(kIni, L"SENSOR", L"ImagesPath", L"", 256));
}

TEST(ImagesFolder, CommandLineFolderDecisions) {
  struct Row {
    bool exists, creatable, writable;
    const wchar_t* expected;
    std::vector<const wchar_t*> boxes;
  };
  const std::wstring cmd = L"F:\\Patients\\42";
  const Row rows[] = {
      {true, true, true, L"F:\\Patients\\42", {}},
      {false, true, true, L"F:\\Patients\\42", {}},
      {false, false, true, kDefault, {L"Folder F:\\Patients\\42 unusable, using C:\\users\\Public\\Documents\\Orvaq"}},
      {true, true, false, kDefault, {L"Folder F:\\Patients\\42 not writable, using C:\\users\\Public\\Documents\\Orvaq"}},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    Fixture f;
    f.params.m_sCmdImagePath = cmd;
    if (rows[i].exists) f.sys.folders.insert(FakeSystem::Key(cmd));
    if (!rows[i].creatable) f.sys.uncreatable.insert(FakeSystem::Key(cmd));
    if (!rows[i].writable) f.sys.unwritable.insert(FakeSystem::Key(cmd));
    EXPECT_EQ(rows[i].expected, f.params.GetImagesPath()) << "row " << i;
    ASSERT_EQ(rows[i].boxes.size(), f.sys.boxes.size()) << "row " << i;
    for (size_t b = 0; b < rows[i].boxes.size(); ++b) {
      EXPECT_EQ(rows[i].boxes[b], f.sys.boxes[b].text) << "row " << i;
      EXPECT_EQ(L"Orvaq", f.sys.boxes[b].caption) << "row " << i;
      EXPECT_EQ(orvaq::mb::kIconWarning, f.sys.boxes[b].style) << "row " << i;
    }
    // a second use in the same run warns no more and gives the same folder
    EXPECT_EQ(rows[i].expected, f.params.GetImagesPath()) << "row " << i;
    EXPECT_EQ(rows[i].boxes.size(), f.sys.boxes.size()) << "row " << i;
  }
}

TEST(ImagesFolder, ImagePathOptionShowsTheWarningAgain) {
  Fixture f;
  f.params.m_sCmdImagePath = L"Q:\\x";
  f.sys.uncreatable.insert(L"Q:\\X");
  f.params.GetImagesPath();
  f.params.m_bImagesFolderWarned = false;  // what /image_path does
  f.params.GetImagesPath();
  EXPECT_EQ(2u, f.sys.boxes.size());
}

TEST(ImagesFolder, UnwritableDefaultEndsWithExitCode1) {
  Fixture f;
  f.sys.unwritable.insert(FakeSystem::Key(kDefault));
  try {
    f.params.GetImagesPath();
    FAIL() << "no exit";
  } catch (const FakeExit& e) {
    EXPECT_EQ(1, e.code);
  }
  ASSERT_EQ(1u, f.sys.boxes.size());  // #811 only: the settings' folder is the default one
  EXPECT_EQ(L"No writable folder C:\\users\\Public\\Documents\\Orvaq\\", f.sys.boxes[0].text);
  EXPECT_EQ(orvaq::mb::kIconError, f.sys.boxes[0].style);
}

TEST(ImagesFolder, UnwritableCommandLineAndDefaultEndAfterTheWarning) {
  Fixture f;
  f.params.m_sCmdImagePath = L"F:\\ro";
  f.sys.folders.insert(L"F:\\RO");
  f.sys.unwritable.insert(L"F:\\RO");
  f.sys.unwritable.insert(FakeSystem::Key(kDefault));
  EXPECT_THROW(f.params.GetImagesPath(), FakeExit);
  ASSERT_EQ(2u, f.sys.boxes.size());
  EXPECT_EQ(L"Folder F:\\ro not writable, using C:\\users\\Public\\Documents\\Orvaq", f.sys.boxes[0].text);
  EXPECT_EQ(L"No writable folder C:\\users\\Public\\Documents\\Orvaq", f.sys.boxes[1].text);
}

TEST(ImagesFolder, DefaultWithoutCommonDocumentsIsTheSettingsFolder) {
  Fixture f;
  f.sys.hasCommonDocuments = false;
  EXPECT_EQ(L"C:\\users\\doc\\AppData\\Local\\Orvaq\\", f.params.GetDefaultImagesFolder());
}

TEST(LogFolder, InLocalAppDataOrElseInTheImagesFolder) {
  Fixture f;
  EXPECT_EQ(L"C:\\users\\doc\\AppData\\Local\\Logs KVW", f.params.GetLogFolder());
  EXPECT_TRUE(f.sys.DirectoryExists(L"C:\\users\\doc\\AppData\\Local\\Logs KVW"));
  Fixture g;
  g.sys.hasLocalAppData = false;
  EXPECT_EQ(L"C:\\users\\Public\\Documents\\Orvaq\\Logs KVW", g.params.GetLogFolder());
}

}  // namespace
