// Raw-file check decisions (see RawCheck.h).
#include "acquisition/RawCheck.h"

#include <cwchar>
#include <vector>

namespace {
int FieldInt(const std::vector<std::wstring>& fields, size_t index) {
  if (index >= fields.size()) return 0;
  const long long value = std::wcstoll(fields[index].c_str(), nullptr, 10);
  if (value > 0x7FFFFFFF) return 0x7FFFFFFF;
  if (value < -0x7FFFFFFF) return -0x7FFFFFFF;
  return static_cast<int>(value);
}

uint16_t Word(const uint8_t* data, size_t offset) {
  return static_cast<uint16_t>(data[offset] | (data[offset + 1] << 8));
}
}  // namespace

unsigned ExpectedLineSize(const uint8_t* data, size_t size) {
  if (size <= orvaq::raw::kOffMode) return 0;
  return orvaq::raw::LineSizeForMode(data[orvaq::raw::kOffMode]);
}

RawImageDescription ParseImageDescription(const std::wstring& text) {
  std::vector<std::wstring> fields;
  size_t start = 0;
  for (;;) {
    const size_t at = text.find(L';', start);
    fields.push_back(text.substr(start, at == std::wstring::npos ? std::wstring::npos : at - start));
    if (at == std::wstring::npos) break;
    start = at + 1;
  }
  RawImageDescription d;
  d.terminal = FieldInt(fields, 0);
  d.color = FieldInt(fields, 1);
  if (fields.size() > 2) d.doctor = fields[2];
  if (fields.size() > 3) d.patient = fields[3];
  d.lineCount = FieldInt(fields, 4);
  d.lineSize = FieldInt(fields, 5);
  return d;
}

RawScanResult ScanRawLines(const uint8_t* data, size_t size, unsigned modeLineSize,
                           const RawImageDescription& description) {
  RawScanResult r;
  if (description.lineSize != 0 && static_cast<unsigned>(description.lineSize) != modeLineSize) {
    r.verdict = RawVerdict::InconsistentLineSize;
    return r;
  }
  if (description.lineCount < 1 || description.lineSize < 1) {
    r.verdict = RawVerdict::NoSizeInformation;
    return r;
  }
  const int64_t lineSize = description.lineSize;
  r.expectedLength = lineSize * description.lineCount + static_cast<int64_t>(orvaq::raw::kHeaderSize);
  if (static_cast<uint64_t>(r.expectedLength) != size) {
    r.verdict = RawVerdict::UnexpectedLength;
    return r;
  }
  uint32_t expected = orvaq::raw::kFirstPrevLine;
  for (int64_t k = 0; k < description.lineCount; ++k) {
    const int64_t previousAt = 4 + (k + 1) * lineSize;             // 32 bytes before the record's end
    const int64_t numberAt = static_cast<int64_t>(orvaq::raw::kHeaderSize) + k * lineSize;
    // Records shorter than their own trailer cannot be read: refuse them as bad numbers.
    if (previousAt + 2 > static_cast<int64_t>(size) || numberAt + 2 > static_cast<int64_t>(size) ||
        lineSize < static_cast<int64_t>(orvaq::raw::kPrevLineFromEnd)) {
      r.verdict = RawVerdict::UnexpectedLineNumber;
      r.found = 0;
      r.expected = static_cast<int>(expected);
      return r;
    }
    const uint16_t found = Word(data, static_cast<size_t>(previousAt));
    if (found != expected) {
      r.verdict = RawVerdict::UnexpectedLineNumber;
      r.found = found;
      r.expected = static_cast<int>(expected);
      return r;
    }
    expected = Word(data, static_cast<size_t>(numberAt));
  }
  return r;
}
