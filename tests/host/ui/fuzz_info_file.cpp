// Fuzz target for the information-file reader of the stored-acquisition list: any file
// of the images folder ending in ".NFO", whoever wrote it, is read without fault, and a
// value found is one trimmed line; from 8-bit text, one character for each byte.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "ui/MultiImageList.h"

namespace {
void CheckValue(const std::wstring& v, bool eightBit) {
  if (eightBit)
    for (wchar_t c : v)
      if (static_cast<uint32_t>(c) > 0xFF) std::abort();
  if (v.find(L'\n') != std::wstring::npos) std::abort();
  if (!v.empty() && (v.front() == L' ' || v.back() == L' ' || v.front() == L'\t' || v.back() == L'\t' ||
                     v.back() == L'\r'))
    std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first byte gives the length of a key taken from the next bytes; the rest is the file.
  const size_t keyLength = size ? std::min<size_t>(data[0] % 16, size - 1) : 0;
  const std::wstring key(data + (size ? 1 : 0), data + (size ? 1 : 0) + keyLength);
  const size_t at = size ? 1 + keyLength : 0;
  const std::string bytes(reinterpret_cast<const char*>(data) + at, size - at);
  const bool eightBit = bytes.size() < 2 || uint8_t(bytes[0]) != 0xFF || uint8_t(bytes[1]) != 0xFE;
  CheckValue(orvaq::ui::InfoFileValue(bytes, L"ACQUISITION", L"File8"), eightBit);
  CheckValue(orvaq::ui::InfoFileValue(bytes, L"acquisition", key), eightBit);
  CheckValue(orvaq::ui::InfoFileValue(bytes, key, L"Name"), eightBit);
  return 0;
}

extern "C" void OrvaqFuzzSeeds(std::vector<std::vector<uint8_t>>* seeds) {
  // The first byte and the key, then a file as the product writes it (UTF-16LE with its
  // byte-order mark), and one in 8-bit text with Latin-1 names and loose spacing.
  const std::u16string text =
      u"[PATIENT]\r\nName=Zo\u00e9 Lef\u00e8vre\r\nID=1234\r\n[DOCTOR]\r\nName=No doctor name\r\n"
      u"[SENSOR]\r\nType=LUMEQ2_12\r\nSize=2\r\nSerial=SN1000\r\nInside=no\r\n"
      u"[ACQUISITION]\r\nWidth=880\r\nHeight=1400\r\nFile8=C:\\Orvaq\\Images\\LAST1A.bmp\r\n"
      u"File16=C:\\Orvaq\\Images\\LAST1A.raw\r\nResolution=HD\r\nMire=0\r\n";
  std::vector<uint8_t> utf16 = {6, 'F', 'i', 'l', 'e', '1', '6', 0xFF, 0xFE};
  for (char16_t c : text) {
    utf16.push_back(uint8_t(c));
    utf16.push_back(uint8_t(c >> 8));
  }
  seeds->push_back(utf16);
  const std::string latin1 =
      "\x05Width[PATIENT]\nName=  Zo\xE9 \n[ Acquisition ]\n\tWidth = 880 \r\n"
      "file8=C:\\Images\\R\xE9sultat.bmp  \r\n[\n=\n";
  seeds->emplace_back(latin1.begin(), latin1.end());
}
