// Fuzz target: the raw-file layout check and the line-number fault writer take any
// bytes without reading or writing outside them.
#include <cstdint>
#include <vector>

#include "common/RawFormat.h"
#include "simulator/Plates.h"

extern "C" void OrvaqFuzzSeeds(std::vector<std::vector<uint8_t>>* seeds) {
  // A short sound file: header and three Fast lines.
  std::vector<uint8_t> f(orvaq::raw::kHeaderSize + 3 * 2848, 0);
  f[4] = 2;
  for (unsigned k = 0; k < 3; ++k) {
    uint8_t* rec = f.data() + orvaq::raw::kHeaderSize + k * 2848;
    rec[0] = uint8_t(k);
    uint16_t prev = k == 0 ? 0xFFFF : uint16_t(k - 1);
    rec[2848 - 32] = uint8_t(prev);
    rec[2848 - 31] = uint8_t(prev >> 8);
  }
  seeds->push_back(f);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string why;
  orvaq::sim::CheckRawLayout(data, size, &why);
  if (size >= 2) {
    std::vector<uint8_t> copy(data, data + size);
    unsigned lineSize = orvaq::raw::LineSizeForMode(data[size - 1] % 12);
    orvaq::sim::CorruptPreviousLineNumber(copy, lineSize ? lineSize : data[0], data[size - 2], 0x4242);
    orvaq::sim::CheckRawLayout(copy.data(), copy.size(), nullptr);
  }
  return 0;
}
