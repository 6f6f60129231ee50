// Reconstruction decisions against their tables: Mode sizing, buffer size, image code,
// plate size and rotation, gamma, filter parameters, correction record, demo files.
#include <gtest/gtest.h>

#include <cstring>

#include "acquisition/ReconstructionRules.h"
#include "imaging/Adjust.h"

using namespace orvaq::recon;

TEST(ReconRules, ModeTable) {
  struct Row { int mode; unsigned c; float r; };
  const Row rows[] = {{2, 1400, 15.0f}, {0, 2800, 20.0f}, {1, 2800, 40.0f}, {7, 2800, 80.0f},
                      {10, 2800, 80.0f}, {3, 2800, 80.0f}, {255, 2800, 80.0f}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const ModeSizing m = SizingForMode(rows[i].mode);
    EXPECT_EQ(m.samples, rows[i].c) << "row " << i;
    EXPECT_EQ(m.resolution, rows[i].r) << "row " << i;
  }
}

TEST(ReconRules, BufferFromFileLength) {
  struct Row { uint64_t length; int mode; uint16_t w, h; };
  const Row rows[] = {
      {36 + 100 * 5648, 0, 5600, 400},   // whole lines
      {36 + 100 * 5648 + 5611, 0, 5600, 400},  // a part line is dropped
      {36 + 100 * 5648 + 5612, 0, 5600, 404},  // the header counts in the length
      {36 + 10 * 2848, 2, 2800, 40},
      {35, 0, 5600, 0},
      {0, 1, 5600, 0},
      {5648ull * 20000, 10, 5600, 0xFFFF},  // 80000 rows would not fit 16 bits
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const BufferSizing b = SizeBufferForRaw(rows[i].length, rows[i].mode);
    EXPECT_EQ(b.width, rows[i].w) << "row " << i;
    EXPECT_EQ(b.height, rows[i].h) << "row " << i;
    EXPECT_EQ(b.Bytes(), size_t(rows[i].w) * rows[i].h) << "row " << i;
  }
}

TEST(ReconRules, ImageCodeDecoding) {
  struct Row { uint16_t code; float r; int t; bool mire; int plate; float rOut; };
  const Row rows[] = {
      {112, 20.0f, 1, true, 2, 20.0f * 1.94f},
      {2, 20.0f, 0, false, 2, 20.0f},
      {10, 15.0f, 0, true, 0, 15.0f * 1.94f},
      {9, 40.0f, 0, false, 9, 40.0f},
      {100, 40.0f, 1, false, 0, 40.0f},
      {213, 40.0f, 2, true, 3, 40.0f * 1.94f},
      {99, 20.0f, 0, true, 89, 20.0f * 1.94f},  // tens beyond one are the plate code's
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const ImageCodeInfo d = DecodeImageCode(rows[i].code, rows[i].r);
    EXPECT_EQ(d.sensorVariant, rows[i].t) << "row " << i;
    EXPECT_EQ(d.mire, rows[i].mire) << "row " << i;
    EXPECT_EQ(d.plateCode, rows[i].plate) << "row " << i;
    EXPECT_EQ(d.resolution, rows[i].rOut) << "row " << i;
  }
}

TEST(ReconRules, PlateSizeBoundaries) {
  // Sides in millimetres at R = 20 (40 pixels per mm); both orders give the same size.
  struct Row { int s, l, size; };
  const Row rows[] = {
      {22, 35, 0}, {20, 33, 0}, {24, 37, 0}, {19, 35, -1}, {20, 32, -1},
      {25, 37, -1},  // 25 is too wide for 0, 37 too short for 1
      {22, 38, 1}, {26, 42, 1}, {22, 37, 0}, {27, 40, -1},
      {31, 41, 2}, {29, 39, 2}, {33, 43, 2}, {33, 44, -1}, {34, 40, -1},
      {25, 50, 3}, {29, 58, 3}, {27, 54, 3}, {29, 59, -1}, {24, 54, -1},
      {0, 0, -1},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    EXPECT_EQ(PlateSizeFromImage(rows[i].s * 40, rows[i].l * 40, 20.0f), rows[i].size) << "row " << i;
    EXPECT_EQ(PlateSizeFromImage(rows[i].l * 40, rows[i].s * 40, 20.0f), rows[i].size) << "row " << i;
  }
  // Truncation: 22.99 mm is 22.
  EXPECT_EQ(PlateSizeFromImage(919, 1400, 20.0f), 0);
  EXPECT_EQ(PlateSizeFromImage(880, 1400, 0.0f), -1);
}

TEST(ReconRules, RotationOfSizesTwoAndThree) {
  const bool expected[] = {false, false, true, true};
  for (int size = 0; size < 4; ++size) EXPECT_EQ(IsRotatedPlateSize(size), expected[size]) << "size " << size;
  EXPECT_FALSE(IsRotatedPlateSize(-1));
}

