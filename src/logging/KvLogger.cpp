// The current-logger pointer and the formatting front ends (see KvLogger.h).
#include "logging/KvLogger.h"

#include <cerrno>
#include <cwchar>

#include "common/Text.h"

namespace {
KvLogger* g_pCurrentLogger = nullptr;
constexpr size_t kFormatBuffer = 8192;
}  // namespace

void ReplaceCurrentLogger(KvLogger* logger) {
  KvLogger* previous = g_pCurrentLogger;
  g_pCurrentLogger = nullptr;  // lines logged while the old one is destroyed go nowhere
  delete previous;
  g_pCurrentLogger = logger;
}

void LogLine(const std::string& line) {
  if (g_pCurrentLogger) g_pCurrentLogger->Write(line);
}

int LogVPrintf(const wchar_t* format, va_list args) {
  wchar_t buffer[kFormatBuffer];
  buffer[0] = L'\0';
  const int n = std::vswprintf(buffer, kFormatBuffer, format, args);
  if (n < 0) buffer[kFormatBuffer - 1] = L'\0';  // too long: keep what was formatted
  std::string line;
  if (!orvaq::ToLatin1(buffer, line)) return EILSEQ;
  if (line.size() > kFormatBuffer) line.resize(kFormatBuffer);
  LogLine(line);
  return 0;
}

int LogPrintf(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = LogVPrintf(format, args);
  va_end(args);
  return result;
}

CKvLog& CKvLog::operator<<(const std::wstring& text) {
  std::string bytes;
  if (!orvaq::ToLatin1(text, bytes)) m_bDropped = true;
  m_Stream << bytes;
  return *this;
}

CKvLog::~CKvLog() {
  if (!m_bDropped) LogLine(m_Stream.str());
}
