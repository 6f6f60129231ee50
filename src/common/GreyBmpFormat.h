// The 8-bit grey BMP file layout: the 1078 bytes before the pixels (file header, info
// header, grey palette) and the bottom-up block of rows padded to 4 bytes. One definition
// for the acquisition outputs, the rebuild program and the reference filter library's
// intermediate pictures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvaq {
namespace bmp {

constexpr size_t kGreyBmpHeaderSize = 1078;  // file header 14 + info header 40 + palette 1024

// Whole part of 1000000 / (25400 / dpi), computed in single precision (762 -> 30000).
int32_t PixelsPerMetreFromDpi(float dpi);
// Row size of an 8-bit BMP: width rounded up to a multiple of 4.
size_t GreyRowSize(int width);
// False when the picture is empty or the file would exceed 32-bit sizes.
bool GreyBmpSizeOk(int width, int height);

// The 1078 bytes before the pixels: "BM", file size, offset 1078, 40-byte info header,
// 8 bits, both pixels-per-metre, 256 colours used and important, grey palette.
void BuildGreyBmpHeader(int width, int height, float dpiX, float dpiY, uint8_t out[kGreyBmpHeaderSize]);

// A whole file in memory from 8-bit rows (top row first, `stride` bytes apart). False
// for bad sizes.
bool EncodeGreyBmp(const uint8_t* rows, int width, int height, ptrdiff_t stride, float dpiX,
                   float dpiY, std::vector<uint8_t>& file);

}  // namespace bmp
}  // namespace orvaq
