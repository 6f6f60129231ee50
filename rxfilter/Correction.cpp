// Reconstruction of the reference filter library; the steps are described in Correction.h.
#include "rxfilter/Correction.h"

#include <algorithm>
#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orvaq {
namespace rxf {

namespace {

struct Levels {
  double dark = 0, noise = 0;
};

// The dark level and its noise from the 16 samples at each end of every line, where the
// scanner reads beyond the plate: their median, and 1.4826 times their median absolute
// deviation.
Levels FindLevels(const RawScan& s) {
  std::vector<uint16_t> ends;
  const unsigned edge = std::min(16u, s.samples / 2);
  ends.reserve(size_t(s.lines) * edge * 2);
  for (unsigned k = 0; k < s.lines; ++k) {
    const uint16_t* row = &s.data[size_t(k) * s.samples];
    ends.insert(ends.end(), row, row + edge);
    ends.insert(ends.end(), row + s.samples - edge, row + s.samples);
  }
  Levels l;
  if (ends.empty()) return l;
  std::nth_element(ends.begin(), ends.begin() + ends.size() / 2, ends.end());
  l.dark = ends[ends.size() / 2];
  std::vector<uint16_t> dev(ends.size());
  for (size_t i = 0; i < ends.size(); ++i) dev[i] = uint16_t(std::fabs(ends[i] - l.dark));
  std::nth_element(dev.begin(), dev.begin() + dev.size() / 2, dev.end());
  l.noise = 1.4826 * dev[dev.size() / 2];
  return l;
}

struct Box {
  unsigned col0 = 0, col1 = 0, line0 = 0, line1 = 0;  // inclusive, in samples and lines
  int extraLeft = 0, extraRight = 0, extraTop = 0, extraBottom = 0;  // pixels from coverage
};

// Partial coverage (0..1) of a sample from its level between dark and the inside level.
double Coverage(double v, double dark, double inside) {
  if (inside - dark <= 1) return 0;
  return std::clamp((v - dark) / (inside - dark), 0.0, 1.0);
}

bool FindBox(const RawScan& s, double dark, double threshold, Box& box) {
  const unsigned c = s.samples, n = s.lines;
  std::vector<unsigned> colCount(c, 0), lineCount(n, 0);
  for (unsigned k = 0; k < n; ++k) {
    const uint16_t* row = &s.data[size_t(k) * c];
    unsigned cnt = 0;
    for (unsigned i = 0; i < c; ++i) {
      const unsigned hit = row[i] > threshold;
      colCount[i] += hit;
      cnt += hit;
    }
    lineCount[k] = cnt;
  }
  const unsigned lineMax = *std::max_element(lineCount.begin(), lineCount.end());
  const unsigned colMax = *std::max_element(colCount.begin(), colCount.end());
  if (lineMax == 0 || colMax == 0) return false;
  // Columns with plate in at least half as many lines as the fullest column, and lines
  // with plate in at least half as many columns as the fullest line.
  unsigned c0 = c, c1 = 0, l0 = n, l1 = 0;
  for (unsigned i = 0; i < c; ++i)
    if (colCount[i] * 2 >= colMax) { c0 = std::min(c0, i); c1 = i; }
  for (unsigned k = 0; k < n; ++k)
    if (lineCount[k] * 2 >= lineMax) { l0 = std::min(l0, k); l1 = k; }
  if (c0 > c1 || l0 > l1) return false;
  box.col0 = c0; box.col1 = c1; box.line0 = l0; box.line1 = l1;

  // Partial coverage of the sample just outside each side, against the sample just
  // inside it on the same line (or column), averaged along the side.
  auto colCoverage = [&](unsigned out, unsigned in) {
    double sum = 0;
    for (unsigned k = l0; k <= l1; ++k) sum += Coverage(s.At(k, out), dark, s.At(k, in));
    return sum / (l1 - l0 + 1);
  };
  auto lineCoverage = [&](unsigned out, unsigned in) {
    double sum = 0;
    for (unsigned i = c0; i <= c1; ++i) sum += Coverage(s.At(out, i), dark, s.At(in, i));
    return sum / (c1 - c0 + 1);
  };
  box.extraLeft = c0 > 0 ? int(std::lround(2 * colCoverage(c0 - 1, c0))) : 0;
  box.extraRight = c1 + 1 < c ? int(std::lround(2 * colCoverage(c1 + 1, c1))) : 0;
  box.extraTop = l0 > 0 ? int(std::lround(2 * lineCoverage(l0 - 1, l0))) : 0;
  box.extraBottom = l1 + 1 < n ? int(std::lround(2 * lineCoverage(l1 + 1, l1))) : 0;
  return true;
}

// Line gains against the neighbour lines, corrected in place within the box's lines.
void CorrectLines(RawScan& s, const Box& box, double dark, const CorrectionSettings& cs) {
  const unsigned c0 = box.col0, c1 = box.col1;
  if (box.line1 < box.line0 + 4) return;
  double limit = cs.factor > 0 ? cs.factor : 0.05;
  limit = std::min(limit, 0.5);
  const double deadBand = std::max(0.0, double(cs.epsilon)) / 100.0;
  std::vector<double> gains(s.lines, 1.0);
  std::vector<float> ratios;
  ratios.reserve(c1 - c0 + 1);
  for (unsigned k = box.line0 + 2; k + 2 <= box.line1; ++k) {
    ratios.clear();
    for (unsigned i = c0; i <= c1; ++i) {
      const double ref = 0.5 * (s.At(k - 2, i) + s.At(k + 2, i)) - dark;
      const double v = s.At(k, i) - dark;
      if (ref > 64) ratios.push_back(float(v / ref));
    }
    if (ratios.size() < 8) continue;
    std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
    double g = ratios[ratios.size() / 2];
    // Within the dead band: nothing to do; beyond the limit: content (a horizontal
    // edge), not a line's gain.
    if (std::fabs(g - 1) <= deadBand || std::fabs(g - 1) > limit) continue;
    gains[k] = g;
  }
  for (unsigned k = box.line0 + 2; k + 2 <= box.line1; ++k) {
    const double g = gains[k];
    if (g == 1.0) continue;
    uint16_t* row = &s.data[size_t(k) * s.samples];
    if (cs.type == 1) {
      // The offset that the gain amounts to at the line's median level.
      std::vector<uint16_t> tmp(row + c0, row + c1 + 1);
      std::nth_element(tmp.begin(), tmp.begin() + tmp.size() / 2, tmp.end());
      const double level = tmp[tmp.size() / 2] - dark;
      const double offset = level - level / g;
      for (unsigned i = 0; i < s.samples; ++i)
        row[i] = uint16_t(std::clamp(std::lround(row[i] - offset), 0L, 65535L));
    } else {
      for (unsigned i = 0; i < s.samples; ++i)
        row[i] = uint16_t(std::clamp(std::lround((row[i] - dark) / g + dark), 0L, 65535L));
    }
  }
}

void AddIntermediate(std::vector<Intermediate>* out, const char* name, int w, int h,
                     const std::vector<uint8_t>& px) {
  if (!out) return;
  Intermediate im;
  im.name = name;
  im.width = w;
  im.height = h;
  im.pixels = px;
  out->push_back(std::move(im));
}

// The raw plane as an 8-bit picture (one pixel a sample), dark to the left of the scale.
std::vector<uint8_t> RawPicture(const RawScan& s) {
  std::vector<uint8_t> px(s.data.size());
  for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(s.data[i] >> 8);
  return px;
}

// A plate that was never exposed reads its flat base level: less than 1000 counts
// between the 1st and the 99th percentile of the box's inner half.
bool Exposed(const RawScan& s, const Box& box) {
  std::vector<uint16_t> v;
  const unsigned cw = (box.col1 - box.col0) / 4, lh = (box.line1 - box.line0) / 4;
  const unsigned stepC = std::max(1u, (box.col1 - box.col0) / 128), stepL = std::max(1u, (box.line1 - box.line0) / 128);
  for (unsigned k = box.line0 + lh; k <= box.line1 - lh; k += stepL)
    for (unsigned i = box.col0 + cw; i <= box.col1 - cw; i += stepC) v.push_back(s.At(k, i));
  if (v.size() < 16) return false;
  std::sort(v.begin(), v.end());
  return v[v.size() * 99 / 100] - v[v.size() / 100] >= 1000;
}

}  // namespace

int PlateSizeClass(int a, int b) {
  const int lo = std::min(a, b), hi = std::max(a, b);
  static const int rows[4][4] = {{20, 24, 33, 37}, {22, 26, 38, 42}, {29, 33, 39, 43}, {25, 29, 50, 58}};
  for (int i = 0; i < 4; ++i)
    if (lo >= rows[i][0] && lo <= rows[i][1] && hi >= rows[i][2] && hi <= rows[i][3]) return i;
  return -1;
}

void HighBytes(const uint16_t* in, size_t count, uint8_t* out) {
  size_t i = 0;
#if defined(__SSE2__)
  // Sixteen pixels a step: the high bytes of two registers packed into one.
  for (; i + 16 <= count; i += 16) {
    const __m128i a = _mm_srli_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)), 8);
    const __m128i b = _mm_srli_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 8)), 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(a, b));
  }
