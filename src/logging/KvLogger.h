// The process-wide logger: one KvLogger behind a global pointer that the start-up
// creates and replaces. Every subsystem writes its (French, Latin-1) commentary through
// it, one line per call, either stream-style or with LogPrintf.
#pragma once

#include <cstdarg>
#include <sstream>
#include <string>

class KvLogger {
 public:
  virtual ~KvLogger() = default;
  // Writes one line (8-bit Latin-1 text, without end of line).
  virtual void Write(const std::string& line) = 0;
};

// Drops every line (second instances, unknown LoggerType values).
class KvLoggerNULL : public KvLogger {
 public:
  void Write(const std::string&) override {}
};

// Deletes the previous logger, then installs `logger` (null allowed).
void ReplaceCurrentLogger(KvLogger* logger);

// Hands one finished 8-bit line to the current logger.
void LogLine(const std::string& line);

// printf-style logging with a wide format (use %ls for wide strings, so the format
// means the same on both compilers). The text is formatted into 8192 wide characters,
// converted to Latin-1 and written. A character without a single-byte form drops the
// whole line and returns the conversion error code (EILSEQ); 0 otherwise.
int LogPrintf(const wchar_t* format, ...);
int LogVPrintf(const wchar_t* format, va_list args);

// Stream-style logging: CKvLog() << "Taille : " << n; writes the line when the temporary
// ends. Narrow literals must be Latin-1 (write "\xE9" for e-acute); wide text streamed
// in with operator<< (std::wstring) is converted, and a line with a character outside
// Latin-1 is dropped like LogPrintf does.
class CKvLog {
 public:
  CKvLog() = default;
  CKvLog(const CKvLog&) = delete;
  CKvLog& operator=(const CKvLog&) = delete;
  ~CKvLog();
  template <typename T>
  CKvLog& operator<<(const T& value) {
    m_Stream << value;
    return *this;
  }
  CKvLog& operator<<(const std::wstring& text);
  CKvLog& operator<<(const wchar_t* text) { return *this << std::wstring(text ? text : L""); }

 private:
  std::ostringstream m_Stream;
  bool m_bDropped = false;
};
