// The reference reconstruction of a raw file for the lab test: the filter library's
// correction and noise filter (AcqFilter 0) exactly as the acquisition asks for them,
// through the host build of the same library. Writes the 8-bit rows (top row first) to
// OUT and prints "width height".
//   reference_image RAW OUT
#include <cstdio>
#include <vector>

#include "acquisition/ReconstructionRules.h"
#include "common/Text.h"
#include "rxfilter/RXFilter.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  FILE* f = std::fopen(argv[1], "rb");
  if (!f) return 1;
  std::vector<unsigned char> raw;
  unsigned char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) raw.insert(raw.end(), buf, buf + n);
  std::fclose(f);
  if (raw.size() <= 36) return 1;
  using namespace orvaq::recon;
  const BufferSizing s = SizeBufferForRaw(raw.size(), raw[4]);
  std::vector<uint8_t> px(s.Bytes() + 1, 0), work(1024, 0);
  BufferFinal image{RXF_TAG_8, s.width, s.height, px.data()};
  CorrectionParams params;
  FillCorrectionParams(CorrectionSettings(), raw[4], work.data(), nullptr, params);
  const std::wstring path = orvaq::FromUtf8(argv[1]);
  if (LUMEQ2FullCorrection(path.c_str(), &image, &params) != 0) return 1;
  const ImageCodeInfo code = DecodeImageCode(params.ImageCode, s.resolution);
  FilterImage fi{image.width, image.height, image.width, 8, 1, image.pBuffer};
  FilterParams fp = MakeFilterParams(0, code);
  if (ApplyLUMEQ2FilterX0X3(&fi, &fp, 0) == 0) return 1;
  FILE* o = std::fopen(argv[2], "wb");
  if (!o) return 1;
  std::fwrite(px.data(), 1, size_t(image.width) * image.height, o);
  std::fclose(o);
  std::printf("%d %d\n", image.width, image.height);
  return 0;
}
