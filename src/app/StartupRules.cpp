// Start-up decisions (see StartupRules.h).
#include "app/StartupRules.h"

#include <cwchar>

#include "settings/KvParameters.h"
#include "settings/KvPaths.h"
#include "command_line/CommandLine.h"

UptimeVerdict JudgeUptime(uint32_t tickCount) {
  if (tickCount >= 3888000001u) return UptimeVerdict::kRefuse;
  if (tickCount > 2678400000u) return UptimeVerdict::kAdviseRestart;
  return UptimeVerdict::kSilent;
}

bool HasEnoughImageSpace(uint64_t freeBytes, uint64_t totalBytes) {
  return freeBytes >= totalBytes / 100;
}

std::wstring FormatVersionText(int major, int minor, int build) {
  wchar_t text[64];
  std::swprintf(text, 64, L" [%d.%d.%d]", major, minor, build);
  return text;
}

std::wstring ChooseErrorListPath(const std::wstring& folder, const std::wstring& language,
                                 const std::function<bool(const std::wstring&)>& exists) {
  wchar_t extension[16];
  std::swprintf(extension, 16, L".%X", orvaq::cmdline::ReadHex(language, 0));
  const std::wstring base = orvaq::paths::Join(folder, L"Orvaqerr");
  for (const std::wstring& ext : {std::wstring(extension), std::wstring(L".409"), std::wstring(L".40C")})
    if (exists(base + ext)) return base + ext;
  return std::wstring();
}

std::wstring GetLogFilePath(CKvParameters& params) {
  return orvaq::paths::Join(params.GetLogFolder(), params.GetProgramTitle() + L".txt");
}

KvLogger* CreateStartupLogger(CKvParameters& params, bool otherInstanceRunning,
                              IKvLoggerFactory& factory) {
  if (otherInstanceRunning) return new KvLoggerNULL;
  KvLogger* logger = nullptr;
  switch (params.GetLoggerType()) {
    case 1: logger = factory.CreateDebugLogger(); break;
    case 2: logger = factory.CreateFileLogger(GetLogFilePath(params)); break;
    case 3: logger = factory.CreateMsgBoxLogger(); break;
    default: break;
  }
  return logger ? logger : new KvLoggerNULL;
}

void RestartLogAfterReadOk(CKvParameters& params, IKvLoggerFactory& factory) {
  if (params.GetLoggerType() != 2) return;
  ReplaceCurrentLogger(new KvLoggerNULL);  // the file is closed before it is truncated
  KvLogger* logger = factory.CreateFileLogger(GetLogFilePath(params));
  ReplaceCurrentLogger(logger ? logger : new KvLoggerNULL);
  LogLine("Reset du log suite \xE0 un read_ok.");
}
