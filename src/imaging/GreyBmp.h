// The 8-bit grey BMP file of the acquisition outputs: header and palette block, and the
// packing of picture rows into its bottom-up padded pixel block. Pure functions over
// buffers; the Windows writer (win/) only locks the picture and writes the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "common/GreyBmpFormat.h"

namespace orvaq {
namespace imaging {

// The file layout itself is shared with the reference library.
using bmp::BuildGreyBmpHeader;
using bmp::EncodeGreyBmp;
using bmp::GreyBmpSizeOk;
using bmp::GreyRowSize;
using bmp::kGreyBmpHeaderSize;
using bmp::PixelsPerMetreFromDpi;

// Packs `height` rows (top row first, `stride` bytes apart, `bytesPerPixel` 1, 3 or 4)
// into the bottom-up, zero-padded pixel block, taking each pixel's first byte (blue).
// `block` must hold GreyRowSize(width) * height bytes.
void PackGreyRows(const uint8_t* rows, int width, int height, ptrdiff_t stride, int bytesPerPixel,
                  uint8_t* block);

// A whole file in memory from rows of 1, 3 or 4 bytes per pixel (first byte taken), so
// a writer hands it to one write call. False for bad sizes or pixel widths.
bool EncodeGreyBmpFile(const uint8_t* rows, int width, int height, ptrdiff_t stride, int bytesPerPixel,
                       float dpiX, float dpiY, std::vector<uint8_t>& file);

// The same file handed to `sink` in pieces of at most about `chunkBytes` (the header, then
// whole padded rows) from one reused buffer, so a large picture is written without a
// file-sized allocation. False for bad sizes or pixel widths, when the buffer cannot be
// had, or as soon as `sink` returns false (nothing more is handed on then).
using GreyBmpSink = std::function<bool(const uint8_t* bytes, size_t size)>;
constexpr size_t kGreyBmpChunkBytes = size_t(1) << 20;
bool StreamGreyBmpFile(const uint8_t* rows, int width, int height, ptrdiff_t stride, int bytesPerPixel,
                       float dpiX, float dpiY, const GreyBmpSink& sink,
                       size_t chunkBytes = kGreyBmpChunkBytes);

}  // namespace imaging
}  // namespace orvaq
