// The 8-bit grey routines: the turn by 90 degrees clockwise (as GDI+'s Rotate90FlipNone
// turns a picture), the composed tables, the copies to and from 24-bit rows, the sampling.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "imaging/Grey8.h"

using namespace orvaq::imaging;

namespace {

// A picture whose every pixel tells where it is.
std::vector<uint8_t> Numbered(int w, int h) {
  std::vector<uint8_t> p(size_t(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p[size_t(y) * w + x] = uint8_t(y * 16 + x);
  return p;
}

TEST(Grey8, TurnsClockwiseTheTopLeftCornerGoesTopRight) {
  const struct {
    int w, h;
  } sizes[] = {{1, 1}, {3, 2}, {2, 5}, {7, 9}, {70, 3}, {3, 130}};
  for (size_t i = 0; i < sizeof sizes / sizeof sizes[0]; ++i) {
    const int w = sizes[i].w, h = sizes[i].h;
    std::vector<uint8_t> src = Numbered(w, h), dst(size_t(w) * h, 0xEE);
    ASSERT_TRUE(RotateGreyClockwise(GreyView{src.data(), w, h, w}, GreyView{dst.data(), h, w, h})) << "row " << i;
    for (int y = 0; y < w; ++y)
      for (int x = 0; x < h; ++x)
        ASSERT_EQ(dst[size_t(y) * h + x], src[size_t(h - 1 - x) * w + y]) << "row " << i << " at " << x << "," << y;
    // The top-left pixel ends top right, the bottom-left one top left.
    EXPECT_EQ(dst[h - 1], src[0]) << "row " << i;
    EXPECT_EQ(dst[0], src[size_t(h - 1) * w]) << "row " << i;
  }
  std::vector<uint8_t> a(6), b(6);
  EXPECT_FALSE(RotateGreyClockwise(GreyView{a.data(), 3, 2, 3}, GreyView{b.data(), 3, 2, 3})) << "sizes not exchanged";
}

TEST(Grey8, TablesComposeAndApplyThroughANegativeStride) {
  uint8_t first[256], second[256], both[256];
  for (int v = 0; v < 256; ++v) first[v] = uint8_t(255 - v), second[v] = uint8_t(v / 2);
  ComposeTables(first, second, both);
  EXPECT_EQ(both[0], 127);
  EXPECT_EQ(both[255], 0);
  std::vector<uint8_t> rows = {0, 10, 200, 255, 9, 9};  // two rows of three, bottom row first
  ApplyTable8(GreyView{rows.data() + 3, 3, 2, -3}, both);
  EXPECT_EQ(rows, (std::vector<uint8_t>{127, 122, 27, 0, 123, 123}));
}

TEST(Grey8, CornerGoesTo24BitsAndTheBlueByteComesBack) {
  std::vector<uint8_t> grey = Numbered(5, 4);
  const GreyView g{grey.data(), 5, 4, 5};
  std::vector<uint8_t> rgb(2 * 9, 0);
  GreyToRgb24(g, 2, 2, 3, 2, rgb.data(), 9);
  EXPECT_EQ(rgb[0], 34);
  EXPECT_EQ(rgb[1], 34);
  EXPECT_EQ(rgb[2], 34);
  EXPECT_EQ(rgb[9 + 6], 52);
  rgb[3] = 1, rgb[4] = 2, rgb[5] = 3;  // only blue counts
  BlueToGrey(rgb.data(), 9, 2, 2, 3, 2, g);
  EXPECT_EQ(grey[2 * 5 + 3], 1);
  EXPECT_EQ(grey[2 * 5 + 2], 34);
  EXPECT_EQ(grey[1 * 5 + 3], 19) << "outside the corner nothing changes";
}

TEST(Grey8, SamplesEveryNthPixelOfEveryNthRow) {
  std::vector<uint8_t> src = Numbered(7, 5), dst(3 * 2, 0);
  SampleGrey(GreyView{src.data(), 7, 5, 7}, 3, GreyView{dst.data(), 3, 2, 3});
  EXPECT_EQ(dst, (std::vector<uint8_t>{0, 3, 6, 48, 51, 54}));
}

}  // namespace
