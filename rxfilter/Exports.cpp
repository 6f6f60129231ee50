// The eight entry points of the reference filter library over its portable core. The
// same file is built into RXFilter.DLL and into the host tests. Nothing may leave an
// entry point as an exception: allocation failures become RXF_NO_MEMORY.
#include "rxfilter/RXFilter.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "common/RawFormat.h"
#include "common/GreyBmpFormat.h"
#include "rxfilter/Correction.h"
#include "rxfilter/MultiPlate.h"
#include "rxfilter/NoiseFilter.h"
#include "rxfilter/RawReader.h"
#ifndef _WIN32
#include "common/Text.h"
#endif

namespace {

using namespace orvaq::rxf;

// Raw files are at most 16383 lines of 5648 bytes plus the header.
constexpr long kMaxRawFile = long(kMaxLines) * 5648 + 36;

FILE* OpenForRead(const wchar_t* path) {
#ifdef _WIN32
  return _wfopen(path, L"rb");
#else
  return std::fopen(orvaq::ToUtf8(path).c_str(), "rb");
#endif
}

int ReadFileBytes(const wchar_t* path, std::vector<uint8_t>& bytes) {
  if (!path) return RXF_BAD_ARGUMENT;
  FILE* f = OpenForRead(path);
  if (!f) return RXF_CANNOT_READ;
  std::vector<uint8_t> buf;
  uint8_t chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
    if (buf.size() + got > size_t(kMaxRawFile)) { std::fclose(f); return RXF_DAMAGED_RAW; }
    buf.insert(buf.end(), chunk, chunk + got);
  }
  const bool error = std::ferror(f) != 0;
  std::fclose(f);
  if (error) return RXF_CANNOT_READ;
  bytes.swap(buf);
  return RXF_OK;
}

CorrectionSettings SettingsFrom(const CorrectionParams* p) {
  CorrectionSettings s;
  if (!p) return s;
  s.horizontal = p->HorizontalCorrection != 0;
  s.factor = p->HorizontalCorrectionFactor;
  s.type = p->HorizontalCorrectionType;
  s.epsilon = p->HorizontalEpsilonCorrection;
  s.darkOverride = p->HorizontalOffsetCorrection;
  s.stretch = p->ValeurEtirement;
  s.ignoreMire = p->IgnoreMire != 0;
  return s;
}

void WriteIntermediates(const CorrectionParams* p, const std::vector<Intermediate>& pictures, double r) {
  if (!p || !p->StoreIntermediateImages || !p->pIntermediateFolder) return;
  std::string folder(p->pIntermediateFolder, strnlen(p->pIntermediateFolder, 260));
  if (folder.empty()) return;
  if (folder.back() != '\\' && folder.back() != '/') folder += '/';
  for (const Intermediate& im : pictures) {
    std::vector<uint8_t> file;
    if (!orvaq::bmp::EncodeGreyBmp(im.pixels.data(), im.width, im.height, im.width,
                                       float(r * 50.8), float(r * 50.8), file))
      continue;
    if (FILE* f = std::fopen((folder + im.name).c_str(), "wb")) {
      std::fwrite(file.data(), 1, file.size(), f);
      std::fclose(f);
    }
  }
}

size_t Capacity(unsigned w, unsigned h) { return size_t(w) * size_t(h); }

// Reads, checks and reconstructs one raw file. Returns an RXF_ result.
int RunCorrection(const wchar_t* path, CorrectionParams* params, RawScan& scan, PlateImage& img) {
  std::vector<uint8_t> bytes;
  int rc = ReadFileBytes(path, bytes);
  if (rc != RXF_OK) return rc;
  if (ReadRaw(bytes.data(), bytes.size(), scan) != RawError::None) return RXF_DAMAGED_RAW;
  std::vector<uint8_t>().swap(bytes);
  std::vector<Intermediate> pictures;
  const bool keep = params && params->StoreIntermediateImages && params->pIntermediateFolder;
  const bool found = Reconstruct(scan, SettingsFrom(params), img, keep ? &pictures : nullptr);
  if (params) params->ImageCode = uint16_t(img.imageCode);
  WriteIntermediates(params, pictures, scan.resolution);
  return found ? RXF_OK : RXF_EMPTY_PLATE;
}

