// Tests of the simulated plates: file layout and geometry for every size and Mode, the
// ideal image's relation to the raw samples, determinism, and the faulted files.
#include "simulator/Plates.h"

#include <gtest/gtest.h>

#include "common/RawFormat.h"

namespace orvaq {
namespace sim {
namespace {

uint16_t Word(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }
uint32_t Dword(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(Word(b, at)) | (uint32_t(Word(b, at + 2)) << 16);
}
uint16_t Sample(const Plate& p, unsigned line, unsigned s) {
  return Word(p.raw, raw::kHeaderSize + size_t(line) * p.lineSize + raw::kSamplesOffset + 2 * s);
}

struct GeometryRow {
  int size;
  unsigned mode;
  unsigned lineSize;
  int idealW, idealH;  // shorter side x 2R, longer side x 2R
};

const GeometryRow kGeometry[] = {
    {0, 0, 5648, 880, 1400},   {0, 1, 5648, 1760, 2800}, {0, 2, 2848, 660, 1050},  {0, 10, 5648, 3520, 5600},
    {1, 0, 5648, 960, 1600},   {1, 1, 5648, 1920, 3200}, {1, 2, 2848, 720, 1200},  {1, 10, 5648, 3840, 6400},
    {2, 0, 5648, 1240, 1640},  {2, 1, 5648, 2480, 3280}, {2, 2, 2848, 930, 1230},  {2, 10, 5648, 4960, 6560},
    {3, 0, 5648, 1080, 2160},  {3, 1, 5648, 2160, 4320}, {3, 2, 2848, 810, 1620},  {3, 10, 5648, 4320, 8640},
};

TEST(SimPlates, EverySizeAndModePassesTheLayoutRules) {
  for (size_t i = 0; i < sizeof(kGeometry) / sizeof(kGeometry[0]); ++i) {
    const GeometryRow& row = kGeometry[i];
    SCOPED_TRACE("row " + std::to_string(i));
    PlateOrder plateOrder;
    plateOrder.size = row.size;
    plateOrder.mode = row.mode;
    plateOrder.seed = 7 + unsigned(i);
    Plate p;
    ASSERT_TRUE(BuildPlate(plateOrder, p));
    EXPECT_EQ(p.lineSize, row.lineSize);
    EXPECT_EQ(p.raw.size(), raw::kHeaderSize + size_t(p.lineCount) * p.lineSize);
    EXPECT_EQ(p.ideal.width, row.idealW);
    EXPECT_EQ(p.ideal.height, row.idealH);
    EXPECT_EQ(p.raw[raw::kOffMode], row.mode);
    EXPECT_EQ(p.raw[raw::kOffPlateCode], row.size);
    EXPECT_EQ(Word(p.raw, raw::kOffSignature), raw::kSignature);
    EXPECT_EQ(Word(p.raw, raw::kOffSamples), raw::SamplesForMode(row.mode));
    EXPECT_EQ(Dword(p.raw, raw::kOffLineCount), p.lineCount);
    // The plate lies inside the scanned area with dark margins on every side.
    EXPECT_GT(p.plateFirstSample, 0u);
    EXPECT_LT(p.plateFirstSample + p.plateSamples, p.samplesPerLine);
    EXPECT_EQ(p.lineCount, p.plateLines + 2 * p.plateFirstLine);
    std::string why;
    EXPECT_TRUE(CheckRawLayout(p.raw.data(), p.raw.size(), &why)) << why;
    // Line numbers and the previous-line words, first and last records.
    size_t first = raw::kHeaderSize, last = raw::kHeaderSize + size_t(p.lineCount - 1) * p.lineSize;
    EXPECT_EQ(Word(p.raw, first), 0);
    EXPECT_EQ(Word(p.raw, first + p.lineSize - 32), 0xFFFF);
    EXPECT_EQ(Word(p.raw, last), p.lineCount - 1);
    EXPECT_EQ(Word(p.raw, last + p.lineSize - 32), p.lineCount - 2);
    // A middle line: its encoder position and the sum of its samples.
    unsigned k = p.lineCount / 2;
    size_t rec = raw::kHeaderSize + size_t(k) * p.lineSize;
    uint32_t sum = 0;
    for (unsigned s = 0; s < p.samplesPerLine; ++s) sum += Sample(p, k, s);
    EXPECT_EQ(Dword(p.raw, rec + p.lineSize - 28), sum);
    EXPECT_NEAR(double(Dword(p.raw, rec + 4)), k * 1000.0 / p.resolution, 0.5);
  }
}

TEST(SimPlates, NoiseFreeSamplesAreTheMeanOfTheirIdealPixels) {
  PlateOrder plateOrder;
  plateOrder.size = 0;
  plateOrder.mode = 0;
  plateOrder.noise = 0;
  Plate p;
  ASSERT_TRUE(BuildPlate(plateOrder, p));
  const unsigned probes[][2] = {{0, 0}, {10, 3}, {p.plateLines / 2, p.plateSamples / 2}, {p.plateLines - 1, p.plateSamples - 1}};
  for (size_t i = 0; i < 4; ++i) {
    unsigned pl = probes[i][0], ps = probes[i][1];
    double mean = (double(p.ideal.At(2 * ps, 2 * pl)) + p.ideal.At(2 * ps + 1, 2 * pl) +
                   p.ideal.At(2 * ps, 2 * pl + 1) + p.ideal.At(2 * ps + 1, 2 * pl + 1)) / 4;
    EXPECT_NEAR(Sample(p, p.plateFirstLine + pl, p.plateFirstSample + ps), mean, 0.5) << "probe " << i;
  }
  // Off the plate: the dark level, before it along the line and in the margin lines.
  EXPECT_EQ(Sample(p, p.plateFirstLine + 5, 0), kDarkLevel);
  EXPECT_EQ(Sample(p, 0, p.samplesPerLine / 2), kDarkLevel);
  EXPECT_EQ(Sample(p, p.lineCount - 1, p.samplesPerLine / 2), kDarkLevel);
}

TEST(SimPlates, PhantomHasItsLandmarks) {
  PlateOrder plateOrder;
  plateOrder.size = 2;
  plateOrder.mode = 0;
  Plate p;
  ASSERT_TRUE(BuildPlate(plateOrder, p));
  const Image16& im = p.ideal;
  double pxmm = 2 * p.resolution;
  // Orientation disc at (3, 3) mm: the least exposed spot; the opposite corner is not.
  uint16_t disc = im.At(int(3 * pxmm), int(3 * pxmm));
  EXPECT_LT(disc, im.At(im.width - int(3 * pxmm), int(3 * pxmm)));
  EXPECT_LT(disc, im.At(int(3 * pxmm), im.height - int(3 * pxmm)));
  // Step wedge: exposure rises step by step from left to right.
  int wy = int(0.835 * im.height);
  uint16_t prev = 0;
  for (int k = 0; k < 8; ++k) {
    int x = int((0.06 + 0.88 * (k + 0.5) / 8) * im.width);
    EXPECT_GT(im.At(x, wy), prev) << "step " << k;
    prev = im.At(x, wy);
  }
  // Teeth absorb: the middle of the first crown reads less than open field.
  EXPECT_LT(im.At(im.width / 4, int(0.16 * im.height)), im.At(im.width / 2, int(0.03 * im.height)));
  // Fine lines alternate within the first group (0.5 lp/mm: 1 mm per bar).
  int ly = int(0.93 * im.height), gx = int((0.06 + 0.88 * 0.5 / 6) * im.width);
  EXPECT_NE(im.At(gx, ly), im.At(gx + int(pxmm), ly));
}

TEST(SimPlates, SameSeedSameBytesOtherSeedOtherNoise) {
  PlateOrder plateOrder;
  plateOrder.size = 0;
  plateOrder.mode = 2;
  plateOrder.seed = 42;
  Plate a, b, c;
  ASSERT_TRUE(BuildPlate(plateOrder, a));
  ASSERT_TRUE(BuildPlate(plateOrder, b));
  plateOrder.seed = 43;
  ASSERT_TRUE(BuildPlate(plateOrder, c));
  EXPECT_EQ(a.raw, b.raw);
  EXPECT_NE(a.raw, c.raw);
  EXPECT_EQ(a.ideal.pixels, c.ideal.pixels);
}

TEST(SimPlates, EmptyPlateReadsTheBaseLevel) {
  PlateOrder plateOrder;
  plateOrder.kind = PlateKind::Empty;
  plateOrder.noise = 0;
  Plate p;
  ASSERT_TRUE(BuildPlate(plateOrder, p));
  for (uint16_t v : p.ideal.pixels) ASSERT_EQ(v, kPlateBase);
  EXPECT_EQ(Sample(p, p.plateFirstLine + 3, p.plateFirstSample + 3), kPlateBase);
  EXPECT_EQ(p.raw[raw::kOffFlags], 0);
}

TEST(SimPlates, TestPatternAndPartsAreMarkedInTheHeader) {
  PlateOrder plateOrder;
  plateOrder.kind = PlateKind::TestPattern;
  plateOrder.mode = 10;
  plateOrder.sensorVariant = 1;
  plateOrder.wantIdeal = false;
  Plate p;
  ASSERT_TRUE(BuildPlate(plateOrder, p));
  EXPECT_EQ(p.raw[raw::kOffFlags], raw::kFlagTestPattern);
  EXPECT_EQ(p.raw[raw::kOffSensorVariant], 1);
  EXPECT_TRUE(p.ideal.pixels.empty());

  plateOrder = PlateOrder();
  plateOrder.kind = PlateKind::MultiPart;
  plateOrder.size = 3;
  plateOrder.partCount = 3;
  plateOrder.partNumber = 2;
  ASSERT_TRUE(BuildPlate(plateOrder, p));
  EXPECT_EQ(p.raw[raw::kOffFlags], raw::kFlagMultiPlatePart);
  EXPECT_EQ(p.raw[raw::kOffPartNumber], 2);
  EXPECT_EQ(p.raw[raw::kOffPartCount], 3);
  // The part shows its slice of the whole set.
  Image16 whole = MultiPlateIdeal(3, 3, 0);
  ASSERT_EQ(whole.width, 3 * p.ideal.width);
  ASSERT_EQ(whole.height, p.ideal.height);
  for (int y = 0; y < p.ideal.height; y += 37)
    for (int x = 0; x < p.ideal.width; x += 29)
      ASSERT_EQ(p.ideal.At(x, y), whole.At(p.ideal.width + x, y)) << x << "," << y;
}

TEST(SimPlates, RefusesWhatNoScannerMakes) {
  struct Row { int size; unsigned mode; PlateKind kind; int part, count; } rows[] = {
      {4, 0, PlateKind::Phantom, 0, 0},   {-1, 0, PlateKind::Phantom, 0, 0},
      {0, 3, PlateKind::Phantom, 0, 0},   {0, 11, PlateKind::Phantom, 0, 0},
      {0, 0, PlateKind::MultiPart, 3, 2}, {0, 0, PlateKind::MultiPart, 0, 2},
      {0, 0, PlateKind::MultiPart, 1, 4},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    PlateOrder plateOrder;
    plateOrder.size = rows[i].size;
    plateOrder.mode = rows[i].mode;
    plateOrder.kind = rows[i].kind;
    plateOrder.partNumber = rows[i].part;
    plateOrder.partCount = rows[i].count;
    Plate p;
    EXPECT_FALSE(BuildPlate(plateOrder, p)) << "row " << i;
    EXPECT_TRUE(p.raw.empty()) << "row " << i;
  }
}

TEST(SimPlates, FaultedFilesFailTheLayoutRules) {
  PlateOrder plateOrder;
  plateOrder.size = 0;
  plateOrder.mode = 2;
  Plate p;
  ASSERT_TRUE(BuildPlate(plateOrder, p));
  std::string why;

  std::vector<uint8_t> bad = p.raw;
  CorruptPreviousLineNumber(bad, p.lineSize, 100, 7);
  EXPECT_FALSE(CheckRawLayout(bad.data(), bad.size(), &why));
  EXPECT_NE(why.find("line 100"), std::string::npos) << why;

  bad = p.raw;
  CorruptPreviousLineNumber(bad, p.lineSize, 0, 0);  // first line must carry 0xFFFF
  EXPECT_FALSE(CheckRawLayout(bad.data(), bad.size(), &why));

  bad.assign(p.raw.begin(), p.raw.end() - 1000);  // truncated stream
  EXPECT_FALSE(CheckRawLayout(bad.data(), bad.size(), &why));

  bad = p.raw;
  bad.push_back(0);
  EXPECT_FALSE(CheckRawLayout(bad.data(), bad.size(), &why));

  bad = p.raw;
  bad[raw::kOffMode] = 0;  // Mode 0 expects 5648-byte lines
  EXPECT_FALSE(CheckRawLayout(bad.data(), bad.size(), &why));

  bad.assign(p.raw.begin(), p.raw.begin() + 36);
  EXPECT_FALSE(CheckRawLayout(bad.data(), bad.size(), &why));
  EXPECT_FALSE(CheckRawLayout(nullptr, 0, &why));
}

}  // namespace
}  // namespace sim
}  // namespace orvaq
