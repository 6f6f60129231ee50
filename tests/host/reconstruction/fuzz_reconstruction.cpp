// Fuzz target for the reconstruction's decisions on outside values: any raw length and
// header Mode size a buffer the record can describe, any image code and image size
// decode into the tables' ranges, and any names and values give an information file
// that reads back as the text it was made from.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "acquisition/AcquisitionOutputs.h"
#include "acquisition/ReconstructionRules.h"
#include "common/Text.h"

using namespace orvaq::recon;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 16) return 0;
  uint64_t length;
  std::memcpy(&length, data, 8);
  const int mode = data[8];
  const uint16_t code = uint16_t(data[9] | data[10] << 8);
  const int w = data[11] | data[12] << 8, h = data[13] | data[14] << 8;
  const int quality = int8_t(data[15]);

  const BufferSizing b = SizeBufferForRaw(length, mode);
  if (b.width != 2 * b.samples || (b.samples != 1400 && b.samples != 2800)) std::abort();
  if (uint64_t(b.height) > 4 * (length / (2 * b.samples + 48))) std::abort();

  const ImageCodeInfo d = DecodeImageCode(code, b.resolution);
  if (d.plateCode < 0 || d.plateCode > 89 || d.sensorVariant > 655) std::abort();
  if (d.mire != (d.resolution != b.resolution)) std::abort();
  const int plate = PlateSizeFromImage(w, h, d.resolution);
  if (plate < -1 || plate > 3) std::abort();
  const FilterParams f = MakeFilterParams(quality * 3, d);
  if (f.iterations != 5 && f.iterations != 50) std::abort();

  // The rest of the input as names.
  const std::string rest(reinterpret_cast<const char*>(data + 16), size - 16);
  const size_t cut = rest.size() / 2;
  InfoFileContent c;
  c.patientName = orvaq::FromUtf8(rest.substr(0, cut));
  c.patientId = orvaq::FromLatin1(rest.substr(cut));
  c.serial = c.patientId;
  c.sensorVariant = d.sensorVariant;
  c.size = std::to_wstring(plate);
  c.filter.imaging = (code & 1) != 0;
  c.filter.gamma = 34 + code % 267;
  c.width = w;
  c.height = h;
  c.resolution = ResolutionText(d.resolution);
  c.pixelSize = PixelPitchMicrons(d.resolution);
  c.mire = d.mire;
  const std::wstring text = ComposeInfoText(c);
  const std::string bytes = EncodeInfoFile(text);
  if (bytes.size() < 2 || uint8_t(bytes[0]) != 0xFF || uint8_t(bytes[1]) != 0xFE) std::abort();
  if (orvaq::FromUtf16Le(reinterpret_cast<const uint8_t*>(bytes.data()) + 2, bytes.size() - 2) != text) std::abort();
  (void)EmptyPlateResolutionText(quality);
  return 0;
}

extern "C" void OrvaqFuzzSeeds(std::vector<std::vector<uint8_t>>* seeds) {
  std::vector<uint8_t> s(16, 0);
  const uint64_t length = 36 + 400ull * 5648;
  std::memcpy(s.data(), &length, 8);
  s[9] = 112;
  s[11] = 0x70, s[12] = 0x03, s[13] = 0x78, s[14] = 0x05;  // 880 x 1400
  const char name[] = "Zo\xC3\xA9 Lef\xC3\xA8vre|1234";
  s.insert(s.end(), name, name + sizeof name - 1);
  seeds->push_back(s);
}