int FullCorrection(const wchar_t* path, BufferFinal* out8, BufferFinal16* out16, CorrectionParams* params) {
  if (!path || (!out8 && !out16) || !params) return RXF_BAD_ARGUMENT;
  if ((out8 && !out8->pBuffer) || (out16 && !out16->pBuffer)) return RXF_BAD_ARGUMENT;
  const size_t cap8 = out8 ? Capacity(out8->width, out8->height) : 0;
  const size_t cap16 = out16 ? Capacity(out16->width, out16->height) : 0;
  if (out8) out8->width = out8->height = 0;
  if (out16) out16->width = out16->height = 0;
  try {
    RawScan scan;
    PlateImage img;
    int rc = RunCorrection(path, params, scan, img);
    if (rc != RXF_OK) return rc;
    const size_t count = size_t(img.width) * img.height;
    if ((out8 && count > cap8) || (out16 && count > cap16)) return RXF_BUFFER_TOO_SMALL;
    if (out8) {
      HighBytes(img.pixels.data(), count, out8->pBuffer);
      out8->width = uint16_t(img.width);
      out8->height = uint16_t(img.height);
    }
    if (out16) {
      std::memcpy(out16->pBuffer, img.pixels.data(), count * 2);
      out16->width = uint16_t(img.width);
      out16->height = uint16_t(img.height);
    }
    return RXF_OK;
  } catch (const std::bad_alloc&) {
    return RXF_NO_MEMORY;
  } catch (...) {
    return RXF_BAD_ARGUMENT;
  }
}

// The composition list between LUMEQ2_Add_T3 and LUMEQ2_End_T3 / LUMEQ2_Calculate_T4.
std::mutex g_lock;
std::vector<Part> g_parts;

}  // namespace

// The test-only twin of the library faults on demand at the top of every entry point.
#ifdef RXFILTER_FAULT_INJECTION
#include "rxfilter/win/FaultInjection.h"
#define RXF_TEST_FAULT() RxfInjectFault()
#else
#define RXF_TEST_FAULT() ((void)0)
#endif

