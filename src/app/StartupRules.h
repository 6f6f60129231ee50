// The start-up's decisions, apart from the Windows calls: uptime thresholds, the
// disk-space floor, the version text, the error-code list file, and which logger a run
// gets (including the restart of the log file after an acknowledged image).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "logging/KvLogger.h"

class CKvParameters;

enum class UptimeVerdict { kSilent, kAdviseRestart, kRefuse };
// More than 2 678 400 000 ms (31 days) advises a restart; 3 888 000 001 ms or more
// refuses to start.
UptimeVerdict JudgeUptime(uint32_t tickCount);

// The images volume needs at least total / 100 bytes free for the user.
bool HasEnoughImageSpace(uint64_t freeBytes, uint64_t totalBytes);

// " [major.minor.build]" as appended to captions.
std::wstring FormatVersionText(int major, int minor, int build);

// The error-code list for `language` in `folder` ("Orvaqerr." + the language as "%X"),
// else the English, else the French one; "" when none exists.
std::wstring ChooseErrorListPath(const std::wstring& folder, const std::wstring& language,
                                 const std::function<bool(const std::wstring&)>& exists);

// Makes the loggers that need the platform.
class IKvLoggerFactory {
 public:
  virtual ~IKvLoggerFactory() = default;
  virtual KvLogger* CreateDebugLogger() = 0;
  virtual KvLogger* CreateMsgBoxLogger() = 0;
  // The file logger on `path`; null when the file cannot be used.
  virtual KvLogger* CreateFileLogger(const std::wstring& path) = 0;
};

// The log file: text #1000 + ".txt" in the log folder.
std::wstring GetLogFilePath(CKvParameters& params);

// The logger of this run: the null logger for a second instance (the first one holds
// the file), otherwise by LoggerType. A file that cannot be opened gives the null
// logger.
KvLogger* CreateStartupLogger(CKvParameters& params, bool otherInstanceRunning,
                              IKvLoggerFactory& factory);

// After "read_ok" with LoggerType 2: the log file starts again (truncated, new header)
// and its first line says why.
void RestartLogAfterReadOk(CKvParameters& params, IKvLoggerFactory& factory);
