// One-shot jobs of the command line (see OneShotJobsWin.h).
#include "imaging/win/OneShotJobsWin.h"

#include <memory>

#include "imaging/Filters.h"
#include "settings/KvParameters.h"
#include "settings/win/KvSystemWin.h"

namespace gp = Gdiplus;
using namespace orvaq::imaging;

COneShotJobsWin::COneShotJobsWin(std::wstring programPath, DisplayFilterUi ui)
    : m_fnWriteGreyBmp(&WriteGreyBmp), m_sProgramPath(std::move(programPath)), m_Ui(std::move(ui)) {
  if (m_sProgramPath.empty()) m_sProgramPath = GetModulePath(nullptr);
  // The program's texts and title, as every other box of Orvaq shows them.
  auto title = [] {
    CKvParameters* parameters = GetParameters();
    return parameters ? parameters->GetProgramTitle() : std::wstring(L"Orvaq");
  };
  if (!m_Ui.showTextError)
    m_Ui.showTextError = [title](int id) {
      CKvParameters* parameters = GetParameters();
      std::wstring text = parameters ? parameters->GetText(id) : std::wstring();
      if (text.empty()) text = L"RXFilter.DLL";
      MessageBoxW(nullptr, text.c_str(), title().c_str(), MB_OK | MB_ICONERROR);
    };
  if (!m_Ui.showMessage)
    m_Ui.showMessage = [](const std::wstring& text) { MessageBoxW(nullptr, text.c_str(), L"", MB_OK); };
  if (!m_Ui.showWarning)
    m_Ui.showWarning = [title](const std::wstring& text) {
      MessageBoxW(nullptr, text.c_str(), title().c_str(), MB_OK | MB_ICONWARNING);
    };
}

gp::Bitmap* COneShotJobsWin::ModuleFilter(gp::Bitmap* picture, int strength, int level) {
  switch (FilterForProgram(ProgramBaseName(m_sProgramPath))) {
    case orvaq::imaging::ModuleFilter::Display:
      return ApplyDisplayFilter(picture, strength - 120, m_Ui, m_pModuleLoader);
    case orvaq::imaging::ModuleFilter::Box:
      return BoxUnsharp(picture, BoxSizeFromValue(strength));
    case orvaq::imaging::ModuleFilter::MedianGaussian:
      return strength >= 1 ? MedianGaussianUnsharp(picture) : nullptr;
    case orvaq::imaging::ModuleFilter::Gaussian:
      return GaussianUnsharp(picture, GaussianAmountFromValue(strength), GaussianTypeFromLevel(level));
    case orvaq::imaging::ModuleFilter::None:
      break;
  }
  return nullptr;
}

void COneShotJobsWin::RunImageJob(const ImageJobRequest& request) {
  const std::wstring output = request.outputPath.empty() ? request.inputPath : request.outputPath;
  CGdiplusSession gdiplus;
  if (!gdiplus.Ok()) return;
  std::unique_ptr<gp::Bitmap> picture(LoadPicture(request.inputPath));
  if (!picture) return;
  // Each step that yields a picture replaces the current one.
  auto step = [&](gp::Bitmap* next) {
    if (next) picture.reset(next);
  };
  if (request.gamma >= 33 && request.gamma <= 300 && request.gamma != 100) step(AdjustGamma(picture.get(), request.gamma));
  if (request.luminosity != 0 || request.contrast != 0)
    step(AdjustContrastLuminosity(picture.get(), request.luminosity, request.contrast));
  step(ModuleFilter(picture.get(), request.filterStrength, request.filterLevel));
  if (!m_fnWriteGreyBmp || !m_fnWriteGreyBmp(picture.get(), output)) SaveWithBmpEncoder(picture.get(), output);
}

void COneShotJobsWin::RunRawStrip(const RawStripRequest& request) {
  CGdiplusSession gdiplus;
  if (!gdiplus.Ok()) return;
  RunRawStraightening(request.input, request.secondInput, request.output);
}
