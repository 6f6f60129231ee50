// A view over 24-bit picture rows (blue, green, red; top row first, `stride` bytes
// apart) as GDI+ hands them out when a picture is locked. The core's pixel operations
// work on such views; they never own the memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvaq {
namespace imaging {

struct PictureView {
  uint8_t* data = nullptr;
  int width = 0;
  int height = 0;
  ptrdiff_t stride = 0;
  uint8_t* Row(int y) const { return data + ptrdiff_t(y) * stride; }
  bool Valid() const { return data && width > 0 && height > 0 && stride >= ptrdiff_t(width) * 3; }
};

}  // namespace imaging
}  // namespace orvaq
