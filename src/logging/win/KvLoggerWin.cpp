// Debugger-output and message-box loggers. Lines are Latin-1 bytes, shown through the
// ANSI calls of the Latin-1 code page systems the program is used on.
#include "logging/win/KvLoggerWin.h"

#include <windows.h>

void KvLoggerDebug::Write(const std::string& line) {
  const std::string text = line + "\n";
  OutputDebugStringA(text.c_str());
}

void KvLoggerMsgBox::Write(const std::string& line) {
  MessageBoxA(nullptr, line.c_str(), "KVW", MB_OK);
}
