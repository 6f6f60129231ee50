// The filter-library binding with a fake loader: what is looked up, the log lines of
// the failures, the library freed on every path, exceptions turned into results.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "filter_binding/RXFilterLibrary.h"
#include "logging/KvLogger.h"
#include "tests/support/memory_logger.h"

namespace {

int RXFILTER_CALL FakeFilter(FilterImage*, FilterParams*, int) { return 7; }

struct FakeLoader : IModuleLoader {
  bool loadable = true;
  std::set<std::string> exports;
  std::vector<std::wstring> loaded;
  int freed = 0, live = 0;
  void* Load(const wchar_t* name) override {
    loaded.push_back(name);
    if (!loadable) return nullptr;
    ++live;
    return this;
  }
  void* Find(void* module, const char* name) override {
    EXPECT_EQ(module, this);
    if (!exports.count(name)) return nullptr;
    return reinterpret_cast<void*>(&FakeFilter);
  }
  void Free(void* module) override {
    EXPECT_EQ(module, this);
    ++freed;
    --live;
  }
};

class Binding : public ::testing::Test {
 protected:
  void SetUp() override { ReplaceCurrentLogger(new testsupport::MemoryLogger(&lines)); }
  void TearDown() override { ReplaceCurrentLogger(nullptr); }
  std::vector<std::string> lines;
  FakeLoader loader;
};

}  // namespace

TEST_F(Binding, LoadsByNameAndFreesOnceInTheDestructor) {
  loader.exports = {"ApplyLUMEQ2FilterX0X3", "LUMEQ2FullCorrection"};
  {
    CRXFilterLibrary lib(loader);
    ASSERT_TRUE(lib.Load());
    EXPECT_TRUE(lib.Require(CRXFilterLibrary::kApplyFilter | CRXFilterLibrary::kFullCorrection));
    ASSERT_NE(lib.m_pfnApplyFilter, nullptr);
    EXPECT_EQ(lib.m_pfnApplyFilter(nullptr, nullptr, 0), 7);
    EXPECT_EQ(lib.m_pfnIsImageT3, nullptr);
  }
  ASSERT_EQ(loader.loaded.size(), 1u);
  EXPECT_EQ(loader.loaded[0], L"RXFilter.DLL");
  EXPECT_EQ(loader.freed, 1);
  EXPECT_TRUE(lines.empty());
}

TEST_F(Binding, FailedLoadLogsAndFreesNothing) {
  loader.loadable = false;
  {
    CRXFilterLibrary lib(loader);
    EXPECT_FALSE(lib.Load());
    EXPECT_FALSE(lib.Require(CRXFilterLibrary::kFullCorrection));
  }
  EXPECT_EQ(loader.freed, 0);
  ASSERT_GE(lines.size(), 1u);
  EXPECT_EQ(lines[0], "Chargement de la dll RXFilter impossible.");
}

TEST_F(Binding, MissingEntryPointsLogTheirLines) {
  loader.exports = {"LUMEQ2FullCorrection", "LUMEQ2_Add_T3"};
  CRXFilterLibrary lib(loader);
  ASSERT_TRUE(lib.Load());
  EXPECT_FALSE(lib.Require(CRXFilterLibrary::kFullCorrection | CRXFilterLibrary::kApplyFilter));
  EXPECT_TRUE(lib.RequireOne(CRXFilterLibrary::kAddT3));
  EXPECT_FALSE(lib.RequireOne(CRXFilterLibrary::kEndT3));
  EXPECT_FALSE(lib.RequireOne(CRXFilterLibrary::kPrecalculateT4));
  EXPECT_FALSE(lib.RequireOne(CRXFilterLibrary::kCalculateT4));
  const std::vector<std::string> want = {"Recherche des fonctions de la dll RXFilter impossible.",
                                         "Impossible de trouver la fonction LUMEQ2_End_T3.",
                                         "Impossible de trouver la fonction LUMEQ2_Precalculate_T4.",
                                         "Impossible de trouver la fonction LUMEQ2_Calculate_T4."};
  EXPECT_EQ(lines, want);
  lib.Free();
  EXPECT_EQ(loader.freed, 1);
  EXPECT_EQ(lib.m_pfnFullCorrection, nullptr);
}

TEST_F(Binding, ExceptionsBecomeALogLineAndAResult) {
  std::string error;
  EXPECT_FALSE(CRXFilterLibrary::Guarded("Exception lors des phases de reconstruction.",
                                         [] { throw std::runtime_error("bad raw"); }, &error));
  EXPECT_EQ(error, "bad raw");
  EXPECT_FALSE(CRXFilterLibrary::Guarded("Exception lors des phases de reconstruction T4.", [] { throw 42; }, &error));
  EXPECT_EQ(error, "Unknown exception");
  int calls = 0;
  EXPECT_TRUE(CRXFilterLibrary::Guarded("x", [&] { ++calls; }));
  EXPECT_EQ(calls, 1);
  const std::vector<std::string> want = {"Exception lors des phases de reconstruction.", "bad raw",
                                         "Exception lors des phases de reconstruction T4.", "Unknown exception"};
  EXPECT_EQ(lines, want);
}

TEST_F(Binding, AnExceptionInsideAUseStillFreesTheLibrary) {
  loader.exports = {"LUMEQ2FullCorrection"};
  try {
    CRXFilterLibrary lib(loader);
    ASSERT_TRUE(lib.Load());
    throw std::runtime_error("unwinding");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(loader.freed, 1);
  EXPECT_EQ(loader.live, 0);
}