#endif
  for (; i < count; ++i) out[i] = uint8_t(in[i] >> 8);
}

bool Reconstruct(const RawScan& input, const CorrectionSettings& cs, PlateImage& out,
                 std::vector<Intermediate>* intermediates) {
  out = PlateImage();
  const RawHeader& h = input.header;
  out.plateCode = h.plateCode <= 3 ? h.plateCode : 4;
  const bool mire = (h.flags & 0x01) && !cs.ignoreMire;
  out.imageCode = out.plateCode + (mire ? 10 : 0) + 100u * h.sensorVariant;
  if (input.data.empty()) return false;
  AddIntermediate(intermediates, "1_raw.bmp", int(input.samples), int(input.lines), RawPicture(input));

  Levels lv = FindLevels(input);
  if (cs.darkOverride) lv.dark = cs.darkOverride;
  const double threshold = lv.dark + std::max(8 * lv.noise, 200.0);
  Box box;
  if (!FindBox(input, lv.dark, threshold, box)) return false;
  if (!Exposed(input, box)) return false;

  const double pxPerMm = 2 * input.resolution;
  const int width = int(2 * (box.col1 - box.col0 + 1)) + box.extraLeft + box.extraRight;
  const int height = int(2 * (box.line1 - box.line0 + 1)) + box.extraTop + box.extraBottom;
  if (width < 8 * pxPerMm || height < 8 * pxPerMm) return false;

  RawScan s = input;  // the correction works on its own copy
  if (cs.horizontal) CorrectLines(s, box, lv.dark, cs);
  if (intermediates) AddIntermediate(intermediates, "2_corrected.bmp", int(s.samples), int(s.lines), RawPicture(s));

  // Stretch table.
  double top = cs.stretch;
  if (top <= lv.dark + 1) {
    std::vector<uint16_t> inside;
    for (unsigned k = box.line0; k <= box.line1; ++k)
      for (unsigned i = box.col0; i <= box.col1; ++i) inside.push_back(s.At(k, i));
    const size_t p = std::min(inside.size() - 1, inside.size() * 999 / 1000);
    std::nth_element(inside.begin(), inside.begin() + p, inside.end());
    top = std::max<double>(inside[p], lv.dark + 2);
  }
  std::vector<uint16_t> lut(65536);
  for (unsigned v = 0; v < 65536; ++v) {
    const double e = (double(v) - lv.dark) * 65535.0 / (top - lv.dark);
    lut[v] = uint16_t(65535 - std::clamp(std::lround(e), 0L, 65535L));
  }

  // Cut out and repeat every sample 2 x 2; pixel columns left of the box come from the
  // partially covered sample outside it.
  out.width = width;
  out.height = height;
  out.pixels.assign(size_t(width) * height, 0);
  const int pxLeft = int(2 * box.col0) - box.extraLeft;
  const int pxTop = int(2 * box.line0) - box.extraTop;
  std::vector<unsigned> colOf(width);
  for (int x = 0; x < width; ++x) colOf[x] = unsigned((pxLeft + x) / 2);
  for (int y = 0; y < height; ++y) {
    const unsigned line = unsigned((pxTop + y) / 2);
    const uint16_t* src = &s.data[size_t(line) * s.samples];
    uint16_t* dst = &out.pixels[size_t(y) * width];
    for (int x = 0; x < width; ++x) dst[x] = lut[src[colOf[x]]];
  }
  out.widthMm = width / pxPerMm;
  out.heightMm = height / pxPerMm;
  const int cls = PlateSizeClass(int(out.widthMm), int(out.heightMm));
  if (cls >= 0) out.plateCode = unsigned(cls);
  out.imageCode = out.plateCode + (mire ? 10 : 0) + 100u * h.sensorVariant;
  out.empty = false;
  if (intermediates) {
    std::vector<uint8_t> px(out.pixels.size());
    HighBytes(out.pixels.data(), px.size(), px.data());
    AddIntermediate(intermediates, "3_result.bmp", width, height, px);
  }
  return true;
}

}  // namespace rxf
}  // namespace orvaq
