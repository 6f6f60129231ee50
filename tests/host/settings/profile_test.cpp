// The profile rules the settings store relies on: integer parsing, whole-value reads,
// the in-memory INI behaving like the Windows profile functions.
#include <gtest/gtest.h>

#include "settings/KvMemoryProfile.h"
#include "settings/KvProfile.h"
#include "settings/KvTextFormat.h"

namespace {

TEST(ProfileInt, FollowsTheWindowsRules) {
  struct Row { const wchar_t* text; int def; int expected; };
  const Row rows[] = {
      {L"-3", 9, -3},          {L"12abc", 9, 12},      {L"4294967295", 9, -1},
      {L"3000000000", 9, -1294967296}, {L"0x10", 9, 16}, {L"+7", 9, 7},
      {L"", 9, 9},             {L"abc", 9, 0},         {L"0", 9, 0},
      {L"0X1f", 9, 31},        {L"-0x10", 9, -16},     {L"2147483648", 9, -2147483647 - 1},
      {L"99999999999999999999", 9, 1661992959}, {L"0x", 9, 0}, {L"-", 9, 0},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i)
    EXPECT_EQ(rows[i].expected, ParseProfileInt(rows[i].text, rows[i].def)) << "row " << i;
}

TEST(MemoryProfile, ReadsLikeTheProfileFunctions) {
  CKvMemoryProfile p;
  p.LoadText(L"a.ini", L"[Sensor]\r\nImagesPath =  \"C:\\img\"  \r\nEmpty=\r\nN= 42 \r\n");
  EXPECT_EQ(L"C:\\img", ReadProfileString(p, L"A.INI", L"SENSOR", L"imagespath", L"d"));
  EXPECT_EQ(L"", ReadProfileString(p, L"a.ini", L"SENSOR", L"Empty", L"d"));
  EXPECT_EQ(5, p.ReadInt(L"a.ini", L"SENSOR", L"Empty", 5));  // present but empty
  EXPECT_EQ(42, p.ReadInt(L"a.ini", L"SENSOR", L"N", 5));
  EXPECT_EQ(L"d", ReadProfileString(p, L"a.ini", L"SENSOR", L"Missing", L"d"));
  EXPECT_EQ(L"C:\\", p.ReadString(L"a.ini", L"SENSOR", L"ImagesPath", L"", 4));  // size - 1
}

TEST(MemoryProfile, NullValueDeletesAndWritesFailWhenReadOnly) {
  CKvMemoryProfile p;
  const std::wstring v = L"x";
  EXPECT_TRUE(p.WriteString(L"a.ini", L"KVW", L"CommandLine", &v));
  EXPECT_TRUE(p.HasKey(L"a.ini", L"kvw", L"commandline"));
  EXPECT_TRUE(p.WriteString(L"a.ini", L"KVW", L"CommandLine", nullptr));
  EXPECT_FALSE(p.HasKey(L"a.ini", L"KVW", L"CommandLine"));
  p.SetReadOnly(true);
  EXPECT_FALSE(p.WriteString(L"a.ini", L"KVW", L"CommandLine", &v));
  EXPECT_FALSE(p.HasKey(L"a.ini", L"KVW", L"CommandLine"));
}

// Counts the reads so the growing buffer can be checked.
class CountingProfile : public CKvMemoryProfile {
 public:
  std::vector<size_t> capacities;
  std::wstring ReadString(const std::wstring& f, const std::wstring& s, const std::wstring& k,
                          const std::wstring& d, size_t capacity) override {
    capacities.push_back(capacity);
    return CKvMemoryProfile::ReadString(f, s, k, d, capacity);
  }
};

TEST(ProfileString, BufferGrowsUntilTheValueFits) {
  struct Row { size_t length; std::vector<size_t> capacities; };
  const Row rows[] = {
      {0, {256}}, {254, {256}}, {255, {256, 384}}, {256, {256, 384}}, {383, {256, 384, 512}},
      {1000, {256, 384, 512, 640, 768, 896, 1024}},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    CountingProfile p;
    const std::wstring value(rows[i].length, L'v');
    p.WriteString(L"f", L"S", L"K", &value);
    EXPECT_EQ(value, ReadProfileString(p, L"f", L"S", L"K", L"")) << "row " << i;
    EXPECT_EQ(rows[i].capacities, p.capacities) << "row " << i;
  }
}

TEST(TextFormat, FillsPlaceholdersSafely) {
  struct Row { const wchar_t* format; std::vector<CKvTextArg> args; const wchar_t* expected; };
  const Row rows[] = {
      {L"Port %s %d", {L"TCP", 3333}, L"Port TCP 3333"},
      {L"%ls / %ls", {L"a", L"b"}, L"a / b"},
      {L"%s %s %s", {L"only"}, L"only  "},   // missing arguments are empty
      {L"100%% %d", {5}, L"100% 5"},
      {L"%X", {1036}, L"40C"},
      {L"%n %p trailing %", {}, L"%n %p trailing %"},
      {L"%-10s|", {L"x"}, L"x|"},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i)
    EXPECT_EQ(rows[i].expected, FormatText(rows[i].format, rows[i].args)) << "row " << i;
}

}  // namespace
