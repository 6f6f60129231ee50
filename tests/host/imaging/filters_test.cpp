// Image filters: each fast filter against the literal definition on random pictures
// (grey and colour), the Gaussian tables, borders, grey staying grey, and the rules of
// the display filter and of the filter choice.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "imaging/Filters.h"

using namespace orvaq::imaging;

namespace {

// Picture contents: smooth ramps with noise and a few saturated spots, random bytes
// drawn mostly from the extremes 0 and 255, or one value everywhere.
enum Content { kRamp, kExtremes, kAllZero, kAll255 };

struct Pic {
  int w, h;
  ptrdiff_t stride;
  std::vector<uint8_t> px;
  Pic(int w_, int h_, bool grey, uint32_t seed, Content content = kRamp)
      : w(w_), h(h_), stride((w_ * 3 + 3) & ~3), px(size_t(stride) * h_, 0xA5) {  // padding must stay 0xA5
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint8_t* p = &px[size_t(y) * stride + 3 * x];
        const int base = (x * 255 / w + y * 128 / h) % 256;
        for (int c = 0; c < 3; ++c) {
          switch (content) {
            case kRamp: p[c] = uint8_t(std::clamp(base + int(rng() % 61) - 30 + (rng() % 50 == 0 ? 200 : 0), 0, 255)); break;
            case kExtremes: { const uint32_t r = rng() % 8; p[c] = r < 3 ? 0 : r < 6 ? 255 : uint8_t(rng()); break; }
            case kAllZero: p[c] = 0; break;
            case kAll255: p[c] = 255; break;
          }
        }
        if (grey) p[1] = p[2] = p[0];
      }
  }
  PictureView View() { return PictureView{px.data(), w, h, stride}; }
  uint8_t* At(int x, int y) { return &px[size_t(y) * stride + 3 * x]; }
};

// The neighbourhood filters written from their definitions: every channel of every
// interior pixel from a copy of the picture, one window at a time.
template <class Op>
void LiteralFilter(Pic& p, int n, Op op) {
  const int r = n / 2;
  Pic src = p;
  for (int y = r; y < p.h - r; ++y)
    for (int x = r; x < p.w - r; ++x)
      for (int c = 0; c < 3; ++c)
        p.At(x, y)[c] = uint8_t(op([&](int dx, int dy) { return int(src.At(x + dx, y + dy)[c]); }));
}
int Clamped(int v) { return std::clamp(v, 0, 255); }
void LiteralBox(Pic& p, int n) {
  LiteralFilter(p, n, [n](auto at) {
    int sum = 0;
    for (int dy = -n / 2; dy <= n / 2; ++dy)
      for (int dx = -n / 2; dx <= n / 2; ++dx) sum += at(dx, dy);
    return Clamped(2 * at(0, 0) - sum / (n * n));
  });
}
void LiteralMedian(Pic& p) {
  LiteralFilter(p, 3, [](auto at) {
    int v[9], k = 0;
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) v[k++] = at(dx, dy);
    std::sort(v, v + 9);
    return v[4];
  });
}
void LiteralGauss17(Pic& p) {
  LiteralFilter(p, 17, [](auto at) {
    int s5 = 0, s17 = 0;
    for (int dy = -8; dy <= 8; ++dy)
      for (int dx = -8; dx <= 8; ++dx) {
        s17 += GaussTable17()[(dy + 8) * 17 + dx + 8] * at(dx, dy);
        if (std::abs(dx) <= 2 && std::abs(dy) <= 2) s5 += GaussTable5()[(dy + 2) * 5 + dx + 2] * at(dx, dy);
      }
    const int c = at(0, 0), b5 = std::min(255, s5 / kGaussDivisor5), b17 = std::min(255, s17 / kGaussDivisor17);
    return Clamped(c + 2 * (c - b5) + 4 * (c - b17));
  });
}

