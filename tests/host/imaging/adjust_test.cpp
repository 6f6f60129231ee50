// Display adjustments: gamma limits and rule, the contrast/luminosity table, unique
// file names and the thumbnail rectangle.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "imaging/Adjust.h"

using namespace orvaq::imaging;

TEST(Adjust, GammaLimits) {
  uint8_t t[256];
  struct Row { int g; bool result; } rows[] = {{100, false}, {32, false}, {301, false}, {0, false},
                                              {33, true},   {300, true},  {200, true}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    EXPECT_EQ(BuildGammaTable(rows[i].g, t), rows[i].result) << "row " << i;
  ASSERT_TRUE(BuildGammaTable(200, t));
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[255], 255);
  EXPECT_EQ(t[128], 64);  // 255 (128/255)^2 = 64.25
}

TEST(Adjust, GammaSettingRule) {
  struct Row { int g, G; const wchar_t* text; } rows[] = {
      {-100, 34, L"0.34"}, {0, 100, L"1.00"}, {100, 300, L"3.00"}, {-30, 80, L"0.80"}, {50, 200, L"2.00"}, {-1, 100, L"1.00"}, {-2, 99, L"0.99"}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    EXPECT_EQ(GammaFromSetting(rows[i].g), rows[i].G) << "row " << i;
    EXPECT_EQ(FormatGamma(rows[i].G), rows[i].text) << "row " << i;
  }
}

TEST(Adjust, ContrastLuminosityTable) {
  uint8_t t[256];
  EXPECT_FALSE(BuildContrastLuminosityTable(0, 0, t));
  EXPECT_FALSE(BuildContrastLuminosityTable(101, 0, t));
  EXPECT_FALSE(BuildContrastLuminosityTable(0, -101, t));
  // lum 0, con 50: c = 64, table 0 up to 64, then slope 255/191.
  ASSERT_TRUE(BuildContrastLuminosityTable(0, 50, t));
  for (int i = 0; i <= 64; ++i) ASSERT_EQ(t[i], 0) << i;
  for (int i = 65; i < 256; ++i) ASSERT_EQ(t[i], std::min(255, (i - 64) * 255 / 191)) << i;
  // lum 50, con 0: adds 64 and clamps.
  ASSERT_TRUE(BuildContrastLuminosityTable(50, 0, t));
  for (int i = 0; i < 256; ++i) ASSERT_EQ(t[i], std::min(255, i + 64)) << i;
  // con 100: d = 255 - 128 = 127.
  ASSERT_TRUE(BuildContrastLuminosityTable(-100, 100, t));
  EXPECT_EQ(t[255], 0);  // 255 - 128 - 128 = -1 -> 0
}

// ApplyTable24 against the byte-by-byte definition: every width 1..20 with heights 1..5
// and pictures large enough for the pair table, random tables and pixels with the
// extremes 0 and 255, rows padded with bytes that must stay as they are.
TEST(Adjust, TableMatchesLiteral) {
  struct Case { int w, h; } cases[100 + 3];
  int count = 0;
  for (int w = 1; w <= 20; ++w)
    for (int h = 1; h <= 5; ++h) cases[count++] = {w, h};
  cases[count++] = {301, 300};
  cases[count++] = {1025, 97};
  cases[count++] = {4000, 23};
  std::mt19937 rng(7);
  for (int row = 0; row < count; ++row) {
    const Case c = cases[row];
    uint8_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = uint8_t(rng());
    table[0] = 255;
    table[255] = 0;
    const ptrdiff_t stride = 3 * c.w + 5;
    std::vector<uint8_t> px(size_t(stride) * c.h);
    for (uint8_t& b : px) b = uint8_t(rng() % 4 == 0 ? 255 * (rng() % 2) : rng());
    std::vector<uint8_t> literal = px;
    for (int y = 0; y < c.h; ++y)
      for (int i = 0; i < 3 * c.w; ++i) literal[size_t(y) * stride + i] = table[literal[size_t(y) * stride + i]];
    ApplyTable24(PictureView{px.data(), c.w, c.h, stride}, table);
    ASSERT_EQ(px, literal) << "row " << row << ": " << c.w << "x" << c.h;
  }
}

TEST(Adjust, TableAppliesToEveryChannel) {
  uint8_t px[2 * 8] = {0, 1, 2, 3, 4, 5, 99, 99, 10, 11, 12, 13, 14, 15, 99, 99};
  uint8_t t[256];
  for (int i = 0; i < 256; ++i) t[i] = uint8_t(255 - i);
  ApplyTable24(PictureView{px, 2, 2, 8}, t);
  EXPECT_EQ(px[0], 255);
  EXPECT_EQ(px[5], 250);
  EXPECT_EQ(px[6], 99);  // padding untouched
  EXPECT_EQ(px[13], 240);
}

TEST(Adjust, UniqueFileNames) {
  std::set<std::wstring> present = {L"C:\\img\\a_001.bmp"};
  auto exists = [&](const std::wstring& p) { return present.count(p) > 0; };
  std::wstring p = L"C:\\img\\a.bmp";
  ASSERT_TRUE(MakeUniqueFileName(p, exists));
  EXPECT_EQ(p, L"C:\\img\\a_002.bmp");
  std::wstring s = L"scan.bmp";
  ASSERT_TRUE(MakeUniqueFileName(s, exists));
  EXPECT_EQ(s, L"scan_001.bmp");
  std::wstring d = L"C:\\dir.x\\noext";
  ASSERT_TRUE(MakeUniqueFileName(d, exists));
  EXPECT_EQ(d, L"C:\\dir.x\\noext_001");
  std::wstring longPath(255, L'a');
  longPath += L".bmp";
  EXPECT_FALSE(MakeUniqueFileName(longPath, exists));
}

TEST(Adjust, ThumbnailRectangle) {
  ThumbRect r;
  ASSERT_TRUE(ThumbnailRect(1000, 1500, 500, 300, 128, r));
  EXPECT_EQ(r.left, 436);
  EXPECT_EQ(r.top, 300);
  EXPECT_EQ(r.right, 564);
  EXPECT_EQ(r.bottom, 492);
  EXPECT_FALSE(ThumbnailRect(1000, 1500, 500, 300, 0, r));
  EXPECT_FALSE(ThumbnailRect(0, 1500, 500, 300, 128, r));
  EXPECT_FALSE(ThumbnailRect(1000, 0, 500, 300, 128, r));
}
