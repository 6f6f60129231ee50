// 8-bit grey BMP header and pixel block (see GreyBmp.h).
#include "imaging/GreyBmp.h"
#include "imaging/Gather.h"

#include <algorithm>
#include <cstring>
#include <new>
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#endif

namespace orvaq {
namespace imaging {

namespace {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define ORVAQ_GATHER_SSSE3 1
// Sixteen 24-bit pixels (48 bytes, three loads) become sixteen blue bytes with three byte
// shuffles; returns how many pixels it did. Only called where the processor has SSSE3.
__attribute__((target("ssse3"))) int GatherFirstOf3Ssse3(const uint8_t* src, int width, uint8_t* dst,
                                                          const uint8_t* ahead) {
  const __m128i fromA = _mm_setr_epi8(0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i fromB = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14, -1, -1, -1, -1, -1);
  const __m128i fromC = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, 4, 7, 10, 13);
  int x = 0;
  for (; x + 16 <= width; x += 16) {
    const uint8_t* p = src + 3 * size_t(x);
    __builtin_prefetch(ahead + 3 * size_t(x));
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
    const __m128i blue = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, fromA), _mm_shuffle_epi8(b, fromB)),
                                      _mm_shuffle_epi8(c, fromC));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), blue);
  }
  return x;
}
#endif


// File rows [first, first + count) (bottom-up order) into `block`.
void PackFileRows(const uint8_t* rows, int width, int height, ptrdiff_t stride, int bpp, int first,
                  int count, uint8_t* block) {
  const size_t rowSize = GreyRowSize(width);
  for (int y = first; y < first + count; ++y) {
    const uint8_t* src = rows + ptrdiff_t(height - 1 - y) * stride;
    uint8_t* dst = block + size_t(y - first) * rowSize;
    if (bpp == 1) {
      std::memcpy(dst, src, size_t(width));
    } else if (bpp == 3) {
      // The rows are read bottom-up, each one a new stream for the processor's prefetcher:
      // the next one is asked for while this one is gathered.
      GatherFirstOf3(src, width, dst, y + 1 < height ? src - stride : src);
    } else {
      for (int x = 0; x < width; ++x) dst[x] = src[size_t(bpp) * x];
    }
    std::memset(dst + width, 0, rowSize - size_t(width));
  }
}
}  // namespace

// Blue bytes of `width` 24-bit pixels: byte shuffles where the processor has them, else
// eight pixels (24 bytes) become one 8-byte store, which keeps the gather in registers
// instead of one byte load per pixel.
void GatherFirstOf3(const uint8_t* src, int width, uint8_t* dst, const uint8_t* ahead) {
  int x = 0;
#ifdef ORVAQ_GATHER_SSSE3
  static const bool hasSsse3 = __builtin_cpu_supports("ssse3");
  if (hasSsse3) x = GatherFirstOf3Ssse3(src, width, dst, ahead);
#endif
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  for (; x + 8 <= width; x += 8) {
    uint64_t a, b, c;
    std::memcpy(&a, src + 3 * x, 8);
    std::memcpy(&b, src + 3 * x + 8, 8);
    std::memcpy(&c, src + 3 * x + 16, 8);
    const uint64_t v = (a & 0xFF) | ((a >> 24) & 0xFF) << 8 | ((a >> 48) & 0xFF) << 16 |
                       ((b >> 8) & 0xFF) << 24 | ((b >> 32) & 0xFF) << 32 | (b >> 56) << 40 |
                       ((c >> 16) & 0xFF) << 48 | ((c >> 40) & 0xFF) << 56;
    std::memcpy(dst + x, &v, 8);
  }
#endif
  for (; x < width; ++x) dst[x] = src[3 * x];
}

void PackGreyRows(const uint8_t* rows, int width, int height, ptrdiff_t stride, int bpp, uint8_t* block) {
  PackFileRows(rows, width, height, stride, bpp, 0, height, block);
}

bool StreamGreyBmpFile(const uint8_t* rows, int width, int height, ptrdiff_t stride, int bytesPerPixel,
                       float dpiX, float dpiY, const GreyBmpSink& sink, size_t chunkBytes) {
  if (!rows || !sink || !GreyBmpSizeOk(width, height)) return false;
  if (bytesPerPixel != 1 && bytesPerPixel != 3 && bytesPerPixel != 4) return false;
  const size_t rowSize = GreyRowSize(width);
  // Rows per piece: at least one, at most the whole picture; the header rides with the first.
  const size_t perChunk = std::max<size_t>(1, std::min<size_t>(size_t(height), chunkBytes / rowSize));
  std::vector<uint8_t> buffer;
  try {
    buffer.resize(kGreyBmpHeaderSize + perChunk * rowSize);
  } catch (const std::bad_alloc&) {
    return false;
  }
  BuildGreyBmpHeader(width, height, dpiX, dpiY, buffer.data());
  size_t offset = kGreyBmpHeaderSize;
  for (int y = 0; y < height;) {
    const int count = int(std::min<size_t>(perChunk, size_t(height - y)));
    PackFileRows(rows, width, height, stride, bytesPerPixel, y, count, buffer.data() + offset);
    if (!sink(buffer.data(), offset + size_t(count) * rowSize)) return false;
    offset = 0;
    y += count;
  }
  return true;
}

bool EncodeGreyBmpFile(const uint8_t* rows, int width, int height, ptrdiff_t stride, int bytesPerPixel,
                       float dpiX, float dpiY, std::vector<uint8_t>& file) {
  if (!rows || !GreyBmpSizeOk(width, height)) return false;
  if (bytesPerPixel != 1 && bytesPerPixel != 3 && bytesPerPixel != 4) return false;
  file.resize(kGreyBmpHeaderSize + GreyRowSize(width) * size_t(height));
  BuildGreyBmpHeader(width, height, dpiX, dpiY, file.data());
  PackGreyRows(rows, width, height, stride, bytesPerPixel, file.data() + kGreyBmpHeaderSize);
  return true;
}

}  // namespace imaging
}  // namespace orvaq
