// 16-bit image transforms (see Image16Transforms.h).
#include "rebuild/Image16Transforms.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace orvaq {
namespace rebuild {

namespace {

bool Usable(const BufferFinal16& image) { return image.pBuffer && image.width && image.height; }

// Builds the turned image in a scratch block, with `source(r, c)` giving the old index
// of new pixel (r, c) for the new width `nw` and height `nh`, then copies it back.
template <typename Source>
bool Remap(BufferFinal16& image, uint16_t nw, uint16_t nh, Source source) {
  const size_t count = size_t(image.width) * image.height;
  std::unique_ptr<uint16_t[]> scratch(new (std::nothrow) uint16_t[count]);
  if (!scratch) return false;
  const uint16_t* old = image.pBuffer;
  for (size_t r = 0; r < nh; ++r) {
    uint16_t* row = scratch.get() + r * nw;
    for (size_t c = 0; c < nw; ++c) row[c] = old[source(r, c)];
  }
  std::memcpy(image.pBuffer, scratch.get(), count * sizeof(uint16_t));
  image.width = nw;
  image.height = nh;
  return true;
}

}  // namespace

bool Transpose16(BufferFinal16& image) {
  if (!Usable(image)) return false;
  const size_t w = image.width;
  return Remap(image, image.height, image.width, [w](size_t r, size_t c) { return c * w + r; });
}

bool RotateCounterClockwise16(BufferFinal16& image) {
  if (!Usable(image)) return false;
  const size_t w = image.width;
  return Remap(image, image.height, image.width, [w](size_t r, size_t c) { return c * w + (w - 1 - r); });
}

bool RotateClockwise16(BufferFinal16& image) {
  if (!Usable(image)) return false;
  const size_t w = image.width, h = image.height;
  return Remap(image, image.height, image.width, [w, h](size_t r, size_t c) { return (h - 1 - c) * w + r; });
}

bool MirrorLeftRight16(BufferFinal16& image) {
  if (!Usable(image)) return false;
  for (size_t r = 0; r < image.height; ++r) {
    uint16_t* row = image.pBuffer + r * image.width;
    std::reverse(row, row + image.width);
  }
  return true;
}

bool MirrorTopBottom16(BufferFinal16& image) {
  if (!Usable(image)) return false;
  const size_t w = image.width, h = image.height;
  std::unique_ptr<uint16_t[]> row(new (std::nothrow) uint16_t[w]);
  if (!row) return false;
  for (size_t i = 0; i < h / 2; ++i) {
    uint16_t* a = image.pBuffer + i * w;
    uint16_t* b = image.pBuffer + (h - 1 - i) * w;
    std::memcpy(row.get(), a, w * 2);
    std::memcpy(a, b, w * 2);
    std::memcpy(b, row.get(), w * 2);
  }
  return true;
}

}  // namespace rebuild
}  // namespace orvaq
