// The file logger's header, line format, 5 MB restart, and the Latin-1 rule of
// LogPrintf, on real files in the build tree.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "logging/KvLogger.h"
#include "logging/KvLoggerFile.h"
#include "tests/support/memory_logger.h"

namespace {

class FixedClock : public IKvClock {
 public:
  std::tm now{};
  FixedClock() {
    now.tm_year = 126; now.tm_mon = 11; now.tm_mday = 8;
    now.tm_hour = 9; now.tm_min = 5; now.tm_sec = 7;
  }
  std::tm LocalNow() override { return now; }
};

std::string TempPath(const char* name) {
  return std::string(ORVAQ_BINARY_DIR) + "/logging_test_" + name + ".txt";
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

const std::string kRule = "  ===========================================\n";

TEST(LoggerFile, HeaderAndLinesAndTruncationAtEachOpen) {
  const std::string path = TempPath("header");
  FixedClock clock;
  {
    std::ofstream old(path);
    old << "previous run\n";
  }
  KvLoggerFile* logger = KvLoggerFile::Open(path, nullptr, &clock);
  ASSERT_NE(nullptr, logger);
  logger->Write("Ligne de commande : /doctor x");
  EXPECT_EQ(kRule + "   Logg started on 08/12/2026\n" + kRule +
                "09:05:07 - Ligne de commande : /doctor x\n",
            ReadAll(path));  // flushed at once
  delete logger;
}

TEST(LoggerFile, OpenFailureCarriesTheText) {
  std::string error;
  EXPECT_EQ(nullptr, KvLoggerFile::Open(std::string(ORVAQ_BINARY_DIR) + "/no/such/dir/x.txt", &error));
  EXPECT_EQ("Impossible d'utiliser le fichier de logg", error);
}

TEST(LoggerFile, RestartsPastFiveMegabytesOnly) {
  const std::string path = TempPath("restart");
  FixedClock clock;
  std::unique_ptr<KvLoggerFile> logger(KvLoggerFile::Open(path, nullptr, &clock));
  ASSERT_NE(nullptr, logger);
  const long long header = static_cast<long long>(ReadAll(path).size());
  // Each written line is 11 bytes of time and separator, the text and a line feed.
  const long long target = KvLoggerFile::kRestartSize - header;
  const std::string text(988, 'x');  // 1000 bytes per line
  long long written = 0;
  while (written + 1000 <= target - 1000) {
    logger->Write(text);
    written += 1000;
  }
  // fill exactly up to 5 242 880 bytes: no restart yet
  const long long rest = target - written;
  logger->Write(std::string(static_cast<size_t>(rest - 12), 'y'));
  EXPECT_EQ(KvLoggerFile::kRestartSize, static_cast<long long>(ReadAll(path).size()));
  // one more byte past it restarts the file
  logger->Write("z");
  EXPECT_EQ(kRule + "   Logg restarted at 5 MB on 08/12/2026\n" + kRule, ReadAll(path));
  logger->Write("suite");
  EXPECT_EQ(kRule + "   Logg restarted at 5 MB on 08/12/2026\n" + kRule + "09:05:07 - suite\n",
            ReadAll(path));
}

TEST(LogPrintf, ConvertsToLatin1AndDropsOtherCharacters) {
  std::vector<std::string> lines;
  ReplaceCurrentLogger(new testsupport::MemoryLogger(&lines));
  EXPECT_EQ(0, LogPrintf(L"Chemin des images : %ls", L"C:\\Donn\xE9""es"));
  EXPECT_NE(0, LogPrintf(L"Chemin des images : %ls", L"C:\\\x03A9mega"));
  EXPECT_EQ(0, LogPrintf(L"Espace disponible pour les images : %lld / %lld", 5LL, 500LL));
  ReplaceCurrentLogger(nullptr);
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ("Chemin des images : C:\\Donn\xE9""es", lines[0]);
  EXPECT_EQ("Espace disponible pour les images : 5 / 500", lines[1]);
}

}  // namespace
