// Fuzzes ParseCommandLine with arbitrary lines (unbalanced quotes, options at the end,
// huge numbers, any characters) against an in-memory settings store.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "command_line/CommandLine.h"
#include "common/Text.h"
#include "settings/KvMemoryProfile.h"
#include "settings/KvParameters.h"
#include "tests/host/settings/fake_system.h"

namespace {
class NoJobs : public IOneShotJobs {
 public:
  void RunImageJob(const ImageJobRequest&) override {}
  void RunRawStrip(const RawStripRequest&) override {}
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FakeSystem sys;
  CKvMemoryProfile profile;
  CKvParameters params(profile, sys);
  NoJobs jobs;
  ParseCommandLine(orvaq::FromUtf8(std::string(reinterpret_cast<const char*>(data), size)), params, jobs);
  return 0;
}

extern "C" void OrvaqFuzzSeeds(std::vector<std::vector<uint8_t>>* seeds) {
  const char* samples[] = {
      "/doctor \"Dr Smith\" /patient \"Jean Dupont\" /idpatient a/b.c /image_path C:\\img",
      "/image_in \"C:\\a.bmp\" /image_out C:\\b.bmp /gamma 150 /filter 3 /filterlevel 2",
      "/lang 0x40c /way_left /output16 /r_in a /r_ol b /r_out c /oscillo 99999999999999",
      "/doctor \"unbalanced /patient",
  };
  for (const char* s : samples) seeds->emplace_back(s, s + std::string(s).size());
}
