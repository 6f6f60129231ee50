// Fuzz target for the raw-file check decisions: any raw bytes with any image
// description are judged without fault, and a passed file really has the length and
// the previous-line numbers of a sound file.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "acquisition/RawCheck.h"
#include "common/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t infoLength = data[0] < size - 1 ? data[0] : size - 1;
  const std::string info(reinterpret_cast<const char*>(data + 1), infoLength);
  const uint8_t* raw = data + 1 + infoLength;
  const size_t rawSize = size - 1 - infoLength;

  const RawImageDescription d = ParseImageDescription(orvaq::FromLatin1(info));
  const unsigned L = ExpectedLineSize(raw, rawSize);
  if (L == 0) return 0;
  const RawScanResult r = ScanRawLines(raw, rawSize, L, d);
  if (r.verdict == RawVerdict::Pass) {
    if (static_cast<unsigned>(d.lineSize) != L || d.lineCount < 1) std::abort();
    if (rawSize != static_cast<size_t>(d.lineCount) * L + 36) std::abort();
    uint16_t expected = 0xFFFF;
    for (int k = 0; k < d.lineCount; ++k) {
      const size_t at = 4 + static_cast<size_t>(k + 1) * L;
      if ((raw[at] | (raw[at + 1] << 8)) != expected) std::abort();
      expected = static_cast<uint16_t>(raw[36 + k * L] | (raw[36 + k * L + 1] << 8));
    }
  }
  return 0;
}

extern "C" void OrvaqFuzzSeeds(std::vector<std::vector<uint8_t>>* seeds) {
  // Mode 2, one line: the description "3;5;a;b;1;2848" and a sound record.
  const std::string info = "3;5;a;b;1;2848";
  std::vector<uint8_t> seed(1 + info.size() + 36 + 2848, 0);
  seed[0] = static_cast<uint8_t>(info.size());
  std::copy(info.begin(), info.end(), seed.begin() + 1);
  uint8_t* raw = seed.data() + 1 + info.size();
  raw[4] = 2;
  raw[36 + 2848 - 32] = 0xFF;
  raw[36 + 2848 - 31] = 0xFF;
  seeds->push_back(seed);
  seeds->push_back({5, '1', ';', '2', ';', ';', 0, 0, 0, 0, 10});
}
