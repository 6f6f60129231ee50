// A stand-in for RXFilter.DLL that the rebuild program's tests steer through the
// environment, for what a real plate cannot show on demand: the image code, a failed
// correction or filter, and a record of every argument the program passes.
//   RXSTUB_SIZE=WxH    image made by the correction (a gradient; default 880x1400)
//   RXSTUB_CODE=n      ImageCode left in CorrectionParams (default: Mode unchanged)
//   RXSTUB_RC=n        correction result (default 0)
//   RXSTUB_FILTER8=0   the 8-bit filter fails; RXSTUB_FILTER16=0 the 16-bit one
//   RXSTUB_LOG=path    one text line per call is appended there
// Built three times: whole, without "LUMEQ2FullCorrection", without "ApplyLUMEQ2FilterX0X3".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "rxfilter/RXFilter.h"

namespace {

int Env(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::atoi(v) : fallback;
}

void Log(const char* format, ...) {
  const char* path = std::getenv("RXSTUB_LOG");
  if (!path || !*path) return;
  FILE* f = std::fopen(path, "a");
  if (!f) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(f, format, args);
  va_end(args);
  std::fputc('\n', f);
  std::fclose(f);
}

[[maybe_unused]] int Correct(const char* entry, BufferFinal* out8, BufferFinal16* out16, CorrectionParams* p) {
  Log("%s in8=%d in16=%d cap8=%ux%u cap16=%ux%u version=%u work=%d worksize=%u hc=%u factor=%.4f type=%u eps=%.3f "
      "offset=%u r1=%u code=%u store=%u folder=%s r2=%u etirement=%u ignoremire=%u",
      entry, out8 != nullptr, out16 != nullptr, out8 ? out8->width : 0, out8 ? out8->height : 0,
      out16 ? out16->width : 0, out16 ? out16->height : 0, p->version, p->pWorkBuffer != nullptr,
      p->nWorkBufferSize, p->HorizontalCorrection, p->HorizontalCorrectionFactor, p->HorizontalCorrectionType,
      p->HorizontalEpsilonCorrection, p->HorizontalOffsetCorrection, p->reserved1, p->ImageCode,
      p->StoreIntermediateImages, p->pIntermediateFolder ? p->pIntermediateFolder : "(null)", p->reserved2,
      p->ValeurEtirement, p->IgnoreMire);
  unsigned w = 880, h = 1400;
  if (const char* s = std::getenv("RXSTUB_SIZE")) std::sscanf(s, "%ux%u", &w, &h);
  p->ImageCode = uint16_t(Env("RXSTUB_CODE", p->ImageCode));
  const int rc = Env("RXSTUB_RC", 0);
  if (rc != 0) return rc;
  if ((out8 && size_t(w) * h > size_t(out8->width) * out8->height) ||
      (out16 && size_t(w) * h > size_t(out16->width) * out16->height))
    return RXF_BUFFER_TOO_SMALL;
  for (unsigned y = 0; y < h; ++y)
    for (unsigned x = 0; x < w; ++x) {
      const uint16_t v = uint16_t((x * 251 + y * 97) & 0xFFFF);
      if (out8) out8->pBuffer[size_t(y) * w + x] = uint8_t(v >> 8);
      if (out16) out16->pBuffer[size_t(y) * w + x] = v;
    }
  if (out8) out8->width = uint16_t(w), out8->height = uint16_t(h);
  if (out16) out16->width = uint16_t(w), out16->height = uint16_t(h);
  return 0;
}

}  // namespace

extern "C" {

#ifndef RXSTUB_NO_CORRECTION
int RXFILTER_CALL LUMEQ2FullCorrection(const wchar_t*, BufferFinal* out8, CorrectionParams* params) {
  return Correct("FullCorrection", out8, nullptr, params);
}

int RXFILTER_CALL LUMEQ2FullCorrection8_16(const wchar_t*, BufferFinal* out8, BufferFinal16* out16,
                                           CorrectionParams* params) {
  return Correct("FullCorrection8_16", out8, out16, params);
}
#endif

#ifndef RXSTUB_NO_FILTER
int RXFILTER_CALL ApplyLUMEQ2FilterX0X3(FilterImage* image, FilterParams* params, int reserved) {
  Log("Filter bits=%d w=%d h=%d stride=%d planes=%d iterations=%u strength=%.3f reserved=%u strong=%u code=%u arg=%d",
      image->bitsPerSample, image->width, image->height, image->stride, image->planes, params->iterations,
      params->strength, params->reserved, params->strong, params->imageCode, reserved);
  return Env(image->bitsPerSample == 16 ? "RXSTUB_FILTER16" : "RXSTUB_FILTER8", 1);
}
#endif

}  // extern "C"
