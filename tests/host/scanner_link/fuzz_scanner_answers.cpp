// Fuzz target for the answer readers and the name unescaping: any answer is read
// without fault, and reading never yields values for a malformed answer.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "scanner_link/ScannerCommands.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  ImageInfo info;
  if (ReadImageInfo(200, text, info) != 200 && (info.term || !info.doctor.empty())) std::abort();
  DoctorEntry doctor;
  if (ReadDoctorEntry(200, text, doctor) == 200 && (doctor.mac.empty() || doctor.mac.size() > 255))
    std::abort();
  ReadReservationMode(200, text);
  ReadDoorState(200, text);
  ReadTimeoutValue(200, text);
  ReadDemo(200, text);
  MapAnswerCode(404, text);
  const std::wstring name = UnescapeName(text);
  if (name.size() > 4095) std::abort();
  // Names short enough for the 4096-byte limit survive a round trip.
  if (name.size() <= 1000 && UnescapeName(EscapeName(name)) != name) std::abort();
  return 0;
}

extern "C" void OrvaqFuzzSeeds(std::vector<std::vector<uint8_t>>* seeds) {
  const char* const texts[] = {
      "term=03 color=05 doc_name=Dr Smith pat_name=Anne\\x2dMarie nb_line=1500 line_size=5648",
      "term=03 color=05 mac=00:11:22:33:44:55", "multi", "enable", "moving", "  404",
      "\\xc3\\x89\\x a\\x4"};
  for (const char* t : texts) seeds->emplace_back(t, t + std::char_traits<char>::length(t));
}
