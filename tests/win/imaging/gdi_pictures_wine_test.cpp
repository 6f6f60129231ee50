// GDI+ picture operations under Wine: adjustments, the sensor mark and its text
// fallback, the grey writer's file, the BMP encoder, unique names, the thumbnail.
#include <gtest/gtest.h>

#include <cmath>

#include "imaging/GreyBmp.h"
#include "wine_support.h"

using namespace orvaq::imaging;
namespace gp = Gdiplus;

namespace {
gp::Color PixelAt(gp::Bitmap* b, int x, int y) {
  gp::Color c;
  b->GetPixel(x, y, &c);
  return c;
}
}  // namespace

using GdiPictures = GdiplusTest;

TEST_F(GdiPictures, GammaLimitsAndCurve) {
  auto pic = Filled(20, 10, 128, 128, 128);
  for (int g : {100, 32, 301}) EXPECT_EQ(AdjustGamma(pic.get(), g), nullptr) << g;
  for (int g : {33, 300}) {
    std::unique_ptr<gp::Bitmap> out(AdjustGamma(pic.get(), g));
    EXPECT_NE(out, nullptr) << g;
  }
  std::unique_ptr<gp::Bitmap> out(AdjustGamma(pic.get(), 200));
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(PixelAt(out.get(), 3, 3).GetBlue(), 64);
  EXPECT_EQ(PixelAt(pic.get(), 3, 3).GetBlue(), 128);  // the input is left alone
}

TEST_F(GdiPictures, ContrastLuminosity) {
  auto pic = Filled(20, 10, 10, 100, 250);
  EXPECT_EQ(AdjustContrastLuminosity(pic.get(), 0, 0), nullptr);
  EXPECT_EQ(AdjustContrastLuminosity(pic.get(), 101, 0), nullptr);
  std::unique_ptr<gp::Bitmap> out(AdjustContrastLuminosity(pic.get(), 50, 0));
  ASSERT_NE(out, nullptr);
  const gp::Color c = PixelAt(out.get(), 5, 5);
  EXPECT_EQ(c.GetRed(), 74);
  EXPECT_EQ(c.GetGreen(), 164);
  EXPECT_EQ(c.GetBlue(), 255);
}

TEST_F(GdiPictures, SensorMarkIsDrawnSixteenPixelsInside) {
  auto pic = Filled(200, 150, 50, 50, 50);
  auto mark = Filled(20, 10, 255, 0, 0);
  std::unique_ptr<gp::Bitmap> out(AddSensorMark(pic.get(), mark.get(), L"LUMEQ"));
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->GetWidth(), 200u);
  const gp::Color in = PixelAt(out.get(), 200 - 16 - 10, 150 - 16 - 5);
  EXPECT_EQ(in.GetRed(), 255);
  EXPECT_EQ(in.GetGreen(), 0);
  const gp::Color outside = PixelAt(out.get(), 200 - 16 + 2, 150 - 16 + 2);
  EXPECT_EQ(outside.GetRed(), 50);
  EXPECT_EQ(AddSensorMark(pic.get(), nullptr, L"LUMEQ"), nullptr);
  EXPECT_EQ(AddSensorMark(nullptr, mark.get(), L"LUMEQ"), nullptr);
}

// A mark that cannot be drawn (its pixels are locked by someone) gives the text.
TEST_F(GdiPictures, TextReplacesAMarkThatCannotBeDrawn) {
  auto pic = Filled(300, 200, 0, 0, 0);
  auto mark = Filled(80, 30, 255, 0, 0);
  gp::Rect all(0, 0, 80, 30);
  gp::BitmapData data;
  ASSERT_EQ(mark->LockBits(&all, gp::ImageLockModeRead, PixelFormat24bppRGB, &data), gp::Ok);
  std::unique_ptr<gp::Bitmap> out(AddSensorMark(pic.get(), mark.get(), L"LUMEQ"));
  mark->UnlockBits(&data);
  ASSERT_NE(out, nullptr);
  int white = 0, red = 0;
  const int x0 = 300 - 80 - 16, y0 = 200 - 30 - 16;
  for (int y = y0 - 5; y < y0 + 35; ++y)
    for (int x = x0 - 15; x < x0 + 95; ++x) {
      const gp::Color c = PixelAt(out.get(), x, y);
      white += c.GetRed() > 200 && c.GetGreen() > 200;
      red += c.GetRed() > 200 && c.GetGreen() < 50;
    }
  EXPECT_EQ(red, 0);
  EXPECT_GT(white, 20);
}

