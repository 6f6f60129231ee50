// Fuzz target: the grey BMP writer's inputs (size, stride, resolution, pixels) taken
// from arbitrary bytes; the writer must refuse what it cannot write and never overrun.
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/GreyBmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 12) return 0;
  int16_t w, h, extra;
  float dpi;
  std::memcpy(&w, data, 2);
  std::memcpy(&h, data + 2, 2);
  std::memcpy(&extra, data + 4, 2);
  std::memcpy(&dpi, data + 6, 4);
  const int bpp = 1 + data[10] % 4;
  // Up to 99 x 99: every row padding, stride slack and vector tail occurs well below that,
  // and small pictures keep the runs fast.
  const int width = w % 100, height = h % 100;
  const long stride = long(width > 0 ? width : 0) * bpp + (extra & 7);
  std::vector<uint8_t> rows(size_t(stride > 0 ? stride : 0) * size_t(height > 0 ? height : 0));
  for (size_t i = 0; i < rows.size(); ++i) rows[i] = data[i % size];
  std::vector<uint8_t> file;
  if (bpp == 1) {
    orvaq::imaging::EncodeGreyBmp(rows.data(), width, height, stride, dpi, dpi, file);
  } else if (orvaq::imaging::GreyBmpSizeOk(width, height)) {
    std::vector<uint8_t> block(orvaq::imaging::GreyRowSize(width) * size_t(height));
    orvaq::imaging::PackGreyRows(rows.data(), width, height, stride, bpp, block.data());
    uint8_t header[orvaq::imaging::kGreyBmpHeaderSize];
    orvaq::imaging::BuildGreyBmpHeader(width, height, dpi, dpi, header);
    // The piecewise writer over the same inputs, with a piece size from the input.
    size_t total = 0;
    orvaq::imaging::StreamGreyBmpFile(rows.data(), width, height, stride, bpp, dpi, dpi,
                                      [&](const uint8_t* p, size_t n) {
                                        total += n;
                                        return p != nullptr;
                                      },
                                      size_t(data[11]) * 16);
    if (total != 0 && total != block.size() + sizeof header) __builtin_trap();
  }
  return 0;
}

extern "C" void OrvaqFuzzSeeds(std::vector<std::vector<uint8_t>>* seeds) {
  // Width, height, stride slack, resolution (float), bytes per pixel, piece size; pixels.
  struct Row { int16_t w, h, extra; float dpi; uint8_t bpp, piece; };
  const Row rows[] = {{37, 21, 3, 300.0f, 0, 4}, {64, 9, 1, 1270.0f, 1, 0}, {13, 5, 0, 96.5f, 3, 1}, {99, 99, 7, 0.0f, 2, 255}};
  for (const Row& r : rows) {
    std::vector<uint8_t> s(12);
    std::memcpy(&s[0], &r.w, 2);
    std::memcpy(&s[2], &r.h, 2);
    std::memcpy(&s[4], &r.extra, 2);
    std::memcpy(&s[6], &r.dpi, 4);
    s[10] = r.bpp;
    s[11] = r.piece;
    for (int i = 0; i < 64; ++i) s.push_back(uint8_t(i * 37));
    seeds->push_back(s);
  }
}