extern "C" {

int RXFILTER_CALL LUMEQ2FullCorrection(const wchar_t* rawPath, BufferFinal* out8, CorrectionParams* params) {
  RXF_TEST_FAULT();
  if (!out8) return RXF_BAD_ARGUMENT;
  return FullCorrection(rawPath, out8, nullptr, params);
}

int RXFILTER_CALL LUMEQ2FullCorrection8_16(const wchar_t* rawPath, BufferFinal* out8, BufferFinal16* out16,
                                           CorrectionParams* params) {
  RXF_TEST_FAULT();
  return FullCorrection(rawPath, out8, out16, params);
}

int RXFILTER_CALL ApplyLUMEQ2FilterX0X3(FilterImage* image, FilterParams* params, int) {
  RXF_TEST_FAULT();
  if (!image || !params || image->planes != 1) return 0;
  NoiseFilterParams p;
  p.iterations = params->iterations;
  p.strength = params->strength;
  p.strong = params->strong != 0;
  p.imageCode = params->imageCode;
  try {
    return FilterNoise(image->pPixels, image->width, image->height, image->stride, image->bitsPerSample, p) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

int RXFILTER_CALL LUMEQ2_IsImageT3(const wchar_t* rawPath, BufferFinal* preview8, BufferFinal16* first16,
                                   BufferFinal16* second16, CorrectionParams* params) {
  RXF_TEST_FAULT();
  if (!rawPath || !preview8 || !first16 || !second16 || !params) return 0;
  if (!preview8->pBuffer || !first16->pBuffer || !second16->pBuffer) return 0;
  try {
    std::vector<uint8_t> head(orvaq::raw::kHeaderSize);
    {
      FILE* f = OpenForRead(rawPath);
      if (!f) return 0;
      const size_t got = std::fread(head.data(), 1, head.size(), f);
      std::fclose(f);
      RawHeader h;
      if (ReadRawHeader(head.data(), got, h) != RawError::None) return 0;
      if (!(h.flags & orvaq::raw::kFlagMultiPlatePart)) return 0;
    }
    const size_t capP = Capacity(preview8->width, preview8->height);
    const size_t cap1 = Capacity(first16->width, first16->height);
    const size_t cap2 = Capacity(second16->width, second16->height);
    RawScan scan;
    PlateImage img;
    if (RunCorrection(rawPath, params, scan, img) != RXF_OK) return 0;
    const size_t count = size_t(img.width) * img.height;
    if (count > cap1 || count > cap2) return 0;
    int pw = 0, ph = 0;
    std::vector<uint8_t> preview;
    MakePreview(img.pixels.data(), img.width, img.height, preview8->width, preview8->height, pw, ph, preview);
    if (size_t(pw) * ph > capP) return 0;
    std::memcpy(preview8->pBuffer, preview.data(), preview.size());
    preview8->width = uint16_t(pw);
    preview8->height = uint16_t(ph);
    PartInfo info{scan.header.partNumber, scan.header.partCount, scan.header.orientation};
    for (BufferFinal16* r : {first16, second16}) {
      std::memcpy(r->pBuffer, img.pixels.data(), count * 2);
      r->width = uint16_t(img.width);
      r->height = uint16_t(img.height);
      r->tag = EncodePartTag(info);
    }
    return 1;
  } catch (...) {
    return 0;
  }
}

void RXFILTER_CALL LUMEQ2_Add_T3(BufferFinal16* part) {
  RXF_TEST_FAULT();
  if (!part || !part->pBuffer || !part->width || !part->height) return;
  try {
    std::lock_guard<std::mutex> g(g_lock);
    if (g_parts.size() >= 3) return;
    Part p;
    p.width = part->width;
    p.height = part->height;
    p.pixels.assign(part->pBuffer, part->pBuffer + size_t(p.width) * p.height);
    p.known = DecodePartTag(part->tag, p.info);
    g_parts.push_back(std::move(p));
  } catch (...) {
  }
}

void RXFILTER_CALL LUMEQ2_End_T3(void) {
  RXF_TEST_FAULT();
  std::lock_guard<std::mutex> g(g_lock);
  std::vector<Part>().swap(g_parts);
}

uint32_t RXFILTER_CALL LUMEQ2_Precalculate_T4(void) {
  RXF_TEST_FAULT();
  std::lock_guard<std::mutex> g(g_lock);
  return ArrangementAdvice(g_parts);
}

void RXFILTER_CALL LUMEQ2_Calculate_T4(BufferFinal* out8, BufferFinal16* out16, uint32_t orientationFlags) {
  RXF_TEST_FAULT();
  std::lock_guard<std::mutex> g(g_lock);
  try {
    if (out16 && out16->pBuffer) {
      const size_t cap16 = Capacity(out16->width, out16->height);
      const size_t cap8 = out8 && out8->pBuffer ? Capacity(out8->width, out8->height) : 0;
      int w = 0, h = 0;
      std::vector<uint16_t> px;
      out16->width = out16->height = 0;
      if (out8) out8->width = out8->height = 0;
      if (ComposeParts(g_parts, orientationFlags, cap16, w, h, px)) {
        std::memcpy(out16->pBuffer, px.data(), px.size() * 2);
        out16->width = uint16_t(w);
        out16->height = uint16_t(h);
        if (out8 && out8->pBuffer && px.size() <= cap8) {
          HighBytes(px.data(), px.size(), out8->pBuffer);
          out8->width = uint16_t(w);
          out8->height = uint16_t(h);
        }
      }
    }
  } catch (...) {
  }
  std::vector<Part>().swap(g_parts);
}

}  // extern "C"
