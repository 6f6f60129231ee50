// The decisions of OrvaqRbld2's work routine as pure functions: the raw header's Mode
// table, the image buffers' sizes, the depth choices, the image code, the filter
// parameters, the size class and its orientation, the 16-to-8-bit derivation and the
// keys written to the info file. Where Orvaq's reconstruction already holds the same
// rule (acquisition/ReconstructionRules.h) it is used from there, so both programs
// read a plate alike. The Windows work routine (win/) only sequences these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "acquisition/ReconstructionRules.h"
#include "rxfilter/RXFilter.h"

namespace orvaq {
namespace rebuild {

// One row of the Mode table; `known` is false for a Mode the program refuses.
struct ModeRow {
  bool known = false;
  float resolution = 0;
  unsigned samples = 0;
  const wchar_t* emptyPlatePicture = nullptr;  // null: no stock picture (result 50)
};
ModeRow ModeTable(int mode);
// The stock picture of the empty-plate path for a Mode read from the header (-1 when
// the header had no Mode); null when there is none.
const wchar_t* EmptyPlatePictureFor(int mode);
constexpr const wchar_t* kEmptyPlateFast = L"EMPY_PLATE_FAST";
constexpr const wchar_t* kEmptyPlateSd = L"EMPY_PLATE_SD";

// Both image records are sized from the raw file before the correction: width 2c,
// height 4 x whole lines of 2c + 48 bytes, in 16 bits (Orvaq's rule, capped so that
// the record never claims more than the buffer holds).
recon::BufferSizing SizeBuffers(uint64_t rawFileSize, int mode);

// What a depth choice ("/D:") asks of the correction and the outputs.
struct DepthPlan {
  bool pass8 = true;        // the 8-bit record goes to the correction
  bool pass16 = true;       // the 16-bit record goes to the correction
  bool derive8 = false;     // the 8-bit picture is taken from the 16-bit image
  bool keep16 = true;       // the 16-bit ".raw" is written
};
DepthPlan PlanForDepth(int depthChoice);

// The library's image code split into hundreds, Mire flag and remainder; a Mire picture
// has its resolution multiplied by 1.94.
recon::ImageCodeInfo DecodeImageCode(uint16_t code, float resolution);

// Filter parameters of mode "/rf" for the filter level F. The 8-bit filter runs
// whenever there is an 8-bit image; the 16-bit one only for F above 100.
FilterParams FilterParams8(int filterLevel, const recon::ImageCodeInfo& code);
bool Filters16(int filterLevel);
FilterParams FilterParams16(int filterLevel, const recon::ImageCodeInfo& code);

// Size class 0..3 of the picture at its resolution, -1 for none; classes 2 and 3 are
// turned a quarter clockwise.
int SizeClass(int width, int height, float resolution);
inline bool TurnsClockwise(int sizeClass) { return sizeClass == 2 || sizeClass == 3; }

// The 8-bit picture from the 16-bit image: every pixel the high byte of its sample.
// False (nothing written) when the image holds more pixels than `capacity`.
bool DeriveHighBytes(const uint16_t* samples, size_t count, uint8_t* out, size_t capacity);

// Pixels per metre of the picture's bitmap: whole part of resolution x 2 x 1000.
int32_t PixelsPerMetre(float resolution);
// Dots per inch: resolution x 50.8.
float DotsPerInch(float resolution);
// "Fast", "HD", or the whole part of the resolution.
std::wstring ResolutionText(float resolution);
// Pixel pitch 1000 / (2 x resolution) in micrometres, "%.2f".
std::wstring PixelPitchText(float resolution);

// One key written to the info file.
struct InfoKey {
  std::wstring section, key, value;
};

// How the 16-bit ".raw" went.
enum class Raw16Outcome {
  NoImage,      // no 16-bit image: File16 empty, RAWWidth and RAWHeight "0"
  NotCreated,   // the file could not be created: the three keys are left alone
  Short,        // the write was short: RAWWidth and RAWHeight only
  Written,      // whole: File16, RAWWidth, RAWHeight
};

struct MainPathRecord {
  int sizeClass = -1;
  float resolution = 0;
  int width = 0, height = 0;  // of the picture written
  std::wstring bmpPath;
  std::wstring binPath;       // the raw file's new name
  Raw16Outcome raw16 = Raw16Outcome::NoImage;
  std::wstring rawPath;       // the ".raw"
  int rawWidth = 0, rawHeight = 0;
  bool mire = false;
};
// The keys of a reconstructed picture, in the order they are written.
std::vector<InfoKey> MainPathKeys(const MainPathRecord& record);

struct EmptyPlateRecord {
  bool fast = false;  // "EMPY_PLATE_FAST", else "EMPY_PLATE_SD"
  int width = 0, height = 0;
  std::wstring bmpPath;
  std::wstring rawPath;  // the raw file's new name (extension ".raw")
};
// The keys of the empty-plate path, in order (no FileBIN, RAWWidth or RAWHeight).
std::vector<InfoKey> EmptyPlateKeys(const EmptyPlateRecord& record);
// The stock picture's resolution in dots per inch: 762 (Fast) or 1016.
float EmptyPlateDotsPerInch(bool fast);

// File names next to the info file.
std::wstring BitmapPathFor(const std::wstring& infoPath);       // extension ".bmp"
std::wstring FinalInfoPath(const std::wstring& infoPath);       // last character dropped
std::wstring IntermediateFolderFor(const std::wstring& infoPath);  // "LASTACQP2" beside it
std::wstring ThumbnailFileFor(const std::wstring& infoPath);    // "LASTACQP2.BIN.bmp" beside it
constexpr size_t kMaxPath = 260;  // wide characters with the terminator

// The preview window's picture area: the picture drawn whole, aspect kept, centred.
struct DrawRect {
  int left = 0, top = 0, width = 0, height = 0;
};
DrawRect PreviewPictureRect(int areaWidth, int areaHeight, int pictureWidth, int pictureHeight);

// The preview's four buttons in their order (rotate counter-clockwise, rotate
// clockwise, mirror left-right, mirror top-bottom): 52 x 52 pixels, 64 apart, the first
// at `left`, all with their bottom edge at `bottom`.
constexpr int kPreviewButtons[4] = {1000, 1004, 1001, 1002};
constexpr int kPreviewButtonSize = 52;
constexpr int kPreviewButtonPitch = 64;
DrawRect PreviewButtonRect(int index, int left, int bottom);
// Left edge of a window `width` wide centred on x.
inline int CentredLeft(int x, int width) { return x - width / 2; }

}  // namespace rebuild
}  // namespace orvaq
