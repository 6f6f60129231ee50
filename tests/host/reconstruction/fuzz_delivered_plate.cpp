// Fuzz target for the delivered-plate fingerprint (".LIV"), read when the scanner offers
// its stored image again: any bytes are read without fault, an accepted fingerprint has a
// size, and one written from what was read reads back to the same fingerprint.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "acquisition/PendingPlate.h"

using namespace orvaq::recon;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  DeliveredPlate print;
  if (!ParseDeliveredPlate(bytes, print)) return 0;
  if (print.size == 0) std::abort();
  // Writing folds what a value cannot hold (line breaks); after that it is stable.
  const std::string text = ComposeDeliveredPlate(print);
  DeliveredPlate again;
  if (!ParseDeliveredPlate(text, again) || ComposeDeliveredPlate(again) != text) std::abort();
  if (again.size != print.size || again.hash != print.hash) std::abort();
  return 0;
}

extern "C" void OrvaqFuzzSeeds(std::vector<std::vector<uint8_t>>* seeds) {
  const uint8_t raw[] = {0x4C, 0x51, 1, 0, 2, 0, 0, 0};
  DeliveredPlate p;
  p.size = 36 + 400ull * 5648;
  p.hash = RawFingerprint(raw, sizeof raw);
  p.patient = L"Zo\u00e9 Lef\u00e8vre";
  p.time = L"2026-12-08 09:30:00";
  const std::string text = ComposeDeliveredPlate(p);
  seeds->emplace_back(text.begin(), text.end());
}
