// The decisions of the reconstruction pipeline as pure functions: sizing from the raw
// header's Mode, the filter library's records filled from the settings, the image-code
// decoding, the plate-size table and its rotation, the noise filter's parameters and
// the demonstration file choice. The pipeline (Reconstruction.h) only sequences them.
#pragma once

#include <cstdint>
#include <string>

#include "rxfilter/RXFilter.h"

namespace orvaq {
namespace recon {

// Samples per raw line c and resolution value R for a header Mode (2: 1400 and 15,
// 0: 2800 and 20, 1: 2800 and 40, anything else: 2800 and 80).
struct ModeSizing {
  unsigned samples = 0;
  float resolution = 0;
};
ModeSizing SizingForMode(int mode);

// The 8-bit buffer handed to the correction: width 2c, height 4n with n whole lines of
// 2c + 48 bytes in the file (header included in the length), both 16-bit. A height
// that would not fit 16 bits is capped at the largest that does, so the buffer is never
// smaller than the record claims.
struct BufferSizing {
  unsigned samples = 0;
  float resolution = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  size_t Bytes() const { return size_t(width) * size_t(height); }
};
BufferSizing SizeBufferForRaw(uint64_t fileLength, int mode);

// The correction settings as read at the moment of the call.
struct CorrectionSettings {
  bool horizontalCorrection = true;
  double horizontalCorrectionFactor = 0;
  int16_t horizontalCorrectionType = 0;
  double horizontalEpsilonCorrection = 0.1;
  int16_t horizontalOffsetCorrection = 0;
  bool storeIntermediateImages = false;
  int valeurEtirement = 57000;
  bool ignoreMire = false;
};
// Zero-fills `out` and sets every field; `workBuffer` is the caller's 1024-byte block,
// `intermediateFolder` the ANSI folder path (null when intermediate images are off).
void FillCorrectionParams(const CorrectionSettings& settings, uint16_t mode, void* workBuffer,
                          char* intermediateFolder, CorrectionParams& out);

// The library's image code: sensor variant T (hundreds), the test-pattern flag Mire
// (tens, which multiplies R by 1.94) and the plate code that remains.
struct ImageCodeInfo {
  int sensorVariant = 0;
  bool mire = false;
  int plateCode = 0;
  float resolution = 0;
};
ImageCodeInfo DecodeImageCode(uint16_t code, float resolution);

// Plate size 0..3 from the image's sides in millimetres (width and height / 2R,
// truncated, smaller first); -1 when no row of the table matches.
int PlateSizeFromImage(int width, int height, float resolution);
// Sizes 2 and 3 are shown and stored turned by 90 degrees.
inline bool IsRotatedPlateSize(int size) { return size == 2 || size == 3; }

// The noise filter's parameters for the setting AcqFilter F: 50 iterations, strength
// (F + 120) / 1000 and the strong flag from 100 up; 5 iterations and 0.4 below.
FilterParams MakeFilterParams(int acqFilter, const ImageCodeInfo& code);

// Bitmap resolution from R: pixels per metre (int)(2R x 1000), dots per inch R x 50.8,
// pixel pitch 1000 / 2R micrometres.
int32_t PixelsPerMetre(float resolution);
float DotsPerInch(float resolution);
double PixelPitchMicrons(float resolution);

// The demonstration raw file for the multi-plate setting `useT4` (0..2), the
// AcquisitionQuality value and which of the three composition slots are complete.
std::wstring DemoFileName(int useT4, int acquisitionQuality, const bool slotComplete[3]);

}  // namespace recon
}  // namespace orvaq
