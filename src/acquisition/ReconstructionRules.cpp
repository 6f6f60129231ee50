// Reconstruction decisions (see ReconstructionRules.h).
#include "acquisition/ReconstructionRules.h"

#include <algorithm>
#include <cstring>

#include "common/RawFormat.h"

namespace orvaq {
namespace recon {

ModeSizing SizingForMode(int mode) {
  switch (mode) {
    case 2: return {1400, 15.0f};
    case 0: return {2800, 20.0f};
    case 1: return {2800, 40.0f};
    default: return {2800, 80.0f};
  }
}

BufferSizing SizeBufferForRaw(uint64_t fileLength, int mode) {
  const ModeSizing m = SizingForMode(mode);
  BufferSizing b;
  b.samples = m.samples;
  b.resolution = m.resolution;
  const uint64_t lines = fileLength / (2ull * m.samples + raw::kLineOverhead);
  b.width = static_cast<uint16_t>(2 * m.samples);
  // Truncating 4n to 16 bits would hand the library a record larger than its buffer
  // could be trusted with; the cap keeps the record and the allocation in agreement.
  b.height = static_cast<uint16_t>(std::min<uint64_t>(4 * lines, 0xFFFF));
  return b;
}

void FillCorrectionParams(const CorrectionSettings& s, uint16_t mode, void* workBuffer,
                          char* intermediateFolder, CorrectionParams& out) {
  std::memset(&out, 0, sizeof out);
  out.version = 4;
  out.pWorkBuffer = workBuffer;
  out.nWorkBufferSize = workBuffer ? 1024 : 0;
  out.HorizontalCorrection = s.horizontalCorrection ? 1 : 0;
  out.HorizontalCorrectionFactor = s.horizontalCorrectionFactor;
  out.HorizontalCorrectionType = static_cast<uint16_t>(s.horizontalCorrectionType);
  out.HorizontalEpsilonCorrection = static_cast<float>(s.horizontalEpsilonCorrection);
  out.HorizontalOffsetCorrection = static_cast<uint16_t>(s.horizontalOffsetCorrection);
  out.ImageCode = mode;
  out.StoreIntermediateImages = s.storeIntermediateImages ? 1 : 0;
  out.pIntermediateFolder = s.storeIntermediateImages ? intermediateFolder : nullptr;
  out.ValeurEtirement = static_cast<uint32_t>(s.valeurEtirement);
  out.IgnoreMire = s.ignoreMire ? 1 : 0;
}

ImageCodeInfo DecodeImageCode(uint16_t code, float resolution) {
  ImageCodeInfo info;
  info.resolution = resolution;
  int rest = code;
  if (rest >= 100) {
    info.sensorVariant = rest / 100;
    rest %= 100;
  }
  if (rest >= 10) {
    rest -= 10;
    info.mire = true;
    info.resolution = resolution * 1.94f;
  }
  info.plateCode = rest;
  return info;
}

int PlateSizeFromImage(int width, int height, float resolution) {
  if (!(resolution > 0) || width <= 0 || height <= 0) return -1;
  const int w = static_cast<int>(width / (2 * resolution));
  const int h = static_cast<int>(height / (2 * resolution));
  const int s = std::min(w, h), l = std::max(w, h);
  struct Row { int sMin, sMax, lMin, lMax, size; };
  static const Row kRows[] = {
      {20, 24, 33, 37, 0}, {22, 26, 38, 42, 1}, {29, 33, 39, 43, 2}, {25, 29, 50, 58, 3}};
  for (const Row& r : kRows)
    if (s >= r.sMin && s <= r.sMax && l >= r.lMin && l <= r.lMax) return r.size;
  return -1;
}

FilterParams MakeFilterParams(int acqFilter, const ImageCodeInfo& code) {
  FilterParams p;
  std::memset(&p, 0, sizeof p);
  if (acqFilter >= 100) {
    p.iterations = 50;
    p.strength = (acqFilter + 120) / 1000.0;
    p.strong = 1;
  } else {
    p.iterations = 5;
    p.strength = 0.4;
    p.strong = 0;
  }
  p.reserved = 0;
  p.imageCode = static_cast<uint16_t>((code.mire ? 10 : 0) + code.sensorVariant * 100 + code.plateCode);
  return p;
}

int32_t PixelsPerMetre(float resolution) { return static_cast<int32_t>(2 * resolution * 1000); }
float DotsPerInch(float resolution) { return resolution * 50.8f; }
double PixelPitchMicrons(float resolution) { return 1000.0 / (2.0 * resolution); }

std::wstring DemoFileName(int useT4, int acquisitionQuality, const bool slotComplete[3]) {
  if (useT4 == 0) return L"rawimage_" + std::to_wstring(acquisitionQuality) + L".bin";
  if (!slotComplete[0]) return L"rawimageT4_1.bin";
  if (!slotComplete[1]) return L"rawimageT4_2.bin";
  if (slotComplete[2]) return L"rawimageT4_1.bin";
  if (useT4 == 1) return L"rawimageT4_1.bin";
  return L"rawimageT4_3.bin";
}

}  // namespace recon
}  // namespace orvaq