TEST_F(GdiPictures, GreyBmpFile) {
  auto pic = Filled(1001, 3, 10, 20, 30);
  pic->SetPixel(0, 0, gp::Color(255, 1, 2, 3));  // top-left: blue 3
  pic->SetResolution(762.0f, 762.0f);
  const std::wstring path = TempPath(L"grey.bmp");
  ASSERT_TRUE(WriteGreyBmp(pic.get(), path));
  const std::vector<uint8_t> f = wintest::ReadFileBytes(path);
  ASSERT_EQ(f.size(), 1078u + 1004u * 3u);
  EXPECT_EQ(U32At(f, 2), 1078u + 1004u * 3u);
  EXPECT_EQ(U32At(f, 38), 30000u);
  EXPECT_EQ(U32At(f, 42), 30000u);
  EXPECT_EQ(f[28], 8);
  EXPECT_EQ(f[1078], 30);                 // bottom row first, blue channel
  EXPECT_EQ(f[1078 + 2 * 1004], 3);       // top row's first pixel
  EXPECT_EQ(f[1078 + 1001], 0);           // padding
  EXPECT_FALSE(WriteGreyBmp(pic.get(), TempPath(L"no\\such\\folder\\x.bmp")));
  EXPECT_FALSE(WriteGreyBmp(nullptr, path));
}

// A picture of several 1 MiB pieces comes out exactly as the one-buffer encoder makes it.
TEST_F(GdiPictures, LargeGreyBmpWrittenInPiecesIsWhole) {
  const int w = 1203, h = 1000;
  gp::Bitmap pic(w, h, PixelFormat24bppRGB);
  pic.SetResolution(1016.0f, 1016.0f);
  {
    gp::Rect all(0, 0, w, h);
    gp::BitmapData d{};
    ASSERT_EQ(pic.LockBits(&all, gp::ImageLockModeWrite, PixelFormat24bppRGB, &d), gp::Ok);
    for (int y = 0; y < h; ++y) {
      uint8_t* row = static_cast<uint8_t*>(d.Scan0) + ptrdiff_t(y) * d.Stride;
      for (int x = 0; x < 3 * w; ++x) row[x] = uint8_t(x * 13 + y * 7);
    }
    pic.UnlockBits(&d);
  }
  std::vector<uint8_t> want;
  {
    gp::Rect all(0, 0, w, h);
    gp::BitmapData d{};
    ASSERT_EQ(pic.LockBits(&all, gp::ImageLockModeRead, PixelFormat24bppRGB, &d), gp::Ok);
    ASSERT_TRUE(EncodeGreyBmpFile(static_cast<const uint8_t*>(d.Scan0), w, h, d.Stride, 3, 1016.0f, 1016.0f, want));
    pic.UnlockBits(&d);
  }
  ASSERT_GT(want.size(), kGreyBmpChunkBytes);  // more than one piece
  const std::wstring path = TempPath(L"large_grey.bmp");
  ASSERT_TRUE(WriteGreyBmp(&pic, path));
  EXPECT_TRUE(wintest::ReadFileBytes(path) == want);
}

TEST_F(GdiPictures, BmpEncoder) {
  CLSID id{};
  EXPECT_GE(FindBmpEncoder(&id), 0);
  auto pic = Filled(8, 4, 1, 2, 3);
  const std::wstring path = TempPath(L"encoded.bmp");
  ASSERT_TRUE(SaveWithBmpEncoder(pic.get(), path));
  const std::vector<uint8_t> f = wintest::ReadFileBytes(path);
  ASSERT_GT(f.size(), 54u);
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
}

