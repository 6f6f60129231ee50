// The reference composition of multi-plate parts for the lab test: the host build of the
// filter library recognises each part, composes them in the order given with the
// orientation flags given, and the 16-bit result's high bytes are written as 8-bit rows
// (top row first) to OUT; prints "width height".
//   composition_reference FLAGS OUT RAW...
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "acquisition/ReconstructionRules.h"
#include "common/Text.h"
#include "rxfilter/RXFilter.h"

int main(int argc, char** argv) {
  if (argc < 5) return 2;
  const uint32_t flags = static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 0));
  using namespace orvaq::recon;
  struct Part {
    std::vector<uint16_t> first, second;
    BufferFinal16 record{};
  };
  std::vector<Part> parts(size_t(argc - 3));
  size_t width = 0, height = 0;
  for (int i = 3; i < argc; ++i) {
    FILE* f = std::fopen(argv[i], "rb");
    if (!f) return 1;
    std::fseek(f, 0, SEEK_END);
    const long length = std::ftell(f);
    unsigned char header[36] = {};
    std::fseek(f, 0, SEEK_SET);
    const size_t got = std::fread(header, 1, sizeof header, f);
    std::fclose(f);
    if (got != sizeof header) return 1;
    const BufferSizing s = SizeBufferForRaw(uint64_t(length), header[4]);
    Part& p = parts[size_t(i - 3)];
    p.first.assign(s.Bytes(), 0);
    p.second.assign(s.Bytes(), 0);
    std::vector<uint8_t> preview(300 * 500, 0), work(1024, 0);
    BufferFinal preview8{RXF_TAG_8, 300, 500, preview.data()};
    BufferFinal16 first{RXF_TAG_16, s.width, s.height, p.first.data()};
    p.record = {RXF_TAG_16, s.width, s.height, p.second.data()};
    CorrectionParams params;
    FillCorrectionParams(CorrectionSettings(), header[4], work.data(), nullptr, params);
    const std::wstring path = orvaq::FromUtf8(argv[i]);
    if (!LUMEQ2_IsImageT3(path.c_str(), &preview8, &first, &p.record, &params)) return 1;
    // Room for each part turned either way, as the program gives the library.
    const size_t side = std::max<size_t>(p.record.width, p.record.height);
    width += side;
    height = std::max(height, side);
  }
  for (Part& p : parts) LUMEQ2_Add_T3(&p.record);
  std::vector<uint16_t> out(width * height, 0);
  BufferFinal16 out16{RXF_TAG_16, uint16_t(width), uint16_t(height), out.data()};
  LUMEQ2_Calculate_T4(nullptr, &out16, flags);
  const size_t n = size_t(out16.width) * out16.height;
  if (n == 0 || n > out.size()) return 1;
  std::vector<uint8_t> rows(n);
  for (size_t i = 0; i < n; ++i) rows[i] = uint8_t(out[i] >> 8);
  FILE* o = std::fopen(argv[2], "wb");
  if (!o) return 1;
  std::fwrite(rows.data(), 1, n, o);
  std::fclose(o);
  std::printf("%d %d\n", out16.width, out16.height);
  return 0;
}
