// Pixel work on 8-bit grey rows (one byte per pixel, the value is the grey level): the
// display adjustments as one composed table, and the copies between grey rows and the
// 24-bit rows GDI+ draws on (blue, green, red all equal to the grey level; the grey
// level read back is the blue byte, as the grey BMP writer takes it).
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvaq {
namespace imaging {

// 8-bit rows, top row first, `stride` bytes apart. Never owns the memory.
struct GreyView {
  uint8_t* data = nullptr;
  int width = 0;
  int height = 0;
  ptrdiff_t stride = 0;
  uint8_t* Row(int y) const { return data + ptrdiff_t(y) * stride; }
  bool Valid() const { return data && width > 0 && height > 0 && (stride >= width || stride <= -width); }
};

// out[v] = second[first[v]]: two table lookups made one.
void ComposeTables(const uint8_t first[256], const uint8_t second[256], uint8_t out[256]);
// Replaces every grey level v of the view by table[v].
void ApplyTable8(const GreyView& grey, const uint8_t table[256]);

// The rectangle (x, y, width, height) of `grey` into 24-bit rows `rgb` (3 bytes a pixel,
// `rgbStride` bytes apart), each pixel's three bytes set to its grey level.
void GreyToRgb24(const GreyView& grey, int x, int y, int width, int height, uint8_t* rgb, ptrdiff_t rgbStride);
// Back: the blue byte of each 24-bit pixel becomes the grey level at (x, y) + its place.
void BlueToGrey(const uint8_t* rgb, ptrdiff_t rgbStride, int x, int y, int width, int height, const GreyView& grey);

// `dst` (src.height wide, src.width high) becomes `src` turned by 90 degrees clockwise:
// dst(x, y) = src(y, src.height - 1 - x). False, nothing written, when the sizes differ.
bool RotateGreyClockwise(const GreyView& src, const GreyView& dst);
// Every `step`-th pixel of every `step`-th row (step >= 1) into `dst`, which holds
// ceil(width / step) x ceil(height / step) pixels: a quick reduction for the screen.
void SampleGrey(const GreyView& src, int step, const GreyView& dst);

}  // namespace imaging
}  // namespace orvaq
