// The raw line-straightening tool (command line "/r_in", "/r_ol", "/r_out"): a strip of
// 200 lines of 9960 16-bit samples whose lines are shifted so that the plate's edge is
// straight, then mapped to 8 bits over its populated histogram window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvaq {
namespace imaging {

constexpr int kStripLines = 200, kStripSamples = 9960, kStripBins = 16384;
constexpr size_t kStripBytes = size_t(kStripLines) * kStripSamples * 2;

struct RawStripResult {
  std::vector<uint32_t> histogram;  // 16384 counts of the input (the ".pal" file)
  std::vector<uint8_t> picture;     // 9960 x 200, 8 bits, top line first
  int lo = 0, hi = 0;               // the mapped window
};

// Leading samples above 7749 of one line.
int StripEdge(const uint16_t* line, int count);
// The 16384-entry window table (below lo 0, lo..hi linear to 255, from hi on 255), with
// the window widened to 255 when narrower; lo and hi are updated.
void StripTable(int& lo, int& hi, std::vector<uint8_t>& table);
// False when fewer than 1992000 samples are given.
bool StraightenStrip(const uint8_t* data, size_t size, RawStripResult& out);

}  // namespace imaging
}  // namespace orvaq
