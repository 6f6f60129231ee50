// The loggers of a run on Windows: the file logger opened on the ANSI form of its path,
// the debugger-output and the message-box logger.
#pragma once

#include "app/StartupRules.h"

class CKvLoggerFactoryWin : public IKvLoggerFactory {
 public:
  KvLogger* CreateDebugLogger() override;
  KvLogger* CreateMsgBoxLogger() override;
  // A file that cannot be opened answers null and says so on the debugger output.
  KvLogger* CreateFileLogger(const std::wstring& path) override;
};

// The restart of the log file after an acknowledged image ("read_ok"); called by the
// scanner administration action.
void RestartLogAfterReadOk();
