// Fuzz target for the status-frame decoder: any bytes decode without fault, and an
// accepted frame encodes back to the same bytes and passes the rules without fault.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "scanner_link/SNDPFrame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SNDPFrame f;
  if (DecodeSNDPFrame(data, size, f)) {
    uint8_t out[kSNDPFrameSize];
    EncodeSNDPFrame(f, out);
    if (std::memcmp(out, data, kSNDPFrameSize) != 0) std::abort();
    ClassifySNDPSender(f, L"lumeq2", 0);
    SNDPSerialAccepted(f, L"AB");
    NormalizeSNDPFrame(f);
    if (f.resaTerminal > 10) std::abort();
    FormatSNDPFirmware(f);
    FormatSNDPMac(f);
    FormatSNDPFpga(f);
    FormatIPv4(f.ipAddress);
  }
  return 0;
}

extern "C" void OrvaqFuzzSeeds(std::vector<std::vector<uint8_t>>* seeds) {
  SNDPFrame f;
  f.state = SNDP_STATE_RESERVED;
  f.resaTerminal = 12;
  f.SetName("slumeq2");
  f.SetSerial("AB123");
  std::vector<uint8_t> b(kSNDPFrameSize);
  EncodeSNDPFrame(f, b.data());
  seeds->push_back(b);
}
