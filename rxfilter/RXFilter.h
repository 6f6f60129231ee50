// RXFilter.DLL: the records and the eight entry points of the filter library, the one
// declaration shared by our reference library and by the programs that bind it at run
// time. Records are 32-bit little-endian; their 32-bit sizes and offsets are checked below.
//
// Calling convention: every entry point is __stdcall with C linkage (RXFILTER_CALL).
// The DLL is linked with --kill-at, so the exported names are the plain names
// ("LUMEQ2FullCorrection", not "_LUMEQ2FullCorrection@12"). On x86_64 the keyword is
// ignored by the compiler and on the host it expands to nothing.
//
// Results of the correction entry points (our reference library; a maker's library
// only promises 0 = success):
//   RXF_OK 0, RXF_EMPTY_PLATE 1 (no plate, or a plate without exposure: width and
//   height set to 0), RXF_BAD_ARGUMENT 2, RXF_CANNOT_READ 3, RXF_DAMAGED_RAW 4
//   (header, line numbers, checksums or length wrong), RXF_BUFFER_TOO_SMALL 5,
//   RXF_NO_MEMORY 6.
//
// Our reference library (rxfilter/, portable core under a thin export layer):
//   - LUMEQ2FullCorrection[8_16]: reads and checks the whole raw file (RawReader.h),
//     finds the dark level and the plate, corrects line gains, stretches to 16 bits
//     with less exposure brighter, cuts the plate out at 2R pixels per mm and sets the
//     image code (Correction.h has every step); the 8-bit image is the high byte. With
//     StoreIntermediateImages it writes 1_raw.bmp, 2_corrected.bmp and 3_result.bmp
//     into the given folder.
//   - ApplyLUMEQ2FilterX0X3: nonlinear diffusion, edge-preserving (NoiseFilter.h).
//   - The multi-plate entry points: part detection with a preview, the part's number
//     carried in its 16-bit record's tag, arrangement advice and composition
//     (MultiPlate.h). The Add list lives only while the library stays loaded.
#pragma once

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define RXFILTER_CALL __stdcall
#else
#define RXFILTER_CALL
#endif
// Only the library's own build exports the entry points; users bind them by name.
#if defined(_WIN32) && defined(RXFILTER_BUILDING_DLL)
#define RXFILTER_API __declspec(dllexport)
#else
#define RXFILTER_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum {
  RXF_OK = 0,
  RXF_EMPTY_PLATE = 1,
  RXF_BAD_ARGUMENT = 2,
  RXF_CANNOT_READ = 3,
  RXF_DAMAGED_RAW = 4,
  RXF_BUFFER_TOO_SMALL = 5,
  RXF_NO_MEMORY = 6
};

// Tags of image records (ASCII in memory order, read as a little-endian u32).
#define RXF_TAG_8 0x382A2A42u   /* "B**8" */
#define RXF_TAG_16 0x36312A42u  /* "B*16" */

// An 8-bit image record. On input width x height is the capacity of pBuffer (zeroed by
// the caller); the library writes the produced size, 0 x 0 for no image.
typedef struct BufferFinal {
  uint32_t tag;
  uint16_t width;
  uint16_t height;
  uint8_t* pBuffer;
} BufferFinal;

// The same for 16-bit samples (little-endian, top row first).
typedef struct BufferFinal16 {
  uint32_t tag;
  uint16_t width;
  uint16_t height;
  uint16_t* pBuffer;
} BufferFinal16;

typedef struct CorrectionParams {
  uint32_t version;                     // 4
  void* pWorkBuffer;                    // 1024-byte scratch block of the caller
  uint32_t nWorkBufferSize;             // 1024
  uint32_t HorizontalCorrection;        // 0 off, otherwise on
  double HorizontalCorrectionFactor;
  uint16_t HorizontalCorrectionType;
  float HorizontalEpsilonCorrection;
  uint16_t HorizontalOffsetCorrection;
  uint32_t reserved1;                   // 0
  uint16_t ImageCode;                   // in: Br1Header.Mode; out: the image code
  uint32_t StoreIntermediateImages;
  char* pIntermediateFolder;            // ANSI folder path or null
  uint32_t reserved2;                   // 0
  uint32_t ValeurEtirement;
  uint32_t IgnoreMire;
} CorrectionParams;

typedef struct FilterImage {
  int32_t width;
  int32_t height;
  int32_t stride;          // bytes from one row to the next
  int32_t bitsPerSample;   // 8 or 16
  int32_t planes;          // 1
  void* pPixels;           // first row
} FilterImage;

