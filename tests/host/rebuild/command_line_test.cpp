// OrvaqRbld2's command line against its switch table: case, prefix lengths, the later
// argument winning, unknown arguments ignored, numbers, and the diagnostic list's limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rebuild/RebuildCommandLine.h"

using namespace orvaq::rebuild;

namespace {
RebuildOptions Parse(std::vector<std::wstring> rest) {
  rest.insert(rest.begin(), L"C:\\prog\\OrvaqRbld2.exe");
  return ParseRebuildArguments(rest);
}
}  // namespace

TEST(RebuildCommandLine, Switches) {
  struct Row {
    std::vector<std::wstring> args;
    RebuildMode mode;
    bool preview, intermediate, ignoreMire;
    bool hasInfo;
    std::wstring info;
    int tx, ty;
  };
  const Row rows[] = {
      {{}, RebuildMode::None, false, false, false, false, L"", -1, -1},
      {{L"/rb"}, RebuildMode::Rebuild, false, false, false, false, L"", -1, -1},
      {{L"/RF", L"/pw", L"/n:C:\\a b\\x.NFOT"}, RebuildMode::RebuildAndFilter, true, false, false, true,
       L"C:\\a b\\x.NFOT", -1, -1},
      {{L"/Ft"}, RebuildMode::NoWork, false, false, false, false, L"", -1, -1},
      {{L"/rb", L"/rf"}, RebuildMode::RebuildAndFilter, false, false, false, false, L"", -1, -1},  // later wins
      {{L"/rf", L"/rb"}, RebuildMode::Rebuild, false, false, false, false, L"", -1, -1},
      {{L"/rbx", L"/PWD", L"rb", L"/I1", L"/p1"}, RebuildMode::None, false, true, true, false, L"", -1, -1},
      {{L"/N:"}, RebuildMode::None, false, false, false, false, L"", -1, -1},  // empty path is none
      {{L"/N:a", L"/N:b"}, RebuildMode::None, false, false, false, true, L"b", -1, -1},
      {{L"/Tx:500", L"/ty:100"}, RebuildMode::None, false, false, false, false, L"", 500, 100},
      {{L"/T:500", L"/Tx500", L"/Ty100"}, RebuildMode::None, false, false, false, false, L"", -1, -1},  // 4 characters
      {{L"/Tx:-1", L"/Ty:7"}, RebuildMode::None, false, false, false, false, L"", -1, 7},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const RebuildOptions o = Parse(rows[i].args);
    EXPECT_EQ(int(o.mode), int(rows[i].mode)) << "row " << i;
    EXPECT_EQ(o.preview, rows[i].preview) << "row " << i;
    EXPECT_EQ(o.storeIntermediateImages, rows[i].intermediate) << "row " << i;
    EXPECT_EQ(o.ignoreMire, rows[i].ignoreMire) << "row " << i;
    EXPECT_EQ(o.hasInfoPath, rows[i].hasInfo) << "row " << i;
    if (rows[i].hasInfo) {
      EXPECT_EQ(o.infoPath, rows[i].info) << "row " << i;
    }
    EXPECT_EQ(o.thumbX, rows[i].tx) << "row " << i;
    EXPECT_EQ(o.thumbY, rows[i].ty) << "row " << i;
  }
}

TEST(RebuildCommandLine, ArgumentZeroIsNeverASwitch) {
  const RebuildOptions o = ParseRebuildArguments({L"/rb"});
  EXPECT_EQ(o.mode, RebuildMode::None);
}

TEST(RebuildCommandLine, Numbers) {
  struct Row { std::wstring arg; int depth, filter, lum, con, gamma; };
  const Row rows[] = {
      {L"/D:3", 3, 0, 0, 0, 0},
      {L"/d:2x", 2, 0, 0, 0, 0},
      {L"/F:150", 0, 150, 0, 0, 0},
      {L"/L:-40", 0, 0, -40, 0, 0},
      {L"/c:+25", 0, 0, 0, 25, 0},
      {L"/G:abc", 0, 0, 0, 0, 0},
      {L"/G:", 0, 0, 0, 0, 0},
      {L"/G:99999999999", 0, 0, 0, 0, 2147483647},
      {L"/L:-99999999999", 0, 0, -2147483647 - 1, 0, 0},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const RebuildOptions o = Parse({rows[i].arg});
    EXPECT_EQ(o.depthChoice, rows[i].depth) << "row " << i;
    EXPECT_EQ(o.filterLevel, rows[i].filter) << "row " << i;
    EXPECT_EQ(o.luminosity, rows[i].lum) << "row " << i;
    EXPECT_EQ(o.contrast, rows[i].con) << "row " << i;
    EXPECT_EQ(o.gamma, rows[i].gamma) << "row " << i;
  }
}

TEST(RebuildCommandLine, OrvaqsLineAfterSplitting) {
  // What Orvaq's format gives once split: empty optional switches vanish.
  const RebuildOptions o = Parse({L"/rf", L"/N:Z:\\img\\LAST12.NFOT", L"/PW", L"/D:0", L"/F:100", L"/L:5",
                                  L"/C:-5", L"/G:140", L"/Tx:640", L"/Ty:480"});
  EXPECT_EQ(o.mode, RebuildMode::RebuildAndFilter);
  EXPECT_EQ(o.infoPath, L"Z:\\img\\LAST12.NFOT");
  EXPECT_EQ(o.filterLevel, 100);
  EXPECT_EQ(o.luminosity, 5);
  EXPECT_EQ(o.contrast, -5);
  EXPECT_EQ(o.gamma, 140);
  EXPECT_TRUE(o.HasThumbnailPlace());
}

TEST(RebuildCommandLine, DiagnosticListKeepsWholeArgumentsWithinItsCapacity) {
  EXPECT_EQ(FormatArgumentList({L"a.exe", L"/rb"}), L"Command line list :\r\na.exe\r\n/rb\r\n");
  const std::wstring head = L"Command line list :\r\n";
  const std::vector<std::wstring> args = {L"prog", std::wstring(990, L'x'), L"/rb"};
  const std::wstring text = FormatArgumentList(args);
  EXPECT_LT(text.size(), kArgumentListCapacity);
  EXPECT_EQ(text, head + L"prog\r\n" + std::wstring(990, L'x') + L"\r\n");  // "/rb" no longer fits
  // Exactly full: 1023 characters and the terminator.
  const std::wstring exact(1023 - head.size() - 2, L'y');
  EXPECT_EQ(FormatArgumentList({exact}).size(), 1023u);
  EXPECT_EQ(FormatArgumentList({exact + L"y"}), head);
}
