// Nonlinear diffusion noise filter of the reference library (see NoiseFilter.h).
#include "rxfilter/NoiseFilter.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace orvaq {
namespace rxf {

namespace {

double EstimateNoise(const std::vector<float>& p, int w, int h) {
  std::vector<float> d;
  const int stepY = std::max(1, h / 256);
  for (int y = 0; y < h; y += stepY)
    for (int x = 0; x + 2 < w; ++x) d.push_back(std::fabs(p[size_t(y) * w + x + 2] - p[size_t(y) * w + x]));
  if (d.empty()) return 0;
  std::nth_element(d.begin(), d.begin() + d.size() / 2, d.end());
  return d[d.size() / 2] / (0.6745 * std::sqrt(2.0));
}

}  // namespace

bool FilterNoise(void* pixels, int width, int height, int stride, int bits,
                 const NoiseFilterParams& prm) {
  if (!pixels || width <= 0 || height <= 0 || (bits != 8 && bits != 16)) return false;
  if (width > 65535 || height > 65535 || size_t(width) * size_t(height) > (size_t(1) << 28)) return false;
  const int bytes = bits / 8;
  if (stride < width * bytes) return false;
  if (prm.iterations < 0 || prm.iterations > 1000 || !(prm.strength >= 0) || prm.strength > 10) return false;
  if (prm.iterations == 0 || prm.strength == 0) return true;

  const int w = width, h = height;
  std::vector<float> a(size_t(w) * h), b(a.size());
  uint8_t* base = static_cast<uint8_t*>(pixels);
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = base + size_t(y) * stride;
    float* dst = &a[size_t(y) * w];
    if (bytes == 1) for (int x = 0; x < w; ++x) dst[x] = row[x];
    else for (int x = 0; x < w; ++x) dst[x] = float(row[2 * x] | (row[2 * x + 1] << 8));
  }
  const double noise = EstimateNoise(a, w, h);
  double k = noise * (prm.strong ? 1.0 : 2.0);
  if ((prm.imageCode % 100) >= 10) k *= 0.5;
  if (k <= 0) return true;  // a flat image: nothing to smooth
  const float invK2 = float(1.0 / (k * k));
  const float step = float(std::clamp(0.25 * prm.strength / 0.4, 0.01, 0.25));

  for (int it = 0; it < prm.iterations; ++it) {
    for (int y = 0; y < h; ++y) {
      const float* up = &a[size_t(y > 0 ? y - 1 : y) * w];
      const float* cur = &a[size_t(y) * w];
      const float* dn = &a[size_t(y + 1 < h ? y + 1 : y) * w];
      float* out = &b[size_t(y) * w];
      // The first and last pixels of a row have no outside neighbour (no flux there);
      // the interior loop has no branch so that it vectorises.
      auto pixel = [&](int x) {
        const float c = cur[x];
        const float dl = (x > 0 ? cur[x - 1] : c) - c;
        const float dr = (x + 1 < w ? cur[x + 1] : c) - c;
        const float du = up[x] - c;
        const float dd = dn[x] - c;
        out[x] = c + step * (dl / (1 + dl * dl * invK2) + dr / (1 + dr * dr * invK2) +
                             du / (1 + du * du * invK2) + dd / (1 + dd * dd * invK2));
      };
      pixel(0);
      for (int x = 1; x < w - 1; ++x) {
        const float c = cur[x];
        const float dl = cur[x - 1] - c;
        const float dr = cur[x + 1] - c;
        const float du = up[x] - c;
        const float dd = dn[x] - c;
        out[x] = c + step * (dl / (1 + dl * dl * invK2) + dr / (1 + dr * dr * invK2) +
                             du / (1 + du * du * invK2) + dd / (1 + dd * dd * invK2));
      }
      if (w > 1) pixel(w - 1);
    }
    a.swap(b);
  }
  const float maxV = bytes == 1 ? 255.f : 65535.f;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = base + size_t(y) * stride;
    const float* src = &a[size_t(y) * w];
    for (int x = 0; x < w; ++x) {
      const unsigned v = unsigned(std::clamp(src[x] + 0.5f, 0.f, maxV));
      if (bytes == 1) row[x] = uint8_t(v);
      else { row[2 * x] = uint8_t(v & 0xFF); row[2 * x + 1] = uint8_t(v >> 8); }
    }
  }
  return true;
}

}  // namespace rxf
}  // namespace orvaq
