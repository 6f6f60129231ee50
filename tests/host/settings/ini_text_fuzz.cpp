// Fuzzes the INI text reader, the integer rule, the resource-text escapes and the
// placeholder filling with arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/Text.h"
#include "settings/KvMemoryProfile.h"
#include "settings/KvParameters.h"
#include "settings/KvTextFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring text = orvaq::FromUtf8(std::string(reinterpret_cast<const char*>(data), size));
  CKvMemoryProfile profile;
  profile.LoadText(L"f.ini", text);
  const std::wstring value = ReadProfileString(profile, L"f.ini", L"SENSOR", L"AcqWay", L"");
  ParseProfileInt(value, 7);
  profile.ReadInt(L"f.ini", L"409", L"1000", 0);
  UnescapeResourceText(text);
  FormatText(text, {L"a", 1, L"b"});
  profile.ToText(L"f.ini");
  return 0;
}

extern "C" void OrvaqFuzzSeeds(std::vector<std::vector<uint8_t>>* seeds) {
  const char* samples[] = {
      "[SENSOR]\r\nAcqWay=2\r\nImagesPath=\"C:\\img\"\r\n",
      "[409]\n1000=Orvaq\\n%s %d %%\n[40C]\n1000=\n",
      "[DEBUG]\nLoggerType=0x10\n[x\n=\n==\n[]\nk= 4294967295 \n",
  };
  for (const char* s : samples) seeds->emplace_back(s, s + std::string(s).size());
}
