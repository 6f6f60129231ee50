// The tests' in-memory logger: keeps each line as the file would get it (Latin-1 bytes,
// no end of line). Header-only and built on core headers, so host and Wine tests share it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "logging/KvLogger.h"

namespace testsupport {

class MemoryLogger : public KvLogger {
 public:
  // Appends every line to *lines (not owned; null drops the lines). `prefix` goes before
  // each line, to tell apart several loggers writing into one list.
  explicit MemoryLogger(std::vector<std::string>* lines, std::string prefix = std::string())
      : m_pLines(lines), m_Prefix(std::move(prefix)) {}
  void Write(const std::string& line) override {
    if (m_pLines) m_pLines->push_back(m_Prefix + line);
  }

 private:
  std::vector<std::string>* m_pLines;
  std::string m_Prefix;
};

}  // namespace testsupport
