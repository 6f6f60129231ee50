// 8-bit grey BMP file layout (see GreyBmpFormat.h).
#include "common/GreyBmpFormat.h"

#include <cstring>

namespace orvaq {
namespace bmp {

namespace {
void Put16(uint8_t* p, uint32_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
void Put32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24);
}
}  // namespace

int32_t PixelsPerMetreFromDpi(float dpi) {
  if (!(dpi > 0)) return 0;
  const volatile float pitch = 25400.0f / dpi;  // kept in single precision
  const float ppm = 1000000.0f / pitch;
  if (!(ppm < 2147483647.0f)) return 0;
  return int32_t(ppm);
}

size_t GreyRowSize(int width) { return width > 0 ? (size_t(width) + 3) & ~size_t(3) : 0; }

bool GreyBmpSizeOk(int width, int height) {
  if (width <= 0 || height <= 0) return false;
  const unsigned long long total =
      (unsigned long long)GreyRowSize(width) * (unsigned long long)height + kGreyBmpHeaderSize;
  return total <= 0xFFFFFFFFull && total <= (unsigned long long)(SIZE_MAX / 2);
}

void BuildGreyBmpHeader(int width, int height, float dpiX, float dpiY, uint8_t* h) {
  std::memset(h, 0, kGreyBmpHeaderSize);
  h[0] = 'B';
  h[1] = 'M';
  Put32(h + 2, uint32_t(kGreyBmpHeaderSize + GreyRowSize(width) * size_t(height)));
  Put32(h + 10, uint32_t(kGreyBmpHeaderSize));
  Put32(h + 14, 40);
  Put32(h + 18, uint32_t(width));
  Put32(h + 22, uint32_t(height));
  Put16(h + 26, 1);
  Put16(h + 28, 8);
  Put32(h + 38, uint32_t(PixelsPerMetreFromDpi(dpiX)));
  Put32(h + 42, uint32_t(PixelsPerMetreFromDpi(dpiY)));
  Put32(h + 46, 256);
  Put32(h + 50, 256);
  for (int i = 0; i < 256; ++i) {
    uint8_t* e = h + 54 + 4 * i;
    e[0] = e[1] = e[2] = uint8_t(i);
  }
}

bool EncodeGreyBmp(const uint8_t* rows, int width, int height, ptrdiff_t stride, float dpiX,
                   float dpiY, std::vector<uint8_t>& file) {
  if (!rows || !GreyBmpSizeOk(width, height)) return false;
  const size_t rowSize = GreyRowSize(width);
  file.assign(kGreyBmpHeaderSize + rowSize * size_t(height), 0);
  BuildGreyBmpHeader(width, height, dpiX, dpiY, file.data());
  for (int y = 0; y < height; ++y)
    std::memcpy(&file[kGreyBmpHeaderSize + rowSize * size_t(height - 1 - y)], rows + stride * y, size_t(width));
  return true;
}

}  // namespace bmp
}  // namespace orvaq
