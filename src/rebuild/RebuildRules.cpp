// OrvaqRbld2's decisions (see RebuildRules.h).
#include "rebuild/RebuildRules.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "acquisition/AcquisitionOutputs.h"
#include "common/Text.h"
#include "settings/KvPaths.h"

namespace orvaq {
namespace rebuild {

ModeRow ModeTable(int mode) {
  switch (mode) {
    case 2: return {true, 15.0f, 1400, kEmptyPlateFast};
    case 0: return {true, 20.0f, 2800, kEmptyPlateSd};
    case 1: return {true, 40.0f, 2800, nullptr};
    default: return {};
  }
}

const wchar_t* EmptyPlatePictureFor(int mode) { return ModeTable(mode).emptyPlatePicture; }

recon::BufferSizing SizeBuffers(uint64_t rawFileSize, int mode) {
  if (!ModeTable(mode).known) return {};
  return recon::SizeBufferForRaw(rawFileSize, mode);
}

DepthPlan PlanForDepth(int depthChoice) {
  DepthPlan p;
  switch (depthChoice) {
    case 1:  // 8-bit only
      p.pass16 = false;
      p.keep16 = false;
      break;
    case 2:  // 16-bit reconstruction, 8-bit derived, no 16-bit output
      p.pass8 = false;
      p.derive8 = true;
      p.keep16 = false;
      break;
    case 3:  // the same, 16-bit output kept
      p.pass8 = false;
      p.derive8 = true;
      break;
    default:  // 0 and unknown values: both images from the library
      break;
  }
  return p;
}

recon::ImageCodeInfo DecodeImageCode(uint16_t code, float resolution) {
  return recon::DecodeImageCode(code, resolution);
}

FilterParams FilterParams8(int filterLevel, const recon::ImageCodeInfo& code) {
  return recon::MakeFilterParams(filterLevel, code);
}

bool Filters16(int filterLevel) { return filterLevel > 100; }

FilterParams FilterParams16(int filterLevel, const recon::ImageCodeInfo& code) {
  FilterParams p;
  std::memset(&p, 0, sizeof p);
  p.iterations = 50;
  p.strength = (filterLevel + 120) / 1000.0;
  p.reserved = 0;
  p.strong = 1;
  p.imageCode = uint16_t(code.plateCode);
  return p;
}

int SizeClass(int width, int height, float resolution) {
  return recon::PlateSizeFromImage(width, height, resolution);
}

bool DeriveHighBytes(const uint16_t* samples, size_t count, uint8_t* out, size_t capacity) {
  if (count > capacity || (count && (!samples || !out))) return false;
  for (size_t i = 0; i < count; ++i) out[i] = uint8_t(samples[i] >> 8);
  return true;
}

int32_t PixelsPerMetre(float resolution) { return recon::PixelsPerMetre(resolution); }
float DotsPerInch(float resolution) { return recon::DotsPerInch(resolution); }
std::wstring ResolutionText(float resolution) { return recon::ResolutionText(resolution); }

std::wstring PixelPitchText(float resolution) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", recon::PixelPitchMicrons(resolution));
  for (char* p = buf; *p; ++p)
    if (*p == ',') *p = '.';  // whatever the process locale says about decimal commas
  return FromUtf8(buf);
}

std::vector<InfoKey> MainPathKeys(const MainPathRecord& r) {
  std::vector<InfoKey> k;
  k.push_back({L"SENSOR", L"Size", r.sizeClass >= 0 ? std::to_wstring(r.sizeClass) : std::wstring()});
  k.push_back({L"ACQUISITION", L"Resolution", ResolutionText(r.resolution)});
  k.push_back({L"ACQUISITION", L"Width", std::to_wstring(r.width)});
  k.push_back({L"ACQUISITION", L"Height", std::to_wstring(r.height)});
  k.push_back({L"ACQUISITION", L"File8", r.bmpPath});
  k.push_back({L"ACQUISITION", L"FileBIN", r.binPath});
  switch (r.raw16) {
    case Raw16Outcome::Written:
      k.push_back({L"ACQUISITION", L"File16", r.rawPath});
      // fall through
    case Raw16Outcome::Short:
      k.push_back({L"ACQUISITION", L"RAWWidth", std::to_wstring(r.rawWidth)});
      k.push_back({L"ACQUISITION", L"RAWHeight", std::to_wstring(r.rawHeight)});
      break;
    case Raw16Outcome::NoImage:
      k.push_back({L"ACQUISITION", L"File16", L""});
      k.push_back({L"ACQUISITION", L"RAWWidth", L"0"});
      k.push_back({L"ACQUISITION", L"RAWHeight", L"0"});
      break;
    case Raw16Outcome::NotCreated:
      break;
  }
  const std::wstring pitch = PixelPitchText(r.resolution);
  k.push_back({L"ACQUISITION", L"PixelWidth", pitch});
  k.push_back({L"ACQUISITION", L"PixelHeight", pitch});
  k.push_back({L"ACQUISITION", L"Mire", r.mire ? L"1" : L"0"});
  return k;
}

std::vector<InfoKey> EmptyPlateKeys(const EmptyPlateRecord& r) {
  const std::wstring pitch = r.fast ? L"33.33" : L"25.00";
  return {
      {L"SENSOR", L"Size", L""},
      {L"ACQUISITION", L"Resolution", r.fast ? L"Fast" : L"HD"},
      {L"ACQUISITION", L"Width", std::to_wstring(r.width)},
      {L"ACQUISITION", L"Height", std::to_wstring(r.height)},
      {L"ACQUISITION", L"File8", r.bmpPath},
      {L"ACQUISITION", L"File16", r.rawPath},
      {L"ACQUISITION", L"PixelWidth", pitch},
      {L"ACQUISITION", L"PixelHeight", pitch},
      {L"ACQUISITION", L"Mire", L"0"},
  };
}

float EmptyPlateDotsPerInch(bool fast) { return DotsPerInch(fast ? 15.0f : 20.0f); }

std::wstring BitmapPathFor(const std::wstring& infoPath) { return paths::ReplaceExtension(infoPath, L".bmp"); }

std::wstring FinalInfoPath(const std::wstring& infoPath) {
  return infoPath.empty() ? infoPath : infoPath.substr(0, infoPath.size() - 1);
}

std::wstring IntermediateFolderFor(const std::wstring& infoPath) {
  return paths::Join(paths::Folder(infoPath), L"LASTACQP2");
}

std::wstring ThumbnailFileFor(const std::wstring& infoPath) {
  return paths::Join(paths::Folder(infoPath), L"LASTACQP2.BIN.bmp");
}

DrawRect PreviewPictureRect(int areaWidth, int areaHeight, int pictureWidth, int pictureHeight) {
  DrawRect r;
  if (areaWidth <= 0 || areaHeight <= 0 || pictureWidth <= 0 || pictureHeight <= 0) return r;
  // areaWidth / pictureWidth > areaHeight / pictureHeight, without division.
  if (double(areaWidth) * pictureHeight > double(areaHeight) * pictureWidth) {
    r.height = areaHeight;
    r.width = int(std::lround(double(pictureWidth) * areaHeight / pictureHeight));
    r.left = (areaWidth - r.width) / 2;
  } else {
    r.width = areaWidth;
    r.height = int(std::lround(double(pictureHeight) * areaWidth / pictureWidth));
    r.top = (areaHeight - r.height) / 2;
  }
  return r;
}

DrawRect PreviewButtonRect(int index, int left, int bottom) {
  return {left + index * kPreviewButtonPitch, bottom - kPreviewButtonSize, kPreviewButtonSize, kPreviewButtonSize};
}

}  // namespace rebuild
}  // namespace orvaq
