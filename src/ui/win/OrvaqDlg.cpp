// Main window (see OrvaqDlg.h). The handlers stay short: the decisions are the
// controller's, the window only routes messages and answers them.
#include "ui/win/OrvaqDlg.h"

#include "acquisition/KvAcqSettings.h"
#include "acquisition/OrvaqController.h"
#include "acquisition/win/AcquisitionHostWin.h"
#include "acquisition/win/ControllerMessages.h"
#include "acquisition/win/ReconstructionWin.h"
#include "logging/KvLogger.h"
#include "settings/KvParameters.h"
#include "settings/win/KvAdaptersWin.h"

COrvaqDlg::COrvaqDlg(IOneShotJobs& jobs) : CKvDialog(kTemplateId, jobs) {}

COrvaqDlg::~COrvaqDlg() = default;

BOOL COrvaqDlg::OnInitDialog() {
  const BOOL result = CKvDialog::OnInitDialog();
  CKvParameters* params = GetParameters();
  if (!params) return result;
  m_pAdapters.reset(new CKvAdaptersWin);
  m_pAcqSettings.reset(new CKvAcqSettings(*params, ORVAQ_VERSION_MAJOR, ORVAQ_VERSION_MINOR, ORVAQ_VERSION_BUILD));
  m_pAcqHost.reset(new CAcquisitionHostWin(m_hWnd, m_hWnd, m_pAdapters.get()));
  m_pAcqHost->SetCaption(params->GetProgramTitle());
  m_pAcqHost->restartLogFile = [this] {
    if (m_fnRestartLog) m_fnRestartLog();
  };
  m_pAcqHost->baseTimer = [this](uint32_t id) { CKvDialog::OnTimer(id); };
  m_pController.reset(new COrvaqController(*m_pAcqHost, *m_pAcqSettings));
  m_pReconstruction.reset(new CReconstructionWin(*m_pController, *params, m_hWnd));
  m_pReconstruction->Attach(*m_pAcqHost);
  // The adapter check: with no local address known yet it creates the status listener.
  PostMessageW(m_hWnd, kMsgHardwareInfos, 1, 0);
  return result;
}

bool COrvaqDlg::Forward(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  return m_pController && ControllerHandleMessage(*m_pController, message, wParam, lParam, result);
}

bool COrvaqDlg::OnCommand(WORD id, WORD notification, HWND control) {
  LRESULT result = 0;
  if (id == kIdReservationButton && Forward(WM_COMMAND, MAKEWPARAM(id, notification),
                                            reinterpret_cast<LPARAM>(control), result))
    return true;
  return CKvDialog::OnCommand(id, notification, control);
}

void COrvaqDlg::OnTimer(UINT_PTR id) {
  LRESULT result = 0;
  // Without a controller the base serves its own timers.
  if (!Forward(WM_TIMER, id, 0, result)) CKvDialog::OnTimer(id);
}

INT_PTR COrvaqDlg::OnOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  LRESULT result = 0;
  handled = Forward(message, wParam, lParam, result);
  if (!handled) return CKvDialog::OnOtherMessage(message, wParam, lParam, handled);
  // A dialog procedure answers SendMessage through DWLP_MSGRESULT, not its return value.
  SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, static_cast<LONG_PTR>(result));
  return TRUE;
}

void COrvaqDlg::OnDestroy() {
  if (m_pController) m_pController->OnDestroyWindow();
  // The reconstruction refers to the controller, the controller to its host.
  m_pReconstruction.reset();
  m_pController.reset();
  m_pAcqHost.reset();
  CKvDialog::OnDestroy();
}

void COrvaqDlg::OnRunStoredCommandLine() {
  CKvParameters* params = GetParameters();
  if (!params) return;
  const std::wstring line = params->GetStoredCommandLine();
  // Logged so service staff can see what a second start handed over.
  if (LogPrintf(L"Ligne de commande re\xE7ue : %ls", line.c_str()) != 0)
    LogLine("Ligne de commande re\xE7ue (caract\xE8res hors Latin-1).");
  const std::wstring doctor = params->m_sDoctor;
  const std::wstring patient = params->m_sPatient;
  CKvDialog::OnRunStoredCommandLine();
  if (m_pController) m_pController->OnCommandLineChanged(doctor, patient);
}