// The literal GaussianUnsharp pass, written from its definition with plain loops.
void LiteralGaussianPass(Pic& p, double sigma, double strength, double gamma) {
  const int w = p.w, h = p.h;
  auto at = [&](int x, int y) -> uint8_t* { return &p.px[size_t(y) * p.stride + 3 * x]; };
  if (sigma != 0) {
    const double s = 0.8 * sigma;
    auto weights = [&](int L) {
      const int longest = std::max(L, 50);
      const int n = std::min(longest, int(std::ceil(s * std::sqrt(-2 * std::log(0.01)))) + 1);
      std::vector<double> wt(n);
      double sum = 0;
      for (int i = 0; i < n; ++i) wt[i] = std::exp(-double(i) * i / (2 * s * s));
      sum = wt[0];
      for (int i = 1; i < n; ++i) sum += 2 * wt[i];
      if (n == longest) sum = s * std::sqrt(2 * 3.14159265358979323846);
      for (int i = 0; i < n; ++i) wt[i] /= sum;
      return wt;
    };
    auto blur = [](const std::vector<double>& line, const std::vector<double>& wt) {
      const int n = int(wt.size()), L = int(line.size());
      std::vector<double> ext;
      for (int k = 0; k < n; ++k) ext.push_back(line[0]);
      for (double v : line) ext.push_back(v);
      for (int k = 0; k < n; ++k) ext.push_back(line[L - 1]);
      std::vector<double> out(L);
      for (int j = 0; j < L; ++j) {
        double v = wt[0] * ext[n + j];
        for (int i = 1; i < n; ++i) v += wt[i] * (ext[n + j - i] + ext[n + j + i]);
        out[j] = v;
      }
      return out;
    };
    std::vector<std::vector<double>> plane(h, std::vector<double>(w));
    for (int y = 0; y < h; ++y) for (int x = 0; x < w; ++x) plane[y][x] = at(x, y)[0];
    std::vector<std::vector<double>> rows(h);
    for (int y = 0; y < h; ++y) rows[y] = blur(plane[y], weights(w));
    std::vector<std::vector<double>> blurred(h, std::vector<double>(w));
    for (int x = 0; x < w; ++x) {
      std::vector<double> col(h);
      for (int y = 0; y < h; ++y) col[y] = rows[y][x];
      col = blur(col, weights(h));
      for (int y = 0; y < h; ++y) blurred[y][x] = col[y];
    }
    std::vector<std::vector<int>> b(h, std::vector<int>(w));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        double v = std::trunc((plane[y][x] - strength * blurred[y][x]) / (1 - strength));
        b[y][x] = int(std::clamp(v, 0.0, 255.0));
      }
    auto med = b;
    for (int y = 1; y < h - 1; ++y)
      for (int x = 1; x < w - 1; ++x) {
        std::vector<int> v;
        for (int dy = -1; dy <= 1; ++dy) for (int dx = -1; dx <= 1; ++dx) v.push_back(b[y + dy][x + dx]);
        std::sort(v.begin(), v.end());
        med[y][x] = v[4];
      }
    auto mean = med;
    for (int y = 2; y < h - 2; ++y)
      for (int x = 2; x < w - 2; ++x) {
        int sum = 0;
        for (int dy = -2; dy <= 2; ++dy) for (int dx = -2; dx <= 2; ++dx) sum += med[y + dy][x + dx];
        mean[y][x] = sum / 25;
      }
    for (int y = 0; y < h; ++y) for (int x = 0; x < w; ++x) at(x, y)[0] = at(x, y)[1] = at(x, y)[2] = uint8_t(mean[y][x]);
  }
  if (gamma != 1 && gamma > 0) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const double v = std::floor(255 * std::pow(at(x, y)[0] / 255.0, gamma));
        at(x, y)[0] = at(x, y)[1] = at(x, y)[2] = uint8_t(std::clamp(v, 0.0, 255.0));
      }
  }
}

struct Shape { int w, h; bool grey; };
const Shape kShapes[] = {{61, 47, true}, {61, 47, false}, {18, 18, false}, {5, 90, true}, {120, 33, false}};

}  // namespace

TEST(Filters, GaussianTables) {
  const int* t5 = GaussTable5();
  const int* t17 = GaussTable17();
  int s5 = 0, s17 = 0;
  for (int i = 0; i < 25; ++i) s5 += t5[i];
  for (int i = 0; i < 289; ++i) s17 += t17[i];
  EXPECT_EQ(s5, kGaussDivisor5);
  EXPECT_EQ(s17, kGaussDivisor17);
  EXPECT_EQ(t5[12], 1000);
  EXPECT_EQ(t5[0], 18);
  EXPECT_EQ(t17[8 * 17 + 8], 1000);
  EXPECT_EQ(t17[0], 18);
}

