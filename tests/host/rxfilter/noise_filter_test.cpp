// The reference library's noise filter: lowers the noise of a simulated plate against its
// noise-free reconstruction, keeps a step edge within two pixels, refuses bad records.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "rxfilter/Correction.h"
#include "rxfilter/NoiseFilter.h"
#include "rxfilter/RXFilter.h"
#include "rxfilter/RawReader.h"
#include "simulator/Plates.h"

namespace {

std::vector<uint8_t> Reconstruct8(double noise, int& w, int& h) {
  orvaq::sim::PlateOrder plateOrder;
  plateOrder.size = 1;
  plateOrder.mode = 2;
  plateOrder.noise = noise;
  plateOrder.wantIdeal = false;
  orvaq::sim::Plate p;
  EXPECT_TRUE(orvaq::sim::BuildPlate(plateOrder, p));
  orvaq::rxf::RawScan scan;
  EXPECT_EQ(orvaq::rxf::ReadRaw(p.raw.data(), p.raw.size(), scan), orvaq::rxf::RawError::None);
  orvaq::rxf::PlateImage img;
  EXPECT_TRUE(orvaq::rxf::Reconstruct(scan, orvaq::rxf::CorrectionSettings(), img));
  w = img.width;
  h = img.height;
  std::vector<uint8_t> px(img.pixels.size());
  orvaq::rxf::HighBytes(img.pixels.data(), px.size(), px.data());
  return px;
}

double Rms(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  double s = 0;
  for (size_t i = 0; i < a.size(); ++i) s += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
  return std::sqrt(s / double(a.size()));
}

}  // namespace

TEST(RXFilterNoise, LowersTheNoiseOfASimulatedPlate) {
  int w, h, w2, h2;
  const std::vector<uint8_t> clean = Reconstruct8(0, w, h);
  std::vector<uint8_t> noisy = Reconstruct8(3.0, w2, h2);
  ASSERT_EQ(w, w2);
  ASSERT_EQ(h, h2);
  const double before = Rms(noisy, clean);
  FilterImage fi{w, h, w, 8, 1, noisy.data()};
  FilterParams fp{};
  fp.iterations = 50;
  fp.strength = 0.27;
  fp.strong = 1;
  fp.imageCode = 1;
  ASSERT_NE(ApplyLUMEQ2FilterX0X3(&fi, &fp, 0), 0);
  const double after = Rms(noisy, clean);
  EXPECT_GT(before, 1.0);
  EXPECT_LT(after, before * 0.7) << before << " -> " << after;
}

// A vertical step 60 -> 190 with noise: flat parts get quieter, the 10..90 % rise stays
// within two pixels.
TEST(RXFilterNoise, KeepsAStepEdge) {
  const int w = 200, h = 120;
  std::vector<uint16_t> px(size_t(w) * h);
  std::mt19937 rng(7);
  std::normal_distribution<double> n(0, 6 * 256);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) px[size_t(y) * w + x] = uint16_t(std::clamp((x < 100 ? 60 : 190) * 256 + n(rng), 0.0, 65535.0));
  auto flatStd = [&] {
    double s = 0, q = 0; int m = 0;
    for (int y = 10; y < h - 10; ++y) for (int x = 10; x < 80; ++x) { double v = px[size_t(y) * w + x]; s += v; q += v * v; ++m; }
    return std::sqrt(q / m - (s / m) * (s / m));
  };
  const double before = flatStd();
  orvaq::rxf::NoiseFilterParams p;
  p.iterations = 50;
  p.strength = 0.27;
  p.strong = true;
  ASSERT_TRUE(orvaq::rxf::FilterNoise(px.data(), w, h, w * 2, 16, p));
  EXPECT_LT(flatStd(), before / 2);
  // Mean profile across the edge.
  std::vector<double> prof(w, 0);
  for (int y = 10; y < h - 10; ++y) for (int x = 0; x < w; ++x) prof[x] += px[size_t(y) * w + x] / double(h - 20);
  const double lo = prof[90], hi = prof[110];
  int x10 = 0, x90 = 0;
  for (int x = 90; x < 110; ++x) {
    if (prof[x] < lo + 0.1 * (hi - lo)) x10 = x;
    if (prof[x] < lo + 0.9 * (hi - lo)) x90 = x;
  }
  EXPECT_LE(x90 - x10, 2) << x10 << " " << x90;
}

TEST(RXFilterNoise, RefusesUnusableRecords) {
  std::vector<uint8_t> px(100, 7);
  FilterParams fp{};
  fp.iterations = 5;
  fp.strength = 0.4;
  struct Row { FilterImage fi; } rows[] = {
      {{10, 10, 10, 8, 1, nullptr}}, {{10, 10, 9, 8, 1, px.data()}}, {{10, 10, 10, 12, 1, px.data()}},
      {{-1, 10, 10, 8, 1, px.data()}}, {{10, 10, 10, 8, 3, px.data()}}, {{5, 10, 10, 16, 1, px.data()}},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const int expected = i == 5 ? 1 : 0;  // 5 x 10 at 16 bits fits in 10-byte rows
    EXPECT_EQ(ApplyLUMEQ2FilterX0X3(&rows[i].fi, &fp, 0), expected) << "row " << i;
  }
  EXPECT_EQ(ApplyLUMEQ2FilterX0X3(nullptr, &fp, 0), 0);
}
