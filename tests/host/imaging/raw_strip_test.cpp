// The raw line-straightening tool: a slanted edge comes out straight, the window table.
#include <gtest/gtest.h>

#include <vector>

#include "imaging/RawStrip.h"

using namespace orvaq::imaging;

TEST(RawStrip, WindowTable) {
  std::vector<uint8_t> t;
  int lo = 1000, hi = 1510;
  StripTable(lo, hi, t);
  EXPECT_EQ(t[999], 0);
  EXPECT_EQ(t[1000], 0);
  EXPECT_EQ(t[1255], 128);  // 255 * 255 / 510 = 127.5, rounded up
  EXPECT_EQ(t[1510], 255);
  lo = 100; hi = 110;  // narrower than 255: widened around 105
  StripTable(lo, hi, t);
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 255);
  EXPECT_EQ(t[10], 10);
  lo = 16300; hi = 16310;
  StripTable(lo, hi, t);
  EXPECT_EQ(lo, 16128);
  EXPECT_EQ(hi, 16383);
}

TEST(RawStrip, SlantedEdgeBecomesStraight) {
  std::vector<uint8_t> bytes(kStripBytes);
  for (int i = 0; i < kStripLines; ++i) {
    const int edge = 3000 + i * 2;  // two samples further on every line
    for (int j = 0; j < kStripSamples; ++j) {
      const uint16_t v = j < edge ? 12000 : 2000 + (j % 7) * 100;
      const size_t k = (size_t(i) * kStripSamples + j) * 2;
      bytes[k] = uint8_t(v);
      bytes[k + 1] = uint8_t(v >> 8);
    }
  }
  RawStripResult r;
  ASSERT_TRUE(StraightenStrip(bytes.data(), bytes.size(), r));
  ASSERT_EQ(r.histogram.size(), 16384u);
  EXPECT_EQ(r.histogram[12000], 200u * 3000 + 2 * (199 * 200 / 2));
  ASSERT_EQ(r.picture.size(), size_t(kStripLines) * kStripSamples);
  // Every line's bright part now ends where the first line's does.
  for (int i = 0; i < kStripLines; i += 17) {
    const uint8_t* line = &r.picture[size_t(i) * kStripSamples];
    EXPECT_EQ(line[2999], line[0]) << "line " << i;
    EXPECT_NE(line[3000], line[0]) << "line " << i;
  }
  EXPECT_FALSE(StraightenStrip(bytes.data(), bytes.size() - 1, r));
}
