// The two loggers that need Windows: debugger output and one message box per line.
#pragma once

#include "logging/KvLogger.h"

// Sends each line and a line feed to the debugger output.
class KvLoggerDebug : public KvLogger {
 public:
  void Write(const std::string& line) override;
};

// Shows each line in a message box captioned "KVW"; returns when it is closed.
class KvLoggerMsgBox : public KvLogger {
 public:
  void Write(const std::string& line) override;
};
