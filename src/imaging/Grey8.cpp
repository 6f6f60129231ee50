// 8-bit grey rows (see Grey8.h).
#include "imaging/Grey8.h"

namespace orvaq {
namespace imaging {

void ComposeTables(const uint8_t first[256], const uint8_t second[256], uint8_t out[256]) {
  for (int v = 0; v < 256; ++v) out[v] = second[first[v]];
}

void ApplyTable8(const GreyView& g, const uint8_t table[256]) {
  if (!g.Valid()) return;
  for (int y = 0; y < g.height; ++y) {
    uint8_t* row = g.Row(y);
    for (int x = 0; x < g.width; ++x) row[x] = table[row[x]];
  }
}

void GreyToRgb24(const GreyView& g, int x, int y, int width, int height, uint8_t* rgb, ptrdiff_t rgbStride) {
  for (int r = 0; r < height; ++r) {
    const uint8_t* src = g.Row(y + r) + x;
    uint8_t* dst = rgb + ptrdiff_t(r) * rgbStride;
    for (int c = 0; c < width; ++c) dst[3 * c] = dst[3 * c + 1] = dst[3 * c + 2] = src[c];
  }
}

void BlueToGrey(const uint8_t* rgb, ptrdiff_t rgbStride, int x, int y, int width, int height, const GreyView& g) {
  for (int r = 0; r < height; ++r) {
    const uint8_t* src = rgb + ptrdiff_t(r) * rgbStride;
    uint8_t* dst = g.Row(y + r) + x;
    for (int c = 0; c < width; ++c) dst[c] = src[3 * c];
  }
}

bool RotateGreyClockwise(const GreyView& src, const GreyView& dst) {
  if (!src.Valid() || !dst.Valid() || dst.width != src.height || dst.height != src.width) return false;
  // In tiles, so that both the rows read and the rows written stay in the cache.
  constexpr int kTile = 64;
  for (int y0 = 0; y0 < dst.height; y0 += kTile)
    for (int x0 = 0; x0 < dst.width; x0 += kTile) {
      const int y1 = y0 + kTile < dst.height ? y0 + kTile : dst.height;
      const int x1 = x0 + kTile < dst.width ? x0 + kTile : dst.width;
      for (int y = y0; y < y1; ++y) {
        uint8_t* out = dst.Row(y);
        for (int x = x0; x < x1; ++x) out[x] = src.Row(src.height - 1 - x)[y];
      }
    }
  return true;
}

void SampleGrey(const GreyView& src, int step, const GreyView& dst) {
  if (step < 1) step = 1;
  for (int y = 0; y < dst.height && y * step < src.height; ++y) {
    const uint8_t* in = src.Row(y * step);
    uint8_t* out = dst.Row(y);
    for (int x = 0; x < dst.width && x * step < src.width; ++x) out[x] = in[x * step];
  }
}

}  // namespace imaging
}  // namespace orvaq
