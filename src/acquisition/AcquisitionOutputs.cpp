// Information file text, final names and the rebuild command line (see AcquisitionOutputs.h).
#include "acquisition/AcquisitionOutputs.h"

#include <cmath>
#include <cstdio>

#include "common/Text.h"
#include "imaging/Adjust.h"
#include "settings/KvPaths.h"

namespace orvaq {
namespace recon {

namespace {

std::wstring Num(long long v) { return std::to_wstring(v); }

// "%.2f" in the C locale, whatever the process locale says about decimal commas.
std::wstring Fixed2(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  for (char* p = buf; *p; ++p)
    if (*p == ',') *p = '.';
  return FromUtf8(buf);
}

const wchar_t kNeutralFilter[] =
    L"[FILTER]\r\nGamma=1.00\r\nLuminosity=0\r\nContrast=0\r\nFilter=0\r\nFilterLevel=0\r\n";

}  // namespace

std::wstring ComposeInfoText(const InfoFileContent& c) {
  std::wstring t;
  t += L"[PATIENT]\r\nName=" + (c.patientName.empty() ? std::wstring(L"No patient name") : c.patientName) +
       L"\r\nID=" + c.patientId + L"\r\n";
  t += L"[DOCTOR]\r\nName=" + (c.doctorName.empty() ? std::wstring(L"No doctor name") : c.doctorName) + L"\r\n";
  std::wstring type = L"LUMEQ2";
  if (c.sensorVariant > 0) type += L"_" + Num(c.sensorVariant);
  t += L"[SENSOR]\r\nType=" + type + L"\r\nSize=" + c.size + L"\r\nSerial=" + c.serial + L"\r\nInside=no\r\n";
  if (c.filter.imaging) {
    t += kNeutralFilter;
  } else {
    t += L"[FILTER]\r\nGamma=" + imaging::FormatGamma(c.filter.gamma) + L"\r\nLuminosity=" +
         Num(c.filter.luminosity) + L"\r\nContrast=" + Num(c.filter.contrast) + L"\r\nFilter=" +
         Num(c.filter.filter) + L"\r\nFilterLevel=" + Num(c.filter.filterLevel) + L"\r\n";
  }
  t += L"[ACQUISITION]\r\nWidth=" + Num(c.width) + L"\r\nHeight=" + Num(c.height) + L"\r\nFile8=" + c.file8 +
       L"\r\nFile16=" + c.file16 + L"\r\nResolution=" + c.resolution + L"\r\nPixelWidth=" + Fixed2(c.pixelSize) +
       L"\r\nPixelHeight=" + Fixed2(c.pixelSize) + L"\r\nMire=" + Num(c.mire) + L"\r\n";
  return t;
}

std::string EncodeInfoFile(const std::wstring& text) { return std::string("\xFF\xFE", 2) + ToUtf16Le(text); }

std::wstring ResolutionText(float r) {
  if (r == 15.0f || r == 15.0f * 1.94f) return L"Fast";
  if (r == 20.0f || r == 20.0f * 1.94f) return L"HD";
  if (!(r > -2147483648.0f && r < 2147483647.0f)) return L"0";
  return Num(static_cast<long long>(r));
}

std::wstring EmptyPlateResolutionText(int quality) {
  switch (quality) {
    case 0: return L"SD";
    case 1: return L"HD";
    case 2: return L"Fast";
    case 10: return L"Full";
    default: return Num(quality);
  }
}

std::wstring FinalBitmapBaseName(const std::wstring& folder, const std::wstring& patientId) {
  return orvaq::paths::Join(folder, patientId.empty() ? std::wstring(L"LastBmpLUM2.bmp")
                                                : patientId + L"_LastBmpLUM2.bmp");
}

bool MakeFinalBitmapName(const std::wstring& folder, const std::wstring& patientId,
                         const std::function<bool(const std::wstring&)>& exists, std::wstring& path) {
  path = FinalBitmapBaseName(folder, patientId);
  return imaging::MakeUniqueFileName(path, exists);
}

std::wstring FinalInfoName(const std::wstring& temporaryInfoPath) {
  return temporaryInfoPath.empty() ? temporaryInfoPath : temporaryInfoPath.substr(0, temporaryInfoPath.size() - 1);
}

int ExternalOutputKind(bool twain, int advancedDenoising, int outputDepth) {
  if (twain) return 1 + (advancedDenoising != 0 ? 1 : 0);
  if (outputDepth == 16) return 3;
  if (outputDepth == 0) return 0;
  return 1;
}

bool FormatExternalRebuildCommandLine(const ExternalRebuildArgs& a, std::wstring& line) {
  line = L"\"" + a.programPath + L"\" " + (a.imaging ? L"/rb" : L"/rf") + L" /N:\"" + a.infoPath + L"\" " +
         (a.storeIntermediateImages ? L"/I1" : L"") + L" " + (a.ignoreMire ? L"/P1" : L"") + L" " +
         (a.showPreview ? L"/PW" : L"") + L" /D:" + Num(a.outputKind) + L" /F:" + Num(a.filter) + L" /L:" +
         Num(a.luminosity) + L" /C:" + Num(a.contrast) + L" /G:" + Num(a.gamma) + L" /Tx:" + Num(a.thumbX) +
         L" /Ty:" + Num(a.thumbY);
  // The line lives in a buffer of 520 characters with its terminator.
  return line.size() < kMaxCommandLine;
}

}  // namespace recon
}  // namespace orvaq
