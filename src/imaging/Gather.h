// The first byte of every 24-bit pixel of a row (the blue one, which is the grey level of a
// grey picture), shared by the grey bitmap writer and the filters.
#pragma once

#include <cstdint>

namespace orvaq {
namespace imaging {

// dst[x] = src[3x] for x < width; `ahead` (the next row to be read, or src) is asked for
// from memory meanwhile.
void GatherFirstOf3(const uint8_t* src, int width, uint8_t* dst, const uint8_t* ahead);

}  // namespace imaging
}  // namespace orvaq
