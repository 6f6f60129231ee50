// COrvaqDlg: Orvaq's main window, the skinned panel (template 102, caption text 1000).
// It hosts the acquisition controller on the real window: it owns the controller, its
// Win32 effects and the reconstruction behind them, forwards the controller's messages
// to it, and releases a reservation when a second start hands over another doctor or
// patient. It paints the lamps and buttons that the panel model chooses for the
// controller's state, composed off-screen and drawn in one step.
#pragma once

#include <functional>
#include <memory>

#include "ui/PanelModel.h"
#include "ui/win/KvDialog.h"

class CAcquisitionHostWin;
class CKvAcqSettings;
class COrvaqController;
class CReconstructionWin;
class CKvAdaptersWin;
class CKvSkinObject;
class CMultiImageList;

class COrvaqDlg : public CKvDialog {
 public:
  static constexpr int kTemplateId = 102;
  explicit COrvaqDlg(IOneShotJobs& jobs);
  ~COrvaqDlg() override;

  // The log restart after an acknowledged image (set by the start-up, which owns the
  // loggers); nothing happens when it is unset.
  std::function<void()> m_fnRestartLog;

  // The controller while the window exists (null before WM_INITDIALOG and after
  // WM_DESTROY).
  COrvaqController* Controller() { return m_pController.get(); }
  CAcquisitionHostWin* AcqHost() { return m_pAcqHost.get(); }
  CReconstructionWin* Reconstruction() { return m_pReconstruction.get(); }
  int T4ModeCounter() const { return m_nT4Mode; }

 protected:
  // --- the skinned base's operations
  Gdiplus::Bitmap* GetSkinPicture() override;
  void LayoutControls() override;
  std::wstring GetInfoText() override;
  void OnCloseButton() override;
  // Button 1007: the parameter sheet, then its results taken over.
  void OnParameters() override;
  void OnMinMaxInfo(MINMAXINFO& info) override;
  // The multi-plate panel and the mode strip (or their "/vet" variants).
  virtual Gdiplus::Bitmap* GetT4Picture();
  virtual Gdiplus::Bitmap* GetT4ModePicture();
  // What the painting shows: the controller's flags, the status queries, the settings.
  virtual orvaq::ui::SPanelInputs PanelInputs();

  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD notification, HWND control) override;
  void OnTimer(UINT_PTR id) override;
  void OnDestroy() override;
  void OnRunStoredCommandLine() override;
  void PaintBackground(HDC dc) override;
  void PaintButtonBackground(HDC dc) override;
  void GetTooltip(int id, std::wstring& text, std::wstring& title) override;
  RECT ThumbnailRect() override;
  int ExtraSkinHeight() override;
  INT_PTR OnOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

  // Dropped ".RAW" or ".BIN" files are reconstructed in turn as received plates.
  void OnDropFiles(HDROP drop) override;
  void OnOwnerDraw(DRAWITEMSTRUCT& item) override;
  orvaq::ui::LowerPanel CurrentLowerPanel();
  std::wstring StatusText();

 private:
  // Hands a message to the controller; false when it is not one of the controller's.
  bool Forward(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // Composes the panel in skin pixels (32-bit ARGB).
  std::unique_ptr<Gdiplus::Bitmap> ComposePanel();
  int64_t Query(int type);
  // A multi-plate box's stored picture, fitted into `area` of the composed panel.
  void DrawBox(Gdiplus::Graphics& g, int box, const orvaq::ui::SRect& area);
  // The window's height for the panels shown, its width kept.
  void FitHeightToPanels();
  // The first painting in multi-image mode starts watching the images folder (timer 1070).
  void StartFolderWatch();

  std::unique_ptr<CKvAdaptersWin> m_pAdapters;
  std::unique_ptr<CKvAcqSettings> m_pAcqSettings;
  std::unique_ptr<CAcquisitionHostWin> m_pAcqHost;
  std::unique_ptr<COrvaqController> m_pController;
  std::unique_ptr<CReconstructionWin> m_pReconstruction;
  // The panel as last drawn on the window, at the client size (buttons draw from it).
  std::unique_ptr<Gdiplus::Bitmap> m_pDrawn;
  // Multi-image mode's stored acquisitions, watched from the first painting on.
  std::unique_ptr<CMultiImageList> m_pStoredList;
  bool m_bWatchTried = false;
  int m_nT4Mode = 0;
  bool m_bAcqWayForced = false;
};
