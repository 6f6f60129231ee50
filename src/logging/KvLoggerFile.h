// The file logger: one log file per program title, truncated when it opens, every line
// time-stamped and flushed, restarted empty when it grows past 5 MB. The local time
// comes through IKvClock so tests can fix it.
#pragma once

#include <ctime>
#include <fstream>
#include <string>

#include "logging/KvLogger.h"

class IKvClock {
 public:
  virtual ~IKvClock() = default;
  virtual std::tm LocalNow() = 0;
};

// The system's local time.
IKvClock& SystemClock();

class KvLoggerFile : public KvLogger {
 public:
  // The text of the failure to open the file.
  static const char kOpenFailure[];
  // Past this many bytes the file starts again.
  static constexpr long long kRestartSize = 5LL * 1024 * 1024;

  // Opens (creates or truncates) `path` (an ANSI path) and writes the header. Returns
  // null when the stream is not usable; `error` then holds kOpenFailure.
  static KvLoggerFile* Open(const std::string& path, std::string* error = nullptr,
                            IKvClock* clock = nullptr);

  void Write(const std::string& line) override;
  const std::string& Path() const { return m_sPath; }

 private:
  KvLoggerFile(const std::string& path, IKvClock& clock);
  void WriteHeader(const char* title);
  std::string Format(const char* pattern);

  std::string m_sPath;
  IKvClock& m_Clock;
  std::ofstream m_Stream;
};