// Each fast filter against its literal definition, byte for byte (borders and row
// padding included): every width 1..20 with heights 1..5, sizes around the 17 x 17
// window, and wider rows that cross the filters' inner blocks, grey and colour.
TEST(Filters, FastFiltersMatchLiteral) {
  struct Kernel {
    const char* name;
    void (*fast)(const PictureView&);
    void (*literal)(Pic&);
  } kernels[] = {
      {"box3", [](const PictureView& v) { BoxUnsharp(v, 3); }, [](Pic& p) { LiteralBox(p, 3); }},
      {"box7", [](const PictureView& v) { BoxUnsharp(v, 7); }, [](Pic& p) { LiteralBox(p, 7); }},
      {"box49", [](const PictureView& v) { BoxUnsharp(v, 49); }, [](Pic& p) { LiteralBox(p, 49); }},
      {"median", Median3, LiteralMedian},
      {"gauss17", GaussUnsharp17, LiteralGauss17},
      {"median+gauss17", MedianGaussianUnsharp, [](Pic& p) { LiteralMedian(p); LiteralGauss17(p); }},
  };
  struct Case { int w, h; Content content; };
  std::vector<Case> cases;
  for (int w = 1; w <= 20; ++w)
    for (int h = 1; h <= 5; ++h) cases.push_back({w, h, (w + h) % 2 ? kExtremes : kRamp});
  for (int w = 16; w <= 19; ++w)
    for (int h = 16; h <= 18; ++h) cases.push_back({w, h, (w + h) % 2 ? kExtremes : kRamp});
  const Case wide[] = {{61, 47, kRamp},   {120, 61, kExtremes}, {5, 90, kRamp},     {51, 53, kExtremes},
                       {301, 21, kRamp},  {701, 19, kExtremes}, {40, 30, kAllZero}, {40, 30, kAll255}};
  cases.insert(cases.end(), std::begin(wide), std::end(wide));
  int row = 0;
  for (const Case& c : cases)
    for (bool grey : {true, false})
      for (const Kernel& k : kernels) {
        Pic fast(c.w, c.h, grey, 1000 + row, c.content), literal = fast;
        k.fast(fast.View());
        k.literal(literal);
        ASSERT_EQ(fast.px, literal.px) << "row " << row << ": " << k.name << " " << c.w << "x" << c.h
                                       << (grey ? " grey" : " colour") << " content " << c.content;
        ++row;
      }
}

// The public literal form (one operation call per pixel) agrees with the definitions.
TEST(Filters, NeighbourhoodOperationsMatchLiteral) {
  int row = 0;
  for (bool grey : {true, false})
    for (Content content : {kRamp, kExtremes}) {
      Pic a(37, 29, grey, 50 + row, content), b = a;
      int n = 7;
      ApplyNeighbourhood(a.View(), n, BoxUnsharpOp, &n);
      LiteralBox(b, n);
      EXPECT_EQ(a.px, b.px) << "row " << row << " box";
      ApplyNeighbourhood(a.View(), 3, MedianOp3, nullptr);
      LiteralMedian(b);
      EXPECT_EQ(a.px, b.px) << "row " << row << " median";
      ApplyNeighbourhood(a.View(), 17, GaussUnsharpOp17, nullptr);
      LiteralGauss17(b);
      EXPECT_EQ(a.px, b.px) << "row " << row << " gauss17";
      ++row;
    }
}

TEST(Filters, BoxUnsharpRefusesSizes) {
  Pic a(20, 20, true, 1);
  for (int n : {4, 51, 1, 2, 0, -3}) EXPECT_FALSE(BoxUnsharp(a.View(), n)) << n;
}

TEST(Filters, GreyStaysGrey) {
  Pic a(70, 50, true, 9);
  MedianGaussianUnsharp(a.View());
  EXPECT_TRUE(IsGreyPicture(a.View()));
  Pic c(70, 50, true, 10);
  ASSERT_TRUE(GaussianUnsharp(c.View(), 50, 3));
  EXPECT_TRUE(IsGreyPicture(c.View()));
}

