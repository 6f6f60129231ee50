// The result numbers of OrvaqRbld2's work routine: each names the point where a run
// stopped, the operation its "Error" box names and the error number it shows (a fixed
// system error code, or the system's last error). The number is also the exit status,
// for tests and technicians (Orvaq does not read it).
#pragma once

#include <cstdint>
#include <string>

namespace orvaq {
namespace rebuild {

enum RebuildResult : int {
  kResultOk = 0,
  kResultLoadLibrary = 1,
  kResultNoFullCorrection = 2,
  kResultNoApplyFilter = 3,
  kResultNoInfoPath = 4,
  kResultNoMode = 5,
  kResultNoInfoFile = 10,
  kResultNoFile16 = 11,
  kResultNoRawFile = 12,
  kResultFilter8 = 13,
  kResultException = 14,
  kResultOpenRaw = 20,
  kResultRawSize = 21,
  kResultReadHeader = 22,
  kResultShortHeader = 23,
  kResultUnknownMode = 24,
  kResultNoMemory8 = 25,
  kResultNoMemory16 = 26,
  kResultNoEmptyPlatePicture = 50,
  // The empty-plate picture could not be brought into memory (its stream or resource):
  // the error beep has sounded, nothing is written and the info file keeps its
  // temporary name.
  kResultEmptyPlatePictureLost = 51,
};

// System error codes the boxes show where no system call failed.
constexpr uint32_t kErrorBadArguments = 160;     // ERROR_BAD_ARGUMENTS
constexpr uint32_t kErrorUnidentified = 1287;    // ERROR_UNIDENTIFIED_ERROR
constexpr uint32_t kErrorReadFault = 30;         // ERROR_READ_FAULT
constexpr uint32_t kErrorBadLength = 24;         // ERROR_BAD_LENGTH
constexpr uint32_t kErrorNotEnoughMemory = 8;    // ERROR_NOT_ENOUGH_MEMORY

// What the "Error" box of a result says. `operation` is null where the box names a
// path (results 10, 12, 20); `useSystemError` where the number is the system's last one.
struct FailureText {
  const wchar_t* operation = nullptr;
  bool useSystemError = false;
  uint32_t error = 0;
};
// The row of `result`; a result without a box (0, 14, 51) gives an empty row.
FailureText FailureFor(RebuildResult result);

// The 16-bit filter's failure: reported, not a result (the 16-bit output is dropped).
constexpr const wchar_t* kFilter16Operation = L"ApplyLUMEQ2FilterX0X316bits";

// "%s failed with error %d : %s": operation, number, the system's text for it.
std::wstring FormatFailure(const std::wstring& operation, uint32_t error, const std::wstring& systemText);

}  // namespace rebuild
}  // namespace orvaq
