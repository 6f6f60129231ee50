// Multi-plate (T4) part handling of the reference library: the part record carried in
// a 16-bit image's tag, the arrangement advice, the preview and the composition.
//
// The library is loaded for each call, so what it learns about a part when it detects
// it (LUMEQ2_IsImageT3) travels in the part's own 16-bit record: the tag becomes
// 'T', part number, parts in the set, orientation (one byte each). LUMEQ2_Add_T3 reads
// it back; a record with any other tag is a part of unknown number.
//
// Advice bits (LUMEQ2_Precalculate_T4), from the numbers of the parts in box order:
//   two parts:   bit 0 in order (1, 2); bit 1 exchange boxes 1 and 2 (2, 1);
//   three parts: bit 4 in order; bit 5 exchange 2-3 (1,3,2); bit 6 exchange 1-2 (2,1,3);
//                bit 7 exchange 1-2 then 2-3 (3,1,2); bit 8 exchange 2-3, 1-2, 2-3
//                (3,2,1); bit 9 exchange 2-3 then 1-2 (2,3,1);
//   bits 13, 17, 21: box 1, 2, 3 holds a part scanned turned by 90 degrees (box 3's
//   only with three parts). Unknown or repeated numbers give no arrangement bit.
// Composition (LUMEQ2_Calculate_T4): each part turned 90 degrees clockwise when its
// box's orientation bit says so (0x2000, 0x20000, 0x200000), then the parts side by
// side from box 1 to the right, top-aligned; when every part is then wider than tall
// they are stacked from the top instead. The rest of the picture is white (65535).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvaq {
namespace rxf {

struct PartInfo {
  unsigned number = 0, count = 0, orientation = 0;
};

uint32_t EncodePartTag(const PartInfo& info);
bool DecodePartTag(uint32_t tag, PartInfo& info);

struct Part {
  int width = 0, height = 0;
  std::vector<uint16_t> pixels;
  bool known = false;
  PartInfo info;
};

uint32_t ArrangementAdvice(const std::vector<Part>& parts);

// Composes up to three parts into at most `capacity` samples. False when nothing fits.
bool ComposeParts(const std::vector<Part>& parts, uint32_t orientationFlags, size_t capacity,
                  int& width, int& height, std::vector<uint16_t>& pixels);

// Scales a 16-bit image down (area average) to fit maxW x maxH with its proportions,
// as 8-bit high bytes. Never enlarges.
void MakePreview(const uint16_t* image, int width, int height, int maxW, int maxH, int& outW,
                 int& outH, std::vector<uint8_t>& out);

}  // namespace rxf
}  // namespace orvaq