TEST(Filters, GaussianUnsharpMatchesLiteral) {
  struct Row { int amount, type; } rows[] = {{33, 1}, {60, 2}, {93, 3}};
  const Shape small[] = {{1, 1, true}, {2, 5, false}, {3, 3, true}, {4, 7, false}, {20, 5, true}, {7, 2, false}};
  std::vector<Shape> shapes(std::begin(kShapes), std::end(kShapes));
  shapes.insert(shapes.end(), std::begin(small), std::end(small));
  int i = 0;
  for (const Shape& s : shapes)
    for (const Row& r : rows) {
      Pic a(s.w, s.h, s.grey, 200 + i, i % 2 ? kExtremes : kRamp), b = a;
      ASSERT_TRUE(GaussianUnsharp(a.View(), r.amount, r.type)) << "row " << i;
      LiteralGaussianPass(b, 10, r.amount / 100.0, 1.0);
      if (r.type == 2) LiteralGaussianPass(b, 0, 0, 1.7);
      if (r.type == 3) LiteralGaussianPass(b, 0, 0, 2.6);
      EXPECT_EQ(a.px, b.px) << "row " << i;
      ++i;
    }
  Pic a(10, 10, true, 1);
  EXPECT_FALSE(GaussianUnsharp(a.View(), 32, 1));
  EXPECT_FALSE(GaussianUnsharp(a.View(), 94, 1));
  EXPECT_FALSE(GaussianUnsharp(a.View(), 50, 0));
  EXPECT_FALSE(GaussianUnsharp(a.View(), 50, 4));
}

TEST(Filters, DisplayFilterImageCodeRows) {
  struct Row { int w, h, code; } rows[] = {
      {1200, 810, 12},   // ratio 1.48 -> (32, 38); 27, 20, 13.9: none
      {1100, 1750, 0},   // ratio 1.59 -> (32, 38); 1100 / 30 = 36
      {880, 1400, 12},   // (32, 38); 29, 22, 15.1: none
      {1080, 2160, 12},  // ratio 2 -> (50, 58); 36, 27, 18.6: none
      {1600, 1600, 2},   // ratio 1 -> (38, 44); 53; 1600 / 40 = 40
      {2400, 2400, 10},  // (38, 44); 80, 60; 2400 / 58.2 = 41.2
      {1240, 2040, 0},   // ratio 1.645 -> (37, 43); 1240 / 30 = 41
      {0, 10, 12},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    EXPECT_EQ(DisplayFilterImageCode(rows[i].w, rows[i].h), rows[i].code) << "row " << i;
}

TEST(Filters, DisplayFilterSettingsRows) {
  struct Row { int level, iterations; double strength; int strong; } rows[] = {
      {150, 50, 0.27, 1}, {100, 50, 0.22, 1}, {99, 5, 0.4, 0}, {-120, 5, 0.4, 0}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const DisplayFilterSettings s = DisplayFilterFor(rows[i].level);
    EXPECT_EQ(s.iterations, rows[i].iterations) << "row " << i;
    EXPECT_DOUBLE_EQ(s.strength, rows[i].strength) << "row " << i;
    EXPECT_EQ(s.strong, rows[i].strong) << "row " << i;
  }
}

TEST(Filters, FilterChoiceByProgramName) {
  struct Row { const wchar_t* path; ModuleFilter f; } rows[] = {
      {L"C:\\Program Files\\Orvaq\\Orvaq.exe", ModuleFilter::Display},
      {L"orvaq.EXE", ModuleFilter::Display},
      {L"Z:\\x\\TAVIN1W.exe", ModuleFilter::Box},
      {L"selku1w.exe", ModuleFilter::MedianGaussian},
      {L"SELKW1W", ModuleFilter::MedianGaussian},
      {L"Selk2W.exe", ModuleFilter::Gaussian},
      {L"OrvaqRbld2.exe", ModuleFilter::None},
      {L"C:\\a.b\\tool", ModuleFilter::None},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    EXPECT_EQ(FilterForProgram(ProgramBaseName(rows[i].path)), rows[i].f) << "row " << i;
}

TEST(Filters, ArgumentMapping) {
  struct Row { int value, size; } rows[] = {{4, 3}, {60, 49}, {3, 3}, {2, 3}, {0, 3}, {49, 49}, {50, 49}, {21, 21}, {22, 21}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) EXPECT_EQ(BoxSizeFromValue(rows[i].value), rows[i].size) << "row " << i;
  EXPECT_EQ(GaussianAmountFromValue(10), 33);
  EXPECT_EQ(GaussianAmountFromValue(100), 93);
  EXPECT_EQ(GaussianTypeFromLevel(-1), 0);
  EXPECT_EQ(GaussianTypeFromLevel(7), 3);
}
