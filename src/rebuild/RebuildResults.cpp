// Result numbers and their box texts (see RebuildResults.h).
#include "rebuild/RebuildResults.h"

namespace orvaq {
namespace rebuild {

FailureText FailureFor(RebuildResult result) {
  switch (result) {
    case kResultLoadLibrary: return {L"LoadLibrary", true, 0};
    case kResultNoFullCorrection: return {L"GetProcAddress - LUMEQ2FullCorrection", true, 0};
    case kResultNoApplyFilter: return {L"GetProcAddress - ApplyLUMEQ2FilterX0X3", true, 0};
    case kResultNoInfoPath: return {L"invalid /N:", false, kErrorBadArguments};
    case kResultNoMode: return {L"invalid mode", false, kErrorBadArguments};
    case kResultNoInfoFile: return {nullptr, true, 0};
    case kResultNoFile16: return {L"GetPrivateProfileString", true, 0};
    case kResultNoRawFile: return {nullptr, true, 0};
    case kResultFilter8: return {L"ApplyLUMEQ2FilterX0X3", false, kErrorUnidentified};
    case kResultOpenRaw: return {nullptr, true, 0};
    case kResultRawSize: return {L"SetFilePointer", true, 0};
    case kResultReadHeader: return {L"ReadFile", true, 0};
    case kResultShortHeader: return {L"ReadFile size", false, kErrorReadFault};
    case kResultUnknownMode: return {L"Br1Header.Mode", false, kErrorBadLength};
    case kResultNoMemory8: return {L"calloc BufferFinal.pBuffer", false, kErrorNotEnoughMemory};
    case kResultNoMemory16: return {L"calloc BufferFinal16.pBuffer", false, kErrorNotEnoughMemory};
    case kResultNoEmptyPlatePicture: return {L"Resolution of white image", false, kErrorReadFault};
    case kResultOk:
    case kResultException:
    case kResultEmptyPlatePictureLost:
      break;
  }
  return {};
}

std::wstring FormatFailure(const std::wstring& operation, uint32_t error, const std::wstring& systemText) {
  return operation + L" failed with error " + std::to_wstring(error) + L" : " + systemText;
}

}  // namespace rebuild
}  // namespace orvaq
