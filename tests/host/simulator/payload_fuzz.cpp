// Fuzz target: device-file requests of any content reach the simulated scanner's
// parsers and rules without crashing it.
#include <cstdint>
#include <string>
#include <vector>

#include "simulator/SimScanner.h"

extern "C" void OrvaqFuzzSeeds(std::vector<std::vector<uint8_t>>* seeds) {
  const char* texts[] = {
      "\x01ready=1\r\nterm=03\r\ncolor=05\r\nmac=00:11:22:33:44:55\r\ntext_coding=ASCII\r\ndoc_name=Dr Smith\r\n"
      "pat_name=Anne\\x2dMarie\r\ntime=000\r\nlevel=0\r\nmode=sd",
      "\x02ready=1\r\nterm=03\r\ncolor=05\r\nmac=00:11:22:33:44:55\r\ntext_coding=ASCII\r\ndoc_name=a\r\n"
      "pat_name=b\r\ntime=040\r\nlevel=0\r\nmode=hd",
      "\x00get_doctor=03", "\x00time=10:20:30 24.12.2030", "\x00image_info", "\x00reload=040", "\x00image_read",
  };
  for (const char* t : texts) {
    std::string s(t, 1 + std::char_traits<char>::length(t + 1));
    seeds->emplace_back(s.begin(), s.end());
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvaq::sim;
  static const char* const kObjects[] = {"lumeq2.prm", "lumeq2.id", "lumeq2.res"};
  CSimScanner scanner{ScannerIdentity()};
  uint64_t now = 1000;
  // The first byte picks the device file; the rest, split at 0xFF, are requests.
  size_t pos = size ? 1 : 0;
  int object = size ? data[0] % 3 : 0;
  while (pos <= size) {
    size_t end = pos;
    while (end < size && data[end] != 0xFF) ++end;
    SimRequest r;
    r.object = kObjects[object];
    r.body.assign(reinterpret_cast<const char*>(data + pos), end - pos);
    r.fromAddress = "127.0.0.1";
    scanner.Handle(r, now);
    now += 7000;
    scanner.Tick(now);
    object = (object + 1) % 3;
    pos = end + 1;
  }
  uint8_t frame[kSNDPFrameSize];
  scanner.NextFrameBytes(frame);
  scanner.StatusJson();
  return 0;
}
