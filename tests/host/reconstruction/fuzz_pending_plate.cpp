// Fuzz target for the pending-plate record (".PLQ"), read back at every start from a
// folder that a crash or a full disk may have left half written: any bytes are read
// without fault, an accepted record names a raw file inside its own folder, and a record
// written from what was read reads back to the same record.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "acquisition/PendingPlate.h"

using namespace orvaq::recon;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  PendingPlate plate;
  const bool parsed = ParsePendingPlate(bytes, plate);
  for (int k = 0; k < 4; ++k) DecideRecovery(parsed, plate, k & 1, k & 2);
  if (!parsed) return 0;
  if (plate.imagesFolder.empty() || plate.rawName.empty() || plate.tries < 0) std::abort();
  if (plate.rawName.find_first_of(L"\\/:") != std::wstring::npos || plate.rawName == L"." || plate.rawName == L"..")
    std::abort();
  // Writing folds what a value cannot hold (line breaks); after that it is stable.
  const std::string text = ComposePendingPlate(plate);
  PendingPlate again;
  if (!ParsePendingPlate(text, again) || ComposePendingPlate(again) != text) std::abort();
  if (again.tries != plate.tries || again.imaging != plate.imaging) std::abort();
  PendingPlateBaseName(plate.time, size > 4 ? data[size - 1] * 0x1000193u : 0, plate.tries);
  return 0;
}

extern "C" void OrvaqFuzzSeeds(std::vector<std::vector<uint8_t>>* seeds) {
  PendingPlate p;
  p.doctor = L"Dr Rom\u00e9o Vasquez";
  p.patient = L"Zo\u00e9 Lef\u00e8vre";
  p.patientId = L"1234";
  p.imagesFolder = L"C:\\Orvaq\\Images";
  p.time = L"2026-12-08 09:30:00";
  p.imaging = true;
  p.rawName = L"20261208-093000-0001869F.BIN";
  p.tries = 2;
  std::string a = ComposePendingPlate(p);
  p.handover = L"C:\\Orvaq\\Images\\LAST1A.NFOT";
  p.imaging = false;
  p.tries = 0;
  std::string b = ComposePendingPlate(p);
  seeds->emplace_back(a.begin(), a.end());
  seeds->emplace_back(b.begin(), b.end());
}