typedef struct FilterParams {
  uint16_t iterations;
  double strength;
  uint16_t reserved;       // 0
  uint16_t strong;
  uint16_t imageCode;
} FilterParams;

// Reconstructs the raw file into an 8-bit image. Returns RXF_OK (0) on success.
RXFILTER_API int RXFILTER_CALL LUMEQ2FullCorrection(const wchar_t* rawPath, BufferFinal* out8,
                                       CorrectionParams* params);
// The same with an optional 8-bit and an optional 16-bit output (either may be null).
RXFILTER_API int RXFILTER_CALL LUMEQ2FullCorrection8_16(const wchar_t* rawPath, BufferFinal* out8,
                                           BufferFinal16* out16, CorrectionParams* params);
// Edge-preserving noise filter in place; non-zero on success. `reserved` is 0.
RXFILTER_API int RXFILTER_CALL ApplyLUMEQ2FilterX0X3(FilterImage* image, FilterParams* params, int reserved);
// Non-zero when the raw file is a part of a multi-plate set: preview8 (300 x 500) gets a
// preview, first16 and second16 the part's 16-bit image (second16 is the one to add).
RXFILTER_API int RXFILTER_CALL LUMEQ2_IsImageT3(const wchar_t* rawPath, BufferFinal* preview8,
                                   BufferFinal16* first16, BufferFinal16* second16,
                                   CorrectionParams* params);
// Adds a copy of one part's 16-bit image to the composition list.
RXFILTER_API void RXFILTER_CALL LUMEQ2_Add_T3(BufferFinal16* part);
// Releases the composition list.
RXFILTER_API void RXFILTER_CALL LUMEQ2_End_T3(void);
// Arrangement advice for the listed parts (bits described in rxfilter/MultiPlate.h).
RXFILTER_API uint32_t RXFILTER_CALL LUMEQ2_Precalculate_T4(void);
// Composes the listed parts into out16 (out8 also filled when given) and empties the list.
RXFILTER_API void RXFILTER_CALL LUMEQ2_Calculate_T4(BufferFinal* out8, BufferFinal16* out16,
                                       uint32_t orientationFlags);

#ifdef __cplusplus
}  // extern "C"

// The records' layout is the library's binary interface. Records holding a pointer are
// checked at their 32-bit size only in a 32-bit build.
static_assert(sizeof(FilterParams) == 24, "FilterParams size");
static_assert(offsetof(FilterParams, strength) == 8 && offsetof(FilterParams, reserved) == 16 &&
                  offsetof(FilterParams, strong) == 18 && offsetof(FilterParams, imageCode) == 20,
              "FilterParams offsets");
static_assert(offsetof(BufferFinal, width) == 4 && offsetof(BufferFinal, height) == 6 &&
                  offsetof(BufferFinal, pBuffer) == 8,
              "BufferFinal offsets");
static_assert(offsetof(CorrectionParams, HorizontalCorrection) % 4 == 0, "alignment");
#if defined(__SIZEOF_POINTER__) && __SIZEOF_POINTER__ == 4
static_assert(sizeof(BufferFinal) == 12 && sizeof(BufferFinal16) == 12, "BufferFinal size");
static_assert(sizeof(CorrectionParams) == 64, "CorrectionParams size");
static_assert(offsetof(CorrectionParams, pWorkBuffer) == 4 &&
                  offsetof(CorrectionParams, nWorkBufferSize) == 8 &&
                  offsetof(CorrectionParams, HorizontalCorrection) == 12 &&
                  offsetof(CorrectionParams, HorizontalCorrectionFactor) == 16 &&
                  offsetof(CorrectionParams, HorizontalCorrectionType) == 24 &&
                  offsetof(CorrectionParams, HorizontalEpsilonCorrection) == 28 &&
                  offsetof(CorrectionParams, HorizontalOffsetCorrection) == 32 &&
                  offsetof(CorrectionParams, reserved1) == 36 &&
                  offsetof(CorrectionParams, ImageCode) == 40 &&
                  offsetof(CorrectionParams, StoreIntermediateImages) == 44 &&
                  offsetof(CorrectionParams, pIntermediateFolder) == 48 &&
                  offsetof(CorrectionParams, reserved2) == 52 &&
                  offsetof(CorrectionParams, ValeurEtirement) == 56 &&
                  offsetof(CorrectionParams, IgnoreMire) == 60,
              "CorrectionParams offsets");
static_assert(sizeof(FilterImage) == 24 && offsetof(FilterImage, pPixels) == 20,
              "FilterImage layout");
#endif
#endif
