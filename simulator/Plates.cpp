// Simulated imaging plates: scene functions (phantom, test pattern), the ideal image at
// 2R px/mm, the raw line records sampled from it with a seeded noise generator, and the
// layout check shared by the simulator's tests.
#include "simulator/Plates.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/RawFormat.h"

namespace orvaq {
namespace sim {

namespace {

constexpr double kPi = 3.14159265358979323846;

// splitmix64: small, fast and identical on every compiler, unlike the standard
// distributions, so a seed gives the same file in the host and the Windows builds.
class NoiseSource {
 public:
  explicit NoiseSource(uint64_t seed) : m_nState(seed * 0x9E3779B97F4A7C15ull + 0x1234567ull) {}
  uint64_t Next() {
    uint64_t z = (m_nState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double Uniform() { return (static_cast<double>(Next() >> 11) + 0.5) / 9007199254740992.0; }
  // Standard normal deviate (Box-Muller; the second value is dropped for simplicity).
  double Normal() {
    double u1 = Uniform(), u2 = Uniform();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * kPi * u2);
  }
  // Fast deviates for tens of millions of samples: a table of normal deviates drawn
  // once, then picked at random (64 bits give four picks).
  double FastNormal() {
    if (m_Table.empty()) {
      m_Table.resize(8192);
      for (double& d : m_Table) d = Normal();
    }
    if (m_nPicksLeft == 0) { m_nBits = Next(); m_nPicksLeft = 4; }
    --m_nPicksLeft;
    double d = m_Table[m_nBits & 8191];
    m_nBits >>= 16;
    return d;
  }

 private:
  uint64_t m_nState;
  std::vector<double> m_Table;
  uint64_t m_nBits = 0;
  int m_nPicksLeft = 0;
};

void Put16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
void Put32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24);
}
uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

double Clamp01(double v) { return v < 0 ? 0 : v > 1 ? 1 : v; }

// One tooth of the phantom: a rounded crown with enamel, dentine and pulp, a tapering
// root with its canal. Transmissions multiply the exposure.
struct Tooth {
  double cx, crownTop, crownW, crownH, rootLen;
};

// Exposure (0..1) of the phantom scene of W x H mm at (x, y) mm, y from the top.
double PhantomExposure(double x, double y, double W, double H, const std::vector<Tooth>& teeth) {
  // Orientation disc in the top-left corner: nearly unexposed, so it shows brightest
  // and any flip or rotation of a reconstruction moves it.
  double dx = x - 3.0, dy = y - 3.0;
  if (dx * dx + dy * dy <= 1.5 * 1.5) return 0.03;

  // Step wedge: eight steps across a band near the bottom.
  double wedgeTop = 0.79 * H, wedgeBottom = 0.88 * H;
  double wedgeLeft = 0.06 * W, wedgeRight = 0.94 * W;
  if (y >= wedgeTop && y < wedgeBottom && x >= wedgeLeft && x < wedgeRight) {
    int step = static_cast<int>((x - wedgeLeft) / (wedgeRight - wedgeLeft) * 8.0);
    if (step > 7) step = 7;
    return 0.08 + 0.11 * step;
  }
  // Fine lines: groups of bars at 0.5, 1, 1.5, 2, 2.5 and 3 line pairs per mm.
  double barsTop = 0.90 * H, barsBottom = 0.97 * H;
  if (y >= barsTop && y < barsBottom && x >= wedgeLeft && x < wedgeRight) {
    int group = static_cast<int>((x - wedgeLeft) / (wedgeRight - wedgeLeft) * 6.0);
    if (group > 5) group = 5;
    double gx0 = wedgeLeft + group * (wedgeRight - wedgeLeft) / 6.0;
    double gw = (wedgeRight - wedgeLeft) / 6.0;
    if (x - gx0 < 0.12 * gw || x - gx0 > 0.88 * gw) return 0.85;  // gap between groups
    double lpPerMm = 0.5 * (group + 1);
    double phase = (x - gx0) * lpPerMm;
    return (phase - std::floor(phase)) < 0.5 ? 0.18 : 0.85;
  }

  // Open field with soft tissue towards the middle (gum and cheek).
  double e = 0.86;
  double t = (y - 0.12 * H) / (0.62 * H);
  if (t > 0 && t < 1) e -= 0.16 * std::sin(kPi * t);

  for (const Tooth& th : teeth) {
    double crownBottom = th.crownTop + th.crownH;
    if (y >= th.crownTop && y < crownBottom) {
      double u = (x - th.cx) / (th.crownW / 2), v = (y - (th.crownTop + th.crownH / 2)) / (th.crownH / 2);
      double r = u * u * u * u + v * v * v * v;
      if (r <= 1.0) {
        double trans = 0.42;  // enamel
        if (r <= 0.55) trans = 0.52;  // dentine
        double pu = (x - th.cx) / (th.crownW * 0.16), pv = (y - (th.crownTop + th.crownH * 0.62)) / (th.crownH * 0.3);
        if (pu * pu + pv * pv <= 1.0) trans = 0.72;  // pulp chamber
        e *= trans;
      }
    } else if (y >= crownBottom && y < crownBottom + th.rootLen) {
      double s = (y - crownBottom) / th.rootLen;
      double half = th.crownW * 0.36 * std::pow(1.0 - s, 0.6);
      double ax = std::fabs(x - th.cx);
      if (ax <= half) e *= (ax <= half * 0.22 ? 0.74 : 0.56);  // canal, root
    }
  }
  return Clamp01(e);
}

std::vector<Tooth> TeethFor(double W, double H) {
  int count = std::max(2, static_cast<int>(std::lround(W / 9.5)));
  std::vector<Tooth> teeth;
  double pitch = W / count;
  for (int i = 0; i < count; ++i) {
    double cx = pitch * (i + 0.5);
    double crownW = pitch * (0.74 + 0.06 * (i % 2));
    double crownTop = 0.08 * H + 0.015 * H * (i % 3);
    teeth.push_back({cx, crownTop, crownW, 0.24 * H, 0.40 * H - 0.02 * H * (i % 2)});
  }
  return teeth;
}

// Exposure of the test pattern over a W x H mm plate.
double PatternExposure(double x, double y, double W, double H) {
  const double line = 0.3;
  if (x < 1.0 || y < 1.0 || x > W - 1.0 || y > H - 1.0) return 0.05;  // frame
  double gx = std::fmod(x, 5.0), gy = std::fmod(y, 5.0);
  if (gx < line || gy < line) return 0.15;  // 5 mm grid
  double cx = W / 2, cy = H / 2;
  if ((std::fabs(x - cx) < 0.25 && std::fabs(y - cy) < 4) || (std::fabs(y - cy) < 0.25 && std::fabs(x - cx) < 4))
    return 0.0;  // centre cross
  // Line pairs along the upper third, checkerboard in the lower third.
  if (y > H * 0.2 && y < H * 0.3) {
    double f = 0.5 + 4.5 * (x / W);  // chirp from 0.5 to 5 lp/mm
    double phase = x * f;
    return (phase - std::floor(phase)) < 0.5 ? 0.2 : 0.8;
  }
  if (y > H * 0.7 && y < H * 0.8) {
    int ix = static_cast<int>(x), iy = static_cast<int>(y);
    return ((ix + iy) & 1) ? 0.25 : 0.75;
  }
  return 0.6;
}

uint16_t SignalOf(double exposure) {
  double v = kPlateBase + (kFullSignal - kPlateBase) * Clamp01(exposure);
  return static_cast<uint16_t>(std::lround(v));
}

// One row of the phantom at scene height y: the bands are decided once per row and
// only the pixels that a tooth or the disc covers are evaluated one by one.
void PhantomRow(uint16_t* row, int widthPx, double pxPerMm, double x0, double y, double W, double H,
                const std::vector<Tooth>& teeth) {
  double wedgeTop = 0.79 * H, barsTop = 0.90 * H, barsBottom = 0.97 * H;
  bool band = (y >= wedgeTop && y < 0.88 * H) || (y >= barsTop && y < barsBottom);
  bool discRows = std::fabs(y - 3.0) <= 1.5;
  double t = (y - 0.12 * H) / (0.62 * H);
  double open = 0.86 - ((t > 0 && t < 1) ? 0.16 * std::sin(kPi * t) : 0.0);
  if (!band && !discRows) {
    std::vector<const Tooth*> active;
    for (const Tooth& th : teeth)
      if (y >= th.crownTop && y < th.crownTop + th.crownH + th.rootLen) active.push_back(&th);
    uint16_t openSignal = SignalOf(open);
    for (int i = 0; i < widthPx; ++i) row[i] = openSignal;
    for (const Tooth* th : active) {
      double half = th->crownW / 2;
      int i0 = std::max(0, static_cast<int>(std::floor((th->cx - half - x0) * pxPerMm)) - 1);
      int i1 = std::min(widthPx, static_cast<int>(std::ceil((th->cx + half - x0) * pxPerMm)) + 1);
      std::vector<Tooth> one(1, *th);
      for (int i = i0; i < i1; ++i) row[i] = SignalOf(PhantomExposure(x0 + (i + 0.5) / pxPerMm, y, W, H, one));
    }
    return;
  }
  for (int i = 0; i < widthPx; ++i) row[i] = SignalOf(PhantomExposure(x0 + (i + 0.5) / pxPerMm, y, W, H, teeth));
}

// Fills an ideal image of `widthPx` x `heightPx` at `pxPerMm`, taking scene coordinates
// from the offset (x0, 0) mm.
void RenderIdeal(Image16& img, int widthPx, int heightPx, double pxPerMm, double x0, double sceneW,
                 double sceneH, PlateKind kind) {
  img.width = widthPx;
  img.height = heightPx;
  img.pixels.assign(static_cast<size_t>(widthPx) * heightPx, kPlateBase);
  if (kind == PlateKind::Empty) return;
  std::vector<Tooth> teeth = TeethFor(sceneW, sceneH);
  for (int j = 0; j < heightPx; ++j) {
    double y = (j + 0.5) / pxPerMm;
    uint16_t* row = &img.pixels[static_cast<size_t>(j) * widthPx];
    if (kind == PlateKind::TestPattern) {
      for (int i = 0; i < widthPx; ++i) row[i] = SignalOf(PatternExposure(x0 + (i + 0.5) / pxPerMm, y, sceneW, sceneH));
    } else {
      PhantomRow(row, widthPx, pxPerMm, x0, y, sceneW, sceneH, teeth);
    }
  }
}

bool ModeSupported(unsigned mode) { return mode == 0 || mode == 1 || mode == 2 || mode == 10; }

}  // namespace

PlateSizeMm PlateSize(int size) {
  switch (size) {
    case 0: return {22, 35};
    case 1: return {24, 40};
    case 2: return {31, 41};
    case 3: return {27, 54};
    default: return {0, 0};
  }
}

Image16 MultiPlateIdeal(int size, int partCount, unsigned mode) {
  Image16 img;
  PlateSizeMm mm = PlateSize(size);
  if (mm.shortSide == 0 || (partCount != 2 && partCount != 3) || !ModeSupported(mode)) return img;
  double px = 2 * raw::ResolutionForMode(mode);
  double W = double(mm.shortSide) * partCount, H = mm.longSide;
  RenderIdeal(img, static_cast<int>(std::lround(W * px)), static_cast<int>(std::lround(H * px)), px, 0, W,
              H, PlateKind::MultiPart);
  return img;
}

bool BuildPlate(const PlateOrder& plateOrder, Plate& out) {
  out = Plate();
  PlateSizeMm mm = PlateSize(plateOrder.size);
  if (mm.shortSide == 0 || !ModeSupported(plateOrder.mode)) return false;
  bool multi = plateOrder.kind == PlateKind::MultiPart;
  if (multi && ((plateOrder.partCount != 2 && plateOrder.partCount != 3) || plateOrder.partNumber < 1 ||
                plateOrder.partNumber > plateOrder.partCount))
    return false;
  if (plateOrder.marginMm < 0 || plateOrder.marginMm > 50) return false;

  const double R = raw::ResolutionForMode(plateOrder.mode);
  const unsigned r = static_cast<unsigned>(R);  // 15, 20, 40, 80: whole numbers
  const unsigned c = raw::SamplesForMode(plateOrder.mode);
  const unsigned L = raw::LineSizeForMode(plateOrder.mode);
  out.mode = plateOrder.mode;
  out.resolution = R;
  out.samplesPerLine = c;
  out.lineSize = L;
  out.plateSamples = mm.shortSide * r;
  out.plateLines = mm.longSide * r;
  out.plateFirstSample = (c - out.plateSamples) / 2;
  out.plateFirstLine = plateOrder.marginMm * r;
  out.lineCount = out.plateLines + 2 * out.plateFirstLine;

  // The ideal image is always rendered (the raw samples come from it) and dropped
  // afterwards when the caller does not want it.
  double sceneW = mm.shortSide, sceneH = mm.longSide, x0 = 0;
  if (multi) {
    sceneW = double(mm.shortSide) * plateOrder.partCount;
    x0 = double(mm.shortSide) * (plateOrder.partNumber - 1);
  }
  RenderIdeal(out.ideal, static_cast<int>(out.plateSamples * 2), static_cast<int>(out.plateLines * 2), 2 * R,
              x0, sceneW, sceneH, plateOrder.kind);

  out.raw.assign(raw::kHeaderSize + static_cast<size_t>(out.lineCount) * L, 0);
  uint8_t* h = out.raw.data();
  Put16(h + raw::kOffSignature, raw::kSignature);
  Put16(h + raw::kOffVersion, raw::kHeaderVersion);
  h[raw::kOffMode] = static_cast<uint8_t>(plateOrder.mode);
  h[raw::kOffPlateCode] = static_cast<uint8_t>(plateOrder.size);
  h[raw::kOffFlags] = static_cast<uint8_t>((plateOrder.kind == PlateKind::TestPattern ? raw::kFlagTestPattern : 0) |
                                           (multi ? raw::kFlagMultiPlatePart : 0));
  h[raw::kOffSensorVariant] = static_cast<uint8_t>(plateOrder.sensorVariant);
  h[raw::kOffPartNumber] = static_cast<uint8_t>(multi ? plateOrder.partNumber : 0);
  h[raw::kOffPartCount] = static_cast<uint8_t>(multi ? plateOrder.partCount : 0);
  h[raw::kOffOrientation] = 0;
  Put32(h + raw::kOffLineCount, out.lineCount);
  Put16(h + raw::kOffSamples, static_cast<uint16_t>(c));
  Put16(h + raw::kOffBitsPerSample, 16);
  Put32(h + raw::kOffSequence, plateOrder.sequence);
  Put32(h + raw::kOffScanTime, plateOrder.scanTime);

  NoiseSource noise(plateOrder.seed);
  std::vector<uint16_t> samples(c);
  for (unsigned k = 0; k < out.lineCount; ++k) {
    bool onPlate = k >= out.plateFirstLine && k < out.plateFirstLine + out.plateLines;
    unsigned pl = k - out.plateFirstLine;
    for (unsigned s = 0; s < c; ++s) {
      double v = kDarkLevel;
      if (onPlate && s >= out.plateFirstSample && s < out.plateFirstSample + out.plateSamples) {
        unsigned ps = s - out.plateFirstSample;
        const Image16& id = out.ideal;
        v = (double(id.At(2 * ps, 2 * pl)) + id.At(2 * ps + 1, 2 * pl) + id.At(2 * ps, 2 * pl + 1) +
             id.At(2 * ps + 1, 2 * pl + 1)) / 4.0;
      }
      if (plateOrder.noise > 0) v += plateOrder.noise * (std::sqrt(v) * 0.8 + 6.0) * noise.FastNormal();
      v = std::floor(v + 0.5);
      samples[s] = static_cast<uint16_t>(v < 0 ? 0 : v > 65535 ? 65535 : v);
    }
    uint8_t* rec = out.raw.data() + raw::kHeaderSize + static_cast<size_t>(k) * L;
    Put16(rec + 0, static_cast<uint16_t>(k & 0xFFFF));
    Put16(rec + 2, 0);
    Put32(rec + 4, static_cast<uint32_t>(std::lround(k * 1000.0 / R)));
    uint32_t sum = 0;
    for (unsigned s = 0; s < c; ++s) {
      Put16(rec + raw::kSamplesOffset + 2 * s, samples[s]);
      sum += samples[s];
    }
    Put16(rec + L - raw::kPrevLineFromEnd, k == 0 ? raw::kFirstPrevLine : static_cast<uint16_t>((k - 1) & 0xFFFF));
    Put32(rec + L - raw::kChecksumFromEnd, sum);
  }
  if (!plateOrder.wantIdeal) out.ideal = Image16();
  return true;
}

bool CheckRawLayout(const uint8_t* data, size_t size, std::string* why) {
  auto fail = [&](const std::string& reason) {
    if (why) *why = reason;
    return false;
  };
  if (!data || size <= raw::kHeaderSize) return fail("file of 36 bytes or less");
  unsigned L = raw::LineSizeForMode(data[raw::kOffMode]);
  if (L == 0) return fail("invalid Mode " + std::to_string(data[raw::kOffMode]));
  if ((size - raw::kHeaderSize) % L != 0) return fail("length is not 36 + count x " + std::to_string(L));
  size_t count = (size - raw::kHeaderSize) / L;
  uint16_t expected = raw::kFirstPrevLine;
  for (size_t k = 0; k < count; ++k) {
    const uint8_t* rec = data + raw::kHeaderSize + k * L;
    uint16_t found = Get16(rec + L - raw::kPrevLineFromEnd);
    if (found != expected)
      return fail("line " + std::to_string(k) + ": previous line " + std::to_string(found) + ", expected " +
                  std::to_string(expected));
    expected = Get16(rec);
  }
  if (why) why->clear();
  return true;
}

void CorruptPreviousLineNumber(std::vector<uint8_t>& raw, unsigned lineSize, unsigned line, uint16_t value) {
  size_t at = raw::kHeaderSize + (static_cast<size_t>(line) + 1) * lineSize - raw::kPrevLineFromEnd;
  if (lineSize >= raw::kLineOverhead && at + 2 <= raw.size()) Put16(raw.data() + at, value);
}

}  // namespace sim
}  // namespace orvaq
