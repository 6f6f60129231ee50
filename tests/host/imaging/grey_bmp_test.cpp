// The grey BMP file: header bytes, row padding, resolution fields, blue channel only.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "imaging/GreyBmp.h"

using namespace orvaq::imaging;

namespace {
uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
}  // namespace

TEST(GreyBmp, HeaderByteForByte) {
  uint8_t h[kGreyBmpHeaderSize];
  BuildGreyBmpHeader(1001, 7, 762.0f, 1016.0f, h);
  EXPECT_EQ(h[0], 'B');
  EXPECT_EQ(h[1], 'M');
  EXPECT_EQ(U32(h + 2), 1078u + 1004u * 7u);
  EXPECT_EQ(U32(h + 6), 0u);
  EXPECT_EQ(U32(h + 10), 1078u);
  EXPECT_EQ(U32(h + 14), 40u);
  EXPECT_EQ(U32(h + 18), 1001u);
  EXPECT_EQ(U32(h + 22), 7u);
  EXPECT_EQ(U16(h + 26), 1);
  EXPECT_EQ(U16(h + 28), 8);
  EXPECT_EQ(U32(h + 30), 0u);
  EXPECT_EQ(U32(h + 34), 0u);
  EXPECT_EQ(U32(h + 38), 30000u);
  EXPECT_EQ(U32(h + 42), 40000u);
  EXPECT_EQ(U32(h + 46), 256u);
  EXPECT_EQ(U32(h + 50), 256u);
  for (int i = 0; i < 256; ++i) {
    const uint8_t* e = h + 54 + 4 * i;
    ASSERT_TRUE(e[0] == i && e[1] == i && e[2] == i && e[3] == 0) << "entry " << i;
  }
}

TEST(GreyBmp, PixelsPerMetreRows) {
  struct Row { float dpi; int32_t ppm; } rows[] = {
      {762.0f, 30000}, {1016.0f, 40000}, {2032.0f, 80000}, {29.1f * 50.8f, 58200}, {96.0f, 3779}, {0.0f, 0}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    EXPECT_EQ(PixelsPerMetreFromDpi(rows[i].dpi), rows[i].ppm) << "row " << i;
}

TEST(GreyBmp, RowsArePaddedBottomUpAndBlueOnly) {
  EXPECT_EQ(GreyRowSize(1001), 1004u);
  EXPECT_EQ(GreyRowSize(4), 4u);
  // 5 x 2 colour picture: each pixel blue = x + 10 y, green 200, red 100.
  const int w = 5, h = 2;
  std::vector<uint8_t> rows(size_t(16) * h, 0xEE);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      rows[size_t(y) * 16 + 3 * x] = uint8_t(x + 10 * y);
      rows[size_t(y) * 16 + 3 * x + 1] = 200;
      rows[size_t(y) * 16 + 3 * x + 2] = 100;
    }
  std::vector<uint8_t> block(GreyRowSize(w) * h, 0x55);
  PackGreyRows(rows.data(), w, h, 16, 3, block.data());
  const std::vector<uint8_t> want = {10, 11, 12, 13, 14, 0, 0, 0, 0, 1, 2, 3, 4, 0, 0, 0};
  EXPECT_EQ(block, want);
}

TEST(GreyBmp, SizesThatCannotBeWritten) {
  EXPECT_FALSE(GreyBmpSizeOk(0, 10));
  EXPECT_FALSE(GreyBmpSizeOk(10, -1));
  EXPECT_FALSE(GreyBmpSizeOk(70000, 70000));
  EXPECT_TRUE(GreyBmpSizeOk(1, 1));
  std::vector<uint8_t> file;
  const uint8_t px[4] = {1, 2, 3, 4};
  ASSERT_TRUE(EncodeGreyBmp(px, 2, 2, 2, 96, 96, file));
  EXPECT_EQ(file.size(), 1078u + 8u);
  EXPECT_EQ(file[1078], 3);  // bottom row first
  EXPECT_EQ(file[1078 + 4], 1);
}

// The piecewise writer hands on exactly the bytes of the whole-file encoder, whatever the
// piece size (smaller than a row, a few rows, larger than the file), and stops at the
// first refusal of its sink.
TEST(GreyBmp, PiecesMakeTheSameFile) {
  const int w = 37, h = 23;
  const ptrdiff_t stride = 3 * w + 5;
  std::vector<uint8_t> rows(size_t(stride) * h);
  for (size_t i = 0; i < rows.size(); ++i) rows[i] = uint8_t(i * 7 + 3);
  std::vector<uint8_t> whole;
  ASSERT_TRUE(EncodeGreyBmpFile(rows.data(), w, h, stride, 3, 762.0f, 762.0f, whole));
  const size_t chunks[] = {1, 40, 41, 3 * 40, 1000, 1078, 1 << 20};
  for (size_t i = 0; i < sizeof chunks / sizeof chunks[0]; ++i) {
    std::vector<uint8_t> got;
    size_t calls = 0;
    ASSERT_TRUE(StreamGreyBmpFile(rows.data(), w, h, stride, 3, 762.0f, 762.0f,
                                  [&](const uint8_t* p, size_t n) {
                                    ++calls;
                                    got.insert(got.end(), p, p + n);
                                    return true;
                                  },
                                  chunks[i]))
        << "row " << i;
    EXPECT_EQ(got, whole) << "row " << i;
    const size_t perChunk = std::max<size_t>(1, std::min<size_t>(h, chunks[i] / GreyRowSize(w)));
    EXPECT_EQ(calls, (h + perChunk - 1) / perChunk) << "row " << i;
  }
  size_t calls = 0;
  EXPECT_FALSE(StreamGreyBmpFile(rows.data(), w, h, stride, 3, 762.0f, 762.0f,
                                 [&](const uint8_t*, size_t) { return ++calls < 2; }, 100));
  EXPECT_EQ(calls, 2u);
  EXPECT_FALSE(StreamGreyBmpFile(rows.data(), w, h, stride, 2, 762.0f, 762.0f,
                                 [&](const uint8_t*, size_t) { return true; }));
  EXPECT_FALSE(StreamGreyBmpFile(rows.data(), 0, h, stride, 3, 762.0f, 762.0f,
                                 [&](const uint8_t*, size_t) { return true; }));
}

// The packed rows equal a literal per-pixel copy for widths around every unrolled step
// (8 and 16 pixels) and for each pixel size, with rows that do not start aligned.
TEST(GreyBmp, PackedRowsEqualALiteralCopy) {
  const int widths[] = {1, 5, 7, 8, 9, 15, 16, 17, 23, 24, 31, 32, 33, 47, 48, 49, 100, 1001};
  for (int bpp : {1, 3, 4})
    for (size_t i = 0; i < sizeof widths / sizeof widths[0]; ++i) {
      const int w = widths[i], h = 3;
      const ptrdiff_t stride = ptrdiff_t(bpp) * w + 1 + w % 3;
      std::vector<uint8_t> storage(size_t(stride) * h + 1);
      for (size_t k = 0; k < storage.size(); ++k) storage[k] = uint8_t(k * 131 + (k >> 8) * 7 + 5);
      const uint8_t* rows = storage.data() + 1;
      std::vector<uint8_t> want(GreyRowSize(w) * h, 0);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) want[size_t(y) * GreyRowSize(w) + x] = rows[(h - 1 - y) * stride + x * bpp];
      std::vector<uint8_t> got(want.size(), 0xAB);
      PackGreyRows(rows, w, h, stride, bpp, got.data());
      EXPECT_EQ(got, want) << "bytes per pixel " << bpp << ", width " << w;
    }
}
