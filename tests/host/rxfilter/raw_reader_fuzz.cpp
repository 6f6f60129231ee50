// Fuzz target: the reference library's raw reader and reconstruction on any bytes.
#include <cstdint>
#include <vector>

#include "rxfilter/Correction.h"
#include "rxfilter/RawReader.h"
#include "simulator/Plates.h"

extern "C" void OrvaqFuzzSeeds(std::vector<std::vector<uint8_t>>* seeds) {
  orvaq::sim::PlateOrder plateOrder;
  plateOrder.size = 0;
  plateOrder.mode = 2;
  plateOrder.marginMm = 0;
  plateOrder.wantIdeal = false;
  orvaq::sim::Plate p;
  if (orvaq::sim::BuildPlate(plateOrder, p)) {
    // Header and the first lines only: a short but valid file keeps the runs quick.
    p.raw.resize(36 + 24 * size_t(p.lineSize));
    seeds->push_back(p.raw);
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orvaq::rxf::RawHeader h;
  orvaq::rxf::ReadRawHeader(data, size, h);
  orvaq::rxf::RawScan scan;
  if (orvaq::rxf::ReadRaw(data, size, scan) == orvaq::rxf::RawError::None && scan.lines <= 64) {
    orvaq::rxf::PlateImage img;
    orvaq::rxf::Reconstruct(scan, orvaq::rxf::CorrectionSettings(), img);
  }
  return 0;
}
