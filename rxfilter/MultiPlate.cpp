// Multi-plate part handling of the reference library (see MultiPlate.h).
#include "rxfilter/MultiPlate.h"

#include <algorithm>

namespace orvaq {
namespace rxf {

uint32_t EncodePartTag(const PartInfo& i) {
  return uint32_t('T') | (uint32_t(i.number & 0xFF) << 8) | (uint32_t(i.count & 0xFF) << 16) |
         (uint32_t(i.orientation & 0xFF) << 24);
}

bool DecodePartTag(uint32_t tag, PartInfo& i) {
  if ((tag & 0xFF) != 'T') return false;
  i.number = (tag >> 8) & 0xFF;
  i.count = (tag >> 16) & 0xFF;
  i.orientation = (tag >> 24) & 0xFF;
  return i.number >= 1 && i.number <= 3 && i.count >= 2 && i.count <= 3 && i.number <= i.count;
}

uint32_t ArrangementAdvice(const std::vector<Part>& parts) {
  uint32_t flags = 0;
  const size_t n = std::min<size_t>(parts.size(), 3);
  static const uint32_t rotBits[3] = {1u << 13, 1u << 17, 1u << 21};
  for (size_t k = 0; k < n && k < (n == 3 ? 3u : 2u); ++k)
    if (parts[k].known && parts[k].info.orientation) flags |= rotBits[k];
  unsigned nums[3] = {0, 0, 0};
  bool known = true;
  for (size_t k = 0; k < n; ++k) {
    if (!parts[k].known) known = false;
    nums[k] = parts[k].info.number;
  }
  if (!known) return flags;
  if (n == 2) {
    if (nums[0] == 1 && nums[1] == 2) flags |= 1u << 0;
    else if (nums[0] == 2 && nums[1] == 1) flags |= 1u << 1;
  } else if (n == 3) {
    struct { unsigned a, b, c; int bit; } table[] = {
        {1, 2, 3, 4}, {1, 3, 2, 5}, {2, 1, 3, 6}, {3, 1, 2, 7}, {3, 2, 1, 8}, {2, 3, 1, 9}};
    for (const auto& r : table)
      if (nums[0] == r.a && nums[1] == r.b && nums[2] == r.c) flags |= 1u << r.bit;
  }
  return flags;
}

bool ComposeParts(const std::vector<Part>& parts, uint32_t orientationFlags, size_t capacity,
                  int& width, int& height, std::vector<uint16_t>& pixels) {
  width = height = 0;
  pixels.clear();
  const size_t n = std::min<size_t>(parts.size(), 3);
  if (n == 0) return false;
  static const uint32_t rotated[3] = {0x2000, 0x20000, 0x200000};
  struct Placed { const Part* p; bool rot; int w, h; };
  std::vector<Placed> placed;
  bool allWide = true;
  for (size_t k = 0; k < n; ++k) {
    const Part& p = parts[k];
    if (p.width <= 0 || p.height <= 0 || p.pixels.size() < size_t(p.width) * p.height) return false;
    const bool rot = (orientationFlags & rotated[k]) != 0;
    Placed q{&p, rot, rot ? p.height : p.width, rot ? p.width : p.height};
    if (q.w <= q.h) allWide = false;
    placed.push_back(q);
  }
  long long W = 0, H = 0;
  for (const Placed& q : placed) {
    if (allWide) { W = std::max<long long>(W, q.w); H += q.h; }
    else { W += q.w; H = std::max<long long>(H, q.h); }
  }
  if (W > 65535 || H > 65535 || size_t(W * H) > capacity) return false;
  width = int(W);
  height = int(H);
  pixels.assign(size_t(W) * size_t(H), 65535);
  long long ox = 0, oy = 0;
  for (const Placed& q : placed) {
    const Part& p = *q.p;
    for (int y = 0; y < q.h; ++y) {
      uint16_t* dst = &pixels[size_t(oy + y) * size_t(W) + size_t(ox)];
      for (int x = 0; x < q.w; ++x) {
        // Clockwise quarter turn: output (x, y) comes from source (y, h - 1 - x).
        dst[x] = q.rot ? p.pixels[size_t(p.height - 1 - x) * p.width + y] : p.pixels[size_t(y) * p.width + x];
      }
    }
    if (allWide) oy += q.h; else ox += q.w;
  }
  return true;
}

void MakePreview(const uint16_t* image, int width, int height, int maxW, int maxH, int& outW,
                 int& outH, std::vector<uint8_t>& out) {
  outW = outH = 0;
  out.clear();
  if (!image || width <= 0 || height <= 0 || maxW <= 0 || maxH <= 0) return;
  const double scale = std::min({1.0, double(maxW) / width, double(maxH) / height});
  outW = std::max(1, int(width * scale));
  outH = std::max(1, int(height * scale));
  out.assign(size_t(outW) * outH, 0);
  for (int y = 0; y < outH; ++y) {
    const int y0 = int(int64_t(y) * height / outH), y1 = std::max(y0 + 1, int(int64_t(y + 1) * height / outH));
    for (int x = 0; x < outW; ++x) {
      const int x0 = int(int64_t(x) * width / outW), x1 = std::max(x0 + 1, int(int64_t(x + 1) * width / outW));
      uint64_t sum = 0;
      for (int yy = y0; yy < y1; ++yy)
        for (int xx = x0; xx < x1; ++xx) sum += image[size_t(yy) * width + xx];
      out[size_t(y) * outW + x] = uint8_t((sum / (uint64_t(y1 - y0) * (x1 - x0))) >> 8);
    }
  }
}

}  // namespace rxf
}  // namespace orvaq
