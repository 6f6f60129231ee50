// Dialog base (see KvDialog.h).
#include "ui/win/KvDialog.h"

#include "command_line/CommandLine.h"
#include "settings/KvParameters.h"

INT_PTR CKvDialog::DoModal(HWND parent) {
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nTemplateId), parent, DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CKvDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CKvDialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CKvDialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->m_hWnd = window;
  } else {
    self = reinterpret_cast<CKvDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  }
  if (!self) return FALSE;  // messages before WM_INITDIALOG
  const INT_PTR result = self->HandleMessage(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, DWLP_USER, 0);
    self->m_hWnd = nullptr;
  }
  return result;
}

INT_PTR CKvDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
    case WM_TIMER:
      OnTimer(wParam);
      return TRUE;
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wParam));
      return TRUE;
    case WM_CLOSE:
      OnCloseRequest();
      return TRUE;
    case WM_DESTROY:
      OnDestroy();
      return FALSE;
    case kMsgRunStoredCommandLine:
      OnRunStoredCommandLine();
      return TRUE;
    default: {
      bool handled = false;
      const INT_PTR result = OnOtherMessage(message, wParam, lParam, handled);
      return handled ? result : FALSE;
    }
  }
}

BOOL CKvDialog::OnInitDialog() {
  if (CKvParameters* params = GetParameters()) SetWindowTextW(m_hWnd, params->GetProgramTitle().c_str());
  return TRUE;
}

bool CKvDialog::OnCommand(WORD id, WORD notification, HWND control) {
  CKvParameters* params = GetParameters();
  switch (id) {
    case 1001: case 1002: case 1003: case 1004:
      if (params) params->SetAcqWay(id - 1001);
      InvalidateRect(m_hWnd, nullptr, TRUE);
      return true;
    case 1005: {
      wchar_t title[256] = {};
      GetWindowTextW(m_hWnd, title, 255);
      MessageBoxW(m_hWnd, GetInfoText().c_str(), title, MB_OK | MB_ICONINFORMATION);
      return true;
    }
    case 1006: case IDOK: case IDCANCEL:
      OnCloseButton();
      return true;
    case 1007:
      OnParameters();
      return true;
    default:
      return false;
  }
}

void CKvDialog::OnRunStoredCommandLine() {
  CKvParameters* params = GetParameters();
  if (!params) return;
  const std::wstring line = params->GetStoredCommandLine();
  params->DeleteStoredCommandLine();
  // A handed-over /image_in job has run by now; the running instance goes on.
  ParseCommandLine(line, *params, m_Jobs);
  InvalidateRect(m_hWnd, nullptr, TRUE);
}
