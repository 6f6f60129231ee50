// COrvaqDlg: Orvaq's main window (template 102, caption text 1000). It hosts the
// acquisition controller on the real window: it owns the controller, its Win32 effects
// and the reconstruction behind them, forwards the controller's messages to it, and
// releases a reservation when a second start hands over another doctor or patient.
#pragma once

#include <functional>
#include <memory>

#include "ui/win/KvDialog.h"

class CAcquisitionHostWin;
class CKvAcqSettings;
class COrvaqController;
class CReconstructionWin;
class CKvAdaptersWin;

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

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD notification, HWND control) override;
  void OnTimer(UINT_PTR id) override;
  void OnDestroy() override;
  void OnRunStoredCommandLine() override;
  INT_PTR OnOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  // Hands a message to the controller; false when it is not one of the controller's.
  bool Forward(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  std::unique_ptr<CKvAdaptersWin> m_pAdapters;
  std::unique_ptr<CKvAcqSettings> m_pAcqSettings;
  std::unique_ptr<CAcquisitionHostWin> m_pAcqHost;
  std::unique_ptr<COrvaqController> m_pController;
  std::unique_ptr<CReconstructionWin> m_pReconstruction;
};
