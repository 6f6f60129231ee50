// The decisions of the raw-file check as pure functions over the file's bytes and the
// scanner's description of the image ("image_info" as AdminAction 14 answers it):
// expected line size by Mode, the description's fields, and the length and line-number
// scan. COrvaqController::CheckRawImage logs each verdict; the fuzz target drives these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/RawFormat.h"

// Files this large are accepted without a check (30 MiB).
constexpr uint64_t kRawCheckSkipSize = 0x1E00000;

// The line record size that the header's Mode announces (5648 or 2848), 0 when the Mode
// is invalid or the bytes are too short to hold it.
unsigned ExpectedLineSize(const uint8_t* data, size_t size);

// "term;color;doctor;patient;nb_line;line_size": missing or empty fields read 0 or "".
struct RawImageDescription {
  int terminal = 0;
  int color = 0;
  std::wstring doctor;
  std::wstring patient;
  int lineCount = 0;
  int lineSize = 0;
};
RawImageDescription ParseImageDescription(const std::wstring& text);

enum class RawVerdict {
  Pass,
  InconsistentLineSize,  // reported line size non-zero and not the Mode's
  NoSizeInformation,     // line count or reported line size below 1
  UnexpectedLength,      // length is not line size x count + 36
  UnexpectedLineNumber,  // a record does not repeat the previous line's number
};

struct RawScanResult {
  RawVerdict verdict = RawVerdict::Pass;
  int64_t expectedLength = 0;  // UnexpectedLength
  int found = 0;               // UnexpectedLineNumber
  int expected = 0;
};

// Steps after the Mode check: consistency of the reported line size, presence of the
// size information, exact length, then the scan of the previous-line numbers.
RawScanResult ScanRawLines(const uint8_t* data, size_t size, unsigned modeLineSize,
                           const RawImageDescription& description);
