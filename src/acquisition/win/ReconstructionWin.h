// The reconstruction's Win32 and GDI+ edge: message boxes, beeps and the place of the
// main window (CReconEnvWin; files and processes are CKvSystemWin's), pictures as GDI+
// bitmaps (CGdiReconPictures), and CReconstructionWin, which puts them together with the
// settings and the filter-library loader so that COrvaqDlg hands its controller's
// reconstruction hook to one object.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "acquisition/KvReconSettings.h"
#include "acquisition/MultiPlate.h"
#include "acquisition/Reconstruction.h"
#include "settings/win/KvSystemWin.h"

class CAcquisitionHostWin;

class CReconEnvWin : public IReconEnv {
 public:
  // `mainWindow` owns the boxes and gives the thumbnail's place; may be null.
  CReconEnvWin(HWND mainWindow, std::wstring caption) : m_hMainWindow(mainWindow), m_sCaption(std::move(caption)) {}
  void SetMainWindow(HWND window) { m_hMainWindow = window; }
  void SetCaption(const std::wstring& caption) { m_sCaption = caption; }

  uint32_t GetTickCount() override;
  int ShowMessageBox(const std::wstring& text, unsigned style) override;
  void MessageBeep(unsigned type) override;
  void Repaint() override;
  void MainWindowRect(int& left, int& top, int& right, int& bottom) override;
  std::wstring LocalTimeText() override;

 private:
  HWND m_hMainWindow;
  std::wstring m_sCaption;
};

// A GDI+ bitmap, with the memory it reads its pixels from in place when it has one (a
// device-independent bitmap or plain rows).
class CGdiReconPicture : public IReconPicture {
 public:
  explicit CGdiReconPicture(Gdiplus::Bitmap* bitmap, std::unique_ptr<uint8_t[]> dib = nullptr)
      : m_pBitmap(bitmap), m_Dib(std::move(dib)) {}
  int Width() const override { return m_pBitmap ? int(m_pBitmap->GetWidth()) : 0; }
  int Height() const override { return m_pBitmap ? int(m_pBitmap->GetHeight()) : 0; }
  Gdiplus::Bitmap* Bitmap() const { return m_pBitmap.get(); }
  // Takes `bitmap` (and the memory it reads in place) instead of the present one.
  void Replace(Gdiplus::Bitmap* bitmap, std::unique_ptr<uint8_t[]> dib) {
    m_pBitmap.reset(bitmap);
    m_Dib = std::move(dib);
  }

 private:
  std::unique_ptr<Gdiplus::Bitmap> m_pBitmap;
  std::unique_ptr<uint8_t[]> m_Dib;
};

class CGdiReconPictures : public IReconPictures {
 public:
  // The skin's pictures by name (marks, empty plates); null when it has none. The
  // bitmap stays the skin's. Without a skin picture a plain stand-in of the skin's size
  // is drawn, so the outputs exist before the skin does.
  std::function<Gdiplus::Bitmap*(const std::wstring& name)> skinPicture;

  std::unique_ptr<IReconPicture> FromGreyRows(const uint8_t* rows, int width, int height, int32_t ppm) override;
  void ShowThumbnail(IReconPicture& picture, int x, int y, int width) override;
  bool Rotate90(IReconPicture& picture) override;
  bool SaveWithBmpEncoder(IReconPicture& picture, const std::wstring& path) override;
  bool WriteGreyBmp(IReconPicture& picture, const std::wstring& path) override;
  std::unique_ptr<IReconPicture> AdjustGamma(IReconPicture& picture, int gamma) override;
  std::unique_ptr<IReconPicture> AdjustContrastLuminosity(IReconPicture& picture, int lum, int con) override;
  std::unique_ptr<IReconPicture> AddSensorMark(IReconPicture& picture, const std::wstring& markName,
                                               const std::wstring& text) override;
  bool ApplyGreyTable(IReconPicture& picture, const uint8_t table[256]) override;
  bool AddSensorMarkGrey(IReconPicture& picture, const std::wstring& markName, const std::wstring& text) override;
  void SetResolution(IReconPicture& picture, float dpi) override;
  IReconPicture* BuiltInPicture(const std::wstring& name) override;

  // The screen rectangle of the last thumbnail (erased by the dialog at timer 1010).
  const RECT& LastThumbnailRect() const { return m_LastThumbnail; }

 private:
  Gdiplus::Bitmap* SkinOrStandIn(const std::wstring& name);
  RECT m_LastThumbnail{0, 0, 0, 0};
  std::map<std::wstring, std::unique_ptr<CGdiReconPicture>> m_BuiltIn;
  std::map<std::wstring, std::unique_ptr<Gdiplus::Bitmap>> m_StandIns;
};

// The multi-plate composition's host on the real window: the settings and the
// reconstruction here, the window's share (mode counter, timer 4444, size) through hooks
// the dialog sets.
class CMultiPlateHostWin : public IMultiPlateHost {
 public:
  CMultiPlateHostWin(CKvParameters& parameters, CReconstruction& reconstruction)
      : m_Parameters(parameters), m_Reconstruction(reconstruction) {}
  std::function<int()> partsWanted;
  std::function<void(uint32_t)> armTimer;
  std::function<void()> stopTimer;
  std::function<bool()> timerArmed;
  std::function<void(bool)> modeChanged;

  int PartsWanted() override { return partsWanted ? partsWanted() : 0; }
  int DelayT4() override;
  void ArmT4Timer(uint32_t ms) override {
    if (armTimer) armTimer(ms);
  }
  void StopT4Timer() override {
    if (stopTimer) stopTimer();
  }
  bool T4TimerArmed() override { return timerArmed && timerArmed(); }
  void OnT4ModeChanged(bool on) override {
    if (modeChanged) modeChanged(on);
  }
  bool RebuildAlone(const std::wstring& rawPath) override;
  bool FinishComposed(const uint8_t* pixels, int width, int height, float resolution) override {
    return m_Reconstruction.FinishComposed(pixels, width, height, resolution);
  }
  void PartDone(const std::wstring& rawPath) override { m_Reconstruction.PartDone(rawPath); }

 private:
  CKvParameters& m_Parameters;
  CReconstruction& m_Reconstruction;
};

// Everything the dialog needs for its reconstruction hook.
class CReconstructionWin {
 public:
  CReconstructionWin(IReconProgress& controller, CKvParameters& parameters, HWND mainWindow);
  // Points the acquisition host's reconstruction hook at this object.
  void Attach(CAcquisitionHostWin& host);
  CReconstruction& Reconstruction() { return m_Reconstruction; }
  CMultiPlate& MultiPlate() { return m_MultiPlate; }
  CMultiPlateHostWin& MultiPlateHost() { return m_MultiPlateHost; }
  CGdiReconPictures& Pictures() { return m_Pictures; }
  CReconEnvWin& Env() { return m_Env; }

 private:
  CKvReconSettings m_Settings;
  CReconEnvWin m_Env;
  CKvSystemWin m_System;
  CGdiReconPictures m_Pictures;
  CMultiPlate m_MultiPlate;
  CReconstruction m_Reconstruction;
  CMultiPlateHostWin m_MultiPlateHost;
};

// At start-up, before the main window: reconstructs the plates that a run before this
// one acknowledged but did not finish, each for the patient of its own record.
// `skinPicture` gives the marks (null: a stand-in is drawn).
int RecoverPendingPlatesWin(CKvParameters& parameters,
                            std::function<Gdiplus::Bitmap*(const std::wstring& name)> skinPicture);
