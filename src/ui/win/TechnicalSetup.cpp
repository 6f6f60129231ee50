// The technical settings dialog (see TechnicalSetup.h). The station buttons' labels and
// the codes the buttons send come from the core (ui/SheetRules).
#include "ui/win/TechnicalSetup.h"

#include <commctrl.h>

#include <vector>

#include "logging/KvLogger.h"
#include "settings/KvParameters.h"
#include "ui/SheetRules.h"

using namespace orvaq::ui;

namespace {

enum : int {
  kIdScanner = 1120,
  kIdReload = 1121,
  kIdDelaySlider = 1029,
  kIdDelayLabel = 1031,
  kIdDefault = 22901,
  kIdDemo = 22902,
  kIdSyncClock = 22903,
  kIdChangeScanner = 22904,
  kIdStoreImages = 22909,
  kIdRefreshStations = 22910,
  kIdResetLink = 22911,
  kIdIgnoreMire = 22912,
};

std::wstring ComboText(HWND combo, int index) {
  const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, index, 0);
  if (length == CB_ERR) return std::wstring();
  std::vector<wchar_t> text(size_t(length) + 1);
  SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  return text.data();
}

void Beep() { MessageBeep(UINT(-1)); }

}  // namespace

INT_PTR CDialogTechnicalSetup::DoModal(HWND parent) {
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kTemplateId), parent, DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

void CDialogTechnicalSetup::Cancel() {
  if (m_hWnd) EndDialog(m_hWnd, IDCANCEL);
}

INT_PTR CALLBACK CDialogTechnicalSetup::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<CDialogTechnicalSetup*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->m_hWnd = window;
    self->OnInitDialog();
    return TRUE;
  }
  auto* self = reinterpret_cast<CDialogTechnicalSetup*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!self) return FALSE;
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) self->OnCommand(LOWORD(wParam));
      return TRUE;
    case WM_HSCROLL:
      self->UpdateDelayLabel();
      return TRUE;
    case WM_DESTROY:
      self->m_hWnd = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

void CDialogTechnicalSetup::OnInitDialog() {
  HWND slider = GetDlgItem(m_hWnd, kIdDelaySlider);
  SendMessageW(slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, 60));
  SendMessageW(slider, TBM_SETTICFREQ, 5, 0);
  LoadControls();
}

std::wstring CDialogTechnicalSetup::SelectedSerial() {
  HWND combo = GetDlgItem(m_hWnd, kIdScanner);
  const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  return index == CB_ERR ? std::wstring() : ComboText(combo, int(index));
}

