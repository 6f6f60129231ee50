// The loggers on Windows: the file logger's text-mode lines (CR LF) and its restart
// past 5 MB counted in file bytes, a log file readable while it is written, and the
// message-box logger's box captioned "KVW".
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "win_test_support.h"
#include "common/Text.h"
#include "logging/KvLoggerFile.h"
#include "logging/win/KvLoggerWin.h"

namespace {

std::string LogPath(const char* name) {
  std::string folder = std::string("Z:") + ORVAQ_BINARY_DIR;
  for (char& c : folder)
    if (c == '/') c = '\\';
  return folder + "\\logging_wine_" + name + ".txt";
}

TEST(LoggingWine, FileLinesEndWithCrLfAndCanBeReadMeanwhile) {
  const std::string path = LogPath("lines");
  std::unique_ptr<KvLoggerFile> logger(KvLoggerFile::Open(path));
  ASSERT_NE(nullptr, logger);
  logger->Write("R\xE9""ception");
  const std::string text = wintest::ReadFileText(orvaq::FromUtf8(path));  // opened while the logger holds it
  EXPECT_EQ(0u, text.find("  ===========================================\r\n   Logg started on "));
  EXPECT_NE(std::string::npos, text.find(" - R\xE9""ception\r\n"));
}

TEST(LoggingWine, RestartCountsFileBytes) {
  const std::string path = LogPath("restart");
  std::unique_ptr<KvLoggerFile> logger(KvLoggerFile::Open(path));
  ASSERT_NE(nullptr, logger);
  const std::string text(1000, 'x');
  // each line takes 1000 + 11 + 2 bytes on disk; 5200 lines pass 5 MB
  for (int i = 0; i < 5200; ++i) logger->Write(text);
  const std::string after = wintest::ReadFileText(orvaq::FromUtf8(path));
  EXPECT_LT(after.size(), 100000u);
  EXPECT_EQ(0u, after.find("  ===========================================\r\n   Logg restarted at 5 MB on "));
}

// Answers the logger's box from a timer of the thread the box blocks; a named CALLBACK,
// since a lambda has the wrong calling convention for TIMERPROC on i686.
std::wstring g_sBoxTextSeen;
UINT_PTR g_nBoxTimer = 0;
void CALLBACK AnswerLoggerBox(HWND, UINT, UINT_PTR, DWORD) {
  HWND box = FindWindowW(L"#32770", L"KVW");
  if (!box) return;
  wchar_t text[256] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 255);
  g_sBoxTextSeen = text;
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  KillTimer(nullptr, g_nBoxTimer);
}

TEST(LoggingWine, MessageBoxLoggerShowsEachLine) {
  // The box blocks its caller, so a timer of this thread answers it from inside the
  // box's own message loop.
  g_nBoxTimer = SetTimer(nullptr, 0, 200, AnswerLoggerBox);
  KvLoggerMsgBox logger;
  logger.Write("Connexion au LUMEQ.");
  EXPECT_EQ(L"Connexion au LUMEQ.", g_sBoxTextSeen);
}

}  // namespace
