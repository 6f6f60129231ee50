// What an acquisition leaves for the calling application, as text and bytes: the
// information file (".NFO": five sections, UTF-16LE with its byte-order mark), the names
// of the final files, and the command line that hands a raw file to OrvaqRbld2.
// Pure functions; the pipeline writes the bytes (Reconstruction.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvaq {
namespace recon {

// The values of the [FILTER] section; `imaging` (started with "/imaging") writes the
// fixed neutral section instead.
struct InfoFilter {
  bool imaging = false;
  int gamma = 100;  // hundredths
  int luminosity = 0, contrast = 0, filter = 0, filterLevel = 0;
};

// Everything an information file records.
struct InfoFileContent {
  std::wstring patientName, patientId, doctorName;
  // [SENSOR]
  int sensorVariant = 0;  // T > 0 appends "_T" to the type
  std::wstring size;      // already text: "0".."3", "-1", or empty for an empty plate
  std::wstring serial;
  InfoFilter filter;
  // [ACQUISITION]
  int width = 0, height = 0;
  std::wstring file8, file16;
  std::wstring resolution;
  double pixelSize = 0;  // micrometres, written "%.2f"
  int mire = 0;
};

// The five sections as one text, CR LF line ends, exactly as the formats give them.
std::wstring ComposeInfoText(const InfoFileContent& content);
// The file's bytes: 0xFF 0xFE then the text in UTF-16LE.
std::string EncodeInfoFile(const std::wstring& text);

// "Fast" for R 15 or 15 x 1.94, "HD" for 20 or 20 x 1.94, else the whole part of R.
std::wstring ResolutionText(float resolution);
// An empty plate's Resolution from AcquisitionQuality: 0 SD, 1 HD, 2 Fast, 10 Full,
// other values in decimal.
std::wstring EmptyPlateResolutionText(int acquisitionQuality);

// The final bitmap before numbering: folder + id + "_LastBmpLUM2.bmp", or
// folder + "LastBmpLUM2.bmp" without an id.
std::wstring FinalBitmapBaseName(const std::wstring& imagesFolder, const std::wstring& patientId);
// The final bitmap made unique with "_%03d" (first free number from 1); false when
// no such name fits in 260 characters.
bool MakeFinalBitmapName(const std::wstring& imagesFolder, const std::wstring& patientId,
                         const std::function<bool(const std::wstring&)>& exists, std::wstring& path);
// The ".NFO" name of a ".NFOT" path: the path without its last character.
std::wstring FinalInfoName(const std::wstring& temporaryInfoPath);

// The values of OrvaqRbld2's command line.
struct ExternalRebuildArgs {
  std::wstring programPath;
  bool imaging = false;  // "/rb", else "/rf"
  std::wstring infoPath;  // the ".NFOT" file
  bool storeIntermediateImages = false;
  bool ignoreMire = false;
  bool showPreview = false;
  int outputKind = 1;  // /D:
  int filter = 0, luminosity = 0, contrast = 0, gamma = 100;
  int thumbX = 0, thumbY = 0;
};
// The output kind /D: with "/twain" 1, or 2 with AdvancedDenoising; otherwise 1 for
// output depth 8, 3 for 16 and 0 for both.
int ExternalOutputKind(bool twain, int advancedDenoising, int outputDepth);
// The command line; false when it does not fit in 520 characters (it would reach the
// rebuild program cut short).
bool FormatExternalRebuildCommandLine(const ExternalRebuildArgs& args, std::wstring& line);
constexpr size_t kMaxCommandLine = 520;

}  // namespace recon
}  // namespace orvaq
