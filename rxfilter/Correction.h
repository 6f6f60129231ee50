// The reconstruction of the reference filter library: from the checked raw samples to
// the plate's 16-bit image at 2R pixels per millimetre, with the image code.
//
// Steps (every one documented where it is implemented, Correction.cpp):
//  1. Levels. The dark level D is the median of the 16 samples at both ends of every
//     line (the scanner reads past the plate there), or HorizontalOffsetCorrection
//     when non-zero; its noise S is 1.4826 times their median absolute deviation.
//  2. Plate. A sample is plate when above T = D + max(8 S, 200). Columns (samples)
//     holding plate in at least half as many lines as the fullest column, and lines
//     holding plate in at least half as many columns as the fullest line, give the
//     plate's box. Each side is then widened by the partial coverage of the sample just
//     outside it (its level between D and the sample just inside), in half samples,
//     i.e. in image pixels. No box, a box under 8 mm on a side, or a box whose inner
//     half spans less than 1000 counts between its 1st and 99th percentile (a plate
//     never exposed) is an empty plate.
//  3. Horizontal line correction (HorizontalCorrection non-zero). For every line of the
//     box the gain is the median over the box's columns of (v - D) / (mean of the lines
//     two before and two after - D); lines two away, so that a faulty line does not
//     make its neighbours look faulty too. Gains within the dead band
//     HorizontalEpsilonCorrection per cent of 1, and gains further from 1 than
//     HorizontalCorrectionFactor (0 or less reads 0.05, at most 0.5; such a line meets
//     a horizontal edge of the picture, not a gain fault) are left alone; the others are
//     divided out (type 0: as a gain above D; type 1: as the equivalent offset).
//  4. Stretch. The 16-bit output is 65535 - 65535 (v - D) / (E - D), clamped, with E
//     the ValeurEtirement (when it is not above D: the plate's 99.9th percentile); so
//     less exposure is brighter, and the 8-bit image is the 16-bit value's high byte.
//  5. Geometry. A sample spans 2 pixels across the line and a line 2 rows: the box is
//     cut out and every sample repeated 2 x 2 (image pixels between sample centres get
//     the nearer sample).
//  6. Image code. The plate code is the size class of the box's sides in millimetres
//     (smaller 20..24 / larger 33..37: 0; 22..26/38..42: 1; 29..33/39..43: 2;
//     25..29/50..58: 3, tried in this order), else the header's plate code when it is
//     0..3, else 4; plus 10 for a test-pattern plate unless IgnoreMire; plus 100 times
//     the header's sensor variant.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rxfilter/RawReader.h"

namespace orvaq {
namespace rxf {

struct CorrectionSettings {
  bool horizontal = true;
  double factor = 0.016;
  unsigned type = 0;
  float epsilon = 0.1f;
  unsigned darkOverride = 0;  // HorizontalOffsetCorrection
  unsigned stretch = 57000;   // ValeurEtirement
  bool ignoreMire = false;
};

struct PlateImage {
  bool empty = true;
  int width = 0, height = 0;
  std::vector<uint16_t> pixels;  // width x height, top row first, less exposure brighter
  unsigned imageCode = 0;
  unsigned plateCode = 4;
  double widthMm = 0, heightMm = 0;
};

// 8-bit pictures of the steps, for the intermediate-images folder.
struct Intermediate {
  std::string name;
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;
};

// Size class of a plate from its sides in millimetres, -1 when none matches.
int PlateSizeClass(int sideAMm, int sideBMm);

// Reconstructs the plate. Returns false for an empty plate (out.empty set).
bool Reconstruct(const RawScan& scan, const CorrectionSettings& settings, PlateImage& out,
                 std::vector<Intermediate>* intermediates = nullptr);

// 16-bit to 8-bit: the high byte of every sample.
void HighBytes(const uint16_t* in, size_t count, uint8_t* out);

}  // namespace rxf
}  // namespace orvaq