TEST_F(GdiPictures, UniqueNamesOnDisk) {
  const std::wstring base = TempPath(L"u.bmp"), first = TempPath(L"u_001.bmp");
  DeleteFileW(TempPath(L"u_002.bmp").c_str());
  FILE* f = _wfopen(first.c_str(), L"wb");
  ASSERT_NE(f, nullptr);
  fclose(f);
  wchar_t path[260];
  wcscpy(path, base.c_str());
  MakeUniqueFileName(path);
  EXPECT_EQ(std::wstring(path), TempPath(L"u_002.bmp"));
}

TEST_F(GdiPictures, ThumbnailRectangle) {
  auto pic = Filled(1000, 1500, 200, 200, 200);
  RECT r{};
  DrawScreenThumbnail(pic.get(), 500, 300, 128, &r);
  EXPECT_EQ(r.left, 436);
  EXPECT_EQ(r.top, 300);
  EXPECT_EQ(r.right, 564);
  EXPECT_EQ(r.bottom, 492);
  RECT none{1, 2, 3, 4};
  DrawScreenThumbnail(pic.get(), 500, 300, 0, &none);
  EXPECT_EQ(none.left, 1);
}

TEST_F(GdiPictures, FiltersOnBitmaps) {
  auto pic = Filled(60, 40, 90, 90, 90);
  for (int x = 30; x < 60; ++x)
    for (int y = 0; y < 40; ++y) pic->SetPixel(x, y, gp::Color(255, 160, 160, 160));
  std::unique_ptr<gp::Bitmap> box(BoxUnsharp(pic.get(), 7));
  ASSERT_NE(box, nullptr);
  EXPECT_LT(PixelAt(box.get(), 29, 20).GetBlue(), 90);   // overshoot on the dark side
  EXPECT_GT(PixelAt(box.get(), 30, 20).GetBlue(), 160);  // and on the bright side
  EXPECT_EQ(BoxUnsharp(pic.get(), 4), nullptr);
  std::unique_ptr<gp::Bitmap> mg(MedianGaussianUnsharp(pic.get()));
  ASSERT_NE(mg, nullptr);
  const gp::Color c = PixelAt(mg.get(), 28, 20);
  EXPECT_TRUE(c.GetRed() == c.GetGreen() && c.GetGreen() == c.GetBlue());
  EXPECT_NE(GaussianUnsharp(pic.get(), 50, 1), nullptr);
  EXPECT_EQ(GaussianUnsharp(pic.get(), 50, 0), nullptr);
}

namespace {
double NoiseOfColumns(gp::Bitmap* b, int x0, int x1) {
  double s = 0, q = 0;
  int n = 0;
  for (int y = 0; y < int(b->GetHeight()); ++y)
    for (int x = x0; x < x1; ++x) {
      const double v = PixelAt(b, x, y).GetBlue();
      s += v; q += v * v; ++n;
    }
  return std::sqrt(q / n - (s / n) * (s / n));
}
}  // namespace

// The display filter goes through RXFilter.DLL and smooths the whole picture, its right
// part included, and keeps it grey.
TEST_F(GdiPictures, DisplayFilterSmoothsTheWholePicture) {
  auto pic = Filled(240, 120, 0, 0, 0);
  unsigned seed = 1;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 240; ++x) {
      seed = seed * 1103515245u + 12345u;
      const BYTE v = BYTE(120 + int((seed >> 16) % 21) - 10);
      pic->SetPixel(x, y, gp::Color(255, v, v, v));
    }
  std::vector<int> errors;
  std::vector<std::wstring> messages;
  DisplayFilterUi ui{[&](int id) { errors.push_back(id); }, [&](const std::wstring& m) { messages.push_back(m); },
                     [&](const std::wstring& m) { messages.push_back(m); }};
  std::unique_ptr<gp::Bitmap> out(ApplyDisplayFilter(pic.get(), 150, ui));
  ASSERT_NE(out, nullptr);
  EXPECT_TRUE(errors.empty());
  EXPECT_TRUE(messages.empty());
  EXPECT_LT(NoiseOfColumns(out.get(), 170, 230), NoiseOfColumns(pic.get(), 170, 230) * 0.7);
  const gp::Color c = PixelAt(out.get(), 200, 60);
  EXPECT_TRUE(c.GetRed() == c.GetGreen() && c.GetGreen() == c.GetBlue());
}
