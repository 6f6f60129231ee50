// Raw line-straightening tool (see RawStrip.h). The fit: edges against the line number by
// least squares; line i is moved toward its start by round(i * slope) samples (toward
// its end when negative), the vacated samples repeating the line's end value, so that
// every fitted edge falls where the fit puts the first line's.
#include "imaging/RawStrip.h"

#include <algorithm>
#include <cmath>

namespace orvaq {
namespace imaging {

int StripEdge(const uint16_t* line, int count) {
  int k = 0;
  while (k < count && line[k] > 7749) ++k;
  return k;
}

void StripTable(int& lo, int& hi, std::vector<uint8_t>& table) {
  if (hi - lo < 255) {
    const int centre = (lo + hi) / 2;
    lo = centre - 127;
    hi = lo + 255;
    if (lo < 0) { lo = 0; hi = 255; }
    if (hi > 16383) { lo = 16128; hi = 16383; }
  }
  table.assign(kStripBins, 0);
  for (int i = 0; i < kStripBins; ++i) {
    if (i < lo) table[i] = 0;
    else if (i >= hi) table[i] = 255;
    else if (hi - lo == 255) table[i] = uint8_t(i - lo);
    else {
      // MulDiv: (i - lo) * 255 / (hi - lo), rounded half away from zero.
      const long long num = (long long)(i - lo) * 255, den = hi - lo;
      table[i] = uint8_t(std::min<long long>(255, (2 * num + den) / (2 * den)));
    }
  }
}

bool StraightenStrip(const uint8_t* data, size_t size, RawStripResult& out) {
  const size_t count = size_t(kStripLines) * kStripSamples;
  if (!data || size < count * 2) return false;
  std::vector<uint16_t> s(count);
  for (size_t i = 0; i < count; ++i) s[i] = uint16_t(data[2 * i] | (data[2 * i + 1] << 8));
  out.histogram.assign(kStripBins, 0);
  for (uint16_t v : s) ++out.histogram[std::min<int>(v, kStripBins - 1)];

  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (int i = 0; i < kStripLines; ++i) {
    const double e = StripEdge(&s[size_t(i) * kStripSamples], kStripSamples);
    sx += i; sy += e; sxx += double(i) * i; sxy += i * e;
  }
  const double n = kStripLines;
  const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
  std::vector<uint16_t> shifted(s);
  for (int i = 1; i < kStripLines; ++i) {
    const long off = std::lround(i * slope);
    const uint16_t* src = &s[size_t(i) * kStripSamples];
    uint16_t* dst = &shifted[size_t(i) * kStripSamples];
    for (int j = 0; j < kStripSamples; ++j) {
      const long k = std::clamp<long>(j + off, 0, kStripSamples - 1);
      dst[j] = src[k];
    }
  }
  std::vector<uint32_t> hist(kStripBins, 0);
  for (uint16_t v : shifted) ++hist[std::min<int>(v, kStripBins - 1)];
  int first = -1, last = -1;
  for (int b = 1; b < kStripBins; ++b)
    if (hist[b] > 50) { if (first < 0) first = b; last = b; }
  int lo = first < 0 ? 0 : first - 1, hi = first < 0 ? kStripBins - 1 : last - 1;
  std::vector<uint8_t> table;
  StripTable(lo, hi, table);
  out.lo = lo;
  out.hi = hi;
  out.picture.resize(count);
  for (size_t i = 0; i < count; ++i) out.picture[i] = table[std::min<int>(shifted[i], kStripBins - 1)];
  return true;
}

}  // namespace imaging
}  // namespace orvaq