bool CDialogTechnicalSetup::Ask(int textId) {
  CKvParameters* params = GetParameters();
  const std::wstring text = params ? params->GetText(textId) : std::wstring();
  const std::wstring caption = params ? params->GetProgramTitle() : std::wstring(L"Orvaq");
  return MessageBoxW(m_hWnd, text.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CDialogTechnicalSetup::LoadControls() {
  CKvParameters* params = GetParameters();
  HWND combo = GetDlgItem(m_hWnd, kIdScanner);
  if (SendMessageW(combo, CB_GETCOUNT, 0, 0) == 0) {
    const std::wstring configured = params ? params->GetLUMEQ2Serial() : std::wstring();
    for (const std::wstring& serial : SplitScannerList(m_Requests.InfoText(0, nullptr))) {
      const LRESULT index = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(serial.c_str()));
      if (serial == configured) SendMessageW(combo, CB_SETCURSEL, index, 0);
    }
  }
  const std::wstring serial = SelectedSerial();
  const std::wstring answer = serial.empty() ? std::wstring() : m_Requests.Admin(9999, serial);
  SendDlgItemMessageW(m_hWnd, kIdDelaySlider, TBM_SETPOS, TRUE, DelayPosition(answer, !serial.empty()));
  UpdateDelayLabel();
  if (params) {
    CheckDlgButton(m_hWnd, kIdDemo, params->GetDemoMode() ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(m_hWnd, kIdStoreImages, params->GetStoreIntermediateImages() ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(m_hWnd, kIdIgnoreMire, params->GetIgnoreMire() ? BST_CHECKED : BST_UNCHECKED);
  }
  RefreshStations();
}

void CDialogTechnicalSetup::UpdateDelayLabel() {
  const int position = int(SendDlgItemMessageW(m_hWnd, kIdDelaySlider, TBM_GETPOS, 0, 0));
  SetDlgItemTextW(m_hWnd, kIdDelayLabel, DelayLabel(position).c_str());
}

void CDialogTechnicalSetup::RefreshStations() {
  for (int n = 0; n < 10; ++n) {
    HWND button = GetDlgItem(m_hWnd, kFirstStationButton + n);
    SetWindowTextW(button, L"");
    EnableWindow(button, FALSE);
  }
  const std::wstring serial = SelectedSerial();
  if (serial.empty()) return Beep();
  const std::wstring answer = m_Requests.Admin(1, serial);
  if (_wcsicmp(answer.c_str(), L"NOTOK") == 0) return Beep();
  const auto buttons = StationButtons(answer);
  for (int n = 0; n < 10; ++n) {
    if (!buttons[n].enabled) continue;
    HWND button = GetDlgItem(m_hWnd, kFirstStationButton + n);
    SetWindowTextW(button, buttons[n].label.c_str());
    EnableWindow(button, TRUE);
  }
}

void CDialogTechnicalSetup::OnCommand(WORD id) {
  CKvParameters* params = GetParameters();
  const std::wstring serial = SelectedSerial();
  if (id >= kFirstStationButton && id < kFirstStationButton + 10) {
    if (serial.empty()) return Beep();
    const int station = id - kFirstStationButton + 1;
    const SStationAction action = StationButtonAction(station, GetAsyncKeyState(VK_SHIFT) < 0);
    if (Ask(action.question)) m_Requests.Admin(action.code, serial);
    return RefreshStations();
  }
  switch (id) {
    case kIdSyncClock:
      if (serial.empty()) return Beep();
      m_Requests.Admin(0, serial);
      return;
    case kIdChangeScanner:
      if (serial.empty()) return Beep();
      if (Ask(615)) m_Requests.Admin(2, serial);
      return;
    case kIdResetLink: {
      if (!params) return;
      const std::wstring linked = params->GetLUMEQ2Serial();
      const int station = params->GetStationNumber();
      if (linked.empty() || station < 1 || station > 10) return;
      if (!Ask(613)) return;
      m_Requests.Admin(1020 + station, linked);
      params->SetLUMEQ2Serial(L"");
      params->SetStationNumber(0);
      params->SetLUMEQ2Color(0);
      m_Requests.InfoNumber(4, nullptr);
      return RefreshStations();
    }
    case kIdDefault:
      if (params) {
        params->SetDemoMode(false);
        params->SetHorizontalCorrection(true);
        params->SetHorizontalCorrectionType(0);
        params->SetStoreIntermediateImages(false);
      }
      if (!serial.empty()) m_Requests.Admin(DelayActionCode(12), serial);
      return LoadControls();
    case kIdReload:
      return LoadControls();
    case kIdRefreshStations:
      return RefreshStations();
    case IDOK: {
      if (!serial.empty()) {
        const int position = int(SendDlgItemMessageW(m_hWnd, kIdDelaySlider, TBM_GETPOS, 0, 0));
        m_Requests.Admin(DelayActionCode(position), serial);
      }
      if (params) {
        params->SetDemoMode(IsDlgButtonChecked(m_hWnd, kIdDemo) == BST_CHECKED);
        params->SetStoreIntermediateImages(IsDlgButtonChecked(m_hWnd, kIdStoreImages) == BST_CHECKED);
        params->SetIgnoreMire(IsDlgButtonChecked(m_hWnd, kIdIgnoreMire) == BST_CHECKED);
      }
      EndDialog(m_hWnd, IDOK);
      return;
    }
    case IDCANCEL:
      EndDialog(m_hWnd, IDCANCEL);
      return;
    default:
      return;
  }
}