TEST(ReconRules, GammaFromAcqGamma) {
  struct Row { int g, G; };
  const Row rows[] = {{-30, 80}, {50, 200}, {0, 100}, {-100, 34}, {100, 300}, {-1, 100}, {-2, 99}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    EXPECT_EQ(orvaq::imaging::GammaFromSetting(rows[i].g), rows[i].G) << "row " << i;
}

TEST(ReconRules, FilterParameters) {
  ImageCodeInfo code;
  code.sensorVariant = 1;
  code.mire = true;
  code.plateCode = 2;
  struct Row { int f; uint16_t it; double strength; uint16_t strong; };
  const Row rows[] = {{99, 5, 0.4, 0}, {100, 50, 0.22, 1}, {0, 5, 0.4, 0}, {150, 50, 0.27, 1}, {-5, 5, 0.4, 0}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const FilterParams p = MakeFilterParams(rows[i].f, code);
    EXPECT_EQ(p.iterations, rows[i].it) << "row " << i;
    EXPECT_DOUBLE_EQ(p.strength, rows[i].strength) << "row " << i;
    EXPECT_EQ(p.strong, rows[i].strong) << "row " << i;
    EXPECT_EQ(p.reserved, 0) << "row " << i;
    EXPECT_EQ(p.imageCode, 112) << "row " << i;
  }
  EXPECT_EQ(MakeFilterParams(0, ImageCodeInfo{0, false, 3, 20.0f}).imageCode, 3);
}

TEST(ReconRules, CorrectionParamsFromSettings) {
  CorrectionSettings s;
  s.horizontalCorrection = false;
  s.horizontalCorrectionFactor = 0.016;
  s.horizontalCorrectionType = 2;
  s.horizontalEpsilonCorrection = 0.1;
  s.horizontalOffsetCorrection = 7;
  s.storeIntermediateImages = true;
  s.valeurEtirement = 56000;
  s.ignoreMire = true;
  uint8_t work[1024];
  char folder[] = "C:\\images\\LASTACQP2";
  CorrectionParams p;
  std::memset(&p, 0xAB, sizeof p);
  FillCorrectionParams(s, 1, work, folder, p);
  EXPECT_EQ(p.version, 4u);
  EXPECT_EQ(p.pWorkBuffer, work);
  EXPECT_EQ(p.nWorkBufferSize, 1024u);
  EXPECT_EQ(p.HorizontalCorrection, 0u);
  EXPECT_DOUBLE_EQ(p.HorizontalCorrectionFactor, 0.016);
  EXPECT_EQ(p.HorizontalCorrectionType, 2);
  EXPECT_FLOAT_EQ(p.HorizontalEpsilonCorrection, 0.1f);
  EXPECT_EQ(p.HorizontalOffsetCorrection, 7);
  EXPECT_EQ(p.reserved1, 0u);
  EXPECT_EQ(p.ImageCode, 1);
  EXPECT_EQ(p.StoreIntermediateImages, 1u);
  EXPECT_EQ(p.pIntermediateFolder, folder);
  EXPECT_EQ(p.reserved2, 0u);
  EXPECT_EQ(p.ValeurEtirement, 56000u);
  EXPECT_EQ(p.IgnoreMire, 1u);

  CorrectionSettings defaults;
  FillCorrectionParams(defaults, 2, work, folder, p);
  EXPECT_EQ(p.HorizontalCorrection, 1u);
  EXPECT_EQ(p.StoreIntermediateImages, 0u);
  EXPECT_EQ(p.pIntermediateFolder, nullptr);
  EXPECT_EQ(p.ValeurEtirement, 57000u);
  EXPECT_EQ(p.IgnoreMire, 0u);
}

TEST(ReconRules, ResolutionUnits) {
  EXPECT_EQ(PixelsPerMetre(20.0f), 40000);
  EXPECT_EQ(PixelsPerMetre(15.0f), 30000);
  EXPECT_EQ(PixelsPerMetre(80.0f), 160000);
  EXPECT_FLOAT_EQ(DotsPerInch(15.0f), 762.0f);
  EXPECT_FLOAT_EQ(DotsPerInch(20.0f), 1016.0f);
  EXPECT_DOUBLE_EQ(PixelPitchMicrons(40.0f), 12.5);
}

TEST(ReconRules, DemoFileChoice) {
  struct Row { int useT4, quality; bool s1, s2, s3; const wchar_t* name; };
  const Row rows[] = {
      {0, 0, false, false, false, L"rawimage_0.bin"},
      {0, 10, true, true, true, L"rawimage_10.bin"},
      {0, 2, false, false, false, L"rawimage_2.bin"},
      {1, 0, false, false, false, L"rawimageT4_1.bin"},
      {2, 0, true, false, false, L"rawimageT4_2.bin"},
      {2, 0, true, true, true, L"rawimageT4_1.bin"},
      {1, 0, true, true, false, L"rawimageT4_1.bin"},
      {2, 0, true, true, false, L"rawimageT4_3.bin"},
      {2, 0, false, true, true, L"rawimageT4_1.bin"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const bool slots[3] = {rows[i].s1, rows[i].s2, rows[i].s3};
    EXPECT_EQ(DemoFileName(rows[i].useT4, rows[i].quality, slots), rows[i].name) << "row " << i;
  }
}
