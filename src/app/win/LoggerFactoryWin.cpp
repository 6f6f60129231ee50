// Logger factory on Windows (see LoggerFactoryWin.h).
#include "app/win/LoggerFactoryWin.h"

#include <windows.h>

#include "logging/KvLoggerFile.h"
#include "logging/win/KvLoggerWin.h"
#include "settings/KvParameters.h"

KvLogger* CKvLoggerFactoryWin::CreateDebugLogger() { return new KvLoggerDebug; }
KvLogger* CKvLoggerFactoryWin::CreateMsgBoxLogger() { return new KvLoggerMsgBox; }

KvLogger* CKvLoggerFactoryWin::CreateFileLogger(const std::wstring& path) {
  const int n = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string ansi(n > 0 ? static_cast<size_t>(n) : 1, '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, &ansi[0], n, nullptr, nullptr);
  ansi.resize(ansi.find('\0') == std::string::npos ? ansi.size() : ansi.find('\0'));
  std::string error;
  KvLogger* logger = KvLoggerFile::Open(ansi, &error);
  if (!logger) OutputDebugStringA((error + "\n").c_str());
  return logger;
}

void RestartLogAfterReadOk() {
  if (CKvParameters* params = GetParameters()) {
    CKvLoggerFactoryWin factory;
    RestartLogAfterReadOk(*params, factory);
  }
}
