// The one-shot jobs of Orvaq's command line on Windows: the image job (/image_in) and
// the raw-strip diagnostic (/r_in, /r_ol, /r_out), over the GDI+ picture operations.
#pragma once

#include <functional>
#include <string>

#include "command_line/OneShotJobs.h"
#include "imaging/win/GdiPictures.h"

class COneShotJobsWin : public IOneShotJobs {
 public:
  // `programPath`: the running program's file, whose name picks the module filter
  // (empty: the module's own file). `ui`: how the display filter shows its errors
  // (unset hooks show message boxes with the program's title and texts).
  explicit COneShotJobsWin(std::wstring programPath = std::wstring(),
                           orvaq::imaging::DisplayFilterUi ui = orvaq::imaging::DisplayFilterUi());

  void RunImageJob(const ImageJobRequest& request) override;
  void RunRawStrip(const RawStripRequest& request) override;

  // The grey writer, replaceable so a test can make it fail and see the encoder used.
  std::function<bool(Gdiplus::Bitmap*, const std::wstring&)> m_fnWriteGreyBmp;
  // How the display filter binds the library (null: the Windows loader).
  IModuleLoader* m_pModuleLoader = nullptr;

 private:
  // Applies the filter of this module; null when it has nothing to do or fails.
  Gdiplus::Bitmap* ModuleFilter(Gdiplus::Bitmap* picture, int strength, int level);

  std::wstring m_sProgramPath;
  orvaq::imaging::DisplayFilterUi m_Ui;
};
