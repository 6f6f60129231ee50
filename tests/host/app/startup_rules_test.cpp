// Start-up thresholds at their exact boundaries, version text, error-list choice, the
// logger chosen for a run and the log restart after "read_ok".
#include <gtest/gtest.h>

#include <set>

#include "app/StartupRules.h"
#include "settings/KvMemoryProfile.h"
#include "settings/KvParameters.h"
#include "tests/support/memory_logger.h"
#include "tests/host/settings/fake_system.h"

namespace {

const wchar_t kIni[] = L"C:\\users\\doc\\AppData\\Local\\Orvaq\\Orvaq.INI";
const wchar_t kTxt[] = L"C:\\Program Files\\Orvaq\\Orvaq.TXT";

TEST(StartupRules, UptimeBoundaries) {
  struct Row { uint32_t ticks; UptimeVerdict expected; };
  const Row rows[] = {
      {0, UptimeVerdict::kSilent},
      {2678400000u, UptimeVerdict::kSilent},
      {2678400001u, UptimeVerdict::kAdviseRestart},
      {3888000000u, UptimeVerdict::kAdviseRestart},
      {3888000001u, UptimeVerdict::kRefuse},
      {4294967295u, UptimeVerdict::kRefuse},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i)
    EXPECT_EQ(rows[i].expected, JudgeUptime(rows[i].ticks)) << "row " << i;
}

TEST(StartupRules, DiskSpaceFloor) {
  struct Row { uint64_t freeBytes, total; bool ok; };
  const Row rows[] = {
      {1000, 100000, true}, {999, 100000, false}, {1000, 100099, true}, {0, 99, true},
      {0, 100, false}, {5000000000ull, 500000000000ull, true}, {4999999999ull, 500000000000ull, false},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i)
    EXPECT_EQ(rows[i].ok, HasEnoughImageSpace(rows[i].freeBytes, rows[i].total)) << "row " << i;
}

TEST(StartupRules, VersionText) { EXPECT_EQ(L" [3.1.207]", FormatVersionText(3, 1, 207)); }

TEST(StartupRules, ErrorListChoice) {
  struct Row { const wchar_t* language; std::set<std::wstring> present; const wchar_t* expected; };
  const Row rows[] = {
      {L"40C", {L"D:\\p\\Orvaqerr.40C", L"D:\\p\\Orvaqerr.409"}, L"D:\\p\\Orvaqerr.40C"},
      {L"40C", {L"D:\\p\\Orvaqerr.409"}, L"D:\\p\\Orvaqerr.409"},
      {L"407", {L"D:\\p\\Orvaqerr.40C"}, L"D:\\p\\Orvaqerr.40C"},
      {L"407", {}, L""},
      {L"40c", {L"D:\\p\\Orvaqerr.40C"}, L"D:\\p\\Orvaqerr.40C"},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i)
    EXPECT_EQ(rows[i].expected, ChooseErrorListPath(L"D:\\p", rows[i].language, [&](const std::wstring& p) {
                return rows[i].present.count(p) != 0;
              })) << "row " << i;
}

class FakeFactory : public IKvLoggerFactory {
 public:
  std::vector<std::string> lines;
  std::vector<std::wstring> filePaths;
  bool fileFails = false;
  KvLogger* CreateDebugLogger() override { return new testsupport::MemoryLogger(&lines, "debug:"); }
  KvLogger* CreateMsgBoxLogger() override { return new testsupport::MemoryLogger(&lines, "box:"); }
  KvLogger* CreateFileLogger(const std::wstring& path) override {
    filePaths.push_back(path);
    return fileFails ? nullptr
                     : new testsupport::MemoryLogger(&lines, "file" + std::to_string(filePaths.size()) + ":");
  }
};

struct Fixture {
  FakeSystem sys;
  CKvMemoryProfile profile;
  CKvParameters params{profile, sys};
  FakeFactory factory;
  Fixture() { profile.LoadText(kTxt, L"[409]\n1000=Orvaq\n"); }
  void SetType(const wchar_t* v) {
    const std::wstring t = v;
    profile.WriteString(kIni, L"DEBUG", L"LoggerType", &t);
  }
};

TEST(StartupLogger, ChosenByLoggerType) {
  struct Row { const wchar_t* type; bool second; std::string expectedKind; };
  const Row rows[] = {
      {nullptr, false, "file1"}, {L"1", false, "debug"}, {L"2", false, "file1"}, {L"3", false, "box"},
      {L"0", false, ""}, {L"7", false, ""}, {L"2", true, ""}, {L"3", true, ""},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    Fixture f;
    if (rows[i].type) f.SetType(rows[i].type);
    ReplaceCurrentLogger(CreateStartupLogger(f.params, rows[i].second, f.factory));
    LogLine("x");
    ReplaceCurrentLogger(nullptr);
    if (rows[i].expectedKind.empty())
      EXPECT_TRUE(f.factory.lines.empty()) << "row " << i;
    else
      EXPECT_EQ(std::vector<std::string>{rows[i].expectedKind + ":x"}, f.factory.lines) << "row " << i;
  }
}

TEST(StartupLogger, FileInTheLogFolderNamedAfterTheTitle) {
  Fixture f;
  delete CreateStartupLogger(f.params, false, f.factory);
  ASSERT_EQ(1u, f.factory.filePaths.size());
  EXPECT_EQ(L"C:\\users\\doc\\AppData\\Local\\Logs KVW\\Orvaq.txt", f.factory.filePaths[0]);
}

TEST(StartupLogger, UnusableFileGivesTheNullLogger) {
  Fixture f;
  f.factory.fileFails = true;
  KvLogger* logger = CreateStartupLogger(f.params, false, f.factory);
  ASSERT_NE(nullptr, logger);
  logger->Write("x");
  delete logger;
  EXPECT_TRUE(f.factory.lines.empty());
}

TEST(StartupLogger, ReadOkRestartsTheFileLoggerOnly) {
  Fixture f;
  ReplaceCurrentLogger(CreateStartupLogger(f.params, false, f.factory));
  RestartLogAfterReadOk(f.params, f.factory);
  LogLine("suite");
  EXPECT_EQ((std::vector<std::string>{"file2:Reset du log suite \xE0 un read_ok.", "file2:suite"}),
            f.factory.lines);
  EXPECT_EQ(f.factory.filePaths[0], f.factory.filePaths[1]);
  Fixture g;
  g.SetType(L"1");
  ReplaceCurrentLogger(CreateStartupLogger(g.params, false, g.factory));
  RestartLogAfterReadOk(g.params, g.factory);
  ReplaceCurrentLogger(nullptr);
  EXPECT_TRUE(g.factory.lines.empty());
  EXPECT_TRUE(g.factory.filePaths.empty());
}

}  // namespace
