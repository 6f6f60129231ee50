// File logger (see KvLoggerFile.h).
#include "logging/KvLoggerFile.h"

namespace {
class LocalClock : public IKvClock {
 public:
  std::tm LocalNow() override {
    const std::time_t now = std::time(nullptr);
    std::tm result{};
    if (const std::tm* t = std::localtime(&now)) result = *t;
    return result;
  }
};
const char kRule[] = "  ===========================================";
}  // namespace

const char KvLoggerFile::kOpenFailure[] = "Impossible d'utiliser le fichier de logg";

IKvClock& SystemClock() {
  static LocalClock clock;
  return clock;
}

KvLoggerFile::KvLoggerFile(const std::string& path, IKvClock& clock) : m_sPath(path), m_Clock(clock) {
  m_Stream.open(path, std::ios::out | std::ios::trunc);
}

KvLoggerFile* KvLoggerFile::Open(const std::string& path, std::string* error, IKvClock* clock) {
  KvLoggerFile* logger = new KvLoggerFile(path, clock ? *clock : SystemClock());
  if (!logger->m_Stream.is_open() || !logger->m_Stream.good()) {
    delete logger;
    if (error) *error = kOpenFailure;
    return nullptr;
  }
  logger->WriteHeader("   Logg started on ");
  return logger;
}

std::string KvLoggerFile::Format(const char* pattern) {
  const std::tm now = m_Clock.LocalNow();
  char text[64];
  const size_t n = std::strftime(text, sizeof(text), pattern, &now);
  return std::string(text, n);
}

void KvLoggerFile::WriteHeader(const char* title) {
  m_Stream << kRule << std::endl;
  m_Stream << title << Format("%d/%m/%Y") << std::endl;
  m_Stream << kRule << std::endl;
}

void KvLoggerFile::Write(const std::string& line) {
  m_Stream << Format("%H:%M:%S") << " - " << line << std::endl;
  const std::streamoff position = m_Stream.tellp();
  if (position >= 0 && position > kRestartSize) {
    // No copy of the old content is kept; a failed reopening leaves the stream failed
    // and later lines are lost without a word.
    m_Stream.close();
    m_Stream.clear();
    m_Stream.open(m_sPath, std::ios::out | std::ios::trunc);
    WriteHeader("   Logg restarted at 5 MB on ");
  }
}
