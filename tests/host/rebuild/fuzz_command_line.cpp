// Fuzz target for OrvaqRbld2's command line: any argument list parses into a record
// within its ranges, and the diagnostic list never exceeds its capacity.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "rebuild/RebuildCommandLine.h"

using namespace orvaq::rebuild;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Arguments separated by byte 0; each byte one character (ASCII and Latin-1).
  std::vector<std::wstring> args(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) args.emplace_back();
    else args.back() += wchar_t(data[i]);
  }
  const RebuildOptions o = ParseRebuildArguments(args);
  const int mode = int(o.mode);
  if (mode < -1 || mode > 2) std::abort();
  if (o.hasInfoPath == o.infoPath.empty()) std::abort();
  const size_t capacity = 1 + (size ? data[0] : 0) * 8;
  if (FormatArgumentList(args, capacity).size() >= capacity) std::abort();
  return 0;
}

extern "C" void OrvaqFuzzSeeds(std::vector<std::vector<uint8_t>>* seeds) {
  // Arguments as Orvaq writes them, and odd ones: no path after "/N:", numbers out of range.
  const char* const lines[] = {
      "OrvaqRbld2.exe|/rf|/D:2|/F:3|/L:-12|/C:40|/G:150|/N:C:\\Orvaq\\Images\\LAST1A.NFOT|/Tx:120|/Ty:80|/PW|/I1|/P1",
      "x|/rb|/n:|/G:99999999999|/tX:-2147483649|/ft|/D:+7z|/F:|/l:-",
  };
  for (const char* line : lines) {
    std::vector<uint8_t> s(line, line + std::char_traits<char>::length(line));
    for (auto& b : s)
      if (b == '|') b = 0;
    seeds->push_back(s);
  }
}
